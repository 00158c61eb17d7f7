// The whole relay on the fake platform, its loop driven pass by pass.
//
// A day of a busy server in virtual time: players come and go, kill each other and
// finish rounds, the owner sends commands, strangers guess the password, the IRC
// server pings and twice an hour... every two hours drops the connection. At the
// end nothing has grown (player table, buffers, sockets, files, the back-off
// table) and the counters agree with the traffic: every kill reported once, every
// line and byte of the log counted.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "relay/app/main_loop.h"
#include "relay/base/trace.h"
#include "tests/support/connected_relay.h"
#include "tests/support/relay_fixture.h"

namespace {

constexpr long long kDayMs = 24LL * 3600 * 1000;

struct WholeRelay : ::testing::Test {
    TestRelay t;
    Relay& r = t.r();
    FakePlatform& fake = t.fake;
    LoopState loop;
    int connects = 0;
    long long kill_reports = 0;
    long long pongs = 0;
    long long owner_replies = 0;
    bool keep_wire = false;
    std::string wire; // what collect() saw, when keep_wire

    void SetUp() override
    {
        set_loop_settings(r.settings);
        r.settings.botpass = std::string("s3cret");
        r.settings.playerstats = 1;
        fake.write_file("qconsole.log", "");
        fake.on_connect = [this](uint32_t, uint16_t, bool tcp) {
            connects += tcp ? 1 : 0;
            return 0;
        };
        // The IRC server: confirms the JOIN and answers the relay's PING.
        fake.on_socket = [](FakeSocket& s) {
            if (!s.tcp)
                return;
            s.on_send = [](FakeSocket& sock, std::string_view data) {
                if (data.substr(0, 5) == "JOIN ")
                    sock.inbox.push_back(":SOF2Tidewatch!u@h JOIN :#chan\r\n");
                else if (data.substr(0, 5) == "PING ")
                    sock.inbox.push_back(":irc.test PONG irc.test :tidecore\r\n");
            };
        };
    }

    FakeSocket& irc() { return *fake.socket(r.irc.ircsocket); }

    // Counts what the relay sent on the current connection and forgets it.
    void collect()
    {
        if (!r.irc.ircconnected)
            return;
        std::string& sent = irc().sent;
        std::size_t start = 0;
        for (std::size_t end; (end = sent.find("\r\n", start)) != std::string::npos; start = end + 2) {
            std::string_view line(sent.data() + start, end - start);
            kill_reports += line.substr(0, 15) == "PRIVMSG #chan :" && line.find(" was shot by ") != line.npos;
            pongs += line.substr(0, 5) == "PONG ";
            owner_replies += line.substr(0, 13) == "PRIVMSG Boss ";
        }
        if (keep_wire)
            wire.append(sent, 0, start);
        sent.erase(0, start);
    }

    // Passes until the log is read and the server's lines are handled.
    void run_passes()
    {
        for (int i = 0; i < 400; ++i) {
            relay_pass(r, loop);
            collect();
            if (r.log.logfill == 0 && r.irc.ircinfill == 0 && i > 3 &&
                (!r.irc.ircconnected || irc().inbox.empty()))
                break;
        }
    }
};

} // namespace

TEST_F(WholeRelay, ADayOfTrafficLeavesNothingGrownAndEveryCountRight)
{
    start_relay(r, loop);
    ASSERT_EQ(r.irc.ircconnected, 1);

    std::mt19937 rng(20260);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const int kPool = 40;
    std::vector<int> team(kPool, 0); // 0 away, 1 red, 2 blue
    auto name = [](int i) { return "Player" + std::to_string(i); };

    long long lines = 0, bytes = 0, kills = 0, pings = 0, reconnects = 0, guesses = 0;
    const long long start = fake.clock_ms;
    long long next_drop = start + 2 * 3600 * 1000LL;
    for (int cycle = 0; fake.clock_ms - start < kDayMs; ++cycle) {
        std::string batch;
        for (int n = 3 + pick(10); n > 0; --n) {
            int who = pick(kPool);
            int roll = pick(100);
            if (team[who] == 0 && roll < 60) {
                team[who] = 1 + pick(2);
                batch += name(who) + " is connecting...\n" + name(who) +
                         (team[who] == 1 ? " joined the red team.\n" : " joined the blue team.\n");
            } else if (team[who] != 0 && roll < 8) {
                team[who] = 0;
                batch += name(who) + " disconnected\n";
            } else if (team[who] != 0) {
                int killer = pick(kPool);
                if (team[killer] == 0 || team[killer] == team[who])
                    continue;
                batch += name(who) + " was shot by " + name(killer) + "'s M4\n";
                ++kills;
            }
        }
        if (cycle % 25 == 24)
            batch += pick(2) ? "Red team eliminated!\n" : "Blue team eliminated!\n";
        for (char c : batch)
            lines += c == '\n';
        bytes += static_cast<long long>(batch.size());
        fake.append_file("qconsole.log", batch);

        if (cycle % 3 == 0) {
            irc().inbox.push_back("PING :irc.test\r\n");
            ++pings;
        }
        if (cycle % 11 == 0)
            irc().inbox.push_back(":Boss!b@h PRIVMSG SOF2Tidewatch :" +
                                  std::string(cycle % 2 ? "!pass s3cret" : "!stats") + "\r\n");
        if (cycle % 13 == 0) {
            const std::string n = std::to_string(cycle);
            irc().inbox.push_back(":Guess" + n + "!g@h" + n + " PRIVMSG SOF2Tidewatch :!pass x\r\n");
            ++guesses;
        }
        run_passes();

        if (fake.clock_ms >= next_drop) {
            irc().inbox.push_back(""); // the server hangs up
            run_passes();
            ++reconnects;
            next_drop += 2 * 3600 * 1000LL;
        }
        fake.sleep_ms(1000LL * (5 + pick(100))); // a quiet spell; sometimes the status block
        run_passes();
    }

    // Every line and byte of the log counted, every kill reported exactly once.
    EXPECT_EQ(r.log.linesread, lines);
    EXPECT_EQ(r.log.bytesconsumed, bytes);
    EXPECT_EQ(kill_reports, kills);
    EXPECT_EQ(pongs, pings);
    EXPECT_GT(owner_replies, 0);
    EXPECT_EQ(connects, 1 + reconnects);
    EXPECT_GE(reconnects, 11);
    EXPECT_EQ(r.irc.ircconnected, 1);
    EXPECT_EQ(r.irc.lost, 0);
    ASSERT_TRUE(r.commands.botowner);
    EXPECT_EQ(*r.commands.botowner, "Boss");

    // Nothing grew: players within the pool, buffers empty, one connection and the
    // log the only open file, the back-off table bounded.
    EXPECT_LE(r.players.playercount, kPool);
    int present = 0;
    for (int i = 0; i < r.players.playercount; ++i)
        present += r.players.slots[i].id != -1;
    int expected_present = 0;
    for (int tm : team)
        expected_present += tm != 0;
    EXPECT_EQ(present, expected_present);
    EXPECT_EQ(r.log.logfill, 0);
    EXPECT_EQ(r.irc.ircinfill, 0);
    EXPECT_EQ(r.log.logbuf.size(), static_cast<std::size_t>(kLogBufSize));
    int open_tcp = 0, open_udp = 0;
    for (const auto& [h, s] : fake.sockets)
        (s.tcp ? open_tcp : open_udp) += s.open;
    EXPECT_EQ(open_tcp, 1);
    EXPECT_LE(open_udp, 1);
    EXPECT_EQ(fake.handles.size(), 1u);
    EXPECT_LE(r.commands.passhosts.size(), static_cast<std::size_t>(guesses));
    EXPECT_LE(r.commands.passhosts.size(), 256u);
}

// The three passwords reach the IRC server only in the lines that log in with
// them; the channel, the console and the trace below its most detailed level
// never show them, through a login, repairs, owner commands (right, wrong and
// mistyped), a lost connection and its new login. Only the owner's !newpass reply
// names a password, as it must.
TEST_F(WholeRelay, SecretsStayOutOfChannelConsoleAndTrace)
{
    r.settings.bouncerpass = std::string("b0uncerPW");
    r.settings.qpass = std::string("qPassW0rd");
    r.settings.quietmode = 0;
    r.settings.debuglevel = 100;
    open_trace(r);
    keep_wire = true;
    start_relay(r, loop);
    auto deliver = [&](const std::string& bytes) {
        irc().inbox.push_back(bytes);
        run_passes();
    };
    for (const char* line : {
             ":irc.test 451 * :You have not registered", ":irc.test 464 * :Password incorrect",
             ":Boss!b@h PRIVMSG SOF2Tidewatch :!pass s3cret", ":Boss!b@h PRIVMSG SOF2Tidewatch :!PASS  s3cret",
             ":Boss!b@h PRIVMSG #chan :!pass s3cret", ":Eve!e@h PRIVMSG SOF2Tidewatch :!pass b0uncerPW",
             ":Boss!b@h PRIVMSG SOF2Tidewatch :!settings", ":Boss!b@h PRIVMSG SOF2Tidewatch :!server",
             ":Boss!b@h PRIVMSG SOF2Tidewatch :!newpass s3cret n3wPW n3wPW"})
        deliver(std::string(line) + "\r\n");
    deliver(""); // the server hangs up; the relay logs in again
    deliver(":Boss!b@h PRIVMSG SOF2Tidewatch :!pass n3wPW\r\n");
    ASSERT_EQ(connects, 2);

    const std::string traced = fake.file_content(kTracePath);
    EXPECT_NE(traced.find("arg[3][!pass ...]"), std::string::npos) << traced;
    int newpass_replies = 0;
    for (const std::string& line : wire_lines(wire)) {
        const bool login = line.rfind("PASS ", 0) == 0 || line.rfind("PRIVMSG Q@CServe.quakenet.org :AUTH ", 0) == 0;
        const bool newpass_reply = line.rfind("PRIVMSG Boss :", 0) == 0 && line.find("PASSWORD CHANGED") != line.npos;
        newpass_replies += newpass_reply;
        for (const char* secret : {"s3cret", "b0uncerPW", "qPassW0rd", "n3wPW"}) {
            if (!login && !newpass_reply) {
                EXPECT_EQ(line.find(secret), line.npos) << secret << " in " << line;
            }
            EXPECT_EQ(fake.out.find(secret), std::string::npos) << secret << " on the console:\n" << fake.out;
            EXPECT_EQ(traced.find(secret), std::string::npos) << secret << " in the trace:\n" << traced;
        }
    }
    EXPECT_EQ(newpass_replies, 1) << visible(wire) << fake.out;
}

// Player names, chat and command words carrying CR, LF, NUL, IRC control bytes or
// a console-command echo, through the log and through IRC: every line on the wire
// stays one line of the relay's own, no command is added, and the relay neither
// obeys nor quits.
TEST_F(WholeRelay, HostileNamesAndChatAddNoLinesOrCommands)
{
    r.settings.messages = 0; // chat relayed
    keep_wire = true;
    start_relay(r, loop);
    irc().inbox.push_back(":Boss!b@h PRIVMSG SOF2Tidewatch :!pass s3cret\r\n");
    run_passes();
    using namespace std::string_literals;
    const std::vector<std::string> log_lines = {
        "Bob\rQUIT :bye joined the red team.",
        "Bob\rQUIT :bye was shot by Alice\rJOIN #evil's M4",
        "Eve\rPRIVMSG #chan :fake^7: ^2hi\rPART #chan",
        "Zed^7: ^2x\rJOIN #evil",
        "QUIT :y", // what a line feed in a chat line leaves as a line of its own
        "]lbot quit^7: ^2]lbot quit",
        "^7]lbot quit was shot by Alice's M4",
        "]lbot quit is connecting...",
        "Mal\x01" "ACTION\x01^7: ^2\x03" "4red\x02\x16\x0f\x1f",
        "Nul\0QUIT :z^7: ^2x"s,
        "]lbot renameteam Evil\rQUIT",
        "Red team eliminated!",
    };
    for (const std::string& l : log_lines)
        fake.append_file("qconsole.log", l + "\n");
    run_passes();
    for (const char* text : {"!renameteam Bad\rQUIT\x01 Blue", "!clantag red [X]\rJOIN #evil", "!channel #chan\rJOIN",
                             "!pass s3cret\rQUIT"})
        irc().inbox.push_back(":Boss!b@h PRIVMSG SOF2Tidewatch :"s + text + "\r\n");
    run_passes();
    fake.append_file("qconsole.log", "Blue team eliminated!\nRed team eliminated!\n");
    run_passes();

    ASSERT_FALSE(wire.empty());
    for (const std::string& line : wire_lines(wire)) {
        EXPECT_EQ(line.find_first_of("\r\n"s + '\0'), std::string::npos) << visible(line);
        const bool own = line.rfind("PASS ", 0) == 0 || line.rfind("NICK ", 0) == 0 || line.rfind("USER ", 0) == 0 ||
                         line == "JOIN #chan" || line.rfind("PRIVMSG #chan :", 0) == 0 ||
                         line.rfind("PRIVMSG Boss :", 0) == 0;
        EXPECT_TRUE(own) << visible(line);
    }
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(r.settings.channel, std::string("#chan"));
    EXPECT_EQ(r.settings.silent, 0);
}
