// Owner commands sent to the relay by IRC PRIVMSG.
#pragma once

struct Relay;

// A PRIVMSG addressed to the relay's nick or channel; the message text is in the
// current IRC message's argument slot 3. sender: the sender's nick; target: what
// the relay was addressed as (its nick, or the channel setting).
void irc_command(Relay& r, const char* sender, const char* target);
