#include <string>
#include <vector>

#include "relay/config/mapinfo.h"
#include "relay/gamelog/follower.h"
#include "tests/commands/command_fixture.h"

namespace {

using Lines = std::vector<std::string>;

TEST_F(CommandTest, ChannelSwitchesAndKeepsThePreviousChannel)
{
    own();
    r.settings.channelkey = std::string("oldkey");
    EXPECT_EQ(command("!channel #new k3y"),
              (Lines{"PRIVMSG #chan :{C}1,15 Quillon's SOF2 Tidewatch v1.2  is switching to IRC channel #new ",
                     "PART #chan :Quillon's SOF2 Tidewatch v1.2 is switching to channel #new ", "JOIN #new k3y",
                     kBossBanner,
                     to_boss("{C}1,0 CHANNEL CHANGED {C}12SUCCESSFULLY {C}1FROM{C}5 #chan {C}1TO{C}12 #new")}));
    EXPECT_EQ(r.settings.channel, std::string("#new"));
    EXPECT_EQ(r.settings.channelkey, std::string("k3y"));
    EXPECT_EQ(r.commands.prevchannel, std::string("#chan"));
    EXPECT_EQ(r.commands.prevchannelkey, std::string("oldkey"));

    // The server does not know the new channel: back to the old one.
    t.clear_sent();
    deliver(":irc.test 403 SOF2Tidewatch #new :No such channel");
    EXPECT_EQ(t.lines()[0], "JOIN #chan oldkey");

    r.settings.langout = 2;
    EXPECT_EQ(command("!channel #third")[2], "JOIN #third");
    EXPECT_FALSE(r.settings.channelkey);
}

TEST_F(CommandTest, OperatorAsksForEveryChannelOfTheList)
{
    own();
    EXPECT_EQ(command("!operator"), (Lines{"MODE #chan +o Boss"}));
    r.settings.channel = std::string("#a,#b,");
    EXPECT_EQ(command("!operator"), (Lines{"MODE #a +o Boss", "MODE #b +o Boss"}));
}

TEST_F(CommandTest, ServerShowsAndChangesTheGameServer)
{
    own();
    r.settings.serverhost.reset();
    EXPECT_EQ(command("!server"), (Lines{kBossBanner, to_boss("{C}1,0 CURRENT SOF2 Server:{C}5 NO SERVER GIVEN")}));

    EXPECT_EQ(command("!server 127.0.0.1 27961"),
              (Lines{kBossBanner, to_boss("{C}1,0 CURRENT SOF2 Server:{C}5 NO SERVER GIVEN"),
                     to_boss("{C}1,0 NEW SOF2 Server:{C}12 127.0.0.1:27961")}));
    EXPECT_EQ(r.settings.serverhost, std::string("127.0.0.1"));
    ASSERT_EQ(r.query.queryopen, 1);
    FakeSocket* udp = t.fake.socket(r.query.querysocket);
    ASSERT_NE(udp, nullptr);
    EXPECT_EQ(udp->port, 27961);
    const int first = r.query.querysocket;

    // A host that does not resolve: the old socket is closed, the relay goes on, and
    // no new login is sent to IRC.
    Lines reply = command("!server no.such.host 27960");
    EXPECT_EQ(reply.size(), 3u);
    EXPECT_EQ(r.query.queryopen, 0);
    EXPECT_FALSE(t.fake.socket(first)->open);
    EXPECT_EQ(command("!server")[1], to_boss("{C}1,0 CURRENT SOF2 Server:{C}5 no.such.host:27960"));
}

TEST_F(CommandTest, RestartClearsTheGameAndReadsTheLogAgain)
{
    own();
    r.settings.logfile = std::string("games.log");
    t.fake.write_file("games.log", "line one\nline two\n");
    open_log(r);
    read_log(r);
    r.log.linesread = 2;
    t.player(3, "Ann", 1);
    r.teams.redscore() = 4;
    r.game.showscoretext = std::string("final");

    EXPECT_EQ(command("!restart"),
              (Lines{kBossBanner, to_boss("{C}1,0 {C}12RESTARTING..."),
                     "PRIVMSG #chan :{C}1,7 Quillon's Tidewatch was restarted by the owner... "}));
    EXPECT_EQ(r.players.playercount, 0);
    EXPECT_EQ(r.teams.redscore(), 0);
    EXPECT_FALSE(r.game.showscoretext);
    EXPECT_EQ(r.log.logopen, 0);
    EXPECT_EQ(r.log.linesread, 0);
    EXPECT_EQ(r.settings.fromend, 18);
    EXPECT_EQ(r.settings.recoverlines, 0);

    open_log(r);
    EXPECT_EQ(command("!restart 50")[1], to_boss("{C}1,0 {C}12RESTARTING FROM 50 LINES..."));
    EXPECT_EQ(r.settings.recoverlines, 50);
    EXPECT_EQ(r.settings.fromend, 0);

    // With the log closed only the players and scores go.
    t.player(4, "Ben", 2);
    command("!restart 7");
    EXPECT_EQ(r.players.playercount, 0);
    EXPECT_EQ(r.settings.recoverlines, 50);
}

TEST_F(CommandTest, QuitSaysGoodbyeAndEndsWithExitCodeZero)
{
    own();
    t.clear_sent();
    const long long before = t.fake.slept_ms;
    int code = -1;
    try {
        msg("Boss", "!quit");
    } catch (const FakeExit& e) {
        code = e.code;
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(shown(), (Lines{kBossBanner, to_boss("{C}1,0 BOT SAYS: {C}12BYE BYE"),
                              "QUIT :Quillon's Bot says bye bye..."}));
    EXPECT_FALSE(t.fake.socket(t.sock)->open);
    EXPECT_GE(t.fake.slept_ms - before, 10000); // the goodbye wait and the exit pause
}

TEST_F(CommandTest, MapMaptimeAndSettime)
{
    own();
    r.maps.maps.push_back(MapInfo{"mp_jor1", 0, 1200, {}, {}});
    EXPECT_EQ(command("!map"), (Lines{kBossBanner, to_boss("{C}1,0 CURRENT MAP:{C}5 unknown"),
                                      to_boss("{C}1,0 CURRENT MAP TIME:{C}12  0:00")}));
    EXPECT_EQ(command("!map MP_JOR1"), (Lines{kBossBanner, to_boss("{C}1,0 CURRENT MAP:{C}12 MP_JOR1"),
                                              to_boss("{C}1,0 CURRENT MAP TIME:{C}12 20:00")}));
    EXPECT_EQ(r.game.maptime, 1200);

    for (const char* rejected : {"!maptime 0:00", "!maptime -1:30", "!maptime abc", "!settime", "!settime 0"})
        EXPECT_TRUE(command(rejected).empty()) << rejected;
    EXPECT_EQ(r.game.maptime, 1200);
    EXPECT_EQ(command("!maptime 0:45")[1], to_boss("{C}1,0 MAP TIME SET TO:{C}12  0:45"));
    EXPECT_EQ(command("!maptime")[1], to_boss("{C}1,0 MAP TIME SET TO:{C}12  0:45"));
    // " :" cuts an IRC message: the command sees no word and only shows the length.
    EXPECT_EQ(command("!maptime :30")[1], to_boss("{C}1,0 MAP TIME SET TO:{C}12  0:45"));
    command("!maptime 20");
    EXPECT_EQ(r.game.maptime, 1200);

    const long long now = t.fake.now();
    r.settings.timedirection = 0;
    Lines set = command("!settime 5:00");
    EXPECT_EQ(set, (Lines{kBossBanner, to_boss("{C}1,0 TIME SET TO:{C}12  5:00"),
                          "PRIVMSG #chan :{C}1,7 Time set to 5:00 "}));
    EXPECT_EQ(r.game.mapstarttime, now - 15 * 60); // five minutes left of twenty

    r.settings.timedirection = 1;
    const long long later = t.fake.now();
    command("!settime 3:30");
    EXPECT_EQ(r.game.mapstarttime, later - 210); // time played
}

TEST_F(CommandTest, ReloadingTheFiles)
{
    own();
    t.fake.write_file("maps.xml", "");
    r.settings.mapfile = std::string("maps.xml");
    r.settings.colorfile = std::string("colours.cfg");
    EXPECT_EQ(command("!loadmaps"), (Lines{kBossBanner, to_boss("{C}1,0 maps.xml {C}12RELOADED, 0 MAPS LOADED")}));
    EXPECT_EQ(command("!loadcolors"), (Lines{kBossBanner, to_boss("{C}1,0 colours.cfg {C}12RELOADED")}));
}

TEST_F(CommandTest, ScoresAndTheScoreText)
{
    own();
    r.settings.teammode = 0;
    Lines score = command("!score red 7");
    EXPECT_EQ(r.teams.redscore(), 7);
    ASSERT_EQ(score.size(), 2u);
    EXPECT_EQ(score[0], kBossBanner);
    EXPECT_EQ(score[1].rfind("PRIVMSG Boss :{C}1,14 SCORE: ", 0), 0u) << score[1];

    EXPECT_EQ(command("!score green 9").size(), 2u);
    EXPECT_EQ(command("!score blue").size(), 2u);
    EXPECT_EQ(r.teams.redscore() + r.teams.bluescore(), 7);

    Lines show = command("!showscore  last   round");
    ASSERT_EQ(show.size(), 2u);
    EXPECT_EQ(show[0], "PRIVMSG #chan :{C}1,14 SCORE: last round ");
    EXPECT_EQ(command("!showscore").size(), 1u);
    EXPECT_FALSE(r.game.showscoretext);
}

TEST_F(CommandTest, StatisticsOnRequest)
{
    own();
    PlayerRecord& ann = t.player(1, "Ann", 1);
    ann.kills = 9;
    ann.deaths = 4;
    PlayerRecord& ben = t.player(2, "Ben", 1);
    ben.kills = 7;
    ben.deaths = 0;
    r.settings.statsafter = 0; // automatic reports off: requests still answer
    r.settings.silent = 1;     // a private request still gets its player lines
    Lines stats = command("!stats");
    ASSERT_EQ(stats.size(), 4u);
    EXPECT_EQ(stats[0], "PRIVMSG Boss :{C}1,14 Player stats:");
    EXPECT_NE(stats[2].find("  7/  0 -.-- "), std::string::npos) << stats[2];
    EXPECT_NE(stats[3].find("  9/  4 2.25 "), std::string::npos) << stats[3];
    EXPECT_EQ(r.game.statsonrequest, 0);

    r.settings.silent = 0;
    Lines channel = command("!channelstats");
    ASSERT_GE(channel.size(), 4u);
    EXPECT_EQ(channel[0].rfind("PRIVMSG #chan :", 0), 0u);

    EXPECT_EQ(command("!statsclear"), (Lines{kBossBanner, to_boss("{C}1,0 STATS{C}12 CLEARED")}));
    EXPECT_EQ(ann.kills, 0);
    EXPECT_EQ(r.players.playercount, 2);
    r.kills.weaponkills[10] = 2;
    EXPECT_EQ(command("!statsdelete"), (Lines{kBossBanner, to_boss("{C}1,0 STATS/PLAYERS{C}12 DELETED")}));
    EXPECT_EQ(r.players.playercount, 0);
    // The weapon kills were kills of the deleted players: !restart would count them again.
    EXPECT_TRUE(r.kills.weaponkills.empty());
}

TEST_F(CommandTest, TeamNamesClanTagsAndSwaps)
{
    own();
    EXPECT_EQ(command("!clantag red"), (Lines{kBossBanner, to_boss("{C}1,0 CLANTAG mode: {C}5OFF"),
                                              to_boss("{C}1,0 TEAM CLANTAGS: {C}4RED Red{O}{C}1,0, {C}12BLUE Blue")}));
    command("!clantag BLUE  =X=  clan");
    EXPECT_EQ(r.teams.blueclantag, std::string("=X= clan"));

    EXPECT_EQ(command("!renameteam red ^1Fire Ants"),
              (Lines{kBossBanner,
                     to_boss("{C}1,0 TEAM NAMES: {C}4RED{C}1,0 {C}4Fire Ants{O}{C}1,0, {C}12BLUE{C}1,0 Blue")}));
    r.teams.redscore() = 3;
    r.teams.bluescore() = 5;
    EXPECT_EQ(command("!swapscores")[1],
              to_boss("{C}1,0 TEAMS SCORES SWAPPED: {C}4RED{C}1,0 {C}4Fire Ants{C}1,0: 5 {C}12BLUE{C}1,0 Blue{C}1,0: 3"));
    EXPECT_EQ(command("!swapnames")[1],
              to_boss("{C}1,0 TEAMS NAMES/CLANTAGS SWAPPED: {C}4RED Blue{C}1,0: 5 {C}12BLUE {C}4Fire Ants{C}1,0: 3"));
    EXPECT_EQ(r.teams.redclantag, std::string("=X= clan"));

    PlayerRecord& ann = t.player(1, "Ann", 1);
    EXPECT_EQ(command("!swapteams")[1],
              to_boss("{C}1,0 TEAMS SWAPPED: {C}4RED{C}1,0 {C}4Fire Ants{C}1,0: 3 {C}12BLUE{C}1,0 Blue{C}1,0: 5"));
    EXPECT_EQ(ann.team, 2);
    EXPECT_EQ(command("!swapplayers"), (Lines{kBossBanner, to_boss("{C}1,0 PLAYERS {C}12SWAPPED")}));
    EXPECT_EQ(ann.team, 1);
    r.settings.servermode = 1;
    command("!swapteams");
    EXPECT_EQ(ann.team, 1); // in server mode the game server says who plays where
}

TEST_F(CommandTest, SwapPlayerListsShowsAndMovesPlayers)
{
    own();
    t.player(3, "^1Ann", 1);
    t.player(5, "Ben", 2);
    add_player(r, 8); // connected, no name yet
    const std::string head = to_boss("{C}1,0  ID Team      Name");
    const Lines listing = {kBossBanner, head, to_boss("{C}0,1   3 {C}4Red       {C}4Ann "),
                           to_boss("{C}0,1   5 {C}11Blue{C}0,1      Ben "), to_boss("{C}0,1   8 Unknown   ??? ")};
    EXPECT_EQ(command("!swapplayer"), listing);
    EXPECT_EQ(command("!swapplayer -3"), listing);
    EXPECT_EQ(command("!swapplayer 42 red"), listing);

    EXPECT_EQ(command("!swapplayer 3"), (Lines{kBossBanner, head, to_boss("{C}0,1   3 {C}4Red{C}0,1       {C}4Ann ")}));
    struct Move {
        const char* word;
        int team;
    };
    for (const Move& m : {Move{"allies", 2}, Move{"AXIS", 1}, Move{"spec", 3}, Move{"Blue", 2}, Move{"r", 1},
                          Move{"green", 1}}) {
        command(std::string("!swapplayer 5 ") + m.word);
        EXPECT_EQ(r.players.slots[find_player(r, 5)].team, m.team) << m.word;
    }
    EXPECT_EQ(command("!swapplayer 8 s")[2], to_boss("{C}0,1   8 Spectator ??? "));
}

} // namespace
