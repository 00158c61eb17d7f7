// The line processors over generated logs, as during a catch-up: every line is
// recognised and counted, reports are built and held back (so no pacing applies).
// Also the follower's cost per line (reading, cutting, handing on).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/loggen/log_generator.h"
#include "relay/gamelog/console_lines.h"
#include "relay/gamelog/follower.h"
#include "relay/gamelog/server_lines.h"
#include "support/relay_fixture.h"

namespace {

const std::string& generated(bool server)
{
    static std::string logs[2];
    std::string& log = logs[server];
    if (log.empty()) {
        LogGenOptions o;
        o.server = server;
        o.lines = 200000;
        o.seed = 14;
        log = generate_log_text(o);
    }
    return log;
}

// A relay catching up: the whole log is held back by -r.
struct CatchingUp {
    TestRelay t;
    explicit CatchingUp(bool server)
    {
        Relay& r = t.r();
        r.settings.logfile = std::string("game.log");
        r.settings.channel = std::string("#chan");
        r.settings.quietmode = 1;
        r.settings.servermode = server;
        r.settings.recoverlines = 1 << 30;
        r.irc.ircsocket = t.fake.sock_create(true);
        r.irc.ircconnected = 1;
        r.irc.ircjoined = 1;
    }
};

// Each line handed straight to the processor (no follower).
void processors(benchmark::State& state, bool server)
{
    const std::string& log = generated(server);
    long long lines = 0;
    for (auto _ : state) {
        CatchingUp c(server);
        Relay& r = c.t.r();
        std::string line;
        for (std::size_t at = 0, nl; (nl = log.find('\n', at)) != std::string::npos; at = nl + 1) {
            line.assign(log, at, nl - at);
            ++r.log.linesread;
            benchmark::DoNotOptimize(server ? process_server_line(r, line.data()) : process_console_line(r, line.data()));
            ++lines;
        }
    }
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}

// The follower and the processor together, from the file.
void follower(benchmark::State& state, bool server)
{
    const std::string& log = generated(server);
    long long lines = 0;
    for (auto _ : state) {
        CatchingUp c(server);
        Relay& r = c.t.r();
        c.t.fake.write_file("game.log", log);
        open_log(r);
        while (read_log(r) > 0 || r.log.logfill > r.log.logstart)
            lines += take_log_lines(r);
    }
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}

void BM_ConsoleLines(benchmark::State& s) { processors(s, false); }
void BM_ServerLines(benchmark::State& s) { processors(s, true); }
void BM_ConsoleFollower(benchmark::State& s) { follower(s, false); }
void BM_ServerFollower(benchmark::State& s) { follower(s, true); }
BENCHMARK(BM_ConsoleLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConsoleFollower)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerFollower)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
