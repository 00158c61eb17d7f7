// State of the owner commands.
#pragma once

#include <map>
#include <string>

#include "relay/base/settings.h"

// Wrong owner passwords seen, for the silent back-off of !pass.
struct PassBackoff {
    int failures = 0;         // wrong passwords in a row
    long long until = 0;      // !pass is ignored before this time (seconds)
    long long lastfailure = 0;
};

struct CommandState {
    Text botowner;             // nick that authorised with !pass
    std::string owneruserhost; // and the user@host it authorised from
    Text prevchannel;          // channel before the last !channel
    Text prevchannelkey;

    std::map<std::string, PassBackoff> passhosts; // by the guesser's user@host
};
