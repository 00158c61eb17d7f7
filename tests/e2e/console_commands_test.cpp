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

#include "tests/e2e/support/irc_client.h"
#include "tests/e2e/support/irc_server.h"
#include "tests/e2e/support/relay_process.h"
#include "tests/e2e/support/temp_dir.h"

using namespace e2e;

namespace {

const std::string kChannel = "#tidewatch";
const std::string kRelayNick = "SOF2Tidewatch";
constexpr int kGameClientPort = 20100; // where the relay sends its print packets

// Stands in for the game client: a UDP socket on 127.0.0.1:20100.
class GameClientPort {
public:
    // Waits up to timeout_ms for the port to be free (another test may hold it).
    bool open(int timeout_ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (true) {
            fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
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

struct ConsoleCommandE2E : ::testing::Test {
    TempDir dir;
    std::unique_ptr<IrcServer> server;
    RelayProcess relay{dir};
    IrcClient watcher;
    GameClientPort game;
    std::string logfile = dir.write("qconsole.log", "");
    std::size_t next = 0; // first watcher line not yet looked at

    void SetUp() override
    {
        if (IrcServer::program().empty())
            GTEST_SKIP() << "ngircd not available";
        ASSERT_TRUE(game.open(30000)) << "UDP port " << kGameClientPort << " stays taken";
        server = std::make_unique<IrcServer>(dir);
        ASSERT_TRUE(server->start()) << server->log();
        ASSERT_TRUE(watcher.watch(server->port(), kChannel)) << watcher.transcript();
        ASSERT_TRUE(relay.start(relay_args(server->port(), kChannel, logfile, kRelayNick)));
        ASSERT_TRUE(next_report(20000)) << relay.output() << watcher.transcript(); // the login banner
    }

    void TearDown() override
    {
        relay.stop();
        if (server)
            server->stop();
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
