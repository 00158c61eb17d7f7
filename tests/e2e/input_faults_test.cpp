// The relay's other inputs going wrong under a running relay, end to end: the log
// file deleted, truncated, replaced or ending in half a line; the game server
// absent, silent, talking nonsense or answering twice; configuration files that
// are missing or hold rubbish; a trace location that cannot be written. A
// scripted IRC server on 127.0.0.1 receives the reports. Nothing may crash, and
// every kill is reported once and whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "tests/e2e/support/game_server.h"
#include "tests/e2e/support/irc_peer.h"
#include "tests/e2e/support/peer_fixture.h"
#include "tests/e2e/support/relay_process.h"
#include "tests/e2e/support/temp_dir.h"

using namespace e2e;

namespace {

bool is_report(const std::string& line)
{
    return line.rfind("PRIVMSG " + kChannel + " :", 0) == 0;
}

struct InputFaultsE2E : PeerFixture {
    void TearDown() override
    {
        PeerFixture::TearDown();
        unsetenv("TIDECORE_TRACE_DIR");
    }

    void start_relay(std::vector<std::string> options, bool write_colours = true)
    {
        start_with_peer(kRelayNick, options, "", write_colours);
    }

    // The report naming victim, or "" when none came within timeout_ms.
    std::string report_of(const std::string& victim, int timeout_ms = 15000, std::size_t from = 0)
    {
        auto got = peer.wait_for(
            [&](const std::string& l) { return is_report(l) && l.find(victim) != std::string::npos; }, timeout_ms,
            from);
        return got ? *got : std::string();
    }

    std::size_t reports_naming(const std::string& text)
    {
        std::size_t n = 0;
        for (const std::string& l : peer.lines())
            n += is_report(l) && l.find(text) != std::string::npos;
        return n;
    }
};

} // namespace

// Steps on one running relay; each ends with a kill that must be reported whole.
TEST_F(InputFaultsE2E, LogFileDeletedTruncatedReplacedOrCutMidLine)
{
    start_relay({});
    dir.append("qconsole.log", "Anna was shot by Alice's M4\n");
    ASSERT_NE(report_of("Anna"), "") << relay.output() << peer.transcript();

    struct Step {
        const char* name;
        void (*fault)(const TempDir&);
        const char* victim;
    };
    const std::vector<Step> steps = {
        {"half a line, then its rest",
         [](const TempDir& d) {
             d.append("qconsole.log", "Bert was shot by Al");
             usleep(1500 * 1000);
             d.append("qconsole.log", "ice's M4\n");
         },
         "Bert"},
        {"truncated to nothing, then written again",
         [](const TempDir& d) {
             d.write("qconsole.log", "");
             usleep(1500 * 1000);
             d.append("qconsole.log", "Cora was shot by Alice's M4\n");
         },
         "Cora"},
        {"truncated while half a line waits",
         [](const TempDir& d) {
             d.append("qconsole.log", "Hidden was shot by");
             usleep(1500 * 1000);
             d.write("qconsole.log", "Dirk was shot by Alice's M4\n");
         },
         "Dirk"},
        {"replaced by a new file",
         [](const TempDir& d) {
             std::string fresh = d.write("fresh.log", "Emma was shot by Alice's M4\n");
             std::rename(fresh.c_str(), d.file("qconsole.log").c_str());
         },
         "Emma"},
        {"deleted, later created again",
         [](const TempDir& d) {
             std::remove(d.file("qconsole.log").c_str());
             usleep(1500 * 1000);
             d.write("qconsole.log", "Finn was shot by Alice's M4\n");
         },
         "Finn"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        std::size_t from = peer.lines().size();
        step.fault(dir);
        std::string got = report_of(step.victim, 15000, from);
        ASSERT_NE(got, "") << relay.output() << peer.transcript();
        EXPECT_NE(got.find("'s M4"), std::string::npos) << got;
        EXPECT_NE(got.find("Alice"), std::string::npos) << got;
        ASSERT_TRUE(relay.running()) << relay.output();
    }
    peer.pump(1500);
    for (const char* victim : {"Anna", "Bert", "Cora", "Dirk", "Emma", "Finn"})
        EXPECT_EQ(reports_naming(victim), 1u) << victim << "\n" << peer.transcript();
    // The half line cut off by the truncation is gone, not glued to the next one.
    EXPECT_EQ(reports_naming("Hidden"), 0u) << peer.transcript();
}

struct GameServerFault {
    const char* name;
    int answers;       // -1: nothing listens on the port
    std::string reply; // what it answers
    std::string score; // the score report that follows the capture
};

void PrintTo(const GameServerFault& f, std::ostream* os)
{
    *os << f.name;
}

struct GameServerFaultsE2E : InputFaultsE2E, ::testing::WithParamInterface<GameServerFault> {};

// A capture makes the relay ask the game server quietly and report the score;
// whatever the server does, the report comes and the next kill is reported.
TEST_P(GameServerFaultsE2E, CaptureScoreAndNextKillStillReported)
{
    const GameServerFault& f = GetParam();
    GameServer game;
    ASSERT_TRUE(game.start());
    int port = game.port();
    if (f.answers < 0)
        game.stop();
    game.set_answers(f.answers < 0 ? 0 : f.answers);
    game.set_reply(f.reply);
    start_relay({"-w", "localhost", "-d", std::to_string(port)});

    dir.append("qconsole.log", "Bob joined the blue team.\nBob has captured the Red Flag!\n");
    auto score = peer.wait_for([](const std::string& l) { return is_report(l) && l.find("SCORE:") != std::string::npos; },
                               20000);
    ASSERT_TRUE(score) << relay.output() << peer.transcript();
    EXPECT_NE(score->find(f.score), std::string::npos) << *score;
    dir.append("qconsole.log", "Gus was shot by Bob's M4\n");
    EXPECT_NE(report_of("Gus"), "") << relay.output() << peer.transcript();
    EXPECT_TRUE(relay.running()) << relay.output();
    if (f.answers > 0) {
        EXPECT_GE(game.requests(), 1);
    }
}

namespace {

const std::string kScores = status_reply("\\mapname\\mp_jor1\\redscore\\7\\bluescore\\3", "5 48 2 \"Bob\"\n");
std::string garbage()
{
    std::string g("\xff\xff\xff\xffstatusResponse\n\\\\\\redscore\\", 29);
    for (int c = 0; c < 256; ++c)
        g += static_cast<char>(c);
    return g + "\n\"\"\"\n-1 -1 -1 \"\n99999999999999999999 x";
}

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Faults, GameServerFaultsE2E,
    ::testing::Values(GameServerFault{"Answering", 1, kScores, " 7 "}, GameServerFault{"Absent", -1, "", "SCORE:"},
                      GameServerFault{"Silent", 0, "", "SCORE:"},
                      GameServerFault{"Garbage", 1, garbage(), "SCORE:"},
                      GameServerFault{"Twice", 2, kScores, " 7 "}),
    [](const auto& info) { return std::string(info.param.name); });

struct StartupFault {
    const char* name;
    // Prepares the scratch directory; returns the extra options.
    std::vector<std::string> (*prepare)(const TempDir&);
};

void PrintTo(const StartupFault& f, std::ostream* os)
{
    *os << f.name;
}

struct StartupFaultsE2E : InputFaultsE2E, ::testing::WithParamInterface<StartupFault> {};

// Bad configuration files and trace locations: the relay starts, logs in and
// reports with what it has.
TEST_P(StartupFaultsE2E, RelayRunsAndReports)
{
    std::vector<std::string> options = GetParam().prepare(dir);
    start_relay(options, false);
    dir.append("qconsole.log", "Hugo was shot by Alice's M4\n");
    std::string got = report_of("Hugo");
    EXPECT_NE(got.find("Alice"), std::string::npos) << relay.output() << peer.transcript();
    EXPECT_NE(got.find("'s M4"), std::string::npos) << got;
    EXPECT_TRUE(relay.running()) << relay.output();
    // A planted link at the trace path was not followed.
    if (std::string(GetParam().name) == "TraceLinkPlanted") {
        EXPECT_EQ(read_text(dir.file("victim.txt")), "keep\n");
    }
}

namespace {

std::string binary_rubbish()
{
    std::string s(3000, '=');
    for (int c = 0; c < 256; ++c)
        s += static_cast<char>(c);
    return s + "\n[general\n]]]\nwaitmillisecs=\n=1000\n";
}

std::vector<std::string> traced_in(const std::string& dir)
{
    setenv("TIDECORE_TRACE_DIR", dir.c_str(), 1);
    return {"-D", "1001"};
}

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Faults, StartupFaultsE2E,
    ::testing::Values(
        StartupFault{"ColourFileMissing", [](const TempDir&) { return std::vector<std::string>{}; }},
        StartupFault{"ColourFileIsADirectory",
                     [](const TempDir& d) {
                         d.subdir("irccolors_sof2.cfg");
                         return std::vector<std::string>{};
                     }},
        StartupFault{"ColourFileRubbish",
                     [](const TempDir& d) {
                         d.write("irccolors_sof2.cfg", binary_rubbish());
                         return std::vector<std::string>{};
                     }},
        StartupFault{"ColourFileUnreadable",
                     [](const TempDir& d) {
                         d.write("irccolors_sof2.cfg", "[general]\nwaitmillisecs=1000\n", 0);
                         return std::vector<std::string>{};
                     }},
        StartupFault{"MapFileMissing",
                     [](const TempDir& d) {
                         return std::vector<std::string>{"-x", d.file("nomaps.xml")};
                     }},
        StartupFault{"MapFileRubbish",
                     [](const TempDir& d) {
                         return std::vector<std::string>{
                             "-x", d.write("maps.xml", "<maps><map name=\"mp_a\" time=\"99999999999999\"><red>" +
                                                           binary_rubbish())};
                     }},
        StartupFault{"MapFileIsADirectory",
                     [](const TempDir& d) {
                         return std::vector<std::string>{"-x", d.subdir("maps.xml")};
                     }},
        StartupFault{"TraceDirMissing", [](const TempDir& d) { return traced_in(d.file("no/such/dir")); }},
        StartupFault{"TraceDirIsAFile", [](const TempDir& d) { return traced_in(d.write("afile", "x")); }},
        StartupFault{"TraceLinkPlanted",
                     [](const TempDir& d) {
                         std::string victim = d.write("victim.txt", "keep\n");
                         std::string traces = d.subdir("traces");
                         symlink(victim.c_str(), (traces + "/tidecore-trace.log").c_str());
                         return traced_in(traces);
                     }}),
    [](const auto& info) { return std::string(info.param.name); });
