// Placeholder until the IRC session lands.
#include "relay/irc/session.h"

#include "relay/core/relay.h"

int read_buf(Relay&)
{
    return 0;
}

int take_irc_lines(Relay&)
{
    return 0;
}

void connect_all(Relay&)
{
}
