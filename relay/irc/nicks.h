// Who a server line comes from, and nicks compared the way the server compares
// them (its CASEMAPPING, announced in the 005 reply).
#pragma once

#include <string>

#include "relay/irc/irc_message.h"

struct IrcState;

// How the server folds the case of nicks.
enum CaseMapping {
    kCaseRfc1459,       // A-Z and []\~ fold to a-z and {}|^ (the default)
    kCaseStrictRfc1459, // A-Z and []\ fold to a-z and {}|
    kCaseAscii,         // A-Z only
};

// The sender of a line, from its prefix ":nick!user@host": the nick and
// "user@host". userhost is empty unless both user and host are there.
struct LinePrefix {
    std::string nick;
    std::string userhost;
    // A prefix that names a person: a nick and a user@host.
    bool identified() const { return !nick.empty() && !userhost.empty(); }
};
// prefix is the line's first argument, with its leading ':'.
LinePrefix parse_prefix(const char* prefix);

// True when the server takes a and b for the same nick.
bool same_nick(const IrcState& irc, const char* a, const char* b);

// A nick the server may give the relay (in its welcome or a NICK): one word
// that can be sent back in a NICK line.
bool usable_nick(const char* nick);

// Reads the tokens of a 005 (ISUPPORT) reply in the current message's arguments
// that the session uses (CASEMAPPING).
void read_isupport(IrcState& irc, const IrcMessage& m);
