// The lines of the statistics report: one per player, and the weapons of the map.
#include "relay/players/stats.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "relay/base/line_buf.h"
#include "relay/relay.h"
#include "relay/irc/output.h"
#include "relay/players/kill_count.h"
#include "relay/players/table.h"
#include "relay/base/text.h"

// Statistics lines pass silent mode when asked for, or when they go to a nick
// rather than the channel.
int stats_forced(const Relay& r, const char* target)
{
    if (r.game.statsonrequest == 1)
        return 1;
    return r.settings.silent && safe_strcmp(target, cstr(r.settings.channel)) != 0 ? 1 : 0;
}

void send_weapon_stats(Relay& r, const char* target, int forced)
{
    std::vector<std::pair<int, int>> rows(r.kills.weaponkills.begin(), r.kills.weaponkills.end());
    rows.erase(std::remove_if(rows.begin(), rows.end(), [](const auto& w) { return w.second <= 0; }), rows.end());
    if (rows.empty())
        return;
    // Most kills first; equal counts in weapon number order.
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second > b.second; });

    LineBuf line;
    line.start(r.colours.gamescorehead).add(" Weapon stats:");
    send_privmsg(r, target, line.c_str(), forced);
    for (const auto& [weapon, kills] : rows) {
        line.start(r.colours.gamescore).addf("%3d ", kills).add(weapon_name(weapon, r.settings.langout));
        send_privmsg(r, target, line.c_str(), forced);
    }
}

void send_player_line(Relay& r, const char* target, const PlayerRecord& p, int forced)
{
    const std::string name = strip_colours(r.settings.osp, p.name->c_str());
    LineBuf line;
    line.start(r.colours.gamescore);
    const char* gs = r.colours.gamescore.c_str();
    switch (p.team) {
    case kTeamRed:
        line.addf("%c%dR%c%s ", kColour, r.colours.redteamcolor, kColour, gs);
        break;
    case kTeamBlue:
        line.addf("%c%dB%c%s ", kColour, r.colours.blueteamcolor, kColour, gs);
        break;
    case kTeamSpectator:
        line.addf("%c%dS%c%s ", kColour, r.colours.specteamcolor, kColour, gs);
        break;
    default:
        line.addf("%c%dU%c%s ", kColour, r.colours.unknownteamcolor, kColour, gs);
        break;
    }
    if (p.deaths != 0)
        line.addf("%3d/%3d %1.2f ", p.kills, p.deaths, static_cast<double>(p.kills) / p.deaths);
    else
        line.addf("%3d/%3d -.-- ", p.kills, p.deaths);
    line.addf("[%2d/%2d/%2d] %3d %3d ", p.teamkills, p.suicides, p.teamkilled, p.score, p.ping);
    if (r.settings.servermode)
        line.add(name);
    else
        line.addf("%c%d%s", kColour, team_colour(r, p.team), name.c_str());
    send_privmsg(r, target, line.c_str(), forced);
}

