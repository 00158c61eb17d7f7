#include "relay/sinks/sinks.h"

#include <algorithm>

#include "relay/relay.h"
#include "relay/discord/sink.h"

void report_to_sinks(Relay& r, const char* text)
{
    status_report(r, text);
    discord_line(r, text);
}

void pump_sinks(Relay& r)
{
    status_pump(r);
    discord_pump(r);
}

long long sinks_due_ms(const Relay& r)
{
    const long long status = status_due_ms(r);
    const long long discord = discord_due_ms(r);
    if (status < 0)
        return discord;
    return discord < 0 ? status : std::min(status, discord);
}

void pause_with_sinks(Relay& r, long long ms)
{
    Platform& p = *r.platform;
    const long long until = p.now_ms() + ms;
    // Each round sends or schedules something, so a few rounds do.
    for (int round = 0; round < 100; ++round) {
        const long long now = p.now_ms();
        const long long due = sinks_due_ms(r);
        if (due < 0 || due >= until)
            break;
        if (due > now)
            p.sleep_ms(due - now);
        pump_sinks(r);
    }
    const long long left = until - p.now_ms();
    if (left > 0)
        p.sleep_ms(left);
}
