// The UDP side: its sockets, the game server status as the last status reply
// gave it, and the reply buffer.
#pragma once

#include <cstdint>

#include "relay/base/platform.h"
#include "relay/base/settings.h"

inline constexpr int kReplyBufSize = 32768; // reply data up to 32767 bytes and a zero

struct QueryState {
    // The UDP sockets: the status query to the game server (0 none; a failed open
    // leaves its result here) and the print packets to the local game.
    int querysocket = 0;
    int localsocket = 0;
    int queryopen = 0;
    int localopen = 0;
    // Where the query socket is connected: status replies from anywhere else are
    // dropped.
    NetAddress queryaddress;
    uint16_t queryport = 0;

    Text sv_hostname; // the server's name, game colours already turned into IRC colours

    // The reply being received: replyfill bytes, zero-terminated. replycut is set
    // when the reply did not fit, so its last line may be cut short.
    char replybuf[kReplyBufSize] = {};
    int replyfill = 0;
    bool replycut = false;
    // Room for players the reply's server states (sv_maxclients; 0 unknown).
    int maxclients = 0;
    long long lastanswer = 0; // when the game server last answered (seconds)
    long long answers = 0;    // answers taken
};
