// The Discord sink against a stand-in webhook on the fake platform's virtual
// clock: batching, the limits Discord states in its answers, failures, and what
// reaches the sink from the IRC output.
#include "relay/discord/sink.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "relay/app/main_loop.h"
#include "relay/irc/output.h"
#include "tests/support/connected_relay.h"

namespace {

using json = nlohmann::json;

// A webhook that keeps Discord's rules: a bucket of `limit` requests per `window`
// (stated in X-RateLimit headers), 429 with retry_after for a request made while
// the bucket is empty or a global wait is due, and now and then a failure.
struct StandIn {
    FakePlatform& fake;
    int limit = 5;
    long long window_ms = 2000;
    long long answer_ms = 80;      // how long an answer takes
    double fail_share = 0;         // 5xx and dropped connections
    double global_share = 0;       // 429s of the global limit
    std::mt19937 rng{7};
    std::vector<long long> recent; // times of the requests in the window
    long long blocked_until = 0;   // a 429 was given: no request before then
    int early = 0;                 // requests made while a wait was due
    std::vector<std::string> delivered; // lines of accepted messages, in order
    std::vector<json> bodies;

    explicit StandIn(FakePlatform& f) : fake(f)
    {
        fake.on_http = [this](FakePlatform::HttpRequest& h) { answer(h); };
    }

    void answer(FakePlatform::HttpRequest& h)
    {
        const long long now = h.made_ms;
        h.ready_ms = now + answer_ms;
        if (now < blocked_until)
            ++early;
        std::erase_if(recent, [&](long long t) { return t <= now - window_ms; });
        std::uniform_real_distribution<double> roll(0, 1);
        if (roll(rng) < fail_share) {
            h.answer.status = roll(rng) < 0.5 ? 502 : 0;
            h.answer.error = "stand-in failure";
            return;
        }
        if (roll(rng) < global_share || static_cast<int>(recent.size()) >= limit) {
            const double after = 1.25;
            blocked_until = now + 1250;
            h.answer.status = 429;
            h.answer.body = json{{"message", "You are being rate limited."}, {"retry_after", after},
                                 {"global", roll(rng) < 0.5}}.dump();
            return;
        }
        recent.push_back(now);
        const int left = limit - static_cast<int>(recent.size());
        const long long reset = recent.front() + window_ms - now;
        if (left == 0)
            blocked_until = now + reset;
        h.answer.status = 204;
        h.answer.headers = {{"x-ratelimit-limit", std::to_string(limit)},
                            {"x-ratelimit-remaining", std::to_string(left)},
                            {"x-ratelimit-reset-after", std::to_string(static_cast<double>(reset) / 1000.0)}};
        json body = json::parse(h.body);
        bodies.push_back(body);
        std::string content = body["content"];
        if (content.rfind("```ansi\n", 0) == 0)
            content = content.substr(8, content.size() - 12);
        std::size_t at = 0;
        while (at <= content.size()) {
            const std::size_t nl = content.find('\n', at);
            delivered.push_back(content.substr(at, nl == std::string::npos ? std::string::npos : nl - at));
            if (nl == std::string::npos)
                break;
            at = nl + 1;
        }
    }
};

struct DiscordSinkTest : ::testing::Test {
    ConnectedRelay t;
    Relay& r = t.r();
    FakePlatform& fake = t.fake;

    void SetUp() override
    {
        r.settings.discordwebhook = std::string("http://127.0.0.1:1/api/webhooks/1/token");
        r.settings.discordplain = 1;
    }

    // Runs the loop's part of the sink for ms of virtual time.
    void run_for(long long ms)
    {
        const long long until = fake.clock_ms + ms;
        while (fake.clock_ms < until) {
            discord_pump(r);
            long long due = discord_due_ms(r);
            long long step = until - fake.clock_ms;
            if (due >= 0)
                step = std::clamp(due - fake.clock_ms, 0LL, step);
            fake.wait_for_input(-1, -1, step == 0 ? 1 : step);
        }
        discord_pump(r);
    }
};

} // namespace

TEST_F(DiscordSinkTest, LinesCloseTogetherGoInOneMessageWithoutMentions)
{
    StandIn webhook(fake);
    discord_line(r, ":Ann killed @everyone");
    fake.clock_ms += 600;
    discord_line(r, ":<@123> said **x**");
    run_for(900);
    EXPECT_TRUE(fake.http_requests.empty()); // the second line came 0.6 s after the first
    run_for(300);
    ASSERT_EQ(webhook.bodies.size(), 1u);
    EXPECT_EQ(webhook.bodies[0]["allowed_mentions"], json({{"parse", json::array()}}));
    EXPECT_EQ(webhook.bodies[0]["content"], "Ann killed \\@everyone\n\\<\\@123\\> said \\*\\*x\\*\\*");
    EXPECT_EQ(fake.http_requests[0].url, "http://127.0.0.1:1/api/webhooks/1/token");

    // The ansi form wraps the lines in a block; Latin-1 text arrives as UTF-8.
    r.settings.discordplain = 0;
    ++r.colours.loads;
    discord_line(r, ":\x03" "04Jörg\x0f scored");
    run_for(1500);
    ASSERT_EQ(webhook.bodies.size(), 2u);
    EXPECT_EQ(webhook.bodies[1]["content"], "```ansi\n\x1b[0;31mJ\xc3\xb6rg\x1b[0m scored\n```");

    // Nothing waits: the sink asks the loop for no wake-up.
    EXPECT_EQ(discord_due_ms(r), -1);
}

TEST_F(DiscordSinkTest, EveryLineOnceAndInOrderWhateverTheWebhookAnswers)
{
    struct Case {
        const char* what;
        double fail_share, global_share;
        long long gap_ms; // between lines
    };
    for (const Case c : {Case{"calm", 0, 0, 300}, Case{"burst", 0, 0, 0}, Case{"failing", 0.3, 0, 100},
                         Case{"global limits", 0, 0.2, 50}}) {
        ConnectedRelay fresh;
        Relay& x = fresh.r();
        x.settings.discordwebhook = std::string("http://127.0.0.1:1/api/webhooks/1/token");
        x.settings.discordplain = 1;
        StandIn webhook(fresh.fake);
        webhook.fail_share = c.fail_share;
        webhook.global_share = c.global_share;
        std::vector<std::string> sent;
        for (int i = 0; i < 500; ++i) {
            sent.push_back("kill number " + std::to_string(i) + " by Ann with the M4 assault rifle");
            discord_line(x, (":" + sent.back()).c_str());
            fresh.fake.clock_ms += c.gap_ms;
            discord_pump(x);
        }
        for (int pass = 0; pass < 100000 && webhook.delivered.size() < sent.size(); ++pass) {
            discord_pump(x);
            const long long due = discord_due_ms(x);
            fresh.fake.wait_for_input(-1, -1, due >= 0 ? std::max(1LL, due - fresh.fake.clock_ms) : 1000);
        }
        EXPECT_EQ(webhook.delivered, sent) << c.what;
        EXPECT_EQ(webhook.early, 0) << c.what << ": requests made while a wait was due";
        if (c.gap_ms == 0) {
            EXPECT_LE(webhook.bodies.size(), 30u) << c.what;
        }
        for (const json& body : webhook.bodies)
            EXPECT_LE(body["content"].get<std::string>().size(), kDiscordMessageMax);
    }
}

TEST_F(DiscordSinkTest, ARefusingWebhookStopsTheSinkUntilTheColourFileIsRead)
{
    fake.on_http = [](FakePlatform::HttpRequest& h) {
        h.ready_ms = h.made_ms + 50;
        h.answer.status = 404;
        h.answer.body = R"({"message": "Unknown Webhook", "code": 10015})";
    };
    discord_line(r, ":one");
    run_for(2000);
    discord_line(r, ":two");
    run_for(2000);
    EXPECT_EQ(fake.http_requests.size(), 1u);
    EXPECT_EQ(fake.out, "Discord refused the reports (HTTP 404): reports to Discord stop until the colour file is "
                        "read again.\n");
    EXPECT_EQ(fake.out.find("token"), std::string::npos);

    ++r.colours.loads; // !loadcolors
    discord_line(r, ":three");
    run_for(2000);
    ASSERT_EQ(fake.http_requests.size(), 2u);
    EXPECT_EQ(json::parse(fake.http_requests[1].body)["content"], "three");
}

TEST_F(DiscordSinkTest, AFullQueueDropsTheOldestAndSaysHowManyWereLost)
{
    // The first request never comes back while 1200 more lines arrive.
    fake.on_http = [](FakePlatform::HttpRequest&) {};
    discord_line(r, ":first");
    run_for(1500);
    ASSERT_EQ(fake.http_requests.size(), 1u);
    for (int i = 0; i < 1200; ++i)
        discord_line(r, (":line " + std::to_string(i)).c_str());
    EXPECT_EQ(r.discord.queue.size(), kDiscordQueueMax);
    StandIn webhook(fake);
    fake.http_requests[0].ready_ms = fake.clock_ms;
    fake.http_requests[0].answer.status = 204;
    run_for(60000);
    ASSERT_FALSE(webhook.delivered.empty());
    EXPECT_EQ(webhook.delivered.front(), "(200 report lines lost: Discord was too slow)");
    EXPECT_EQ(webhook.delivered[1], "line 200");
    EXPECT_EQ(webhook.delivered.back(), "line 1199");
}

// What the IRC output hands over: channel reports only, none held back or
// silenced, no private replies; each line once, even when it is split for IRC.
TEST_F(DiscordSinkTest, OnlyTheChannelsReportsReachTheSink)
{
    StandIn webhook(fake);
    const long long start = fake.clock_ms;
    send_privmsg(r, "#chan", ":report one");
    // It went to Discord in the pause after it, which keeps its length.
    EXPECT_EQ(webhook.delivered, std::vector<std::string>{"report one"});
    EXPECT_EQ(fake.clock_ms - start, r.settings.waitmillisecs);
    send_privmsg(r, "Owner", ":a private reply");
    r.settings.silent = 1;
    send_privmsg(r, "#chan", ":while silenced");
    r.settings.silent = 0;
    send_privmsg(r, "#CHAN", (":" + std::string(900, 'x')).c_str());
    run_for(3000);
    EXPECT_EQ(webhook.delivered, (std::vector<std::string>{"report one", std::string(900, 'x')}));

    // Without the key nothing is kept and no request is made.
    const std::size_t made = fake.http_requests.size();
    r.settings.discordwebhook.reset();
    ++r.colours.loads;
    send_privmsg(r, "#chan", ":report two");
    run_for(3000);
    EXPECT_TRUE(r.discord.queue.empty());
    EXPECT_EQ(fake.http_requests.size(), made);
}

TEST(DiscordWebhook, HttpsOrLoopbackOnly)
{
    for (const char* ok : {"https://discord.com/api/webhooks/1/abc", "http://127.0.0.1:8080/hook",
                           "http://localhost:9/x", "http://[::1]:80/x"})
        EXPECT_TRUE(discord_webhook_allowed(ok)) << ok;
    for (const char* refused : {"http://discord.com/api/webhooks/1/abc", "ftp://127.0.0.1/x", "https://",
                                "http://localhost.evil.com/x", "http://127.0.0.1.evil.com/x", "http://127.0.0.1@evil.com/x",
                                "discord.com/x"})
        EXPECT_FALSE(discord_webhook_allowed(refused)) << refused;
}

// The whole relay on its loop: a lone log line reaches Discord within about a
// second; a burst of kills (its reports an IRC pause apart) goes in a few full
// messages, not one request a line.
TEST(DiscordRelay, ALoneLineGoesAtOnceABurstInFewMessages)
{
    TestRelay t;
    Relay& r = t.r();
    LoopState loop;
    set_loop_settings(r.settings);
    r.settings.discordwebhook = std::string("https://discord.com/api/webhooks/1/token");
    t.fake.on_connect = [](uint32_t, uint16_t, bool) { return -1; };
    t.fake.write_file("qconsole.log", "Alice joined the red team.\nBob joined the blue team.\n");
    start_relay(r, loop);
    connect_fake_irc(r, t.fake);
    r.irc.lastinput = t.fake.now();
    // The IRC server answers the relay's liveness checks.
    t.fake.socket(r.irc.ircsocket)->on_send = [](FakeSocket& s, std::string_view bytes) {
        if (bytes.substr(0, 5) == "PING ")
            s.inbox.push_back(":irc.test PONG irc.test " + std::string(bytes.substr(5)));
    };
    StandIn webhook(t.fake);
    auto run_until = [&](std::size_t lines, long long ms) {
        const long long until = t.fake.clock_ms + ms;
        try {
            while (webhook.delivered.size() < lines && t.fake.clock_ms < until)
                relay_pass(r, loop);
        } catch (const FakeExit& e) {
            ADD_FAILURE() << "exit " << e.code << t.fake.out;
        }
    };
    run_until(2, 60000);
    const std::size_t before = webhook.delivered.size();

    const long long written = t.fake.clock_ms;
    t.fake.append_file("qconsole.log", "Alice has taken the Blue Flag!\n");
    run_until(before + 1, 10000);
    ASSERT_EQ(webhook.delivered.size(), before + 1);
    EXPECT_LT(t.fake.http_requests.back().made_ms - written, 1500);

    const std::size_t requests = t.fake.http_requests.size();
    std::string burst;
    for (int i = 0; i < 500; ++i)
        burst += i % 2 ? "Bob was shot by Alice's M4\n" : "Alice was shot by Bob's M4\n";
    t.fake.append_file("qconsole.log", burst);
    run_until(before + 1 + 500, 3600 * 1000);
    EXPECT_GE(webhook.delivered.size(), before + 1 + 500);
    EXPECT_LE(t.fake.http_requests.size() - requests, 30u);
    EXPECT_EQ(webhook.early, 0);
}
