// The map clock and the reports: score, map, time limit, score limit, game type,
// and the statistics report that gathers them.
#pragma once

struct Relay;

// The map clock text ("[mm:ss]", or "*mm:ss*" in overtime when counting down);
// empty while usetime is off. The text lives until the next call.
const char* make_time(Relay& r, long long start, long long now, int maptime);

void report_score(Relay& r, const char* target, int mark);
void report_map(Relay& r, const char* target);
void report_timelimit(Relay& r, const char* target);
void report_scorelimit(Relay& r, const char* target);
void report_gametype(Relay& r, const char* target);
// The name of a game type code ("Capture The Flag"; "Unknown" for none).
const char* gametype_name(int code);

// A new game: player statistics, players and team scores start again.
void reset_game(Relay& r);
// "Play on <map> started" (with showplay on), then the game type, score limit
// and time limit: the channel's lines when a game starts again.
void announce_game_start(Relay& r);

// Banner, server, map and game settings, then one line per player grouped by
// team, best first. Resets fragcount. With weaponstats on it ends with the
// weapon statistics, so callers need not send those separately.
void show_stats(Relay& r, const char* target);

// Kills of the current map per weapon, best first. Sends nothing when no weapon
// kill was counted.
void show_weapon_stats(Relay& r, const char* target);
