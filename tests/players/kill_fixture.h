// A relay connected to a fake IRC socket, for watching kill lines and traces.
#pragma once

#include <string>
#include <vector>

#include "relay/core/trace.h"
#include "tests/support/relay_fixture.h"

struct KillRelay : TestRelay {
    int sock = 0;

    KillRelay()
    {
        r().irc.ircconnected = 1;
        sock = fake.sock_create(true);
        r().irc.ircsocket = sock;
        r().settings.channel = "#chan";
    }

    std::string sent() { return fake.socket(sock)->sent; }
    void clear_sent() { fake.socket(sock)->sent.clear(); }
    // The lines sent, without their CR LF.
    std::vector<std::string> lines()
    {
        std::vector<std::string> out;
        const std::string s = sent();
        std::size_t at = 0;
        while (at < s.size()) {
            std::size_t end = s.find("\r\n", at);
            if (end == std::string::npos)
                end = s.size();
            out.push_back(s.substr(at, end - at));
            at = end + 2;
        }
        return out;
    }
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
