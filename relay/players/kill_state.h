// Kill bookkeeping state beyond the player table: the weapon statistics of the
// current map.
#pragma once

#include <map>

#include "relay/base/phrases.h"

struct Relay;
struct PlayerRecord;

// The kinds the kill hook is told.
inline constexpr int kStatsKillKind = 1;     // a kill (or a death by the world)
inline constexpr int kStatsTeamKillKind = 2; // a team kill
inline constexpr int kStatsSuicideKind = 3;  // a suicide

// The flag events the flag hook is told, by their index here: the phrase that
// reports one, and its name in the all-time statistics.
struct FlagEvent {
    PhraseId phrase;
    const char* name;
};
inline constexpr FlagEvent kFlagEvents[] = {
    {PH_RED_FLAG_TAKEN, "red_flag_taken"},   {PH_RED_FLAG_DROPPED, "red_flag_dropped"},
    {PH_RED_FLAG_CAPTURED, "red_flag_captured"}, {PH_BLUE_FLAG_TAKEN, "blue_flag_taken"},
    {PH_BLUE_FLAG_DROPPED, "blue_flag_dropped"}, {PH_BLUE_FLAG_CAPTURED, "blue_flag_captured"},
};

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
