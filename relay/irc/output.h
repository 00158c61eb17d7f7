// The one way a line goes to the IRC server: assembled, held back while catching up
// or silenced, paced, and flood-protected.
#pragma once

struct Relay;

// command followed by each present argument after one blank. A forced line
// (protocol, login, command replies) passes silent mode and the catching-up
// hold-back and is never skipped. Returns the bytes handed to the socket, 0 when
// the line was dropped, the line's length when flood protection skipped it.
int write_buf(Relay& r, const char* command, const char* arg1, const char* arg2, const char* arg3,
              const char* arg4, const char* arg5, int forced);

// A PRIVMSG to target; text starts with the ":" of the trailing parameter. Without
// a target nothing is sent (the line would be malformed).
inline int send_privmsg(Relay& r, const char* target, const char* text, int forced = 0)
{
    if (!target || !target[0])
        return 0;
    return write_buf(r, "PRIVMSG", target, text, nullptr, nullptr, nullptr, forced);
}

// True while a report (a line that is not forced) would be held back because old
// log lines are being caught up on; its maker may skip building it.
bool reports_held_back(const Relay& r);
