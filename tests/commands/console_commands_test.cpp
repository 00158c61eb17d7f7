// In-game "lbot" commands fed as console log lines through the real log processor:
// their effects, their answer packets to the local game console and their lines
// in the channel, all in the one order they happened.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>

#include <string>
#include <string_view>
#include <vector>

#include "relay/commands/console_commands.h"
#include "relay/statsdb/statsdb.h"
#include "relay/gamelog/console_lines.h"
#include "relay/gamelog/reports.h"
#include "relay/players/table.h"
#include "tests/support/connected_relay.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kHead = std::string("\xff\xff\xff\xff") + "print\n" + "^1Qui^7ll^4on^2's Tidewatch:^7";

struct InGame : ::testing::Test {
    ConnectedRelay t;
    Relay& r = t.r();
    int local = 0;
    // Everything sent, in order: IRC lines without their CR LF, and answer packets
    // as "> " and the message after the packet head and banner. Control bytes visible.
    Lines events;
    int eventline_at_send = -1; // the eventline flag when the last IRC line went out

    void SetUp() override
    {
        local = t.fake.sock_create(false);
        r.query.localsocket = local;
        r.query.localopen = 1;
        t.fake.socket(t.sock)->on_send = [this](FakeSocket&, std::string_view bytes) {
            eventline_at_send = r.game.eventline;
            for (const std::string& l : wire_lines(std::string(bytes)))
                events.push_back(visible(l));
        };
        t.fake.socket(local)->on_send = [this](FakeSocket&, std::string_view bytes) {
            if (bytes.substr(0, kHead.size()) == kHead)
                events.push_back("> " + visible(bytes.substr(kHead.size())));
            else
                events.push_back("bad packet: " + visible(bytes));
        };
    }

    // One console log line through the log processor.
    void feed(const std::string& line)
    {
        std::string copy = line;
        process_console_line(r, copy.data());
    }
    // What "]lbot <command>" sent.
    Lines obey(const std::string& command)
    {
        events.clear();
        feed("]lbot " + command);
        return events;
    }
    std::string packets() { return t.fake.socket(local)->sent; }
};

// An answer as it shows in events.
std::string answer(const std::string& message)
{
    return "> " + visible(message);
}

const std::string kChan = "PRIVMSG #chan :";

TEST_F(InGame, AnswerPacketBytes)
{
    feed("]lbot showfrags off");
    EXPECT_EQ(r.settings.showfrags, 0);
    EXPECT_EQ(packets(), std::string("\xff\xff\xff\xff") + "print\n^1Qui^7ll^4on^2's Tidewatch:^7 SHOW FRAGS ^1OFF^7...\n");

    // Head, banner and message together stop at 1023 bytes.
    t.fake.socket(local)->sent.clear();
    obey("renameteam blue " + std::string(2000, 'x'));
    EXPECT_EQ(packets().size(), 1023u);
    EXPECT_EQ(packets().substr(0, kHead.size()), kHead);
}

TEST_F(InGame, AllTimeStatisticsAnswerOnlyLiveAndOnlyWithADatabase)
{
    // Without a database the words are unknown: no answer.
    EXPECT_TRUE(obey("top").empty());
    EXPECT_TRUE(obey("player Alpha").empty());

    const std::string path = ::testing::TempDir() + "console_alltime_" + std::to_string(::getpid()) + ".db";
    std::remove(path.c_str());
    r.settings.statsdb = path;
    r.statsdb.path = path;
    EXPECT_EQ(obey("top"), Lines({">  no all-time statistics yet^7...{LF}"}));
    EXPECT_EQ(obey("top 0"), Lines({">  TOP: give a number from 1 to 20^7...{LF}"}));
    EXPECT_EQ(obey("player Nobody"), Lines({">  NO ALL-TIME STATS FOR ^4Nobody^7...{LF}"}));

    // A kill written to the database, then asked for in any case.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db,
                 "INSERT INTO players (id, name, coloured_name, first_seen, last_seen, kills, deaths)"
                 " VALUES (1, 'Alpha', '^1Alpha', 0, 0, 3, 1), (2, 'Bravo', 'Bravo', 0, 0, 1, 3);"
                 "INSERT INTO player_weapons VALUES (1, 10, 3);",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(obey("top 5"), Lines({">  1. ^4Alpha^7 3/1 3.00 TK 0{LF}", ">  2. ^4Bravo^7 1/3 0.33 TK 0{LF}"}));
    EXPECT_EQ(obey("player alpha"), Lines({">  ^4Alpha^7 3/1 3.00 TK 0 SK 0, M4, seen - to -{LF}"}));

    // From the log's history: nothing.
    r.log.historyline = true;
    EXPECT_TRUE(obey("top").empty());
    r.log.historyline = false;
    statsdb_close(r);
    std::remove(path.c_str());
}

TEST_F(InGame, PrefixesAndCommandWordIgnoreCase)
{
    struct Case {
        const char* line;
        int showfrags; // after the line, starting from 1
        bool answered;
    };
    const Case cases[] = {
        {"]lbot showfrags off", 0, true},
        {"]/LBOT SHOWFRAGS OFF", 0, true},
        {"]\\Lbot ShowFrags Off", 0, true},
        {"]lbot showfrags off\r", 0, true}, // a log written with CR LF line ends
        {"]lbot     ", 1, false},
        {"]lbot  \r", 1, false},
        {"]lbot !showfrags off", 1, false},
        {"]lbot showfragsoff", 1, false},
    };
    for (const Case& c : cases) {
        r.settings.showfrags = 1;
        events.clear();
        feed(c.line);
        EXPECT_EQ(r.settings.showfrags, c.showfrags) << c.line;
        EXPECT_EQ(events.size(), c.answered ? 1u : 0u) << c.line;
    }
    // Called without one of the prefixes, the handler reads nothing past the line.
    events.clear();
    for (const char* line : {"]lb", "", "lbot showfrags off", "]lbotshowfrags off"})
        console_command(r, line);
    console_command(r, nullptr);
    EXPECT_EQ(r.settings.showfrags, 1);
    EXPECT_TRUE(events.empty());
}

TEST_F(InGame, SwitchesAndValues)
{
    struct Case {
        const char* command;
        int BotSettings::*setting; // null: nothing to check
        int value;
        const char* answer;
    };
    r.log.linesread = 42;
    const Case cases[] = {
        {"showfrags off", &BotSettings::showfrags, 0, " SHOW FRAGS ^1OFF^7...\n"},
        {"showfrags maybe", &BotSettings::showfrags, 0, " SHOW FRAGS ^1OFF^7...\n"},
        {"showfrags", &BotSettings::showfrags, 0, " SHOW FRAGS ^1OFF^7...\n"},
        {"SHOWFRAGS ON", &BotSettings::showfrags, 1, " SHOW FRAGS ^4ON^7...\n"},
        {"showplay off", &BotSettings::showplay, 0, " SHOW PLAY ^1OFF^7...\n"},
        {"playerstats on", &BotSettings::playerstats, 1, " PLAYERSTATS ^4ON^7...\n"},
        {"et on", &BotSettings::etsupport, 1, " ENEMY TERRITORY MODE ^4ON^7...\n"},
        {"et off", &BotSettings::etsupport, 0, " ENEMY TERRITORYOSP MODE ^1OFF^7...\n"},
        {"osp on", &BotSettings::osp, 1, " OSP MODE ^4ON^7...\n"},
        {"ospfight on", &BotSettings::ospfight, 1, " ET/OSP FIGHT ^4ON^7...\n"},
        {"fight off", &BotSettings::ospfight, 0, " ET/OSP FIGHT ^1OFF^7...\n"},
        {"messages on", &BotSettings::messages, 0, " MESSAGE MODE ^4ON^7...\n"}, // stored inverted
        {"messages off", &BotSettings::messages, 1, " MESSAGE MODE ^1OFF^7...\n"},
        {"floodprotect skip", &BotSettings::floodprotect, 2, " IRC FLOODPROTECT ^4ON AND SKIP^7...\n"},
        {"floodprotect on", &BotSettings::floodprotect, 1, " IRC FLOODPROTECT ^4ON^7...\n"},
        {"floodprotect off", &BotSettings::floodprotect, 0, " IRC FLOODPROTECT ^1OFF^7...\n"},
        {"byterate 1000", &BotSettings::byterate, 3072, " IRC BYTERATE^4 3072 ^7bytes/minute...\n"},
        {"byterate 4096", &BotSettings::byterate, 4096, " IRC BYTERATE^4 4096 ^7bytes/minute...\n"},
        {"statsafter 5", &BotSettings::statsafter, 20, " STATS AFTER^4 20 ^7FRAGS...\n"},
        {"statsafter -3", &BotSettings::statsafter, 0, " STATS AFTER^4 0 ^7FRAGS...\n"},
        {"statsafter 100", &BotSettings::statsafter, 100, " STATS AFTER^4 100 ^7FRAGS...\n"},
        {"usetime on", &BotSettings::usetime, 1, " USE TIME ^4ON^7 / MODE ^4UP^7...\n"},
        {"usetime down", &BotSettings::timedirection, 0, " USE TIME ^4ON^7 / MODE ^4DOWN^7...\n"},
        {"usetime off", &BotSettings::usetime, 0, " USE TIME ^1OFF^7 / MODE ^4DOWN^7...\n"},
        {"usetime up", &BotSettings::timedirection, 1, " USE TIME ^1OFF^7 / MODE ^4UP^7...\n"},
        {"linesread", nullptr, 0, " LINES READ:^4 42^7...\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(obey(c.command), Lines{answer(c.answer)}) << c.command;
        if (c.setting) {
            EXPECT_EQ(r.settings.*c.setting, c.value) << c.command;
        }
    }
}

TEST_F(InGame, UseclantagsAlsoShowsTheTeamsAndTheirTags)
{
    r.teams.redclantag = std::string("=X=");
    EXPECT_EQ(obey("useclantags on"), (Lines{answer(" USE CLANTAGS ^4ON^7...\n"),
                                             answer(" CLAN TAGS ^1RED[Red^1]: ^7=X= ^4BLUE[Blue^4]: ^7Blue\n")}));
    EXPECT_EQ(r.settings.useclantags, 1);
}

TEST_F(InGame, TeamModeAndSilentAnnounceBeforeTheAnswer)
{
    EXPECT_EQ(obey("teammode off"), (Lines{kChan + "{C}1,7 Team Mode has been switched off... ",
                                           answer(" TEAM MODE ^1OFF^7...\n")}));
    EXPECT_EQ(r.settings.teammode, 0);
    r.settings.langout = 2;
    EXPECT_EQ(obey("teammode ON"),
              (Lines{kChan + "{C}1,7 Team Mode is aangezet... ", answer(" TEAM MODE ^4ON^7...\n")}));
    EXPECT_EQ(obey("teammode please"), Lines{answer(" TEAM MODE ^4ON^7...\n")}); // no announcement

    r.settings.langout = 0;
    EXPECT_EQ(obey("silent on"), (Lines{kChan + "{C}1,7 Quillon's Tidewatch has been silenced by the bot owner... ",
                                        answer(" SILENT MODE ^4ON^7...\n")}));
    EXPECT_EQ(r.settings.silent, 1);
    EXPECT_EQ(obey("silent"), Lines{answer(" SILENT MODE ^4ON^7...\n")});
    EXPECT_EQ(obey("silent off"),
              (Lines{kChan + "{C}1,7 Quillon's Tidewatch is able to speak again... ", answer(" SILENT MODE ^1OFF^7...\n")}));
    EXPECT_EQ(r.settings.silent, 0);
}

TEST_F(InGame, LanguagesAnswerThenAnnounceWithOrWithoutAWord)
{
    const std::string german = kChan + "{C}1,7 German Language on/Deutsche Sprache an/Duitse taal aan ";
    EXPECT_EQ(obey("langout de"), (Lines{answer(" LANGOUT:^4 German^7..."), german}));
    EXPECT_EQ(obey("langout"), (Lines{answer(" LANGOUT:^4 German^7..."), german}));
    EXPECT_EQ(obey("langout fr"), (Lines{answer(" LANGOUT:^4 German^7..."), german}));
    EXPECT_EQ(obey("LANGOUT NL"),
              (Lines{answer(" LANGOUT:^4 Dutch^7..."),
                     kChan + "{C}1,7 Dutch Language on/Niederl{e4}ndische Sprache an/Nederlandse taal aan "}));
    EXPECT_EQ(r.settings.langout, 2);

    r.settings.langout = 1;
    EXPECT_EQ(obey("langin de"), (Lines{answer(" LOGFILE LANG:^4 German^7..."), german}));
    EXPECT_EQ(r.settings.langin, 1);
    EXPECT_EQ(obey("langin nl"), (Lines{answer(" LOGFILE LANG:^4 German^7..."), german}));
    EXPECT_EQ(obey("langin en")[0], answer(" LOGFILE LANG:^4 English^7..."));
}

TEST_F(InGame, ScoresTeamNamesAndClanTags)
{
    EXPECT_EQ(obey("score red 7"), Lines{answer(" ^7SCORE ^1Red^1: 7 ^4Blue^4: 0^7...\n")});
    EXPECT_EQ(obey("score green 9"), Lines{answer(" ^7SCORE ^1Red^1: 7 ^4Blue^4: 0^7...\n")});
    EXPECT_EQ(obey("score blue"), Lines{answer(" ^7SCORE ^1Red^1: 7 ^4Blue^4: 0^7...\n")});

    EXPECT_EQ(obey("clantag BLUE  =X=  clan"),
              Lines{answer(" USE CLAN TAGS: ^1OFF^7 -> ^1RED[Red^1]: ^7Red ^4BLUE[Blue^4]: ^7=X= clan\n")});
    EXPECT_EQ(r.teams.blueclantag, std::string("=X= clan"));
    r.settings.useclantags = 1;
    EXPECT_EQ(obey("clantag red"),
              Lines{answer(" USE CLAN TAGS: ^4ON^7 -> ^1RED[Red^1]: ^7Red ^4BLUE[Blue^4]: ^7=X= clan\n")});

    EXPECT_EQ(obey("renameteam red ^1Fire Ants"), Lines{answer(" TEAM NAMES ^1RED: ^7^1Fire Ants ^4BLUE: ^7Blue\n")});
    EXPECT_EQ(r.teams.redteamname, "^1Fire Ants");
    EXPECT_EQ(r.teams.redscore(), 7);
}

TEST_F(InGame, SwapsAndStatisticsAnswerFirstThenAct)
{
    PlayerRecord& ann = t.player(1, "Ann", 1);
    ann.kills = 4;
    t.player(2, "Ben", 2);
    r.teams.redscore() = 3;
    r.teams.bluescore() = 5;
    r.teams.redteamname = "Ants";
    r.teams.redclantag = std::string("=A=");

    EXPECT_EQ(obey("swapnames"), Lines{answer(" TEAM NAMES/CLANTAGS ^4SWAPPED^7...\n")});
    EXPECT_EQ(r.teams.blueteamname, "Ants");
    EXPECT_EQ(r.teams.blueclantag, std::string("=A="));
    EXPECT_EQ(obey("swapscores"), Lines{answer(" TEAM SCORES ^4SWAPPED^7...\n")});
    EXPECT_EQ(r.teams.redscore(), 5);
    EXPECT_EQ(obey("swapplayers"), Lines{answer(" PLAYERS TEAMS ^4SWAPPED^7...\n")});
    EXPECT_EQ(ann.team, 2);
    // All four, and the players in server mode as well.
    r.settings.servermode = 1;
    EXPECT_EQ(obey("swapteams"), Lines{answer(" TEAM NAMES/CLANTAGS/PLAYERS/SCORES ^4SWAPPED^7...\n")});
    EXPECT_EQ(r.teams.redteamname, "Ants");
    EXPECT_EQ(r.teams.redscore(), 3);
    EXPECT_EQ(ann.team, 1);
    r.settings.servermode = 0;

    // The report comes after the answer; afterwards no frags are counted.
    r.game.fragcount = 7;
    Lines stats = obey("channelstats");
    ASSERT_GE(stats.size(), 3u);
    EXPECT_EQ(stats[0], answer(" STATS WILL BE SENT TO CHANNEL^7...\n"));
    EXPECT_EQ(stats[1].rfind(kChan, 0), 0u) << stats[1];
    EXPECT_EQ(r.game.fragcount, 0);
    EXPECT_EQ(r.game.statsonrequest, 0);

    EXPECT_EQ(obey("statsclear"), Lines{answer(" STATS HAVE BEEN CLEARED^7...\n")});
    EXPECT_EQ(ann.kills, 0);
    EXPECT_EQ(r.players.playercount, 2);
    EXPECT_EQ(obey("statsdelete"), Lines{answer(" STATS HAVE BEEN DELETED^7...\n")});
    EXPECT_EQ(r.players.playercount, 0);
}

TEST_F(InGame, ShowscoreAndSay)
{
    r.settings.teammode = 0;
    Lines shown = obey("showscore  last   round");
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], answer(" DONE...\n"));
    EXPECT_EQ(shown[1], kChan + "{C}1,14 SCORE: last round ");
    EXPECT_EQ(shown[2].rfind(kChan + "{C}1,14 SCORE: Red", 0), 0u) << shown[2];
    EXPECT_EQ(obey("showscore").size(), 2u);
    EXPECT_FALSE(r.game.showscoretext);

    EXPECT_EQ(obey("say good   game"), (Lines{answer(" DONE...\n"), kChan + "{C}1,7 good game "}));
    EXPECT_EQ(obey("SAY"), Lines{answer(" DONE...\n")});
    // Player text is never a format.
    EXPECT_EQ(obey("say 100%s %n%d")[1], kChan + "{C}1,7 100%s %n%d ");
}

TEST_F(InGame, MapAndMaptime)
{
    r.maps.maps.push_back(MapInfo{"mp_jor1", 0, 1200, {}, {}});
    EXPECT_EQ(obey("map"), (Lines{answer(" MAP ^1unknown^7...\n"), answer(" MAP TIME ^4SET TO 0:00^7...\n")}));
    EXPECT_EQ(obey("map MP_JOR1"),
              (Lines{answer(" MAP ^4MP_JOR1^7...\n"), answer(" MAP TIME ^4SET TO 20:00^7...\n")}));
    EXPECT_EQ(r.game.maptime, 1200);
    // Without a name the length is looked up again.
    r.game.maptime = 5;
    EXPECT_EQ(obey("map")[1], answer(" MAP TIME ^4SET TO 20:00^7...\n"));
    EXPECT_EQ(obey("map mp_nowhere"),
              (Lines{answer(" MAP ^4mp_nowhere^7...\n"), answer(" MAP TIME ^4SET TO 0:00^7...\n")}));
    EXPECT_EQ(r.game.maptime, 0);

    for (const char* rejected : {"maptime 0:00", "maptime -1:30", "maptime abc"})
        EXPECT_TRUE(obey(rejected).empty()) << rejected;
    EXPECT_EQ(obey("maptime"), Lines{answer(" MAP TIME ^4SET TO 0:00^7...\n")});

    // The clock is worked out again for the new length.
    r.settings.usetime = 1;
    r.settings.timedirection = 0;
    r.game.mapstarttime = t.fake.now() - 60;
    EXPECT_EQ(obey("maptime 12:30"), Lines{answer(" MAP TIME ^4SET TO 12:30^7...\n")});
    EXPECT_EQ(r.game.maptime, 750);
    EXPECT_EQ(r.game.clocktext, "[11:30]");
}

TEST_F(InGame, SettimeMovesTheClockAndTellsTheChannel)
{
    r.settings.usetime = 1;
    r.settings.timedirection = 0;
    r.game.maptime = 1200;
    const long long now = t.fake.now();
    EXPECT_EQ(obey("settime 3:00"),
              (Lines{answer(" TIME ^4RESET TO 3:00^7...\n"), kChan + "{C}1,7[03:00] Time set to 3:00 "}));
    EXPECT_EQ(r.game.mapstarttime, now - 17 * 60); // three minutes left of twenty
    EXPECT_EQ(eventline_at_send, 1);               // never skipped by flood protection
    EXPECT_EQ(r.game.eventline, 0);

    for (const char* rejected : {"settime", "settime 0", "settime -2:00", "settime x"})
        EXPECT_TRUE(obey(rejected).empty()) << rejected;

    // A time longer than the map counts down from the time set, not from the map's length.
    const long long set_at = t.fake.now();
    EXPECT_EQ(obey("settime 25:00")[1], kChan + "{C}1,7[25:00] Time set to 25:00 ");
    EXPECT_STREQ(make_time(r, r.game.mapstarttime, set_at + 90, r.game.maptime), "[23:30]");

    r.settings.timedirection = 1;
    r.settings.showplay = 0;
    r.settings.langout = 1;
    EXPECT_EQ(obey("settime 1:75"), Lines{answer(" TIME ^4RESET TO 2:15^7...\n")});
    EXPECT_EQ(r.game.mapstarttime, t.fake.now() - 135); // time played
    r.settings.showplay = 1;
    EXPECT_EQ(obey("settime 2")[1], kChan + "{C}1,7[02:00] Zeit ist jetzt 2:00 ");
}

TEST_F(InGame, StartBeginsANewGame)
{
    PlayerRecord& ann = t.player(1, "Ann", 1);
    ann.kills = 6;
    r.teams.redscore() = 3;
    r.teams.bluescore() = 4;
    r.game.map = std::string("mp_jor1");
    r.game.gametype = 7;
    r.game.scorelimit = 10;
    r.game.timelimit = 20;
    r.game.mapstarttime = 5;
    const long long before = t.fake.now();
    EXPECT_EQ(obey("start"), (Lines{answer(" SCORES/STATS ^4RESET^7...\n"),
                                    kChan + "{C}1,7 Team scores/Player stats reset... ",
                                    kChan + "{C}1,7 Play on mp_jor1 started ",
                                    kChan + "{C}1,7 Current game type: Capture The Flag ",
                                    kChan + "{C}1,7 Scorelimit: 10 ", kChan + "{C}1,7 Timelimit: 20.00 "}));
    EXPECT_EQ(r.players.playercount, 0);
    EXPECT_EQ(find_player(r, 1), -1);
    EXPECT_EQ(r.teams.redscore() + r.teams.bluescore(), 0);
    // The clock starts after the reset line has gone out (one paced line).
    EXPECT_GE(r.game.mapstarttime, before + 2);
    EXPECT_LE(r.game.mapstarttime, t.fake.now());
    EXPECT_EQ(r.game.silentquery, 0);

    r.game.map.reset();
    r.settings.langout = 1;
    EXPECT_EQ(obey("start")[2], kChan + "{C}1,7 Spiel hat angefangen auf map  ");
    r.settings.showplay = 0;
    r.game.gametype = 0;
    r.game.scorelimit = 0;
    r.game.timelimit = 0;
    EXPECT_EQ(obey("start"),
              (Lines{answer(" SCORES/STATS ^4RESET^7...\n"), kChan + "{C}1,7 Team scores/Player stats reset... "}));
}

TEST_F(InGame, ServerAndTheConfigurationFiles)
{
    EXPECT_EQ(obey("server"), Lines{answer(" SERVER:^4 :27960^7...\n")});
    EXPECT_EQ(obey("server 127.0.0.1 27961"), Lines{answer(" SERVER:^4 127.0.0.1:27961^7...\n")});
    ASSERT_EQ(r.query.queryopen, 1);
    EXPECT_EQ(t.fake.socket(r.query.querysocket)->port, 27961);
    EXPECT_EQ(obey("server 10.0.0.1"), Lines{answer(" SERVER:^4 127.0.0.1:27961^7...\n")});

    r.settings.mapfile = std::string("maps.xml");
    t.fake.write_file("maps.xml", "<map><name>mp_a</name><side>red</side><time>600</time></map>"
                                  "<map><name>mp_b</name><side>blue</side><time>900</time></map>");
    EXPECT_EQ(obey("loadmaps"), Lines{answer(" MAPSINFO maps.xml ^4RELOADED [2]^7...\n")});
    r.settings.colorfile = std::string("colours.cfg");
    t.fake.write_file("colours.cfg", "[playercmd]\nfg=white\nbg=black\n");
    EXPECT_EQ(obey("loadcolors"), Lines{answer(" COLORINFO colours.cfg ^4RELOADED^7...\n")});
    EXPECT_EQ(r.colours.playercmd, "0,1");
}

TEST_F(InGame, QuitLeavesAtOnceWithExitCodeZero)
{
    const long long before = t.fake.slept_ms;
    long long slept_at_quit = -1;
    t.fake.socket(t.sock)->on_send = [&](FakeSocket&, std::string_view bytes) {
        slept_at_quit = t.fake.slept_ms;
        events.push_back(visible(bytes));
    };
    int code = -1;
    try {
        feed("]lbot quit");
    } catch (const FakeExit& e) {
        code = e.code;
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(events, Lines{"QUIT :Quillon's Bot says bye bye...{CR}{LF}"}); // no answer, no goodbye line
    EXPECT_EQ(slept_at_quit, before);                                         // and no wait before it
    EXPECT_FALSE(t.fake.socket(t.sock)->open);
}

TEST_F(InGame, ServerModeObeysWithoutAnswers)
{
    r.settings.servermode = 1;
    r.query.localopen = 0; // the local client's socket is opened in client mode only
    EXPECT_EQ(obey("silent on"), Lines{kChan + "{C}1,7 Quillon's Tidewatch has been silenced by the bot owner... "});
    EXPECT_EQ(r.settings.silent, 1);
    console_command(r, "]lbot statsafter 30");
    EXPECT_EQ(r.settings.statsafter, 30);
    EXPECT_TRUE(packets().empty());
}

TEST_F(InGame, OwnerOnlyAndUnknownWordsAreIgnored)
{
    for (const char* command : {"help", "pass s3cret", "channel #other", "newpass a b b", "operator", "stats",
                                "restart", "settings", "showconnectinfo 1023", "showstatsafter 1", "ospshow 1",
                                "swapplayer 1 red", "weaponstats on", "bogus on"})
        EXPECT_TRUE(obey(command).empty()) << command;
    EXPECT_EQ(r.settings.channel, std::string("#chan"));
    EXPECT_EQ(r.settings.weaponstats, 0);
    EXPECT_EQ(r.settings.showconnectinfo, 0);
}

TEST_F(InGame, PlayersCannotSteerTheRelayWithTheirNames)
{
    r.settings.messages = 0; // chat relayed
    // Chat of players whose names are, or end in, a command echo; and game lines
    // about such a player. None of them is a command.
    const char* lines[] = {
        "]lbot quit^7: ^2hello",
        "]/LBOT quit^7: ^2hello",
        "^1]lbot quit^7: ^2gg",
        "^4Bob ]lbot ^7: ^2quit",
        "]lbot quit^7: ^2]lbot quit",
        "]lbot quit is connecting...",
        "]lbot quit joined the red team.",
        "]lbot quit was shot by Eve's M4",
        "]lbot quit disconnected",
    };
    for (const char* line : lines)
        EXPECT_NO_THROW(feed(line)) << line;
    EXPECT_TRUE(packets().empty());
    EXPECT_TRUE(t.fake.socket(t.sock)->open);
    for (const std::string& e : events)
        EXPECT_EQ(e.find("QUIT"), std::string::npos) << e;
}

} // namespace

// A command read from the log's history was obeyed when it was typed: read again it
// only brings the game state up to date. Nothing goes to the channel or the game
// console, the relay stays, and the game server and files stay as they are.
TEST_F(InGame, CommandsInTheHistoryOnlyChangeTheGameState)
{
    r.settings.serverhost = std::string("10.0.0.9");
    r.game.maptime = 1200;
    r.settings.usetime = 1;
    r.settings.timedirection = 0;
    t.player(1, "Ann", 1).kills = 4;
    r.log.historyline = true;
    struct Row {
        const char* command;
        bool (*changed)(Relay&);
    };
    const Row rows[] = {
        {"quit", [](Relay& x) { return x.irc.ircconnected == 1; }},
        {"server 127.0.0.1 27999", [](Relay& x) { return *x.settings.serverhost == "10.0.0.9"; }},
        {"loadcolors", [](Relay& x) { return x.colours.playercmd != "0,1"; }},
        {"say hello from yesterday", [](Relay&) { return true; }},
        {"linesread", [](Relay&) { return true; }},
        {"channelstats", [](Relay&) { return true; }},
        {"showfrags off", [](Relay& x) { return x.settings.showfrags == 0; }},
        {"silent on", [](Relay& x) { return x.settings.silent == 1; }},
        {"teammode on", [](Relay& x) { return x.settings.teammode == 1; }},
        {"messages off", [](Relay& x) { return x.settings.messages == 1; }},
        {"langout de", [](Relay& x) { return x.settings.langout == 1; }},
        {"statsafter 30", [](Relay& x) { return x.settings.statsafter == 30; }},
        {"score red 7", [](Relay& x) { return x.teams.redscore() == 7; }},
        {"renameteam blue Sharks", [](Relay& x) { return x.teams.blueteamname == "Sharks"; }},
        {"clantag red =AB=", [](Relay& x) { return x.teams.redclantag == std::string("=AB="); }},
        {"swapscores", [](Relay& x) { return x.teams.bluescore() == 7; }},
        {"showscore 2:1", [](Relay& x) { return x.game.showscoretext == std::string("2:1"); }},
        {"settime 5:00", [](Relay& x) { return x.game.mapstarttime == x.platform->now() - 15 * 60; }},
        {"start", [](Relay& x) { return x.players.playercount == 0 && x.teams.bluescore() == 0; }},
    };
    t.fake.write_file("colours.cfg", "[playercmd]\nfg=white\nbg=black\n");
    r.settings.colorfile = std::string("colours.cfg");
    for (const Row& row : rows) {
        EXPECT_TRUE(obey(row.command).empty()) << row.command;
        EXPECT_TRUE(row.changed(r)) << row.command;
    }
    EXPECT_TRUE(packets().empty());

    // The same command typed now is obeyed as ever.
    r.log.historyline = false;
    EXPECT_EQ(obey("showfrags on"), Lines{answer(" SHOW FRAGS ^4ON^7...\n")});
}
