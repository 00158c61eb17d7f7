#include "relay/players/table.h"

#include <utility>

#include "relay/relay.h"
#include "relay/base/text.h"
#include "relay/base/trace.h"

namespace {

// The slot index of a player in use with this id, -1 when there is none. A free
// slot is never found this way, so an id of -1 (the free mark) matches nothing.
int slot_of(const PlayerTable& t, int id)
{
    if (id == -1)
        return -1;
    for (int i = 0; i < t.playercount; ++i)
        if (t.slots[i].id == id)
            return i;
    return -1;
}

// The first slot in use whose name equals name (case-sensitive), tracing each
// comparison at the given level.
int slot_by_name(Relay& r, const char* name, int level)
{
    PlayerTable& t = r.players;
    for (int i = 0; i < t.playercount; ++i) {
        PlayerRecord& p = t.slots[i];
        if (p.id == -1)
            continue;
        trace(r, level, "%s = %s?\r\n", p.name ? p.name->c_str() : "(null)", name ? name : "(null)");
        if (safe_strcmp(cstr(p.name), name) == 0)
            return i;
    }
    return -1;
}

// A slot taken by a newly connecting player: everything zero, name absent.
void fill_slot(PlayerRecord& p, int id)
{
    p = PlayerRecord{};
    p.id = id;
}

// Whether a beats b in the statistics order.
bool ranks_above(const PlayerRecord& a, const PlayerRecord& b)
{
    if (a.ratio != b.ratio)
        return a.ratio > b.ratio;
    if (a.kills != b.kills)
        return a.kills > b.kills;
    return a.deaths < b.deaths;
}

} // namespace

int reply_only_slot(const PlayerTable& t)
{
    for (int i = 0; i < t.playercount; ++i)
        if (t.slots[i].id != -1 && t.slots[i].fromreply)
            return i;
    return -1;
}

void add_player(Relay& r, int id)
{
    PlayerTable& t = r.players;
    if (id == -1)
        return; // the free-slot mark is no client number
    int i = slot_of(t, id);
    if (i >= 0) {
        // A reconnect under the same client number: same slot, fresh start.
        fill_slot(t.slots[i], id);
        return;
    }
    for (i = 0; i < t.playercount; ++i) {
        if (t.slots[i].id == -1) {
            fill_slot(t.slots[i], id);
            return;
        }
    }
    if (t.playercount >= kMaxPlayers) {
        // The log's players always fit: one known from status replies only makes room.
        i = reply_only_slot(t);
        if (i >= 0) {
            trace(r, 11, "player [%d] takes the slot of a status-reply player\r\n", id);
            fill_slot(t.slots[i], id);
            return;
        }
        trace(r, 11, "MAXIMUM NUMBER OF PLAYERS REACHED [%d]\r\n", kMaxPlayers);
        return;
    }
    fill_slot(t.slots[t.playercount], id);
    ++t.playercount;
}

void delete_player(Relay& r, int id)
{
    int i = slot_of(r.players, id);
    if (i < 0)
        return;
    trace(r, 11, "delete player [%d] i=%d\r\n", id, i);
    r.players.slots[i] = PlayerRecord{};
}

void set_player_colours(Relay& r, int id, const std::string& coloured)
{
    int i = slot_of(r.players, id);
    if (i >= 0 && (!r.players.slots[i].coloured || *r.players.slots[i].coloured != coloured))
        r.players.slots[i].coloured = coloured;
}

void set_player_name(Relay& r, int id, const char* name)
{
    int i = slot_of(r.players, id);
    if (i < 0)
        return;
    PlayerRecord& p = r.players.slots[i];
    if (safe_strcmp(cstr(p.name), name) == 0)
        return;
    p.name = copy_string(name);
}

void set_player_team(Relay& r, int id, int team)
{
    trace(r, 11, "CPT[%d] [%d]\r\n", id, team);
    int i = slot_of(r.players, id);
    if (i >= 0)
        r.players.slots[i].team = team;
}

void set_player_score(Relay& r, int id, int score, int ping)
{
    int i = slot_of(r.players, id);
    if (i < 0)
        return;
    r.players.slots[i].score = score;
    r.players.slots[i].ping = ping;
}

int team_of(const Relay& r, int id)
{
    int i = slot_of(r.players, id);
    return i < 0 ? kTeamUnknown : r.players.slots[i].team;
}

int find_player(const Relay& r, int id) { return slot_of(r.players, id); }

const char* player_name(const Relay& r, int id)
{
    int i = slot_of(r.players, id);
    return i < 0 ? nullptr : cstr(r.players.slots[i].name);
}

void set_ping_by_name(Relay& r, const char* name, int ping)
{
    int i = slot_by_name(r, name, 11);
    if (i >= 0) {
        r.players.slots[i].ping = ping;
        r.players.slots[i].queried = true;
    }
}

void set_score_by_name(Relay& r, const char* name, int score)
{
    int i = slot_by_name(r, name, 11);
    if (i >= 0)
        r.players.slots[i].score = score;
}

void set_team_by_name(Relay& r, const char* name, int team)
{
    int i = slot_by_name(r, name, 11);
    if (i >= 0)
        r.players.slots[i].team = team;
}

int team_by_name(Relay& r, const char* name)
{
    // The team is read from the slot that matched. Going through its id instead
    // would give the wrong team when a name-registered player's id (its slot
    // index) equals the client number of a player in a lower slot.
    int i = slot_by_name(r, name, 101);
    return i < 0 ? kTeamUnknown : r.players.slots[i].team;
}

void clear_players(Relay& r)
{
    PlayerTable& t = r.players;
    for (int i = 0; i < t.playercount; ++i)
        t.slots[i] = PlayerRecord{};
    t.playercount = 0;
    // Weapon kills are kills of these players: they go with them, or a log read
    // again would count every kill a second time.
    reset_weapon_stats(r);
}

void reset_player_stats(Relay& r)
{
    PlayerTable& t = r.players;
    for (int i = 0; i < t.playercount; ++i) {
        PlayerRecord& p = t.slots[i];
        p.kills = 0;
        p.deaths = 0;
        p.score = 0;
        p.ping = 0;
        p.teamkills = 0;
        p.suicides = 0;
        p.teamkilled = 0;
    }
    // The per-map weapon statistics go with the player statistics.
    reset_weapon_stats(r);
}

void reset_weapon_stats(Relay& r)
{
    r.kills.weaponkills.clear();
}

void swap_player_teams(Relay& r)
{
    PlayerTable& t = r.players;
    for (int i = 0; i < t.playercount; ++i) {
        int& team = t.slots[i].team;
        if (team == kTeamRed)
            team = kTeamBlue;
        else if (team == kTeamBlue)
            team = kTeamRed;
    }
}

void sort_players(Relay& r)
{
    PlayerTable& t = r.players;
    for (int i = 0; i < t.playercount; ++i) {
        PlayerRecord& p = t.slots[i];
        if (p.id == -1)
            p.ratio = -99.99; // free slots sink to the end
        else if (p.deaths != 0)
            p.ratio = static_cast<double>(p.kills) / p.deaths;
        else if (p.kills != 0)
            p.ratio = 99.99;
        else
            p.ratio = 0.0;
    }
    // Selection sort: a full tie keeps the earlier slot first.
    for (int i = 0; i < t.playercount; ++i) {
        int best = i;
        for (int j = i + 1; j < t.playercount; ++j)
            if (ranks_above(t.slots[j], t.slots[best]))
                best = j;
        if (best != i)
            std::swap(t.slots[i], t.slots[best]);
    }
}

int team_colour(const Relay& r, int team)
{
    switch (team) {
    case kTeamRed:
        return r.colours.redteamcolor;
    case kTeamBlue:
        return r.colours.blueteamcolor;
    case kTeamSpectator:
        return r.colours.specteamcolor;
    default:
        return r.colours.unknownteamcolor;
    }
}
