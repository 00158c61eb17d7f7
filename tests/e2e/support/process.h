// A child process started by a test and always ended by it: the destructor stops
// it (SIGTERM, then SIGKILL after a grace period) if it still runs.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace e2e {

class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;

    // Starts argv[0] (a path) with the arguments, in workdir, with standard output
    // and error appended to output_file ("" keeps the test's own) and standard
    // input from input_fd (-1: /dev/null). False when the program could not be
    // started.
    bool start(const std::vector<std::string>& argv, const std::string& workdir = "",
               const std::string& output_file = "", int input_fd = -1);

    bool running();
    pid_t pid() const { return pid_; }
    // Exit code once ended (-1 while running or when killed by a signal).
    int exit_code() const { return exit_code_; }
    // Waits up to timeout_ms for the process to end on its own.
    bool wait_exit(int timeout_ms);
    // Sends SIGTERM, waits up to grace_ms, then SIGKILL; reaps the child.
    void stop(int grace_ms = 5000);
    // Ends it at once with SIGKILL (no chance to clean up) and reaps it.
    void kill_now();

private:
    bool reap(bool block);
    pid_t pid_ = -1;
    int exit_code_ = -1;
};

} // namespace e2e
