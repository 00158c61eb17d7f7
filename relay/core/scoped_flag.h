// Raises a flag of the game state for the length of one call and lowers it
// again however the call ends (eventline around an event report, statsonrequest
// around a statistics report asked for by a command).
#pragma once

struct ScopedFlag {
    explicit ScopedFlag(int& flag) : flag_(flag), before_(flag) { flag_ = 1; }
    ~ScopedFlag() { flag_ = before_; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    int& flag_;
    int before_;
};
