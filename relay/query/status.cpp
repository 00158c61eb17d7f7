// Placeholder until the status query lands: no game server is ever asked.
#include "relay/query/status.h"

#include "relay/core/relay.h"

void run_status_query(Relay&)
{
}

void quiet_status_query(Relay& r)
{
    r.game.silentquery = 1;
    run_status_query(r);
    r.game.silentquery = 0;
}

void send_local_print(Relay&, const char*)
{
}
