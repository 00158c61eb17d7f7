// Follows the game's log as it grows, cuts it into lines and hands each line to
// the line processor of the current mode.
#pragma once

#include <vector>

struct Relay;

inline constexpr int kLogBufSize = 32768;

struct LogFollower {
    int logstream = -1;
    int logopen = 0;
    std::vector<char> logbuf; // kLogBufSize bytes once the log was first opened
    int logfill = 0;
    int linesread = 0;
    long long bytesconsumed = 0;
    long long readpos = 0;            // bytes read from the open file so far
    unsigned long long identity = 0;  // which file is open (to notice a replaced log)
};

void open_log(Relay& r);
int read_log(Relay& r);
int take_log_lines(Relay& r);

// The log state text of the periodic status, in the output language.
const char* log_state_text(const Relay& r);
