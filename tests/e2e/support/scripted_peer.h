// A stand-in IRC server for exchanges ngircd does not offer (SASL), or for
// watching raw bytes: it listens on 127.0.0.1 (a free port), takes one
// connection, records every byte the client sends and answers each line as the
// test's script says, on a thread of its own. Stopped with the test.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

class ScriptedPeer {
public:
    // The answer to one line the client sent (without its CR LF): lines each
    // ended by CR LF, or "" for none.
    using Script = std::function<std::string(const std::string& line)>;

    ScriptedPeer() = default;
    ~ScriptedPeer() { stop(); }
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    bool start(Script script);
    // Also sends line(n) (ended by CR LF), n = 0, 1, ..., every interval_ms
    // while a client is connected, whatever it says. Called before start.
    void drip(std::function<std::string(int n)> line, int interval_ms)
    {
        drip_ = std::move(line);
        drip_interval_ms_ = interval_ms;
    }
    void stop();
    int port() const { return port_; }

    // Every byte received so far, and the lines among them.
    std::string received();
    std::vector<std::string> lines();
    // Waits up to timeout_ms for a line that starts with text; true when it came.
    bool wait_for_line(const std::string& text, int timeout_ms);

private:
    void serve();
    int listener_ = -1;
    int port_ = 0;
    Script script_;
    std::function<std::string(int)> drip_;
    int drip_interval_ms_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::string received_;
    std::thread thread_;
};

} // namespace e2e
