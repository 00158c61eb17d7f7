#include <gtest/gtest.h>

#include <string>

#include "relay/app/main_loop.h"
#include "tests/support/relay_fixture.h"

namespace {

struct MainLoop : ::testing::Test {
    TestRelay t;
    Relay& r = t.r();
    LoopState loop;
    int connects = 0;

    void SetUp() override
    {
        set_loop_settings(r.settings);
        // The IRC server is unreachable unless a test says otherwise.
        t.fake.on_connect = [this](uint32_t, uint16_t, bool tcp) {
            if (tcp)
                ++connects;
            return -1;
        };
    }

    std::string log_lines(int n, const char* text = "^1Alice^7: ^2hello")
    {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += std::string(text) + "\n";
        return s;
    }

    // Joins a fake IRC connection so that report lines can be read back.
    FakeSocket& connected()
    {
        return *t.fake.socket(connect_fake_irc(r, t.fake));
    }

    int privmsgs(const FakeSocket& s)
    {
        int n = 0;
        for (std::size_t at = s.sent.find("PRIVMSG"); at != std::string::npos; at = s.sent.find("PRIVMSG", at + 1))
            ++n;
        return n;
    }
};

} // namespace

TEST_F(MainLoop, IdlePassesWaitInsteadOfSpinning)
{
    start_relay(r, loop);
    // Unreachable IRC and no log: each pass still waits.
    for (int i = 0; i < 50; ++i)
        relay_pass(r, loop);
    EXPECT_GE(t.fake.waited_ms, 50 * kLogPollMs);

    // The log is tried on every pass and opened once it exists.
    t.fake.write_file("qconsole.log", "");
    relay_pass(r, loop);
    EXPECT_EQ(r.log.logopen, 1);
    long long before = t.fake.waited_ms;
    relay_pass(r, loop);
    relay_pass(r, loop);
    EXPECT_GE(t.fake.waited_ms - before, kLogPollMs);
}

// Idle, the loop sleeps until something happens or a deadline is due: an appended
// line is handled and reported at once, the periodic tick still comes on time, and
// without a watch on the log it is looked at every kLogPollMs.
TEST_F(MainLoop, IdleLoopWakesForTheLogAndForItsDeadlines)
{
    for (bool watched : {true, false}) {
        SCOPED_TRACE(watched ? "watched log" : "polled log");
        t.fake.watches_supported = watched;
        t.fake.on_connect = nullptr;
        t.fake.write_file("qconsole.log", "");
        loop = LoopState{};
        r.log = LogFollower{};
        start_relay(r, loop);
        FakeSocket& irc = connected();
        r.irc.lastinput = t.fake.now();
        for (int i = 0; i < 3; ++i)
            relay_pass(r, loop);
        irc.sent.clear();

        const int waits = t.fake.waits;
        const long long start = t.fake.now_ms();
        while (t.fake.now_ms() - start < 30000)
            relay_pass(r, loop);
        const int wakeups = t.fake.waits - waits;
        EXPECT_LE(wakeups, watched ? 30 / 5 + 2 : 30 * 4 + 2);
        EXPECT_EQ(irc.sent, "");

        t.fake.append_file("qconsole.log", "Bob was shot by Alice's M4\n");
        const long long appended = t.fake.now_ms();
        relay_pass(r, loop);
        if (!watched)
            relay_pass(r, loop);
        EXPECT_NE(irc.sent.find("was shot by"), std::string::npos);
        EXPECT_LE(t.fake.now_ms() - appended, watched ? 2150 : 2150 + kLogPollMs);

        // The status block: 71 quiet seconds after the last handled line.
        const long long handled = loop.tick - 10;
        long long first_send = 0;
        irc.on_send = [&](FakeSocket&, std::string_view) {
            if (!first_send)
                first_send = t.fake.now();
        };
        while (!first_send && t.fake.now() - handled < 200)
            relay_pass(r, loop);
        EXPECT_EQ(first_send - handled, 71);
        irc.on_send = nullptr;
        t.fake.remove_file("qconsole.log");
    }
}

TEST_F(MainLoop, ReconnectsOnlyOnTheMinuteTick)
{
    start_relay(r, loop);
    EXPECT_EQ(connects, 1);
    while (t.fake.now() - loop.tick <= 60)
        relay_pass(r, loop);
    EXPECT_EQ(connects, 1);
    relay_pass(r, loop);
    EXPECT_EQ(connects, 2);
}

TEST_F(MainLoop, SilentStatusQueryOncePerMilestone)
{
    t.fake.write_file("qconsole.log", log_lines(50));
    start_relay(r, loop);
    for (int i = 0; i < 200; ++i)
        relay_pass(r, loop);
    EXPECT_EQ(r.log.linesread, 50);
    EXPECT_EQ(loop.silent_queries, 1);

    r.game.fragcount = 10;
    for (int i = 0; i < 200; ++i)
        relay_pass(r, loop);
    EXPECT_EQ(loop.silent_queries, 2);

    // Back to a milestone after a reset counts again.
    r.game.fragcount = 0;
    relay_pass(r, loop);
    r.game.fragcount = 10;
    relay_pass(r, loop);
    EXPECT_EQ(loop.silent_queries, 3);

    // Server mode makes no such query and keeps no frag count.
    r.settings.servermode = 1;
    r.game.fragcount = 20;
    relay_pass(r, loop);
    EXPECT_EQ(loop.silent_queries, 3);
    EXPECT_EQ(r.game.fragcount, 0);
}

TEST_F(MainLoop, CatchingUpDelaysTheConnectionToTheFirstTick)
{
    r.settings.recoverlines = 500;
    t.fake.write_file("qconsole.log", log_lines(20));
    start_relay(r, loop);
    for (int i = 0; i < 100 && r.log.linesread < 20; ++i)
        relay_pass(r, loop);
    EXPECT_EQ(r.log.linesread, 20);
    EXPECT_EQ(connects, 0);
    // The last handled line pushed the tick on by ten seconds.
    t.fake.clock_ms += 61000;
    relay_pass(r, loop);
    EXPECT_EQ(connects, 0);
    t.fake.clock_ms += 10000;
    relay_pass(r, loop);
    EXPECT_EQ(connects, 1);
}

TEST_F(MainLoop, StatusBlockComesAfterSeventyQuietSeconds)
{
    t.fake.on_connect = nullptr;
    t.fake.write_file("qconsole.log", "");
    start_relay(r, loop);
    FakeSocket& irc = connected();
    irc.sent.clear();

    // A line every 30 s keeps the block away.
    for (int i = 0; i < 6; ++i) {
        t.fake.append_file("qconsole.log", "nothing to see\n");
        relay_pass(r, loop);
        t.fake.clock_ms += 30000;
    }
    EXPECT_EQ(privmsgs(irc), 0);

    long long last_line = t.fake.now() - 30;
    long long pass_start = 0;
    for (int i = 0; i < 2000 && privmsgs(irc) == 0; ++i) {
        pass_start = t.fake.now();
        relay_pass(r, loop);
    }
    EXPECT_GT(pass_start - last_line, 70);
    EXPECT_LE(pass_start - last_line, 72);
}

TEST_F(MainLoop, StatusBlockLines)
{
    r.settings.serverhost = std::string("game.example");
    r.settings.serverport = std::string("27960");
    r.query.queryopen = 1;
    r.query.sv_hostname = std::string("^1Brack^7water");
    r.teams.redteamname = "^1Reds";
    FakeSocket& irc = connected();
    send_status_block(r);
    EXPECT_EQ(visible(irc.sent),
              "PRIVMSG #chan :{C}1,15 Quillon's SOF2 Tidewatch v1.2 {CR}{LF}"
              "PRIVMSG #chan :{C}1,7 Logfile unavailable... {CR}{LF}"
              "PRIVMSG #chan :{C}1,7 Team mode on:{C}4 Reds RED{C}0{C}11 Blue BLUE {CR}{LF}"
              "PRIVMSG #chan :{C}1,14 SCORE:{C}4 Reds {C}1,14-{C}11 Blue{C}1,14:{C}4 0 {C}1,14-{C}11 0 {CR}{LF}"
              "PRIVMSG #chan :{C}1,14 Server stats: {CR}{LF}"
              "PRIVMSG #chan :{C}0,1 ^1Brack^7water{O}{C}0,1 [game.example:27960] {CR}{LF}");

    // Silenced: only the forced lines would pass, and the first two are left out.
    irc.sent.clear();
    r.settings.silent = 1;
    r.query.queryopen = 0;
    send_status_block(r);
    EXPECT_EQ(irc.sent, "");
}

TEST_F(MainLoop, CatchingUpHoldsBackExactlyTheLinesAsked)
{
    struct Case {
        int recoverlines;
        bool fromend;
        int reported;
    };
    for (const Case& c : {Case{3, false, 2}, Case{1, false, 4}, Case{0, true, 0}}) {
        TestRelay fresh;
        Relay& q = fresh.r();
        q.settings = r.settings;
        q.settings.recoverlines = c.recoverlines;
        fresh.fake.on_connect = t.fake.on_connect;
        fresh.fake.write_file("qconsole.log", log_lines(5, "Bob was shot by Alice's M4"));
        if (c.fromend)
            q.settings.fromend = fresh.fake.file_stat("qconsole.log").size;
        LoopState l;
        start_relay(q, l);
        const int h = connect_fake_irc(q, fresh.fake);
        for (int i = 0; i < 5; ++i)
            relay_pass(q, l);
        EXPECT_EQ(q.log.linesread, 5);
        EXPECT_EQ(privmsgs(*fresh.fake.socket(h)), c.reported) << c.recoverlines << " " << c.fromend;
    }
}

// While reports are held back the IRC socket is not asked on every pass, but a
// server line that comes in the middle of a long catch-up is still answered
// within a fraction of it, and the held-back lines stay unreported.
TEST_F(MainLoop, CatchingUpStillAnswersTheServer)
{
    const int lines = 6000;
    r.settings.recoverlines = lines;
    t.fake.write_file("qconsole.log", log_lines(lines, "Bob was shot by Alice's M4"));
    start_relay(r, loop);
    FakeSocket& irc = connected();
    for (int i = 0; i < 10; ++i)
        relay_pass(r, loop);
    irc.inbox.push_back("PING :now\r\n");
    int passes = 0;
    while (irc.sent.find("PONG") == std::string::npos && passes < lines)
        relay_pass(r, loop), ++passes;
    EXPECT_LE(passes, 64);
    EXPECT_LT(r.log.linesread, lines / 2);
    while (r.log.linesread < lines)
        relay_pass(r, loop);
    EXPECT_EQ(privmsgs(irc), 0);
}
