// The relay's sockets: one TCP connection to the IRC server and two UDP sockets
// (game server status query, local game client), IPv4 or IPv6; the IRC
// connection in TLS when the settings ask for it.
#pragma once

#include <cstdint>

#include "relay/base/platform.h"

struct Relay;

// Every connect, TCP or UDP, gives up after this long.
inline constexpr long long kConnectTimeoutMs = 15000;

// The local game client that receives "print" packets in client mode.
inline constexpr const char* kLocalClientHost = "127.0.0.1";
inline constexpr const char* kLocalClientPort = "20100";

// IPv4 address of host in network order, 0 when unknown. A host whose first
// character is a digit (or an empty one) is taken as a dotted address.
uint32_t resolve_address(Relay& r, const char* host);

// Opens the IRC connection into r.irc.ircsocket: the handle, or -1. Every
// address of the host is tried in turn; with TLS on, an address whose handshake
// or certificate check fails counts as unreachable.
int open_tcp(Relay& r, const char* host, const char* port_text);

// Which of the two UDP sockets a new one becomes.
enum class UdpFor { query, local };

// Opens a UDP socket "connected" to host:port: the handle, or -1. It is stored in
// r.query.querysocket (the game server, with its address and port kept in
// r.query.queryaddress and r.query.queryport) or r.query.localsocket (the local game
// client), as asked: a game server on this machine may well be 127.0.0.1 too.
int open_udp(Relay& r, const char* host, const char* port_text, UdpFor use);

// Connects a socket without blocking longer than timeout_ms; leaves it non-blocking.
// 0 on success, -1 on failure (refused, unreachable, timed out).
int connect_with_timeout(Relay& r, int socket, const NetAddress& address, uint16_t port, long long timeout_ms);

// Closes a socket; hard = 1 resets the connection instead of shutting it down.
// Nothing happens for a handle that is not a socket (-1, or 0 meaning "none").
int close_socket(Relay& r, int socket, int hard);
