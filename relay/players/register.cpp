// Players known only by name (console log, status replies): a name seen for the
// first time gets a slot; kills between named players go on to the bookkeeping.
#include "relay/players/register.h"

#include <string_view>

#include "relay/relay.h"
#include "relay/base/teams.h"
#include "relay/base/text.h"
#include "relay/players/kill_count.h"

namespace {

bool id_in_use(const PlayerTable& t, int id)
{
    for (int i = 0; i < t.playercount; ++i)
        if (t.slots[i].id == id)
            return true;
    return false;
}

// The id for a name registered in slot index: the index itself, unless a record
// already holds it (sort_players moves records, add_player uses client numbers);
// then the lowest id nobody holds. Two records with one id would send later kills
// to the wrong player. Never the world's id.
int fresh_id(const PlayerTable& t, int index)
{
    if (index != kWorldId && !id_in_use(t, index))
        return index;
    for (int id = 0;; ++id)
        if (id != kWorldId && !id_in_use(t, id))
            return id;
}

// The slot for a new name: the first free one below playercount, else the one at
// playercount. A full table gives a name from the log the slot of a player known
// from status replies only; otherwise -1.
int choose_slot(const PlayerTable& t, bool fromlog)
{
    for (int i = 0; i < t.playercount; ++i)
        if (t.slots[i].id == -1)
            return i;
    if (t.playercount < kMaxPlayers)
        return t.playercount;
    return fromlog ? reply_only_slot(t) : -1;
}

void register_name(Relay& r, int index, const char* name, bool fromreply)
{
    PlayerTable& t = r.players;
    PlayerRecord& p = t.slots[index];
    p.id = -1; // not counted as in use while its id is chosen
    PlayerRecord fresh;
    fresh.name = copy_string(name);
    fresh.id = fresh_id(t, index);
    fresh.fromreply = fromreply;
    p = std::move(fresh);

    if (r.settings.useclantags) {
        trace(r, 11, "clantag check [%s]\r\n", name);
        const char* red = cstr(r.teams.redclantag);
        if (red && find_nocase(name, red)) {
            trace(r, 11, "clantag check [%s] matches red [%s]\r\n", name, red);
            p.team = kTeamRed;
        }
        const char* blue = cstr(r.teams.blueclantag);
        if (blue && find_nocase(name, blue)) {
            trace(r, 11, "clantag check [%s] matches blue [%s]\r\n", name, blue);
            p.team = kTeamBlue;
        }
    }
    if (index == t.playercount)
        ++t.playercount;
}

int find_name(const PlayerTable& t, const char* name)
{
    const std::string_view wanted(name); // measured once, not once a slot
    for (int i = 0; i < t.playercount; ++i)
        if (t.slots[i].id != -1 && t.slots[i].name && *t.slots[i].name == wanted)
            return i;
    return -1;
}

} // namespace

int named_player_event(Relay& r, const char* name1, const char* name2, int kind, int weapon)
{
    PlayerTable& t = r.players;
    if (kind == kEventRename)
        trace(r, 11, "rename [%s] -> [%s]\r\n", name1 ? name1 : "", name2 ? name2 : "");
    if (!name1 || !name2)
        return 0;
    const bool fromreply = kind == kEventReplyRegister;
    if (fromreply)
        kind = kEventRegister;
    const bool fromlog = !fromreply;

    int victim = -1;
    int killer = -1;
    if (t.playercount == 0) {
        if (kind == kEventRename)
            return 0;
        register_name(r, 0, name1, fromreply);
        victim = 0;
        trace(r, 11, "NOP empty id=%d vf=%d\r\n", t.slots[0].id, 0);
        if (kind == kEventRegister)
            return t.slots[0].id;
        if (safe_strcmp(name1, name2) != 0) {
            killer = choose_slot(t, fromlog);
            if (killer < 0)
                return 0;
            register_name(r, killer, name2, fromreply);
        } else {
            killer = victim;
        }
    } else {
        victim = find_name(t, name1);
        killer = find_name(t, name2);
        // A player the log names is the log's from now on: a full table must not
        // give his slot to the other side of this very event.
        if (fromlog && killer >= 0)
            t.slots[killer].fromreply = false;
        if (victim < 0) {
            if (kind == kEventRename)
                return 0; // a rename of a name we never saw
            victim = choose_slot(t, fromlog);
            if (victim < 0)
                return 0;
            register_name(r, victim, name1, fromreply);
            trace(r, 11, "NOP not empty not found id=%d vid=%d vf=%d\r\n", t.slots[victim].id, victim,
                  victim);
            if (kind == kEventRegister)
                return t.slots[victim].id;
        } else if (kind == kEventRename) {
            t.slots[victim].name = copy_string(name2);
            t.slots[victim].fromreply = false;
            return 0;
        } else {
            if (fromlog)
                t.slots[victim].fromreply = false; // the log knows this player now
            trace(r, 11, "NOP not empty found id=%d vid=%d vf=%d\r\n", t.slots[victim].id,
                  t.slots[victim].id, victim);
            if (kind == kEventRegister)
                return t.slots[victim].id;
        }
        if (safe_strcmp(name1, name2) == 0) {
            killer = victim;
        } else if (killer < 0) {
            killer = choose_slot(t, fromlog);
            if (killer < 0)
                return 0; // full table: the kill is not counted
            register_name(r, killer, name2, fromreply);
        } else {
            t.slots[killer].fromreply = false;
        }
    }
    count_kill(r, t.slots[killer].id, t.slots[victim].id, weapon, r.game.clocktext.c_str(), kind);
    return 0;
}
