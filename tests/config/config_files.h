// Shared bits of the configuration-file tests: reading a file of the source tree
// into the fake platform, and turning the trace on.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/relay_fixture.h"

// The bytes of a file below the source root ("" when it cannot be read).
inline std::string source_file(const std::string& relative)
{
    std::ifstream in(std::string(TIDEWATCH_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void trace_at(TestRelay& t, int level)
{
    t.r().settings.debuglevel = level;
    open_trace(t.r());
}

inline std::string trace_text(TestRelay& t)
{
    return t.fake.file_content(kTracePath);
}
