#include <gtest/gtest.h>

#include <map>
#include <string>

#include "relay/players/kill_count.h"
#include "tests/support/connected_relay.h"

namespace {

enum P { SHOT, DETONATED, PUMPED, SNIPED, BLUDGEONED, STABBED, KILLED_HIMSELF, FELL, WRONG_PLACE, BLEW_UP, NONE };

// The kill report words by output language: English, German, Dutch.
const char* const kWords[][3] = {
    {" was shot by ", " wurde erschossen von ", " werd neergeschoten door "},
    {" was detonated by ", " wurde gesprengt durch ", " werd opgeblazen door "},
    {" was pumped full of lead by ", " wurde vollgepumpt von ", " werd volgepompt met lood door "},
    {" was sniped by ", " wurde gesniped von ", " werd gedood door het scherpschutters geweer van "},
    {" was bludgeoned by ", " wurde zerschlagen von ", " werd doodgeknuppeld door "},
    {" was stabbed by ", " wurde erstochen von ", " werd neergestoken door "},
    {" killed himself.", " t\xf6tete sich selbst.", " pleegde zelfmoord."},
    {" fell to his death.", " st\xfcrzte sich zu Tode..", " viel te pletter."},
    {" was in the wrong place.", " war am Falschen Platz.", " was op de verkeerde plaats."},
    {" blew himself up.", " hat sich selbst gesprengt.", " blies zichzelf op."},
};

enum When { NEVER, ALWAYS, SELF, WORLD_OR_SELF };

struct WeaponCase {
    int weapon;
    When suicide;
    P suicidetext;
    P phrase;
    const char* name; // "" for an empty weapon text
};

const WeaponCase kWeaponCases[] = {
    {0, WORLD_OR_SELF, KILLED_HIMSELF, SHOT, ""},
    {1, NEVER, NONE, STABBED, ""},
    {2, NEVER, NONE, SHOT, "M1911A1"},
    {3, NEVER, NONE, SHOT, "US SOCOM"},
    {4, NEVER, NONE, SHOT, "Silver Talon"},
    {5, NEVER, NONE, PUMPED, "M590"},
    {6, NEVER, NONE, SHOT, "Micro Uzi"},
    {7, NEVER, NONE, SHOT, "M3A1"},
    {8, NEVER, NONE, SHOT, "MP5"},
    {9, NEVER, NONE, PUMPED, "USAS-12"},
    {10, NEVER, NONE, SHOT, "M4"},
    {11, NEVER, NONE, SHOT, "AK74"},
    {12, NEVER, NONE, SHOT, "Sig 551"},
    {13, NEVER, NONE, SNIPED, "MSG90A1"},
    {14, NEVER, NONE, SHOT, "M60"},
    {18, SELF, BLEW_UP, DETONATED, "SMOHG92"},
    {19, SELF, BLEW_UP, DETONATED, "ANM14"},
    {24, ALWAYS, FELL, NONE, nullptr},
    {25, ALWAYS, KILLED_HIMSELF, NONE, nullptr},
    {29, ALWAYS, WRONG_PLACE, NONE, nullptr},
    {101, SELF, BLEW_UP, DETONATED, "M203"},
    {103, NEVER, NONE, SNIPED, ""},
    {104, NEVER, NONE, PUMPED, ""},
    {105, SELF, BLEW_UP, DETONATED, ""},
    {106, SELF, BLEW_UP, DETONATED, ""},
    {107, NEVER, NONE, BLUDGEONED, ""},
    {108, NEVER, NONE, STABBED, ""},
};

const char* const kClock = "[01:02]";

// The kill lines with teammode on, unknown teams (colour 0), the default styles
// and playerstats off.
std::string full_line(const std::string& victim, const std::string& phrase, const std::string& killer,
                      const std::string& text)
{
    return "PRIVMSG #chan :\x03" "0,1[01:02]\x03" "0 " + victim + "\x0f\x03" "0,1" + phrase +
           "\x0f\x03" "0,1\x03" "0\x16\x16" + killer + "\x0f\x03" "0,1" + text + " ";
}

std::string short_line(const std::string& victim, const std::string& text)
{
    return "PRIVMSG #chan :\x03" "0,1[01:02]\x03" "0 " + victim + "\x0f\x03" "0,1" + text + " ";
}

enum Scene { OTHER, SELF_KILL, WORLD };

TEST(CountKill, EveryWeaponInEveryOutputLanguage)
{
    const char* lead[3] = {"'s ", " - ", "'s "};
    for (const WeaponCase& w : kWeaponCases)
        for (int lang = 0; lang < 3; ++lang)
            for (Scene scene : {OTHER, SELF_KILL, WORLD})
                for (int kind : {0, 5}) {
                    ConnectedRelay t;
                    Relay& r = t.r();
                    r.settings.langout = lang;
                    PlayerRecord& bob = t.player(3, "Bob", 0);
                    PlayerRecord& alice = t.player(4, "Alice", 0);
                    const int killer = scene == OTHER ? 4 : scene == SELF_KILL ? 3 : kWorldId;
                    count_kill(r, killer, 3, w.weapon, kClock, kind);

                    const bool suicide = w.suicide == ALWAYS || (w.suicide == SELF && scene == SELF_KILL) ||
                                         (w.suicide == WORLD_OR_SELF && scene != OTHER);
                    std::string expected;
                    std::map<int, int> weapons;
                    int bobk = 0, bobd = 0, bobs = 0, alicek = 0;
                    if (suicide) {
                        expected = short_line("Bob", kWords[w.suicidetext][lang]);
                        bobs = 1;
                    } else {
                        const P phrase = kind == 5 ? BLUDGEONED : w.phrase;
                        const std::string text = w.name[0] ? lead[lang] + std::string(w.name) : "";
                        if (scene == WORLD) {
                            expected = short_line("Bob", text);
                        } else {
                            expected = full_line("Bob", kWords[phrase][lang], scene == OTHER ? "Alice" : "Bob", text);
                            weapons[w.weapon] = 1;
                        }
                        bobd = 1;
                        (scene == OTHER ? alicek : bobk) = scene == WORLD ? 0 : 1;
                    }
                    const std::string where = "weapon " + std::to_string(w.weapon) + " lang " +
                                              std::to_string(lang) + " scene " + std::to_string(scene) +
                                              " kind " + std::to_string(kind);
                    ASSERT_EQ(t.lines().size(), 1u) << where;
                    EXPECT_EQ(visible(t.lines()[0]), visible(expected)) << where;
                    EXPECT_EQ(bob.kills, bobk) << where;
                    EXPECT_EQ(bob.deaths, bobd) << where;
                    EXPECT_EQ(bob.suicides, bobs) << where;
                    EXPECT_EQ(alice.kills, alicek) << where;
                    EXPECT_EQ(alice.deaths, 0) << where;
                    EXPECT_EQ(bob.teamkills + bob.teamkilled + alice.teamkills + alice.teamkilled, 0) << where;
                    EXPECT_EQ(r.kills.weaponkills, weapons) << where;
                    EXPECT_EQ(r.game.fragcount, 1) << where;
                }
}

TEST(CountKill, NumbersOutsideTheTableAreShownAsUnsupported)
{
    const char* unsupported[3] = {" UNKNOWN ?? UNSUPPORTED BY BOT", " UNBEKANNT ?? NICHT BENUTZT BEIM BOT",
                                  " ONBEKEND ?? NIET GEBRUIKT DOOR BOT"};
    for (int weapon : {-1, 15, 16, 17, 20, 23, 27, 28, 30, 50, 100, 102, 109, 5000})
        for (int lang = 0; lang < 3; ++lang)
            for (int kind : {0, 5}) {
                ConnectedRelay t;
                Relay& r = t.r();
                r.settings.langout = lang;
                r.log.linesread = 1200;
                PlayerRecord& bob = t.player(5, "Bob", 0);
                PlayerRecord& alice = t.player(3, "Alice", 0);
                count_kill(r, 3, 5, weapon, kClock, kind);
                const std::string text = std::string(unsupported[lang]) + " [weapon #" + std::to_string(weapon) +
                                         ", p1=3, p2=5 on line 1200]";
                ASSERT_EQ(t.lines().size(), 1u);
                EXPECT_EQ(visible(t.lines()[0]), visible(full_line("Bob", kWords[SHOT][lang], "Alice", text)))
                    << weapon;
                EXPECT_EQ(alice.kills, 1);
                EXPECT_EQ(bob.deaths, 1);
            }
}

TEST(CountKill, IgnoredWeaponChangesNothing)
{
    ConnectedRelay t;
    Relay& r = t.r();
    PlayerRecord& bob = t.player(3, "Bob", 1);
    PlayerRecord& alice = t.player(4, "Alice", 0);
    count_kill(r, 4, 3, 26, kClock, 0);
    EXPECT_EQ(r.game.fragcount, 1);
    EXPECT_EQ(alice.team, 0);
    EXPECT_EQ(alice.kills + bob.deaths + bob.tp + alice.tp, 0);
    EXPECT_TRUE(t.sent().empty());
    EXPECT_TRUE(r.kills.weaponkills.empty());
}

TEST(CountKill, UnknownIdsCountOnlyTheEvent)
{
    ConnectedRelay t;
    Relay& r = t.r();
    t.trace_on(11);
    PlayerRecord& bob = t.player(3, "Bob", 0);
    count_kill(r, 7, 3, 10, kClock, 0);
    count_kill(r, 3, 8, 10, kClock, 0);
    EXPECT_EQ(r.game.fragcount, 2);
    EXPECT_EQ(bob.kills + bob.deaths, 0);
    EXPECT_TRUE(t.sent().empty());
    EXPECT_NE(t.traced().find("Unknown player id[7]\r\n"), std::string::npos);
    EXPECT_NE(t.traced().find("Unknown player id[8]\r\n"), std::string::npos);
}

TEST(CountKill, ShowfragsOffCountsButSendsNothing)
{
    ConnectedRelay t;
    Relay& r = t.r();
    r.settings.showfrags = 0;
    PlayerRecord& bob = t.player(3, "Bob", 0);
    PlayerRecord& alice = t.player(4, "Alice", 0);
    count_kill(r, 4, 3, 10, kClock, 0);
    EXPECT_EQ(alice.kills, 1);
    EXPECT_EQ(bob.deaths, 1);
    EXPECT_TRUE(t.sent().empty());
}

TEST(CountKill, TeamIsGuessedFromTheOpponent)
{
    struct Case {
        int killerteam, victimteam, killerafter, victimafter;
    };
    const Case cases[] = {
        {1, 0, 1, 2}, {2, 0, 2, 1}, {3, 0, 3, 1}, {0, 1, 2, 1}, {0, 2, 1, 2}, {0, 3, 1, 3}, {0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        ConnectedRelay t;
        Relay& r = t.r();
        PlayerRecord& bob = t.player(3, "Bob", c.victimteam);
        PlayerRecord& alice = t.player(4, "Alice", c.killerteam);
        count_kill(r, 4, 3, 10, kClock, 0);
        EXPECT_EQ(alice.team, c.killerafter);
        EXPECT_EQ(bob.team, c.victimafter);
        EXPECT_EQ(alice.kills, 1); // a guessed team never makes a team kill
    }
    // The world has no team: nothing is guessed for its victim.
    ConnectedRelay t;
    PlayerRecord& bob = t.player(3, "Bob", 0);
    count_kill(t.r(), kWorldId, 3, 0, kClock, 0);
    EXPECT_EQ(bob.team, 0);
    EXPECT_EQ(bob.suicides, 1);
}

TEST(CountKill, RedKillsUnknownVictimShowsGuessedColours)
{
    ConnectedRelay t;
    Relay& r = t.r();
    t.player(3, "Bob", 0);
    t.player(4, "Alice", 1);
    count_kill(r, 4, 3, 10, kClock, 0);
    ASSERT_EQ(t.lines().size(), 1u);
    EXPECT_EQ(visible(t.lines()[0]),
              "PRIVMSG #chan :{C}0,1[01:02]{C}11 Bob{O}{C}0,1 was shot by {O}{C}0,1{C}4{R}{R}Alice{O}{C}0,1's M4 ");
}

TEST(CountKill, SuspicionMovesAWronglyGuessedVictim)
{
    ConnectedRelay t;
    Relay& r = t.r();
    t.trace_on(11);
    PlayerRecord& a = t.player(1, "A", 1);
    PlayerRecord& b = t.player(2, "B", 1);
    PlayerRecord& c = t.player(3, "C", 1);
    count_kill(r, 1, 2, 10, kClock, 0); // both red, no suspicion yet: both tp 1, a team kill
    EXPECT_EQ(a.tp, 1);
    EXPECT_EQ(b.tp, 1);
    EXPECT_EQ(a.teamkills, 1);
    EXPECT_EQ(b.teamkilled, 1);
    EXPECT_NE(t.traced().find("tk handling: p1=0 p2=1 t1=1 p1.tp=0 t2=1 p2.tp=0\r\n"), std::string::npos);
    EXPECT_NE(t.traced().find("tk handling: p1=0 p2=1 t1=1 p1.tp=0 t2=1 p2.tp=0 inc tp p1+p2\r\n"),
              std::string::npos);

    t.clear_sent();
    count_kill(r, 3, 2, 10, kClock, 0); // C (tp 0) kills B (tp 1): B reaches 2 and turns blue
    EXPECT_EQ(b.tp, 0);
    EXPECT_EQ(b.team, 2);
    EXPECT_EQ(c.tp, 0);
    EXPECT_EQ(c.kills, 1); // now an ordinary kill
    EXPECT_EQ(b.deaths, 1);
    EXPECT_EQ(c.teamkills, 0);
    EXPECT_NE(t.traced().find("tk handling: p1=2 p2=1 t1=1 p1.tp=0 t2=1 p2.tp=1 inc tp p2\r\n"), std::string::npos);
    EXPECT_NE(t.traced().find("tk handling: p1=2 p2=1 t1=1 p1.tp=0 t2=1 p2.tp=1 convert team p2\r\n"),
              std::string::npos);
    ASSERT_EQ(t.lines().size(), 1u);
    EXPECT_NE(t.lines()[0].find("\x03" "11 B"), std::string::npos) << visible(t.lines()[0]); // shown blue
}

TEST(CountKill, SuspicionMovesAWronglyGuessedKiller)
{
    ConnectedRelay t;
    Relay& r = t.r();
    t.trace_on(11);
    PlayerRecord& a = t.player(1, "A", 1);
    PlayerRecord& b = t.player(2, "B", 1);
    a.tp = 1;
    count_kill(r, 1, 2, 10, kClock, 0); // killer suspected, victim not: killer reaches 2
    EXPECT_EQ(a.tp, 0);
    EXPECT_EQ(a.team, 2);
    EXPECT_EQ(b.tp, 0);
    EXPECT_EQ(a.kills, 1);
    EXPECT_EQ(b.deaths, 1);
    EXPECT_NE(t.traced().find("tk handling: p1=0 p2=1 t1=1 p1.tp=1 t2=1 p2.tp=0 inc tp p1\r\n"), std::string::npos);
    EXPECT_NE(t.traced().find("tk handling: p1=0 p2=1 t1=1 p1.tp=1 t2=1 p2.tp=0 convert team p1\r\n"),
              std::string::npos);
}

TEST(CountKill, SuspicionCountsByCase)
{
    struct Case {
        int ktp, vtp, kteam, vteam, useclantags;
        int ktp_after, vtp_after, kteam_after, vteam_after;
        bool teamkill;
    };
    const Case cases[] = {
        {0, 0, 1, 1, 0, 1, 1, 1, 1, true},
        {0, 0, 2, 2, 0, 1, 1, 2, 2, true},
        {2, 3, 2, 2, 0, 1, 2, 2, 2, true},   // both suspected: both go down
        {-1, 0, 1, 1, 0, 0, 0, 1, 1, true},  // killer's count rises but stays below 2
        {0, -1, 1, 1, 0, 0, 0, 1, 1, true},
        {0, 0, 1, 1, 1, 0, 0, 1, 1, true},   // clan tags: teams are trusted
        {3, 3, 1, 1, 1, 0, 0, 1, 1, true},   // ... and the counts are cleared
        {3, 3, 1, 2, 0, 0, 0, 1, 2, false},  // no team kill: both counts reset
        {3, 3, 3, 1, 0, 3, 0, 3, 1, false},  // a spectator killer keeps his count
        {3, 3, 3, 3, 0, 3, 3, 3, 3, false},  // spectators never team-kill
    };
    for (const Case& c : cases) {
        ConnectedRelay t;
        Relay& r = t.r();
        r.settings.useclantags = c.useclantags;
        PlayerRecord& a = t.player(1, "A", c.kteam);
        PlayerRecord& b = t.player(2, "B", c.vteam);
        a.tp = c.ktp;
        b.tp = c.vtp;
        count_kill(r, 1, 2, 10, kClock, 0);
        EXPECT_EQ(a.tp, c.ktp_after) << c.ktp << "/" << c.vtp;
        EXPECT_EQ(b.tp, c.vtp_after) << c.ktp << "/" << c.vtp;
        EXPECT_EQ(a.team, c.kteam_after);
        EXPECT_EQ(b.team, c.vteam_after);
        EXPECT_EQ(a.teamkills, c.teamkill ? 1 : 0);
        EXPECT_EQ(a.kills, c.teamkill ? 0 : 1);
    }
}

TEST(CountKill, DeathByTheWorldClearsTheVictimsSuspicion)
{
    ConnectedRelay t;
    Relay& r = t.r();
    PlayerRecord& red = t.player(1, "A", 1);
    PlayerRecord& spec = t.player(2, "B", 3);
    red.tp = 1;
    spec.tp = 1;
    count_kill(r, kWorldId, 1, 24, kClock, 0);
    count_kill(r, kWorldId, 2, 24, kClock, 0);
    EXPECT_EQ(red.tp, 0);
    EXPECT_EQ(spec.tp, 1); // only red and blue players' counts are reset
    EXPECT_EQ(red.suicides, 1);
}

TEST(CountKill, SuicideOfATeamPlayerPassesTheSuspicionStep)
{
    ConnectedRelay t;
    Relay& r = t.r();
    PlayerRecord& a = t.player(1, "A", 1);
    count_kill(r, 1, 1, 25, kClock, 1);
    EXPECT_EQ(a.tp, 1);
    count_kill(r, 1, 1, 25, kClock, 1);
    EXPECT_EQ(a.tp, -1);
    EXPECT_EQ(a.suicides, 2);
    EXPECT_EQ(a.teamkills, 0);
}

TEST(CountKill, WeaponStatisticsCountKillsBetweenPlayers)
{
    ConnectedRelay t;
    Relay& r = t.r();
    t.player(1, "A", 1);
    t.player(2, "B", 2);
    t.player(3, "C", 1);
    count_kill(r, 1, 2, 10, kClock, 0);
    count_kill(r, 2, 1, 10, kClock, 0);
    count_kill(r, 3, 1, 11, kClock, 0);         // a team kill is still a kill with the AK74
    count_kill(r, 1, 1, 18, kClock, 0);         // suicide by grenade: not a weapon kill
    count_kill(r, kWorldId, 2, 10, kClock, 0);  // the world is no weapon
    count_kill(r, 1, 2, 26, kClock, 0);         // ignored
    EXPECT_EQ(r.kills.weaponkills, (std::map<int, int>{{10, 2}, {11, 1}}));
}

TEST(WeaponName, NamesInTheOutputLanguage)
{
    EXPECT_EQ(weapon_name(10, 0), "M4");
    EXPECT_EQ(weapon_name(10, 1), "M4");
    EXPECT_EQ(weapon_name(1, 0), "knife");
    EXPECT_EQ(weapon_name(1, 1), "Messer");
    EXPECT_EQ(weapon_name(1, 2), "mes");
    EXPECT_EQ(weapon_name(50, 0), "weapon #50");
    EXPECT_EQ(weapon_name(50, 1), "Waffe #50");
    EXPECT_EQ(weapon_name(50, 2), "wapen #50");
    EXPECT_EQ(weapon_name(10, 7), "M4"); // out-of-range language falls back to English
    EXPECT_EQ(weapon_name(0, 9), "unknown weapon");
}

} // namespace
