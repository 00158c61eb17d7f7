// The relay against a real IRC server: login and banner, keeping the session alive
// through the server's PINGs, and coming back after the server restarts.
#include <gtest/gtest.h>

#include <chrono>

#include <algorithm>
#include <memory>
#include <string>

#include "tests/e2e/support/e2e_fixture.h"
#include "tests/e2e/support/irc_client.h"
#include "tests/e2e/support/irc_server.h"
#include "tests/e2e/support/relay_process.h"
#include "tests/e2e/support/temp_dir.h"

using namespace e2e;

namespace {

// The banner as the watcher receives it: colour 1,15, then the banner text (the
// server drops its trailing blank).
const std::string kBannerText = "PRIVMSG #tidewatch :\x03" "1,15 Quillon's SOF2 Tidewatch v1.2";

bool relay_joined(const std::string& line)
{
    return command_of(line) == "JOIN" && prefix_nick(line) == kRelayNick;
}

bool relay_banner(const std::string& line)
{
    std::size_t at = line.find(kBannerText);
    return prefix_nick(line) == kRelayNick && at != std::string::npos &&
           line.find_first_not_of(' ', at + kBannerText.size()) == std::string::npos;
}

struct IrcSessionE2E : E2eFixture {
    std::string logfile = dir.write("games.log", "");

    // The relay joins the channel and greets it with its banner.
    void expect_relay_arrives(int timeout_ms, std::size_t from = 0)
    {
        auto joined = watcher.wait_for(relay_joined, timeout_ms, from);
        ASSERT_TRUE(joined) << "relay output:\n" << relay.output() << "\nwatcher:\n" << watcher.transcript();
        // The user name of the relay's USER line shows in its prefix.
        EXPECT_NE(joined->find("Ferrobot@"), std::string::npos) << *joined;
        auto banner = watcher.wait_for(relay_banner, 15000, from);
        ASSERT_TRUE(banner) << "relay output:\n" << relay.output() << "\nwatcher:\n" << watcher.transcript();
    }

};

} // namespace

TEST_F(IrcSessionE2E, RelayJoinsAndShowsItsBanner)
{
    start_server();
    ASSERT_TRUE(relay.start(relay_args(server->port(), kChannel, logfile)));
    // Four paced lines (2.15 s each) come before the JOIN.
    expect_relay_arrives(30000);
    EXPECT_TRUE(relay.running()) << relay.output();
}

TEST_F(IrcSessionE2E, RelayAnswersTheServersPing)
{
    // The server PINGs after 3 quiet seconds and drops a client that does not
    // answer within 3 more.
    IrcServerOptions options;
    options.ping_timeout = 3;
    options.pong_timeout = 3;
    start_server(options);
    ASSERT_TRUE(relay.start(relay_args(server->port(), kChannel, logfile)));
    expect_relay_arrives(30000);
    std::size_t after_join = watcher.lines().size();

    watcher.pump(20000); // several PING rounds
    auto quit = watcher.wait_for(
        [](const std::string& l) { return prefix_nick(l) == kRelayNick && command_of(l) == "QUIT"; }, 0,
        after_join);
    EXPECT_FALSE(quit) << *quit;
    auto nicks = watcher.names(kChannel);
    EXPECT_NE(std::find(nicks.begin(), nicks.end(), kRelayNick), nicks.end()) << watcher.transcript();
    EXPECT_TRUE(relay.running()) << relay.output();
}

struct ServerRestartE2E : IrcSessionE2E, ::testing::WithParamInterface<bool> {};

// The server goes away (stopped, so it closes its connections, or killed, so they
// just drop) and comes back on the same port. The relay notices at once and is
// back with the full login within 20 seconds; a kill written after its new JOIN is
// reported in the channel, with the counts from before the restart going on, and
// the owner is still the owner.
TEST_P(ServerRestartE2E, RelayIsBackWithinTwentySecondsAndReportsTheNextKill)
{
    const bool killed = GetParam();
    dir.write("irccolors_sof2.cfg", "[general]\nwaitmillisecs=1000\n");
    start_server();
    ASSERT_TRUE(relay.start(relay_args(server->port(), kChannel, logfile, kRelayNick, {"-c", "-b", "s3cret"})));
    expect_relay_arrives(30000);
    IrcClient boss;
    ASSERT_TRUE(boss.connect(server->port()));
    ASSERT_TRUE(boss.login("Boss", "zuzu"));
    boss.send_line("PRIVMSG " + kRelayNick + " :!pass s3cret");
    ASSERT_TRUE(boss.wait_for_text("AUTHORIZED", 10000)) << boss.transcript();
    dir.append("games.log", "Bob was shot by Alice's M4\n");
    ASSERT_TRUE(watcher.wait_for_text("[ 1/ 0]", 15000)) << watcher.transcript();

    if (killed)
        server->kill();
    else
        server->stop();
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(server->start()) << server->log();
    watcher.disconnect();
    watch();
    std::size_t from = watcher.lines().size();

    auto joined = watcher.wait_for(relay_joined, 20000, from);
    ASSERT_TRUE(joined) << "relay output:\n" << relay.output() << "\nwatcher:\n" << watcher.transcript();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 20.0);
    dir.append("games.log", "Carl was shot by Alice's M4\n");
    auto kill = watcher.wait_for(
        [](const std::string& l) { return prefix_nick(l) == kRelayNick && l.find("Carl") != std::string::npos; }, 15000,
        from);
    ASSERT_TRUE(kill) << relay.output() << watcher.transcript();
    EXPECT_NE(kill->find("Alice"), std::string::npos) << *kill;
    EXPECT_NE(kill->find("[ 2/ 0]"), std::string::npos) << *kill;

    ASSERT_TRUE(boss.connect(server->port()));
    ASSERT_TRUE(boss.login("Boss", "zuzu"));
    std::size_t boss_from = boss.lines().size();
    boss.send_line("PRIVMSG " + kRelayNick + " :!playerstats on");
    EXPECT_TRUE(boss.wait_for_text("PLAYERSTATS:", 10000, boss_from)) << boss.transcript();
    EXPECT_TRUE(relay.running()) << relay.output();
}

INSTANTIATE_TEST_SUITE_P(Restarts, ServerRestartE2E, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Killed" : "Stopped"; });
