// Console death messages: victim, killer, kind and weapon from the message text.
#pragma once

struct Relay;

// When line is a death message (or a rename line), registers and counts it and
// returns 2; otherwise 0. line may hold game colour codes.
int parse_kill_text(Relay& r, const char* line);
