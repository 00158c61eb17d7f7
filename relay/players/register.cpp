// Placeholder until name-based registration lands.
#include "relay/players/register.h"

int named_player_event(Relay&, const char*, const char*, int, int)
{
    return -1;
}
