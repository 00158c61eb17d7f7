#include "relay/sinks/sinks.h"

#include "relay/core/relay.h"
#include "relay/discord/sink.h"

void report_to_sinks(Relay& r, const char* text)
{
    discord_line(r, text);
}

void pump_sinks(Relay& r)
{
    discord_pump(r);
}

long long sinks_due_ms(const Relay& r)
{
    return discord_due_ms(r);
}
