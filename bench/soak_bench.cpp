// Memory over a day: a relay following a busy console log for 24 hours of virtual
// time (1000 players coming and going, every report paced), on the fake platform.
// Prints the heap in use after the first hour, at the end, and its highest value;
// a leak shows as growth from the first figure to the others.
//   bench_soak_bench [hours]
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/loggen/log_generator.h"
#include "relay/app/main_loop.h"
#include "relay/relay.h"
#include "relay/gamelog/follower.h"
#include "support/fake_platform.h"

int main(int argc, char** argv)
{
    const long long hours = argc > 1 ? std::atoll(argv[1]) : 24;
    LogGenOptions o;
    o.lines = 400000;
    o.players = 1000;
    o.seed = 24;
    const std::string log = generate_log_text(o);

    FakePlatform fake;
    Relay r(fake);
    r.settings.logfile = std::string("game.log");
    r.settings.channel = std::string("#chan");
    r.settings.quietmode = 1;
    r.settings.playerstats = 1;
    r.settings.statsafter = 20;
    const int sock = fake.sock_create(true);
    r.irc.ircsocket = sock;
    r.irc.ircconnected = 1;
    r.irc.ircjoined = 1;
    fake.socket(sock)->on_send = [](FakeSocket& s, std::string_view data) {
        if (data.substr(0, 4) == "PING")
            s.inbox.push_back(":irc PONG irc :tidecore\r\n");
        s.sent.clear(); // the peer keeps nothing
    };
    fake.write_file("game.log", "");
    LoopState loop;
    open_log(r);
    loop.tick = fake.now();

    const long long start = fake.now_ms();
    std::size_t at = 0;
    long long lines = 0;
    std::size_t first_hour = 0, peak = 0, now_used = 0;
    while (fake.now_ms() - start < hours * 3600 * 1000) {
        // About one line a second of virtual time, in small bursts.
        if (r.log.readpos == static_cast<long long>(fake.files["game.log"]->content.size())) {
            // The follower has read everything: empty the file behind it so that
            // only the relay's own memory is measured.
            fake.files["game.log"]->content.clear();
            fake.handles[r.log.logstream].pos = 0;
            r.log.readpos = 0;
            std::size_t end = at;
            for (int n = 0; n < 5; ++n) {
                end = log.find('\n', end) + 1;
                if (end == 0 || end >= log.size()) {
                    end = log.size();
                    break;
                }
            }
            fake.append_file("game.log", log.substr(at, end - at));
            at = end >= log.size() ? 0 : end;
            fake.sleep_ms(5000);
        }
        relay_pass(r, loop);
        lines = r.log.linesread;
        now_used = mallinfo2().uordblks;
        if (fake.now_ms() - start < 3600 * 1000)
            first_hour = now_used;
        if (now_used > peak)
            peak = now_used;
    }
    std::printf("soak %lld h virtual: %lld lines, %d players in the table at the end\n", hours, lines,
                r.players.playercount);
    std::printf("heap in use: after 1 h %.1f KB, at the end %.1f KB, highest %.1f KB (growth %+.1f KB)\n",
                first_hour / 1024.0, now_used / 1024.0, peak / 1024.0,
                (static_cast<double>(now_used) - static_cast<double>(first_hour)) / 1024.0);
    return 0;
}
