#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "relay/irc/output.h"
#include "tests/irc/irc_fixture.h"

using OutputTest = IrcTest;
using Lines = std::vector<std::string>;

namespace {

int report(Relay& r, const std::string& text)
{
    return send_privmsg(r, "#chan", text.c_str());
}

} // namespace

TEST_F(OutputTest, AssemblesLinesWithTheirEnds)
{
    connect_plain();
    EXPECT_EQ(report(r, ":hello"), static_cast<int>(std::string("PRIVMSG #chan :hello \r\n").size()));
    write_buf(r, "JOIN", "#chan", nullptr, "later", nullptr, nullptr, 1); // absent args are skipped
    send_privmsg(r, "#chan", ":first\nPRIVMSG #evil :injected", 1);      // cut at the line break
    send_privmsg(r, "#chan", ":carriage\rreturn", 0);
    EXPECT_EQ(visible(irc().sent), visible("PRIVMSG #chan :hello \r\n"
                                           "JOIN #chan later\r\n"
                                           "PRIVMSG #chan :first\r\n"
                                           "PRIVMSG #chan :carriage \r\n"));
}

TEST_F(OutputTest, TenLinesWithoutFloodProtectionTake21AndAHalfSeconds)
{
    connect_plain();
    for (int i = 0; i < 10; ++i)
        EXPECT_GT(report(r, ":line " + std::to_string(i)), 0);
    EXPECT_EQ(fake.slept_ms, 21500);
    EXPECT_EQ(sent_lines().size(), 10u);
    EXPECT_EQ(fake.out, "");
}

TEST_F(OutputTest, SkipModeSkipsTheFourthExcessLineAndStartsCountingAgain)
{
    connect_plain();
    r.settings.floodprotect = 2;
    r.settings.byterate = 1024;
    const std::string text = ":" + std::string(200, 'a');
    // Ten lines fill the history (its empty slots date from the epoch: no excess).
    for (int i = 0; i < 10; ++i)
        report(r, text + std::to_string(i));
    ASSERT_EQ(fake.out, "");
    ASSERT_EQ(r.irc.excesscount, 0);

    std::vector<int> results;
    for (int i = 10; i < 18; ++i) {
        long long before = fake.slept_ms;
        results.push_back(report(r, text + std::to_string(i)));
        bool skipped = i == 13 || i == 17;
        EXPECT_EQ(fake.slept_ms - before, skipped ? 1075 : 4300) << i;
    }
    Lines sent = sent_lines();
    EXPECT_EQ(sent.size(), 16u);
    for (const auto& line : sent) {
        EXPECT_EQ(line.find(text + "13"), std::string::npos);
        EXPECT_EQ(line.find(text + "17"), std::string::npos);
    }
    const int length = static_cast<int>(("PRIVMSG #chan " + text + "13 \r\n").size());
    EXPECT_EQ(results[3], length); // a skipped line reports its length
    EXPECT_NE(fake.out.find("[0000000] excess flood prevent: byterate: line not send\n"), std::string::npos);
    EXPECT_NE(fake.out.find("[0000000] excess flood prevent: extra sleep byterate: ["), std::string::npos);
}

TEST_F(OutputTest, ForcedAndEventLinesAreNeverSkipped)
{
    connect_plain();
    r.settings.floodprotect = 2;
    r.settings.byterate = 1024;
    r.settings.quietmode = 1;
    const std::string text = ":" + std::string(300, 'b');
    for (int i = 0; i < 10; ++i)
        report(r, text);
    std::size_t before = sent_lines().size();
    long long slept = fake.slept_ms;
    for (int i = 0; i < 6; ++i)
        send_privmsg(r, "#chan", text.c_str(), 1);
    r.game.eventline = 1;
    for (int i = 0; i < 6; ++i)
        report(r, text);
    EXPECT_EQ(sent_lines().size(), before + 12);
    EXPECT_EQ(fake.slept_ms - slept, 12 * 4300); // the extra pause still applies
    EXPECT_EQ(fake.out, "");
}

TEST_F(OutputTest, FloodProtectionOnWithoutSkipOnlySlowsDown)
{
    connect_plain();
    r.settings.floodprotect = 1;
    r.settings.byterate = 1024;
    for (int i = 0; i < 20; ++i)
        report(r, ":" + std::string(200, 'c'));
    EXPECT_EQ(sent_lines().size(), 20u);
    EXPECT_EQ(fake.slept_ms, 20 * 2150 + 10 * 2150);
}

TEST_F(OutputTest, RateOfTheSendHistoryAtTheEdgesOfTheClock)
{
    connect_plain();
    r.settings.floodprotect = 1;
    r.settings.byterate = 1024;
    struct Case {
        long long oldest_offset; // time of the oldest history entry relative to now
        long long extra_ms;      // pause on top of the pacing
        const char* note;        // console note, empty for none
    };
    const Case cases[] = {
        {0, 2150, "[0000000] excess flood prevent: extra sleep byterate: [inf]\n"}, // no time passed
        {+3600, 0, ""},                                                                // clock set back
        {-60, 0, ""},                                                                  // 100 bytes a minute
    };
    for (const Case& c : cases) {
        long long now = fake.now();
        for (int i = 0; i < 10; ++i) {
            r.irc.sendtime[i] = now + c.oldest_offset;
            r.irc.sendlength[i] = 10;
        }
        r.irc.historyindex = 0;
        fake.out.clear();
        long long before = fake.slept_ms;
        EXPECT_GT(report(r, ":line"), 0) << c.oldest_offset;
        EXPECT_EQ(fake.slept_ms - before, 2150 + c.extra_ms) << c.oldest_offset;
        EXPECT_EQ(fake.out, c.note) << c.oldest_offset;
    }
}

TEST_F(OutputTest, SilentModeAndCatchingUpPassOnlyForcedLines)
{
    connect_plain();
    r.settings.silent = 1;
    EXPECT_EQ(report(r, ":dropped"), 0);
    EXPECT_GT(send_privmsg(r, "Owner", ":reply", 1), 0);
    r.settings.silent = 0;

    // -r 5: the reports of lines 1 to 5 are held back, those of line 6 on are not.
    r.settings.recoverlines = 5;
    r.log.linesread = 0; // nothing read yet: the status is not held back
    EXPECT_GT(report(r, ":before"), 0);
    r.log.handling = 1; // line 1 is being handled
    EXPECT_EQ(report(r, ":line 1"), 0);
    r.log.linesread = 4; // line 5
    EXPECT_EQ(report(r, ":line 5"), 0);
    EXPECT_GT(send_privmsg(r, "Owner", ":forced", 1), 0);
    r.log.linesread = 5; // line 6
    EXPECT_GT(report(r, ":after"), 0);
    r.log.handling = 0;
    r.log.linesread = 3; // between lines, three done
    EXPECT_EQ(report(r, ":status while catching up"), 0);

    // -g over a 1000-byte log: the reports of lines that start before byte 1000.
    r.settings.recoverlines = 0;
    r.settings.fromend = 1000;
    r.log.handling = 1;
    r.log.linesread = 0;
    r.log.bytesconsumed = 0;
    EXPECT_EQ(report(r, ":first line"), 0);
    r.log.linesread = 9;
    r.log.bytesconsumed = 999;
    EXPECT_EQ(report(r, ":held by bytes"), 0);
    r.log.bytesconsumed = 1000;
    EXPECT_GT(report(r, ":caught up"), 0);

    EXPECT_EQ(sent_lines(), (Lines{"PRIVMSG Owner :reply", "PRIVMSG #chan :before ", "PRIVMSG Owner :forced",
                                   "PRIVMSG #chan :after ", "PRIVMSG #chan :caught up "}));
}

TEST_F(OutputTest, PartialSendsAreCompleted)
{
    FakeSocket& s = connect_plain();
    s.send_limit = 7;
    std::string text = ":" + std::string(100, 'p');
    int n = report(r, text);
    EXPECT_EQ(n, static_cast<int>(("PRIVMSG #chan " + text + " \r\n").size()));
    EXPECT_EQ(s.sent, "PRIVMSG #chan " + text + " \r\n");
}

TEST_F(OutputTest, SocketThatTakesNothingCountsAsBroken)
{
    FakeSocket& s = connect_plain();
    int old = s.handle;
    s.send_limit = 0;         // would block forever
    fake.writable_result = 0; // and never becomes writable
    r.settings.quietmode = 1;
    int n = report(r, ":stuck");
    EXPECT_FALSE(fake.socket(old)->open);
    ASSERT_NE(r.irc.ircsocket, old);
    EXPECT_EQ(r.irc.ircconnected, 1);
    // The new connection gets the login, then the line once more.
    Lines sent = sent_lines();
    EXPECT_EQ(sent.front(), "PASS zuzu");
    EXPECT_EQ(sent.back(), "PRIVMSG #chan :stuck ");
    EXPECT_EQ(n, static_cast<int>(std::string("PRIVMSG #chan :stuck \r\n").size()));
}

TEST_F(OutputTest, SendErrorReconnectsAndResendsTheLine)
{
    FakeSocket& s = connect_plain();
    int old = s.handle;
    s.send_error = SockErr::conn_reset;
    long long before = fake.slept_ms;
    report(r, ":again");
    EXPECT_FALSE(fake.socket(old)->open);
    EXPECT_FALSE(fake.socket(old)->hard_closed);
    EXPECT_EQ(sent_lines(), (Lines{"PASS zuzu", "NICK SOF2Tidewatch", kUserLine, "JOIN #chan", kBannerLine,
                                   "PRIVMSG #chan :again "}));
    // 5 s before reconnecting, the paced login; the resent line has no pause.
    EXPECT_EQ(fake.slept_ms - before, 5000 + 5 * 2150);
    EXPECT_EQ(fake.out, "sck_irc [-1]\nwrite_buf: Fake error\n");
}

TEST_F(OutputTest, ASendErrorThatCannotBeRepairedEndsTheRelay)
{
    FakeSocket& s = connect_plain();
    s.send_error = SockErr::conn_aborted;
    fake.on_connect = [](uint32_t, uint16_t, bool) { return -1; };
    long long before = fake.slept_ms;
    int code = -1;
    try {
        report(r, ":lost");
    } catch (const FakeExit& e) {
        code = e.code;
    }
    // Two attempts five seconds apart, then exit code 1 rather than running deaf.
    EXPECT_EQ(code, 1);
    EXPECT_EQ(r.irc.ircconnected, 0);
    EXPECT_EQ(fake.slept_ms - before, 10000 + 5000);
    EXPECT_EQ(tcp_sockets(), 3);
}

TEST_F(OutputTest, ConnectsOnDemandOnce)
{
    EXPECT_GT(report(r, ":first report"), 0);
    EXPECT_EQ(sent_lines().back(), "PRIVMSG #chan :first report ");
    EXPECT_EQ(tcp_sockets(), 1);

    TestRelay t2;
    Relay& d = t2.r();
    d.settings = r.settings;
    t2.fake.hosts = fake.hosts;
    t2.fake.on_connect = [](uint32_t, uint16_t, bool) { return -1; };
    EXPECT_EQ(send_privmsg(d, "#chan", ":nobody hears", 1), 0);
    int tcp = 0;
    for (const auto& [h, sock] : t2.fake.sockets)
        tcp += sock.tcp ? 1 : 0;
    EXPECT_EQ(tcp, 1); // the login inside the failed connect does not connect again
}
