// The relay against an IRC server that misbehaves: a scripted server on 127.0.0.1
// sends what a real one would not (over-long and unterminated lines, binary bytes,
// floods) and drops the connection in the ways a network does. After each fault
// the relay must still answer PINGs and report the next kill, and after a lost
// connection it must be back with the full login at once, with its players, their
// scores and its owner kept.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/e2e/support/irc_client.h"
#include "tests/e2e/support/irc_peer.h"
#include "tests/e2e/support/peer_fixture.h"
#include "tests/e2e/support/relay_process.h"
#include "tests/e2e/support/temp_dir.h"

using namespace e2e;

namespace {

double seconds_since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

bool report_with(const std::string& line, const std::string& text)
{
    return line.rfind("PRIVMSG " + kChannel + " :", 0) == 0 && line.find(text) != std::string::npos;
}

struct IrcFaultsE2E : PeerFixture {
    void SetUp() override { start_with_peer(kRelayNick, {"-c", "-b", "s3cret"}); }

    // A kill written now is reported (within timeout_ms); returns its line.
    std::string kill_reported(const std::string& victim, int timeout_ms = 15000)
    {
        std::size_t from = peer.lines().size();
        dir.append("qconsole.log", victim + " was shot by Alice's M4\n");
        auto got = peer.wait_for([&](const std::string& l) { return report_with(l, victim); }, timeout_ms, from);
        EXPECT_TRUE(got) << victim << "\n" << relay.output() << peer.transcript();
        return got ? *got : std::string();
    }

    // The relay still answers the server.
    void answers_ping(const std::string& token)
    {
        std::size_t from = peer.lines().size();
        ASSERT_TRUE(peer.send_raw("PING :" + token + "\r\n"));
        EXPECT_TRUE(peer.wait_for([&](const std::string& l) { return l == "PONG " + token; }, 10000, from))
            << token << "\n" << peer.transcript();
    }

    std::size_t count(const std::string& text, std::size_t from = 0)
    {
        std::size_t n = 0;
        for (std::size_t i = from; i < peer.lines().size(); ++i)
            n += peer.lines()[i].find(text) != std::string::npos;
        return n;
    }
};

struct HostileInput {
    const char* name;
    std::string bytes;
    std::string answer; // a line the relay must send in reply ("" none)
    std::string rest = {}; // sent a second later, when not empty
};

std::string all_bytes_line()
{
    std::string s = ":Mallory!m@h PRIVMSG " + kChannel + " :";
    for (int c = 0; c < 256; ++c)
        if (c != '\r' && c != '\n')
            s += static_cast<char>(c);
    return s + "\r\n";
}

std::string repeated(const std::string& line, int times)
{
    std::string s;
    for (int i = 0; i < times; ++i)
        s += line;
    return s;
}

} // namespace

// One connection takes every hostile input in turn; after each, the relay answers
// a PING and reports a kill.
TEST_F(IrcFaultsE2E, HostileServerInputNeitherCrashesNorDeafens)
{
    const std::vector<HostileInput> inputs = {
        {"line longer than the input buffer", std::string(40000, 'A') + "\r\nPING :after-long\r\n", "PONG after-long"},
        {"over-long PRIVMSG to the relay", ":Mallory!m@h PRIVMSG " + kRelayNick + " :!pass " + std::string(5000, 'x') + "\r\n",
         ""},
        {"lines ended by LF alone", "PING :lf-only\n:irc.peer.test NOTICE * :hi\n", "PONG lf-only"},
        {"a line cut in two sends", "PING :spl", "PONG split", "it\r\n"},
        {"every byte value", all_bytes_line(), ""},
        {"NUL, CR alone and control bytes", std::string(":Mallory!m@h PRIVMSG ") + kRelayNick + " :!quit\0now\r\n" +
                                                "PING :a\rb\x01\x03\x16\r\n\xff\xfe\xfd\r\n",
         ""},
        {"a flood of PINGs", repeated("PING :flood\r\n", 10000), "PONG flood"},
        {"a flood of ban replies", repeated(":irc.peer.test 474 " + kRelayNick + " " + kChannel + " :banned\r\n", 300), ""},
    };
    int n = 0;
    for (const HostileInput& in : inputs) {
        SCOPED_TRACE(in.name);
        std::size_t from = peer.lines().size();
        ASSERT_TRUE(peer.send_raw(in.bytes)) << relay.output();
        if (!in.rest.empty()) {
            peer.pump(1000);
            ASSERT_TRUE(peer.send_raw(in.rest));
        }
        if (!in.answer.empty()) {
            EXPECT_TRUE(peer.wait_for([&](const std::string& l) { return l == in.answer; }, 15000, from))
                << peer.transcript();
        }
        answers_ping("alive" + std::to_string(++n));
        kill_reported("Victim" + std::to_string(n), 20000);
        ASSERT_TRUE(relay.running()) << relay.output();
    }
    // The hostile PRIVMSGs neither authorised anyone nor ended the relay, and
    // nothing but the relay's own lines went out.
    EXPECT_EQ(count("AUTHORIZED"), 0u);
    EXPECT_EQ(count("QUIT"), 0u);
    for (const std::string& l : peer.lines()) {
        std::string cmd = command_of(l);
        EXPECT_TRUE(cmd == "PASS" || cmd == "NICK" || cmd == "USER" || cmd == "JOIN" || cmd == "PRIVMSG" ||
                    cmd == "PONG")
            << l;
    }
}

struct ConnectionLoss {
    const char* name;
    std::string last_bytes; // sent just before the loss
    bool reset;
};

void PrintTo(const ConnectionLoss& loss, std::ostream* os)
{
    *os << loss.name;
}

struct ConnectionLossE2E : IrcFaultsE2E, ::testing::WithParamInterface<ConnectionLoss> {};

// The server ends the connection; a kill is written while it is down. The relay
// logs in again within 20 seconds, reports that kill once on the new connection
// and the next one after its JOIN, with the counts going on, and its owner is
// still its owner.
TEST_P(ConnectionLossE2E, BackAtOnceWithItsStateKept)
{
    peer.send_raw(":Boss!b@h PRIVMSG " + kRelayNick + " :!pass s3cret\r\n");
    ASSERT_TRUE(peer.wait_for_text("AUTHORIZED", 10000)) << peer.transcript();
    EXPECT_NE(kill_reported("Bob").find(" [ 1/ 0]"), std::string::npos);

    peer.send_raw(GetParam().last_bytes);
    peer.close_connection(GetParam().reset);
    auto t0 = std::chrono::steady_clock::now();
    dir.append("qconsole.log", "Carl was shot by Alice's M4\n");

    std::size_t from = peer.lines().size();
    ASSERT_TRUE(peer.accept_login(kRelayNick, 20000)) << relay.output() << peer.transcript();
    EXPECT_LT(seconds_since(t0), 20.0);
    // The full login, in order, on the new connection.
    std::vector<std::string> login;
    for (std::size_t i = from; i < peer.lines().size() && login.size() < 4; ++i)
        login.push_back(command_of(peer.lines()[i]));
    EXPECT_EQ(login, (std::vector<std::string>{"PASS", "NICK", "USER", "JOIN"})) << peer.transcript();

    auto carl = peer.wait_for([](const std::string& l) { return report_with(l, "Carl"); }, 15000, from);
    ASSERT_TRUE(carl) << relay.output() << peer.transcript();
    EXPECT_NE(carl->find(" [ 2/ 0]"), std::string::npos) << *carl;
    EXPECT_NE(kill_reported("Dave").find(" [ 3/ 0]"), std::string::npos);
    EXPECT_EQ(count("Carl"), 1u) << peer.transcript();

    from = peer.lines().size();
    peer.send_raw(":Boss!b@h PRIVMSG " + kRelayNick + " :!playerstats on\r\n");
    EXPECT_TRUE(peer.wait_for_text("PRIVMSG Boss :\x03" "1,0 PLAYERSTATS:", 10000, from)) << peer.transcript();
    EXPECT_EQ(peer.connections(), 2);
}

INSTANTIATE_TEST_SUITE_P(Losses, ConnectionLossE2E,
                         ::testing::Values(ConnectionLoss{"Closed", "ERROR :Closing link\r\n", false},
                                           ConnectionLoss{"Reset", "", true},
                                           ConnectionLoss{"ResetMidLine", ":irc.peer.test PRIVMSG " + kRelayNick + " :half a li",
                                                          true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A server that is gone for good: two attempts five seconds apart, then the relay
// ends with exit code 1, so a service manager can start it again.
TEST_F(IrcFaultsE2E, ServerGoneForGoodEndsWithExitCodeOne)
{
    peer.stop_listening();
    peer.close_connection(true);
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(relay.process().wait_exit(30000)) << relay.output();
    EXPECT_EQ(relay.process().exit_code(), 1) << relay.output();
    EXPECT_GT(seconds_since(t0), 9.0);
}
