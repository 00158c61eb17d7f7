// An in-game command end to end: the real tidecore program follows a console log,
// a player's "lbot" command arrives in it, the answer reaches the local game
// client's UDP port as a print packet, and the relay acts on the command.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/support/e2e_fixture.h"
#include "tests/e2e/support/irc_client.h"
#include "tests/e2e/support/irc_server.h"
#include "tests/e2e/support/relay_process.h"
#include "tests/e2e/support/temp_dir.h"

using namespace e2e;

namespace {

constexpr int kGameClientPort = 20100; // where the relay sends its print packets

// Stands in for the game client: a UDP socket on 127.0.0.1:20100.
class GameClientPort {
public:
    // Waits up to timeout_ms for the port to be free (another test may hold it).
    bool open(int timeout_ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (true) {
            // Not handed on to the relay and the IRC server the test starts.
            fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            if (fd_ < 0)
                return false;
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(kGameClientPort);
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
                return true;
            ::close(fd_);
            fd_ = -1;
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }
    ~GameClientPort()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    // The first packet within timeout_ms that equals expected; every packet
    // received meanwhile is kept in seen.
    bool wait_for(const std::string& expected, int timeout_ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (true) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char buf[2048];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n < 0)
                continue;
            seen.emplace_back(buf, static_cast<std::size_t>(n));
            if (seen.back() == expected)
                return true;
        }
    }

    std::vector<std::string> seen;

private:
    int fd_ = -1;
};

bool relay_report(const std::string& line)
{
    return prefix_nick(line) == kRelayNick && command_of(line) == "PRIVMSG" &&
           line.find("PRIVMSG " + kChannel + " :") != std::string::npos;
}

// A relay started on a console log that already holds `history`, with `options`.
struct ConsoleRelay : E2eFixture {
    GameClientPort game;
    std::string logfile;
    std::size_t next = 0; // first watcher line not yet looked at

    void start(const std::string& history, const std::vector<std::string>& options)
    {
        logfile = dir.write("qconsole.log", history);
        ASSERT_TRUE(game.open(120000)) << "UDP port " << kGameClientPort << " stays taken";
        ASSERT_NO_FATAL_FAILURE(start_server());
        ASSERT_TRUE(relay.start(relay_args(server->port(), kChannel, logfile, kRelayNick, options)));
    }

    // The text of the relay's next line in the channel.
    std::optional<std::string> next_report(int timeout_ms)
    {
        auto line = watcher.wait_for(relay_report, timeout_ms, next);
        if (!line)
            return std::nullopt;
        for (std::size_t i = next; i < watcher.lines().size(); ++i)
            if (watcher.lines()[i] == *line) {
                next = i + 1;
                break;
            }
        return line->substr(line->find(" :", line->find("PRIVMSG")) + 2);
    }
};

struct ConsoleCommandE2E : ConsoleRelay {
    void SetUp() override
    {
        if (IrcServer::program().empty())
            GTEST_SKIP() << "ngircd not available";
        ASSERT_NO_FATAL_FAILURE(start("", {}));
        ASSERT_TRUE(next_report(20000)) << relay.output() << watcher.transcript(); // the login banner
    }
};

// Started without options, with -g and with -r.
struct HistoryE2E : ConsoleRelay, ::testing::WithParamInterface<std::vector<std::string>> {
    void SetUp() override
    {
        if (IrcServer::program().empty())
            GTEST_SKIP() << "ngircd not available";
    }
};

} // namespace

TEST_F(ConsoleCommandE2E, ShowfragsOffIsAnsweredAndStopsKillLines)
{
    dir.append("qconsole.log",
               "Alice joined the red team.\n"
               "Bob joined the blue team.\n"
               "Bob was shot by Alice's M4\n");
    auto kill = next_report(20000);
    ASSERT_TRUE(kill) << relay.output() << watcher.transcript();
    EXPECT_NE(kill->find("was shot by"), std::string::npos) << *kill;
    const std::size_t after_kill = next;

    dir.append("qconsole.log", "]lbot showfrags off\n");
    const std::string answer = std::string("\xff\xff\xff\xff") + "print\n" +
                               "^1Qui^7ll^4on^2's Tidewatch:^7 SHOW FRAGS ^1OFF^7...\n";
    EXPECT_TRUE(game.wait_for(answer, 15000)) << game.seen.size() << " packets, none the answer\n"
                                               << relay.output();

    // The next kill is not reported; the flag event after it is.
    dir.append("qconsole.log",
               "Alice was shot by Bob's M4\n"
               "Alice has taken the Blue Flag!\n");
    auto after = next_report(20000);
    ASSERT_TRUE(after) << relay.output() << watcher.transcript();
    EXPECT_NE(after->find("has taken the Blue Flag!"), std::string::npos) << *after;
    for (std::size_t i = after_kill; i < watcher.lines().size(); ++i)
        if (relay_report(watcher.lines()[i])) {
            EXPECT_EQ(watcher.lines()[i].find("was shot by"), std::string::npos) << watcher.lines()[i];
        }
}

// Commands typed at the game console yesterday are in the log the relay starts on.
// They must not end it, answer, talk or move it to another game server; the game
// state they set (here: no kill lines) holds. A command typed now is obeyed.
TEST_P(HistoryE2E, OldCommandsInTheLogAreNotObeyedAgain)
{
    ASSERT_NO_FATAL_FAILURE(start("Alice joined the red team.\n"
                                  "Bob joined the blue team.\n"
                                  "]lbot say words from yesterday\n"
                                  "]lbot server 127.0.0.1 9\n"
                                  "]lbot showfrags off\n"
                                  "]lbot quit\n",
                                  GetParam()));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    ASSERT_TRUE(relay.running()) << relay.output();
    // A new event: with -r it is the first line that must go out, and brings the login.
    dir.append("qconsole.log", "Bob has taken the Red Flag!\n");
    ASSERT_TRUE(watcher.wait_for_text("has taken the Red Flag!", 30000)) << relay.output() << watcher.transcript();

    dir.append("qconsole.log", "]lbot linesread\n");
    const std::string answer = std::string("\xff\xff\xff\xff") + "print\n" +
                               "^1Qui^7ll^4on^2's Tidewatch:^7 LINES READ:^4 7^7...\n";
    EXPECT_TRUE(game.wait_for(answer, 15000)) << relay.output();
    ASSERT_FALSE(game.seen.empty()) << relay.output();
    EXPECT_EQ(game.seen.size(), 1u) << "an old command was answered: " << game.seen.front();
    dir.append("qconsole.log", "]lbot server\n");
    const std::string server_answer = std::string("\xff\xff\xff\xff") + "print\n" +
                                      "^1Qui^7ll^4on^2's Tidewatch:^7 SERVER:^4 :27960^7...\n";
    EXPECT_TRUE(game.wait_for(server_answer, 15000)) << game.seen.back() << relay.output();

    dir.append("qconsole.log",
               "Alice was shot by Bob's M4\n"
               "Alice has taken the Blue Flag!\n");
    ASSERT_TRUE(watcher.wait_for_text("has taken the Blue Flag!", 20000)) << relay.output() << watcher.transcript();
    for (const std::string& line : watcher.lines()) {
        EXPECT_EQ(line.find("words from yesterday"), std::string::npos) << line;
        EXPECT_EQ(line.find("Alice was shot"), std::string::npos) << line;
    }
    EXPECT_TRUE(relay.running());
}

INSTANTIATE_TEST_SUITE_P(StartedAs, HistoryE2E,
                         ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"-g"},
                                           std::vector<std::string>{"-r", "3"}),
                         [](const auto& info) {
                             return info.param.empty() ? std::string("Plain") : info.param[0] == "-g" ? std::string("FromEnd") : std::string("AfterLines");
                         });
