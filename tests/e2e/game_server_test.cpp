// The relay beside a game server, end to end: the real tidecore program, a real
// IRC server, a user in the channel, and a stand-in game server on 127.0.0.1.
// In client mode the relay asks the game server for its status (silently after
// events, aloud in the periodic status block); in server mode it follows the
// server's own event log.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/support/channel_reports.h"
#include "tests/e2e/support/game_server.h"
#include "tests/e2e/support/e2e_fixture.h"
#include "tests/e2e/support/irc_client.h"
#include "tests/e2e/support/irc_server.h"
#include "tests/e2e/support/relay_process.h"
#include "tests/e2e/support/temp_dir.h"

using namespace e2e;

namespace {

std::string C(const char* code)
{
    return std::string("\x03") + code;
}

std::string transcript(const std::vector<std::string>& lines)
{
    std::string all;
    for (const std::string& l : lines)
        all += l + "\n";
    return all;
}

bool any_contains(const std::vector<std::string>& lines, const std::string& text)
{
    for (const std::string& l : lines)
        if (l.find(text) != std::string::npos)
            return true;
    return false;
}

struct GameServerE2E : ChannelFixture {
    ChannelReports channel{watcher, kChannel, kRelayNick};
    GameServer game;

    void TearDown() override
    {
        relay.stop();
        game.stop();
        ChannelFixture::TearDown();
    }

    void start_relay(const std::string& logname, const std::vector<std::string>& options)
    {
        dir.write(logname, "");
        ASSERT_TRUE(relay.start(relay_args(server->port(), kChannel, dir.file(logname), kRelayNick, options)));
        // The banner closes the login.
        auto banner = channel.next(20000);
        ASSERT_TRUE(banner) << relay.output() << watcher.transcript();
        ASSERT_EQ(*banner, C("1,15") + " Quillon's SOF2 Tidewatch v1.2");
    }
};

TEST_F(GameServerE2E, ClientModeAsksTheGameServerSilentlyAndInTheStatusBlock)
{
    dir.write("irccolors_sof2.cfg", "[general]\nshowconnectinfo=512\nwaitmillisecs=1000\n");
    ASSERT_TRUE(game.start());
    game.set_reply(status_reply("\\sv_hostname\\^1Tide^7watch\\mapname\\mp_jor1\\g_gametype\\inf\\scorelimit\\10"
                                "\\timelimit\\20\\redscore\\7\\bluescore\\3",
                                "5 48 2 \"^4Bob\"\n12 30 1 \"^1Al\"\n"));
    // Answers from anywhere but the queried port are not the game server's.
    game.forge_from_other_port(status_reply("\\mapname\\mp_forged\\redscore\\99", "1 1 1 \"Mallory\"\n"));
    // A server on this machine is named by host name: "127.0.0.1" is the local game client.
    const std::string port = std::to_string(game.port());
    start_relay("qconsole.log", {"-w", "localhost", "-d", port});

    // A capture makes the relay ask quietly and report the server's scores.
    dir.append("qconsole.log", "Bob has captured the Red Flag!\n");
    std::vector<std::string> got = channel.until("SCORE:", 20000);
    ASSERT_TRUE(any_contains(got, "SCORE:")) << transcript(got) << relay.output();
    EXPECT_GE(game.requests(), 1);
    EXPECT_EQ(got.back(), C("1,14") + " SCORE:" + C("4") + " Red " + C("1,14") + "-" + C("11") + " Blue" + C("1,14") +
                              ":" + C("4") + " 7 " + C("1,14") + "-" + C("11") + " 3");
    EXPECT_TRUE(any_contains(got, "Map: mp_jor1")) << transcript(got);
    EXPECT_FALSE(any_contains(got, "Sco Png")) << transcript(got);
    EXPECT_FALSE(any_contains(got, "Mallory")) << transcript(got);

    // After 70 quiet seconds the status block shows the server and its players.
    got = channel.until("Sco Png", 90000);
    std::vector<std::string> players = channel.take(2, 10000);
    ASSERT_EQ(players.size(), 2u) << transcript(got) << relay.output();
    EXPECT_TRUE(any_contains(got, "Map: mp_jor1")) << transcript(got);
    EXPECT_TRUE(any_contains(got, "Infiltration")) << transcript(got);
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got[got.size() - 3], C("1,14") + " Server stats:");
    EXPECT_EQ(got[got.size() - 2],
              C("0,1") + " " + C("4") + "Tide" + C("0") + "watch\x0f" + C("0,1") + " [localhost:" + port + "]");
    EXPECT_EQ(got.back(), C("1,15") + "  Sco Png T PlayerName");
    EXPECT_EQ(players[0], C("1,15") + " " + C("1,14") + "   5  48 " + C("11") + "B" + C("1,14") + " Bob");
    EXPECT_EQ(players[1], C("1,15") + " " + C("1,14") + "  12  30 " + C("4") + "R" + C("1,14") + " Al");
    EXPECT_TRUE(relay.running());
}

TEST_F(GameServerE2E, ServerModeReportsTheServersEventLog)
{
    dir.write("irccolors_sof2.cfg", "[general]\nshowconnectinfo=71\nwaitmillisecs=1000\nshowstatsafter=0\n");
    start_relay("games.log", {"-v"});
    dir.append("games.log",
               "  0:00 ------------------------------------------------------------\n"
               "  0:00 InitGame: \\sv_hostname\\Tide\\mapname\\mp_shop\\timelimit\\15\\g_gametype\\tdm\n"
               "  0:00 ClientConnect: 0\n"
               "  0:00 ClientUserinfoChanged: 0 n\\^1Alice\\t\\1\\identity\\x\n"
               "  0:01 ClientBegin: 0\n"
               "  0:02 ClientConnect: 1\n"
               "  0:02 ClientUserinfoChanged: 1 n\\Bob\\t\\2\n"
               "  1:30 Kill: 0 1 10: Alice killed Bob by MOD_M4\n"
               "  2:00 red:1  blue:0\n"
               "  2:30 ClientUserinfoChanged: 1 n\\Bobby\\t\\2\n"
               "  3:00 ClientDisconnect: 1\n"
               " 15:10 Exit: Timelimit hit.\n"
               " 15:12 ExitLevel: executed\n"
               " 15:20 ShutdownGame:\n");
    std::vector<std::string> got = channel.until("Timelimit hit", 30000);
    const std::string R = "\x16\x16";
    const std::string D = C("0,1");
    const std::vector<std::string> expected = {
        C("1,7") + "[15:00]  Play on mp_shop started",
        D + "[15:00]  [Player #0] is connecting...",
        D + "[15:00]  " + C("4") + R + "Alice" + D + " joined the red team.",
        D + "[14:59]  " + C("4") + R + "Alice enter the game",
        D + "[14:58]  [Player #1] is connecting...",
        D + "[14:58]  " + C("11") + R + "Bob" + D + " joined the blue team.",
    };
    ASSERT_GE(got.size(), expected.size() + 4) << transcript(got) << relay.output();
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(got[i], expected[i]) << i;
    // The kill, counted by client numbers, with the map clock in front.
    EXPECT_EQ(got[6].rfind(D + "[13:30] ", 0), 0u) << got[6];
    EXPECT_NE(got[6].find("Bob"), std::string::npos) << got[6];
    EXPECT_NE(got[6].find("Alice"), std::string::npos) << got[6];
    EXPECT_EQ(got[7], C("1,14") + "[13:00]  Team scores:\x02" + C("4") + " Red: 1" + C("11") + " Blue: 0");
    EXPECT_EQ(got[8], D + "[12:00]  " + C("11") + R + "Bobby" + D + " disconnected");
    EXPECT_EQ(got[9], C("1,7") + "*00:10*  Timelimit hit");
    EXPECT_TRUE(relay.running());
}

} // namespace

// A hostile (or spoofed) game server answers every query many times over with
// replies full of names nobody plays under. The player table keeps room for the
// log's own players: a kill between two players new to the log is reported.
TEST_F(GameServerE2E, RepliesFullOfStrangersNeverCrowdOutTheLogsPlayers)
{
    dir.write("irccolors_sof2.cfg", "[general]\nwaitmillisecs=1000\n");
    ASSERT_TRUE(game.start());
    game.set_answers(12);
    game.set_reply_maker([](int n) {
        std::string players;
        for (int i = 0; i < 100; ++i)
            players += "1 1 1 \"stranger" + std::to_string(n) + "x" + std::to_string(i) + "\"\n";
        return status_reply("\\mapname\\mp_jor1", players);
    });
    start_relay("qconsole.log", {"-w", "localhost", "-d", std::to_string(game.port())});

    // The relay asks the server quietly when a pass ends on a fiftieth log line
    // (six lines a pass: every 150 lines).
    std::string filler;
    for (int i = 0; i < 3000; ++i)
        filler += "nothing to report " + std::to_string(i) + "\n";
    dir.append("qconsole.log", filler);
    for (int i = 0; i < 600 && game.requests() < 12; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_GE(game.requests(), 12) << relay.output(); // room for 1000 players asked for many times over

    dir.append("qconsole.log", "Zed joined the red team.\nYan joined the blue team.\nYan was shot by Zed's M4\n");
    std::vector<std::string> got = channel.until("was shot by", 30000);
    ASSERT_TRUE(any_contains(got, "was shot by")) << transcript(got) << relay.output();
    EXPECT_TRUE(any_contains(got, "Zed")) << transcript(got);
    EXPECT_TRUE(relay.running());
}
