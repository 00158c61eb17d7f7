// Shared set-up of the fuzz targets: a relay connected to a fake IRC server, built
// afresh for every input so nothing grows from one input to the next, and the
// input taken apart into lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "relay/relay.h"
#include "relay/base/trace.h"
#include "tests/support/connected_relay.h"

// Storage for the one relay of a fuzz target, built afresh in it for every input.
inline void* fuzz_storage()
{
    alignas(Relay) static unsigned char bytes[sizeof(Relay)];
    return bytes;
}

// The relay of most targets, connected: IRC socket open and channel #chan joined,
// owner password "s3cret", tracing at every level, and an open local game client
// socket so in-game answers are built and sent. One at a time.
struct FuzzRelay : ConnectedRelay {
    FuzzRelay() : ConnectedRelay(fuzz_storage())
    {
        Relay& x = r();
        x.settings.irchost = std::string("irc.test");
        x.settings.botpass = std::string("s3cret");
        x.settings.logfile = std::string("/log/games.log");
        fake.hosts["irc.test"] = 0x0100000a;
        x.query.localsocket = fake.sock_create(false);
        x.query.localopen = 1;
        trace_on(200);
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
