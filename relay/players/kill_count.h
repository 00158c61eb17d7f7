// Kill and team-kill bookkeeping: counters, team guesses, the words of the kill
// report in the output language.
#pragma once

#include <string>

struct Relay;

// Kinds of kill event.
inline constexpr int kKillOrdinary = 0;
inline constexpr int kKillSelfOrWorld = 1; // by own hand or by the world
inline constexpr int kKillBlow = 5;        // a blow with a weapon

// Counts one kill event of victim by killer (client numbers or name-registered
// ids; killer kWorldId for the world) with a weapon number and one of the kinds
// above (other values act as kKillOrdinary). clocktext prefixes the report line.
void count_kill(Relay& r, int killer, int victim, int weapon, const char* clocktext, int kind);

// The name of a weapon number for the weapon statistics, in the output language
// (langout 0 English, 1 German, 2 Dutch).
std::string weapon_name(int weapon, int langout);
