// The "lbot" commands a player types at the game console. The game echoes them
// into its console log, the log processor hands them here, and they are obeyed
// without authorisation. They change what the owner's IRC commands change (the
// effects are shared, see effects.h) and answer into the game console with
// "print" packets; changes that concern the channel are announced there too.
//
// Three tables, each read like the command rows it implements: the switches, the
// commands that answer before they act, and the rest with a small handler each.
//
// A command in the log's history (typed before the relay started, or read again
// after !restart) was obeyed back then. Read again, it only brings the relay's
// own game state up to date, silently: switches, scores, team names, clan tags,
// the clock, a start reset. Its "past" action does that; a command without one
// (quit, server, file reloads, say, the answers) is passed over.
#include "relay/commands/console_commands.h"
#include "relay/commands/switches.h"

#include <cstdarg>
#include <string>

#include "relay/commands/args.h"
#include "relay/commands/effects.h"
#include "relay/config/colours.h"
#include "relay/config/mapinfo.h"
#include "relay/relay.h"
#include "relay/statsdb/statsdb.h"
#include "relay/commands/alltime_commands.h"
#include "relay/base/scoped_flag.h"
#include "relay/base/text.h"
#include "relay/base/phrases.h"
#include "relay/gamelog/reports.h"
#include "relay/irc/output.h"
#include "relay/players/stats.h"
#include "relay/players/table.h"
#include "relay/query/reply.h"
#include "relay/query/status.h"

namespace {


// The echoes of a command typed at the console (compared ignoring case).
constexpr const char* kPrefixes[] = {"]/lbot ", "]\\lbot ", "]lbot "};

const char* channel(const Relay& r)
{
    return cstr(r.settings.channel);
}

const char* or_empty(const Text& t)
{
    return t ? t->c_str() : "";
}

// One answer whose message is formatted; the message never serves as a format.
__attribute__((format(printf, 2, 3))) void answerf(Relay& r, const char* format, ...)
{
    LineBuf message;
    va_list ap;
    va_start(ap, format);
    message.vaddf(format, ap);
    va_end(ap);
    console_reply(r, message.c_str());
}

// ---- Switches -------------------------------------------------------------------

void answer_clantags(Relay& r)
{
    const TeamState& t = r.teams;
    answerf(r, " CLAN TAGS ^1RED[%s^1]: ^7%s ^4BLUE[%s^4]: ^7%s\n", t.redteamname.c_str(), or_empty(t.redclantag),
            t.blueteamname.c_str(), or_empty(t.blueclantag));
}


// Team mode switched from the game console is announced, as silent mode is.
void set_teammode(Relay& r, const char* word)
{
    const int v = on_off_word(word);
    if (v < 0)
        return;
    r.settings.teammode = v;
    announce(r, (v ? kTeamModeOnText : kTeamModeOffText)[r.settings.langout]);
}

void run_switch(Relay& r, const SwitchRow& row, const ArgVector& args, bool history)
{
    BotSettings& s = r.settings;
    const char* word = args.word(1);
    if (history) {
        if (row.take == SwitchTake::messages)
            set_messages(s, word);
        else
            set_switch(s.*row.setting, word);
        return;
    }
    switch (row.take) {
    case SwitchTake::messages: set_messages(s, word); break;
    case SwitchTake::silent: set_silent(r, word); break;
    case SwitchTake::teammode: set_teammode(r, word); break;
    default: set_switch(s.*row.setting, word); break;
    }
    console_reply(r, switch_is_on(s, row) ? row.gameon : row.gameoff);
    if (row.clantags)
        answer_clantags(r);
}

// ---- Commands that answer first, then act ------------------------------------

using Action = void (*)(Relay& r, const ArgVector& args);

struct AnswerFirstRow {
    const char* word;
    const char* answer;
    Action act;
    Action past; // for a command in the history, or null
};

void past_showscore(Relay& r, const ArgVector& args)
{
    if (args.count >= 2)
        r.game.showscoretext = join_words(args, 1);
    else
        r.game.showscoretext.reset();
}

void act_showscore(Relay& r, const ArgVector& args)
{
    past_showscore(r, args);
    report_score(r, channel(r), 1);
}

void act_swapnames(Relay& r, const ArgVector&)
{
    swap_team_names(r.teams);
}

void act_swapscores(Relay& r, const ArgVector&)
{
    swap_team_scores(r.teams);
}

void act_swapplayers(Relay& r, const ArgVector&)
{
    swap_player_teams(r);
}

// Players too, in either mode: the player at the console sees the teams change.
void act_swapteams(Relay& r, const ArgVector&)
{
    swap_team_names(r.teams);
    swap_team_scores(r.teams);
    swap_player_teams(r);
}

void act_statsclear(Relay& r, const ArgVector&)
{
    reset_player_stats(r);
}

void act_statsdelete(Relay& r, const ArgVector&)
{
    clear_players(r);
}

void past_channelstats(Relay& r, const ArgVector&)
{
    r.game.fragcount = 0;
}

void act_channelstats(Relay& r, const ArgVector& args)
{
    stats_on_request(r, channel(r));
    past_channelstats(r, args);
}

void act_say(Relay& r, const ArgVector& args)
{
    if (args.count < 2)
        return;
    LineBuf line;
    line.start(r.colours.playercmd).add_char(' ').add(join_words(args, 1));
    send_privmsg(r, channel(r), line.c_str());
}

constexpr AnswerFirstRow kAnswerFirst[] = {
    {"showscore", " DONE...\n", act_showscore, past_showscore},
    {"swapnames", " TEAM NAMES/CLANTAGS ^4SWAPPED^7...\n", act_swapnames, act_swapnames},
    {"swapscores", " TEAM SCORES ^4SWAPPED^7...\n", act_swapscores, act_swapscores},
    {"swapplayers", " PLAYERS TEAMS ^4SWAPPED^7...\n", act_swapplayers, act_swapplayers},
    {"swapteams", " TEAM NAMES/CLANTAGS/PLAYERS/SCORES ^4SWAPPED^7...\n", act_swapteams, act_swapteams},
    {"statsclear", " STATS HAVE BEEN CLEARED^7...\n", act_statsclear, act_statsclear},
    {"statsdelete", " STATS HAVE BEEN DELETED^7...\n", act_statsdelete, act_statsdelete},
    {"channelstats", " STATS WILL BE SENT TO CHANNEL^7...\n", act_channelstats, past_channelstats},
    {"say", " DONE...\n", act_say, nullptr},
};

// ---- Commands with their own handler ----------------------------------------------

// Answers by value: flood protection 0, 1, 2; languages by number.
constexpr const char* kFloodAnswers[] = {
    " IRC FLOODPROTECT ^1OFF^7...\n",
    " IRC FLOODPROTECT ^4ON^7...\n",
    " IRC FLOODPROTECT ^4ON AND SKIP^7...\n",
};
// [usetime on][counting up]
constexpr const char* kUsetimeAnswers[2][2] = {
    {" USE TIME ^1OFF^7 / MODE ^4DOWN^7...\n", " USE TIME ^1OFF^7 / MODE ^4UP^7...\n"},
    {" USE TIME ^4ON^7 / MODE ^4DOWN^7...\n", " USE TIME ^4ON^7 / MODE ^4UP^7...\n"},
};
constexpr LangText kLanginAnswers = {{
    " LOGFILE LANG:^4 English^7...",
    " LOGFILE LANG:^4 German^7...",
    " LOGFILE LANG:^4 English^7...", // no Dutch logs
}};
constexpr LangText kLangoutAnswers = {{
    " LANGOUT:^4 English^7...",
    " LANGOUT:^4 German^7...",
    " LANGOUT:^4 Dutch^7...",
}};

void past_floodprotect(Relay& r, const ArgVector& args)
{
    set_floodprotect(r.settings, args.word(1));
}

void cmd_floodprotect(Relay& r, const ArgVector& args)
{
    past_floodprotect(r, args);
    const int v = r.settings.floodprotect;
    console_reply(r, kFloodAnswers[v <= 0 ? 0 : v == 1 ? 1 : 2]);
}

void past_byterate(Relay& r, const ArgVector& args)
{
    set_byterate(r.settings, args.word(1));
}

void cmd_byterate(Relay& r, const ArgVector& args)
{
    past_byterate(r, args);
    answerf(r, " IRC BYTERATE^4 %d ^7bytes/minute...\n", r.settings.byterate);
}

void past_statsafter(Relay& r, const ArgVector& args)
{
    set_statsafter(r.settings, args.word(1));
}

void cmd_statsafter(Relay& r, const ArgVector& args)
{
    past_statsafter(r, args);
    answerf(r, " STATS AFTER^4 %d ^7FRAGS...\n", r.settings.statsafter);
}

void past_usetime(Relay& r, const ArgVector& args)
{
    set_usetime(r.settings, args.word(1));
}

void cmd_usetime(Relay& r, const ArgVector& args)
{
    past_usetime(r, args);
    const BotSettings& s = r.settings;
    console_reply(r, kUsetimeAnswers[s.usetime != 0][s.timedirection == 1]);
}

// The language commands announce the output language after the answer, with or
// without a word.
void past_langin(Relay& r, const ArgVector& args)
{
    set_langin(r.settings, args.word(1));
}

void cmd_langin(Relay& r, const ArgVector& args)
{
    past_langin(r, args);
    console_reply(r, kLanginAnswers[r.settings.langin]);
    announce(r, kLanguageText[r.settings.langout]);
}

void past_langout(Relay& r, const ArgVector& args)
{
    set_langout(r.settings, args.word(1));
}

void cmd_langout(Relay& r, const ArgVector& args)
{
    past_langout(r, args);
    console_reply(r, kLangoutAnswers[r.settings.langout]);
    announce(r, kLanguageText[r.settings.langout]);
}

void cmd_linesread(Relay& r, const ArgVector&)
{
    answerf(r, " LINES READ:^4 %d^7...\n", r.log.linesread);
}

void past_score(Relay& r, const ArgVector& args)
{
    set_team_score(r, args);
}

void cmd_score(Relay& r, const ArgVector& args)
{
    past_score(r, args);
    const TeamState& t = r.teams;
    answerf(r, " ^7SCORE ^1%s^1: %d ^4%s^4: %d^7...\n", t.redteamname.c_str(), t.redscore(), t.blueteamname.c_str(),
            t.bluescore());
}

void past_clantag(Relay& r, const ArgVector& args)
{
    set_team_text(r, args, true);
}

void cmd_clantag(Relay& r, const ArgVector& args)
{
    past_clantag(r, args);
    const TeamState& t = r.teams;
    answerf(r,
            r.settings.useclantags ? " USE CLAN TAGS: ^4ON^7 -> ^1RED[%s^1]: ^7%s ^4BLUE[%s^4]: ^7%s\n"
                                   : " USE CLAN TAGS: ^1OFF^7 -> ^1RED[%s^1]: ^7%s ^4BLUE[%s^4]: ^7%s\n",
            t.redteamname.c_str(), or_empty(t.redclantag), t.blueteamname.c_str(), or_empty(t.blueclantag));
}

void past_renameteam(Relay& r, const ArgVector& args)
{
    set_team_text(r, args, false);
}

void cmd_renameteam(Relay& r, const ArgVector& args)
{
    past_renameteam(r, args);
    answerf(r, " TEAM NAMES ^1RED: ^7%s ^4BLUE: ^7%s\n", r.teams.redteamname.c_str(), r.teams.blueteamname.c_str());
}

void answer_maptime(Relay& r)
{
    const int t = r.game.maptime;
    answerf(r, " MAP TIME ^4SET TO %d:%02d^7...\n", t / 60, t % 60);
}

// Without a name the map stays and its length is looked up again.
void past_map(Relay& r, const ArgVector& args)
{
    set_map(r, args.word(1));
}

void cmd_map(Relay& r, const ArgVector& args)
{
    past_map(r, args);
    if (r.game.map)
        answerf(r, " MAP ^4%s^7...\n", r.game.map->c_str());
    else
        console_reply(r, " MAP ^1unknown^7...\n");
    answer_maptime(r);
}

void restart_clock_text(Relay& r)
{
    GameState& g = r.game;
    g.clocktext = make_time(r, g.mapstarttime, r.platform->now(), g.maptime);
}

// False when the time given is no time: nothing changes then.
bool set_maptime(Relay& r, const ArgVector& args)
{
    if (args.count >= 2) {
        const int t = parse_time_word(args.word(1));
        if (t < 0)
            return false;
        r.game.maptime = t;
    }
    restart_clock_text(r);
    return true;
}

void past_maptime(Relay& r, const ArgVector& args)
{
    set_maptime(r, args);
}

void cmd_maptime(Relay& r, const ArgVector& args)
{
    if (set_maptime(r, args))
        answer_maptime(r);
}

// The time set, or -1 when the word is no time.
int set_time(Relay& r, const ArgVector& args)
{
    const int t = parse_time_word(args.word(1));
    if (t < 0)
        return -1;
    set_game_time(r, t);
    restart_clock_text(r);
    return t;
}

void past_settime(Relay& r, const ArgVector& args)
{
    set_time(r, args);
}

void cmd_settime(Relay& r, const ArgVector& args)
{
    const int t = set_time(r, args);
    if (t < 0)
        return;
    answerf(r, " TIME ^4RESET TO %d:%02d^7...\n", t / 60, t % 60);
    if (!r.settings.showplay)
        return;
    LineBuf line;
    line.start(r.colours.mapstart, r.game.clocktext)
        .addf(" %s%d:%02d", phrase(PH_TIME_SET_TO, r.settings.langout), t / 60, t % 60);
    // Flood protection may hold this line back but never skips it.
    ScopedFlag event(r.game.eventline);
    send_privmsg(r, channel(r), line.c_str());
}

// A new game begins now: statistics, players and scores start from nothing, the
// game server is asked for map and limits, and the clock starts.
// Read again, a start resets the game and starts the clock, without asking the
// game server: its answer would be about today's game.
void past_start(Relay& r, const ArgVector&)
{
    reset_game(r);
    r.game.mapstarttime = r.platform->now();
    restart_clock_text(r);
}

void cmd_start(Relay& r, const ArgVector&)
{
    reset_game(r);
    console_reply(r, " SCORES/STATS ^4RESET^7...\n");

    LineBuf line;
    line.start(r.colours.playercmd).add(" Team scores/Player stats reset...");
    send_privmsg(r, channel(r), line.c_str());

    {
        ScopedFlag quiet(r.game.silentquery);
        quiet_status_query(r);
    }

    r.game.mapstarttime = r.platform->now();
    restart_clock_text(r);
    announce_game_start(r);
}

void cmd_server(Relay& r, const ArgVector& args)
{
    if (args.count >= 3)
        set_game_server(r, args.word(1), args.word(2));
    const BotSettings& s = r.settings;
    answerf(r, " SERVER:^4 %s:%s^7...\n", or_empty(s.serverhost), or_empty(s.serverport));
}

void cmd_loadmaps(Relay& r, const ArgVector&)
{
    const std::string file = or_empty(r.settings.mapfile);
    load_mapinfo(r, file.c_str());
    answerf(r, " MAPSINFO %s ^4RELOADED [%d]^7...\n", file.c_str(), r.maps.mapsloaded);
}

void cmd_loadcolors(Relay& r, const ArgVector&)
{
    const std::string file = or_empty(r.settings.colorfile);
    load_colours(r, file.c_str());
    answerf(r, " COLORINFO %s ^4RELOADED^7...\n", file.c_str());
}

// No answer, no goodbye line and no pause: the player sees the relay go.
void cmd_quit(Relay& r, const ArgVector&)
{
    quit_relay(r);
}

struct CommandRow {
    const char* word;
    Action handler;
    Action past; // for a command in the history, or null
};

constexpr CommandRow kCommands[] = {
    {"floodprotect", cmd_floodprotect, past_floodprotect},
    {"byterate", cmd_byterate, past_byterate},
    {"statsafter", cmd_statsafter, past_statsafter},
    {"usetime", cmd_usetime, past_usetime},
    {"langin", cmd_langin, past_langin},
    {"langout", cmd_langout, past_langout},
    {"linesread", cmd_linesread, nullptr},
    {"score", cmd_score, past_score},
    {"clantag", cmd_clantag, past_clantag},
    {"renameteam", cmd_renameteam, past_renameteam},
    {"map", cmd_map, past_map},
    {"maptime", cmd_maptime, past_maptime},
    {"settime", cmd_settime, past_settime},
    {"start", cmd_start, past_start},
    {"server", cmd_server, nullptr},
    {"loadmaps", cmd_loadmaps, nullptr},
    {"loadcolors", cmd_loadcolors, nullptr},
    {"quit", cmd_quit, nullptr},
};

// The text after the echo's prefix, or null when the line has none.
const char* after_prefix(const char* line)
{
    for (const char* prefix : kPrefixes) {
        const std::size_t n = std::char_traits<char>::length(prefix);
        if (safe_strnicmp(line, prefix, n) == 0)
            return line + n;
    }
    return nullptr;
}

} // namespace

void console_reply(Relay& r, const char* text)
{
    // Head, banner and message stop at the line limit. A lost answer is not worth
    // a word: the game console is on this machine.
    LineBuf packet;
    packet.add(kPrintHeader).add(kInGameBanner).add(text);
    send_local(r, packet.view());
}

void console_command(Relay& r, const char* line)
{
    const char* rest = line ? after_prefix(line) : nullptr;
    if (!rest)
        return;
    // A log written with CR LF line ends leaves the CR on the line: it belongs to
    // no word.
    std::string text(rest);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();

    ArgVector args;
    if (split_args(r, text.c_str(), args) == 0)
        return;
    const char* word = args.word(0);
    const bool history = r.log.historyline;
    for (const SwitchRow& row : kSwitches)
        if (row.game && safe_stricmp(word, row.game) == 0) {
            run_switch(r, row, args, history);
            return;
        }
    for (const AnswerFirstRow& row : kAnswerFirst)
        if (safe_stricmp(word, row.word) == 0) {
            if (history) {
                if (row.past)
                    row.past(r, args);
                return;
            }
            console_reply(r, row.answer);
            row.act(r, args);
            return;
        }
    // The all-time statistics answer only live, and only with a database.
    if (!history && statsdb_configured(r)) {
        if (safe_stricmp(word, "top") == 0) {
            lbot_top(r, args);
            return;
        }
        if (safe_stricmp(word, "player") == 0) {
            lbot_player(r, args);
            return;
        }
    }
    for (const CommandRow& row : kCommands)
        if (safe_stricmp(word, row.word) == 0) {
            if (history) {
                if (row.past)
                    row.past(r, args);
                return;
            }
            row.handler(r, args);
            return;
        }
}
