// Kill bookkeeping state beyond the player table: the weapon statistics of the
// current map.
#pragma once

#include <map>

struct KillState {
    // Kills of the current map by weapon number (kills and team kills between two
    // players; suicides and deaths by the world are not weapon kills).
    std::map<int, int> weaponkills;
    // Counted since the relay started (never reset): kills, team kills, suicides.
    long long killstotal = 0;
    long long teamkillstotal = 0;
    long long suicidestotal = 0;
};
