// The live status files for clan websites and monitoring: status.json (the whole
// state, for scripts and the page), index.html (a scoreboard page that works
// without JavaScript and redraws itself from status.json with it) and
// metrics.prom (Prometheus text format, for node_exporter's textfile collector).
// Opt-in by the colour file's statusdir key. Each file is replaced in one step,
// within a second of a change and at most twice a second; the relay listens on
// no socket for them.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

struct Relay;

inline constexpr std::size_t kStatusEvents = 50;   // report lines kept for the files
inline constexpr long long kStatusMinGapMs = 500;  // between two writes at least
inline constexpr long long kStatusRefreshMs = 30000; // the age gauges are refreshed this often

struct StatusEvent {
    long long time = 0; // Unix seconds
    std::string text;   // the report line, mIRC codes removed
};

struct StatusFiles {
    std::string dir;          // where the files go; empty: off
    bool refused = false;     // the console was told the directory is unusable
    bool failing = false;     // the last write failed (said once on the console)
    long long started = 0;    // Unix seconds
    long long written_ms = 0; // the last write (or try)
    uint64_t fingerprint = 0; // of the state the files last showed
    bool dirty = false;
    long long reports = 0;    // report lines sent to the channel
    std::deque<StatusEvent> events;
};

// A report line written to the channel (mIRC codes, with or without ':').
void status_report(Relay& r, const char* text);
// Writes the files when something changed and the last write is long enough ago.
void status_pump(Relay& r);
// When the loop must call status_pump again (milliseconds, wall clock), or -1.
long long status_due_ms(const Relay& r);

// The three texts, as they are written (for tests and the benchmark).
std::string status_json_text(const Relay& r);
std::string status_page_text(const Relay& r);
std::string status_metrics_text(const Relay& r);
