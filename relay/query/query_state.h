// Game server status as the last status reply gave it, and the reply buffer.
#pragma once

#include "relay/base/settings.h"

inline constexpr int kReplyBufSize = 32768; // reply data up to 32767 bytes and a zero

struct QueryState {
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
