// The colour file, read from the fake platform's files, then a join and a kill
// reported in the styles and team colours it set.
#include "fuzz/fuzz_relay.h"
#include "relay/config/colours.h"
#include "relay/gamelog/console_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzRelay t;
    Relay& r = t.r();
    t.fake.write_file("/etc/colours.ini", fuzz_text(data, size));
    fuzz_guarded([&] {
        load_colours(r, "/etc/colours.ini");
        for (const char* line : {"^4Ann^7 joined the blue team.", "^1Bob^7 joined the red team.",
                                 "^1Bob^7 was shot by ^4Ann^7's M4"})
            fuzz_line(line, [&](char* l) { return process_console_line(r, l); });
    });
    return 0;
}
