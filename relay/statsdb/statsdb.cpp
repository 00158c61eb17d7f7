#include "relay/statsdb/statsdb.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "relay/base/teams.h"
#include "relay/base/text.h"
#include "relay/gamelog/follower.h"
#include "relay/players/kill_count.h"
#include "relay/players/kill_state.h"
#include "relay/players/table.h"
#include "relay/relay.h"

namespace {

// The schema, version by version: each step takes the database from the version
// before it to its own. A new version adds a step; databases of an older one are
// taken through the steps they miss, in one transaction.
constexpr const char* kSchemaSteps[] = {
    // 1
    "CREATE TABLE log_files ("
    " id INTEGER PRIMARY KEY,"
    " device INTEGER NOT NULL,"
    " inode INTEGER NOT NULL,"
    " first_line_hash INTEGER NOT NULL,"
    " offset INTEGER NOT NULL DEFAULT 0,"
    " last_line_hash INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX log_files_identity ON log_files(device, inode, first_line_hash);"
    "CREATE TABLE maps (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);"
    "CREATE TABLE weapons (id INTEGER PRIMARY KEY, name TEXT NOT NULL);"
    "CREATE TABLE players ("
    " id INTEGER PRIMARY KEY,"
    " name TEXT NOT NULL UNIQUE,"
    " coloured_name TEXT NOT NULL,"
    " first_seen INTEGER NOT NULL,"
    " last_seen INTEGER NOT NULL,"
    " kills INTEGER NOT NULL DEFAULT 0,"
    " deaths INTEGER NOT NULL DEFAULT 0,"
    " teamkills INTEGER NOT NULL DEFAULT 0,"
    " suicides INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX players_by_kills ON players(kills DESC, deaths, name);"
    "CREATE TABLE kills ("
    " id INTEGER PRIMARY KEY,"
    " log_file INTEGER NOT NULL REFERENCES log_files(id),"
    " line_end INTEGER NOT NULL,"
    " read_at INTEGER NOT NULL,"
    " kind TEXT NOT NULL,"
    " killer INTEGER REFERENCES players(id),"
    " victim INTEGER NOT NULL REFERENCES players(id),"
    " weapon INTEGER NOT NULL REFERENCES weapons(id),"
    " map INTEGER REFERENCES maps(id),"
    " killer_team TEXT,"
    " victim_team TEXT);"
    "CREATE TABLE flags ("
    " id INTEGER PRIMARY KEY,"
    " log_file INTEGER NOT NULL REFERENCES log_files(id),"
    " line_end INTEGER NOT NULL,"
    " read_at INTEGER NOT NULL,"
    " event TEXT NOT NULL,"
    " player INTEGER NOT NULL REFERENCES players(id),"
    " team TEXT,"
    " map INTEGER REFERENCES maps(id));"
    "CREATE TABLE player_weapons ("
    " player INTEGER NOT NULL REFERENCES players(id),"
    " weapon INTEGER NOT NULL REFERENCES weapons(id),"
    " kills INTEGER NOT NULL,"
    " PRIMARY KEY (player, weapon)) WITHOUT ROWID;"
    "CREATE VIEW player_totals AS"
    " SELECT name, kills, deaths, teamkills, suicides, last_seen FROM players;",
};
constexpr int kSchemaVersion = static_cast<int>(std::size(kSchemaSteps));
static_assert(kSchemaVersion == kStatsSchema);

enum Stmt {
    kFindFile,
    kAddFile,
    kSetFile,
    kAddPlayer,
    kFindPlayer,
    kTouchPlayer,
    kAddMap,
    kFindMap,
    kAddWeapon,
    kAddKill,
    kAddFlag,
    kAddWeaponKills,
    kTop,
    kPlayerExact,
    kPlayerNoCase,
    kFavourite,
    kStmtCount
};

constexpr const char* kStatements[kStmtCount] = {
    "SELECT id, offset, last_line_hash FROM log_files WHERE device = ? AND inode = ? AND first_line_hash = ?"
    " ORDER BY id DESC LIMIT 1",
    "INSERT INTO log_files (device, inode, first_line_hash) VALUES (?, ?, ?)",
    "UPDATE log_files SET offset = ?, last_line_hash = ? WHERE id = ?",
    "INSERT INTO players (name, coloured_name, first_seen, last_seen) VALUES (?, ?, ?, ?)"
    " ON CONFLICT (name) DO NOTHING",
    "SELECT id FROM players WHERE name = ?",
    "UPDATE players SET kills = kills + ?, deaths = deaths + ?, teamkills = teamkills + ?,"
    " suicides = suicides + ?, last_seen = max(last_seen, ?), first_seen = min(first_seen, ?),"
    " coloured_name = ? WHERE id = ?",
    "INSERT INTO maps (name) VALUES (?) ON CONFLICT (name) DO NOTHING",
    "SELECT id FROM maps WHERE name = ?",
    "INSERT INTO weapons (id, name) VALUES (?, ?) ON CONFLICT (id) DO NOTHING",
    "INSERT INTO kills (log_file, line_end, read_at, kind, killer, victim, weapon, map, killer_team, victim_team)"
    " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
    "INSERT INTO flags (log_file, line_end, read_at, event, player, team, map) VALUES (?, ?, ?, ?, ?, ?, ?)",
    "INSERT INTO player_weapons (player, weapon, kills) VALUES (?, ?, ?)"
    " ON CONFLICT (player, weapon) DO UPDATE SET kills = kills + excluded.kills",
    "SELECT name, coloured_name, kills, deaths, teamkills, suicides, first_seen, last_seen FROM players"
    " ORDER BY kills DESC, deaths, name LIMIT ?",
    "SELECT id, name, coloured_name, kills, deaths, teamkills, suicides, first_seen, last_seen FROM players"
    " WHERE name = ?",
    "SELECT id, name, coloured_name, kills, deaths, teamkills, suicides, first_seen, last_seen FROM players"
    " WHERE name = ? COLLATE NOCASE ORDER BY id LIMIT 1",
    "SELECT weapon, kills FROM player_weapons WHERE player = ? ORDER BY kills DESC, weapon LIMIT 1",
};

// FNV-1a, 64 bits: how the database knows a log file's first line and the line
// before its stored offset.
unsigned long long line_hash(const char* data, std::size_t len)
{
    unsigned long long h = 14695981039346656037ull;
    for (std::size_t i = 0; i < len; ++i) {
        h ^= static_cast<unsigned char>(data[i]);
        h *= 1099511628211ull;
    }
    return h;
}

// SQLite keeps signed 64-bit integers; device and inode numbers and hashes are
// kept as their bit patterns.
sqlite3_int64 as_db(unsigned long long v)
{
    sqlite3_int64 out;
    std::memcpy(&out, &v, sizeof out);
    return out;
}

const char* team_text(int team)
{
    switch (team) {
    case kTeamRed: return "red";
    case kTeamBlue: return "blue";
    case kTeamSpectator: return "spectator";
    default: return nullptr;
    }
}

const char* kind_text(int kind)
{
    switch (kind) {
    case kStatsTeamKillKind: return "teamkill";
    case kStatsSuicideKind: return "suicide";
    default: return "kill";
    }
}

// A statement ready to be bound again (each use binds every parameter).
sqlite3_stmt* stmt(StatsDb& s, Stmt which)
{
    sqlite3_stmt* st = s.statements[which];
    sqlite3_reset(st);
    return st;
}

void bind_id(sqlite3_stmt* st, int at, long long id)
{
    if (id)
        sqlite3_bind_int64(st, at, id);
    else
        sqlite3_bind_null(st, at);
}

void bind_text(sqlite3_stmt* st, int at, const char* text)
{
    if (text)
        sqlite3_bind_text(st, at, text, -1, SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(st, at);
}

// A failure of SQLite: the message to say.
struct DbFault {
    std::string what;
};

void check(StatsDb& s, int rc, const char* doing)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw DbFault{std::string(doing) + ": " + (s.db ? sqlite3_errmsg(s.db) : sqlite3_errstr(rc))};
}

void exec(StatsDb& s, const char* sql, const char* doing)
{
    check(s, sqlite3_exec(s.db, sql, nullptr, nullptr, nullptr), doing);
}

void say_fault(Relay& r, const std::string& what)
{
    StatsDb& s = r.statsdb;
    trace(r, 1, "statsdb: %s\r\n", what.c_str());
    if (s.fault != what)
        console_printf(r, "Statistics database %s: %s (retrying; the relay goes on).\n", s.path.c_str(), what.c_str());
    s.fault = what;
}

// Forgets everything that belongs to the open database (row ids), so a database
// opened again is looked up afresh; the events and offsets taken stay.
void close_db(StatsDb& s)
{
    for (sqlite3_stmt* st : s.statements)
        sqlite3_finalize(st);
    s.statements.clear();
    if (s.db)
        sqlite3_close(s.db);
    s.db = nullptr;
    for (StatsName& n : s.names)
        n.dbid = 0;
    std::fill(s.mapids.begin(), s.mapids.end(), 0);
    for (StatsFile& f : s.files) {
        f.dbid = 0;
        f.resolved = false;
    }
}

// Lets go of the database and everything taken for it.
void reset(StatsDb& s)
{
    close_db(s);
    s.path.clear();
    s.files.clear();
    s.readings.clear();
    s.linefile = -1;
    s.taking = false;
    s.names.clear();
    s.byname.clear();
    s.maps.clear();
    s.mapids.clear();
    s.bymap.clear();
    s.lastmap = -1;
    s.events.clear();
    s.dirtysince = -1;
    s.retryat = 0;
    s.fault.clear();
    s.held = false;
    s.top.clear();
}

void fail(Relay& r, const std::string& what)
{
    StatsDb& s = r.statsdb;
    if (s.db)
        sqlite3_exec(s.db, "ROLLBACK", nullptr, nullptr, nullptr);
    close_db(s);
    say_fault(r, what);
    s.retryat = r.platform->now_ms() + kStatsRetryMs;
}

void open_db(Relay& r)
{
    StatsDb& s = r.statsdb;
    check(s, sqlite3_open_v2(s.path.c_str(), &s.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr),
          "cannot open");
    // Another process holding the database is waited for briefly, never long:
    // the relay's reports come first.
    sqlite3_busy_timeout(s.db, 20);
    exec(s, "PRAGMA journal_mode = WAL", "cannot use WAL mode");
    exec(s, "PRAGMA synchronous = NORMAL", "cannot set synchronous mode");

    sqlite3_stmt* st = nullptr;
    check(s, sqlite3_prepare_v2(s.db, "PRAGMA user_version", -1, &st, nullptr), "cannot read the schema version");
    int version = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : 0;
    sqlite3_finalize(st);
    if (version > kSchemaVersion)
        throw DbFault{"written by a newer version (schema " + std::to_string(version) + ")"};
    if (version < kSchemaVersion) {
        exec(s, "BEGIN IMMEDIATE", "cannot create the tables");
        for (int v = version; v < kSchemaVersion; ++v)
            exec(s, kSchemaSteps[v], "cannot create the tables");
        exec(s, ("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str(), "cannot create the tables");
        exec(s, "COMMIT", "cannot create the tables");
    }
    for (const char* sql : kStatements) {
        sqlite3_stmt* p = nullptr;
        check(s, sqlite3_prepare_v3(s.db, sql, -1, SQLITE_PREPARE_PERSISTENT, &p, nullptr), "cannot prepare");
        s.statements.push_back(p);
    }
}

// After a fault, the first write (or open with nothing to write) that worked.
void recovered(Relay& r)
{
    StatsDb& s = r.statsdb;
    if (s.fault.empty())
        return;
    console_printf(r, "Statistics database %s: in use again.\n", s.path.c_str());
    trace(r, 1, "statsdb: in use again\r\n");
    s.fault.clear();
}

// Opens the database when it is configured, not open and not waiting after a fault.
bool ensure_open(Relay& r)
{
    StatsDb& s = r.statsdb;
    if (s.db)
        return true;
    if (s.path.empty() || r.platform->now_ms() < s.retryat)
        return false;
    try {
        open_db(r);
        return true;
    } catch (const DbFault& f) {
        fail(r, f.what);
        return false;
    }
}

// The line that ends at offset in the log file now at the log's path, when that
// file is the one given; false when it cannot be read.
bool line_before(Relay& r, const StatsFile& f, long long offset, std::string& out)
{
    Platform& p = *r.platform;
    if (!r.settings.logfile || offset <= 0)
        return false;
    int fh = p.file_open_read(*r.settings.logfile);
    if (fh < 0)
        return false;
    const FileStat st = p.file_stat_handle(fh);
    bool ok = false;
    if (st.device == f.device && st.inode == f.inode && st.size >= offset) {
        const long long from = std::max(0LL, offset - kLogBufSize);
        std::string bytes(static_cast<std::size_t>(offset - from), '\0');
        p.file_seek(fh, from);
        std::size_t got = 0;
        while (got < bytes.size()) {
            long n = p.file_read(fh, bytes.data() + got, bytes.size() - got);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        if (got == bytes.size() && !bytes.empty() && bytes.back() == '\n') {
            bytes.pop_back();
            const std::size_t lf = bytes.rfind('\n');
            if (lf != std::string::npos || from == 0) {
                out = bytes.substr(lf == std::string::npos ? 0 : lf + 1);
                ok = true;
            }
        }
    }
    p.file_close(fh);
    return ok;
}

// Finds the file's record in the open database, or adds one: a record whose
// stored offset no longer ends on the line stored is another content of the
// same file (cut and written again) and gets a record of its own.
void resolve(Relay& r, StatsFile& f)
{
    StatsDb& s = r.statsdb;
    if (!f.fresh) {
        sqlite3_stmt* st = stmt(s, kFindFile);
        sqlite3_bind_int64(st, 1, as_db(f.device));
        sqlite3_bind_int64(st, 2, as_db(f.inode));
        sqlite3_bind_int64(st, 3, as_db(f.firsthash));
        int rc = sqlite3_step(st);
        check(s, rc, "cannot look up the log");
        if (rc == SQLITE_ROW) {
            const long long id = sqlite3_column_int64(st, 0);
            const long long offset = sqlite3_column_int64(st, 1);
            const sqlite3_int64 hash = sqlite3_column_int64(st, 2);
            // The line before the stored offset must be the one stored: taken
            // from the lines read when they got that far, else read back from the
            // file when it is still at the log's path (when it cannot be read
            // back, the file's identity is trusted).
            bool same = true;
            std::string line;
            if (offset > 0 && f.accepted == offset)
                same = as_db(line_hash(f.lastline.data(), f.lastline.size())) == hash;
            else if (offset > 0 && line_before(r, f, offset, line))
                same = as_db(line_hash(line.data(), line.size())) == hash;
            if (same) {
                f.dbid = id;
                f.floor = std::max(f.floor, offset);
                f.stored = offset;
                f.resolved = true;
                return;
            }
            trace(r, 11, "statsdb: log file %lld holds other lines now\r\n", id);
        }
    }
    sqlite3_stmt* st = stmt(s, kAddFile);
    sqlite3_bind_int64(st, 1, as_db(f.device));
    sqlite3_bind_int64(st, 2, as_db(f.inode));
    sqlite3_bind_int64(st, 3, as_db(f.firsthash));
    check(s, sqlite3_step(st), "cannot add the log");
    f.dbid = sqlite3_last_insert_rowid(s.db);
    f.stored = 0;
    f.resolved = true;
}

long long player_id(StatsDb& s, int index, long long time)
{
    StatsName& n = s.names[static_cast<std::size_t>(index)];
    if (n.dbid)
        return n.dbid;
    sqlite3_stmt* st = stmt(s, kAddPlayer);
    sqlite3_bind_text(st, 1, n.name.data(), static_cast<int>(n.name.size()), SQLITE_STATIC);
    sqlite3_bind_text(st, 2, n.coloured.data(), static_cast<int>(n.coloured.size()), SQLITE_STATIC);
    sqlite3_bind_int64(st, 3, time);
    sqlite3_bind_int64(st, 4, time);
    check(s, sqlite3_step(st), "cannot add a player");
    st = stmt(s, kFindPlayer);
    sqlite3_bind_text(st, 1, n.name.data(), static_cast<int>(n.name.size()), SQLITE_STATIC);
    check(s, sqlite3_step(st), "cannot find a player");
    n.dbid = sqlite3_column_int64(st, 0);
    return n.dbid;
}

long long map_id(StatsDb& s, int index)
{
    if (index < 0)
        return 0;
    long long& id = s.mapids[static_cast<std::size_t>(index)];
    if (id)
        return id;
    const std::string& name = s.maps[static_cast<std::size_t>(index)];
    sqlite3_stmt* st = stmt(s, kAddMap);
    sqlite3_bind_text(st, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    check(s, sqlite3_step(st), "cannot add a map");
    st = stmt(s, kFindMap);
    sqlite3_bind_text(st, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    check(s, sqlite3_step(st), "cannot find a map");
    id = sqlite3_column_int64(st, 0);
    return id;
}

struct Delta {
    long long kills = 0, deaths = 0, teamkills = 0, suicides = 0;
    long long first = 0, last = 0;
    bool seen = false;
};

void write_batch(Relay& r)
{
    StatsDb& s = r.statsdb;
    exec(s, "BEGIN IMMEDIATE", "cannot begin a transaction");
    for (StatsFile& f : s.files)
        if (!f.resolved && f.accepted > 0)
            resolve(r, f);

    std::vector<Delta> deltas(s.names.size()); // by name index
    std::vector<int> touched;
    std::map<std::pair<int, int>, long long> weaponkills;
    std::set<int> weapons;
    auto touch = [&](int who, long long time) -> Delta& {
        Delta& d = deltas[static_cast<std::size_t>(who)];
        if (!d.seen || time < d.first)
            d.first = time;
        if (!d.seen)
            touched.push_back(who);
        d.seen = true;
        d.last = std::max(d.last, time);
        return d;
    };
    for (const StatsEvent& e : s.events) {
        const StatsFile& f = s.files[static_cast<std::size_t>(e.file)];
        if (e.lineend <= f.floor)
            continue; // the database had this line already
        if (e.kind >= kStatsFlag) {
            sqlite3_stmt* st = stmt(s, kAddFlag);
            sqlite3_bind_int64(st, 1, f.dbid);
            sqlite3_bind_int64(st, 2, e.lineend);
            sqlite3_bind_int64(st, 3, e.time);
            sqlite3_bind_text(st, 4, kFlagEvents[e.kind - kStatsFlag].name, -1, SQLITE_STATIC);
            sqlite3_bind_int64(st, 5, player_id(s, e.victim, e.time));
            bind_text(st, 6, team_text(e.victimteam));
            bind_id(st, 7, map_id(s, e.map));
            check(s, sqlite3_step(st), "cannot add a flag event");
            touch(e.victim, e.time);
            continue;
        }
        weapons.insert(e.weapon);
        sqlite3_stmt* st = stmt(s, kAddKill);
        sqlite3_bind_int64(st, 1, f.dbid);
        sqlite3_bind_int64(st, 2, e.lineend);
        sqlite3_bind_int64(st, 3, e.time);
        sqlite3_bind_text(st, 4, kind_text(e.kind), -1, SQLITE_STATIC);
        bind_id(st, 5, e.killer >= 0 ? player_id(s, e.killer, e.time) : 0);
        sqlite3_bind_int64(st, 6, player_id(s, e.victim, e.time));
        sqlite3_bind_int64(st, 7, e.weapon);
        bind_id(st, 8, map_id(s, e.map));
        bind_text(st, 9, team_text(e.killerteam));
        bind_text(st, 10, team_text(e.victimteam));
        check(s, sqlite3_step(st), "cannot add a kill");
        switch (e.kind) {
        case kStatsKillKind:
            if (e.killer >= 0) {
                touch(e.killer, e.time).kills += 1;
                weaponkills[{e.killer, e.weapon}] += 1;
            }
            touch(e.victim, e.time).deaths += 1;
            break;
        case kStatsTeamKillKind:
            if (e.killer >= 0)
                touch(e.killer, e.time).teamkills += 1;
            touch(e.victim, e.time);
            break;
        case kStatsSuicideKind:
            touch(e.victim, e.time).suicides += 1;
            break;
        default: break;
        }
    }
    for (int w : weapons) {
        sqlite3_stmt* st = stmt(s, kAddWeapon);
        sqlite3_bind_int(st, 1, w);
        const std::string name = weapon_name(w, 0);
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        check(s, sqlite3_step(st), "cannot add a weapon");
    }
    std::sort(touched.begin(), touched.end());
    for (int who : touched) {
        const Delta& d = deltas[static_cast<std::size_t>(who)];
        const StatsName& n = s.names[static_cast<std::size_t>(who)];
        sqlite3_stmt* st = stmt(s, kTouchPlayer);
        sqlite3_bind_int64(st, 1, d.kills);
        sqlite3_bind_int64(st, 2, d.deaths);
        sqlite3_bind_int64(st, 3, d.teamkills);
        sqlite3_bind_int64(st, 4, d.suicides);
        sqlite3_bind_int64(st, 5, d.last);
        sqlite3_bind_int64(st, 6, d.first);
        sqlite3_bind_text(st, 7, n.coloured.data(), static_cast<int>(n.coloured.size()), SQLITE_STATIC);
        sqlite3_bind_int64(st, 8, player_id(s, who, d.first));
        check(s, sqlite3_step(st), "cannot update a player");
    }
    for (const auto& [key, kills] : weaponkills) {
        sqlite3_stmt* st = stmt(s, kAddWeaponKills);
        sqlite3_bind_int64(st, 1, player_id(s, key.first, 0));
        sqlite3_bind_int(st, 2, key.second);
        sqlite3_bind_int64(st, 3, kills);
        check(s, sqlite3_step(st), "cannot count a weapon");
    }
    for (StatsFile& f : s.files) {
        if (!f.resolved || f.accepted <= f.stored)
            continue;
        sqlite3_stmt* st = stmt(s, kSetFile);
        sqlite3_bind_int64(st, 1, f.accepted);
        sqlite3_bind_int64(st, 2, as_db(line_hash(f.lastline.data(), f.lastline.size())));
        sqlite3_bind_int64(st, 3, f.dbid);
        check(s, sqlite3_step(st), "cannot store the log offset");
    }
    exec(s, "COMMIT", "cannot commit");
    for (StatsFile& f : s.files) {
        if (f.resolved && f.accepted > f.stored)
            f.stored = f.accepted;
        if (f.resolved)
            f.fresh = false;
    }
}

// The status files show the all-time top 10: read again after each write.
void refresh_top(Relay& r)
{
    if (!r.settings.statusdir)
        return;
    r.statsdb.top = statsdb_top(r, 10);
    r.status.dirty = true;
}

// The name key of a player record and its coloured name.
int name_index(Relay& r, const PlayerRecord& p)
{
    StatsDb& s = r.statsdb;
    const char* raw = p.name ? p.name->c_str() : "";
    strip_colours(r.settings.osp, std::string_view(raw), s.keybuf);
    auto [it, added] = s.byname.try_emplace(s.keybuf, static_cast<int>(s.names.size()));
    if (added)
        s.names.push_back(StatsName{s.keybuf, {}, 0});
    StatsName& n = s.names[static_cast<std::size_t>(it->second)];
    const Text& coloured = p.coloured ? p.coloured : p.name;
    if (coloured && n.coloured != *coloured)
        n.coloured = *coloured;
    else if (n.coloured.empty())
        n.coloured = n.name;
    return it->second;
}

int current_map(Relay& r)
{
    StatsDb& s = r.statsdb;
    if (!r.game.map)
        return -1;
    if (s.lastmap >= 0 && s.maps[static_cast<std::size_t>(s.lastmap)] == *r.game.map)
        return s.lastmap;
    auto [it, added] = s.bymap.try_emplace(*r.game.map, static_cast<int>(s.maps.size()));
    if (added) {
        s.maps.push_back(*r.game.map);
        s.mapids.push_back(0);
    }
    s.lastmap = it->second;
    return it->second;
}

void push_event(Relay& r, StatsEvent e)
{
    StatsDb& s = r.statsdb;
    e.file = s.linefile;
    e.lineend = r.log.lineend;
    e.time = r.platform->now();
    e.map = current_map(r);
    s.events.push_back(e);
}

StatsTotals row_totals(sqlite3_stmt* st, int first)
{
    StatsTotals t;
    auto text = [&](int col) {
        const unsigned char* v = sqlite3_column_text(st, col);
        return v ? std::string(reinterpret_cast<const char*>(v)) : std::string();
    };
    t.name = text(first);
    t.coloured = text(first + 1);
    t.kills = sqlite3_column_int64(st, first + 2);
    t.deaths = sqlite3_column_int64(st, first + 3);
    t.teamkills = sqlite3_column_int64(st, first + 4);
    t.suicides = sqlite3_column_int64(st, first + 5);
    t.first_seen = sqlite3_column_int64(st, first + 6);
    t.last_seen = sqlite3_column_int64(st, first + 7);
    return t;
}

} // namespace

StatsDb::~StatsDb()
{
    close_db(*this);
}

bool statsdb_configured(const Relay& r)
{
    return static_cast<bool>(r.settings.statsdb);
}

void statsdb_reading(Relay& r, int reading, int cause)
{
    StatsDb& s = r.statsdb;
    if (!statsdb_configured(r))
        return;
    if (s.path != *r.settings.statsdb) {
        // A new path (the colour file read again): what waits goes to the old one.
        if (s.db)
            statsdb_flush(r);
        reset(s);
        s.path = *r.settings.statsdb;
    }
    const FileStat st = r.platform->file_stat_handle(r.log.logstream);
    s.held = false; // a new reading goes on where the stored lines end
    s.readings.push_back(StatsReading{reading, st.device, st.inode, -1, cause});
}

void statsdb_line(Relay& r, const char* line, int len)
{
    StatsDb& s = r.statsdb;
    s.linefile = -1;
    s.taking = false;
    if (s.readings.empty())
        return;
    const LogFollower& lf = r.log;
    while (s.readings.size() > 1 && s.readings.front().number < lf.headreading)
        s.readings.pop_front();
    StatsReading& rd = s.readings.front();
    if (rd.number != lf.headreading)
        return;
    if (lf.linestart == 0) {
        // The first line names the file: the same file read again (a restart,
        // !restart) goes on where its record ends; a cut one starts a new record.
        const unsigned long long first = line_hash(line, static_cast<std::size_t>(len));
        rd.file = -1;
        if (rd.cause != kReadingTruncated)
            for (std::size_t i = 0; i < s.files.size(); ++i) {
                const StatsFile& f = s.files[i];
                if (f.device == rd.device && f.inode == rd.inode && f.firsthash == first) {
                    rd.file = static_cast<int>(i);
                }
            }
        if (rd.file < 0) {
            StatsFile f;
            f.device = rd.device;
            f.inode = rd.inode;
            f.firsthash = first;
            f.fresh = rd.cause == kReadingTruncated;
            s.files.push_back(f);
            rd.file = static_cast<int>(s.files.size() - 1);
        }
        StatsFile& f = s.files[static_cast<std::size_t>(rd.file)];
        if (!f.resolved && ensure_open(r)) {
            try {
                resolve(r, f);
            } catch (const DbFault& e) {
                fail(r, e.what);
            }
        }
    }
    if (rd.file < 0)
        return; // a reading begun before the database was configured
    if (s.events.size() + kStatsEventsPerLine > kStatsMaxPending) {
        // Too much waits for a database that cannot be written: take no more
        // lines. Their offset is not stored, so the next reading of the log (a
        // restart, !restart) counts them; none is lost and none counted twice.
        if (!s.held)
            console_printf(r, "Statistics database %s: too many events wait; the lines from here on are "
                              "counted when the log is read again.\n",
                           s.path.c_str());
        s.held = true;
        return;
    }
    StatsFile& f = s.files[static_cast<std::size_t>(rd.file)];
    if (lf.lineend <= f.accepted || (f.resolved && lf.lineend <= f.floor))
        return;
    f.accepted = lf.lineend;
    f.lastline.assign(line, static_cast<std::size_t>(len));
    s.linefile = rd.file;
    s.taking = true;
    if (s.dirtysince < 0)
        s.dirtysince = r.platform->now_ms();
}

void statsdb_kill(Relay& r, int kind, const PlayerRecord* killer, const PlayerRecord* victim, int weapon,
                  int killerteam, int victimteam)
{
    StatsDb& s = r.statsdb;
    if (!s.taking || !victim)
        return;
    StatsEvent e;
    e.kind = kind;
    e.killer = killer && kind != kStatsSuicideKind ? name_index(r, *killer) : -1;
    e.victim = name_index(r, *victim);
    e.weapon = weapon;
    e.killerteam = killer && kind != kStatsSuicideKind ? killerteam : 0;
    e.victimteam = victimteam;
    push_event(r, e);
}

void statsdb_flag(Relay& r, const char* name, int event, int team)
{
    StatsDb& s = r.statsdb;
    if (!s.taking || !name)
        return;
    PlayerRecord p;
    p.name = std::string(name);
    StatsEvent e;
    e.kind = kStatsFlag + event;
    e.victim = name_index(r, p);
    e.victimteam = team;
    push_event(r, e);
}

bool statsdb_flush(Relay& r)
{
    StatsDb& s = r.statsdb;
    if (!ensure_open(r))
        return false;
    bool waiting = !s.events.empty();
    for (const StatsFile& f : s.files)
        waiting = waiting || f.accepted > f.stored || !f.resolved;
    if (!waiting) {
        s.dirtysince = -1;
        recovered(r);
        return true;
    }
    try {
        write_batch(r);
    } catch (const DbFault& e) {
        fail(r, e.what);
        return false;
    }
    recovered(r);
    trace(r, 11, "statsdb: %zu events written\r\n", s.events.size());
    s.events.clear();
    s.dirtysince = -1;
    refresh_top(r);
    return true;
}

void statsdb_pass(Relay& r)
{
    StatsDb& s = r.statsdb;
    if (s.path.empty())
        return;
    if (!statsdb_configured(r) || *r.settings.statsdb != s.path) {
        // Taken out of the colour file (or moved): write what waits and let go.
        statsdb_flush(r);
        reset(s);
        return;
    }
    if (s.dirtysince < 0 && s.db)
        return;
    // Written when the log is caught up with (live play: a small transaction
    // right after the line's report), when a batch is full, or when the first
    // line waiting gets old while a long log is read.
    const long long now = r.platform->now_ms();
    const bool caughtup = s.dirtysince >= 0 && r.log.atend && !log_lines_waiting(r.log);
    if (s.events.size() >= kStatsBatchEvents || caughtup || (s.dirtysince >= 0 && now - s.dirtysince >= kStatsWriteMs) ||
        (!s.db && now >= s.retryat))
        statsdb_flush(r);
}

long long statsdb_due_ms(const Relay& r)
{
    const StatsDb& s = r.statsdb;
    if (s.path.empty())
        return -1;
    // The oldest waiting line's deadline; without a database not before the retry.
    long long due = s.dirtysince >= 0 ? s.dirtysince + kStatsWriteMs : -1;
    if (!s.db)
        due = std::max(due, s.retryat);
    return due;
}

void statsdb_close(Relay& r)
{
    StatsDb& s = r.statsdb;
    if (s.path.empty())
        return;
    s.retryat = 0;
    statsdb_flush(r);
    close_db(s);
}

std::vector<StatsTotals> statsdb_top(Relay& r, int n)
{
    StatsDb& s = r.statsdb;
    std::vector<StatsTotals> out;
    if (!statsdb_flush(r) && !s.db)
        return out;
    try {
        sqlite3_stmt* st = stmt(s, kTop);
        sqlite3_bind_int(st, 1, n);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            out.push_back(row_totals(st, 0));
        check(s, rc, "cannot read the top players");
    } catch (const DbFault& e) {
        fail(r, e.what);
    }
    return out;
}

bool statsdb_player(Relay& r, const std::string& name, StatsTotals& out)
{
    StatsDb& s = r.statsdb;
    if (!statsdb_flush(r) && !s.db)
        return false;
    try {
        for (Stmt which : {kPlayerExact, kPlayerNoCase}) {
            sqlite3_stmt* st = stmt(s, which);
            sqlite3_bind_text(st, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
            int rc = sqlite3_step(st);
            check(s, rc, "cannot read a player");
            if (rc != SQLITE_ROW)
                continue;
            const long long id = sqlite3_column_int64(st, 0);
            out = row_totals(st, 1);
            st = stmt(s, kFavourite);
            sqlite3_bind_int64(st, 1, id);
            rc = sqlite3_step(st);
            check(s, rc, "cannot read a player's weapons");
            if (rc == SQLITE_ROW) {
                out.favourite = sqlite3_column_int(st, 0);
                out.favouritekills = sqlite3_column_int64(st, 1);
            }
            return true;
        }
    } catch (const DbFault& e) {
        fail(r, e.what);
    }
    return false;
}
