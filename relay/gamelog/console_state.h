// What the console-log processor remembers between lines: the team names that the
// OSP mod announces at the start of a match; and who takes the in-game commands.
#pragma once

#include "relay/base/settings.h"

struct Relay;

struct ConsoleState {
    Text ospredname;  // text before "^7 ^7(^1RED^7) VS " on the last OSP match line
    Text ospbluename; // text between that and "^7 ^7(^4BLUE^7)"

    // Gets each "lbot" command line (the in-game commands); set by the Relay.
    void (*command_hook)(Relay& r, const char* line) = nullptr;
};
