// The places besides the IRC channel that a report line also goes to (each one
// opt-in through the colour file). The IRC output hands every line it writes to
// the channel here, once, before pacing, flood protection or splitting.
#pragma once

struct Relay;

// text is the line's trailing parameter as handed to the channel, with its
// leading ":" and the mIRC colour codes.
void report_to_sinks(Relay& r, const char* text);

// Sleeps ms milliseconds, moving the sinks on when they are due meanwhile.
void pause_with_sinks(Relay& r, long long ms);
// Moves the sinks on; called on every pass of the main loop.
void pump_sinks(Relay& r);
// When the loop must look at the sinks again (milliseconds, wall clock), or -1.
long long sinks_due_ms(const Relay& r);
