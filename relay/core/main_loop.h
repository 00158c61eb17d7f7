// Start-up and the relay's endless loop.
#pragma once

struct Relay;

// Loads the configuration files, connects and opens the log.
void start_relay(Relay& r);
// One pass of the loop; tick is the loop's timer base.
void relay_pass(Relay& r, long long& tick);
// Start-up, then passes forever.
[[noreturn]] void run_relay(Relay& r);
// The periodic status block.
void send_status_block(Relay& r);
