#include <gtest/gtest.h>

#include <string>

#include "relay/config/mapinfo.h"
#include "relay/players/table.h"
#include "tests/config/config_files.h"

namespace {

constexpr const char* kFile = "maps.xml";

int load(TestRelay& t, const std::string& text)
{
    t.fake.write_file(kFile, text);
    return load_mapinfo(t.r(), kFile);
}

std::string block(const std::string& name, const std::string& side, const std::string& time,
                  const std::string& rest = "")
{
    return "<map><name>" + name + "</name><side>" + side + "</side><time>" + time + "</time>" +
           rest + "</map>";
}

int time_of(TestRelay& t, const char* map)
{
    t.r().game.map = map ? Text(map) : Text();
    return map_time(t.r());
}

TEST(LoadMapinfo, FieldsAndSides)
{
    TestRelay t;
    const std::string file = "junk before\r\n" + block("mp_a", "red", "600") + "\n" +
                             block("mp_b", "BLUE", "  90") + block("mp_c", "BoTh", "abc") +
                             block("mp_d", "left", "-5") + "trailing";
    EXPECT_EQ(load(t, file), 4);
    const MapTable& m = t.r().maps;
    ASSERT_EQ(m.mapsloaded, 4);
    ASSERT_EQ(m.maps.size(), 4u);
    const struct {
        const char* name;
        int side, time;
    } want[] = {{"mp_a", 0, 600}, {"mp_b", 1, 90}, {"mp_c", -1, 0}, {"mp_d", 0, -5}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m.maps[i].name, want[i].name);
        EXPECT_EQ(m.maps[i].side, want[i].side) << want[i].name;
        EXPECT_EQ(m.maps[i].time, want[i].time) << want[i].name;
        EXPECT_FALSE(m.maps[i].taken);
        EXPECT_FALSE(m.maps[i].secured);
    }
}

TEST(LoadMapinfo, BrokenBlocks)
{
    struct Case {
        const char* what;
        std::string file;
        int result;
        int mapsloaded;
    };
    const Case cases[] = {
        {"missing name", "<map><side>red</side><time>1</time></map>" + block("ok", "red", "1"), 1, 1},
        {"missing side", "<map><name>x</name><time>1</time></map>" + block("ok", "red", "1"), 1, 1},
        {"missing time", "<map><name>x</name><side>red</side></map>" + block("ok", "red", "1"), 1, 1},
        {"name without end tag", "<map><name>x<side>red</side><time>1</time></map>", 0, 0},
        {"unfinished block stops loading",
         block("one", "red", "1") + block("two", "red", "2") + "<map><name>three</name>", 0, 2},
        {"no blocks", "<name>x</name><side>red</side><time>1</time>", 0, 0},
        {"tags are case-sensitive", "<MAP><name>x</name><side>red</side><time>1</time></MAP>", 0, 0},
    };
    for (const Case& c : cases) {
        TestRelay t;
        EXPECT_EQ(load(t, c.file), c.result) << c.what;
        EXPECT_EQ(t.r().maps.mapsloaded, c.mapsloaded) << c.what;
        EXPECT_EQ(static_cast<int>(t.r().maps.maps.size()), c.mapsloaded) << c.what;
    }
}

TEST(LoadMapinfo, AtMostAThousandMaps)
{
    TestRelay t;
    std::string file;
    for (int i = 0; i < 1005; ++i)
        file += block("m" + std::to_string(i), "red", std::to_string(i));
    EXPECT_EQ(load(t, file), 1000);
    EXPECT_EQ(time_of(t, "m999"), 999);
    EXPECT_EQ(time_of(t, "m1000"), 0);
}

TEST(LoadMapinfo, ReloadReplacesTable)
{
    TestRelay t;
    EXPECT_EQ(load(t, block("mp_a", "red", "600")), 1);
    EXPECT_EQ(load(t, block("mp_b", "red", "300")), 1);
    EXPECT_EQ(time_of(t, "mp_a"), 0);
    EXPECT_EQ(time_of(t, "mp_b"), 300);
    EXPECT_EQ(load_mapinfo(t.r(), "missing.xml"), 0);
    EXPECT_EQ(t.r().maps.mapsloaded, 0);
    EXPECT_EQ(time_of(t, "mp_b"), 0);
}

TEST(MapTime, Lookup)
{
    TestRelay t;
    load(t, block("MP_Shop", "red", "900") + block("mp_shop", "red", "100") +
                "<map><name>\n mp_jor1\r\n</name><side>red</side><time>700</time></map>" +
                block("mp_col1", "red", "1\0" "5"));
    EXPECT_EQ(time_of(t, "mp_shop"), 900); // case-insensitive, first block wins
    EXPECT_EQ(time_of(t, "mp_jor1"), 0);   // name across lines keeps its blanks
    EXPECT_EQ(t.r().maps.maps[2].name, "  mp_jor1  ");
    EXPECT_EQ(time_of(t, "mp_col1"), 1);   // a NUL byte becomes a blank
    EXPECT_EQ(time_of(t, nullptr), 0);
    EXPECT_EQ(time_of(t, "mp_none"), 0);
}

// Red player 1, blue player 2, spectator 3.
void add_players(TestRelay& t)
{
    for (int id = 1; id <= 3; ++id) {
        add_player(t.r(), id);
        set_player_team(t.r(), id, id);
    }
}

std::string lang_texts(const std::string& prefix)
{
    return "<langen>" + prefix + " en</langen><langde>" + prefix + " de</langde><langnl>" + prefix +
           " nl</langnl>";
}

const std::string kObjectiveMaps =
    block("mp_full", "both", "1",
          "<objective><taken><red>" + lang_texts("taken red") + "</red><blue>" +
              lang_texts("taken blue") + "</blue></taken><secured><blue>" +
              lang_texts("secured blue") + "</blue><red>" + lang_texts("secured red") +
              "</red></secured></objective>") +
    block("mp_takenonly", "red", "1",
          "<objective><taken><red><langen>grabbed</langen></red></taken></objective>") +
    block("mp_off", "red", "1",
          "<objective><taken><red>" + lang_texts("x") + "</red></taken></objective><objective />") +
    block("mp_noend", "red", "1", "<objective><taken><red>" + lang_texts("x") + "</red></taken>");

struct ObjectiveCase {
    const char* map;
    int gametype;
    int langout;
    int client;
    int flag;
    const char* want; // nullptr: none
};

TEST(ObjectiveText, Choices)
{
    const ObjectiveCase cases[] = {
        // Other team's flag: the taken texts of the taker's colour.
        {"mp_full", 5, 0, 1, 1, "taken red en"},
        {"MP_FULL", 6, 2, 2, 0, "taken blue nl"},
        {"mp_full", 0, 1, 1, 1, "taken red de"},
        // Own flag: the secured texts of the flag's colour.
        {"mp_full", 5, 0, 1, 0, "secured red en"},
        {"mp_full", 5, 1, 2, 1, "secured blue de"},
        // Spectators and unknown players never hold their own flag.
        {"mp_full", 5, 0, 3, 0, "taken blue en"},
        {"mp_full", 5, 0, 42, 1, "taken red en"},
        // Only taken texts: bringing back gives none; missing language gives none.
        {"mp_takenonly", 5, 0, 1, 1, "grabbed"},
        {"mp_takenonly", 5, 0, 1, 0, nullptr},
        {"mp_takenonly", 5, 1, 1, 1, nullptr},
        {"mp_takenonly", 5, 0, 2, 0, nullptr},
        // <objective /> beside an <objective> element, or no end tag: no texts.
        {"mp_off", 5, 0, 1, 1, nullptr},
        {"mp_noend", 5, 0, 1, 1, nullptr},
        // Maps missing from the file: the built-in phrases.
        {"mp_other", 5, 0, 1, 1, "has taken the objective."},
        {"mp_other", 6, 0, 2, 1, "has returned the objective."},
        {"mp_other", 0, 2, 1, 0, "heeft het object teruggebracht."},
        // Other game types or no map: none.
        {"mp_full", 7, 0, 1, 1, nullptr},
        {"mp_other", 8, 0, 1, 1, nullptr},
        {"mp_full", 9, 0, 1, 1, nullptr},
        {nullptr, 5, 0, 1, 1, nullptr},
    };
    TestRelay t;
    ASSERT_EQ(load(t, kObjectiveMaps), 4);
    add_players(t);
    for (const ObjectiveCase& c : cases) {
        Relay& r = t.r();
        r.game.map = c.map ? Text(c.map) : Text();
        r.game.gametype = c.gametype;
        r.settings.langout = c.langout;
        const char* got = objective_text(r, team_of(r, c.client), c.flag);
        const std::string label = std::string(c.map ? c.map : "(none)") + " client " +
                                  std::to_string(c.client) + " flag " + std::to_string(c.flag) +
                                  " lang " + std::to_string(c.langout);
        if (c.want)
            EXPECT_EQ(got ? std::string(got) : std::string("(none)"), c.want) << label;
        else
            EXPECT_EQ(got, nullptr) << label << ": " << got;
    }
}

TEST(ObjectiveText, GermanFallbackIsLatin1)
{
    TestRelay t;
    add_players(t);
    t.r().game.map = "mp_other";
    t.r().settings.langout = 1;
    EXPECT_STREQ(objective_text(t.r(), team_of(t.r(), 1), 0), "bringt das Objektiv zur\374ck.");
}

TEST(ObjectiveText, TraceLines)
{
    TestRelay t;
    trace_at(t, 11);
    load(t, kObjectiveMaps);
    add_players(t);
    t.r().game.map = "mp_full";
    t.r().game.gametype = 5;
    objective_text(t.r(), team_of(t.r(), 1), 1);
    objective_text(t.r(), team_of(t.r(), 2), 1);
    const std::string tr = trace_text(t);
    EXPECT_NE(tr.find("map: mp_full\r\nmap ok\r\n"), std::string::npos);
    EXPECT_NE(tr.find("1 1\r\n1 1 docs\r\nB taken red en\r\n"), std::string::npos) << tr;
    EXPECT_NE(tr.find("2 1\r\n2 1 docsreturn\r\nR secured blue en\r\n"), std::string::npos) << tr;
}

TEST(LoadMapinfo, ShippedExampleFile)
{
    const std::string text = source_file("examples/mapinfo_sof2.xml");
    ASSERT_FALSE(text.empty());
    int blocks = 0;
    for (std::size_t p = text.find("<map>"); p != std::string::npos; p = text.find("<map>", p + 1))
        ++blocks;

    TestRelay t;
    EXPECT_EQ(load(t, text), blocks);
    EXPECT_GE(blocks, 10);

    // Every map of the file has its length and all twelve objective texts, and
    // no text is UTF-8 (the German texts go to IRC as Latin-1 bytes).
    for (const MapInfo& m : t.r().maps.maps) {
        EXPECT_GT(m.time, 0) << m.name;
        EXPECT_EQ(m.name.find(' '), std::string::npos) << m.name;
        for (const auto* set : {&m.taken, &m.secured}) {
            ASSERT_TRUE(set->has_value()) << m.name;
            for (const auto* side : {&(*set)->red, &(*set)->blue})
                for (const Text& s : *side) {
                    ASSERT_TRUE(s.has_value()) << m.name;
                    EXPECT_EQ(s->find('\xc3'), std::string::npos) << m.name << ": " << *s;
                    EXPECT_NE(s->front(), ' ') << m.name;
                }
        }
    }
    EXPECT_EQ(time_of(t, "mp_shop"), 1200);
}

} // namespace
