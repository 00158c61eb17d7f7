#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "relay/base/charset.h"
#include "relay/base/phrase_scan.h"
#include "relay/base/text.h"
#include "tests/support/fake_platform.h"

namespace {

struct ColourCase {
    int osp;
    const char* src;
    const char* translated; // as shown by visible()
    const char* stripped;
};

const ColourCase kColourCases[] = {
    {0, "^1Red^7 team", "{C}4Red{C}0 team", "Red team"},
    {0, "^12 players", "{C}4{R}{R}2 players", "2 players"},
    {1, "a^0^9b", "a{C}14{C}15b", "ab"},
    {0, "end^", "end{C}", "end^"},
    {1, "end^", "end{C}", "end^"},
    {0, "^Pz ^z", "^Pz ^z", "^Pz ^z"},
    {1, "^Pz ^z", "^Pz ^z", "^Pz ^z"},
    {0, "^Ahello", "{C}Ahello", "^Ahello"},
    {1, "^Ahello", "{C}7hello", "hello"},
    {1, "^A1", "{C}7{R}{R}1", "1"},
    {0, "^A1", "{C}A1", "^A1"},
    {1, "^B^;^@^p", "{C}10{C}7{C}5{C}14", ""},
    {1, "^O^o^:^?", "{C}0{C}0{C}0{C}4", ""},
    {1, "^^1x", "^{C}4x", "^x"},
    {0, "^^1x", "^{C}4x", "^x"},
    {0, "", "", ""},
    {0, "no codes at all", "no codes at all", "no codes at all"},
};

TEST(TextColours, TranslateAndStripTable)
{
    for (const ColourCase& c : kColourCases) {
        LineBuf out;
        translate_colours(c.osp, c.src, out);
        EXPECT_EQ(visible(out.view()), c.translated) << "osp=" << c.osp << " src=" << c.src;
        EXPECT_EQ(strip_colours(c.osp, c.src), c.stripped) << "osp=" << c.osp << " src=" << c.src;
    }
}

TEST(TextColours, TranslateAppendsAfterPrefix)
{
    LineBuf out;
    out.add("pre:");
    translate_colours(0, "^3x", out);
    EXPECT_EQ(visible(out.view()), "pre:{C}8x");
}

TEST(TextColours, TranslateCutsAt1023Characters)
{
    LineBuf out;
    out.add(std::string(1020, 'a'));
    translate_colours(0, "^1xyz^2", out);
    ASSERT_EQ(out.len, 1023u);
    EXPECT_EQ(visible(out.view().substr(1020)), "{C}4x");

    LineBuf longline;
    std::string src;
    for (int i = 0; i < 500; ++i)
        src += "^1ab";
    translate_colours(0, src.c_str(), longline);
    EXPECT_EQ(longline.len, 1023u);
    EXPECT_EQ(longline.buf[1023], 0);
}

TEST(TextCharset, Utf8IsRecognisedAndLatin1Converted)
{
    struct Case {
        const char* text;
        bool valid;
        std::size_t torn; // bytes of an unfinished character at the end
    } cases[] = {
        {"plain ascii", true, 0},
        {"zur\xc3\xbc" "ck", true, 0},
        {"\xe2\x82\xac \xf0\x9f\x98\x80", true, 0},
        {"zur\xfc" "ck", false, 0},          // Latin-1
        {"\xc0\xaf", false, 0},               // overlong
        {"\xed\xa0\x80", false, 0},          // a surrogate
        {"\xf4\x90\x80\x80", false, 0},      // above U+10FFFF
        {"ab\xc3", false, 1},
        {"ab\xe2\x82", false, 2},
        {"ab\xf0\x9f\x98", false, 3},
        {"ab\xe0\x80", false, 0},             // could never be finished
        {"ab\xfc", false, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8_valid(c.text), c.valid) << visible(c.text);
        EXPECT_EQ(utf8_torn_tail(c.text), c.torn) << visible(c.text);
    }
    const std::string converted = latin1_to_utf8("Gr\xfc\xdf" "e \xa0\xff");
    EXPECT_EQ(converted, "Gr\xc3\xbc\xc3\x9f" "e \xc2\xa0\xc3\xbf");
    EXPECT_TRUE(utf8_valid(converted));

    // A line cut at its limit keeps UTF-8 characters whole; Latin-1 is cut at the byte.
    for (std::size_t lead : {0u, 1u}) {
        LineBuf out;
        out.add(std::string(lead, 'x'));
        std::string u;
        for (int i = 0; i < 600; ++i)
            u += "\xc3\xbc";
        out.add(u);
        EXPECT_EQ(out.len, lead ? 1023u : 1022u);
        EXPECT_TRUE(utf8_valid(out.view())) << lead;
        LineBuf latin;
        latin.add(std::string(lead, 'x'));
        latin.add(std::string(1100, '\xfc'));
        EXPECT_EQ(latin.len, 1023u);
    }
}

struct CompareCase {
    const char* what;
    int (*fn)(const char*, const char*);
    const char* a;
    const char* b;
    int expected_sign; // -1, 0, 1
};

int sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

const CompareCase kCompareCases[] = {
    {"cmp equal", safe_strcmp, "abc", "abc", 0},
    {"cmp case", safe_strcmp, "abc", "ABC", 1},
    {"cmp both empty", safe_strcmp, "", "", 0},
    {"cmp both absent", safe_strcmp, nullptr, nullptr, 0},
    {"cmp absent/empty", safe_strcmp, nullptr, "", 1},
    {"cmp empty/absent", safe_strcmp, "", nullptr, 1},
    {"cmp empty/text", safe_strcmp, "", "a", 1},
    {"cmp text/empty", safe_strcmp, "a", "", 1},
    {"cmp order", safe_strcmp, "a", "b", -1},
    {"cmp prefix", safe_strcmp, "ab", "abc", -1},
    {"cmp high byte unsigned", safe_strcmp, "\xe4", "a", 1},
    {"icmp folds", safe_stricmp, "abc", "ABC", 0},
    {"icmp ascii only", safe_stricmp, "\xc4", "\xe4", -1},
    {"icmp brackets", safe_stricmp, "[", "{", -1},
    {"icmp absent", safe_stricmp, nullptr, "x", 1},
};

TEST(TextCompare, Table)
{
    for (const CompareCase& c : kCompareCases)
        EXPECT_EQ(sign(c.fn(c.a, c.b)), c.expected_sign) << c.what;
}

TEST(TextCompare, BoundedForms)
{
    EXPECT_EQ(safe_strncmp("abcX", "abcY", 3), 0);
    EXPECT_NE(safe_strncmp("abcX", "abcY", 4), 0);
    EXPECT_NE(safe_strncmp("ABCx", "abcy", 3), 0);
    EXPECT_EQ(safe_strnicmp("ABCx", "abcy", 3), 0);
    EXPECT_NE(safe_strnicmp("ab", "abc", 3), 0);
    EXPECT_EQ(safe_strncmp("", "", 5), 0);
    EXPECT_EQ(safe_strncmp(nullptr, "", 5), 1);
    EXPECT_EQ(safe_strnicmp("x", nullptr, 0), 1);
}

TEST(TextSearch, FindNocase)
{
    struct {
        const char* text;
        const char* pattern;
        int at; // -1 not found
    } cases[] = {
        {"[ABC]player", "[abc]", 0},
        {"xTAGplayer", "Tag", 1},
        {"xtagplayer", "Tag", -1},
        {"TaTAG", "TAG", 2},
        {"aXbc Abc", "Abc", 5},
        {"ab", "abc", -1},
        {"abc", "", 0},
        {"", "a", -1},
    };
    for (const auto& c : cases) {
        const char* found = find_nocase(c.text, c.pattern);
        int at = found ? static_cast<int>(found - c.text) : -1;
        EXPECT_EQ(at, c.at) << c.text << " / " << c.pattern;
    }
    EXPECT_EQ(find_nocase(nullptr, "a"), nullptr);
    EXPECT_EQ(find_nocase("a", nullptr), nullptr);
}

TEST(TextCopy, CopyString)
{
    EXPECT_FALSE(copy_string(nullptr).has_value());
    Text empty = copy_string("");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(*empty, "");
    EXPECT_EQ(copy_string("Bob\xe4").value(), "Bob\xe4");
}

} // namespace

// The in-place comparison agrees with strip_colours on codes, stray carets and a
// caret at the very end, with and without the extended codes.
TEST(Text, EqualsStrippedAgreesWithStripColours)
{
    for (const char* raw : {"^1Bob^7", "Bob", "^^1x", "a^", "^Ax^p", "^", "", "^1^2", "B^zob"})
        for (int osp : {0, 1}) {
            SCOPED_TRACE(std::string(raw) + (osp ? " osp" : ""));
            const std::string plain = strip_colours(osp, raw);
            EXPECT_TRUE(equals_stripped(osp, raw, plain));
            EXPECT_FALSE(equals_stripped(osp, raw, plain + "x"));
            if (!plain.empty()) {
                EXPECT_FALSE(equals_stripped(osp, raw, plain.substr(1)));
            }
        }
}

// One pass finds each phrase's first and last place as strstr would, overlapping
// places and phrases sharing their first bytes included.
TEST(Text, PhraseSetFindsWhatStrstrFinds)
{
    const char* phrases[] = {" has taken the", " has taken", "aaaa", "ab", "", " x"};
    PhraseSet set;
    for (const char* p : phrases)
        set.add(p);
    for (const char* line : {"Bob has taken the flag has taken", "aaaaaab", "ab x", "", " has", "zz has taken"}) {
        SCOPED_TRACE(line);
        PhraseHits hits;
        set.scan(line, hits);
        for (int i = 0; i < 6; ++i) {
            const char* first = *phrases[i] ? std::strstr(line, phrases[i]) : nullptr;
            const char* last = first;
            for (const char* at = first; at; at = std::strstr(at + 1, phrases[i]))
                last = at;
            EXPECT_EQ(hits.first[i], first) << phrases[i];
            EXPECT_EQ(hits.last[i], last) << phrases[i];
        }
    }
}
