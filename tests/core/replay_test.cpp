// A generated log replayed through the whole loop on the fake platform: the bytes
// the channel receives, their order and the pacing pauses between them must stay
// exactly what they were when the golden digests below were taken. Any change to
// the loop, the follower or the line processors that alters a report, drops one,
// reorders them or changes the pacing shows up here.
//
// To look at a difference, set TIDEWATCH_REPLAY_DUMP to a directory: each case
// writes its transcript there (diff it against one from the older build).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/loggen/log_generator.h"
#include "relay/app/main_loop.h"
#include "relay/relay.h"
#include "relay/gamelog/follower.h"
#include "tests/support/fake_platform.h"
#include "tests/support/relay_fixture.h"

namespace {

// Writes every sent line and every pause of at least half a second (the pacing
// pause, flood pauses) into one transcript. The relay's own liveness PING and its
// pause are left out: when it goes out depends on how long passes take, not on
// the log.
struct RecordingPlatform : FakePlatform {
    std::string transcript;
    bool after_ping = false;
    void sleep_ms(long long ms) override
    {
        if (ms >= 500 && !after_ping)
            transcript += "~" + std::to_string(ms) + "\n";
        after_ping = false;
        FakePlatform::sleep_ms(ms);
    }
};

uint64_t fnv1a(const std::string& s)
{
    uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : s)
        h = (h ^ c) * 1099511628211ULL;
    return h;
}

struct ReplayCase {
    const char* name;
    bool server;
    int recover;      // -r: lines held back
    int fromend_line; // -g: the log has this many lines at start, the rest comes later
    uint64_t digest;
    std::size_t bytes;
};

constexpr int kLines = 6000;

std::string run_case(const ReplayCase& c)
{
    RecordingPlatform fake;
    Relay r(fake);
    BotSettings& s = r.settings;
    s.logfile = std::string("game.log");
    s.channel = std::string("#chan");
    s.quietmode = 1;
    s.servermode = c.server ? 1 : 0;
    s.recoverlines = c.recover;
    s.playerstats = 1;
    s.statsafter = 1;
    s.showconnectinfo = 511;

    const int sock = connect_fake_irc(r, fake);
    fake.socket(sock)->on_send = [&](FakeSocket& so, std::string_view data) {
        if (data.substr(0, 4) == "PING") {
            fake.after_ping = true;
            so.inbox.push_back(":irc.test PONG irc.test :tidecore\r\n");
            return;
        }
        fake.transcript.append(data);
    };

    LogGenOptions o;
    o.server = c.server;
    o.lines = kLines;
    o.seed = 14;
    const std::string log = generate_log_text(o);
    std::size_t split = log.size();
    if (c.fromend_line > 0) {
        split = 0;
        for (int i = 0; i < c.fromend_line; ++i)
            split = log.find('\n', split) + 1;
        s.fromend = static_cast<long long>(split);
    }
    fake.write_file("game.log", log.substr(0, split));

    LoopState loop;
    open_log(r);
    loop.tick = fake.now();
    bool appended = split == log.size();
    // Every line, then a quiet spell long enough for one status block.
    long long idle_since = -1;
    for (long passes = 0; passes < 2000000; ++passes) {
        relay_pass(r, loop);
        if (!appended && r.log.bytesconsumed >= static_cast<long long>(split)) {
            fake.append_file("game.log", log.substr(split));
            appended = true;
        }
        if (appended && r.log.bytesconsumed == static_cast<long long>(log.size())) {
            if (idle_since < 0)
                idle_since = fake.now();
            if (fake.now() - idle_since > 75)
                break;
        }
    }
    EXPECT_EQ(r.log.bytesconsumed, static_cast<long long>(log.size())) << c.name;
    if (const char* dir = std::getenv("TIDEWATCH_REPLAY_DUMP")) {
        if (std::FILE* f = std::fopen((std::string(dir) + "/" + c.name + ".txt").c_str(), "wb")) {
            std::fwrite(fake.transcript.data(), 1, fake.transcript.size(), f);
            std::fclose(f);
        }
    }
    return fake.transcript;
}

// Digests taken from the relay before its loop learnt to wait for events.
constexpr ReplayCase kCases[] = {
    {"console", false, 0, 0, 0xb86d137b46e1d56fULL, 321514},
    {"console_recover", false, 5000, 0, 0xe6429c7eb32e96ceULL, 52796},
    {"console_fromend", false, 0, 5500, 0x070400897ffad195ULL, 26941},
    {"server", true, 0, 0, 0xb1e21a7ded910d2fULL, 384539},
    {"server_recover", true, 5000, 0, 0xe779d2d120f4ac68ULL, 68176},
};

TEST(Replay, ChannelBytesAndPacingMatchTheGoldenDigests)
{
    for (const ReplayCase& c : kCases) {
        const std::string t = run_case(c);
        EXPECT_EQ(t.size(), c.bytes) << c.name;
        EXPECT_EQ(fnv1a(t), c.digest) << c.name;
    }
}

} // namespace
