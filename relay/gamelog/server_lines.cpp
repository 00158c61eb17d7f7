// The dedicated server's event log (server mode). Every line carries a match-time
// stamp and a keyword: "  3:27 Kill: 2 5 10: Bob killed Al by MOD_M4". The stamp
// drives the map clock; the keyword picks the handler from one table. A server
// left idle for a long time goes quiet in the channel: most reports are held back
// after ten minutes without a kill or a flag event.
#include "relay/gamelog/server_lines.h"

#include <climits>
#include <cstring>
#include <string>
#include <string_view>

#include "relay/config/mapinfo.h"
#include "relay/base/line_buf.h"
#include "relay/relay.h"
#include "relay/base/scoped_flag.h"
#include "relay/base/teams.h"
#include "relay/base/text.h"
#include "relay/base/trace.h"
#include "relay/base/phrases.h"
#include "relay/irc/output.h"
#include "relay/players/kill_count.h"
#include "relay/gamelog/reports.h"
#include "relay/players/stats.h"
#include "relay/players/table.h"
#include "relay/query/status.h"

namespace {

// Reports held back by the activity rule stop this long after the last kill or
// flag event.
constexpr long long kActiveSeconds = 600;

// showconnectinfo bits of this log's player reports.
constexpr int kInfoConnect = 1;
constexpr int kInfoDisconnect = 2;
constexpr int kInfoBegin = 4;
constexpr int kInfoTeam = 64;

// showstatsafter bits: which map ends bring a statistics report.
constexpr int kStatsTimelimit = 2;
constexpr int kStatsScoreLimit = 4;
constexpr int kStatsEndRound = 8;

constexpr const char* kRedFlagItem = "team_CTF_redflag";
constexpr const char* kBlueFlagItem = "team_CTF_blueflag";

// One log line, split.
struct ServerLine {
    long long logtime = 0; // minutes * 60 + seconds of the stamp
    const char* args = ""; // what follows the keyword
    std::string clock;     // the map clock prefix, "[mm:ss] " or "*mm:ss* "
    bool active = false;   // a kill or flag event within the last ten minutes
};

const char* channel(const Relay& r)
{
    return cstr(r.settings.channel);
}

const char* out_phrase(const Relay& r, PhraseId id)
{
    return phrase(id, r.settings.langout);
}

bool begins_with(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// A run of decimal digits at p, p moved past it; values beyond the int range stop
// at its limit. False when there is no digit.
bool read_digits(const char*& p, int& value)
{
    long long v = 0;
    const char* start = p;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (v <= INT_MAX)
            v = v * 10 + (*p - '0');
    value = v > INT_MAX ? INT_MAX : static_cast<int>(v);
    return p != start;
}

int read_number_or_zero(const char*& p)
{
    int v = 0;
    read_digits(p, v);
    return v;
}

// The map clock: down from the map's length while one is known, else up from the
// map start; past the length it shows the overtime between asterisks. at_start:
// the clock of a map that is just starting, never overtime.
std::string clock_prefix(const Relay& r, long long logtime, bool at_start)
{
    const GameState& g = r.game;
    const bool counting_down = g.maptime != 0;
    long long value = counting_down ? g.mapstartlogtime + g.maptime - logtime : logtime - g.mapstartlogtime;
    // Counting up, a stamp before the map start (a server that started its clock
    // again without a new map) shows no negative time.
    if (value < 0 && (at_start || !counting_down))
        value = 0;
    LineBuf b;
    if (value >= 0)
        b.setf("[%02lld:%02lld] ", value / 60, value % 60);
    else
        b.setf("*%02lld:%02lld* ", -value / 60, -value % 60);
    return b.c_str();
}

// Hands a report to the channel when gate allows it. Event reports are marked so
// that flood protection never skips them.
void send_report(Relay& r, const LineBuf& line, bool gate, bool event)
{
    if (!gate)
        return;
    if (event) {
        ScopedFlag mark(r.game.eventline);
        send_privmsg(r, channel(r), line.c_str());
    } else {
        send_privmsg(r, channel(r), line.c_str());
    }
}

bool shows_player_info(const Relay& r, int bit)
{
    return r.settings.showplay && (r.settings.showconnectinfo & bit);
}

// Starts a report line with a player's name in the colours of the team or of the
// player style. With reset the default colours follow the name.
void player_label(Relay& r, const ServerLine& l, int client, const char* name, bool reset, LineBuf& line)
{
    const ColourStyles& c = r.colours;
    const int osp = r.settings.osp;
    if (r.settings.teammode) {
        line.setf(":%c%s%s %c", kColour, c.default_.c_str(), l.clock.c_str(), kColour);
        line.addf("%d", team_colour(r, team_of(r, client)));
        // Two reverses keep a name that begins with a digit out of the colour number.
        line.add_char(kReverse).add_char(kReverse).add(c.playerstyle).add(strip_colours(osp, name));
    } else {
        line.setf(":%c%s%s ", kColour, c.default_.c_str(), l.clock.c_str());
        if (c.playercolor == -1) {
            line.add(c.playerstyle);
            translate_colours(osp, name, line);
        } else {
            line.addf("%c%d", kColour, c.playercolor).add(c.playerstyle).add(strip_colours(osp, name));
        }
    }
    if (reset)
        line.addf("%c%s", kColour, c.default_.c_str());
}

// A player the table has no name for: "[Player #n]".
void numbered_label(Relay& r, const ServerLine& l, int client, LineBuf& line)
{
    line.setf(":%c%s%s [Player #%d]", kColour, r.colours.default_.c_str(), l.clock.c_str(), client);
}

void stats_report(Relay& r, const ServerLine& l, int bit)
{
    if (l.active && r.settings.statsafter != 0 && (r.settings.showstatsafter & bit))
        show_stats(r, channel(r));
}

// ---- The keywords ----------------------------------------------------------------

void init_game(Relay& r, const ServerLine& l)
{
    parse_server_info(r, l.args);
    r.game.maptime = 0;
    r.game.mapstartlogtime = l.logtime;
    if (r.game.map) {
        const int filetime = map_time(r);
        trace(r, 11, "%f timelimit, %d time\r\n", r.game.timelimit, filetime);
        r.game.maptime = r.game.timelimit > 0.01 ? static_cast<int>(r.game.timelimit * 60) : filetime;
        const std::string clock = clock_prefix(r, l.logtime, true);
        LineBuf line;
        line.setf(":%c%s%s %s%s %s", kColour, r.colours.mapstart.c_str(), clock.c_str(), out_phrase(r, PH_PLAY_ON),
                  r.game.map->c_str(), out_phrase(r, PH_STARTED));
        send_report(r, line, l.active && r.settings.showplay, true);
    }
    reset_player_stats(r);
}

// The reasons an Exit line can give, tested in this order. A reason without a
// literal is the phrase in the log language, reported in the output language.
struct ExitReason {
    const char* literal;
    PhraseId phrase;
    PhraseId winline; // a second line naming the winner; PH_COUNT for none
    int statsbit;
};

constexpr ExitReason kExitReasons[] = {
    {"Red team hit the score limit.", PH_COUNT, PH_RED_WINS_ON, kStatsScoreLimit},
    {"Blue team hit the score limit.", PH_COUNT, PH_BLUE_WINS_ON, kStatsScoreLimit},
    {"Wolf EndRound", PH_COUNT, PH_COUNT, kStatsEndRound},
    {nullptr, PH_TIMELIMIT_HIT, PH_COUNT, kStatsTimelimit},
};

void map_exit(Relay& r, const ServerLine& l)
{
    const char* style = r.colours.mapend.c_str();
    for (const ExitReason& e : kExitReasons) {
        const char* reason = e.literal ? e.literal : phrase(e.phrase, r.settings.langin);
        if (!*reason || !begins_with(l.args, reason))
            continue;
        LineBuf line;
        line.setf(":%c%s%s ", kColour, style, l.clock.c_str());
        line.add(e.literal ? e.literal : out_phrase(r, e.phrase));
        send_report(r, line, l.active, true);
        if (e.winline != PH_COUNT) {
            line.setf(":%c%s%s ", kColour, style, l.clock.c_str());
            line.add(out_phrase(r, e.winline));
            send_report(r, line, l.active, true);
        }
        r.game.maptime = 0;
        stats_report(r, l, e.statsbit);
        break;
    }
    r.game.fragcount = 0;
}

// "red:8  blue:3": reported, not stored (the status query keeps the scores).
void team_scores(Relay& r, const ServerLine& l)
{
    const char* p = l.args;
    int red = 0;
    if (!read_digits(p, red) || *p != ' ')
        return;
    const char* colon = std::strchr(p, ':');
    if (!colon)
        return;
    p = colon + 1;
    const int blue = read_number_or_zero(p);

    const ColourStyles& c = r.colours;
    const int osp = r.settings.osp;
    LineBuf line;
    if (r.settings.teammode) {
        line.setf(":%c%s%s Team scores:%c%c%d %s: %d%c%d %s: %d", kColour, c.gamescore.c_str(), l.clock.c_str(), kBold,
                  kColour, c.redteamcolor, strip_colours(osp, r.teams.redteamname.c_str()).c_str(), red, kColour,
                  c.blueteamcolor, strip_colours(osp, r.teams.blueteamname.c_str()).c_str(), blue);
    } else {
        line.setf(":%c%s%s Team scores:%c%c%d ", kColour, c.gamescore.c_str(), l.clock.c_str(), kBold, kColour,
                  c.redteamcolor);
        translate_colours(osp, r.teams.redteamname.c_str(), line);
        line.addf("%c%s: %d%c%d ", kColour, c.gamescore.c_str(), red, kColour, c.blueteamcolor);
        translate_colours(osp, r.teams.blueteamname.c_str(), line);
        line.addf("%c%s: %d", kColour, c.gamescore.c_str(), blue);
    }
    send_report(r, line, l.active, true);
}

// "score: 12  ping: 48  client: 3 Bob": stored, nothing sent.
void player_score(Relay& r, const ServerLine& l)
{
    const char* p = l.args;
    // Scores below zero are common (suicides cost a point).
    const bool negative = *p == '-';
    if (negative)
        ++p;
    int score = 0;
    if (!read_digits(p, score) || *p != ' ')
        return;
    const char* colon = std::strchr(p, ':');
    if (!colon || !colon[1])
        return;
    p = colon + 2;
    const int ping = read_number_or_zero(p);
    colon = std::strchr(p, ':');
    if (!colon || !colon[1])
        return;
    p = colon + 2;
    const int client = read_number_or_zero(p);
    set_player_score(r, client, negative ? -score : score, ping);
}

void exit_level(Relay& r, const ServerLine& l)
{
    r.game.maptime = 0;
    if (l.active && r.settings.statsafter != 0) {
        // The statistics report ends with the weapon statistics itself when they are on.
        if (r.settings.showstatsafter & kStatsEndRound)
            show_stats(r, channel(r));
        else if (r.settings.weaponstats)
            show_weapon_stats(r, channel(r));
    }
    r.game.fragcount = 0;
}

// "Item: 3 team_CTF_redflag": the flags stand for the objectives of Infiltration
// and Demolition maps.
void flag_item(Relay& r, const ServerLine& l)
{
    const char* p = l.args;
    int client = 0;
    if (!read_digits(p, client) || *p != ' ')
        return;
    const char* item = p + 1;
    const bool red = begins_with(item, kRedFlagItem);
    if (!red && !begins_with(item, kBlueFlagItem))
        return;
    r.game.lastactivity = r.platform->now();
    const char* name = player_name(r, client);
    if (!name)
        return;
    const char* text = objective_text(r, team_of(r, client), red ? 0 : 1);
    if (!text)
        return;
    LineBuf line;
    player_label(r, l, client, name, false, line);
    line.addf("%c%c%s %s", kPlain, kColour, r.colours.objective.c_str(), text);
    send_report(r, line, r.settings.showplay, true);
}

void chat(Relay& r, const ServerLine& l)
{
    if (r.settings.messages) // stored inverted: set while chat relaying is off
        return;
    LineBuf line;
    line.setf(":%c%s%s ", kColour, r.colours.default_.c_str(), l.clock.c_str());
    translate_colours(r.settings.osp, l.args, line);
    send_report(r, line, l.active && r.settings.showplay, false);
}

// "Kill: 2 5 10: Bob killed Al by MOD_M4": killer, victim and weapon numbers.
void kill_event(Relay& r, const ServerLine& l)
{
    r.game.lastactivity = r.platform->now();
    const char* p = l.args;
    int numbers[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        if (!read_digits(p, numbers[i]))
            return;
        if (i < 2) {
            if (!*p)
                return;
            ++p; // the one separator after the number
        }
    }
    count_kill(r, numbers[0], numbers[1], numbers[2], l.clock.c_str(), kKillOrdinary);
}

void client_connect(Relay& r, const ServerLine& l)
{
    trace(r, 11, "SV_CCONNECT\r\n");
    const char* p = l.args;
    int client = 0;
    if (!read_digits(p, client))
        return;
    LineBuf line;
    numbered_label(r, l, client, line);
    line.add(out_phrase(r, PH_CONNECTING));
    send_report(r, line, shows_player_info(r, kInfoConnect), false);
    add_player(r, client);
    trace(r, 11, "Adding player %d\r\n", client);
    trace(r, 11, "SV_CCONNECT END\r\n");
}

// "<player> left" or "<player> entered": the player's label and the phrase; the
// client number, or -1 when the line does not start with one.
int player_event(Relay& r, const ServerLine& l, PhraseId phrase, bool reset_colour, int infobit)
{
    const char* p = l.args;
    int client = 0;
    if (!read_digits(p, client))
        return -1;
    LineBuf line;
    if (const char* name = player_name(r, client))
        player_label(r, l, client, name, reset_colour, line);
    else
        numbered_label(r, l, client, line);
    line.add(out_phrase(r, phrase));
    send_report(r, line, shows_player_info(r, infobit), false);
    return client;
}

void client_disconnect(Relay& r, const ServerLine& l)
{
    int client = player_event(r, l, PH_DISCONNECTED, true, kInfoDisconnect);
    if (client < 0)
        return;
    delete_player(r, client);
    trace(r, 11, "Deleting player %d\r\n", client);
}

void client_begin(Relay& r, const ServerLine& l)
{
    int client = player_event(r, l, PH_ENTERED_GAME, false, kInfoBegin);
    if (client >= 0)
        trace(r, 11, "Begin player %d\r\n", client);
}

// "ClientUserinfoChanged: 3 n\Bob\t\1\...": the name, then the team.
void userinfo_changed(Relay& r, const ServerLine& l)
{
    const char* p = l.args;
    int client = 0;
    if (!read_digits(p, client) || *p != ' ')
        return;
    const char* first = std::strchr(p, '\\');
    if (!first || !first[1])
        return;
    const char* second = std::strchr(first + 1, '\\');
    if (!second)
        return;
    const std::string name(first + 1, second);
    set_player_name(r, client, name.c_str());
    trace(r, 11, "Changing player %d to %s\r\n", client, name.c_str());

    if (second[1] != 't' || second[2] != '\\' || second[3] < '1' || second[3] > '3')
        return;
    const int team = second[3] - '0';
    if (team == team_of(r, client))
        return;
    set_player_team(r, client, team);

    LineBuf line;
    if (const char* known = player_name(r, client))
        player_label(r, l, client, known, true, line);
    else
        numbered_label(r, l, client, line);
    const PhraseId joined = team == kTeamRed ? PH_JOINED_RED : team == kTeamBlue ? PH_JOINED_BLUE : PH_JOINED_SPECTATORS;
    translate_colours(r.settings.osp, out_phrase(r, joined), line);
    send_report(r, line, shows_player_info(r, kInfoTeam), false);
}

// How a keyword's arguments begin after its ":".
enum class Args {
    skip2,  // after the ":" and one blank; a line ending there is ignored
    direct, // right after the ":"
    unread, // not read
};

struct ServerKeyword {
    const char* word; // compared exactly
    Args args;
    void (*handle)(Relay&, const ServerLine&); // null: the line is passed over
};

constexpr ServerKeyword kKeywords[] = {
    {"InitGame", Args::skip2, init_game},
    {"Exit", Args::skip2, map_exit},
    {"red", Args::direct, team_scores},
    {"score", Args::skip2, player_score},
    {"ExitLevel", Args::unread, exit_level},
    {"ShutdownGame", Args::unread, nullptr},
    {"sayteam", Args::unread, nullptr},
    {"Item", Args::skip2, flag_item},
    {"say", Args::skip2, chat},
    {"Kill", Args::skip2, kill_event},
    {"ClientConnect", Args::skip2, client_connect},
    {"ClientDisconnect", Args::skip2, client_disconnect},
    {"ClientBegin", Args::skip2, client_begin},
    {"ClientUserinfoChanged", Args::skip2, userinfo_changed},
};

const ServerKeyword* find_keyword(std::string_view word)
{
    for (const ServerKeyword& k : kKeywords)
        if (word == k.word)
            return &k;
    return nullptr;
}

} // namespace

int process_server_line(Relay& r, char* text)
{
    // The line is only read, so the follower finds it as it handed it over.
    const char* line = text;
    if (!line || !*line)
        return 0;

    // "  mm:ss Keyword: arguments"
    const char* colon = std::strchr(line, ':');
    if (!colon)
        return 0;
    const int minutes = leading_int(line);
    const char* p = colon + 1;
    int seconds = 0;
    read_digits(p, seconds);
    if (!*p)
        return 0;
    if (seconds > 60)
        seconds = 0;
    while (*p == ' ')
        ++p;
    const char* keyword = p;
    const char* keyword_end = std::strchr(keyword, ':');
    if (!keyword_end) {
        trace(r, 11, "N[%s]\r\n", keyword);
        return 0;
    }
    const std::string_view word(keyword, static_cast<std::size_t>(keyword_end - keyword));
    trace(r, 11, "Y[%d:%d] [%.*s]\r\n", minutes, seconds, static_cast<int>(word.size()), word.data());

    const ServerKeyword* k = find_keyword(word);
    if (!k || !k->handle)
        return 0;

    ServerLine l;
    l.logtime = static_cast<long long>(minutes) * 60 + seconds;
    if (k->args == Args::skip2) {
        if (!keyword_end[1])
            return 0;
        l.args = keyword_end + 2;
    } else if (k->args == Args::direct) {
        l.args = keyword_end + 1;
    }
    if (k->handle != init_game)
        l.clock = clock_prefix(r, l.logtime, false);
    l.active = r.platform->now() - r.game.lastactivity < kActiveSeconds;
    k->handle(r, l);
    return 0;
}
