// The game server status query over UDP.
#pragma once

struct Relay;

// Sends the status request, waits for the reply and takes its values. While
// silentquery is set nothing is written to IRC.
void run_status_query(Relay& r);
