// The Discord sink: report lines of the channel also go to a Discord webhook,
// batched, in order, each once, within the limits the webhook's answers state.
// It works inside the relay's one loop and never waits for Discord: requests run
// beside the loop (Platform::http_post), and a slow or absent Discord only makes
// its own queue grow, up to a bound.
#pragma once

#include <deque>
#include <string>
#include <vector>

struct Relay;

inline constexpr std::size_t kDiscordQueueMax = 1000;   // lines waiting at most
inline constexpr std::size_t kDiscordMessageMax = 2000; // characters in one message
inline constexpr long long kDiscordBatchMs = 1000;      // lines this close go together
inline constexpr long long kDiscordBatchMaxMs = 45000;  // a batch of a long burst waits at most

struct DiscordSink {
    std::string url;             // the webhook in use (a secret); empty: off
    bool plain = false;          // plain text with bold names instead of an ansi block
    bool stopped = false;        // the webhook refused the reports for good
    int loads = -1;              // the colour file load it was set up from
    std::deque<std::string> queue; // lines waiting, as Discord text
    std::vector<std::string> batch; // the lines of the message under way
    long long lost = 0;          // lines dropped from a full queue, not told yet
    long long lastline_ms = 0;   // when the newest line came
    long long firstline_ms = 0;  // when the oldest waiting line came
    int request = -1;            // the request under way, or -1
    long long notbefore_ms = 0;  // no request before then (rate limit, back-off)
    int failures = 0;            // failed tries in a row of the current batch
    long long sent = 0;          // lines delivered
    long long requests = 0;      // requests made
};

// A line written to the channel (mIRC codes, with or without its leading ':').
void discord_line(Relay& r, const char* text);
// Moves the sink on: takes the answer of the request under way, sends the next
// batch when it is due and allowed. Cheap when there is nothing to do.
void discord_pump(Relay& r);
// When the loop must look at the sink again (milliseconds, wall clock), or -1
// when only an answer can move it on (the wait ends with that by itself).
long long discord_due_ms(const Relay& r);
// The webhook address is usable: https, or http to a loopback address.
bool discord_webhook_allowed(const std::string& url);
