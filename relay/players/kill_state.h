// Kill bookkeeping state beyond the player table: the weapon statistics of the
// current map.
#pragma once

#include <map>

struct Relay;
struct PlayerRecord;

// The kinds the kill hook is told.
inline constexpr int kStatsKillKind = 1;     // a kill (or a death by the world)
inline constexpr int kStatsTeamKillKind = 2; // a team kill
inline constexpr int kStatsSuicideKind = 3;  // a suicide

struct KillState {
    // Kills of the current map by weapon number (kills and team kills between two
    // players; suicides and deaths by the world are not weapon kills).
    std::map<int, int> weaponkills;
    // Counted since the relay started (never reset): kills, team kills, suicides.
    long long killstotal = 0;
    long long teamkillstotal = 0;
    long long suicidestotal = 0;

    // Told of every kill, team kill and suicide counted (killer null for the world), and of every flag event with its player's name as the
    // log wrote it: set by the Relay, for the all-time statistics.
    void (*kill_hook)(Relay& r, int kind, const PlayerRecord* killer, const PlayerRecord* victim, int weapon,
                      int killerteam, int victimteam) = nullptr;
    void (*flag_hook)(Relay& r, const char* name, int event, int team) = nullptr;
};
