// Placeholder until death-message parsing lands.
#include "relay/players/kill_parse.h"

int parse_kill_text(Relay&, const char*)
{
    return 0;
}
