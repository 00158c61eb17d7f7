// The game server status query over UDP, and "print" packets to the local game client.
#pragma once

struct Relay;

// Sends the status request, waits for the reply and takes its values. While
// r.game.silentquery is set nothing is written to IRC. Does nothing when no game
// server is configured.
void run_status_query(Relay& r);

// A status query that only updates the relay's state (scores, server values).
void quiet_status_query(Relay& r);

// Sends a connectionless "print" packet with text to the local game client's console.
void send_local_print(Relay& r, const char* text);
