// What the console-log processor remembers between lines: the team names that the
// OSP mod announces at the start of a match.
#pragma once

#include "relay/core/settings.h"

struct ConsoleState {
    Text ospredname;  // text before "^7 ^7(^1RED^7) VS " on the last OSP match line
    Text ospbluename; // text between that and "^7 ^7(^4BLUE^7)"
};
