// The colour file, read from the fake platform's files, then a report that uses
// the styles it set.
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
        fuzz_line("Kill: 1 2 3: Al killed Bo by MOD_M4", [&](char* l) { return process_console_line(r, l); });
    });
    return 0;
}
