// The game server status query over UDP, and "print" packets to the local game client.
#pragma once

#include <string_view>

struct Relay;

// A full query is always these three, in this order.
// Sends the 13-byte status request: the send result, -1 when no query socket is open.
int send_status_request(Relay& r);
// Gathers what the game server sends back during 100 attempts of 1 ms: the bytes
// received (0 at once when no query socket is open). Only datagrams from the
// queried address and port count.
int receive_status(Relay& r);
// Takes the received reply: server values, players into the player table and,
// when showconnectinfo has 512 and silentquery is 0, the player list to the
// channel. Empties the reply buffer.
void parse_status_reply(Relay& r);

// One server info line (\key\value...): host name, map, game type, limits and
// team scores. The time limit is 0 unless the line gives one.
void parse_server_info(Relay& r, std::string_view line);

// Request, receive and parse. While r.game.silentquery is set nothing is written
// to IRC.
void run_status_query(Relay& r);

// A status query that only updates the relay's state (scores, server values).
void quiet_status_query(Relay& r);

// Sends bytes as they are to the local game client: the send result, 0 when its
// socket is not open.
int send_local(Relay& r, std::string_view bytes);

// Sends a connectionless "print" packet with text to the local game client's console.
void send_local_print(Relay& r, const char* text);
