// All-time statistics end to end: the real tidecore keeps its SQLite database
// while it relays generated matches, and the sqlite3 tool reads it. Its totals
// are held against an independent tally of the same log, and a log read again
// (restart, -g, -r, !restart), cut, replaced, or a relay killed mid-way never
// counts a line twice or loses one.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/e2e/support/e2e_fixture.h"
#include "tests/e2e/support/irc_client.h"
#include "tests/e2e/support/process.h"
#include "tests/e2e/support/relay_process.h"

using namespace e2e;

namespace {

const std::string kFirstLine = "------- Game Initialization -------\n";
const char* kSqlite = "/usr/bin/sqlite3";
const std::string kTotals = "SELECT name, kills, deaths, teamkills, suicides FROM player_totals ORDER BY name";
// Everything in the database but the clock: what two runs over the same lines share.
const std::string kContent =
    "SELECT 'f', id, offset, first_line_hash, last_line_hash FROM log_files ORDER BY id;"
    "SELECT 'p', id, name, coloured_name, kills, deaths, teamkills, suicides FROM players ORDER BY id;"
    "SELECT 'k', id, log_file, line_end, kind, killer, victim, weapon, map, killer_team, victim_team FROM kills"
    " ORDER BY id;"
    "SELECT 'g', id, log_file, line_end, event, player, team FROM flags ORDER BY id;"
    "SELECT 'w', player, weapon, kills FROM player_weapons ORDER BY player, weapon;";

std::string slurp(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// A generated match: the first line every log of these tests shares, twelve
// players joining two teams, then kills across the teams (a kill within a team
// has the relay doubt its teams, which no tally would follow), suicides, flag
// events and lines the relay only reads past.
std::string match_log(unsigned seed, int lines, bool first_line = true)
{
    static const char* kNames[] = {"Alpha", "^1Bravo", "Charlie", "^4Delta", "Echo", "Fox",
                                   "Golf",  "Hotel",  "^3India", "Juliet", "Kilo", "Lima"};
    static const char* kWeapons[] = {"M4", "AK74", "MP5", "Micro Uzi", "Sig 551", "US SOCOM"};
    std::mt19937 rng(seed);
    std::string out = first_line ? kFirstLine : "";
    for (int i = 0; i < 12; ++i)
        out += std::string(kNames[i]) + "^7 joined the " + (i % 2 ? "blue" : "red") + " team.\n";
    for (int i = 0; i < lines; ++i) {
        const int a = static_cast<int>(rng() % 12);
        int b = static_cast<int>(rng() % 12);
        if (b == a)
            b = (a + 1) % 12;
        const unsigned what = rng() % 100;
        if (what < 60) {
            if (b % 2 == a % 2)
                b = (b + 1) % 12; // the other team
            out += std::string(kNames[b]) + "^7 was shot by " + kNames[a] + "^7's " + kWeapons[rng() % 6] + "\n";
        } else if (what < 65) {
            out += std::string(kNames[a]) + "^7 killed himself.\n";
        } else if (what < 70) {
            out += std::string(kNames[a]) + (a % 2 ? "^7 has taken the Red Flag!\n" : "^7 has taken the Blue Flag!\n");
        } else {
            out += "Item: " + std::to_string(rng() % 20) + " weapon_m4\n";
        }
    }
    return out;
}

struct StatsDbE2E : ChannelFixture {
    std::string logfile = dir.file("qconsole.log");
    std::string db = dir.file("stats.db");
    std::size_t boss_next = 0;

    void SetUp() override
    {
        ChannelFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        if (::access(kSqlite, X_OK) != 0)
            GTEST_SKIP() << "sqlite3 not available";
        colours(db);
    }

    void colours(const std::string& path, const std::string& statusdir = "")
    {
        dir.write("irccolors_sof2.cfg", "[general]\nwaitmillisecs=1000\nstatsdb=" + path + "\n" +
                                            (statusdir.empty() ? "" : "statusdir=" + statusdir + "\n"));
    }

    // Runs a program to its end; its output.
    std::string run(const std::vector<std::string>& argv, int timeout_ms = 60000)
    {
        static int n = 0;
        const std::string out = dir.file("run" + std::to_string(++n) + ".out");
        Process p;
        if (!p.start(argv, dir.path(), out))
            return "(not started)";
        if (!p.wait_exit(timeout_ms))
            p.stop(1000);
        return slurp(out);
    }

    std::string sql(const std::string& query, const std::string& path = "")
    {
        return run({kSqlite, path.empty() ? db : path, query});
    }

    std::string tally(const std::vector<std::string>& logs)
    {
        std::vector<std::string> argv = {"/usr/bin/python3", TIDEWATCH_SOURCE_DIR "/tests/e2e/support/kill_tally.py"};
        argv.insert(argv.end(), logs.begin(), logs.end());
        return run(argv);
    }

    bool start(const std::vector<std::string>& options = {})
    {
        std::vector<std::string> o = {"-b", "s3cret"};
        o.insert(o.end(), options.begin(), options.end());
        return relay.start(relay_args(server->port(), kChannel, logfile, kRelayNick, o));
    }

    // Waits until the database holds the log up to its end (the offset of the
    // newest log record), or timeout_ms.
    bool stored_to_end(int timeout_ms = 60000, const std::string& path = "")
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        const std::string want = std::to_string(slurp(logfile).size()) + "\n";
        while (std::chrono::steady_clock::now() < until) {
            if (sql("SELECT offset FROM log_files ORDER BY id DESC LIMIT 1", path) == want)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return false;
    }
};

} // namespace

TEST_F(StatsDbE2E, TotalsMatchAnIndependentTallyAcrossRestartsWithAndWithoutGOrR)
{
    // Without -g the old lines are reported (one a second): a short log.
    dir.write("qconsole.log", match_log(1, 12));
    ASSERT_TRUE(start());
    ASSERT_TRUE(stored_to_end(120000)) << relay.output();
    EXPECT_EQ(sql(kTotals), tally({logfile}));
    relay.stop();

    // Lines written while it was down, then started again with -g (the old part
    // held back, all of it counted once) and with -r (read without reports).
    dir.append("qconsole.log", match_log(2, 3000, false));
    ASSERT_TRUE(start({"-g"}));
    ASSERT_TRUE(stored_to_end()) << relay.output();
    EXPECT_EQ(sql(kTotals), tally({logfile}));
    relay.stop();

    dir.append("qconsole.log", match_log(3, 3000, false));
    ASSERT_TRUE(start({"-r", "1000000"}));
    ASSERT_TRUE(stored_to_end()) << relay.output();
    relay.stop();
    EXPECT_EQ(sql(kTotals), tally({logfile}));
    EXPECT_EQ(sql("SELECT count(*) FROM log_files"), "1\n");
    EXPECT_EQ(sql("PRAGMA user_version"), "1\n");
}

TEST_F(StatsDbE2E, ARelayKilledMidwayThroughCatchUpLeavesWhatOneRunLeaves)
{
    dir.write("qconsole.log", match_log(4, 1000000));
    // The reference: one run over the whole log.
    const std::string reference = dir.file("reference.db");
    colours(reference);
    ASSERT_TRUE(start({"-g"}));
    ASSERT_TRUE(stored_to_end(120000, reference)) << relay.output();
    relay.stop();

    // Killed while catching up (some batches written, not all), then again.
    colours(db);
    ASSERT_TRUE(start({"-g"}));
    bool midway = false;
    for (int i = 0; i < 3000 && !midway; ++i) {
        const std::string n = sql("SELECT count(*) FROM kills");
        midway = n != "0\n" && !n.empty() && n.find("Error") == std::string::npos;
        if (!midway)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    relay.process().kill_now();
    ASSERT_TRUE(midway) << relay.output();
    const std::string partial = sql("SELECT offset FROM log_files");
    EXPECT_NE(partial, std::to_string(slurp(logfile).size()) + "\n") << "the kill came too late to be mid-way";
    ASSERT_TRUE(start({"-g"}));
    ASSERT_TRUE(stored_to_end(120000)) << relay.output();
    relay.stop();
    EXPECT_EQ(sql(kContent), sql(kContent, reference));
    EXPECT_EQ(sql(kTotals), tally({logfile}));
}

TEST_F(StatsDbE2E, ACutOrReplacedLogIsCountedAsTheNewLinesItHolds)
{
    const std::string first = match_log(5, 2000);
    dir.write("qconsole.log", first);
    const std::string old_copy = dir.write("first.log", first);
    ASSERT_TRUE(start({"-g"}));
    ASSERT_TRUE(stored_to_end()) << relay.output();

    // Cut and written again from the same first line: new lines (reported, one
    // a second), counted once.
    const std::string second = match_log(6, 10);
    {
        std::ofstream f(logfile, std::ios::trunc | std::ios::binary);
        f << second;
    }
    const std::string second_copy = dir.write("second.log", second);
    ASSERT_TRUE(stored_to_end(120000)) << relay.output();
    // Replaced by another file.
    const std::string third = match_log(7, 10);
    const std::string third_copy = dir.write("third.log", third);
    dir.write("next.log", third);
    ASSERT_EQ(std::rename(dir.file("next.log").c_str(), logfile.c_str()), 0);
    ASSERT_TRUE(stored_to_end(120000)) << relay.output();
    relay.stop();
    EXPECT_EQ(sql(kTotals), tally({old_copy, second_copy, third_copy}));
    EXPECT_EQ(sql("SELECT count(*) FROM log_files"), "3\n");

    // Started again on the replacing file: nothing more.
    ASSERT_TRUE(start({"-g"}));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    relay.stop();
    EXPECT_EQ(sql(kTotals), tally({old_copy, second_copy, third_copy}));
}

TEST_F(StatsDbE2E, TheOwnerAsksForTheTopAndAPlayerAndRestartsWithoutCountingTwice)
{
    const std::string statusdir = dir.subdir("status");
    colours(db, statusdir);
    dir.write("qconsole.log", match_log(8, 1500));
    ASSERT_TRUE(start({"-g"}));
    ASSERT_TRUE(stored_to_end()) << relay.output();

    // With the live status files on, status.json carries the all-time top 10.
    const std::string top10 = sql("SELECT name FROM player_totals ORDER BY kills DESC, deaths, name LIMIT 10");
    std::string names;
    for (int i = 0; i < 50; ++i) {
        const auto j = nlohmann::json::parse(slurp(statusdir + "/status.json"), nullptr, false);
        names.clear();
        if (j.is_object() && j.contains("alltime_top"))
            for (const auto& p : j["alltime_top"])
                names += p["name"].get<std::string>() + "\n";
        if (names == top10)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_EQ(names, top10);

    IrcClient boss;
    ASSERT_TRUE(boss.connect(server->port()));
    ASSERT_TRUE(boss.login("boss", "zuzu")) << boss.transcript();
    ASSERT_TRUE(boss.send_line("PRIVMSG " + kRelayNick + " :!pass s3cret"));
    ASSERT_TRUE(boss.send_line("PRIVMSG " + kRelayNick + " :!top 3"));
    // The banner, the heading and three players.
    const std::string best = sql("SELECT name FROM player_totals ORDER BY kills DESC, deaths, name LIMIT 1");
    ASSERT_TRUE(boss.wait_for_text(" 3. ", 30000)) << boss.transcript() << relay.output();
    EXPECT_NE(boss.transcript().find(" 1. \x03" "12" + best.substr(0, best.size() - 1)), std::string::npos)
        << boss.transcript();

    ASSERT_TRUE(boss.send_line("PRIVMSG " + kRelayNick + " :!player india"));
    ASSERT_TRUE(boss.wait_for_text("favourite weapon", 30000)) << boss.transcript();
    const std::string india = sql("SELECT kills, deaths FROM player_totals WHERE name = 'India'");
    const std::string kills = india.substr(0, india.find('|'));
    EXPECT_NE(boss.transcript().find("India\x03" "1 kills " + kills + " "), std::string::npos) << boss.transcript();

    // !restart reads the whole log again: the totals stay as they are.
    const std::string before = sql(kTotals);
    ASSERT_TRUE(boss.send_line("PRIVMSG " + kRelayNick + " :!restart"));
    std::this_thread::sleep_for(std::chrono::seconds(4));
    dir.append("qconsole.log", match_log(9, 8, false));
    ASSERT_TRUE(stored_to_end(120000)) << relay.output();
    EXPECT_EQ(sql(kTotals), tally({logfile}));
    EXPECT_NE(sql(kTotals), before);
}

TEST_F(StatsDbE2E, ALockedOrUnusableDatabaseIsSaidAndTheRelayGoesOnAndCatchesUp)
{
    // Another process holds the database locked for a while.
    ASSERT_EQ(sql("CREATE TABLE other (x); PRAGMA journal_mode = WAL;"), "wal\n");
    Process holder;
    ASSERT_TRUE(holder.start({"/usr/bin/python3", "-c",
                              "import sqlite3, time\n"
                              "c = sqlite3.connect('" + db + "', isolation_level=None)\n"
                              "c.execute('BEGIN EXCLUSIVE')\n"
                              "time.sleep(8)\n"
                              "c.execute('COMMIT')\n"},
                             dir.path(), dir.file("holder.out")));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    dir.write("qconsole.log", match_log(10, 400));
    ASSERT_TRUE(start({"-g"}));
    // The reports go on meanwhile.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    dir.append("qconsole.log", match_log(12, 6, false));
    ASSERT_TRUE(watcher.wait_for_text("was shot by", 30000)) << relay.output();
    const auto said = [&] { return relay.output().find("Statistics database " + db) != std::string::npos; };
    for (int i = 0; i < 100 && !said(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(said()) << relay.output();
    ASSERT_TRUE(holder.wait_exit(20000));
    ASSERT_TRUE(stored_to_end(60000)) << relay.output();
    EXPECT_EQ(sql(kTotals), tally({logfile}));
    EXPECT_NE(relay.output().find("in use again"), std::string::npos) << relay.output();
    // Said once, however often it was tried meanwhile.
    std::size_t said_times = 0;
    for (std::size_t at = 0; (at = relay.output().find("retrying; the relay goes on", at)) != std::string::npos; ++at)
        ++said_times;
    EXPECT_EQ(said_times, 1u) << relay.output();

    // A file that is no database: said, and the relay still relays.
    relay.stop();
    const std::string junk = dir.write("junk.db", std::string(8192, 'x'));
    colours(junk);
    dir.write("qconsole.log", match_log(11, 50));
    ASSERT_TRUE(start({"-g"}));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const std::size_t seen = watcher.lines().size();
    dir.append("qconsole.log", match_log(13, 6, false));
    ASSERT_TRUE(watcher.wait_for_text("was shot by", 30000, seen)) << relay.output();
    for (int i = 0; i < 100 && relay.output().find("Statistics database " + junk) == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NE(relay.output().find("Statistics database " + junk), std::string::npos) << relay.output();
    EXPECT_EQ(slurp(junk), std::string(8192, 'x'));
}
