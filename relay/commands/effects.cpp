#include "relay/commands/effects.h"

#include <string>
#include <utility>

#include "relay/commands/args.h"
#include "relay/config/mapinfo.h"
#include "relay/relay.h"
#include "relay/base/scoped_flag.h"
#include "relay/base/text.h"
#include "relay/irc/output.h"
#include "relay/irc/session.h"
#include "relay/irc/sockets.h"
#include "relay/gamelog/reports.h"
#include "relay/players/stats.h"

const LangText kSilencedText = {{
    "Quillon's Tidewatch has been silenced by the bot owner... ",
    "Quillon's Tidewatch ist durch den bot Eigent\xfcmer zum schweigen gebracht worden.. ",
    "Quillon's Tidewatch is monddood gemaakt door de bot eigenaar... ",
}};
const LangText kSpeakingText = {{
    "Quillon's Tidewatch is able to speak again... ",
    "Quillon's Tidewatch kann wieder reden.. ",
    "Quillon's Tidewatch kan weer praten... ",
}};
const LangText kLanguageText = {{
    "English Language on/Englische Sprache an/Engelse taal aan ",
    "German Language on/Deutsche Sprache an/Duitse taal aan ",
    "Dutch Language on/Niederl\xe4ndische Sprache an/Nederlandse taal aan ",
}};
const LangText kRestartText = {{
    "Quillon's Tidewatch was restarted by the owner... ",
    "Quillon's Tidewatch ist durch den bot Eigent\xfcmer neu gestartet.. ",
    "Quillon's Tidewatch is door de bot eigenaar opnieuw gestart... ",
}};
const LangText kChannelSwitchText = {{
    "is switching to IRC channel",
    "geht weiter auf IRC kanal",
    "gaat verder op IRC kanaal",
}};
const LangText kTeamModeOnText = {{
    "Team Mode has been switched on... ",
    "Team Mode is angeschaltet.. ",
    "Team Mode is aangezet... ",
}};
const LangText kTeamModeOffText = {{
    "Team Mode has been switched off... ",
    "Team Mode is ausgeschaltet.. ",
    "Team Mode is uitgezet... ",
}};

void announce(Relay& r, const char* text)
{
    LineBuf line;
    line.start(r.colours.botinfo).add_char(' ').add(text);
    send_privmsg(r, cstr(r.settings.channel), line.c_str(), 1);
}

int on_off_word(const char* word)
{
    if (safe_stricmp(word, "on") == 0)
        return 1;
    if (safe_stricmp(word, "off") == 0)
        return 0;
    return -1;
}

void set_switch(int& setting, const char* word)
{
    int v = on_off_word(word);
    if (v >= 0)
        setting = v;
}

void set_messages(BotSettings& s, const char* word)
{
    int v = on_off_word(word);
    if (v >= 0)
        s.messages = v ? 0 : 1;
}

void set_floodprotect(BotSettings& s, const char* word)
{
    if (safe_stricmp(word, "skip") == 0)
        s.floodprotect = 2;
    else
        set_switch(s.floodprotect, word);
}

void set_byterate(BotSettings& s, const char* word)
{
    if (!word)
        return;
    int n = leading_int(word);
    if (n >= 1024)
        s.byterate = n;
}

void set_statsafter(BotSettings& s, const char* word)
{
    if (!word)
        return;
    int n = leading_int(word);
    s.statsafter = n < 1 ? 0 : n < 20 ? 20 : n;
}

void set_usetime(BotSettings& s, const char* word)
{
    if (safe_stricmp(word, "down") == 0)
        s.timedirection = 0;
    else if (safe_stricmp(word, "up") == 0)
        s.timedirection = 1;
    else
        set_switch(s.usetime, word);
}

void set_langin(BotSettings& s, const char* word)
{
    if (safe_stricmp(word, "en") == 0)
        s.langin = kLangEnglish;
    else if (safe_stricmp(word, "de") == 0)
        s.langin = kLangGerman;
}

void set_langout(BotSettings& s, const char* word)
{
    if (safe_stricmp(word, "en") == 0)
        s.langout = kLangEnglish;
    else if (safe_stricmp(word, "de") == 0)
        s.langout = kLangGerman;
    else if (safe_stricmp(word, "nl") == 0)
        s.langout = kLangDutch;
}

void set_silent(Relay& r, const char* word)
{
    int v = on_off_word(word);
    if (v < 0)
        return;
    r.settings.silent = v;
    announce(r, (v ? kSilencedText : kSpeakingText)[r.settings.langout]);
}

namespace {

// 1 red, 2 blue, 0 for any other word.
int team_word(const char* word)
{
    if (safe_stricmp(word, "red") == 0)
        return 1;
    if (safe_stricmp(word, "blue") == 0)
        return 2;
    return 0;
}

} // namespace

void set_team_text(Relay& r, const ArgVector& args, bool clantag)
{
    if (args.count < 3)
        return;
    int team = team_word(args.word(1));
    if (!team)
        return;
    std::string text = join_words(args, 2);
    TeamState& t = r.teams;
    if (clantag)
        (team == 1 ? t.redclantag : t.blueclantag) = text;
    else
        (team == 1 ? t.redteamname : t.blueteamname) = text;
}

void set_team_score(Relay& r, const ArgVector& args)
{
    if (args.count < 3)
        return;
    int team = team_word(args.word(1));
    if (team)
        r.teams.teamscores[team] = leading_int(args.word(2));
}

void swap_team_names(TeamState& t)
{
    std::swap(t.redteamname, t.blueteamname);
    std::swap(t.redclantag, t.blueclantag);
}

void swap_team_scores(TeamState& t)
{
    std::swap(t.teamscores[1], t.teamscores[2]);
}

void set_map(Relay& r, const char* name)
{
    if (name)
        r.game.map = std::string(name);
    r.game.maptime = map_time(r);
}

void set_game_time(Relay& r, int t)
{
    const long long now = r.platform->now();
    GameState& g = r.game;
    if (r.settings.timedirection == 0 && g.maptime != 0)
        g.mapstarttime = now + t - g.maptime; // t is the time left
    else
        g.mapstarttime = now - t; // t is the time played
}

void set_game_server(Relay& r, const char* host, const char* port)
{
    if (r.query.queryopen) {
        close_socket(r, r.query.querysocket, 0);
        r.query.querysocket = 0;
        r.query.queryopen = 0;
    }
    r.settings.serverhost = std::string(host);
    r.settings.serverport = std::string(port);
    // Only the query socket is missing: open it without logging in to IRC again.
    open_query_socket(r);
}

void stats_on_request(Relay& r, const char* target)
{
    ScopedFlag asked(r.game.statsonrequest);
    show_stats(r, target);
}

void quit_relay(Relay& r)
{
    IrcState& irc = r.irc;
    // Leaving for good: a failed send or read must not start a reconnection, as it
    // would while the relay runs. The connect routine's mark keeps them from it.
    irc.connecting = 1;
    // Say goodbye whenever the connection is up, joined to the channel or not.
    if (irc.ircconnected) {
        write_buf(r, "QUIT", ":Quillon's Bot says bye bye...", nullptr, nullptr, nullptr, nullptr, 1);
        if (irc.ircconnected) {
            read_buf(r); // what the server still sends
            close_socket(r, irc.ircsocket, 0);
            irc.ircconnected = 0;
            irc.ircjoined = 0;
        }
    }
    if (r.query.queryopen) {
        close_socket(r, r.query.querysocket, 0);
        r.query.queryopen = 0;
    }
    exit_program(r, kExitOk);
}
