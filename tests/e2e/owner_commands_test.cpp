// The owner steering a running relay over IRC: authorising with !pass, changing a
// setting that the next report shows, asking for statistics, and leaving with
// !quit; while a stranger who messages the relay gets nothing at all.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/support/e2e_fixture.h"
#include "tests/e2e/support/irc_client.h"
#include "tests/e2e/support/irc_server.h"
#include "tests/e2e/support/relay_process.h"
#include "tests/e2e/support/temp_dir.h"

using namespace e2e;

namespace {

// A line the relay sent to target (a nick or the channel).
std::function<bool(const std::string&)> from_relay_to(const std::string& target)
{
    return [target](const std::string& line) {
        return prefix_nick(line) == kRelayNick && command_of(line) == "PRIVMSG" &&
               line.find(" PRIVMSG " + target + " :") != std::string::npos;
    };
}

// The message text of a PRIVMSG line, trailing blanks dropped.
std::string text_of(const std::string& line)
{
    std::size_t at = line.find(" :", line.find(" PRIVMSG "));
    std::string text = line.substr(at + 2);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

struct OwnerCommandsE2E : ChannelFixture {
    IrcClient boss;
    IrcClient stranger;
    std::string logfile = dir.write("qconsole.log", "");
    std::size_t boss_next = 0;

    void SetUp() override
    {
        ChannelFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(boss.connect(server->port()));
        ASSERT_TRUE(boss.login("boss", "zuzu")) << boss.transcript();
        ASSERT_TRUE(stranger.connect(server->port()));
        ASSERT_TRUE(stranger.login("stranger", "zuzu")) << stranger.transcript();

        // One second between lines keeps the test short.
        dir.write("irccolors_sof2.cfg", "[general]\nwaitmillisecs=1000\n");
        ASSERT_TRUE(relay.start(relay_args(server->port(), kChannel, logfile, kRelayNick, {"-b", "s3cret"})));
        ASSERT_TRUE(watcher.wait_for(from_relay_to(kChannel), 20000)) << relay.output() << watcher.transcript();
    }

    void tell(IrcClient& who, const std::string& text)
    {
        ASSERT_TRUE(who.send_line("PRIVMSG " + kRelayNick + " :" + text));
    }

    // The next count lines the relay sends the owner, as texts.
    std::vector<std::string> boss_hears(std::size_t count, int timeout_ms = 15000)
    {
        std::vector<std::string> got;
        while (got.size() < count) {
            auto line = boss.wait_for(from_relay_to("boss"), timeout_ms, boss_next);
            if (!line)
                break;
            for (std::size_t i = boss_next; i < boss.lines().size(); ++i)
                if (boss.lines()[i] == *line) {
                    boss_next = i + 1;
                    break;
                }
            got.push_back(text_of(*line));
        }
        return got;
    }
};

} // namespace

TEST_F(OwnerCommandsE2E, OwnerSteersWhileAStrangerGetsNothing)
{
    tell(stranger, "!pass wrong");
    tell(stranger, "!help");
    tell(boss, "!pass s3cret");
    EXPECT_EQ(boss_hears(2), (std::vector<std::string>{kBanner, "\x03" "12,0 You have been AUTHORIZED SUCCESSFULLY!"}))
        << boss.transcript();

    tell(stranger, "!playerstats on");
    tell(boss, "!playerstats on");
    EXPECT_EQ(boss_hears(2), (std::vector<std::string>{kBanner, "\x03" "1,0 PLAYERSTATS: \x03" "12ON"}));

    // The next kill report carries the kills/deaths the owner switched on.
    std::size_t from = watcher.lines().size();
    dir.append("qconsole.log", "Bob was shot by Alice's M4\n");
    auto kill = watcher.wait_for(from_relay_to(kChannel), 15000, from);
    ASSERT_TRUE(kill) << relay.output() << watcher.transcript();
    EXPECT_NE(kill->find(" [ 1/ 0]"), std::string::npos) << *kill;
    EXPECT_NE(kill->find(" [ 0/ 1]"), std::string::npos) << *kill;

    tell(boss, "!stats");
    auto stats = boss_hears(5);
    ASSERT_EQ(stats.size(), 5u) << boss.transcript();
    EXPECT_EQ(stats[0], kBanner);
    EXPECT_EQ(stats[1], "\x03" "1,14 Player stats:");
    EXPECT_EQ(stats[2], "\x03" "1,14T Kil/Dth KDR  [TK/SK/KT] Sco Png PlayerName");
    EXPECT_NE(stats[3].find("  1/  0 -.-- "), std::string::npos) << stats[3]; // Alice sorts first
    EXPECT_NE(stats[4].find("  0/  1 0.00 "), std::string::npos) << stats[4];

    // Nothing ever reached the stranger, and the stranger's command changed nothing
    // the owner had not changed anyway.
    stranger.pump(500);
    for (const std::string& line : stranger.lines())
        EXPECT_NE(prefix_nick(line), kRelayNick) << line;
}

TEST_F(OwnerCommandsE2E, QuitSaysGoodbyeAndEndsWithExitCodeZero)
{
    tell(boss, "!pass s3cret");
    ASSERT_EQ(boss_hears(2).size(), 2u) << boss.transcript();
    tell(boss, "!quit");
    EXPECT_EQ(boss_hears(2), (std::vector<std::string>{kBanner, "\x03" "1,0 BOT SAYS: \x03" "12BYE BYE"}));
    auto quit = watcher.wait_for(
        [](const std::string& line) { return prefix_nick(line) == kRelayNick && command_of(line) == "QUIT"; }, 15000);
    ASSERT_TRUE(quit) << watcher.transcript();
    EXPECT_NE(quit->find("Quillon's Bot says bye bye..."), std::string::npos) << *quit;
    ASSERT_TRUE(relay.process().wait_exit(15000)) << relay.output();
    EXPECT_EQ(relay.process().exit_code(), 0);
}
