// The status reply taken apart as bytes: which lines the walk sees as header,
// server info and players, the player line's fields and the info pairs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "relay/query/reply.h"

namespace {

const std::string H(kReplyHeader);
const std::string kInfo = "\\sv_hostname\\Tide\\mapname\\mp_jor1";

// The walk as letters: p preamble, h header, s skipped, i info, P first player
// line, q further player line, r restart, j junk; a final '.' when the walk ends
// with the no-players text, '-' for an empty reply.
std::string shape(const ReplyWalk& w)
{
    if (w.empty)
        return "-";
    std::string s;
    for (const ReplyLine& l : w.lines) {
        switch (l.kind) {
        case ReplyLineKind::preamble: s += 'p'; break;
        case ReplyLineKind::header: s += 'h'; break;
        case ReplyLineKind::skipped: s += 's'; break;
        case ReplyLineKind::info: s += 'i'; break;
        case ReplyLineKind::player: s += l.first ? 'P' : 'q'; break;
        case ReplyLineKind::restart: s += 'r'; break;
        case ReplyLineKind::junk: s += 'j'; break;
        }
    }
    if (w.no_players)
        s += '.';
    return s;
}

std::string players(int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += std::to_string(i) + " 50 \"p" + std::to_string(i) + "\"\n";
    return s;
}

TEST(StatusReplyWalk, LinesAreTakenByTheirPlaceInTheReply)
{
    struct Case {
        const char* what;
        std::string bytes;
        bool cut;
        std::string expected;
    } cases[] = {
        {"nothing received", "", false, "-"},
        {"header, info, three players", H + "\n" + kInfo + "\n" + players(3), false, "hiPqq"},
        {"no players", H + "\n" + kInfo + "\n", false, "hi."},
        {"header only", H + "\n", false, "h."},
        {"junk before the header", "junk\n" + H + "\n" + kInfo + "\n" + players(1), false, "phiP"},
        {"a line after the header that is no info line", H + "\nxx\n" + kInfo + "\n" + players(1), false, "hsiP"},
        {"the server answered twice", H + "\n" + kInfo + "\n" + players(2) + H + "\n" + kInfo + "\n" + players(2),
         false, "hiPqriPq"},
        {"second answer without players", H + "\n" + kInfo + "\n" + players(1) + H + "\n" + kInfo + "\n", false,
         "hiPri."},
        {"last player line without its line end", H + "\n" + kInfo + "\n" + players(1) + "7 20 \"Zed\"", false,
         "hiPq"},
        {"only player line without its line end", H + "\n" + kInfo + "\n7 20 \"Zed\"", false, "hiP"},
        {"reply ending in a header without line end", H + "\n" + kInfo + "\n" + H, false, "hih"},
        {"info line without its line end", H + "\n" + kInfo, false, "hs."},
        {"a cut reply drops its last fragment", H + "\n" + kInfo + "\n" + players(1) + "7 20 \"Ze", true, "hiP"},
        {"player lines without a name", H + "\n" + kInfo + "\n\n5 5 \"\"\n" + players(1), false, "hijjP"},
        {"binary junk", std::string("\x00\xff\x01\n\xfe", 5) + "\n", false, "pp."},
        {"no more players than two full servers", H + "\n" + kInfo + "\n" + players(kMaxReplyPlayers + 2), false,
         "hiP" + std::string(kMaxReplyPlayers - 1, 'q') + "jj"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shape(walk_status_reply(c.bytes, c.cut)), c.expected) << c.what;
}

TEST(StatusReplyWalk, LinesComeWithoutTheirLineEnds)
{
    const std::string bytes = H + "\n" + kInfo + "\n5 48 \"Bob\"\n1 2 \"Al\"";
    ReplyWalk w = walk_status_reply(bytes, false); // the lines are views into bytes
    ASSERT_EQ(w.lines.size(), 4u);
    EXPECT_EQ(w.lines[1].text, kInfo);
    EXPECT_EQ(w.lines[2].text, "5 48 \"Bob\"");
    EXPECT_TRUE(w.lines[2].terminated);
    EXPECT_EQ(w.lines[3].text, "1 2 \"Al\"");
    EXPECT_FALSE(w.lines[3].terminated);
}

TEST(PlayerLineFields, ScorePingOptionalTeamAndQuotedName)
{
    struct Case {
        std::string line;
        int score, ping, team;
        std::string name;
    } cases[] = {
        {"5 48 2 \"^1Bob\"", 5, 48, 2, "^1Bob"},
        {"-3 999 \"Al\"", -3, 999, 0, "Al"},
        {"  7   20   1   \"Spaced Out\"", 7, 20, 1, "Spaced Out"},
        {"0 0 -3 \"Minus\"", 0, 0, 3, "Minus"},
        {"1 2 Unquoted", 1, 2, 0, "Unquoted"},
        {"1 2 \"Twice\"\"", 1, 2, 0, "Twice"},
        {"1 2 \"Open", 1, 2, 0, "Open"},
        {"1 2 \"Say \"hi\"\"", 1, 2, 0, "Say \"hi"},
        {"99999999999 -99999999999 \"Big\"", 2147483647, -2147483647, 0, "Big"},
        {"", 0, 0, 0, ""},
        {"12", 12, 0, 0, ""},
        {"\"\"", 0, 0, 0, ""},
    };
    for (const Case& c : cases) {
        PlayerLine p = parse_player_line(c.line);
        EXPECT_EQ(p.score, c.score) << c.line;
        EXPECT_EQ(p.ping, c.ping) << c.line;
        EXPECT_EQ(p.team, c.team) << c.line;
        EXPECT_EQ(p.name, c.name) << c.line;
    }
}

TEST(PlayerLineFields, AnOverlongNameIsCut)
{
    PlayerLine p = parse_player_line("1 2 \"" + std::string(5000, 'x') + "\"");
    EXPECT_EQ(p.name, std::string(kMaxReplyName, 'x'));
}

TEST(ServerInfoPairs, KeysAndValuesBetweenBackslashes)
{
    struct Case {
        std::string info;
        std::vector<std::string> pairs; // key=value
    } cases[] = {
        {"\\a\\1\\b\\2", {"a=1", "b=2"}},
        {"\\a\\1\\b\\2\\", {"a=1", "b=2"}},
        {"\\a\\\\b\\2", {"a=", "b=2"}},
        {"\\a\\1\\dangling", {"a=1"}},
        {"\\lonely", {}},
        {"no backslash", {}},
        {"", {}},
        {"lead\\a\\1", {"a=1"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> got;
        InfoPairs pairs = info_pairs(c.info);
        std::string_view key, value;
        while (next_info_pair(pairs, key, value))
            got.push_back(std::string(key) + "=" + std::string(value));
        EXPECT_EQ(got, c.pairs) << c.info;
    }
}

} // namespace
