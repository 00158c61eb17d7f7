// The status query: a connectionless "getstatus" to the game server, its answer
// gathered for 100 ms, then taken into the relay's state and, when asked for,
// shown in the channel as a player list.
#include "relay/query/status.h"

#include <algorithm>

#include <cmath>
#include <cstdlib>
#include <string>

#include "relay/base/line_buf.h"
#include "relay/relay.h"
#include "relay/base/teams.h"
#include "relay/base/text.h"
#include "relay/base/trace.h"
#include "relay/base/phrases.h"
#include "relay/irc/output.h"
#include "relay/players/register.h"
#include "relay/players/table.h"
#include "relay/query/reply.h"

namespace {

constexpr int kReceiveAttempts = 100;
// Stale datagrams read and dropped before a query, at most (a socket's buffer holds fewer).
constexpr int kStaleDatagramsMax = 4096;
// Players one reply may list when the server does not say how many it has room for.
constexpr int kDefaultMaxClients = 64;
constexpr int kShowReply = 512; // showconnectinfo bit: the reply goes to the channel
// A time limit beyond this many minutes is no time limit a server means; it would
// also overflow the map length in seconds.
constexpr double kMaxTimelimit = 1000000.0;

struct GameTypeCode {
    const char* value;
    int gametype;
};

// The server's "g_gametype" values, compared exactly.
constexpr GameTypeCode kGameTypeCodes[] = {
    {"inf", kGameInf}, {"dem", kGameDem}, {"ctf", kGameCtf}, {"dm", kGameDm}, {"tdm", kGameTdm},
};

bool query_socket_open(const Relay& r)
{
    // A handle of 0 is no socket, and after a failed open the number may belong to
    // something else by now.
    return r.query.queryopen && r.query.querysocket > 0;
}

bool shows_reply(const Relay& r)
{
    return (r.settings.showconnectinfo & kShowReply) && !r.game.silentquery;
}

void show_line(Relay& r, const LineBuf& line)
{
    if (shows_reply(r))
        send_privmsg(r, cstr(r.settings.channel), line.c_str());
}

void show_phrase(Relay& r, PhraseId id)
{
    LineBuf line;
    line.start(r.colours.udpinfo).add_char(' ').add(phrase(id, r.settings.langout));
    show_line(r, line);
}

double read_timelimit(const std::string& value)
{
    double v = std::strtod(value.c_str(), nullptr);
    if (!std::isfinite(v))
        return 0.0;
    if (v > kMaxTimelimit)
        return kMaxTimelimit;
    if (v < -kMaxTimelimit)
        return -kMaxTimelimit;
    return v;
}

void trace_hostname(Relay& r, const std::string& value)
{
    if (!tracing(r, 11))
        return;
    LineBuf chars;
    for (unsigned char c : value) {
        if (c >= 32)
            chars.addf("[%d:%c]", c, c);
        else
            chars.addf("[%d]", c);
    }
    trace(r, 11, "%s\r\n", chars.c_str());
}

void apply_info_pair(Relay& r, const std::string& key, const std::string& value)
{
    trace(r, 11, "server param[%s]=[%s]\r\n", key.c_str(), value.c_str());
    if (key == "sv_hostname") {
        trace_hostname(r, value);
        LineBuf name;
        translate_colours(r.settings.osp, value.c_str(), name);
        r.query.sv_hostname = std::string(name.view());
    } else if (key == "mapname") {
        r.game.map = value;
    } else if (key == "g_gametype") {
        for (const GameTypeCode& g : kGameTypeCodes)
            if (value == g.value)
                r.game.gametype = g.gametype;
    } else if (key == "scorelimit") {
        r.game.scorelimit = leading_int(value.c_str());
    } else if (key == "timelimit") {
        r.game.timelimit = read_timelimit(value);
        trace(r, 11, "TIMELIMIT[%f:%s]\r\n", r.game.timelimit, value.c_str());
    } else if (key == "redscore") {
        r.teams.redscore() = leading_int(value.c_str());
    } else if (key == "bluescore") {
        r.teams.bluescore() = leading_int(value.c_str());
    } else if (key == "sv_maxclients") {
        r.query.maxclients = leading_int(value.c_str());
    }
}

char team_letter(int team)
{
    switch (team) {
    case kTeamRed: return 'R';
    case kTeamBlue: return 'B';
    case kTeamSpectator: return 'S';
    default: return 'U';
    }
}

void handle_player_line(Relay& r, const std::string& text)
{
    trace(r, 11, "udpline[%s]\r\n", text.c_str());
    const PlayerLine p = parse_player_line(text);
    const std::string name = strip_colours(r.settings.osp, p.name.c_str());
    // Only the three team numbers the game knows are taken from the line.
    const bool carries_team = p.team >= kTeamRed && p.team <= kTeamSpectator;
    const int team = carries_team ? p.team : team_by_name(r, name.c_str());

    const char* score_style = r.colours.udpscore.c_str();
    LineBuf figures;
    figures.addf("%3d %3d ", p.score, p.ping);
    LineBuf shown;
    shown.addf("%s%c%d%c%c%s %s", figures.c_str(), kColour, team_colour(r, team), team_letter(team), kColour,
               score_style, name.c_str());
    LineBuf line;
    line.addf(":%c%s %c%s ", kColour, r.colours.udpinfo.c_str(), kColour, score_style);
    translate_colours(r.settings.osp, shown.c_str(), line);

    // A name made of colour codes only is nobody the table could tell apart.
    if (!name.empty()) {
        named_player_event(r, name.c_str(), name.c_str(), kEventReplyRegister, -1);
        if (carries_team)
            set_team_by_name(r, name.c_str(), p.team);
        set_score_by_name(r, name.c_str(), p.score);
        set_ping_by_name(r, name.c_str(), p.ping);
    }
    show_line(r, line);
}

} // namespace

int send_status_request(Relay& r)
{
    if (!query_socket_open(r))
        return -1;
    // Answers that came late, or that nobody asked for, are not this query's.
    Platform& p = *r.platform;
    char stale[2048];
    NetAddress from;
    uint16_t from_port = 0;
    int dropped = 0;
    while (dropped < kStaleDatagramsMax && p.sock_recv_from_any(r.query.querysocket, stale, sizeof stale, from, from_port) > 0)
        ++dropped;
    if (dropped > 0)
        trace(r, 11, "%d stale datagrams dropped before the query\r\n", dropped);
    return static_cast<int>(r.platform->sock_send(r.query.querysocket, kStatusRequest.data(), kStatusRequest.size()));
}

int receive_status(Relay& r)
{
    QueryState& q = r.query;
    q.replyfill = 0;
    q.replybuf[0] = 0;
    q.replycut = false;
    if (!query_socket_open(r))
        return 0;

    Platform& p = *r.platform;
    // Once the buffer is full, further datagrams are read into this and dropped,
    // so they do not wait in the socket for the next query.
    char overflow[2048];
    for (int attempt = 0; attempt < kReceiveAttempts; ++attempt) {
        const std::size_t room = static_cast<std::size_t>(kReplyBufSize - 1 - q.replyfill);
        char* into = room > 0 ? q.replybuf + q.replyfill : overflow;
        NetAddress from_addr;
        uint16_t from_port = 0;
        long n = p.sock_recv_from_any(r.query.querysocket, into, room > 0 ? room : sizeof overflow, from_addr, from_port);
        if (n > 0) {
            if (from_addr != r.query.queryaddress || from_port != r.query.queryport) {
                trace(r, 11, "%ld bytes from another host dropped\r\n", n);
            } else if (room == 0) {
                q.replycut = true;
                trace(r, 11, "%ld bytes dropped, reply buffer full\r\n", n);
            } else {
                trace(r, 11, "%ld bytes received from UDP host\r\n", n);
                r.query.lastanswer = p.now();
                ++r.query.answers;
                q.replyfill += static_cast<int>(n);
                // A datagram that filled the rest may have been longer.
                if (static_cast<std::size_t>(n) == room)
                    q.replycut = true;
            }
        }
        p.sleep_ms(1);
    }
    q.replybuf[q.replyfill] = 0;
    return q.replyfill;
}

void parse_status_reply(Relay& r)
{
    QueryState& q = r.query;
    const std::string bytes(q.replybuf, static_cast<std::size_t>(q.replyfill));
    const bool cut = q.replycut;
    q.replyfill = 0;
    q.replybuf[0] = 0;
    q.replycut = false;

    const ReplyWalk walk = walk_status_reply(bytes, cut);
    if (walk.empty) {
        show_phrase(r, PH_NO_DATA);
        return;
    }
    // A server has no more players than it has room for: lines beyond that are
    // not believed (a hostile or spoofed reply could fill the player table).
    q.maxclients = 0;
    int players = 0;
    for (const ReplyLine& l : walk.lines) {
        const std::string text(l.text);
        switch (l.kind) {
        case ReplyLineKind::preamble:
        case ReplyLineKind::header:
            trace(r, 11, "server-udpinfo:\r\n[%s]\r\n", text.c_str());
            break;
        case ReplyLineKind::info:
            trace(r, 11, "server-udpinfo:\r\n[%s]\r\n", text.c_str());
            parse_server_info(r, text);
            break;
        case ReplyLineKind::player:
            if (++players > std::min(q.maxclients > 0 ? q.maxclients : kDefaultMaxClients, kMaxReplyPlayers))
                break;
            if (l.first) {
                LineBuf head;
                head.start(r.colours.udpinfo).add("  Sco Png T PlayerName");
                show_line(r, head);
            }
            handle_player_line(r, text);
            break;
        case ReplyLineKind::restart:
        case ReplyLineKind::skipped:
        case ReplyLineKind::junk:
            break;
        }
        if (l.terminated)
            trace(r, 11, "removing[%s]\r\n", text.c_str());
    }
    if (walk.no_players)
        show_phrase(r, PH_NO_PLAYERS);
}

void parse_server_info(Relay& r, std::string_view line)
{
    r.game.timelimit = 0.0;
    InfoPairs pairs = info_pairs(line);
    std::string_view key;
    std::string_view value;
    while (next_info_pair(pairs, key, value))
        apply_info_pair(r, std::string(key), std::string(value));
}

void run_status_query(Relay& r)
{
    int sent = send_status_request(r);
    trace(r, 101, "%d write UDP server\r\n", sent);
    int got = receive_status(r);
    trace(r, 101, "%d bytes from UDP server\r\n", got);
    parse_status_reply(r);
}

void quiet_status_query(Relay& r)
{
    r.game.silentquery = 1;
    run_status_query(r);
    r.game.silentquery = 0;
}

int send_local(Relay& r, std::string_view bytes)
{
    if (!r.query.localopen || r.query.localsocket <= 0)
        return 0;
    return static_cast<int>(r.platform->sock_send(r.query.localsocket, bytes.data(), bytes.size()));
}

void send_local_print(Relay& r, const char* text)
{
    std::string packet(kPrintHeader);
    if (text)
        packet += text;
    send_local(r, packet);
}
