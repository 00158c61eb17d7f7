// The game's console log (the default mode). The console has no keywords and no
// clock: events are recognised by the fixed sentences the game prints, in the log
// language, and reported in the output language through the phrase table. The map
// clock is kept here from the wall clock.
#include "relay/gamelog/console_lines.h"

#include <cstring>
#include <iterator>
#include <string>
#include <string_view>

#include "relay/config/mapinfo.h"
#include "relay/base/lang.h"
#include "relay/base/line_buf.h"
#include "relay/base/phrase_scan.h"
#include "relay/relay.h"
#include "relay/base/scoped_flag.h"
#include "relay/base/teams.h"
#include "relay/base/trace.h"
#include "relay/base/phrases.h"
#include "relay/gamelog/reports.h"
#include "relay/irc/output.h"
#include "relay/players/kill_parse.h"
#include "relay/players/kill_state.h"
#include "relay/players/register.h"
#include "relay/players/stats.h"
#include "relay/players/table.h"
#include "relay/base/text.h"
#include "relay/query/reply.h"
#include "relay/query/status.h"

namespace {

void run_console_command(Relay& r, const char* line)
{
    if (r.console.command_hook)
        r.console.command_hook(r, line);
}


// What the console prints between a speaker's name and the chat text.
constexpr const char* kChatText = "^7: ^2";

// OSP mod lines.
constexpr const char* kOspTimelimit = "Timelimit Hit";
constexpr const char* kOspRedVs = "^7 ^7(^1RED^7) VS ";
constexpr const char* kOspBlue = "^7 ^7(^4BLUE^7)";
constexpr const char* kOspEliminated = "^7 eliminated!";

// showstatsafter bits: when a statistics report follows an event.
constexpr int kStatsRoundEnd = 1;
constexpr int kStatsGameEnd = 2;
constexpr int kStatsShutdown = 8;

// Console echoes of commands typed at the game console (compared ignoring case).
// The round end after a server shutdown (no phrase of the log stands for it).
constexpr LangText kRoundEnded = {{"Round Ended...", "Runde beendet..", "Ronde beeindigd..."}};

constexpr const char* kMapRestartEchoes[] = {"]/rcon map_restart", "]rcon map_restart", "]\\rcon map_restart"};
constexpr const char* kLbotEchoes[] = {"]/lbot ", "]\\lbot ", "]lbot "};

// Flag, bomb and briefcase events, searched in this order; the escape with the
// briefcase is searched last and wins over any other event in the same line.
struct ObjectiveEvent {
    PhraseId phrase;
    int team;         // the team that acted
    bool scores;      // the acting team scored: ask the server, count, report
    PhraseId winline; // "... win!" line and end of round; PH_COUNT for none
};

constexpr ObjectiveEvent kObjectiveEvents[] = {
    {PH_RED_FLAG_TAKEN, kTeamBlue, false, PH_COUNT},
    {PH_RED_FLAG_DROPPED, kTeamBlue, false, PH_COUNT},
    {PH_RED_FLAG_CAPTURED, kTeamBlue, true, PH_COUNT},
    {PH_BLUE_FLAG_TAKEN, kTeamRed, false, PH_COUNT},
    {PH_BLUE_FLAG_DROPPED, kTeamRed, false, PH_COUNT},
    {PH_BLUE_FLAG_CAPTURED, kTeamRed, true, PH_COUNT},
    {PH_BOMB_DROPPED, kTeamBlue, false, PH_COUNT},
    {PH_BOMB_TAKEN, kTeamBlue, false, PH_COUNT},
    {PH_BOMB_PLANTED, kTeamBlue, false, PH_COUNT},
    {PH_BOMB_DEFUSED, kTeamRed, true, PH_RED_TEAM_WIN},
    {PH_BRIEFCASE_TAKEN, kTeamBlue, false, PH_COUNT},
    {PH_BRIEFCASE_DROPPED, kTeamBlue, false, PH_COUNT},
};
constexpr ObjectiveEvent kBriefcaseEscaped = {PH_BRIEFCASE_ESCAPED, kTeamBlue, true, PH_BLUE_TEAM_WIN};

// Lines about one player: joins, arrivals and departures.
struct PlayerPhrase {
    PhraseId phrase;
    int team;         // team to set, kTeamUnknown for none
    bool removes;     // the player leaves the table
    const char* word; // for the trace line
    int infobit;      // showconnectinfo bit that lets the report out
};

constexpr PlayerPhrase kPlayerPhrases[] = {
    {PH_JOINED_RED, kTeamRed, false, "red", 64},
    {PH_JOINED_BLUE, kTeamBlue, false, "blue", 64},
    {PH_JOINED_SPECTATORS, kTeamSpectator, false, "spec", 64},
    {PH_ENTERED_GAME, kTeamUnknown, false, "enter", 4},
    {PH_CONNECTING, kTeamUnknown, false, "connect", 1},
    {PH_DISCONNECTED, kTeamUnknown, true, "disconnect", 2},
    {PH_TIMED_OUT, kTeamUnknown, true, "timed out", 16},
    {PH_INACTIVITY, kTeamUnknown, true, "inactive", 32},
    {PH_KICKED, kTeamUnknown, true, "kicked", 256},
};

const char* channel(const Relay& r)
{
    return cstr(r.settings.channel);
}

// Round wins are counted here only when no game server can tell the real scores.
bool has_status_source(const Relay& r)
{
    return r.settings.serverhost.has_value() || r.query.queryopen;
}

const char* in_phrase(const Relay& r, PhraseId id)
{
    return phrase(id, r.settings.langin);
}

const char* out_phrase(const Relay& r, PhraseId id)
{
    return phrase(id, r.settings.langout);
}

// The phrases looked for anywhere in a console line, by log language: each line
// is scanned once and the recognition chain reads the places found. Indexed by
// PhraseId; phrases that are never searched stay empty.
constexpr PhraseId kSearchedPhrases[] = {
    PH_RED_FLAG_TAKEN,     PH_RED_FLAG_DROPPED,   PH_RED_FLAG_CAPTURED,  PH_BLUE_FLAG_TAKEN,
    PH_BLUE_FLAG_DROPPED,  PH_BLUE_FLAG_CAPTURED, PH_BOMB_DROPPED,       PH_BOMB_TAKEN,
    PH_BOMB_PLANTED,       PH_BOMB_DEFUSED,       PH_BLUE_DESTROYED_TARGET, PH_BRIEFCASE_TAKEN,
    PH_BRIEFCASE_DROPPED,  PH_BRIEFCASE_RETURNED, PH_BRIEFCASE_ESCAPED,  PH_RED_ELIMINATED,
    PH_BLUE_ELIMINATED,    PH_JOINED_RED,         PH_JOINED_BLUE,        PH_JOINED_SPECTATORS,
    PH_ENTERED_GAME,       PH_CONNECTING,         PH_DISCONNECTED,       PH_TIMED_OUT,
    PH_KICKED,             PH_INACTIVITY,         PH_RED_SCORE_LIMIT,    PH_BLUE_SCORE_LIMIT,
};
// After them, from kDeathHits on, the death phrases, so that a line without any
// is passed over by the kill parser without another look.
constexpr int kDeathHits = PH_COUNT;
static_assert(kDeathHits + kDeathPhraseCount <= kMaxPhrases);

PhraseSet searched_phrases(int lang)
{
    PhraseSet set;
    for (int id = 0; id < PH_COUNT; ++id) {
        bool searched = false;
        for (PhraseId s : kSearchedPhrases)
            searched = searched || s == id;
        set.add(searched ? phrase(static_cast<PhraseId>(id), lang) : "");
    }
    for (int i = 0; i < kDeathPhraseCount; ++i)
        set.add(death_phrase(lang, i));
    return set;
}

void scan_line(const Relay& r, const char* line, PhraseHits& hits)
{
    static const PhraseSet sets[2] = {searched_phrases(kLangEnglish), searched_phrases(kLangGerman)};
    sets[r.settings.langin == kLangGerman ? 1 : 0].scan(line, hits);
}

// The last place of a phrase in the line where only the end of the sentence
// follows it: blanks, dots, exclamation marks, a carriage return or colour codes.
// A player event is told by the phrase that ends its line, so a name that
// contains a phrase cannot make another event of it.
const char* found_at_end(const Relay& r, const PhraseHits& hits, PhraseId id)
{
    const char* found = hits.last[id];
    if (!found)
        return nullptr;
    for (const char* p = found + std::strlen(in_phrase(r, id)); *p; ++p) {
        if (*p == '^' && p[1]) {
            ++p;
            continue;
        }
        if (*p != ' ' && *p != '.' && *p != '!' && *p != '\r')
            return nullptr;
    }
    return found;
}

// True when the text before a place of the line, without its colour codes, is the
// name of a player of the table. The text is stripped once, into a buffer that
// keeps its room from line to line, and compared with each name by length first.
bool known_player(const Relay& r, const char* line, const char* end)
{
    static thread_local std::string plain;
    strip_colours(r.settings.osp, std::string_view(line, static_cast<std::size_t>(end - line)), plain);
    if (plain.empty())
        return false;
    for (int i = 0; i < r.players.playercount; ++i) {
        const PlayerRecord& p = r.players.slots[i];
        if (p.id != -1 && p.name && *p.name == plain)
            return true;
    }
    return false;
}

// The game closes a player's name with "^7" and goes on with a blank or "'s": a
// line that starts so with a known player's name is the game speaking of that
// player, whatever the name looks like (chat marks, "]lbot", death phrases).
// The "^7" that closes the name, or null.
const char* about_known_player(const Relay& r, const char* line)
{
    int looked = 0;
    for (const char* at = std::strstr(line, "^7"); at && looked < 8; at = std::strstr(at + 2, "^7"), ++looked) {
        if (at[2] != ' ' && at[2] != '\'')
            continue;
        if (known_player(r, line, at))
            return at;
    }
    return nullptr;
}

bool after_closed_name(const char* line, const char* at)
{
    return at && at - line >= 2 && at[-2] == '^' && at[-1] == '7';
}

// A death phrase right after a name closed by "^7", as the game writes a kill.
bool death_after_closed_name(const char* line, const PhraseHits& hits)
{
    for (int i = 0; i < kDeathPhraseCount; ++i)
        if (after_closed_name(line, hits.first[kDeathHits + i]) || after_closed_name(line, hits.last[kDeathHits + i]))
            return true;
    return false;
}

// The console's echo of "lbot say ..." whose text holds the chat mark: the words
// before the text are the command's, so the mark is the text's.
bool say_echo(const char* line, const char* mark)
{
    for (const char* echo : kLbotEchoes) {
        const std::size_t n = std::strlen(echo);
        if (safe_strnicmp(line, echo, n) != 0)
            continue;
        const char* word = line + n;
        while (*word == ' ')
            ++word;
        return safe_strnicmp(word, "say ", 4) == 0 && word + 4 <= mark;
    }
    return false;
}

// A chat line: a speaker, the chat mark, then the chat colour.
bool chat_shaped(const char* line)
{
    const char* at = std::strstr(line, kChatText);
    return at && at != line;
}

// The speaker of a chat-shaped line is a known player.
bool known_speaker(const Relay& r, const char* line)
{
    int looked = 0;
    for (const char* at = std::strstr(line, kChatText); at && looked < 8; at = std::strstr(at + 1, kChatText), ++looked) {
        if (known_player(r, line, at))
            return true;
    }
    return false;
}

bool begins_with(const char* line, std::string_view text)
{
    return !text.empty() && std::strncmp(line, text.data(), text.size()) == 0;
}

bool begins_with_nocase(const char* line, const char* text)
{
    return safe_strnicmp(line, text, std::strlen(text)) == 0;
}

// Hands a report to the channel while showplay is on. Event reports are marked so
// that flood protection never skips them.
void send_play(Relay& r, const LineBuf& line, bool event)
{
    if (!r.settings.showplay)
        return;
    const ScopedFlag marked(r.game.eventline, event);
    send_privmsg(r, channel(r), line.c_str());
}

void stats_if(Relay& r, int bit)
{
    if (r.settings.statsafter != 0 && (r.settings.showstatsafter & bit))
        show_stats(r, channel(r));
}

void reset_scores(Relay& r)
{
    r.teams.redscore() = 0;
    r.teams.bluescore() = 0;
}

// The clock starts again: the map length from the server's time limit, or else
// from the map file.
void start_new_map(Relay& r)
{
    if (r.game.timelimit > 0.01)
        r.game.maptime = static_cast<int>(r.game.timelimit * 60);
    else
        r.game.maptime = map_time(r);
    r.game.mapstarttime = r.platform->now();
    r.game.clocktext = make_time(r, r.game.mapstarttime, r.game.mapstarttime, r.game.maptime);
}

void report_server_values(Relay& r)
{
    report_map(r, channel(r));
    report_gametype(r, channel(r));
    report_scorelimit(r, channel(r));
    report_timelimit(r, channel(r));
}

void round_end_tail(Relay& r)
{
    report_map(r, channel(r));
    report_score(r, channel(r), 0);
    stats_if(r, kStatsRoundEnd);
    r.game.fragcount = 0;
}

void returned_report(Relay& r, PhraseId id)
{
    LineBuf line;
    line.start(r.colours.default_, r.game.clocktext).addf("%c%s ", kColour, r.colours.objective.c_str());
    line.add(out_phrase(r, id));
    send_play(r, line, true);
}

// Flag, bomb and briefcase events. False when the line holds none.
bool objective_event(Relay& r, const char* line, const PhraseHits& hits)
{
    const ObjectiveEvent* ev = nullptr;
    const char* at = nullptr;
    for (const ObjectiveEvent& e : kObjectiveEvents) {
        at = hits.first[e.phrase];
        if (at) {
            ev = &e;
            break;
        }
    }
    if (const char* esc = hits.first[kBriefcaseEscaped.phrase]) {
        ev = &kBriefcaseEscaped;
        at = esc;
    }
    if (!ev)
        return false;

    const std::string rawname(line, static_cast<std::size_t>(at - line));
    const int osp = r.settings.osp;
    if (r.kills.flag_hook) {
        for (int i = 0; i < static_cast<int>(std::size(kFlagEvents)); ++i)
            if (ev->phrase == kFlagEvents[i].phrase)
                r.kills.flag_hook(r, rawname.c_str(), i, ev->team);
    }
    LineBuf out;
    if (r.settings.teammode) {
        out.start(r.colours.default_, r.game.clocktext).addf(" %c", kColour);
        const std::string name = strip_colours(osp, rawname.c_str());
        // The one who carries the other team's flag is on the acting team.
        if (team_by_name(r, name.c_str()) != ev->team) {
            set_team_by_name(r, name.c_str(), ev->team);
            trace(r, 11, "%s from team %d\r\n", name.c_str(), ev->team);
        }
        // Two reverses keep a name that begins with a digit out of the colour number.
        out.addf("%d%c%c", team_colour(r, ev->team), kReverse, kReverse);
        out.add(name);
    } else {
        out.start(r.colours.default_, r.game.clocktext).add(" ");
        translate_colours(osp, rawname.c_str(), out);
    }
    out.addf("%c%s", kColour, r.colours.objective.c_str());
    out.add(out_phrase(r, ev->phrase));
    send_play(r, out, true);

    if (ev->winline != PH_COUNT) {
        LineBuf win;
        win.start(r.colours.mapend, r.game.clocktext).addf(" %s", out_phrase(r, ev->winline));
        send_play(r, win, true);
    }
    if (ev->scores) {
        quiet_status_query(r);
        if (!has_status_source(r))
            r.teams.add_point(ev->team);
        report_map(r, channel(r));
        report_score(r, channel(r), 0);
    }
    if (ev->winline != PH_COUNT) {
        stats_if(r, kStatsRoundEnd);
        r.game.fragcount = 0;
    }
    return true;
}

// A round won by eliminating team (red or blue).
void team_eliminated(Relay& r, int team)
{
    quiet_status_query(r);
    const std::string& name = team == kTeamRed ? r.teams.redteamname : r.teams.blueteamname;
    LineBuf line;
    if (!name.empty()) {
        line.start(r.colours.mapend, r.game.clocktext).addf(" %s", out_phrase(r, PH_TEAM));
        translate_colours(r.settings.osp, name.c_str(), line);
        line.add(out_phrase(r, PH_ELIMINATED));
    } else {
        line.start(r.colours.mapend, r.game.clocktext)
            .addf(" %s", out_phrase(r, team == kTeamRed ? PH_RED_ELIMINATED : PH_BLUE_ELIMINATED));
    }
    if (!has_status_source(r))
        r.teams.add_point(team == kTeamRed ? kTeamBlue : kTeamRed);
    send_play(r, line, true);
    round_end_tail(r);
}

void target_destroyed(Relay& r)
{
    quiet_status_query(r);
    LineBuf line;
    line.start(r.colours.mapend, r.game.clocktext).addf(" %s", out_phrase(r, PH_BLUE_DESTROYED_TARGET));
    if (!has_status_source(r))
        r.teams.add_point(kTeamBlue);
    send_play(r, line, true);
    // This line is English whatever the output language.
    line.start(r.colours.mapend, r.game.clocktext).add(" Blue team win!");
    send_play(r, line, true);
    round_end_tail(r);
}

void score_limit(Relay& r, PhraseId id)
{
    quiet_status_query(r);
    LineBuf line;
    line.start(r.colours.gameend, r.game.clocktext).addf(" %s", out_phrase(r, id));
    send_play(r, line, true);
    stats_if(r, kStatsGameEnd);
    reset_scores(r);
    reset_player_stats(r);
    // Only the clock starts again; the next map's length comes with its own start.
    r.game.mapstarttime = r.platform->now();
    r.game.clocktext = make_time(r, r.game.mapstarttime, r.game.mapstarttime, r.game.maptime);
}

void shutdown_line(Relay& r)
{
    report_map(r, channel(r));
    report_score(r, channel(r), 0);
    stats_if(r, kStatsShutdown);
    reset_scores(r);
    reset_player_stats(r);

    LineBuf line;
    line.start(r.colours.mapend, r.game.clocktext).add(" ").add(kRoundEnded[r.settings.langout]);
    send_play(r, line, true);
    line.start(r.colours.mapend).add(" Team scores/Player stats reset...");
    send_play(r, line, false);

    quiet_status_query(r);
    start_new_map(r);
    report_server_values(r);
}

void osp_timelimit(Relay& r)
{
    LineBuf line;
    line.start(r.colours.mapend, r.game.clocktext).addf(" %s ", kOspTimelimit);
    send_play(r, line, true);
    report_map(r, channel(r));
    report_score(r, channel(r), 0);
    stats_if(r, kStatsGameEnd);
    reset_scores(r);
    reset_player_stats(r);
    quiet_status_query(r);
    start_new_map(r);
    report_server_values(r);
}

// The OSP mod's lines. True when the line was one of them.
bool osp_line(Relay& r, const char* line)
{
    if (begins_with(line, kOspTimelimit)) {
        osp_timelimit(r);
        return true;
    }
    if (const char* vs = std::strstr(line, kOspRedVs)) {
        const char* bluename = vs + std::strlen(kOspRedVs);
        const char* blueend = std::strstr(bluename, kOspBlue);
        if (!blueend)
            return true;
        r.console.ospredname = std::string(line, static_cast<std::size_t>(vs - line));
        r.console.ospbluename = std::string(bluename, static_cast<std::size_t>(blueend - bluename));
        trace(r, 11, "OSP RED:[%s] BLUE:[%s]\r\n", r.console.ospredname->c_str(),
              r.console.ospbluename->c_str());
        return true;
    }
    if (!r.console.ospredname || !r.console.ospbluename)
        return false;
    const bool mentions = std::strstr(line, "eliminated") != nullptr;
    const struct {
        const Text& name;
        int team;
    } teams[] = {{r.console.ospredname, kTeamRed}, {r.console.ospbluename, kTeamBlue}};
    for (const auto& t : teams) {
        const std::string expected = *t.name + kOspEliminated;
        if (mentions) {
            trace(r, 11, "ELIMINATED: %d\r\n", r.log.linesread);
            trace(r, 11, "[%s] = [%s] ?\r\n", line, expected.c_str());
        }
        if (begins_with(line, expected)) {
            team_eliminated(r, t.team);
            return true;
        }
    }
    return false;
}

// Joins, arrivals and departures. False when the line holds none of them.
// closed_name: the phrase must follow a name closed by "^7", as the game writes it.
bool player_line(Relay& r, const char* line, const PhraseHits& hits, bool closed_name = false)
{
    for (const PlayerPhrase& p : kPlayerPhrases) {
        const char* at = found_at_end(r, hits, p.phrase);
        if (!at || (closed_name && (at - line < 2 || at[-2] != '^' || at[-1] != '7')))
            continue;
        const std::string rawname(line, static_cast<std::size_t>(at - line));
        const std::string name = strip_colours(r.settings.osp, rawname.c_str());
        const int id = named_player_event(r, name.c_str(), name.c_str(), kEventRegister, -1);
        trace(r, 11, "%s %s\r\n", rawname.c_str(), p.word);
        // Act on the id only when it is this player's: a full table registers
        // nobody, and the answer must not make another player change team or leave.
        const bool known = id >= 0 && safe_strcmp(player_name(r, id), name.c_str()) == 0;
        if (known && rawname != name)
            set_player_colours(r, id, rawname);
        if (known && p.team != kTeamUnknown)
            set_player_team(r, id, p.team);
        if (known && p.removes)
            delete_player(r, id);

        if (r.settings.showconnectinfo & p.infobit) {
            LineBuf out;
            out.start(r.colours.default_, r.game.clocktext).addf(" %s%s", name.c_str(), out_phrase(r, p.phrase));
            send_play(r, out, false);
        }
        return true;
    }
    return false;
}

// "]rcon map_restart" typed at the console: scores, statistics, players and clock
// start from nothing.
void map_restart(Relay& r)
{
    reset_game(r);
    LineBuf answer;
    answer.addf("%s SCORES/STATS/TIME ^4RESET^7...\n", kInGameBanner);
    send_local_print(r, answer.c_str());

    LineBuf line;
    line.start(r.colours.mapinfo).add(" SCORES/STATS/TIME RESET...");
    send_privmsg(r, channel(r), line.c_str()); // told whatever showplay says

    quiet_status_query(r);
    start_new_map(r);
    announce_game_start(r);
}

void chat_line(Relay& r, const char* line)
{
    if (r.settings.messages) // stored inverted: set while chat relaying is off
        return;
    // A chat report changes nothing else: while it would be held back or not shown
    // it is not built at all.
    if (!r.settings.showplay || reports_held_back(r))
        return;
    if (std::strstr(line, kInGameBanner))
        return;
    const char* text = std::strstr(line, kChatText);
    // "^1" or "^4" is the speaker's team; "(" after it marks team chat, kept private.
    if (!text || line[0] != '^' || (line[1] != '1' && line[1] != '4') || line[2] == '(')
        return;
    const int colour = line[1] == '1' ? r.colours.redteamcolor : r.colours.blueteamcolor;
    const std::string rawname(line + 2, static_cast<std::size_t>(text - (line + 2)));
    const std::string name = strip_colours(r.settings.osp, rawname.c_str());
    LineBuf out;
    out.start(r.colours.default_, r.game.clocktext).addf("%c%d %s", kColour, colour, name.c_str());
    translate_colours(r.settings.osp, text, out);
    send_play(r, out, false);
}

// A "]" line: a command echoed by the game console, or else chat.
void bracket_line(Relay& r, const char* line)
{
    for (const char* echo : kMapRestartEchoes)
        if (begins_with_nocase(line, echo)) {
            map_restart(r);
            return;
        }
    for (const char* echo : kLbotEchoes)
        if (begins_with_nocase(line, echo)) {
            run_console_command(r, line);
            return;
        }
    chat_line(r, line);
}

} // namespace

int process_console_line(Relay& r, char* line)
{
    if (!line || !*line)
        return 0;
    trace(r, 11, "lbuffer[%s]\r\n", line);
    r.game.clocktext = make_time(r, r.game.mapstarttime, r.platform->now(), r.game.maptime);

    // What players say is only ever chat, and what the game says of a player is
    // never chat nor a console command, whatever the player's name. Without this a
    // player could fake kills, round wins and departures by typing the game's
    // sentences, hide their own kills behind a name with the chat mark, or steer
    // the relay with a name such as "]lbot quit".
    //
    // Each guard only chooses between readings of the line; where the reading it
    // chose finds nothing, the line is read as any other.
    PhraseHits hits;
    scan_line(r, line, hits);
    const char* about = about_known_player(r, line);
    const char* mark = std::strstr(line, kChatText);
    // A known name that ends before the chat mark only starts the speaker's name
    // ("Bob" of "Bob Jr"): the line is chat-shaped.
    const bool about_player = about && !(chat_shaped(line) && mark > about);
    if (!about_player && chat_shaped(line)) {
        // A speaker nobody knows yet may be a new player whose name carries the
        // chat mark: a sentence of the game after a closed name decides.
        if (!known_speaker(r, line)) {
            if (player_line(r, line, hits, true))
                return 0;
            if (death_after_closed_name(line, hits) &&
                parse_kill_text(r, line, death_phrases_written(hits, kDeathHits)))
                return 0;
            if (say_echo(line, mark)) {
                run_console_command(r, line);
                return 0;
            }
        }
        chat_line(r, line);
        return 0;
    }
    // Player events first: their phrase ends the line, so a death phrase inside a
    // name cannot turn a join into a kill. When the game wrote a kill (its phrase
    // after a closed name), a player event must follow a closed name too: a
    // killer named "Evil timed out" does not make the kill a departure.
    if (player_line(r, line, hits, death_after_closed_name(line, hits)))
        return 0;
    if (parse_kill_text(r, line, death_phrases_written(hits, kDeathHits)))
        return 0;
    if (r.settings.osp && osp_line(r, line))
        return 0;

    if (begins_with(line, "RE_Shutdown")) {
        shutdown_line(r);
        return 0;
    }
    for (PhraseId id : {PH_RED_FLAG_RETURNED, PH_BLUE_FLAG_RETURNED})
        if (begins_with(line, in_phrase(r, id))) {
            returned_report(r, id);
            return 0;
        }
    if (hits.first[PH_BRIEFCASE_RETURNED]) {
        returned_report(r, PH_BRIEFCASE_RETURNED);
        return 0;
    }
    if (objective_event(r, line, hits))
        return 0;
    if (hits.first[PH_BLUE_DESTROYED_TARGET]) {
        target_destroyed(r);
        return 0;
    }
    if (hits.first[PH_RED_ELIMINATED]) {
        team_eliminated(r, kTeamRed);
        return 0;
    }
    if (hits.first[PH_BLUE_ELIMINATED]) {
        team_eliminated(r, kTeamBlue);
        return 0;
    }
    for (PhraseId id : {PH_RED_SCORE_LIMIT, PH_BLUE_SCORE_LIMIT})
        if (hits.first[id]) {
            score_limit(r, id);
            return 0;
        }
    if (about_player)
        return 0;
    if (line[0] == ']')
        bracket_line(r, line);
    else
        chat_line(r, line);
    return 0;
}
