// Placeholder until the owner commands land.
#include "relay/commands/dispatch.h"

void irc_command(Relay&, const char*, const char*)
{
}
