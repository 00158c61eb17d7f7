// Throughput of the console-log pipeline: follower, line processor, kill parsing,
// bookkeeping and the assembled IRC lines (sent to a fake socket, pacing in virtual
// time, so only the relay's own work is measured).
#include <benchmark/benchmark.h>

#include <string>

#include "relay/gamelog/follower.h"
#include "support/relay_fixture.h"

namespace {

std::string match_chunk()
{
    return "Alpha is connecting...\n"
           "Alpha enter the game\n"
           "Alpha joined the red team.\n"
           "Bravo joined the blue team.\n"
           "Bravo was shot by Alpha's M4\n"
           "Alpha was pumped full of lead by Bravo's M590\n"
           "^1Alpha^7: ^2nice shot\n"
           "Alpha has taken the Blue Flag!\n"
           "Alpha has captured the Blue Flag!\n"
           "Charlie disconnected\n";
}

void BM_ConsoleLogLines(benchmark::State& state)
{
    TestRelay t;
    Relay& r = t.r();
    r.settings.logfile = std::string("qconsole.log");
    r.settings.channel = std::string("#chan");
    r.settings.messages = 0;
    r.irc.ircsocket = t.fake.sock_create(true);
    r.irc.ircconnected = 1;
    std::string chunk = match_chunk();
    t.fake.write_file("qconsole.log", "");
    open_log(r);
    long long lines = 0;
    for (auto _ : state) {
        t.fake.append_file("qconsole.log", chunk);
        for (int i = 0; i < 3; ++i) {
            read_log(r);
            lines += take_log_lines(r);
        }
        t.fake.socket(r.irc.ircsocket)->sent.clear();
    }
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ConsoleLogLines);

} // namespace

BENCHMARK_MAIN();
