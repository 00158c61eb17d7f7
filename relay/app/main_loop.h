// Start-up and the relay's endless loop.
#pragma once

struct Relay;

// A pass that found nothing to do waits for IRC input, a change of the log or the
// loop's next deadline. Where the log cannot be watched it is looked at this often;
// where it can, this often all the same, in case a change went unnoticed.
inline constexpr long long kLogPollMs = 250;
inline constexpr long long kWatchedLogPollMs = 5000;

// What the loop keeps between passes.
struct LoopState {
    long long tick = 0;           // timer base of the periodic status block
    int last_query_fragcount = 0; // counters as the last pass saw them, so that a
    int last_query_linesread = 0; // silent status query runs once per milestone
    int silent_queries = 0;       // silent status queries started by the log duty
    int logwatch = -1;            // the platform's watch on the open log, -1 none
    unsigned long long watched = 0; // identity of the file the watch was made for
    bool watchtried = false;      // a watch was asked for that file
    int quietpasses = 0;          // catching-up passes since the IRC socket was last asked
};

// Loads the configuration files, connects (unless catching up first) and opens the log.
void start_relay(Relay& r, LoopState& loop);
// One pass of the loop: periodic tick, IRC input, log, silent status query.
void relay_pass(Relay& r, LoopState& loop);
// Start-up, then passes forever.
[[noreturn]] void run_relay(Relay& r);
// The periodic status block.
void send_status_block(Relay& r);
