// The dedicated server's event log lines (server mode), one after the other.
#include "fuzz/fuzz_relay.h"
#include "relay/app/command_line.h"
#include "relay/gamelog/server_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzRelay t;
    Relay& r = t.r();
    r.settings.servermode = 1;
    r.settings.ospshow = 3;
    decode_ospshow(r.settings);
    fuzz_guarded([&] {
        for (const std::string& line : fuzz_lines(data, size))
            fuzz_line(line, [&](char* l) { return process_server_line(r, l); });
    });
    return 0;
}
