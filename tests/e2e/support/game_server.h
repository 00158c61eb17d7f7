// A stand-in game server for end-to-end tests: a UDP socket on 127.0.0.1 or ::1 (a free
// port) that answers every "getstatus" with a status reply, on a thread of its own
// so it answers while the test waits on IRC. Stopped with the test.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace e2e {

// A status reply as a game server sends it: header line, info line, player lines
// ("score ping team \"name\"" each, joined by LF and ending in LF).
std::string status_reply(const std::string& info, const std::string& players);

class GameServer {
public:
    GameServer() = default;
    ~GameServer() { stop(); }
    GameServer(const GameServer&) = delete;
    GameServer& operator=(const GameServer&) = delete;

    // Binds 127.0.0.1 (or ::1) on a free port and starts answering. False when it cannot.
    bool start(bool ipv6 = false);
    void stop();
    int port() const { return port_; }

    void set_reply(const std::string& reply);
    // Each answer made anew: the reply for the n-th answer sent (from 0).
    void set_reply_maker(std::function<std::string(int n)> maker);
    // Before each real answer, a forged one from another port of this machine.
    void forge_from_other_port(const std::string& reply);
    // How many times each request is answered (1 unless set; 0 is a silent server).
    void set_answers(int count) { answers_ = count; }
    // How many status requests came in.
    int requests() const { return requests_; }

private:
    void serve();
    int sock_ = -1;
    int forger_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requests_{0};
    std::atomic<int> answers_{1};
    std::mutex mutex_;
    std::string reply_;
    std::function<std::string(int)> maker_;
    int made_ = 0;
    std::string forged_;
    std::thread thread_;
};

} // namespace e2e
