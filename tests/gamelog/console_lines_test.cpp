// Console log lines: what each kind of line does to the relay's state and which
// report lines it sends to the channel.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "relay/gamelog/console_lines.h"
#include "relay/players/table.h"
#include "tests/support/connected_relay.h"

namespace {

struct ConsoleLines : ::testing::Test {
    ConnectedRelay t;
    Relay& r = t.r();

    void feed(const std::string& text)
    {
        std::string line = text; // the processor gets a writable line, as from the log buffer
        process_console_line(r, line.data());
    }

    // Every line sent so far, control bytes made visible, without the CR LF.
    std::vector<std::string> sent()
    {
        std::vector<std::string> out;
        for (const std::string& l : t.lines())
            out.push_back(visible(l));
        return out;
    }
    void forget_sent() { t.clear_sent(); }

    // A player known by name, as the name registration would leave it.
    int player(int id, const char* name, int team = 0)
    {
        add_player(r, id);
        set_player_name(r, id, name);
        set_player_team(r, id, team);
        return id;
    }
};

bool contains(const std::vector<std::string>& lines, const std::string& line)
{
    for (const std::string& l : lines)
        if (l == line)
            return true;
    return false;
}

// ---- Flag, bomb and briefcase events ------------------------------------------

TEST_F(ConsoleLines, FlagTakenReportedInOutputLanguageAndCarrierPutOnActingTeam)
{
    r.settings.langin = 0;
    r.settings.langout = 1;
    int bob = player(7, "Bob", 0);
    feed("^4Bob^7 has taken the Red Flag!");
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_EQ(sent()[0], "PRIVMSG #chan :{C}0,1 {C}11{R}{R}Bob{C}9,1 hat die Rote Flagge geklaut! ");
    EXPECT_EQ(team_of(r, bob), 2);
}

TEST_F(ConsoleLines, FlagEventWithoutTeamModeKeepsTheNamesColours)
{
    r.settings.teammode = 0;
    int bob = player(7, "Bob", 1);
    feed("^4Bob^7 has dropped the Blue Flag!");
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_EQ(sent()[0], "PRIVMSG #chan :{C}0,1 {C}12Bob{C}0{C}9,1 has dropped the Blue Flag! ");
    EXPECT_EQ(team_of(r, bob), 1); // teams are only corrected in team mode
}

TEST_F(ConsoleLines, GermanLogIsReadWithGermanPhrases)
{
    r.settings.langin = 1;
    r.settings.langout = 2;
    feed("Bob hat die Blaue Flagge geklaut!");
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_EQ(sent()[0], "PRIVMSG #chan :{C}0,1 {C}4{R}{R}Bob{C}9,1 heeft de blauwe vlag gepakt! ");
    forget_sent();
    feed("Bob has taken the Blue Flag!"); // English is not the log language now
    EXPECT_TRUE(sent().empty());
}

TEST_F(ConsoleLines, EscapeWithBriefcaseWinsOverTakingItInTheSameLine)
{
    r.settings.teammode = 0;
    feed("Bob has taken the briefcase! Bob has escaped with the briefcase!");
    std::vector<std::string> lines = sent();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "PRIVMSG #chan :{C}0,1 Bob has taken the briefcase! Bob{C}9,1 has escaped with the briefcase! ");
    EXPECT_EQ(lines[1], "PRIVMSG #chan :{C}1,7 Blue team win! ");
    EXPECT_EQ(r.teams.bluescore(), 1);
    EXPECT_EQ(r.teams.redscore(), 0);
}

TEST_F(ConsoleLines, WinningEventsRaiseScoreOnlyWithoutStatusSource)
{
    struct Case {
        const char* line;
        bool serverhost;
        bool queryopen;
        int red, blue;
    } cases[] = {
        {"Bob has captured the Blue Flag!", false, false, 1, 0},
        {"Bob has captured the Blue Flag!", true, false, 0, 0},
        {"Bob has captured the Blue Flag!", false, true, 0, 0},
        {"Bob has captured the Red Flag!", false, false, 0, 1},
        {"Bob has defused the bomb!", false, false, 1, 0},
        {"Bob has escaped with the briefcase!", false, false, 0, 1},
        {"Bob has escaped with the briefcase!", true, false, 0, 0},
        {"Bob has taken the Blue Flag!", false, false, 0, 0},
        {"Bob has planted the bomb!", false, false, 0, 0},
    };
    for (const Case& c : cases) {
        TestRelay fresh;
        Relay& rr = fresh.r();
        if (c.serverhost)
            rr.settings.serverhost = "127.0.0.1";
        rr.query.queryopen = c.queryopen;
        std::string line = c.line;
        process_console_line(rr, line.data());
        EXPECT_EQ(rr.teams.redscore(), c.red) << c.line << " serverhost=" << c.serverhost;
        EXPECT_EQ(rr.teams.bluescore(), c.blue) << c.line << " serverhost=" << c.serverhost;
    }
}

// A score set to the largest number by "]lbot score" stays there on the next round
// won (found by fuzzing: it wrapped round, undefined behaviour).
TEST(ConsoleLineScores, AScoreAtTheLargestNumberDoesNotWrap)
{
    for (const char* line : {"Bob has captured the Blue Flag!", "Bob has defused the bomb!",
                             "Bob has captured the Red Flag!", "Red team eliminated!",
                             "Blue team has destroyed the target!"}) {
        TestRelay fresh;
        Relay& rr = fresh.r();
        rr.teams.redscore() = std::numeric_limits<int>::max();
        rr.teams.bluescore() = std::numeric_limits<int>::max();
        std::string text = line;
        process_console_line(rr, text.data());
        EXPECT_EQ(rr.teams.redscore(), std::numeric_limits<int>::max()) << line;
        EXPECT_EQ(rr.teams.bluescore(), std::numeric_limits<int>::max()) << line;
    }
}

TEST_F(ConsoleLines, DefusedBombEndsTheRound)
{
    r.game.fragcount = 17;
    r.game.map = "mp_shop";
    feed("Ann has defused the bomb!");
    std::vector<std::string> lines = sent();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "PRIVMSG #chan :{C}0,1 {C}4{R}{R}Ann{C}9,1 has defused the bomb! ");
    EXPECT_EQ(lines[1], "PRIVMSG #chan :{C}1,7 Red team win! ");
    EXPECT_EQ(lines[2], "PRIVMSG #chan :{C}1,7 Map: mp_shop ");
    EXPECT_EQ(r.game.fragcount, 0);
}

TEST_F(ConsoleLines, ReturnedFlagMustStartTheLineButBriefcaseMayStandAnywhere)
{
    r.settings.messages = 0;
    feed("The Red Flag has returned!");
    feed("^1x The Blue Flag has returned!"); // not at the start: not an event
    feed("xx The Briefcase has returned!");
    std::vector<std::string> lines = sent();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "PRIVMSG #chan :{C}0,1{C}9,1 The Red Flag has returned! ");
    EXPECT_EQ(lines[1], "PRIVMSG #chan :{C}0,1{C}9,1 The Briefcase has returned! ");
}

TEST_F(ConsoleLines, EventsAreNotSentWithShowplayOffButStillCount)
{
    r.settings.showplay = 0;
    feed("Bob has captured the Red Flag!");
    feed("Red team eliminated!");
    for (const std::string& line : sent()) { // only the score reports go out
        EXPECT_EQ(line.find("captured"), std::string::npos) << line;
        EXPECT_EQ(line.find("eliminated"), std::string::npos) << line;
    }
    EXPECT_EQ(r.teams.bluescore(), 2);
}

// ---- Rounds, limits and map ends ----------------------------------------------

TEST_F(ConsoleLines, EliminationNamesTheTeamWithItsColours)
{
    r.teams.redteamname = "^1Red^7Dogs";
    feed("Red team eliminated!");
    std::vector<std::string> lines = sent();
    ASSERT_GE(lines.size(), 1u);
    EXPECT_EQ(lines[0], "PRIVMSG #chan :{C}1,7 Team {C}4Red{C}0Dogs eliminated! ");
    EXPECT_EQ(r.teams.bluescore(), 1);
    EXPECT_EQ(r.teams.redscore(), 0);
}

TEST_F(ConsoleLines, EliminationWithoutTeamNameUsesThePhrase)
{
    r.teams.blueteamname = "";
    r.settings.langout = 1;
    r.game.fragcount = 9;
    feed("Blue team eliminated!");
    std::vector<std::string> lines = sent();
    ASSERT_GE(lines.size(), 1u);
    EXPECT_EQ(lines[0], "PRIVMSG #chan :{C}1,7 Das Blaue Team ist tot! ");
    EXPECT_EQ(r.teams.redscore(), 1);
    EXPECT_EQ(r.game.fragcount, 0);
}

TEST_F(ConsoleLines, TargetDestroyedWinLineIsEnglishInEveryLanguage)
{
    r.settings.langout = 1;
    feed("Blue team has destroyed the target!");
    std::vector<std::string> lines = sent();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "PRIVMSG #chan :{C}1,7 Das Blaue Team hat das Ziel aufgeblasen! ");
    EXPECT_EQ(lines[1], "PRIVMSG #chan :{C}1,7 Blue team win! ");
    EXPECT_EQ(r.teams.bluescore(), 1);
}

TEST_F(ConsoleLines, ScoreLimitResetsScoresStatsAndClockButNotMapLength)
{
    r.teams.redscore() = 5;
    r.teams.bluescore() = 3;
    r.game.maptime = 900;
    r.game.timelimit = 30;
    r.game.mapstarttime = 1;
    int bob = player(3, "Bob", 1);
    r.players.slots[find_player(r, bob)].kills = 4;
    long long before = t.fake.now();
    feed("Red Team hit the Team Score Limit");
    std::vector<std::string> lines = sent();
    ASSERT_GE(lines.size(), 1u);
    EXPECT_EQ(lines[0], "PRIVMSG #chan :{C}1,7 Red Team hit the Team Score Limit ");
    EXPECT_EQ(r.teams.redscore(), 0);
    EXPECT_EQ(r.teams.bluescore(), 0);
    EXPECT_EQ(r.players.slots[find_player(r, bob)].kills, 0);
    EXPECT_EQ(team_of(r, bob), 1);
    EXPECT_GE(r.game.mapstarttime, before);
    EXPECT_EQ(r.game.maptime, 900);
}

TEST_F(ConsoleLines, ShutdownEndsTheRoundAndStartsTheNextMap)
{
    r.game.map = "mp_shop";
    r.game.timelimit = 20;
    r.teams.redscore() = 2;
    feed("RE_Shutdown( 0 )");
    std::vector<std::string> lines = sent();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "PRIVMSG #chan :{C}1,7 Map: mp_shop ");
    EXPECT_TRUE(contains(lines, "PRIVMSG #chan :{C}1,7 Round Ended... "));
    EXPECT_TRUE(contains(lines, "PRIVMSG #chan :{C}1,7 Team scores/Player stats reset... "));
    EXPECT_TRUE(contains(lines, "PRIVMSG #chan :{C}1,7 Timelimit: 20.00 "));
    EXPECT_EQ(r.teams.redscore(), 0);
    EXPECT_EQ(r.game.maptime, 1200);
}

TEST_F(ConsoleLines, ShutdownLineInEachOutputLanguage)
{
    const char* expected[] = {"Round Ended...", "Runde beendet..", "Ronde beeindigd..."};
    for (int lang = 0; lang < 3; ++lang) {
        r.settings.langout = lang;
        forget_sent();
        feed("RE_Shutdown");
        EXPECT_TRUE(contains(sent(), std::string("PRIVMSG #chan :{C}1,7 ") + expected[lang] + " ")) << lang;
    }
}

TEST_F(ConsoleLines, ClockTextLeadsReportsWhenUsetimeIsOn)
{
    r.settings.usetime = 1;
    r.game.mapstarttime = t.fake.now() - 65;
    feed("Bob has taken the bomb!");
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_EQ(sent()[0], "PRIVMSG #chan :{C}0,1[01:05] {C}11{R}{R}Bob{C}9,1 has taken the bomb! ");
    EXPECT_EQ(r.game.clocktext, "[01:05]");
}

TEST_F(ConsoleLines, ClockTextIsEmptyWithUsetimeOff)
{
    r.game.mapstarttime = t.fake.now() - 65;
    r.game.clocktext = "[stale]";
    feed("nothing to see here");
    EXPECT_EQ(r.game.clocktext, "");
}

// ---- Player lines ----------------------------------------------------------------

TEST_F(ConsoleLines, PlayerLinesAreReportedUnderTheirConnectInfoBit)
{
    struct Case {
        const char* phrase;
        int bit;
    } cases[] = {
        {" joined the red team.", 64},       {" joined the blue team.", 64},
        {" joined the spectators.", 64},     {" enter the game", 4},
        {" is connecting...", 1},            {" disconnected", 2},
        {" timed out", 16},                  {" Dropped due to inactivity", 32},
        {" You were kicked off of the server!", 256},
    };
    for (const Case& c : cases) {
        r.settings.showconnectinfo = 0x1ff & ~c.bit; // every other bit
        forget_sent();
        feed(std::string("^1Bob") + c.phrase);
        EXPECT_TRUE(sent().empty()) << c.phrase;
        r.settings.showconnectinfo = c.bit;
        feed(std::string("^1Bob") + c.phrase);
        ASSERT_EQ(sent().size(), 1u) << c.phrase;
        EXPECT_EQ(sent()[0], std::string("PRIVMSG #chan :{C}0,1 Bob") + c.phrase + " ");
    }
}

TEST_F(ConsoleLines, PlayerLineInOutputLanguage)
{
    r.settings.langout = 1;
    r.settings.showconnectinfo = 1;
    feed("Bob is connecting...");
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_EQ(sent()[0], "PRIVMSG #chan :{C}0,1 Bob kommt auf dem Server ");
}

TEST_F(ConsoleLines, JoinLinesRegisterAndTeamThePlayer)
{
    feed("^4Ann^7 joined the blue team.");
    feed("^1Bob^7 joined the red team.");
    feed("Cid joined the spectators.");
    ASSERT_EQ(r.players.playercount, 3);
    EXPECT_EQ(*r.players.slots[0].name, "Ann");
    EXPECT_EQ(r.players.slots[0].team, 2);
    EXPECT_EQ(*r.players.slots[1].name, "Bob");
    EXPECT_EQ(r.players.slots[1].team, 1);
    EXPECT_EQ(r.players.slots[2].team, 3);
    feed("^4Ann^7 joined the red team.");
    EXPECT_EQ(r.players.slots[0].team, 1);
    EXPECT_EQ(r.players.playercount, 3);
}

TEST_F(ConsoleLines, DepartureOfUnseenNameRegistersThenRemovesIt)
{
    feed("^1Bob^7 joined the red team.");
    feed("Ghost disconnected");
    EXPECT_EQ(r.players.playercount, 2);
    EXPECT_EQ(r.players.slots[1].id, -1);
    EXPECT_FALSE(r.players.slots[1].name.has_value());
    EXPECT_EQ(r.players.slots[0].id, 0); // Bob stays
    feed("Bob timed out");
    EXPECT_EQ(r.players.slots[0].id, -1);
}

TEST_F(ConsoleLines, FullTableLeavesOtherPlayersAloneOnStrangersLines)
{
    for (int id = 0; id < kMaxPlayers; ++id)
        player(id, ("P" + std::to_string(id)).c_str(), 1);
    ASSERT_EQ(r.players.playercount, kMaxPlayers);
    feed("Stranger joined the blue team.");
    feed("Stranger disconnected");
    EXPECT_EQ(find_player(r, 0), 0);
    EXPECT_EQ(team_of(r, 0), 1);
}

// ---- Console echoes ------------------------------------------------------------

TEST_F(ConsoleLines, MapRestartInCapitalsSendsResetEvenWithShowplayOff)
{
    r.settings.showplay = 0;
    r.teams.redscore() = 4;
    r.teams.bluescore() = 2;
    player(2, "Bob", 1);
    feed("]RCON MAP_RESTART");
    std::vector<std::string> lines = sent();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "PRIVMSG #chan :{C}1,7 SCORES/STATS/TIME RESET... ");
    EXPECT_EQ(r.teams.redscore(), 0);
    EXPECT_EQ(r.teams.bluescore(), 0);
    EXPECT_EQ(r.players.playercount, 0);
    EXPECT_EQ(find_player(r, 2), -1);
}

TEST_F(ConsoleLines, MapRestartEchoFormsAnnounceThePlay)
{
    const char* echoes[] = {"]rcon map_restart", "]/rcon map_restart 5", "]\\Rcon Map_Restart"};
    for (const char* echo : echoes) {
        r.game.map = "mp_jor1";
        forget_sent();
        feed(echo);
        std::vector<std::string> lines = sent();
        ASSERT_GE(lines.size(), 2u) << echo;
        EXPECT_EQ(lines[0], "PRIVMSG #chan :{C}1,7 SCORES/STATS/TIME RESET... ") << echo;
        EXPECT_EQ(lines[1], "PRIVMSG #chan :{C}1,7 Play on mp_jor1 started ") << echo;
    }
    r.game.map.reset();
    r.settings.langout = 1;
    forget_sent();
    feed("]rcon map_restart");
    ASSERT_GE(sent().size(), 2u);
    EXPECT_EQ(sent()[1], "PRIVMSG #chan :{C}1,7 Spiel hat angefangen auf map  ");
}

TEST_F(ConsoleLines, ChatCannotPassItselfOffAsAConsoleCommandOrEvent)
{
    r.settings.messages = 0;
    r.teams.redscore() = 3;
    player(2, "Bob", 1);
    feed("]rcon map_restart^7: ^2hello");   // a player named "]rcon map_restart"
    feed("]lbot showfrags off^7: ^2hi");     // a player named "]lbot showfrags off"
    feed("^1Eve^7: ^2Red team eliminated!");  // typed, not printed by the game
    feed("^1Eve^7: ^2Bob disconnected");
    feed("^1Eve^7: ^2Bob was shot by Eve's M4");
    EXPECT_EQ(r.teams.redscore(), 3);
    EXPECT_EQ(r.teams.bluescore(), 0);
    EXPECT_EQ(r.settings.showfrags, 1);
    EXPECT_EQ(find_player(r, 2), 0);
    EXPECT_EQ(r.game.fragcount, 0);
    std::vector<std::string> lines = sent();
    ASSERT_EQ(lines.size(), 3u); // the three "^1" lines are ordinary chat
    EXPECT_EQ(lines[0], "PRIVMSG #chan :{C}0,1{C}4 Eve{C}0: {C}3Red team eliminated! ");
}

TEST_F(ConsoleLines, NamesCanNeitherHideTheirOwnReportsNorFakeOthers)
{
    r.settings.messages = 0;
    r.settings.showconnectinfo = 64;
    struct Case {
        const char* name; // as the game writes it
        const char* plain;
    };
    for (const Case& c : {Case{"Hid^7: x", "Hid: x"}, Case{"^1Hid^7: ^2x", "Hid: x"},
                          Case{"Fake was shot by Spoof's M4", "Fake was shot by Spoof's M4"},
                          Case{"]lbot quit", "]lbot quit"}}) {
        clear_players(r);
        r.game.fragcount = 0;
        player(1, "Ann", kTeamBlue);
        forget_sent();
        const std::string n = c.name;
        feed(n + "^7 is connecting...");
        feed(n + "^7 joined the red team.");
        feed("Ann^7 was shot by " + n + "^7's M4");
        feed(n + "^7 called a vote."); // a sentence the relay does not know
        feed("^1" + n + "^7: ^2gg");
        // The join and the kill are the player's own, and counted as such.
        const int slot = [&] {
            for (int i = 0; i < r.players.playercount; ++i)
                if (r.players.slots[i].name == std::string(c.plain))
                    return i;
            return -1;
        }();
        ASSERT_GE(slot, 0) << c.name;
        EXPECT_EQ(r.players.slots[slot].team, kTeamRed) << c.name;
        EXPECT_EQ(r.players.slots[slot].kills, 1) << c.name;
        EXPECT_EQ(r.game.fragcount, 1) << c.name;
        const std::vector<std::string> lines = sent();
        ASSERT_EQ(lines.size(), 3u) << c.name; // join, kill, chat
        EXPECT_NE(lines[0].find("joined the red team."), std::string::npos) << lines[0];
        EXPECT_NE(lines[1].find("was shot by"), std::string::npos) << lines[1];
        EXPECT_NE(lines[2].find("gg"), std::string::npos) << lines[2];
        EXPECT_EQ(r.settings.showfrags, 1);
    }
}

// The guards above choose between readings of a line; they never turn a line
// that is honestly a kill, chat or a command into nothing (or another event).
TEST_F(ConsoleLines, GuardsNeverHideAnHonestLine)
{
    r.settings.messages = 0;
    r.settings.showconnectinfo = 16;
    struct Case {
        std::vector<const char*> known;
        const char* line;
        const char* reported; // a text the one line sent holds
        int frags;
    };
    const Case cases[] = {
        {{}, "^1Hid^7: ^2x^7 was shot by Bob^7's M4", "was shot by", 1},
        {{"Bob"}, "Bob^7 was shot by ^1Hid^7: ^2x^7's M4", "Hid: x", 1},
        {{"Bob was", "Bob"}, "Bob^7 was shot by Ann^7's M4", "was shot by", 1},
        {{"Jack killed", "Jack"}, "Jack^7 killed himself.", "Jack", 1},
        {{"Ann fell"}, "Ann^7 fell to his death.", "Ann", 1},
        {{"Ann"}, "Ann^7 was stabbed by Evil timed out^7", "was stabbed by", 1},
        {{"Bob"}, "^1Bob^7 Jr^7: ^2hello", "Bob Jr{C}0: {C}3hello", 0},
        {{}, "]lbot say ^1Bob^7: ^2hi", "Bob", 0},
    };
    int id = 1;
    for (const Case& c : cases) {
        clear_players(r);
        for (const char* name : c.known)
            player(id++, name, kTeamRed);
        r.game.fragcount = 0;
        forget_sent();
        feed(c.line);
        EXPECT_EQ(r.game.fragcount, c.frags) << c.line;
        const std::vector<std::string> lines = sent();
        ASSERT_EQ(lines.size(), 1u) << c.line;
        EXPECT_NE(lines[0].find(c.reported), std::string::npos) << c.line << "\n" << lines[0];
    }
}

// ---- Chat ------------------------------------------------------------------------

TEST_F(ConsoleLines, ChatRelayingRules)
{
    struct Case {
        const char* line;
        int messages; // 1: relaying off (stored inverted)
        const char* expected; // null: nothing sent
    } cases[] = {
        {"^1Bob^7: ^2hello all", 0, "PRIVMSG #chan :{C}0,1{C}4 Bob{C}0: {C}3hello all "},
        {"^4^3B^7ob^7: ^2gg", 0, "PRIVMSG #chan :{C}0,1{C}11 Bob{C}0: {C}3gg "},
        {"^1Bob^7: ^2hello all", 1, nullptr},
        {"^1(Bob)^7: ^2team only", 0, nullptr},
        {"^7Bob^7: ^2free for all", 0, nullptr},
        {"Bob: hello", 0, nullptr},
        {"^1Bob^7: ^2^1Qui^7ll^4on^2's Tidewatch:^7 echo", 0, nullptr},
        {"]say hello", 0, nullptr},
    };
    for (const Case& c : cases) {
        r.settings.messages = c.messages;
        forget_sent();
        feed(c.line);
        std::vector<std::string> lines = sent();
        if (c.expected) {
            ASSERT_EQ(lines.size(), 1u) << c.line;
            EXPECT_EQ(lines[0], c.expected) << c.line;
        } else {
            EXPECT_TRUE(lines.empty()) << c.line;
        }
    }
}

// ---- Kills -----------------------------------------------------------------------

TEST_F(ConsoleLines, DeathMessagesGoToTheKillParserFirst)
{
    r.settings.showfrags = 0;
    feed("^1Bob^7 was shot by ^4Ann^7's M4");
    EXPECT_EQ(r.game.fragcount, 1);
    // A name that ends like a join line is still a kill: the parser comes first.
    feed("Zed joined the red team. was shot by Ann's AK74");
    EXPECT_EQ(r.game.fragcount, 2);
    EXPECT_TRUE(sent().empty());
}

// ---- OSP -------------------------------------------------------------------------

TEST_F(ConsoleLines, OspMatchLineNamesTheTeamsForEliminations)
{
    r.settings.osp = 1;
    feed("^1Alpha^7 ^7(^1RED^7) VS ^4Bravo^7 ^7(^4BLUE^7)");
    ASSERT_TRUE(r.console.ospredname.has_value());
    EXPECT_EQ(*r.console.ospredname, "^1Alpha");
    EXPECT_EQ(*r.console.ospbluename, "^4Bravo");
    EXPECT_TRUE(sent().empty());
    feed("^4Bravo^7 eliminated!");
    ASSERT_GE(sent().size(), 1u);
    EXPECT_EQ(sent()[0], "PRIVMSG #chan :{C}1,7 Team Blue eliminated! ");
    EXPECT_EQ(r.teams.redscore(), 1);

    // Without its blue part the match line changes nothing.
    feed("^1Other^7 ^7(^1RED^7) VS ^4Team");
    EXPECT_EQ(*r.console.ospredname, "^1Alpha");
}

TEST_F(ConsoleLines, OspTimelimitHitEndsTheMap)
{
    r.settings.osp = 1;
    r.teams.bluescore() = 6;
    feed("Timelimit Hit.");
    std::vector<std::string> lines = sent();
    ASSERT_GE(lines.size(), 1u);
    EXPECT_EQ(lines[0], "PRIVMSG #chan :{C}1,7 Timelimit Hit  ");
    EXPECT_EQ(r.teams.bluescore(), 0);
}

TEST_F(ConsoleLines, OspLinesIgnoredWithOspOff)
{
    r.teams.bluescore() = 6;
    feed("Timelimit Hit.");
    feed("^1Alpha^7 ^7(^1RED^7) VS ^4Bravo^7 ^7(^4BLUE^7)");
    EXPECT_TRUE(sent().empty());
    EXPECT_FALSE(r.console.ospredname.has_value());
    EXPECT_EQ(r.teams.bluescore(), 6);
}

} // namespace
