#include "relay/core/main_loop.h"

#include "relay/core/relay.h"

void start_relay(Relay&)
{
}

void relay_pass(Relay&, long long&)
{
}

void run_relay(Relay& r)
{
    start_relay(r);
    long long tick = r.platform->now();
    for (;;)
        relay_pass(r, tick);
}

void send_status_block(Relay&)
{
}
