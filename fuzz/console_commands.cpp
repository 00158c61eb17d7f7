// In-game "lbot" commands: every input line follows "]lbot " and goes to the
// command handler, one after the other on one relay.
#include "fuzz/fuzz_relay.h"
#include "relay/commands/console_commands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzRelay t;
    Relay& r = t.r();
    fuzz_guarded([&] {
        for (const std::string& line : fuzz_lines(data, size))
            fuzz_line("]lbot " + line, [&](char* l) {
                console_command(r, l);
                return 0;
            });
    });
    return 0;
}
