// All-time statistics in an SQLite database (the colour file's statsdb=PATH):
// every kill, death, team kill and suicide the kill bookkeeping counts, the flag
// events, and each player's totals, kept across runs.
//
// Events wait in memory with the place of their log line and are written in
// batches, one transaction each, together with the offset just after the last
// line handled in that log file. A log file is known again by its device, inode
// and the hash of its first line (and the line before the stored offset must
// still be the one stored), and its lines up to the stored offset are never
// counted again: restarts, !restart, a cut or replaced log and a relay killed
// mid-way leave the database as one uninterrupted run would.
#pragma once

#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

struct Relay;
struct PlayerRecord;
struct sqlite3;
struct sqlite3_stmt;

// An event's kind: the kill hook's kinds, or this plus the index in kFlagEvents.
inline constexpr int kStatsFlag = 16;

// The schema this relay writes; older ones are upgraded in place.
inline constexpr int kStatsSchema = 1;

// Batching: a write once the first unwritten line is this old or this many events
// wait; after a fault the next try this much later; events kept at most while the
// database cannot be written (beyond that no more lines are taken until the log is
// read again, and that is said); a line brings at most this many events.
inline constexpr long long kStatsWriteMs = 1000;
inline constexpr std::size_t kStatsBatchEvents = 100000;
inline constexpr long long kStatsRetryMs = 5000;
inline constexpr std::size_t kStatsMaxPending = 4000000;
inline constexpr std::size_t kStatsEventsPerLine = 4;

struct StatsEvent {
    int file = 0;           // index into StatsDb::files
    long long lineend = 0;  // offset just after its log line
    long long time = 0;     // when the line was read (seconds since the epoch)
    int kind = 0;           // kStatsKillKind ..., or kStatsFlag + the flag event
    int killer = -1;        // index into StatsDb::names; -1 the world / none
    int victim = -1;        // the victim, or the flag event's player
    int weapon = 0;         // weapon number
    int map = -1;           // index into StatsDb::maps; -1 unknown
    int killerteam = 0;
    int victimteam = 0;     // or the flag event's team
};

// A log file as the database knows it.
struct StatsFile {
    unsigned long long device = 0, inode = 0, firsthash = 0;
    long long dbid = 0;      // its row in log_files (0: not written yet)
    long long stored = 0;    // offset written to the database
    long long accepted = 0;  // offset of the last line taken (written or waiting)
    std::string lastline;    // the line ending at accepted
    long long floor = 0;     // lines ending at or before it were in the database already
    bool resolved = false;   // looked up in (or added to) the open database
    bool fresh = false;      // a cut log begun again: never the stored record
};

// A reading of the log: where it goes once its first line is seen.
struct StatsReading {
    int number = 0;
    unsigned long long device = 0, inode = 0;
    int file = -1;           // index into files, -1 not known (yet)
    int cause = 0;           // why it began (kReadingOpened ...)
};

struct StatsName {
    std::string name;        // without colour codes: the key
    std::string coloured;    // the last coloured name seen
    long long dbid = 0;
};

// One player's all-time line.
struct StatsTotals {
    std::string name;
    std::string coloured;
    long long kills = 0, deaths = 0, teamkills = 0, suicides = 0;
    long long first_seen = 0, last_seen = 0;
    int favourite = -1;      // weapon with the most kills, -1 none
    long long favouritekills = 0;
};

struct StatsDb {
    StatsDb() = default;
    StatsDb(const StatsDb&) = delete;
    StatsDb& operator=(const StatsDb&) = delete;
    ~StatsDb();

    std::string path;        // the database open (or being retried)
    sqlite3* db = nullptr;
    std::vector<sqlite3_stmt*> statements;
    std::vector<StatsFile> files;
    std::deque<StatsReading> readings;
    int linefile = -1;       // the file of the line being handled; -1 not counted
    bool taking = false;     // the line being handled is new to the database
    std::vector<StatsName> names;
    std::unordered_map<std::string, int> byname;
    std::vector<std::string> maps;
    std::vector<long long> mapids;
    std::unordered_map<std::string, int> bymap;
    int lastmap = -1;           // the map of the last event
    std::vector<StatsEvent> events;
    long long dirtysince = -1;  // ms of the first line not yet written, -1 none
    long long retryat = 0;      // ms before which no open or write is tried
    std::string fault;          // the last fault said, "" none
    bool held = false;          // too much waits: no more lines taken in this reading
    std::string keybuf;         // scratch
    std::vector<StatsTotals> top; // the all-time top 10 after the last write
};

bool statsdb_configured(const Relay& r);

// The follower's calls: a new reading begins; a line goes to its processor.
void statsdb_reading(Relay& r, int reading, int cause);
void statsdb_line(Relay& r, const char* line, int len);
// The kill bookkeeping's call for each kill, team kill or suicide it counted;
// killer null for the world.
void statsdb_kill(Relay& r, int kind, const PlayerRecord* killer, const PlayerRecord* victim, int weapon,
                  int killerteam, int victimteam);
// A flag event (index into kFlagEvents) of a player (name as in the log) of team.
void statsdb_flag(Relay& r, const char* name, int event, int team);

// The main loop's duty: opens the database (again) and writes what is due.
void statsdb_pass(Relay& r);
// When statsdb_pass has work next (ms), or -1.
long long statsdb_due_ms(const Relay& r);
// Writes everything waiting now; false when it could not.
bool statsdb_flush(Relay& r);
// Writes what waits and closes the database (the program ends).
void statsdb_close(Relay& r);

// The n best players of all time by kills (fewer deaths first on equal kills).
std::vector<StatsTotals> statsdb_top(Relay& r, int n);
// One player's line by name without colours (exact, else ignoring case).
bool statsdb_player(Relay& r, const std::string& name, StatsTotals& out);
