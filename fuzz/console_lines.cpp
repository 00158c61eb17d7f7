// Console log lines (the default mode): events, chat, kills and renames through
// the kill parser, in-game commands, one line after the other on one relay.
#include "fuzz/fuzz_relay.h"
#include "relay/gamelog/console_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzRelay t;
    Relay& r = t.r();
    fuzz_guarded([&] {
        for (const std::string& line : fuzz_lines(data, size))
            fuzz_line(line, [&](char* l) { return process_console_line(r, l); });
    });
    return 0;
}
