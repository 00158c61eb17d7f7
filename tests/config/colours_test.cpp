#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "relay/config/colours.h"
#include "tests/config/config_files.h"

namespace {

constexpr const char* kFile = "colors.cfg";

// Loads text as the colour file on a fresh relay and gives it back.
void load(TestRelay& t, const std::string& text)
{
    t.fake.write_file(kFile, text);
    load_colours(t.r(), kFile);
}

struct StyleCase {
    const char* what;
    std::string file;
    std::string botinfo;  // expected botinfo code text
    std::string udpscore; // expected udpscore code text
};

TEST(LoadColours, StyleSections)
{
    const std::string longcomment = "#" + std::string(1021, 'x'); // exactly one read
    const std::vector<StyleCase> cases = {
        {"foreground and background", "[botinfo]\nfg=black\nbg=lightgrey\n", "1,15", "1,14"},
        {"bold and reverse", "[botinfo]\nfg=black\nbg=orange\nstyle=3\n", "1,7\x02\x16", "1,14"},
        {"underline first, then bold, then reverse", "[botinfo]\nfg=white\nstyle=15\n",
         "0\x1f\x02\x16", "1,14"},
        {"background alone stores nothing", "[botinfo]\nbg=white\n", "1,7", "1,14"},
        {"style carried into an empty section", "[botinfo]\nfg=white\nbg=black\n[udpscore]\n", "0,1",
         "0,1"},
        {"red is no colour name", "[botinfo]\nfg=red\n[udpscore]\n", "1,7", "1,14"},
        {"unknown name after a known one clears it",
         "[udpscore]\nfg=white\n[botinfo]\nfg=red\n[udpinfo]\n", "1,7", "0"},
        {"key lines before a section", "fg=white\nbg=black\n[botinfo]\n", "1,7", "1,14"},
        {"blank before the equals sign", "[botinfo]\nfg =white\n", "1,7", "1,14"},
        {"blank after the colour name", "[botinfo]\nfg=white \n", "1,7", "1,14"},
        {"keys are case-sensitive", "[botinfo]\nFG=white\n", "1,7", "1,14"},
        {"names and sections ignore case", "[BotInfo]\nfg=WHITE\nbg=LightBlue\n", "0,12", "1,14"},
        {"empty head keeps the section open", "[botinfo]\nfg=white\n[]\nbg=black\n", "0,1", "1,14"},
        {"head name ends at a blank", "[botinfo colours]\nfg=white\n", "0", "1,14"},
        {"carriage returns end lines", "[botinfo]\r\nfg=pink\r\nbg=grey\r\n", "13,14", "1,14"},
        {"comments and empty lines", "# [botinfo]\n\n[botinfo]\n#fg=white\nfg=cyan\n", "10", "1,14"},
        {"a long line is one line: its tail sets nothing", "[botinfo]\n" + longcomment + "fg=brown\n", "1,7",
         "1,14"},
        {"the line after a long line", "[botinfo]\n" + longcomment + "\nfg=purple\n", "6", "1,14"},
        {"a long value line keeps its head", "[botinfo]\nfg=white" + std::string(2000, ' ') + "\n", "1,7", "1,14"},
        {"a NUL byte ends the line", std::string("[botinfo]\nfg=white\0bg=black\n", 28), "0", "1,14"},
        {"general section stores no style", "[general]\nfg=white\n[botinfo]\nbg=black\n", "0,1", "1,14"},
    };
    for (const StyleCase& c : cases) {
        TestRelay t;
        load(t, c.file);
        EXPECT_EQ(visible(t.r().colours.botinfo), visible(c.botinfo)) << c.what;
        EXPECT_EQ(visible(t.r().colours.udpscore), visible(c.udpscore)) << c.what;
    }
}

TEST(LoadColours, StyleValuesStartAfreshForEachReading)
{
    TestRelay t;
    load(t, "[botinfo]\nfg=white\n");
    load(t, "[udpscore]\n");
    EXPECT_EQ(t.r().colours.udpscore, "1,14");
    EXPECT_EQ(t.r().colours.botinfo, "0");
}

TEST(LoadColours, EverySlotByName)
{
    TestRelay t;
    const char* names[] = {"default", "teamkill", "objective", "playerstats", "mapend",
                           "mapstart", "mapinfo", "gameend", "gamescorehead", "gamescore",
                           "botinfo", "playercmd", "fraglimit", "udpinfo", "udpscore"};
    std::string file;
    for (const char* n : names)
        file += std::string("[") + n + "]\nfg=yellow\nbg=green\n";
    load(t, file);
    const ColourStyles& c = t.r().colours;
    for (const std::string* s : {&c.default_, &c.teamkill, &c.objective, &c.playerstats, &c.mapend,
                                 &c.mapstart, &c.mapinfo, &c.gameend, &c.gamescorehead,
                                 &c.gamescore, &c.botinfo, &c.playercmd, &c.fraglimit, &c.udpinfo,
                                 &c.udpscore})
        EXPECT_EQ(*s, "8,3");
    EXPECT_EQ(c.ignoredlines, 0);
}

TEST(LoadColours, GeneralKeys)
{
    TestRelay t;
    Relay& r = t.r();
    load(t, "[general]\n"
            "waitmillisecs=500\n"
            "showconnectinfo=-5\n"
            "etsupport=2\n"
            "useclantags=7\n"
            "showplayerstats=-1\n"
            "showweaponstats=3\n"
            "showstatsafter=30\n"
            "byterate=10\n"
            "floodprotect=2\n"
            "bouncer=1\n"
            "usetime=5\n"
            "botpass= secret \n"
            "bounceruser=relay\n"
            "bouncerpass=pw\n"
            "redteamname=^1Alpha\n"
            "blueteamname=Bravo\n"
            "redclantag=[A]\n"
            "blueclantag=[B]\n"
            "playerstyle=5\n"
            "playercolor=lightgreen\n"
            "specteamcolor=nothing\n"
            "redteamcolor=nothing\n"
            "blueteamcolor=lightblue\n"
            "unknownteamcolor=grey\n"
            "charset=UTF-8\n");
    const BotSettings& s = r.settings;
    EXPECT_EQ(s.waitmillisecs, 1000);
    EXPECT_EQ(s.showconnectinfo, 0);
    EXPECT_EQ(s.etsupport, 1);
    EXPECT_EQ(s.useclantags, 1);
    EXPECT_EQ(s.playerstats, 1);
    EXPECT_EQ(s.weaponstats, 1);
    EXPECT_EQ(s.showstatsafter, 30);
    EXPECT_EQ(s.byterate, 10);
    EXPECT_EQ(s.floodprotect, 2);
    EXPECT_EQ(s.bouncer, 1);
    EXPECT_EQ(s.usetime, 1);
    EXPECT_EQ(cstr(s.botpass), std::string(" secret "));
    EXPECT_EQ(cstr(s.bounceruser), std::string("relay"));
    EXPECT_EQ(cstr(s.bouncerpass), std::string("pw"));
    EXPECT_EQ(r.teams.redteamname, "^1Alpha");
    EXPECT_EQ(r.teams.blueteamname, "Bravo");
    EXPECT_EQ(cstr(r.teams.redclantag), std::string("[A]"));
    EXPECT_EQ(cstr(r.teams.blueclantag), std::string("[B]"));
    EXPECT_EQ(visible(r.colours.playerstyle), "{U}{B}");
    EXPECT_EQ(r.colours.playercolor, 9);
    EXPECT_EQ(r.colours.specteamcolor, 1);
    EXPECT_EQ(r.colours.redteamcolor, 4);
    EXPECT_EQ(r.colours.blueteamcolor, 12);
    EXPECT_EQ(r.colours.unknownteamcolor, 14);
    EXPECT_EQ(r.colours.ignoredlines, 2); // the two unknown colour names
    EXPECT_EQ(s.charsetutf8, 1);

    // Second reading: lower values, none set, and the fallbacks of the colours.
    load(t, "[general]\n"
            "waitmillisecs=2500\n"
            "showconnectinfo=512\n"
            "etsupport=0\n"
            "useclantags=-3\n"
            "playerstyle=0\n"
            "playercolor=none\n"
            "unknownteamcolor=none\n"
            "blueteamcolor=x\n"
            "charset=latin-1\n");
    EXPECT_EQ(s.waitmillisecs, 2500);
    EXPECT_EQ(s.charsetutf8, 0);
    EXPECT_EQ(s.showconnectinfo, 512);
    EXPECT_EQ(s.etsupport, 0);
    EXPECT_EQ(s.useclantags, 0);
    EXPECT_EQ(r.colours.playerstyle, "");
    EXPECT_EQ(r.colours.playercolor, -1);
    EXPECT_EQ(r.colours.unknownteamcolor, 0);
    EXPECT_EQ(r.colours.blueteamcolor, 11);
}

TEST(LoadColours, GeneralKeysOnlyInGeneral)
{
    TestRelay t;
    load(t, "byterate=10\n[botinfo]\nbyterate=20\nwaitmillisecs=5000\n[GENERAL]\nbyterate=\n=5\n");
    EXPECT_EQ(t.r().settings.byterate, 3072);
    EXPECT_EQ(t.r().settings.waitmillisecs, 2150);
    EXPECT_EQ(t.r().colours.ignoredlines, 5);
}

TEST(LoadColours, UsetimeIgnoredInServerMode)
{
    TestRelay t;
    t.r().settings.servermode = 1;
    load(t, "[general]\nusetime=1\n");
    EXPECT_EQ(t.r().settings.usetime, 0);
}

struct MarkCase {
    const char* line;
    int BotSettings::*mark;
    // The setting as an int (texts: 1 when it equals "file").
    int (*value)(const BotSettings&);
};

int text_is_file(const Text& t) { return t && *t == "file"; }

TEST(LoadColours, CommandLineWinsOnceThenTheFile)
{
    const MarkCase cases[] = {
        {"botpass=file", &BotSettings::botpass_cmdline,
         [](const BotSettings& s) { return text_is_file(s.botpass); }},
        {"bounceruser=file", &BotSettings::bounceruser_cmdline,
         [](const BotSettings& s) { return text_is_file(s.bounceruser); }},
        {"bouncerpass=file", &BotSettings::bouncerpass_cmdline,
         [](const BotSettings& s) { return text_is_file(s.bouncerpass); }},
        {"bouncer=1", &BotSettings::bouncer_cmdline, [](const BotSettings& s) { return s.bouncer; }},
        {"etsupport=1", &BotSettings::etsupport_cmdline,
         [](const BotSettings& s) { return s.etsupport; }},
        {"floodprotect=1", &BotSettings::floodprotect_cmdline,
         [](const BotSettings& s) { return s.floodprotect; }},
        {"usetime=1", &BotSettings::usetime_cmdline, [](const BotSettings& s) { return s.usetime; }},
        {"showplayerstats=1", &BotSettings::playerstats_cmdline,
         [](const BotSettings& s) { return s.playerstats; }},
        {"useclantags=1", &BotSettings::useclantags_cmdline,
         [](const BotSettings& s) { return s.useclantags; }},
    };
    for (const MarkCase& c : cases) {
        TestRelay t;
        BotSettings& s = t.r().settings;
        s.*(c.mark) = 1;
        const std::string file = std::string("[general]\n") + c.line + "\n";
        load(t, file);
        EXPECT_EQ(c.value(s), 0) << c.line << ": ignored at start";
        EXPECT_EQ(s.*(c.mark), 0) << c.line << ": mark cleared";
        load(t, file);
        EXPECT_EQ(c.value(s), 1) << c.line << ": effective on reload";

        // A second occurrence in the same reading already takes effect.
        TestRelay u;
        u.r().settings.*(c.mark) = 1;
        load(u, file + "[general]\n" + c.line + "\n");
        EXPECT_EQ(c.value(u.r().settings), 1) << c.line << ": second occurrence";
    }
}

TEST(LoadColours, BotpassFromCommandLineKeptAtStart)
{
    TestRelay t;
    BotSettings& s = t.r().settings;
    s.botpass = "fromcmd";
    s.botpass_cmdline = 1;
    load(t, "[general]\nbotpass=fromfile\n");
    EXPECT_EQ(cstr(s.botpass), std::string("fromcmd"));
    load(t, "[general]\nbotpass=fromfile\n");
    EXPECT_EQ(cstr(s.botpass), std::string("fromfile"));
}

TEST(LoadColours, MissingFileChangesNothing)
{
    TestRelay t;
    trace_at(t, 11);
    t.r().colours.botinfo = "9";
    load_colours(t.r(), "absent.cfg");
    EXPECT_EQ(t.r().colours.botinfo, "9");
    EXPECT_EQ(t.r().settings.waitmillisecs, 2150);
    EXPECT_NE(trace_text(t).find("Cannot find absent.cfg colorinfo file...\r\n"), std::string::npos);
    EXPECT_EQ(t.fake.out, "");
}

TEST(LoadColours, TraceLines)
{
    TestRelay t;
    trace_at(t, 11);
    load(t, "[botinfo]\nfg=black\nbg=orange\nstyle=5\n[general]\n");
    const std::string expected = "Currentcol[botinfo]\r\n"
                                 "code underline\r\n"
                                 "code bold\r\n"
                                 "Colorcode[1,7\x1f\x02] [1] [7] [5]\r\n"
                                 "code=botinfo/col=[5]1,7\x1f\x02\r\n"
                                 "Currentcol[general]\r\n"
                                 "code underline\r\n"
                                 "code bold\r\n"
                                 "Colorcode[1,7\x1f\x02] [1] [7] [5]\r\n";
    const std::string got = trace_text(t);
    EXPECT_NE(got.find(expected), std::string::npos) << visible(got);

    TestRelay quiet;
    trace_at(quiet, 10);
    load(quiet, "[botinfo]\nfg=black\n");
    EXPECT_EQ(trace_text(quiet).find("Currentcol"), std::string::npos);
}

TEST(LoadColours, ShippedExampleFile)
{
    const std::string text = source_file("examples/irccolors_sof2.cfg");
    ASSERT_FALSE(text.empty());
    TestRelay t;
    trace_at(t, 11);
    load(t, text);
    const Relay& r = t.r();
    EXPECT_EQ(r.colours.ignoredlines, 0);

    // Every style is set by the file.
    const std::string tr = trace_text(t);
    int stored = 0;
    for (std::size_t p = tr.find("code="); p != std::string::npos; p = tr.find("code=", p + 1))
        ++stored;
    EXPECT_EQ(stored, 15);

    // Every general key is documented.
    for (const char* key : {"botpass", "etsupport", "bouncer", "bounceruser", "bouncerpass",
                            "showplayerstats", "showconnectinfo", "showweaponstats",
                            "showstatsafter", "byterate", "floodprotect", "usetime",
                            "waitmillisecs", "useclantags", "redteamname", "blueteamname",
                            "redclantag", "blueclantag", "playerstyle", "playercolor",
                            "specteamcolor", "redteamcolor", "blueteamcolor", "unknownteamcolor", "charset"})
        EXPECT_NE(text.find(std::string(key) + "="), std::string::npos) << key;

    // The shipped styles are the built-in ones.
    const ColourStyles defaults;
    const ColourStyles& c = r.colours;
    EXPECT_EQ(c.default_, defaults.default_);
    EXPECT_EQ(c.teamkill, defaults.teamkill);
    EXPECT_EQ(c.objective, defaults.objective);
    EXPECT_EQ(c.mapinfo, defaults.mapinfo);
    EXPECT_EQ(c.gamescore, defaults.gamescore);
    EXPECT_EQ(c.botinfo, defaults.botinfo);
    EXPECT_EQ(c.udpinfo, defaults.udpinfo);
    EXPECT_EQ(c.udpscore, defaults.udpscore);
    EXPECT_EQ(c.specteamcolor, defaults.specteamcolor);
    EXPECT_EQ(c.unknownteamcolor, defaults.unknownteamcolor);

    // Shipping the file keeps a bot's settings where the command line put them.
    EXPECT_FALSE(r.settings.botpass.has_value());
    EXPECT_EQ(cstr(r.settings.bouncerpass), std::string("zuzu"));
    EXPECT_EQ(r.settings.waitmillisecs, 2150);
}

} // namespace

TEST(LoadColours, TheLinePauseStaysBetweenOneSecondAndOneMinute)
{
    for (const auto& [text, ms] : std::vector<std::pair<std::string, int>>{
             {"waitmillisecs=99999999999999999999", 60000}, {"waitmillisecs=60001", 60000},
             {"waitmillisecs=59999", 59999}, {"waitmillisecs=999", 1000}}) {
        TestRelay t;
        load(t, "[general]\n" + text + "\n");
        EXPECT_EQ(t.r().settings.waitmillisecs, ms) << text;
    }
}

TEST(LoadColours, ALongCommentEndingInAKeyChangesNoSetting)
{
    TestRelay t;
    t.r().settings.showconnectinfo = 64;
    load(t, "[general]\n#" + std::string(1500, '-') + "showconnectinfo=0\n");
    EXPECT_EQ(t.r().settings.showconnectinfo, 64);
}
