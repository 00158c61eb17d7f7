// The all-time statistics' answers with a big database: !top and !player with
// 100 000 players, 2 000 000 kills and their weapon counts (a file in /tmp, made
// once per run).
#include <benchmark/benchmark.h>

#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>

#include "relay/statsdb/statsdb.h"
#include "support/relay_fixture.h"

namespace {

constexpr int kPlayers = 100000;
constexpr int kKills = 2000000;

std::string db_path()
{
    return "/tmp/tidewatch-statsdb-bench-" + std::to_string(::getpid()) + ".db";
}

// The relay's schema made by the relay itself, then rows put in directly.
void fill(TestRelay& t, const std::string& path)
{
    Relay& r = t.r();
    std::remove(path.c_str());
    r.settings.statsdb = path;
    r.statsdb.path = path;
    statsdb_flush(r);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* p = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO players (id, name, coloured_name, first_seen, last_seen, kills, deaths, teamkills,"
                       " suicides) VALUES (?, ?, ?, 1700000000, 1760000000, ?, ?, ?, ?)",
                       -1, &p, nullptr);
    std::mt19937 rng(7);
    for (int i = 1; i <= kPlayers; ++i) {
        const std::string name = "Player" + std::to_string(i);
        sqlite3_reset(p);
        sqlite3_bind_int(p, 1, i);
        sqlite3_bind_text(p, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(p, 3, ("^1" + name).c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(p, 4, static_cast<int>(rng() % 5000));
        sqlite3_bind_int(p, 5, static_cast<int>(rng() % 5000));
        sqlite3_bind_int(p, 6, static_cast<int>(rng() % 50));
        sqlite3_bind_int(p, 7, static_cast<int>(rng() % 50));
        sqlite3_step(p);
    }
    sqlite3_finalize(p);
    sqlite3_exec(db, "INSERT INTO log_files (id, device, inode, first_line_hash) VALUES (1, 1, 1, 1)", nullptr, nullptr,
                 nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO kills (log_file, line_end, read_at, kind, killer, victim, weapon)"
                       " VALUES (1, ?, 1760000000, 'kill', ?, ?, ?)",
                       -1, &p, nullptr);
    sqlite3_stmt* w = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO player_weapons (player, weapon, kills) VALUES (?, ?, 1)"
                       " ON CONFLICT (player, weapon) DO UPDATE SET kills = kills + 1",
                       -1, &w, nullptr);
    for (int i = 0; i < kKills; ++i) {
        const int killer = 1 + static_cast<int>(rng() % kPlayers);
        const int weapon = 1 + static_cast<int>(rng() % 20);
        sqlite3_reset(p);
        sqlite3_bind_int(p, 1, i * 40);
        sqlite3_bind_int(p, 2, killer);
        sqlite3_bind_int(p, 3, 1 + static_cast<int>(rng() % kPlayers));
        sqlite3_bind_int(p, 4, weapon);
        sqlite3_step(p);
        sqlite3_reset(w);
        sqlite3_bind_int(w, 1, killer);
        sqlite3_bind_int(w, 2, weapon);
        sqlite3_step(w);
    }
    sqlite3_finalize(p);
    sqlite3_finalize(w);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

struct BigDatabase {
    TestRelay t;
    std::string path = db_path();
    BigDatabase() { fill(t, path); }
    ~BigDatabase()
    {
        statsdb_close(t.r());
        for (const char* tail : {"", "-wal", "-shm"})
            std::remove((path + tail).c_str());
    }
};

BigDatabase& big()
{
    static BigDatabase b;
    return b;
}

void BM_Top20(benchmark::State& state)
{
    Relay& r = big().t.r();
    for (auto _ : state) {
        auto top = statsdb_top(r, 20);
        benchmark::DoNotOptimize(top);
        if (top.size() != 20)
            state.SkipWithError("no top 20");
    }
}
BENCHMARK(BM_Top20)->Unit(benchmark::kMillisecond);

void BM_Player(benchmark::State& state)
{
    Relay& r = big().t.r();
    int i = 0;
    for (auto _ : state) {
        StatsTotals out;
        // Half of them asked in another case than stored.
        const std::string name = (i % 2 ? "player" : "Player") + std::to_string(1 + (i * 7919) % kPlayers);
        ++i;
        if (!statsdb_player(r, name, out))
            state.SkipWithError("player not found");
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_Player)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
