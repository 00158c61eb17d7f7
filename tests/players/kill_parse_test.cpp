#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "relay/players/kill_parse.h"
#include "relay/players/register.h"
#include "tests/support/connected_relay.h"

namespace {

// What a kill left behind: the channel bytes, the table and the weapon counts.
struct Outcome {
    std::string sent;
    std::vector<std::string> players;
    std::map<int, int> weapons;
    int fragcount = 0;
    bool operator==(const Outcome&) const = default;
};

Outcome outcome(ConnectedRelay& t)
{
    Outcome o;
    o.sent = visible(t.sent());
    Relay& r = t.r();
    for (int i = 0; i < r.players.playercount; ++i) {
        const PlayerRecord& p = r.players.slots[i];
        o.players.push_back(std::string(cstr(p.name) ? cstr(p.name) : "-") + " id=" + std::to_string(p.id) +
                            " t=" + std::to_string(p.team) + " k=" + std::to_string(p.kills) +
                            " d=" + std::to_string(p.deaths) + " tk=" + std::to_string(p.teamkills) +
                            " s=" + std::to_string(p.suicides) + " kt=" + std::to_string(p.teamkilled));
    }
    o.weapons = r.kills.weaponkills;
    o.fragcount = r.game.fragcount;
    return o;
}

void PrintTo(const Outcome& o, std::ostream* os)
{
    *os << o.sent << " |";
    for (const auto& p : o.players)
        *os << " [" << p << "]";
    for (const auto& [w, n] : o.weapons)
        *os << " w" << w << "=" << n;
    *os << " frags=" << o.fragcount;
}

// Parsing `line` must do exactly what the named event (victim, killer, kind,
// weapon) does on a relay in the same state.
void expect_parsed_as(int langin, const std::string& line, const char* victim, const char* killer, int kind,
                      int weapon)
{
    ConnectedRelay parsed;
    ConnectedRelay direct;
    for (ConnectedRelay* t : {&parsed, &direct})
        t->r().settings.langin = langin;
    EXPECT_EQ(parse_kill_text(parsed.r(), line.c_str()), 2) << line;
    named_player_event(direct.r(), victim, killer, kind, weapon);
    EXPECT_EQ(outcome(parsed), outcome(direct)) << "line: " << line;
}

struct Row {
    const char* phrase[2]; // English, German
    int kind;
    int defaultweapon;
    std::vector<std::pair<const char*, int>> suffixes;
};

const std::vector<std::pair<const char*, int>> kSetA = {
    {"Micro Uzi", 6}, {"M3A1", 7}, {"Sig 551", 12}, {"Silver Talon", 4}, {"M1911A1", 2},
    {"US SOCOM", 3},  {"M4", 10},  {"MP5", 8},      {"AK74", 11},        {"M60", 14}};
const std::vector<std::pair<const char*, int>> kSetD = {
    {"Micro Uzi", 6}, {"M3A1", 7}, {"Sig 551", 12}, {"Silver Talon", 4}, {"M1911A1", 2}, {"US SOCOM", 3},
    {"M4", 10},       {"M60", 14}, {"MP5", 8},      {"AK74", 11},        {"M590", 5},    {"USAS-12", 9}};

const Row kKillRows[] = {
    {{" was shot by ", " wurde erschossen von "}, 0, 0, kSetA},
    {{" was detonated by ", " wurde gesprengt durch "}, 0, 105, {{"M203", 101}, {"SMOHG92", 18}, {"ANM14", 19}}},
    {{" was pumped full of lead by ", " wurde vollgepumpt von "}, 0, 104, {{"M590", 5}, {"USAS-12", 9}}},
    {{" was stabbed by ", " wurde erstochen von "}, 0, 1, {}},
    {{" was bludgeoned by ", " wurde zerschlagen von "}, 5, 107, kSetD},
    {{" was sniped by ", " wurde gesniped von "}, 0, 103, {{"MSG90A1", 13}}},
};

TEST(ParseKillText, EveryKillRowAndSuffixInBothLanguages)
{
    const char* lead[2] = {"'s ", " - "};
    for (int lang = 0; lang < 2; ++lang) {
        for (const Row& row : kKillRows) {
            const std::string base = std::string("Bob") + row.phrase[lang] + "Alice";
            expect_parsed_as(lang, base, "Bob", "Alice", row.kind, row.defaultweapon);
            for (const auto& [name, weapon] : row.suffixes)
                expect_parsed_as(lang, base + lead[lang] + name, "Bob", "Alice", row.kind, weapon);
        }
    }
}

TEST(ParseKillText, SlicingIsItsOwnRowOnlyInEnglish)
{
    expect_parsed_as(0, "Bob was sliced by Alice", "Bob", "Alice", 0, 108);
    expect_parsed_as(1, "Bob wurde erstochen von Alice", "Bob", "Alice", 0, 1);
}

TEST(ParseKillText, DeathsWithoutKillerInBothLanguages)
{
    struct Case {
        int lang;
        const char* line;
        int weapon;
    };
    const Case cases[] = {
        {0, "Bob was in the wrong place.", 29},
        {0, "Bob blew himself up.", 106},
        {0, "Bob killed himself.", 25},
        {0, "Bob fell to his death.", 24},
        {1, "Bob war am Falschen Platz.", 29},
        {1, "Bob hat sich selbst gesprengt.", 106},
        {1, "Bob t\366tete sich selbst.", 25},
        {1, "Bob str\374zte sich zu Tode..", 24},
    };
    for (const Case& c : cases)
        expect_parsed_as(c.lang, c.line, "Bob", "Bob", 1, c.weapon);
}

TEST(ParseKillText, ExamplesFromTheGame)
{
    {
        ConnectedRelay t;
        Relay& r = t.r();
        EXPECT_EQ(parse_kill_text(r, "Bob was shot by Alice's M4"), 2);
        ASSERT_EQ(r.players.playercount, 2);
        EXPECT_EQ(r.players.slots[0].name, "Bob");
        EXPECT_EQ(r.players.slots[0].deaths, 1);
        EXPECT_EQ(r.players.slots[1].name, "Alice");
        EXPECT_EQ(r.players.slots[1].kills, 1);
        EXPECT_EQ(r.kills.weaponkills, (std::map<int, int>{{10, 1}}));
    }
    {
        ConnectedRelay t;
        t.r().settings.langin = 1;
        EXPECT_EQ(parse_kill_text(t.r(), "Bob wurde erschossen von Alice - AK74"), 2);
        EXPECT_EQ(t.r().kills.weaponkills, (std::map<int, int>{{11, 1}}));
        EXPECT_EQ(t.r().players.slots[1].name, "Alice");
    }
    expect_parsed_as(0, "Bob was shot by Alice", "Bob", "Alice", 0, 0);
    expect_parsed_as(0, "^1Bob was shot by ^4Ali^7ce's M4", "Bob", "Alice", 0, 10);
    expect_parsed_as(0, "Bob was bludgeoned by Alice's M590", "Bob", "Alice", 5, 5);
    // The first suffix of the set in test order wins, wherever it stands.
    expect_parsed_as(0, "Bob was shot by Alice's M4's Micro Uzi", "Bob", "Alice's M4", 0, 6);
    // A line break left at the end is not part of the killer's name.
    expect_parsed_as(0, "Bob was shot by Alice\r", "Bob", "Alice", 0, 0);
}

TEST(ParseKillText, Renames)
{
    for (int lang = 0; lang < 2; ++lang) {
        ConnectedRelay t;
        Relay& r = t.r();
        r.settings.langin = lang;
        const int id = named_player_event(r, "Bob", "Bob", 4, -1);
        r.players.slots[0].kills = 3;
        const char* line = lang ? "Bob^7 hat sich unbenannt in ^1Rob" : "Bob^7 renamed to ^1Rob";
        EXPECT_EQ(parse_kill_text(r, line), 2);
        EXPECT_STREQ(player_name(r, id), "Rob");
        EXPECT_EQ(r.players.slots[0].kills, 3);
        EXPECT_EQ(r.players.playercount, 1);
        EXPECT_EQ(r.game.fragcount, 0);
    }
}

TEST(ParseKillText, LinesThatAreNotDeathMessages)
{
    struct Case {
        int lang;
        const char* line;
    };
    const Case cases[] = {
        {0, ""},
        {0, "^7"},
        {0, "Bob: hello there"},
        {0, "Bob wurde erschossen von Alice - AK74"}, // German while reading English
        {1, "Bob was shot by Alice's M4"},             // and the other way round
        {0, "Bob was Shot by Alice"},                  // phrases are case-sensitive
        {0, "Bob was sh^1ot by Alice's M4"},           // only colour codes make the phrase
    };
    for (const Case& c : cases) {
        ConnectedRelay t;
        t.r().settings.langin = c.lang;
        EXPECT_EQ(parse_kill_text(t.r(), c.line), 0) << c.line;
        EXPECT_EQ(t.r().players.playercount, 0);
        EXPECT_EQ(t.r().game.fragcount, 0);
        EXPECT_TRUE(t.sent().empty());
    }
}

TEST(ParseKillText, TracesTheCopyAndTheRow)
{
    ConnectedRelay t;
    t.trace_on(11);
    parse_kill_text(t.r(), "^1Bob wurde erschossen von Alice");
    t.r().settings.langin = 1;
    parse_kill_text(t.r(), "^1Bob wurde erschossen von Alice");
    const std::string tr = t.traced();
    EXPECT_NE(tr.find("psa: Bob wurde erschossen von Alice\r\n"), std::string::npos);
    EXPECT_NE(tr.find("kill  was shot by \r\n"), std::string::npos);
}

} // namespace
