// Raises a flag of the game state for the length of one call and lowers it
// again however the call ends (eventline around an event report, statsonrequest
// around a statistics report asked for by a command). With raise false the flag
// is left alone, for a call that is marked only sometimes.
#pragma once

struct ScopedFlag {
    explicit ScopedFlag(int& flag, bool raise = true) : flag_(flag), before_(flag)
    {
        if (raise)
            flag_ = 1;
    }
    ~ScopedFlag() { flag_ = before_; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    int& flag_;
    int before_;
};
