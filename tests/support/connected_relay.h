// A relay on the fake platform with a connected IRC socket and channel #chan, and
// the bytes it sent split into lines.
#pragma once

#include <string>
#include <vector>

#include "relay/base/trace.h"
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

// The bytes of text that the channel lines carry: each line without its command,
// target and ending, and a continuation part (of a line split for the server's
// limit) without the colon and colour style it repeats.
inline std::size_t channel_text_bytes(const std::vector<std::string>& lines, std::size_t style_len)
{
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::size_t text = lines[i].find(" :") + 1;
        std::size_t len = lines[i].size() - text - (lines[i].back() == ' ' ? 1 : 0);
        bytes += i == 0 ? len : len - 1 - style_len;
    }
    return bytes;
}

struct ConnectedRelay : TestRelay {
    int sock = 0;

    explicit ConnectedRelay(void* storage = nullptr) : TestRelay(storage)
    {
        sock = connect_fake_irc(r(), fake);
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
