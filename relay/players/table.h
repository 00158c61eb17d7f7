// The player table (1000 slots, high-water playercount) and the two teams.
#pragma once

#include <limits>
#include <string>

#include "relay/base/settings.h"
#include "relay/base/teams.h"

struct Relay;

inline constexpr int kMaxPlayers = 1000;
inline constexpr int kWorldId = 1022; // the "killer" of deaths by the world

struct PlayerRecord {
    Text name;
    int id = -1;        // client number, or slot index for name-registered players; -1 free
    int team = kTeamUnknown;
    int score = 0;
    int ping = 0;
    int kills = 0;
    int deaths = 0;
    int teamkills = 0;
    int suicides = 0;
    int teamkilled = 0;
    int tp = 0;         // team-kill suspicion count
    double ratio = 0.0; // sort key, valid right after sort_players
    // Known from a status reply only, not from the log: its slot goes to a player
    // of the log when the table is full.
    bool fromreply = false;
    bool queried = false; // score and ping are a status reply's
    Text coloured;        // the name with its game colours, when the log showed them
};

struct TeamState {
    std::string redteamname = "Red";
    std::string blueteamname = "Blue";
    Text redclantag = std::string("Red");
    Text blueclantag = std::string("Blue");
    int teamscores[10] = {0}; // by team number
    int& redscore() { return teamscores[kTeamRed]; }
    int& bluescore() { return teamscores[kTeamBlue]; }
    int redscore() const { return teamscores[kTeamRed]; }
    int bluescore() const { return teamscores[kTeamBlue]; }
    // A round won: one point more. A score set by hand to the largest number
    // stays there instead of wrapping round to a negative one.
    void add_point(int team)
    {
        if (teamscores[team] < std::numeric_limits<int>::max())
            ++teamscores[team];
    }
};

struct PlayerTable {
    PlayerRecord slots[kMaxPlayers];
    int playercount = 0;
};

// A slot held by a player known from status replies only (the first), or -1.
int reply_only_slot(const PlayerTable& t);

// By client number.
void add_player(Relay& r, int id);
void delete_player(Relay& r, int id);
void set_player_name(Relay& r, int id, const char* name);
// The name as the game wrote it, with its colour codes (shown by the status page).
void set_player_colours(Relay& r, int id, const std::string& coloured);
void set_player_team(Relay& r, int id, int team);
void set_player_score(Relay& r, int id, int score, int ping);
int team_of(const Relay& r, int id);
int find_player(const Relay& r, int id);
const char* player_name(const Relay& r, int id);

// By name (first slot in use with that exact name).
void set_ping_by_name(Relay& r, const char* name, int ping);
void set_score_by_name(Relay& r, const char* name, int score);
void set_team_by_name(Relay& r, const char* name, int team);
int team_by_name(Relay& r, const char* name);

// Whole table, with the weapon statistics of its players.
void clear_players(Relay& r);
// The per-map statistics: every player's counters and the weapon statistics.
void reset_player_stats(Relay& r);
// The weapon statistics of the map alone.
void reset_weapon_stats(Relay& r);
void swap_player_teams(Relay& r);
void sort_players(Relay& r);
int team_colour(const Relay& r, int team);
