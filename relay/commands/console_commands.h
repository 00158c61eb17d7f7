// In-game "lbot" commands, echoed by the game into its console log, and their
// answers into the local game console.
#pragma once

struct Relay;

// line: the console log line, starting at "]lbot ", "]\lbot " or "]/lbot " (any
// case). Obeys the command it carries; a line without such a prefix, without a
// command word or with an unknown one does nothing.
void console_command(Relay& r, const char* line);

// Sends one answer to the local game client's console: a connectionless "print"
// packet with the in-game banner before text, at most 1023 bytes in all. Dropped
// silently while the local socket is not open (server mode).
void console_reply(Relay& r, const char* text);
