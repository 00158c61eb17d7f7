// A status reply taken apart. The reply is a header line, a server info line and
// one line per player; a server may answer more than once within the receive
// window, and every further header starts its listing again.
#include "relay/query/reply.h"

#include <climits>

namespace {

bool starts_with_header(std::string_view line)
{
    return line.substr(0, kReplyHeader.size()) == kReplyHeader;
}

void skip_blanks(std::string_view line, std::size_t& at)
{
    while (at < line.size() && line[at] == ' ')
        ++at;
}

// An optional minus sign and decimal digits; values beyond the int range stop at
// its limits. With keep_sign false the minus sign is passed over.
int read_number(std::string_view line, std::size_t& at, bool keep_sign)
{
    bool negative = false;
    if (at < line.size() && line[at] == '-') {
        negative = keep_sign;
        ++at;
    }
    long long v = 0;
    for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at)
        if (v <= INT_MAX)
            v = v * 10 + (line[at] - '0');
    if (v > INT_MAX)
        v = INT_MAX;
    return static_cast<int>(negative ? -v : v);
}

} // namespace

PlayerLine parse_player_line(std::string_view line)
{
    PlayerLine p;
    std::size_t at = 0;
    skip_blanks(line, at);
    p.score = read_number(line, at, true);
    skip_blanks(line, at);
    p.ping = read_number(line, at, true);
    skip_blanks(line, at);
    p.team = read_number(line, at, false);
    skip_blanks(line, at);
    bool quoted = at < line.size() && line[at] == '"';
    if (quoted)
        ++at;
    std::string_view name = line.substr(at);
    if (quoted && !name.empty() && name.back() == '"')
        name.remove_suffix(1);
    // A name that still ends in a quote loses it as well.
    if (!name.empty() && name.back() == '"')
        name.remove_suffix(1);
    p.name.assign(name.substr(0, kMaxReplyName));
    return p;
}

ReplyWalk walk_status_reply(std::string_view bytes, bool cut)
{
    ReplyWalk walk;
    if (bytes.empty())
        return walk;
    walk.empty = false;

    int s = 0;       // 0 before the header, 1 after it, 2 after the info line, then 2 + players
    int players = 0; // player lines taken in the whole reply
    auto player_or_junk = [&](std::string_view line, bool terminated) {
        if (players >= kMaxReplyPlayers || parse_player_line(line).name.empty()) {
            walk.lines.push_back({ReplyLineKind::junk, line, terminated});
            return;
        }
        walk.lines.push_back({ReplyLineKind::player, line, terminated, s == 2});
        ++players;
        ++s;
    };

    std::size_t at = 0;
    for (std::size_t end; (end = bytes.find('\n', at)) != std::string_view::npos; at = end + 1) {
        std::string_view line = bytes.substr(at, end - at);
        if (s >= 2 && starts_with_header(line)) {
            walk.lines.push_back({ReplyLineKind::restart, line, true});
            s = 1;
        } else if (s >= 2) {
            player_or_junk(line, true);
        } else if (s == 1 && !line.empty() && line[0] == '\\') {
            walk.lines.push_back({ReplyLineKind::info, line, true});
            s = 2;
        } else if (s == 0) {
            bool header = starts_with_header(line);
            walk.lines.push_back({header ? ReplyLineKind::header : ReplyLineKind::preamble, line, true});
            if (header)
                s = 1;
        } else {
            walk.lines.push_back({ReplyLineKind::skipped, line, true});
        }
    }

    // The rest has no line end: a header that ends the reply, a last player line,
    // or a fragment of a reply that did not fit.
    std::string_view rest = bytes.substr(at);
    if (!rest.empty() && !cut) {
        if (starts_with_header(rest)) {
            walk.lines.push_back({ReplyLineKind::header, rest, false});
            return walk;
        }
        if (s >= 2)
            player_or_junk(rest, false);
        else {
            walk.lines.push_back({ReplyLineKind::skipped, rest, false});
            ++s;
        }
    }
    walk.no_players = s <= 2;
    return walk;
}

InfoPairs info_pairs(std::string_view info)
{
    InfoPairs pairs;
    std::size_t first = info.find('\\');
    if (first == std::string_view::npos)
        pairs.done = true;
    else
        pairs.rest = info.substr(first + 1);
    return pairs;
}

bool next_info_pair(InfoPairs& pairs, std::string_view& key, std::string_view& value)
{
    if (pairs.done)
        return false;
    std::size_t key_end = pairs.rest.find('\\');
    if (key_end == std::string_view::npos) {
        pairs.done = true; // a key without a value
        return false;
    }
    key = pairs.rest.substr(0, key_end);
    std::string_view after = pairs.rest.substr(key_end + 1);
    std::size_t value_end = after.find('\\');
    if (value_end == std::string_view::npos) {
        value = after;
        pairs.done = true; // the value ends the line
    } else {
        value = after.substr(0, value_end);
        pairs.rest = after.substr(value_end + 1);
    }
    return true;
}
