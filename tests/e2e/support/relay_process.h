// The real tidecore program, started by an end-to-end test in a scratch directory
// (so it finds no colour or map file of the developer's), its console output kept
// in a file there.
#pragma once

#include <string>
#include <vector>

#include "tests/e2e/support/process.h"
#include "tests/e2e/support/temp_dir.h"

namespace e2e {

// The usual command line: options, then IRC host 127.0.0.1, channel and log file.
std::vector<std::string> relay_args(int irc_port, const std::string& channel, const std::string& logfile,
                                    const std::string& nick = "SOF2Tidewatch",
                                    const std::vector<std::string>& options = {});

class RelayProcess {
public:
    // Path of the tidecore program under test (passed in by the build).
    static std::string program();

    explicit RelayProcess(const TempDir& dir) : dir_(dir) {}
    ~RelayProcess() { stop(); }
    RelayProcess(const RelayProcess&) = delete;
    RelayProcess& operator=(const RelayProcess&) = delete;

    bool start(const std::vector<std::string>& args);
    void stop() { process_.stop(); }
    bool running() { return process_.running(); }
    Process& process() { return process_; }
    // Everything it printed so far.
    std::string output() const;

private:
    const TempDir& dir_;
    Process process_;
};

} // namespace e2e
