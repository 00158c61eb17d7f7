// Placeholder until the paced, flood-protected output lands: sends the assembled
// line at once.
#include "relay/irc/output.h"

#include <string>

#include "relay/core/relay.h"

int write_buf(Relay& r, const char* command, const char* arg1, const char* arg2, const char* arg3,
              const char* arg4, const char* arg5, int forced)
{
    if (!r.irc.ircconnected)
        return 0;
    std::string line = command;
    for (const char* a : {arg1, arg2, arg3, arg4, arg5})
        if (a) {
            line += ' ';
            line += a;
        }
    line += forced ? "\r\n" : " \r\n";
    long n = r.platform->sock_send(r.irc.ircsocket, line.data(), line.size());
    r.platform->sleep_ms(r.settings.waitmillisecs);
    return n < 0 ? 0 : static_cast<int>(n);
}
