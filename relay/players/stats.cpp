// Placeholder until the statistics report lands.
#include "relay/players/stats.h"

#include "relay/core/relay.h"

void show_stats(Relay& r, const char*)
{
    r.game.fragcount = 0;
}
