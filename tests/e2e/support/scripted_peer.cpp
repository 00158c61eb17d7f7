#include "tests/e2e/support/scripted_peer.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace e2e {

bool ScriptedPeer::start(Script script)
{
    script_ = std::move(script);
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener_, 4) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return false;
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { serve(); });
    return true;
}

void ScriptedPeer::stop()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        close(listener_);
    listener_ = -1;
}

void ScriptedPeer::serve()
{
    int conn = -1;
    std::string pending;
    char buf[4096];
    int dripped = 0;
    auto next_drip = std::chrono::steady_clock::now();
    while (!stopping_) {
        if (conn >= 0 && drip_ && std::chrono::steady_clock::now() >= next_drip) {
            std::string line = drip_(dripped++) + "\r\n";
            send(conn, line.data(), line.size(), MSG_NOSIGNAL);
            next_drip += std::chrono::milliseconds(drip_interval_ms_);
        }
        pollfd p{conn >= 0 ? conn : listener_, POLLIN, 0};
        if (poll(&p, 1, drip_ ? 10 : 50) <= 0)
            continue;
        if (conn < 0) {
            conn = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            next_drip = std::chrono::steady_clock::now() + std::chrono::milliseconds(drip_interval_ms_);
            continue;
        }
        ssize_t n = recv(conn, buf, sizeof buf, 0);
        if (n <= 0) {
            close(conn); // the client went: wait for it to come back
            conn = -1;
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.append(buf, static_cast<std::size_t>(n));
        }
        pending.append(buf, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
            std::string answer = script_(pending.substr(0, end));
            pending.erase(0, end + 2);
            if (!answer.empty())
                send(conn, answer.data(), answer.size(), MSG_NOSIGNAL);
        }
    }
    if (conn >= 0)
        close(conn);
}

std::string ScriptedPeer::received()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

std::vector<std::string> ScriptedPeer::lines()
{
    std::string all = received();
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2)
        out.push_back(all.substr(start, end - start));
    return out;
}

bool ScriptedPeer::wait_for_line(const std::string& text, int timeout_ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        for (const std::string& l : lines())
            if (l.rfind(text, 0) == 0)
                return true;
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace e2e
