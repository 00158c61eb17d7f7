#include "relay/gamelog/reports.h"

#include <string>

#include "relay/base/line_buf.h"
#include "relay/relay.h"
#include "relay/base/scoped_flag.h"
#include "relay/base/teams.h"
#include "relay/base/phrases.h"
#include "relay/irc/output.h"
#include "relay/players/stats.h"
#include "relay/players/table.h"
#include "relay/base/text.h"

namespace {

// "[mm:ss]"; minutes run on past 60.
void clock_text(LineBuf& out, long long seconds)
{
    out.setf("[%02lld:%02lld]", seconds / 60, seconds % 60);
}

struct GameTypeName {
    int code;
    const char* name;
};

constexpr GameTypeName kGameTypes[] = {
    {kGameInf, "Infiltration"},
    {kGameDem, "Demolition"},
    {kGameCtf, "Capture The Flag"},
    {kGameDm, "Death Match"},
    {kGameTdm, "Team Death Match"},
};

} // namespace

const char* gametype_name(int code)
{
    for (const GameTypeName& g : kGameTypes)
        if (g.code == code)
            return g.name;
    return "Unknown";
}

const char* make_time(Relay& r, long long start, long long now, int maptime)
{
    // One buffer for the whole program: the result stays valid until the next call.
    static LineBuf clock;
    clock.clear();
    if (!r.settings.usetime)
        return clock.c_str();

    trace(r, 101, "%lld %lld %d\n", start, now, maptime);
    long long elapsed = now - start;
    if (r.settings.timedirection == 1 || (r.settings.timedirection == 0 && maptime == 0)) {
        // A wall clock set back during a map must not show negative minutes.
        // Counting down, a start in the future is a time set longer than the
        // map, and the clock shows that time.
        clock_text(clock, elapsed < 0 ? 0 : elapsed);
    } else if (r.settings.timedirection == 0) {
        trace(r, 101, "make_time(): maptime: %d:%02d elapsed: %lld:%02lld\n", maptime / 60,
              maptime % 60, elapsed / 60, elapsed % 60);
        if (maptime >= elapsed)
            clock_text(clock, maptime - elapsed);
        else
            clock.setf("*%02lld:%02lld*", (elapsed - maptime) / 60, (elapsed - maptime) % 60);
    }
    return clock.c_str();
}

void report_score(Relay& r, const char* target, int mark)
{
    const ColourStyles& c = r.colours;
    const char* style = c.gamescore.c_str();
    LineBuf line;

    if (r.game.showscoretext) {
        line.start(style).addf(" SCORE: %s", r.game.showscoretext->c_str());
        // Only this line carries the mark, never the team score line below.
        const ScopedFlag marked(r.game.eventline, mark != 0);
        send_privmsg(r, target, line.c_str());
    }

    int red = r.teams.redscore();
    int blue = r.teams.bluescore();
    if (r.settings.teammode) {
        std::string redname = strip_colours(r.settings.osp, r.teams.redteamname.c_str());
        std::string bluename = strip_colours(r.settings.osp, r.teams.blueteamname.c_str());
        line.start(style).addf(" SCORE:%c%d %s %c%s-%c%d %s%c%s:%c%d %d %c%s-%c%d %d", kColour,
                               c.redteamcolor, redname.c_str(), kColour, style, kColour, c.blueteamcolor,
                               bluename.c_str(), kColour, style, kColour, c.redteamcolor, red, kColour, style,
                               kColour, c.blueteamcolor, blue);
    } else {
        line.start(style).add(" SCORE: ");
        translate_colours(r.settings.osp, r.teams.redteamname.c_str(), line);
        line.addf(" %c%s- ", kColour, style);
        translate_colours(r.settings.osp, r.teams.blueteamname.c_str(), line);
        line.addf(" %c%s:%c%d %d %c%s-%c%d %d", kColour, style, kColour, c.redteamcolor, red,
                  kColour, style, kColour, c.blueteamcolor, blue);
    }
    send_privmsg(r, target, line.c_str());
}

void report_map(Relay& r, const char* target)
{
    if (!r.game.map)
        return;
    LineBuf line;
    line.start(r.colours.mapinfo).add(" ").add(phrase(PH_MAP, r.settings.langout)).add(*r.game.map);
    send_privmsg(r, target, line.c_str());
}

void report_timelimit(Relay& r, const char* target)
{
    if (r.game.timelimit == 0.0)
        return;
    LineBuf line;
    line.start(r.colours.mapinfo).addf(" Timelimit: %2.2f", r.game.timelimit);
    send_privmsg(r, target, line.c_str());
}

void report_scorelimit(Relay& r, const char* target)
{
    if (r.game.scorelimit == 0)
        return;
    LineBuf line;
    line.start(r.colours.mapinfo).addf(" Scorelimit: %d", r.game.scorelimit);
    send_privmsg(r, target, line.c_str());
}

void report_gametype(Relay& r, const char* target)
{
    if (r.game.gametype == kGameNone)
        return;
    LineBuf line;
    line.start(r.colours.mapinfo).add(" ").add(phrase(PH_CURRENT_GAME_TYPE, r.settings.langout));
    line.add(gametype_name(r.game.gametype));
    send_privmsg(r, target, line.c_str());
}

void show_weapon_stats(Relay& r, const char* target)
{
    send_weapon_stats(r, target, stats_forced(r, target));
}

void show_stats(Relay& r, const char* target)
{
    r.game.fragcount = 0;
    if (r.settings.statsafter == 0 && r.game.statsonrequest == 0)
        return; // automatic reports are off
    sort_players(r);
    const int forced = stats_forced(r, target);

    LineBuf line;
    line.start(kBannerColour).addf(" %s", kBanner);
    send_privmsg(r, target, line.c_str(), 0);

    const char* host = cstr(r.settings.serverhost);
    const char* port = cstr(r.settings.serverport);
    if (r.query.sv_hostname || (host && port)) {
        line.start(r.colours.botinfo).add(" Server:");
        send_privmsg(r, target, line.c_str(), 0);
        line.start(r.colours.default_);
        if (r.query.sv_hostname)
            line.add(*r.query.sv_hostname);
        if (host && port)
            line.addf("%c%c%s [%s:%s]", kPlain, kColour, r.colours.default_.c_str(), host, port);
        send_privmsg(r, target, line.c_str(), 0);
    }

    report_map(r, target);
    report_gametype(r, target);
    report_scorelimit(r, target);
    report_timelimit(r, target);

    line.start(r.colours.gamescorehead).add(" Player stats:");
    send_privmsg(r, target, line.c_str(), forced);
    line.start(r.colours.gamescorehead).add("T Kil/Dth KDR  [TK/SK/KT] Sco Png PlayerName");
    send_privmsg(r, target, line.c_str(), forced);

    for (int team = kTeamUnknown; team <= kTeamSpectator; ++team)
        for (int i = 0; i < r.players.playercount; ++i) {
            const PlayerRecord& p = r.players.slots[i];
            if (p.id != -1 && p.team == team && p.name)
                send_player_line(r, target, p, forced);
        }

    if (r.settings.weaponstats)
        send_weapon_stats(r, target, forced);
}

void reset_game(Relay& r)
{
    reset_player_stats(r);
    clear_players(r);
    r.teams.redscore() = 0;
    r.teams.bluescore() = 0;
}

void announce_game_start(Relay& r)
{
    const GameState& g = r.game;
    const char* to = cstr(r.settings.channel);
    if (r.settings.showplay) {
        const int lang = r.settings.langout;
        LineBuf line;
        line.start(r.colours.mapstart, g.clocktext);
        if (g.map)
            line.addf(" %s%s %s", phrase(PH_PLAY_ON, lang), g.map->c_str(), phrase(PH_STARTED, lang));
        else
            line.addf(" %smap %s", phrase(PH_PLAY_ON, lang), phrase(PH_STARTED, lang));
        send_privmsg(r, to, line.c_str());
    }
    report_gametype(r, to);
    report_scorelimit(r, to);
    report_timelimit(r, to);
}
