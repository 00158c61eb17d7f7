// State of the IRC connection: sockets, input buffer, current message, output history.
#pragma once

#include <cstdint>

#include "relay/base/platform.h"

inline constexpr int kIrcBufSize = 32768;  // input and output buffers; data up to 32767 bytes
inline constexpr int kSendHistory = 10;    // lines the flood check looks back on

// A registration repair the server asked for by numeric reply. The first few come
// at once; further ones of the same kind wait a delay that doubles up to a cap, so
// a server answering every JOIN or NICK with an error is not hammered and the
// relay keeps following its log meanwhile.
struct Repair {
    int runs = 0;       // repairs of this kind since the last success
    long long next = 0; // earliest time (seconds) of the next delayed one
    int delay = 0;      // seconds from the latest to the next
    int pending = 0;    // the numeric whose repair waits, 0 none
};

enum RepairKind { kRepairNick, kRepairUser, kRepairRegister, kRepairJoin, kRepairKinds };

struct Relay;
struct IrcMessage;

struct IrcState {
    int ircsocket = 0;   // 0 none; a failed open leaves its result here
    int ircconnected = 0;
    int ircjoined = 0;

    // Received bytes not yet handled, zero-terminated.
    char ircinbuf[kIrcBufSize] = {};
    int ircinfill = 0;
    // Raised whenever the input buffer is emptied for a new connection, so a line
    // handler that reconnected underneath take_irc_lines is noticed.
    int inputgeneration = 0;
    // 1 while take_irc_lines is handling a line (its CR is a zero byte meanwhile).
    int handlingline = 0;

    // Output: the line being assembled, and the last lines sent (a ring; the slot at
    // historyindex is written next and holds the oldest entry).
    char ircoutbuf[kIrcBufSize] = {};
    long long sendtime[kSendHistory] = {};
    int sendlength[kSendHistory] = {};
    int historyindex = 0;
    int excesscount = 0;

    // 1 while connect_all runs: its login lines go through write_buf and read_buf,
    // which then must not start another connect of their own.
    int connecting = 0;

    Repair repairs[kRepairKinds];

    // The connection was lost while the relay ran: the main loop connects again at
    // once, and ends the program when that fails.
    int lost = 0;
    // Liveness: when the server last sent a byte, and when the relay's own PING
    // went out to a server that had fallen silent (0 none).
    long long lastinput = 0;
    long long probesent = 0;

    // SASL login under way (SaslState of relay/irc/sasl.h), and whether the
    // server's capability list named it.
    int saslstate = 0;
    int saslseen = 0;
    // When the login stops waiting for the negotiation (Platform::now_ms): 15
    // seconds after CAP LS, renewed each time the server's answer lets it go a
    // step further, so a server that only talks cannot hold the login up.
    long long sasldeadline = 0;
    // Length of "!user@host" in the prefix the server puts before the relay's
    // lines, learnt from its own JOIN (0: not known yet).
    int userhostlen = 0;
    // How the server compares nicks (CaseMapping of relay/irc/nicks.h), from its
    // 005 reply; rfc1459 until it says otherwise.
    int casemapping = 0;
    // The server announced UTF8ONLY (005): it refuses lines that are not UTF-8.
    int utf8only = 0;

    // Called with the text of every line written to the channel (report sinks);
    // set by the Relay, left empty by tests that build the state alone.
    void (*channel_hook)(Relay& r, const char* text) = nullptr;
    // Takes the pause after a line sent (the sinks move on in it); without it
    // the platform sleeps.
    void (*pause_hook)(Relay& r, long long ms) = nullptr;
    // Gets the PRIVMSG, NICK and QUIT lines of other users (the commands).
    void (*message_hook)(Relay& r, const IrcMessage& m, const char* sender) = nullptr;
};
