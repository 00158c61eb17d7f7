// The player statistics report and the report of the map's weapon statistics.
#pragma once

struct Relay;

// Banner, server, map and game settings, then one line per player grouped by
// team, best first. Resets fragcount. With weaponstats on it ends with the
// weapon statistics, so callers need not send those separately.
void show_stats(Relay& r, const char* target);

// Kills of the current map per weapon, best first. Sends nothing when no weapon
// kill was counted.
void show_weapon_stats(Relay& r, const char* target);
