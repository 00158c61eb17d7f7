// SASL PLAIN login through IRCv3 capability negotiation: CAP LS 302 before the
// registration, CAP REQ :sasl, AUTHENTICATE PLAIN and the credentials, CAP END.
// Whatever goes wrong (no CAP, no SASL, a refused login), the negotiation ends
// and the relay logs in as without SASL, saying so on the console.
#pragma once

#include <string>
#include <string_view>

#include "relay/irc/irc_message.h"

struct Relay;

enum SaslState {
    kSaslIdle,    // no negotiation under way
    kSaslListing, // CAP LS sent, the capability list awaited
    kSaslAsking,  // CAP REQ :sasl sent, ACK or NAK awaited
    kSaslMech,    // AUTHENTICATE PLAIN sent, the server's "+" awaited
    kSaslProving, // credentials sent, the outcome awaited
};

// How long the login waits at most for the server's next step of the
// negotiation (from CAP LS, and again after each answer that moves it on).
inline constexpr long long kSaslWaitMs = 15000;
// AUTHENTICATE carries at most this many bytes of base64 a line.
inline constexpr std::size_t kSaslChunk = 400;

// Account and password are both set in the colour file.
bool sasl_wanted(const Relay& r);
// Sends CAP LS 302 (the first line after the connection is made).
void sasl_begin(Relay& r);
// After NICK and USER: waits for the negotiation to end (until kSaslWaitMs
// after its latest step, by the clock) and ends it with CAP END when the
// server did not get on with it.
void sasl_finish(Relay& r);
// Handles the message when it belongs to the negotiation; true then.
bool sasl_line(Relay& r, const IrcMessage& m);
// The base64 text of bytes (standard alphabet, with padding).
std::string base64(std::string_view bytes);
