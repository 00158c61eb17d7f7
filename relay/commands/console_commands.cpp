// Placeholder until the in-game commands land.
#include "relay/commands/console_commands.h"

int console_command(Relay&, const char*)
{
    return 0;
}
