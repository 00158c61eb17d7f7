#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "relay/gamelog/follower.h"
#include "tests/support/relay_fixture.h"

namespace {

std::vector<std::string> g_lines;
int g_result = 0;

int record_line(Relay&, char* line)
{
    g_lines.emplace_back(line);
    return g_result;
}

struct Follower : ::testing::Test {
    TestRelay t;
    Relay& r = t.r();
    void SetUp() override
    {
        g_lines.clear();
        g_result = 0;
        r.settings.logfile = std::string("qconsole.log");
        r.log.processor = record_line;
    }
    // One pass of the loop's log duty.
    int pass()
    {
        read_log(r);
        return take_log_lines(r);
    }
    std::string numbered(int from, int to)
    {
        std::string s;
        for (int i = from; i <= to; ++i)
            s += "line " + std::to_string(i) + "\n";
        return s;
    }
};

} // namespace

TEST_F(Follower, OpensWhenTheLogAppearsAndSetsTheClocks)
{
    open_log(r);
    EXPECT_EQ(r.log.logopen, 0);
    EXPECT_STREQ(log_state_text(r), "Logfile unavailable... ");
    t.fake.clock_ms += 5000;
    t.fake.write_file("qconsole.log", "");
    open_log(r);
    EXPECT_EQ(r.log.logopen, 1);
    EXPECT_EQ(r.game.mapstarttime, t.fake.now());
    EXPECT_EQ(r.game.lastactivity, t.fake.now());
    r.settings.langout = 1;
    EXPECT_STREQ(log_state_text(r), "Log Datei offen.. Warte auf Daten.. ");
    r.settings.langout = 2;
    EXPECT_STREQ(log_state_text(r), "Logfile aanwezig... Wacht op data... ");
}

TEST_F(Follower, SixLinesPerPassAndHalfLinesWait)
{
    t.fake.write_file("qconsole.log", numbered(1, 25));
    open_log(r);
    std::vector<int> per_pass;
    for (int i = 0; i < 6; ++i)
        per_pass.push_back(pass());
    EXPECT_EQ(per_pass, (std::vector<int>{6, 6, 6, 6, 1, 0}));
    ASSERT_EQ(g_lines.size(), 25u);
    EXPECT_EQ(g_lines.front(), "line 1");
    EXPECT_EQ(g_lines.back(), "line 25");
    EXPECT_EQ(r.log.linesread, 25);
    EXPECT_EQ(r.log.bytesconsumed, static_cast<long long>(numbered(1, 25).size()));

    t.fake.append_file("qconsole.log", "half a li");
    EXPECT_EQ(pass(), 0);
    t.fake.append_file("qconsole.log", "ne\r\nnext");
    EXPECT_EQ(pass(), 1);
    EXPECT_EQ(g_lines.back(), "half a line\r"); // the CR before the LF stays
    EXPECT_EQ(r.log.linesread, 26);
}

TEST_F(Follower, ProgressMessagesByMode)
{
    t.fake.write_file("qconsole.log", numbered(1, 30));
    open_log(r);
    for (int i = 0; i < 6; ++i)
        pass();
    EXPECT_EQ(t.fake.out, "10 lines read...\n20 lines read...\n30 lines read...\n");

    TestRelay quiet;
    quiet.r().settings.quietmode = 1;
    quiet.r().settings.logfile = std::string("q");
    quiet.r().log.processor = record_line;
    quiet.fake.write_file("q", numbered(1, 10));
    open_log(quiet.r());
    read_log(quiet.r());
    take_log_lines(quiet.r());
    take_log_lines(quiet.r());
    EXPECT_EQ(quiet.fake.out, "");

    TestRelay server;
    server.r().settings.servermode = 1;
    server.r().settings.logfile = std::string("q");
    server.r().log.processor = record_line;
    std::string many;
    for (int i = 0; i < 4000; ++i)
        many += "x\n";
    server.fake.write_file("q", many);
    open_log(server.r());
    for (int i = 0; i < 700; ++i) {
        read_log(server.r());
        take_log_lines(server.r());
    }
    EXPECT_EQ(server.r().log.linesread, 4000);
    EXPECT_EQ(server.fake.out, "2000 lines read...\n4000 lines read...\n");
}

TEST_F(Follower, ProcessorResultEndsTheBatch)
{
    t.fake.write_file("qconsole.log", numbered(1, 5));
    open_log(r);
    g_result = 1;
    EXPECT_EQ(pass(), 0);
    EXPECT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(r.log.linesread, 1);
}

TEST_F(Follower, OverlongLineDoesNotStallTheFollower)
{
    std::string longline(40000, 'a');
    t.fake.write_file("qconsole.log", "before\n" + longline + "\nafter\n");
    open_log(r);
    for (int i = 0; i < 10; ++i)
        pass();
    EXPECT_EQ(g_lines, (std::vector<std::string>{"before", "after"}));
    EXPECT_EQ(r.log.bytesconsumed, static_cast<long long>(7 + 40001 + 6));
    EXPECT_EQ(r.log.linesread, 3);
    t.fake.append_file("qconsole.log", "later\n");
    pass();
    EXPECT_EQ(g_lines.back(), "later");
}

TEST_F(Follower, TruncatedOrReplacedLogIsReadFromItsStart)
{
    t.fake.write_file("qconsole.log", numbered(1, 3));
    open_log(r);
    pass();
    ASSERT_EQ(g_lines.size(), 3u);

    // The game starts a new log in place.
    t.fake.write_file("qconsole.log", "fresh 1\n");
    pass();
    EXPECT_EQ(g_lines.back(), "fresh 1");

    // The log is rotated: a new file takes the name; what remained of the old one
    // is read first.
    t.fake.append_file("qconsole.log", "old tail\n");
    t.fake.replace_file("qconsole.log", "new 1\nnew 2\n");
    pass();
    pass();
    EXPECT_EQ(g_lines, (std::vector<std::string>{"line 1", "line 2", "line 3", "fresh 1", "old tail", "new 1", "new 2"}));
}

// Lines read but still waiting their turn (reports are paced) when the log is cut
// or replaced are handled first, all of them; a line the old file never finished
// is dropped rather than joined to the new file's first line.
TEST_F(Follower, LinesWaitingWhenTheLogIsCutOrReplacedAreAllHandled)
{
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced" : "truncated");
        g_lines.clear();
        r.log = LogFollower{};
        r.log.processor = record_line;
        t.fake.replace_file("qconsole.log", "");
        open_log(r);
        t.fake.append_file("qconsole.log", numbered(1, 12) + "half a li");
        pass();
        ASSERT_EQ(g_lines.size(), 6u);
        if (replaced)
            t.fake.replace_file("qconsole.log", "new 1\n");
        else
            t.fake.write_file("qconsole.log", "new 1\n");
        for (int i = 0; i < 4; ++i)
            pass();
        std::vector<std::string> want;
        for (int i = 1; i <= 12; ++i)
            want.push_back("line " + std::to_string(i));
        want.push_back("new 1");
        EXPECT_EQ(g_lines, want);
    }
}

TEST_F(Follower, CloseLogStartsOverOnTheNextOpen)
{
    t.fake.write_file("qconsole.log", numbered(1, 3));
    open_log(r);
    pass();
    close_log(r);
    EXPECT_EQ(r.log.logopen, 0);
    EXPECT_EQ(r.log.linesread, 0);
    EXPECT_EQ(r.log.bytesconsumed, 0);
    open_log(r);
    pass();
    EXPECT_EQ(g_lines.size(), 6u);
    EXPECT_EQ(g_lines.back(), "line 3");
}

TEST_F(Follower, APathThatIsNoPlainFileIsRefusedUntilOneAppears)
{
    t.fake.write_file("qconsole.log", "old\n");
    t.fake.files["qconsole.log"]->regular = false; // a pipe, a directory, a device
    for (int i = 0; i < 3; ++i)
        open_log(r);
    EXPECT_EQ(r.log.logopen, 0);
    EXPECT_EQ(t.fake.out, "The log qconsole.log is not a plain file: waiting for one.\n");

    t.fake.replace_file("qconsole.log", "line 1\n");
    open_log(r);
    ASSERT_EQ(r.log.logopen, 1);
    pass();
    EXPECT_EQ(g_lines, (std::vector<std::string>{"line 1"}));
}

// What the log held when it was opened first (and when it is opened again after
// being closed) is history; what is written later is not, nor is a log that
// appears only after the first try.
TEST_F(Follower, LinesInTheLogAtTheStartAreHistory)
{
    r.log.processor = [](Relay& x, char* line) {
        g_lines.emplace_back(std::string(line) + (x.log.historyline ? " (history)" : ""));
        return 0;
    };
    t.fake.write_file("qconsole.log", numbered(1, 2));
    open_log(r);
    t.fake.append_file("qconsole.log", numbered(3, 3));
    pass();
    EXPECT_EQ(g_lines, (std::vector<std::string>{"line 1 (history)", "line 2 (history)", "line 3"}));

    g_lines.clear();
    close_log(r);
    t.fake.append_file("qconsole.log", numbered(4, 4));
    open_log(r);
    t.fake.append_file("qconsole.log", numbered(5, 5));
    pass();
    EXPECT_EQ(g_lines.size(), 5u);
    EXPECT_EQ(g_lines[3], "line 4 (history)");
    EXPECT_EQ(g_lines[4], "line 5");

    // Replaced by a new file: its lines are new.
    g_lines.clear();
    t.fake.write_file("qconsole.log", numbered(6, 6));
    pass();
    pass();
    EXPECT_EQ(g_lines, (std::vector<std::string>{"line 6"}));
}

TEST_F(Follower, ALogThatAppearsAfterTheStartHasNoHistory)
{
    r.log.processor = [](Relay& x, char* line) {
        g_lines.emplace_back(std::string(line) + (x.log.historyline ? " (history)" : ""));
        return 0;
    };
    open_log(r);
    t.fake.write_file("qconsole.log", numbered(1, 1));
    open_log(r);
    pass();
    EXPECT_EQ(g_lines, (std::vector<std::string>{"line 1"}));
}
