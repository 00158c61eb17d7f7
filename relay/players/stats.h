// The lines of the statistics report: one per player, and the weapons of the map.
#pragma once

struct Relay;
struct PlayerRecord;

// Statistics lines pass silent mode when asked for, or when they go to a nick
// rather than the channel (the "forced" of send_privmsg).
int stats_forced(const Relay& r, const char* target);

// Kills of the current map per weapon, best first. Sends nothing when no weapon
// kill was counted.
void send_weapon_stats(Relay& r, const char* target, int forced);

// One player's line: team, kills/deaths, ratio, team kills, score, ping, name.
void send_player_line(Relay& r, const char* target, const PlayerRecord& p, int forced);
