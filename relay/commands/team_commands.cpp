// The owner's commands for scores, statistics, team names and clan tags, and the
// players' teams.
#include <string>

#include "relay/commands/args.h"
#include "relay/commands/dispatch.h"
#include "relay/commands/effects.h"
#include "relay/commands/irc_handlers.h"
#include "relay/relay.h"
#include "relay/base/teams.h"
#include "relay/base/text.h"
#include "relay/gamelog/reports.h"
#include "relay/irc/output.h"
#include "relay/players/table.h"

namespace {

// A swap reply: head, red name, middle with the red score, blue name, tail with
// the blue score (formats with one number).
struct SwapLine {
    const char* head;
    const char* middle;
};

constexpr SwapLine kNamesSwapped = {":\0031,0 TEAMS NAMES/CLANTAGS SWAPPED: \0034RED ", "\0031,0: %d \00312BLUE "};
constexpr SwapLine kScoresSwapped = {":\0031,0 TEAMS SCORES SWAPPED: \0034RED\0031,0 ", "\0031,0: %d \00312BLUE\0031,0 "};
constexpr SwapLine kTeamsSwapped = {":\0031,0 TEAMS SWAPPED: \0034RED\0031,0 ", "\0031,0: %d \00312BLUE\0031,0 "};

// Appends format with one number.
void add_coloured(LineBuf& line, const char* format, int number = 0)
{
    line.addf(format, number);
}

void reply_swap(Relay& r, const char* to, const SwapLine& s)
{
    const TeamState& t = r.teams;
    reply_banner(r, to);
    LineBuf line;
    add_coloured(line, s.head);
    translate_colours(r.settings.osp, t.redteamname.c_str(), line);
    add_coloured(line, s.middle, t.redscore());
    translate_colours(r.settings.osp, t.blueteamname.c_str(), line);
    add_coloured(line, "\0031,0: %d", t.bluescore());
    send_privmsg(r, to, line.c_str(), 1);
}

// The team a !swapplayer word names: 0 when none.
int team_from_word(const char* w)
{
    if (safe_strnicmp(w, "ax", 2) == 0 || w[0] == 'r' || w[0] == 'R')
        return kTeamRed;
    if (safe_strnicmp(w, "al", 2) == 0 || w[0] == 'b' || w[0] == 'B')
        return kTeamBlue;
    if (w[0] == 's' || w[0] == 'S')
        return kTeamSpectator;
    return kTeamUnknown;
}

void reply_player(Relay& r, const char* to, const PlayerRecord& p, bool single)
{
    LineBuf line;
    line.start("0,1").addf(" %3d ", p.id);
    switch (p.team) {
    case kTeamRed:
        if (single)
            line.addf("%c4Red%c0,1       ", kColour, kColour);
        else
            line.addf("%c4Red       ", kColour);
        break;
    case kTeamBlue: line.addf("%c11Blue%c0,1      ", kColour, kColour); break;
    case kTeamSpectator: line.add("Spectator "); break;
    default: line.add("Unknown   "); break;
    }
    if (p.name)
        translate_colours(r.settings.osp, p.name->c_str(), line);
    else
        line.add("???");
    line.add_char(' ');
    send_privmsg(r, to, line.c_str(), 1);
}

} // namespace

void cmd_score(Relay& r, const char* to, const ArgVector& args)
{
    set_team_score(r, args);
    reply_banner(r, to);
    report_score(r, to, 1);
}

void cmd_showscore(Relay& r, const char*, const ArgVector& args)
{
    if (args.count >= 2)
        r.game.showscoretext = join_words(args, 1);
    else
        r.game.showscoretext.reset();
    report_score(r, cstr(r.settings.channel), 1);
}

void cmd_stats(Relay& r, const char* to, const ArgVector&)
{
    stats_on_request(r, to);
}

void cmd_channelstats(Relay& r, const char*, const ArgVector&)
{
    stats_on_request(r, cstr(r.settings.channel));
}

void cmd_statsclear(Relay& r, const char* to, const ArgVector&)
{
    reset_player_stats(r);
    reply_banner(r, to);
    replyf(r, to, ":\0031,0 STATS\00312 CLEARED");
}

void cmd_statsdelete(Relay& r, const char* to, const ArgVector&)
{
    clear_players(r);
    reply_banner(r, to);
    replyf(r, to, ":\0031,0 STATS/PLAYERS\00312 DELETED");
}

void cmd_clantag(Relay& r, const char* to, const ArgVector& args)
{
    set_team_text(r, args, true);
    reply_banner(r, to);
    reply_clantags(r, to);
}

void cmd_renameteam(Relay& r, const char* to, const ArgVector& args)
{
    set_team_text(r, args, false);
    reply_banner(r, to);
    const TeamState& t = r.teams;
    LineBuf line;
    line.addf(":%c1,0 TEAM NAMES: %c4RED%c1,0 ", kColour, kColour, kColour);
    translate_colours(r.settings.osp, t.redteamname.c_str(), line);
    line.addf("%c%c1,0, %c12BLUE%c1,0 ", kPlain, kColour, kColour, kColour);
    translate_colours(r.settings.osp, t.blueteamname.c_str(), line);
    send_privmsg(r, to, line.c_str(), 1);
}

void cmd_swapnames(Relay& r, const char* to, const ArgVector&)
{
    swap_team_names(r.teams);
    reply_swap(r, to, kNamesSwapped);
}

void cmd_swapscores(Relay& r, const char* to, const ArgVector&)
{
    swap_team_scores(r.teams);
    reply_swap(r, to, kScoresSwapped);
}

void cmd_swapteams(Relay& r, const char* to, const ArgVector&)
{
    swap_team_names(r.teams);
    swap_team_scores(r.teams);
    if (!r.settings.servermode)
        swap_player_teams(r);
    reply_swap(r, to, kTeamsSwapped);
}

void cmd_swapplayers(Relay& r, const char* to, const ArgVector&)
{
    swap_player_teams(r);
    reply_banner(r, to);
    replyf(r, to, ":\0031,0 PLAYERS \00312SWAPPED");
}

void cmd_swapplayer(Relay& r, const char* to, const ArgVector& args)
{
    int slot = -1;
    if (args.count >= 2) {
        int id = leading_int(args.word(1));
        if (id >= 0)
            slot = find_player(r, id);
    }
    reply_banner(r, to);
    replyf(r, to, ":\0031,0  ID Team      Name");
    if (slot < 0) {
        for (int i = 0; i < r.players.playercount; ++i)
            if (r.players.slots[i].id != -1)
                reply_player(r, to, r.players.slots[i], false);
        return;
    }
    PlayerRecord& p = r.players.slots[slot];
    if (args.count >= 3) {
        int team = team_from_word(args.word(2));
        if (team != kTeamUnknown)
            p.team = team;
    }
    reply_player(r, to, p, true);
}
