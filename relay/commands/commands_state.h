// State of the owner commands.
#pragma once

#include "relay/core/settings.h"

struct CommandState {
    Text botowner;        // nick that authorised with !pass
    Text prevchannel;     // channel before the last !channel
    Text prevchannelkey;
};
