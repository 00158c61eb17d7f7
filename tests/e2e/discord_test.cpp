// Reports in Discord too, end to end: the real tidecore relays a scripted match
// to ngircd and to a webhook stand-in at once. Discord gets every channel line
// once and in order, escaped, within the limits the stand-in states, and a
// Discord that never answers changes nothing in the channel.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/support/channel_reports.h"
#include "tests/e2e/support/e2e_fixture.h"
#include "tests/e2e/support/irc_client.h"
#include "tests/e2e/support/irc_server.h"
#include "tests/e2e/support/relay_process.h"
#include "tests/e2e/support/temp_dir.h"
#include "tests/e2e/support/webhook_standin.h"

using namespace e2e;

namespace {

const char* const kMatch = "Alice joined the red team.\n"
                           "@everyone joined the blue team.\n"
                           "@everyone was shot by Alice's M4\n"
                           "Alice was shot by @everyone's M4\n"
                           "Alice has taken the Blue Flag!\n"
                           "<@123> joined the blue team.\n"
                           "<@123> was shot by Alice's M4\n"
                           "Alice has captured the Blue Flag!\n";
constexpr const char* kLastEvent = "SCORE:"; // follows the capture

// A channel line as a reader sees it: mIRC codes gone, trailing blanks dropped.
std::string irc_plain(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\x03') {
            int digits = 0;
            while (digits < 2 && i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
                ++i;
                ++digits;
            }
            if (digits && i + 2 < text.size() && text[i + 1] == ',' && std::isdigit(static_cast<unsigned char>(text[i + 2]))) {
                ++i;
                for (int d = 0; d < 2 && i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1])); ++d)
                    ++i;
            }
        } else if (c != '\x02' && c != '\x0f' && c != '\x16' && c != '\x1f' && c != '\x1d') {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// A Discord plain line as a reader sees it: escapes and bold marks gone.
std::string discord_shown(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            out += text[++i];
        } else if (text.compare(i, 2, "**") == 0) {
            ++i;
        } else {
            out += text[i];
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

struct MatchRun {
    std::vector<std::string> reports; // the channel's lines from the relay
    double seconds = 0;               // from the first event line to the last report
};

struct DiscordE2E : ChannelFixture {
    WebhookStandIn webhook{dir};

    void TearDown() override
    {
        relay.stop();
        webhook.stop();
        ChannelFixture::TearDown();
    }

    // One relay run, as nick, over the match with the colour file given; the relay
    // stays until the test ends or the next run.
    MatchRun relay_match(const std::string& colours, const std::string& nick)
    {
        MatchRun run;
        dir.write("irccolors_sof2.cfg", colours);
        const std::string logfile = dir.write("qconsole.log", "");
        EXPECT_TRUE(relay.start(relay_args(server->port(), kChannel, logfile, nick)));
        ChannelReports reports(watcher, kChannel, nick);
        auto banner = reports.until("Tidewatch", 20000);
        EXPECT_FALSE(banner.empty()) << relay.output() << watcher.transcript();
        run.reports = banner;
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const auto t0 = std::chrono::steady_clock::now();
        dir.append("qconsole.log", kMatch);
        auto rest = reports.until(kLastEvent, 60000);
        run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        run.reports.insert(run.reports.end(), rest.begin(), rest.end());
        EXPECT_NE(run.reports.back().find(kLastEvent), std::string::npos) << relay.output();
        return run;
    }
};

} // namespace

TEST_F(DiscordE2E, EveryChannelLineReachesDiscordOnceInOrderAndEscaped)
{
    ASSERT_TRUE(webhook.start("limits"));
    const MatchRun run = relay_match("[general]\nwaitmillisecs=1000\ndiscordformat=plain\ndiscordwebhook=" + webhook.url() + "\n",
                                kRelayNick);
    // The stand-in fails, drops and limits now and then: wait for the rest.
    std::vector<std::string> got;
    for (int i = 0; i < 300 && got.size() < run.reports.size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        got = webhook.lines();
    }
    std::vector<std::string> irc, discord;
    for (const std::string& r : run.reports)
        irc.push_back(irc_plain(r));
    for (const std::string& l : got)
        discord.push_back(discord_shown(l));
    EXPECT_EQ(discord, irc);
    int early = 0;
    const auto messages = webhook.messages(&early);
    EXPECT_EQ(early, 0) << "requests made while a wait was due";
    for (const auto& body : messages)
        EXPECT_EQ(body["allowed_mentions"], nlohmann::json({{"parse", nlohmann::json::array()}}));
    bool escaped = false;
    for (const std::string& l : got)
        escaped |= l.find("\\@everyone") != std::string::npos;
    EXPECT_TRUE(escaped);
    for (const std::string& l : got)
        EXPECT_EQ(l.find("<@123>"), std::string::npos) << l;
}

TEST_F(DiscordE2E, ADiscordThatNeverAnswersChangesNothingInTheChannel)
{
    const MatchRun without = relay_match("[general]\nwaitmillisecs=1000\n", "Relay1");
    ASSERT_TRUE(webhook.start("silent"));
    const MatchRun with = relay_match("[general]\nwaitmillisecs=1000\ndiscordwebhook=" + webhook.url() + "\n", "Relay2");
    ASSERT_EQ(with.reports.size(), without.reports.size());
    for (std::size_t i = 1; i < with.reports.size(); ++i) // the banner names the nick
        EXPECT_EQ(with.reports[i], without.reports[i]);
    EXPECT_NEAR(with.seconds, without.seconds, 1.5);
}
