#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "relay/gamelog/reports.h"
#include "relay/base/text.h"
#include "tests/support/connected_relay.h"

namespace {

// One unforced report line as it reaches the server.
std::string privmsg(const std::string& target, const std::string& text)
{
    return "PRIVMSG " + target + " " + text + " \r\n";
}

struct ClockCase {
    int usetime;
    int direction;
    long long start, now;
    int maptime;
    const char* want;
};

TEST(MakeTime, Clock)
{
    const ClockCase cases[] = {
        {0, 1, 1000, 4723, 0, ""},
        {0, 0, 1000, 1300, 600, ""},
        {1, 1, 1000, 1000, 0, "[00:00]"},
        {1, 1, 1000, 4723, 0, "[62:03]"},   // minutes run on past 60
        {1, 1, 1000, 1300, 600, "[05:00]"}, // counting up ignores the map length
        {1, 0, 1000, 1300, 600, "[05:00]"},
        {1, 0, 1000, 1600, 600, "[00:00]"},
        {1, 0, 1000, 1630, 600, "*00:30*"},
        {1, 0, 1000, 8261, 600, "*111:01*"},
        {1, 0, 1000, 1065, 0, "[01:05]"},   // no map length: counts up
        {1, 1, 1000, 940, 0, "[00:00]"},    // clock set back: no negative time
        {1, 0, 1000, 940, 600, "[11:00]"},   // counting down, a start ahead: the time set
        {1, 0, 1300, 1060, 1200, "[24:00]"}, // 25:00 set on a 20:00 map, a minute on
        {1, 2, 1000, 1065, 600, ""},
        {1, -1, 1000, 1065, 0, ""},
    };
    for (const ClockCase& c : cases) {
        TestRelay t;
        t.r().settings.usetime = c.usetime;
        t.r().settings.timedirection = c.direction;
        EXPECT_STREQ(make_time(t.r(), c.start, c.now, c.maptime), c.want)
            << "usetime " << c.usetime << " direction " << c.direction << " " << c.start << ".."
            << c.now << " maptime " << c.maptime;
    }
}

TEST(MakeTime, OneBufferOverwrittenByTheNextCall)
{
    TestRelay t;
    t.r().settings.usetime = 1;
    const char* first = make_time(t.r(), 0, 61, 0);
    EXPECT_STREQ(first, "[01:01]");
    const char* second = make_time(t.r(), 0, 125, 0);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "[02:05]");
    t.r().settings.usetime = 0;
    EXPECT_STREQ(make_time(t.r(), 0, 125, 0), "");
    EXPECT_STREQ(first, "");
}

const std::string kC = "\x03";

TEST(ReportScore, TeamModeOn)
{
    ConnectedRelay x;
    Relay& r = x.r();
    r.teams.redteamname = "^1Alpha";
    r.teams.blueteamname = "Bravo";
    r.teams.redscore() = 3;
    r.teams.bluescore() = 15;
    report_score(r, "#chan", 0);
    const std::string want = kC + "1,14 SCORE:" + kC + "4 Alpha " + kC + "1,14-" + kC +
                             "11 Bravo" + kC + "1,14:" + kC + "4 3 " + kC + "1,14-" + kC + "11 15";
    EXPECT_EQ(visible(x.sent()), visible(privmsg("#chan", ":" + want)));
}

TEST(ReportScore, TeamModeOffKeepsNameColours)
{
    ConnectedRelay x;
    Relay& r = x.r();
    r.settings.teammode = 0;
    r.colours.gamescore = "0,2";
    r.colours.redteamcolor = 5;
    r.colours.blueteamcolor = 12;
    r.teams.redteamname = "Alpha";
    r.teams.blueteamname = "^4Bravo";
    r.teams.redscore() = -1;
    r.teams.bluescore() = 0;
    report_score(r, "Owner", 0);
    LineBuf blue;
    translate_colours(0, "^4Bravo", blue);
    const std::string want = kC + "0,2 SCORE: Alpha " + kC + "0,2- " + std::string(blue.c_str()) +
                             " " + kC + "0,2:" + kC + "5 -1 " + kC + "0,2-" + kC + "12 0";
    EXPECT_EQ(visible(x.sent()), visible(privmsg("Owner", ":" + want)));
}

TEST(ReportScore, ScoreTextFirstAndOnlyItMarked)
{
    for (int mark : {0, 1}) {
        ConnectedRelay x;
        Relay& r = x.r();
        r.game.showscoretext = "Alpha leads the cup";
        std::vector<int> marks;
        x.fake.socket(x.sock)->on_send = [&](FakeSocket&, std::string_view) {
            marks.push_back(r.game.eventline);
        };
        report_score(r, "#chan", mark);
        const std::string first = privmsg("#chan", ":" + kC + "1,14 SCORE: Alpha leads the cup");
        EXPECT_EQ(visible(x.sent().substr(0, first.size())), visible(first));
        EXPECT_NE(x.sent().find(" SCORE:" + kC + "4 Red "), std::string::npos);
        ASSERT_EQ(marks.size(), 2u);
        EXPECT_EQ(marks[0], mark);
        EXPECT_EQ(marks[1], 0);
        EXPECT_EQ(r.game.eventline, 0);
    }
}

TEST(ReportScore, WithoutScoreTextOneUnmarkedLine)
{
    ConnectedRelay x;
    std::vector<int> marks;
    x.fake.socket(x.sock)->on_send = [&](FakeSocket&, std::string_view) {
        marks.push_back(x.r().game.eventline);
    };
    report_score(x.r(), "#chan", 1);
    EXPECT_EQ(marks, std::vector<int>{0});
}

TEST(ReportScore, LongNamesAreCut)
{
    ConnectedRelay x;
    x.r().teams.redteamname = std::string(3000, 'r');
    report_score(x.r(), "#chan", 0);
    // Cut at 1023 characters, then sent in parts the server takes whole.
    const std::size_t text = channel_text_bytes(x.lines(), x.r().colours.gamescore.size() + 1);
    EXPECT_LE(text, 1023u);
    EXPECT_GE(text, 1023u - 3);
}

struct LineCase {
    const char* what;
    void (*setup)(Relay&);
    void (*report)(Relay&, const char*);
    std::string want; // the text after the style, "" for no line
};

TEST(OneLineReports, ConditionsAndTexts)
{
    const LineCase cases[] = {
        {"no map", [](Relay&) {}, report_map, ""},
        {"map", [](Relay& r) { r.game.map = "mp_shop"; }, report_map, " Map: mp_shop"},
        {"no time limit", [](Relay&) {}, report_timelimit, ""},
        {"time limit", [](Relay& r) { r.game.timelimit = 20; }, report_timelimit,
         " Timelimit: 20.00"},
        {"fractional time limit", [](Relay& r) { r.game.timelimit = 7.5; }, report_timelimit,
         " Timelimit: 7.50"},
        {"no score limit", [](Relay&) {}, report_scorelimit, ""},
        {"score limit", [](Relay& r) { r.game.scorelimit = 50; }, report_scorelimit,
         " Scorelimit: 50"},
        {"negative score limit", [](Relay& r) { r.game.scorelimit = -2; }, report_scorelimit,
         " Scorelimit: -2"},
        {"no game type", [](Relay&) {}, report_gametype, ""},
        {"infiltration", [](Relay& r) { r.game.gametype = 5; }, report_gametype,
         " Current game type: Infiltration"},
        {"demolition in German",
         [](Relay& r) {
             r.game.gametype = 6;
             r.settings.langout = 1;
         },
         report_gametype, " Spiel type: Demolition"},
        {"capture the flag in Dutch",
         [](Relay& r) {
             r.game.gametype = 7;
             r.settings.langout = 2;
         },
         report_gametype, " Spel type: Capture The Flag"},
        {"death match", [](Relay& r) { r.game.gametype = 8; }, report_gametype,
         " Current game type: Death Match"},
        {"team death match", [](Relay& r) { r.game.gametype = 9; }, report_gametype,
         " Current game type: Team Death Match"},
        {"unknown game type", [](Relay& r) { r.game.gametype = 4; }, report_gametype,
         " Current game type: Unknown"},
        {"silent play does not matter",
         [](Relay& r) {
             r.settings.showplay = 0;
             r.game.scorelimit = 3;
         },
         report_scorelimit, " Scorelimit: 3"},
    };
    for (const LineCase& c : cases) {
        ConnectedRelay x;
        x.r().colours.mapinfo = "8,2";
        c.setup(x.r());
        c.report(x.r(), "#chan");
        const std::string want = c.want.empty() ? "" : privmsg("#chan", ":" + kC + "8,2" + c.want);
        EXPECT_EQ(visible(x.sent()), visible(want)) << c.what;
    }
}

} // namespace
