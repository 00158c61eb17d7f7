#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "relay/players/kill_count.h"
#include "relay/gamelog/reports.h"
#include "relay/players/stats.h"
#include "tests/support/connected_relay.h"

namespace {

void add(ConnectedRelay& t, int id, const char* name, int team, int kills, int deaths)
{
    PlayerRecord& p = t.player(id, name, team);
    p.kills = kills;
    p.deaths = deaths;
}

std::vector<std::string> visible_lines(ConnectedRelay& t)
{
    std::vector<std::string> out;
    for (const std::string& l : t.lines())
        out.push_back(visible(l));
    return out;
}

TEST(ShowStats, FullReportOnRequest)
{
    ConnectedRelay t;
    Relay& r = t.r();
    r.game.statsonrequest = 1;
    r.game.fragcount = 9;
    r.query.sv_hostname = "^1My Server";
    r.settings.serverhost = "10.0.0.1";
    add(t, 1, "^4Ann", 1, 9, 4);
    add(t, 2, "Ben", 2, 7, 0);
    add(t, 3, "Cid", 0, 1, 2);
    add(t, 4, "Dan", 1, 10, 2);
    add(t, 5, "Eve", 3, 0, 0);
    add_player(r, 6); // no name yet: not listed
    PlayerRecord& ann = r.players.slots[find_player(r, 1)];
    ann.teamkills = 1;
    ann.suicides = 2;
    ann.teamkilled = 3;
    ann.score = 40;
    ann.ping = 55;
    show_stats(r, "Owner");
    EXPECT_EQ(r.game.fragcount, 0);
    const std::vector<std::string> expected = {
        "PRIVMSG Owner :{C}1,15 Quillon's SOF2 Tidewatch v1.2  ",
        "PRIVMSG Owner :{C}1,7 Server: ",
        "PRIVMSG Owner :{C}0,1^1My Server{O}{C}0,1 [10.0.0.1:27960] ",
        "PRIVMSG Owner :{C}1,14 Player stats:",
        "PRIVMSG Owner :{C}1,14T Kil/Dth KDR  [TK/SK/KT] Sco Png PlayerName",
        "PRIVMSG Owner :{C}1,14{C}0U{C}1,14   1/  2 0.50 [ 0/ 0/ 0]   0   0 {C}0Cid",
        "PRIVMSG Owner :{C}1,14{C}4R{C}1,14  10/  2 5.00 [ 0/ 0/ 0]   0   0 {C}4Dan",
        "PRIVMSG Owner :{C}1,14{C}4R{C}1,14   9/  4 2.25 [ 1/ 2/ 3]  40  55 {C}4Ann",
        "PRIVMSG Owner :{C}1,14{C}11B{C}1,14   7/  0 -.-- [ 0/ 0/ 0]   0   0 {C}11Ben",
        "PRIVMSG Owner :{C}1,14{C}4S{C}1,14   0/  0 -.-- [ 0/ 0/ 0]   0   0 {C}4Eve",
    };
    EXPECT_EQ(visible_lines(t), expected);
}

TEST(ShowStats, ServerModeNamesAndSorting)
{
    ConnectedRelay t;
    Relay& r = t.r();
    r.settings.servermode = 1;
    add(t, 1, "A", 1, 10, 5);
    add(t, 2, "B", 1, 20, 10);
    add(t, 3, "C", 1, 0, 0);
    add(t, 4, "D", 1, 7, 0);
    show_stats(r, "#chan");
    std::vector<std::string> players;
    for (const std::string& l : visible_lines(t))
        if (l.find("{C}4R") != std::string::npos)
            players.push_back(l.substr(l.find("R{C}1,14 ") + 9));
    const std::vector<std::string> expected = {
        "  7/  0 -.-- [ 0/ 0/ 0]   0   0 D ",
        " 20/ 10 2.00 [ 0/ 0/ 0]   0   0 B ",
        " 10/  5 2.00 [ 0/ 0/ 0]   0   0 A ",
        "  0/  0 -.-- [ 0/ 0/ 0]   0   0 C ",
    };
    EXPECT_EQ(players, expected);
}

TEST(ShowStats, AutomaticReportsOffWithStatsafterZero)
{
    ConnectedRelay t;
    Relay& r = t.r();
    r.settings.statsafter = 0;
    r.game.fragcount = 5;
    add(t, 1, "A", 1, 1, 1);
    show_stats(r, "#chan");
    EXPECT_EQ(r.game.fragcount, 0);
    EXPECT_EQ(t.sent(), "");
    r.game.statsonrequest = 1;
    show_stats(r, "#chan");
    EXPECT_NE(t.sent().find("Player stats:"), std::string::npos);
}

TEST(ShowStats, NoServerLinesWithoutHostNameOrAddress)
{
    ConnectedRelay t;
    Relay& r = t.r();
    show_stats(r, "#chan"); // serverport has its default, serverhost is unset
    EXPECT_EQ(t.sent().find("Server:"), std::string::npos);
    t.clear_sent();
    r.query.sv_hostname = "Srv";
    show_stats(r, "#chan");
    EXPECT_NE(t.sent().find("\x03" "0,1Srv \r\n"), std::string::npos) << visible(t.sent());
}

TEST(ShowStats, ForcedFlagForPlayerLines)
{
    struct Case {
        int silent;
        int onrequest;
        const char* target;
        bool forced;
    };
    const Case cases[] = {
        {0, 0, "#chan", false},
        {0, 1, "#chan", true},
        {0, 0, "Owner", false},
        {1, 0, "Owner", true},
        {1, 1, "Owner", true},
    };
    for (const Case& c : cases) {
        ConnectedRelay t;
        Relay& r = t.r();
        r.settings.silent = c.silent;
        r.game.statsonrequest = c.onrequest;
        r.settings.weaponstats = 1;
        add(t, 1, "A", 1, 0, 0);
        add(t, 2, "B", 2, 0, 0);
        count_kill(r, 1, 2, 10, "", 0);
        t.clear_sent();
        show_stats(r, c.target);
        int checked = 0;
        for (const std::string& l : t.lines()) {
            const bool statsline = l.find("Player stats:") != std::string::npos ||
                                   l.find("PlayerName") != std::string::npos ||
                                   l.find("[ ") != std::string::npos || l.find("Weapon stats:") != std::string::npos ||
                                   l.find(" M4") != std::string::npos;
            if (statsline) {
                EXPECT_EQ(l.back() != ' ', c.forced) << visible(l);
                ++checked;
            } else if (l.find("Tidewatch") != std::string::npos) {
                EXPECT_EQ(l.back(), ' ') << "the banner is never forced";
            }
        }
        EXPECT_EQ(checked, 6) << c.silent << c.onrequest << c.target;
    }
}

TEST(WeaponStats, BestFirstInTheOutputLanguageAndResetPerMap)
{
    ConnectedRelay t;
    Relay& r = t.r();
    r.settings.langout = 1;
    r.settings.weaponstats = 1;
    add(t, 1, "A", 1, 0, 0);
    add(t, 2, "B", 2, 0, 0);
    count_kill(r, 1, 2, 1, "", 0);
    count_kill(r, 1, 2, 10, "", 0);
    count_kill(r, 2, 1, 11, "", 0);
    count_kill(r, 2, 1, 11, "", 0);
    count_kill(r, 1, 2, 10, "", 0);
    count_kill(r, 1, 2, 13, "", 0);
    count_kill(r, 1, 2, 26, "", 0); // ignored
    t.clear_sent();
    show_weapon_stats(r, "#chan");
    const std::vector<std::string> expected = {
        "PRIVMSG #chan :{C}1,14 Weapon stats: ",
        "PRIVMSG #chan :{C}1,14  2 M4 ",
        "PRIVMSG #chan :{C}1,14  2 AK74 ",
        "PRIVMSG #chan :{C}1,14  1 Messer ",
        "PRIVMSG #chan :{C}1,14  1 MSG90A1 ",
    };
    EXPECT_EQ(visible_lines(t), expected);

    // Part of the statistics report only when switched on.
    t.clear_sent();
    show_stats(r, "#chan");
    EXPECT_NE(t.sent().find("Weapon stats:"), std::string::npos);
    r.settings.weaponstats = 0;
    t.clear_sent();
    show_stats(r, "#chan");
    EXPECT_EQ(t.sent().find("Weapon stats:"), std::string::npos);

    reset_weapon_stats(r);
    t.clear_sent();
    show_weapon_stats(r, "#chan");
    EXPECT_EQ(t.sent(), "");
}

} // namespace
