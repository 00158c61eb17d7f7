// Owner commands sent to the relay by IRC private message: authorisation with
// !pass, the owner-only gate, the mode marks, and the reply conventions.
#pragma once

#include <string>

struct Relay;
struct LinePrefix;
struct IrcMessage;

// A PRIVMSG addressed to the relay's nick or channel. prefix: the line's prefix
// (":nick!user@host"); sender: the sender's nick; target: what the relay was
// addressed as (its nick, or the channel setting); message: the text.
void irc_command(Relay& r, const char* prefix, const char* sender, const char* target, const char* message);

// A PRIVMSG, NICK or QUIT of another user, handed on by the IRC session:
// commands addressed to the relay, and the owner changing nick or leaving.
void handle_user_message(Relay& r, const IrcMessage& m, const char* sender);

// True when the sender is the owner: the nick (as the server compares nicks) and
// the user@host that authorised.
bool is_owner(const Relay& r, const LinePrefix& sender);

// The banner line every reply starts with.
void reply_banner(Relay& r, const char* to);
// The banner line and the two lines of an error code (3 to 6).
void reply_error(Relay& r, const char* to, int code);
// The command listing: four lines for anyone, all of them for the owner.
void show_help(Relay& r, const char* to);

// One reply line to a nick, forced: a printf format ("\003" is the colour
// character of the reply texts).
__attribute__((format(printf, 3, 4))) void replyf(Relay& r, const char* to, const char* format, ...);
// One reply line of text as it is.
void reply_text(Relay& r, const char* to, const char* text);
