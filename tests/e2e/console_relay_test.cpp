// The relay's main job end to end: a console log written line by line, the real
// tidecore program, a real IRC server and a user in the channel who reads the
// reports — their exact bytes, their pacing, and the periodic status block.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/support/e2e_fixture.h"
#include "tests/e2e/support/irc_client.h"
#include "tests/e2e/support/irc_server.h"
#include "tests/e2e/support/relay_process.h"
#include "tests/e2e/support/temp_dir.h"

using namespace e2e;

namespace {

// The text of a PRIVMSG from the relay to the channel, trailing blanks dropped
// (the server removes them on delivery).
std::string report_text(const std::string& line)
{
    std::string head = "PRIVMSG " + kChannel + " :";
    std::size_t at = line.find(head);
    std::string text = line.substr(at + head.size());
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

bool relay_report(const std::string& line)
{
    return prefix_nick(line) == kRelayNick && command_of(line) == "PRIVMSG" &&
           line.find("PRIVMSG " + kChannel + " :") != std::string::npos;
}

struct Received {
    std::string text;
    double at; // seconds since the test's clock started
};

struct ConsoleRelayE2E : ChannelFixture {
    std::string logfile = dir.write("qconsole.log", "");
    std::chrono::steady_clock::time_point t0 = std::chrono::steady_clock::now();
    std::size_t next = 0; // first watcher line not yet looked at

    void start_relay(const std::vector<std::string>& options)
    {
        ASSERT_TRUE(relay.start(relay_args(server->port(), kChannel, logfile, kRelayNick, options)));
        // The banner closes the login.
        ASSERT_TRUE(next_report(20000)) << relay.output() << watcher.transcript();
    }

    // The relay's next report in the channel, with the time it arrived.
    std::optional<Received> next_report(int timeout_ms)
    {
        auto line = watcher.wait_for(relay_report, timeout_ms, next);
        if (!line)
            return std::nullopt;
        for (std::size_t i = next; i < watcher.lines().size(); ++i)
            if (watcher.lines()[i] == *line) {
                next = i + 1;
                break;
            }
        double at = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        return Received{report_text(*line), at};
    }

    std::vector<Received> reports(std::size_t count, int timeout_ms)
    {
        std::vector<Received> got;
        while (got.size() < count) {
            auto r = next_report(timeout_ms);
            if (!r)
                break;
            got.push_back(*r);
        }
        return got;
    }
};

std::string C(const char* code)
{
    return std::string("\x03") + code;
}

} // namespace

TEST_F(ConsoleRelayE2E, KillFlagAndEliminationReportsArrivePaced)
{
    dir.write("irccolors_sof2.cfg", "[general]\nredteamname=^1Crimson\n");
    start_relay({"-c"});
    dir.append("qconsole.log",
               "Alice is connecting...\n"
               "Alice joined the red team.\n"
               "Bob joined the blue team.\n"
               "Bob was shot by Alice's M4\n"
               "Alice has taken the Blue Flag!\n"
               "Red team eliminated!\n");
    auto got = reports(4, 20000);
    ASSERT_EQ(got.size(), 4u) << relay.output() << watcher.transcript();
    const std::string R = "\x16\x16";
    const std::string O = "\x0f";
    // Victim [kills/deaths], phrase, killer [kills/deaths], weapon, in team colours.
    EXPECT_EQ(got[0].text, C("0,1") + C("11") + " Bob" + O + C("0,1") + " [ 0/ 1]" + O + C("0,1") + " was shot by " + O +
                               C("0,1") + C("4") + R + "Alice" + O + C("0,1") + " [ 1/ 0]" + O + C("0,1") + "'s M4");
    EXPECT_EQ(got[1].text, C("0,1") + " " + C("4") + R + "Alice" + C("9,1") + " has taken the Blue Flag!");
    EXPECT_EQ(got[2].text, C("1,7") + " Team " + C("4") + "Crimson eliminated!");
    EXPECT_EQ(got[3].text, C("1,14") + " SCORE:" + C("4") + " Crimson " + C("1,14") + "-" + C("11") + " Blue" + C("1,14") +
                               ":" + C("4") + " 0 " + C("1,14") + "-" + C("11") + " 1");
    // One line every 2.15 seconds.
    for (std::size_t i = 1; i < got.size(); ++i) {
        double gap = got[i].at - got[i - 1].at;
        EXPECT_GT(gap, 1.8) << i;
        EXPECT_LT(gap, 3.5) << i;
    }
}

TEST_F(ConsoleRelayE2E, GermanOutputForAnEnglishLog)
{
    start_relay({"-k", "1"});
    dir.append("qconsole.log",
               "Bob joined the blue team.\n"
               "Bob has taken the Red Flag!\n"
               "Bob has captured the Red Flag!\n");
    auto got = reports(2, 20000);
    ASSERT_EQ(got.size(), 2u) << relay.output() << watcher.transcript();
    const std::string R = "\x16\x16";
    EXPECT_EQ(got[0].text, C("0,1") + " " + C("11") + R + "Bob" + C("9,1") + " hat die Rote Flagge geklaut!");
    EXPECT_EQ(got[1].text, C("0,1") + " " + C("11") + R + "Bob" + C("9,1") + " hat einen Roten Flagge capture erzielt");
}

TEST_F(ConsoleRelayE2E, StatusBlockAfterSeventyQuietSeconds)
{
    start_relay({});
    dir.append("qconsole.log", "Alice joined the red team.\n");
    auto first = next_report(90000);
    ASSERT_TRUE(first) << relay.output() << watcher.transcript();
    EXPECT_EQ(first->text, C("1,15") + " Quillon's SOF2 Tidewatch v1.2");
    EXPECT_GT(first->at, 70.0);
    auto rest = reports(3, 10000);
    ASSERT_EQ(rest.size(), 3u) << watcher.transcript();
    EXPECT_EQ(rest[0].text, C("1,7") + " Logfile present and open... Waiting for data...");
    EXPECT_EQ(rest[1].text, C("1,7") + " Team mode on:" + C("4") + " Red RED" + C("0") + C("11") + " Blue BLUE");
    EXPECT_EQ(rest[2].text, C("1,14") + " SCORE:" + C("4") + " Red " + C("1,14") + "-" + C("11") + " Blue" + C("1,14") + ":" +
                                C("4") + " 0 " + C("1,14") + "-" + C("11") + " 0");
}

// The game cuts or replaces its log while reports of lines already read are still
// being paced out: every one of them is reported, once, before the new log's.
TEST_F(ConsoleRelayE2E, LinesReadBeforeTheLogIsCutOrReplacedAreAllReported)
{
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced" : "cut");
        dir.write("irccolors_sof2.cfg", "[general]\nwaitmillisecs=1000\n");
        if (!relay.running())
            start_relay({});
        std::string kills;
        for (int i = 1; i <= 12; ++i)
            kills += "Bob" + std::to_string(i) + " was shot by Alice's M4\n";
        dir.append("qconsole.log", kills);
        // While the first reports go out, the log starts anew.
        ASSERT_TRUE(next_report(20000)) << relay.output();
        if (replaced) {
            const std::string fresh = dir.write("qconsole.log.new", "Alice has taken the Blue Flag!\n");
            ASSERT_EQ(std::rename(fresh.c_str(), logfile.c_str()), 0);
        } else {
            dir.write("qconsole.log", "Alice has taken the Blue Flag!\n");
        }
        auto got = reports(12, 20000);
        ASSERT_EQ(got.size(), 12u) << relay.output() << watcher.transcript();
        for (int i = 0; i < 11; ++i)
            EXPECT_NE(got[static_cast<std::size_t>(i)].text.find(" Bob" + std::to_string(i + 2) + "\x0f"), std::string::npos)
                << got[static_cast<std::size_t>(i)].text;
        EXPECT_NE(got[11].text.find("has taken the Blue Flag!"), std::string::npos) << got[11].text;
        EXPECT_FALSE(next_report(3000)) << "a line reported twice";
    }
}
