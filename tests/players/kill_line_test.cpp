#include <gtest/gtest.h>

#include <string>

#include "relay/players/kill_count.h"
#include "relay/players/kill_line.h"
#include "tests/support/connected_relay.h"

namespace {

struct LineCase {
    const char* what;
    int playerstats;
    int teammode;
    int playercolor;
    int killer;  // 4 Alice, 3 Bob (suicide), kWorldId
    int weapon;
    const char* expected; // as shown by visible()
};

TEST(KillLine, ExactBytes)
{
    const LineCase cases[] = {
        {"full, stats off", 0, 1, -1, 4, 10,
         "PRIVMSG #chan :{C}0,1[12:34]{C}11 Bob{O}{C}0,1 was shot by {O}{C}0,1{C}4{R}{R}Alice{O}{C}0,1's M4 {CR}{LF}"},
        {"full, stats on", 1, 1, -1, 4, 10,
         "PRIVMSG #chan :{C}0,1[12:34]{C}11 Bob{O}{C}0,1 [ 0/12]{O}{C}0,1 was shot by {O}{C}0,1{C}4{R}{R}Alice"
         "{O}{C}0,1 [ 5/ 1]{O}{C}0,1's M4 {CR}{LF}"},
        {"short, stats off", 0, 1, -1, 3, 25,
         "PRIVMSG #chan :{C}0,1[12:34]{C}11 Bob{O}{C}0,1 killed himself. {CR}{LF}"},
        {"short, stats on", 1, 1, -1, 3, 25,
         "PRIVMSG #chan :{C}0,1[12:34]{C}11 Bob{O}{C}0,1 [ 0/11]{O}{C}0,1 killed himself. {CR}{LF}"},
        {"world, stats on", 1, 1, -1, kWorldId, 0,
         "PRIVMSG #chan :{C}0,1[12:34]{C}11 Bob{O}{C}0,1 [ 0/11]{O}{C}0,1 killed himself. {CR}{LF}"},
        {"own game colours", 0, 0, -1, 4, 10,
         "PRIVMSG #chan :{C}0,1[12:34]{C}0 {C}4B{C}0ob{O}{C}0,1 was shot by {O}{C}0,1{C}0{R}{R}Alice{O}{C}0,1's M4 {CR}{LF}"},
        {"one player colour", 0, 0, 12, 4, 10,
         "PRIVMSG #chan :{C}0,1[12:34]{C}12 Bob{O}{C}0,1 was shot by {O}{C}0,1{C}12{R}{R}Alice{O}{C}0,1's M4 {CR}{LF}"},
        {"one player colour, short", 0, 0, 12, 3, 25,
         "PRIVMSG #chan :{C}0,1[12:34]{C}12 Bob{O}{C}0,1 killed himself. {CR}{LF}"},
        {"player colour ignored in teammode", 0, 1, 12, 4, 10,
         "PRIVMSG #chan :{C}0,1[12:34]{C}11 Bob{O}{C}0,1 was shot by {O}{C}0,1{C}4{R}{R}Alice{O}{C}0,1's M4 {CR}{LF}"},
    };
    for (const LineCase& c : cases) {
        ConnectedRelay t;
        Relay& r = t.r();
        r.settings.playerstats = c.playerstats;
        r.settings.teammode = c.teammode;
        r.colours.playercolor = c.playercolor;
        PlayerRecord& bob = t.player(3, "^1B^7ob", 2);
        PlayerRecord& alice = t.player(4, "Alice", 1);
        bob.deaths = 11;
        alice.kills = 4;
        alice.deaths = 1;
        count_kill(r, c.killer, 3, c.weapon, "[12:34]", c.killer == 3 ? 1 : 0);
        EXPECT_EQ(visible(t.sent()), c.expected) << c.what;
    }
}

TEST(KillLine, PlayerStyleAndStyleTexts)
{
    ConnectedRelay t;
    Relay& r = t.r();
    r.colours.playerstyle = "\x02";
    r.colours.playerstats = "9,2";
    r.settings.playerstats = 1;
    t.player(3, "Bob", 0);
    t.player(4, "Alice", 0);
    send_line(r, "", 5, "Alice", "7,1", " was ^1shot by ", 6, "Bob", "8,1", "'s M4", 4, 3);
    EXPECT_EQ(visible(t.sent()), "PRIVMSG #chan :{C}0,1{C}6 {B}Bob{O}{C}9,2 [ 0/ 0]{O}{C}7,1 was shot by "
                                 "{O}{C}0,1{C}5{B}{R}{R}Alice{O}{C}9,2 [ 0/ 0]{O}{C}8,1's M4 {CR}{LF}");
}

TEST(KillLine, MissingPiecesSendUnknownKillInfoOnlyWhenDebugging)
{
    for (int level : {0, 10, 11}) {
        ConnectedRelay t;
        Relay& r = t.r();
        r.settings.debuglevel = level;
        add_player(r, 3); // connected, no name yet
        t.player(4, "Alice", 0);
        count_kill(r, 4, 3, 10, "[12:34]", 0);
        if (level >= 11)
            EXPECT_EQ(visible(t.sent()), "PRIVMSG #chan :{C}1,7 UNKNOWN KILL INFO!! {CR}{LF}");
        else
            EXPECT_EQ(t.sent(), "") << level;
        EXPECT_EQ(r.players.slots[1].kills, 1); // counted all the same
    }
    ConnectedRelay t;
    t.trace_on(11);
    t.r().log.linesread = 77;
    send_line(t.r(), "", 0, "A", "", " x ", 0, nullptr, "", nullptr, 1, 2);
    EXPECT_NE(t.traced().find("UNKNOWN p2 [77]\r\n"), std::string::npos);
    EXPECT_NE(t.traced().find("UNKNOWN eind [77]\r\n"), std::string::npos);
    EXPECT_EQ(visible(t.sent()), "PRIVMSG #chan :{C}1,7 UNKNOWN KILL INFO!! {CR}{LF}");
}

TEST(KillLine, ShowplayOffSendsNoKillLine)
{
    ConnectedRelay t;
    Relay& r = t.r();
    r.settings.showplay = 0;
    r.settings.showfrags = 1;
    r.settings.debuglevel = 11;
    t.player(3, "Bob", 0);
    t.player(4, "Alice", 0);
    count_kill(r, 4, 3, 10, "", 0);
    EXPECT_EQ(t.sent(), "");
    EXPECT_EQ(r.players.slots[1].kills, 1);
}

TEST(KillLine, ShowkdTexts)
{
    ConnectedRelay t;
    Relay& r = t.r();
    t.trace_on(11);
    r.log.linesread = 9;
    PlayerRecord& bob = t.player(3, "Bob", 0);
    bob.kills = 5;
    bob.deaths = 123;
    EXPECT_EQ(showkd(r, 3), ""); // playerstats off
    r.settings.playerstats = 1;
    EXPECT_EQ(visible(showkd(r, 3)), "{O}{C}0,1 [ 5/123]");
    EXPECT_EQ(showkd(r, kWorldId), "");
    EXPECT_EQ(showkd(r, -1), "");
    EXPECT_EQ(showkd(r, 8), "");
    const std::string tr = t.traced();
    for (const char* line : {"SHOWKD OFF\r\n", "SHOWKD 3 = 3\r\n", "WORLDID KILL\r\n", "9: UNKNOWN ID 8\r\n"})
        EXPECT_NE(tr.find(line), std::string::npos) << line;
}

TEST(KillLine, OverlongNamesAreCut)
{
    ConnectedRelay t;
    Relay& r = t.r();
    const std::string longname(3000, 'x');
    t.player(3, longname.c_str(), 0);
    t.player(4, "Alice", 0);
    count_kill(r, 4, 3, 10, "", 0);
    const std::string sent = t.sent();
    // Cut at 1023 characters, then sent in parts the server takes whole ("0,1" style).
    const std::size_t text = channel_text_bytes(t.lines(), 4);
    EXPECT_LE(text, 1023u);
    EXPECT_GE(text, 1023u - 3);
    EXPECT_EQ(t.lines().size(), 3u);
    EXPECT_EQ(sent.find('\0'), std::string::npos);
}

} // namespace
