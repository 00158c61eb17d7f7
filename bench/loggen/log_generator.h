// Realistic game logs for benchmarks and replay tests: a console log (kills, joins,
// chat, flags, rounds and the game's own chatter) or a server event log, from a
// seed. The same seed and options always give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

struct LogGenOptions {
    bool server = false;  // the dedicated server's event log instead of the console log
    long long lines = 2000000;
    uint64_t seed = 1;
    int players = 24;     // distinct player names that come and go
};

// Calls sink(text, len) with consecutive chunks of the log, each ending in LF.
void generate_log(const LogGenOptions& o, const std::function<void(const char*, std::size_t)>& sink);

// The whole log in memory (for tests of a few thousand lines).
std::string generate_log_text(const LogGenOptions& o);

// Writes the log to a file; false when it cannot be written.
bool generate_log_file(const LogGenOptions& o, const std::string& path);
