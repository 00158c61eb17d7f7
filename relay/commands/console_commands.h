// In-game "lbot" commands, echoed by the game into its console log.
#pragma once

struct Relay;

// line: the console log line, starting at "]lbot ", "]\lbot " or "]/lbot ".
int console_command(Relay& r, const char* line);
