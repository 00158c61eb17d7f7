// Game server status as the last status reply gave it.
#pragma once

#include "relay/core/settings.h"

struct QueryState {
    Text sv_hostname;
};
