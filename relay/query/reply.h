// A game server's status reply as bytes: how its lines are taken, the fields of a
// player line and the pairs of the server info line. Pure functions, no state.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Every connectionless packet starts with four 0xFF bytes.
inline constexpr std::string_view kStatusRequest{"\xff\xff\xff\xffgetstatus", 13};
inline constexpr std::string_view kReplyHeader{"\xff\xff\xff\xffstatusResponse", 18};
inline constexpr std::string_view kPrintHeader{"\xff\xff\xff\xffprint\n", 10};
// Every answer of the relay in the game console starts with this; the console
// log's echo of it is never taken for chat.
inline constexpr const char* kInGameBanner = "^1Qui^7ll^4on^2's Tidewatch:^7";

// A reply lists at most this many players (two answers of a full 64-slot
// server); anything beyond is junk that would only flood the channel.
inline constexpr int kMaxReplyPlayers = 128;
// The longest player name kept.
inline constexpr std::size_t kMaxReplyName = 1023;

enum class ReplyLineKind {
    preamble, // before the first header
    header,   // the first header, or one ending the reply without a line end
    skipped,  // after a header, but no server info line
    info,     // the server info line
    player,   // a player line (first: the list head goes before it)
    restart,  // a further header: a further reply follows
    junk,     // where a player line belongs, but without a name, or one too many
};

struct ReplyLine {
    ReplyLineKind kind;
    std::string_view text; // without its line end
    bool terminated;       // it had a line end
    bool first = false;    // the first player line of a listing
};

struct ReplyWalk {
    bool empty = true;       // nothing was received
    bool no_players = false; // the reply ends without a single player line
    std::vector<ReplyLine> lines;
};

// Takes the reply apart line by line (lines end in LF). cut: the reply filled the
// buffer, so a last line without its LF is a fragment and is dropped.
ReplyWalk walk_status_reply(std::string_view bytes, bool cut);

struct PlayerLine {
    int score = 0;
    int ping = 0;
    int team = 0; // 0 when the line has none
    std::string name;
};

// "score ping [team] \"name\"": numbers with an optional minus sign (the team's
// is ignored), the name without its quotes, cut to kMaxReplyName characters.
PlayerLine parse_player_line(std::string_view line);

// The key and value pairs of a server info text (\key\value\key\value),
// read from the character after its first backslash.
struct InfoPairs {
    std::string_view rest; // from the next key on
    bool done = false;
};
InfoPairs info_pairs(std::string_view info);
// The next pair: the key runs to the next backslash, the value from there to the
// following backslash or the end. False when no key with a value is left.
bool next_info_pair(InfoPairs& pairs, std::string_view& key, std::string_view& value);
