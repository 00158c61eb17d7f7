// The all-time statistics on the fake platform with a real SQLite file: the log
// followed line by line, the database written when caught up, and faults (a full
// disk, a !restart, a log cut shorter) that must neither lose nor repeat a line.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "relay/gamelog/follower.h"
#include "relay/statsdb/statsdb.h"
#include "tests/support/relay_fixture.h"

namespace {

struct StatsDbTest : ::testing::Test {
    TestRelay t;
    Relay& r = t.r();
    std::string path = ::testing::TempDir() + "statsdb_unit_" + std::to_string(::getpid()) + ".db";

    void SetUp() override
    {
        for (const char* tail : {"", "-wal", "-shm"})
            std::remove((path + tail).c_str());
        r.settings.logfile = std::string("qconsole.log");
        r.settings.statsdb = path;
        t.fake.write_file("qconsole.log", "Game start\nAlpha^7 joined the red team.\nBravo^7 joined the blue team.\n");
    }
    void TearDown() override
    {
        statsdb_close(r);
        for (const char* tail : {"", "-wal", "-shm"})
            std::remove((path + tail).c_str());
    }

    // The loop's part: the log read to its end and the statistics' duty.
    void follow()
    {
        if (!r.log.logopen)
            open_log(r);
        for (int i = 0; i < 10000; ++i) {
            const int got = read_log(r);
            const int taken = take_log_lines(r);
            statsdb_pass(r);
            if (got == 0 && taken == 0 && !log_lines_waiting(r.log))
                break;
        }
        statsdb_pass(r);
    }

    void kills(int n, const char* killer = "Alpha", const char* victim = "Bravo")
    {
        std::string lines;
        for (int i = 0; i < n; ++i)
            lines += std::string(victim) + "^7 was shot by " + killer + "^7's M4\n";
        t.fake.append_file("qconsole.log", lines);
    }

    // A number the database holds, read by a connection of the test's own.
    long long count(const std::string& sql)
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_stmt* st = nullptr;
        long long n = -1;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        sqlite3_close(db);
        return n;
    }
    long long kills_of(const char* name)
    {
        return count(std::string("SELECT kills FROM player_totals WHERE name = '") + name + "'");
    }
};

TEST_F(StatsDbTest, AFullDiskRollsBackTheWholeBatchAndTheRetryWritesItOnce)
{
    kills(5);
    follow();
    ASSERT_EQ(kills_of("Alpha"), 5);
    const long long offset = count("SELECT offset FROM log_files");

    // The disk fills up: the database cannot grow by a page.
    ASSERT_NE(r.statsdb.db, nullptr);
    const long long pages = count("PRAGMA page_count");
    sqlite3_exec(r.statsdb.db, ("PRAGMA max_page_count = " + std::to_string(pages)).c_str(), nullptr, nullptr,
                 nullptr);
    kills(3000);
    follow();
    EXPECT_EQ(kills_of("Alpha"), 5);                                // nothing of the batch
    EXPECT_EQ(count("SELECT offset FROM log_files"), offset);       // nor its offset
    EXPECT_EQ(count("SELECT count(*) FROM kills"), 5);
    EXPECT_NE(t.fake.out.find("Statistics database " + path), std::string::npos) << t.fake.out;

    // Room again (a new connection after the retry pause): written once.
    t.fake.clock_ms += kStatsRetryMs;
    follow();
    EXPECT_EQ(kills_of("Alpha"), 3005);
    EXPECT_EQ(count("SELECT count(*) FROM kills"), 3005);
    EXPECT_NE(t.fake.out.find("in use again"), std::string::npos) << t.fake.out;
}

TEST_F(StatsDbTest, ReadingTheLogAgainAddsNothingAndACutLogIsANewFile)
{
    kills(7);
    follow();
    ASSERT_EQ(kills_of("Alpha"), 7);

    // !restart: the log read again from its first byte.
    close_log(r);
    follow();
    EXPECT_EQ(kills_of("Alpha"), 7);
    kills(2);
    follow();
    EXPECT_EQ(kills_of("Alpha"), 9);

    // Cut shorter and written again from the same first line: its lines count.
    t.fake.write_file("qconsole.log", "Game start\nAlpha^7 joined the red team.\nBravo^7 joined the blue team.\n");
    kills(1);
    follow();
    EXPECT_EQ(kills_of("Alpha"), 10);
    EXPECT_EQ(count("SELECT count(*) FROM log_files"), 2);

    // A new relay on the same database and log: nothing more.
    statsdb_close(r);
    TestRelay again;
    again.fake.files = t.fake.files;
    Relay& r2 = again.r();
    r2.settings.logfile = std::string("qconsole.log");
    r2.settings.statsdb = path;
    open_log(r2);
    for (int i = 0; i < 100; ++i) {
        read_log(r2);
        take_log_lines(r2);
        statsdb_pass(r2);
    }
    statsdb_close(r2);
    EXPECT_EQ(kills_of("Alpha"), 10);
    EXPECT_EQ(count("SELECT deaths FROM player_totals WHERE name = 'Bravo'"), 10);
}

} // namespace
