// Shared set-up of the fuzz targets: a relay connected to a fake IRC server, built
// afresh for every input so nothing grows from one input to the next, and the
// input taken apart into lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "relay/relay.h"
#include "relay/base/trace.h"
#include "relay/players/table.h"
#include "tests/support/fake_platform.h"
#include "tests/support/relay_fixture.h"

// A relay on the fake platform, built afresh in the same storage for every input
// (a new allocation of its size each time would cost more than most inputs' work).
// Connected: IRC socket open and channel #chan joined, owner password "s3cret",
// tracing at every level, and an open local game client socket so in-game answers
// are built and sent. One at a time.
struct FuzzRelay {
    FakePlatform fake;
    Relay* relay;
    int sock = 0;

    explicit FuzzRelay(bool connected = true) : relay(new (storage()) Relay(fake))
    {
        if (!connected)
            return;
        Relay& x = r();
        sock = connect_fake_irc(x, fake);
        x.settings.channel = std::string("#chan");
        x.settings.irchost = std::string("irc.test");
        x.settings.botpass = std::string("s3cret");
        x.settings.logfile = std::string("/log/games.log");
        fake.hosts["irc.test"] = 0x0100000a;
        x.query.localsocket = fake.sock_create(false);
        x.query.localopen = 1;
        x.settings.debuglevel = 200;
        open_trace(x);
    }
    ~FuzzRelay() { relay->~Relay(); }
    FuzzRelay(const FuzzRelay&) = delete;
    FuzzRelay& operator=(const FuzzRelay&) = delete;

    Relay& r() { return *relay; }
    // Adds a player known by client number.
    void player(int id, const char* name, int team)
    {
        add_player(r(), id);
        set_player_name(r(), id, name);
        set_player_team(r(), id, team);
    }

private:
    static void* storage()
    {
        alignas(Relay) static unsigned char bytes[sizeof(Relay)];
        return bytes;
    }
};

// The input as text.
inline std::string_view fuzz_text(const uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// The input's lines, split at LF (a CR before it stays with the line).
inline std::vector<std::string> fuzz_lines(const uint8_t* data, std::size_t size)
{
    std::vector<std::string> out;
    std::string_view text = fuzz_text(data, size);
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        out.emplace_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return out;
}

// Runs body; a relay that ends the program (exit_process throws on the fake
// platform) is a normal outcome of some inputs.
template <typename F>
void fuzz_guarded(F&& body)
{
    try {
        body();
    } catch (const FakeExit&) {
    }
}

// Hands one line to a line processor in a buffer of exactly its size and a zero,
// so any read or write beyond the line's end is caught.
template <typename F>
int fuzz_line(const std::string& line, F&& processor)
{
    std::vector<char> copy(line.begin(), line.end());
    copy.push_back('\0');
    return processor(copy.data());
}
