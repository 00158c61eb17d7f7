// A relay on the fake platform with a connected IRC socket and channel #chan, and
// the bytes it sent split into lines.
#pragma once

#include <string>
#include <vector>

#include "relay/core/trace.h"
#include "relay/players/table.h"
#include "tests/support/relay_fixture.h"

// The CR LF-terminated lines of bytes, without their CR LF; an unterminated rest
// comes last.
inline std::vector<std::string> wire_lines(const std::string& bytes)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        out.push_back(bytes.substr(start, end - start));
    if (start < bytes.size())
        out.push_back(bytes.substr(start));
    return out;
}

struct ConnectedRelay : TestRelay {
    int sock = 0;

    ConnectedRelay()
    {
        r().irc.ircconnected = 1;
        r().irc.ircjoined = 1;
        sock = fake.sock_create(true);
        r().irc.ircsocket = sock;
        r().settings.channel = "#chan";
    }

    std::string sent() { return fake.socket(sock)->sent; }
    void clear_sent() { fake.socket(sock)->sent.clear(); }
    std::vector<std::string> lines() { return wire_lines(sent()); }
    void trace_on(int level)
    {
        r().settings.debuglevel = level;
        open_trace(r());
    }
    std::string traced() { return fake.file_content(kTracePath); }
    // Adds a player known by client number.
    PlayerRecord& player(int id, const char* name, int team)
    {
        add_player(r(), id);
        set_player_name(r(), id, name);
        if (team)
            set_player_team(r(), id, team);
        return r().players.slots[find_player(r(), id)];
    }
};
