// The server event log (server mode): the stamp and the map clock, every keyword
// of the table with the report it sends, the player table it keeps, and the ten
// quiet minutes after which most reports are held back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "relay/gamelog/server_lines.h"
#include "relay/players/table.h"
#include "tests/support/connected_relay.h"

namespace {

struct ServerLines : ::testing::Test, ConnectedRelay {
    ServerLines()
    {
        r().settings.servermode = 1;
        r().settings.showconnectinfo = 1 | 2 | 4 | 64;
        r().game.lastactivity = fake.now();
    }

    // Hands a line over as the follower does; the line must come back unchanged.
    void feed(const std::string& text)
    {
        std::string line = text;
        EXPECT_EQ(process_server_line(r(), line.data()), 0);
        EXPECT_EQ(line, text) << "line not restored";
    }
    std::vector<std::string> shown()
    {
        std::vector<std::string> out;
        for (const std::string& l : lines())
            out.push_back(visible(l));
        return out;
    }
    std::vector<std::string> take()
    {
        std::vector<std::string> out = shown();
        clear_sent();
        return out;
    }
    void quiet_for(long long seconds) { fake.clock_ms += seconds * 1000; }
    void map(const char* name, int seconds)
    {
        MapInfo m;
        m.name = name;
        m.time = seconds;
        r().maps.maps.push_back(m);
    }
    static std::string msg(const std::string& text) { return "PRIVMSG #chan :" + text + " "; }
};

bool has_line_with(const std::vector<std::string>& lines, const std::string& part)
{
    for (const std::string& l : lines)
        if (l.find(part) != std::string::npos)
            return true;
    return false;
}

TEST_F(ServerLines, MapClockFromTheStampCountingDownOrUp)
{
    struct Case {
        int maptime;
        long long start;
        const char* stamp;
        const char* clock;
    } cases[] = {
        {900, 0, "16:40", "*01:40* "},
        {900, 0, " 5:00", "[10:00] "},
        {900, 0, "15:00", "[00:00] "},
        {0, 0, "  3:27", "[03:27] "},
        {900, 0, "0:75", "[15:00] "}, // past 60 seconds reads as 0
        {900, 0, "0:60", "[14:00] "},
        {0, 3600, "75:30", "[15:30] "}, // the minutes run on past the hour
        {0, 0, "125:05", "[125:05] "},
        {0, 120, "1:00", "[00:00] "}, // counting up, a stamp before the map start
        {600, 0, "99999999999:00", "*2147483637:00* "},
    };
    for (const Case& c : cases) {
        r().game.maptime = c.maptime;
        r().game.mapstartlogtime = c.start;
        feed(std::string(c.stamp) + " ClientConnect: 3");
        EXPECT_EQ(take(), std::vector<std::string>{msg("{C}0,1" + std::string(c.clock) + " [Player #3] is connecting...")})
            << c.stamp;
    }
}

TEST_F(ServerLines, MalformedAndUnknownLinesChangeNothing)
{
    const char* junk[] = {
        "",
        "no colon at all",
        "12:",
        " 12:30",
        "  1:00 ------------------------------------------------------------",
        "  1:00 Unknown: 1 2 3",
        "  1:00 kill: 1 2 3",
        "  1:00 Kill: 3",
        "  1:00 Kill: 3 4",
        "  1:00 Kill: 3 4 ",
        "  1:00 Kill: a b c",
        "  1:00 ClientConnect:",
        "  1:00 ClientConnect: x",
        "  1:00 ClientBegin: ",
        "  1:00 ClientUserinfoChanged: 3",
        "  1:00 InitGame:",
        "  1:00 ShutdownGame:",
        "  1:00 sayteam: Bob: secret",
        "  1:00 Item: x team_CTF_redflag",
        "  1:00 Item: 3",
        "  1:00 red: 8  blue:3",
        "  1:00 red:8",
        "  1:00 score: x  ping: 1  client: 3 Bob",
        "  1:00 score: 5",
    };
    player(3, "Bob", 1);
    for (const char* line : junk)
        feed(line);
    EXPECT_EQ(shown(), std::vector<std::string>{});
    EXPECT_EQ(r().players.playercount, 1);
    EXPECT_EQ(r().players.slots[0].score, 0);
    EXPECT_EQ(r().game.fragcount, 0);
    EXPECT_EQ(r().players.slots[0].kills + r().players.slots[0].deaths, 0);
}

TEST_F(ServerLines, InitGameStartsTheMapWithItsLengthFromTheServerOrTheMapFile)
{
    map("mp_jor1", 600);
    struct Case {
        const char* line;
        int maptime;
        long long start;
        const char* report;
    } cases[] = {
        {"  0:00 InitGame: \\sv_hostname\\Tide\\mapname\\mp_jor1\\timelimit\\15\\g_gametype\\inf", 900, 0,
         "{C}1,7[15:00]  Play on mp_jor1 started"},
        {"  0:00 InitGame: \\mapname\\mp_jor1\\timelimit\\0", 600, 0, "{C}1,7[10:00]  Play on mp_jor1 started"},
        {"  0:00 InitGame: \\mapname\\mp_shop", 0, 0, "{C}1,7[00:00]  Play on mp_shop started"},
        {" 42:10 InitGame: \\mapname\\mp_jor1\\timelimit\\20.5", 1230, 2530, "{C}1,7[20:30]  Play on mp_jor1 started"},
    };
    for (const Case& c : cases) {
        r().game.maptime = 77;
        feed(c.line);
        EXPECT_EQ(r().game.maptime, c.maptime) << c.line;
        EXPECT_EQ(r().game.mapstartlogtime, c.start) << c.line;
        EXPECT_EQ(take(), std::vector<std::string>{msg(c.report)}) << c.line;
    }
    EXPECT_EQ(r().game.gametype, 5);
    EXPECT_EQ(*r().query.sv_hostname, "Tide");
}

TEST_F(ServerLines, InitGameClearsTheMapsStatisticsAndNeedsAMapToReport)
{
    PlayerRecord& bob = player(3, "Bob", 1);
    bob.kills = 4;
    bob.score = 9;
    feed("  3:00 InitGame: \\sv_hostname\\Tide");
    EXPECT_EQ(shown(), std::vector<std::string>{});
    EXPECT_EQ(r().game.maptime, 0);
    EXPECT_EQ(r().game.mapstartlogtime, 180);
    EXPECT_EQ(bob.kills, 0);
    EXPECT_EQ(bob.score, 0);
}

TEST_F(ServerLines, ExitReportsItsReasonAndEndsTheMap)
{
    struct Case {
        int langin, langout;
        const char* reason;
        std::vector<std::string> lines;
        bool ends_map;
    } cases[] = {
        {0, 0, "Red team hit the score limit.",
         {msg("{C}1,7[05:00]  Red team hit the score limit."), msg("{C}1,7[05:00]  Team red wins on ")}, true},
        {0, 1, "Blue team hit the score limit.",
         {msg("{C}1,7[05:00]  Blue team hit the score limit."), msg("{C}1,7[05:00]  Das Blaue Team gewint auf ")}, true},
        {0, 0, "Wolf EndRound", {msg("{C}1,7[05:00]  Wolf EndRound")}, true},
        {0, 0, "Timelimit hit.", {msg("{C}1,7[05:00]  Timelimit hit")}, true},
        {0, 2, "Timelimit hit.", {msg("{C}1,7[05:00]  Tijdlimiet bereikt")}, true},
        {1, 0, "Zeitlimit erreicht.", {msg("{C}1,7[05:00]  Timelimit hit")}, true},
        {1, 0, "Timelimit hit.", {}, false},
        {0, 0, "Fraglimit hit.", {}, false},
    };
    r().settings.showstatsafter = 0;
    for (const Case& c : cases) {
        r().settings.langin = c.langin;
        r().settings.langout = c.langout;
        r().game.maptime = 600;
        r().game.mapstartlogtime = 0;
        r().game.fragcount = 7;
        feed(std::string("  5:00 Exit: ") + c.reason);
        EXPECT_EQ(take(), c.lines) << c.reason;
        EXPECT_EQ(r().game.maptime, c.ends_map ? 0 : 600) << c.reason;
        EXPECT_EQ(r().game.fragcount, 0) << c.reason;
    }
}

TEST_F(ServerLines, MapEndsBringTheStatisticsReportByTheirBits)
{
    struct Case {
        const char* line;
        int showstatsafter;
        bool stats;
    } cases[] = {
        {"  5:00 Exit: Red team hit the score limit.", 4, true},
        {"  5:00 Exit: Blue team hit the score limit.", 2 | 8, false},
        {"  5:00 Exit: Wolf EndRound", 8, true},
        {"  5:00 Exit: Timelimit hit.", 2, true},
        {"  5:00 Exit: Timelimit hit.", 4 | 8, false},
        {"  5:00 ExitLevel: executing", 8, true},
        {"  5:00 ExitLevel: executing", 2 | 4, false},
    };
    player(3, "Bob", 1);
    for (const Case& c : cases) {
        r().settings.showstatsafter = c.showstatsafter;
        feed(c.line);
        EXPECT_EQ(has_line_with(take(), "Player stats:"), c.stats) << c.line << " " << c.showstatsafter;
    }
    // No automatic reports at all while statsafter is 0.
    r().settings.statsafter = 0;
    r().settings.showstatsafter = 14;
    feed("  5:00 Exit: Timelimit hit.");
    EXPECT_FALSE(has_line_with(take(), "Player stats:"));
}

TEST_F(ServerLines, ExitLevelSendsTheWeaponStatisticsOnce)
{
    r().settings.weaponstats = 1;
    player(2, "Bob", 1);
    player(5, "Al", 2);
    feed("  1:00 Kill: 2 5 10: Bob killed Al by MOD_M4");
    clear_sent();
    for (int bits : {0, 8}) {
        r().settings.showstatsafter = bits;
        r().game.maptime = 600;
        feed("  9:00 ExitLevel: executing");
        std::vector<std::string> got = take();
        int heads = 0;
        for (const std::string& l : got)
            heads += l.find("Weapon stats:") != std::string::npos;
        EXPECT_EQ(heads, 1) << bits;
        EXPECT_EQ(has_line_with(got, "Player stats:"), bits == 8);
        EXPECT_EQ(r().game.maptime, 0);
    }
}

TEST_F(ServerLines, TeamScoresAreReportedInTeamColours)
{
    r().teams.redteamname = "^1Crimson";
    feed("  2:00 red:8  blue:3");
    EXPECT_EQ(take(), std::vector<std::string>{msg("{C}1,14[02:00]  Team scores:{B}{C}4 Crimson: 8{C}11 Blue: 3")});
    r().settings.teammode = 0;
    feed("  2:00 red:12 (done):0");
    EXPECT_EQ(take(), std::vector<std::string>{
                          msg("{C}1,14[02:00]  Team scores:{B}{C}4 {C}4Crimson{C}1,14: 12{C}11 Blue{C}1,14: 0")});
    EXPECT_EQ(r().teams.redscore(), 0); // reported, not kept
}

TEST_F(ServerLines, ScoreLinesStoreScoreAndPing)
{
    PlayerRecord& bob = player(3, "Bob", 1);
    feed("  9:00 score: 12  ping: 48  client: 3 Bob");
    EXPECT_EQ(bob.score, 12);
    EXPECT_EQ(bob.ping, 48);
    feed("  9:00 score: -4  ping: 999  client: 3 Bob");
    EXPECT_EQ(bob.score, -4);
    EXPECT_EQ(bob.ping, 999);
    EXPECT_EQ(shown(), std::vector<std::string>{});
}

TEST_F(ServerLines, FlagItemsReportTheObjectiveAndCountAsActivity)
{
    r().game.map = std::string("mp_kam2"); // not in the map file: the default texts
    r().game.gametype = 5;
    player(3, "^4Bob", 2);
    quiet_for(100);
    long long at = fake.now();
    feed("  4:00 Item: 3 team_CTF_redflag");
    EXPECT_EQ(take(), std::vector<std::string>{msg("{C}0,1[04:00]  {C}11{R}{R}Bob{O}{C}9,1 has taken the objective.")});
    EXPECT_EQ(r().game.lastactivity, at);
    feed("  4:10 Item: 3 team_CTF_blueflag");
    EXPECT_EQ(take(), std::vector<std::string>{msg("{C}0,1[04:10]  {C}11{R}{R}Bob{O}{C}9,1 has returned the objective.")});

    // An unknown client: nothing to say, but the server is busy.
    quiet_for(100);
    feed("  4:20 Item: 9 team_CTF_redflag");
    EXPECT_EQ(shown(), std::vector<std::string>{});
    EXPECT_EQ(r().game.lastactivity, fake.now());

    // Other items are no event at all.
    at = fake.now();
    quiet_for(100);
    feed("  4:30 Item: 3 weapon_m4");
    EXPECT_EQ(r().game.lastactivity, at);

    // Capture The Flag has no objective texts.
    r().game.gametype = 7;
    feed("  4:40 Item: 3 team_CTF_redflag");
    EXPECT_EQ(shown(), std::vector<std::string>{});
}

TEST_F(ServerLines, ChatIsRelayedOnlyWhileMessagesAreOn)
{
    feed("  1:00 say: ^1Bob^7: hello");
    EXPECT_EQ(take(), std::vector<std::string>{});
    r().settings.messages = 0; // stored inverted: 0 is on
    feed("  1:00 say: ^1Bob^7: hello");
    feed("  1:00 sayteam: ^1Bob^7: secret");
    EXPECT_EQ(take(), std::vector<std::string>{msg("{C}0,1[01:00]  {C}4Bob{C}0: hello")});
}

TEST_F(ServerLines, KillsGoToTheBookkeepingWithTheClientNumbers)
{
    PlayerRecord& bob = player(2, "Bob", 1);
    PlayerRecord& al = player(5, "Al", 2);
    quiet_for(300);
    const long long at = fake.now();
    feed("  3:27 Kill: 2 5 10: Bob killed Al by MOD_M4");
    EXPECT_EQ(bob.kills, 1);
    EXPECT_EQ(al.deaths, 1);
    EXPECT_EQ(r().game.fragcount, 1);
    EXPECT_EQ(r().game.lastactivity, at);
    std::vector<std::string> got = take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].rfind("PRIVMSG #chan :{C}0,1[03:27] {C}11 Al", 0), 0u) << got[0];
    EXPECT_TRUE(has_line_with(got, "Bob"));
}

TEST_F(ServerLines, PlayersConnectBeginAndLeave)
{
    feed("  0:10 ClientConnect: 3");
    EXPECT_EQ(take(), std::vector<std::string>{msg("{C}0,1[00:10]  [Player #3] is connecting...")});
    ASSERT_GE(find_player(r(), 3), 0);
    feed("  0:11 ClientBegin: 3");
    EXPECT_EQ(take(), std::vector<std::string>{msg("{C}0,1[00:11]  [Player #3] enter the game")});
    set_player_name(r(), 3, "^4Bob");
    set_player_team(r(), 3, 2);
    feed("  0:12 ClientBegin: 3");
    EXPECT_EQ(take(), std::vector<std::string>{msg("{C}0,1[00:12]  {C}11{R}{R}Bob enter the game")});
    feed("  0:13 ClientDisconnect: 3");
    EXPECT_EQ(take(), std::vector<std::string>{msg("{C}0,1[00:13]  {C}11{R}{R}Bob{C}0,1 disconnected")});
    EXPECT_LT(find_player(r(), 3), 0);
    feed("  0:14 ClientDisconnect: 4");
    EXPECT_EQ(take(), std::vector<std::string>{msg("{C}0,1[00:14]  [Player #4] disconnected")});

    // A client number connecting again starts afresh.
    PlayerRecord& cy = player(6, "Cy", 1);
    cy.kills = 3;
    feed("  0:20 ClientConnect: 6");
    EXPECT_EQ(player_name(r(), 6), nullptr);
    EXPECT_EQ(team_of(r(), 6), 0);
}

TEST_F(ServerLines, UserinfoChangesNameAndTeam)
{
    feed("  0:10 ClientConnect: 3");
    clear_sent();
    feed("  0:11 ClientUserinfoChanged: 3 n\\^4Bob\\t\\2\\model\\sas");
    EXPECT_STREQ(player_name(r(), 3), "^4Bob");
    EXPECT_EQ(team_of(r(), 3), 2);
    EXPECT_EQ(take(), std::vector<std::string>{msg("{C}0,1[00:11]  {C}11{R}{R}Bob{C}0,1 joined the blue team.")});

    // The same team again: the new name is kept, nothing is said.
    feed("  0:12 ClientUserinfoChanged: 3 n\\Robert\\t\\2\\model\\sas");
    EXPECT_STREQ(player_name(r(), 3), "Robert");
    EXPECT_EQ(take(), std::vector<std::string>{});

    feed("  0:13 ClientUserinfoChanged: 3 n\\Robert\\t\\3");
    EXPECT_EQ(take(), std::vector<std::string>{msg("{C}0,1[00:13]  {C}4{R}{R}Robert{C}0,1 joined the spectators.")});

    // No team field, or none the game knows: only the name.
    feed("  0:14 ClientUserinfoChanged: 3 n\\Rob\\model\\sas");
    feed("  0:15 ClientUserinfoChanged: 3 n\\Rob2\\t\\0");
    EXPECT_STREQ(player_name(r(), 3), "Rob2");
    EXPECT_EQ(team_of(r(), 3), 3);
    // No second backslash: nothing at all.
    feed("  0:16 ClientUserinfoChanged: 3 n\\Rob3");
    EXPECT_STREQ(player_name(r(), 3), "Rob2");
    EXPECT_EQ(take(), std::vector<std::string>{});

    // A client the table does not know is told by number.
    feed("  0:17 ClientUserinfoChanged: 9 n\\Zed\\t\\1");
    EXPECT_EQ(take(), std::vector<std::string>{msg("{C}0,1[00:17]  [Player #9] joined the red team.")});
}

TEST_F(ServerLines, PlayerLabelWithoutTeamMode)
{
    r().settings.teammode = 0;
    r().colours.playerstyle = "\x02";
    player(3, "^4Bob", 2);
    feed("  0:12 ClientBegin: 3");
    r().colours.playercolor = 7;
    feed("  0:13 ClientDisconnect: 3");
    EXPECT_EQ(take(), (std::vector<std::string>{msg("{C}0,1[00:12]  {B}{C}12Bob enter the game"),
                                                 msg("{C}0,1[00:13]  {C}7{B}Bob{C}0,1 disconnected")}));
}

TEST_F(ServerLines, PlayerReportsFollowTheirShowconnectinfoBits)
{
    struct Case {
        int bits;
        std::size_t lines;
    } cases[] = {{0, 0}, {1, 1}, {2, 1}, {4, 1}, {64, 1}, {1 | 2 | 4 | 64, 4}};
    for (const Case& c : cases) {
        r().settings.showconnectinfo = c.bits;
        feed("  0:10 ClientConnect: 3");
        feed("  0:11 ClientUserinfoChanged: 3 n\\Bob\\t\\1");
        feed("  0:12 ClientBegin: 3");
        feed("  0:13 ClientDisconnect: 3");
        EXPECT_EQ(take().size(), c.lines) << c.bits;
    }
    r().settings.showplay = 0;
    feed("  0:10 ClientConnect: 3");
    EXPECT_EQ(take().size(), 0u);
}

TEST_F(ServerLines, TenQuietMinutesHoldBackGameReportsButNotPlayerReports)
{
    r().settings.messages = 0;
    r().settings.showstatsafter = 0;
    r().game.map = std::string("mp_kam2");
    r().game.gametype = 5;
    const std::vector<std::string> game_lines = {
        "  0:00 InitGame: \\mapname\\mp_kam2",
        "  9:00 Exit: Timelimit hit.",
        "  9:00 red:3  blue:1",
        "  9:00 say: Bob: anyone?",
    };
    // Each line is judged by the time since the last kill or flag event.
    for (const std::string& l : game_lines) {
        r().game.lastactivity = fake.now() - 599;
        feed(l);
    }
    EXPECT_EQ(take().size(), 4u);

    for (const std::string& l : game_lines) {
        r().game.lastactivity = fake.now() - 600;
        feed(l);
    }
    EXPECT_EQ(take(), std::vector<std::string>{});

    feed("  0:10 ClientConnect: 3");
    feed("  0:11 ClientUserinfoChanged: 3 n\\Bob\\t\\2");
    feed("  0:12 ClientBegin: 3");
    feed("  0:13 Item: 3 team_CTF_redflag");
    feed("  0:14 ClientDisconnect: 3");
    EXPECT_EQ(take().size(), 5u);

    // The flag event opened the window again.
    feed("  9:00 red:3  blue:1");
    EXPECT_EQ(take().size(), 1u);
}

} // namespace

namespace {

// Lines made of random pieces of real lines: the processor always returns 0, never
// writes into the line, and the map clock never shows a minus sign.
TEST_F(ServerLines, RandomLinesNeverBreakTheRelay)
{
    const std::string stamps[] = {"  1:23 ", "99999999999:75 ", "0:00 ", "-5:-5 ", "", "12:", " 300:59  "};
    const std::string keywords[] = {"Kill", "Item", "InitGame", "ClientUserinfoChanged", "ClientConnect",
                                    "ClientDisconnect", "ClientBegin", "red", "score", "say", "Exit", "ExitLevel", "x"};
    const std::string pieces[] = {"99999999999", ":", " ", "\\", "t", "1", "3", "team_CTF_redflag", "n\\", "-",
                                  "^1", "mapname", "timelimit", "\xff", "Timelimit hit"};
    unsigned seed = 777;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    r().settings.messages = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string line = stamps[next() % std::size(stamps)] + keywords[next() % std::size(keywords)] + ":";
        if (next() % 4 != 0)
            line += " ";
        const unsigned parts = next() % 12;
        for (unsigned i = 0; i < parts; ++i)
            line += pieces[next() % std::size(pieces)];
        feed(line);
    }
    EXPECT_LE(r().players.playercount, kMaxPlayers);
    const std::string all = sent();
    EXPECT_NE(all, "");
    EXPECT_EQ(all.find("[-"), std::string::npos) << visible(all);
    EXPECT_EQ(all.find("*-"), std::string::npos) << visible(all);
}

} // namespace
