#include "tests/e2e/support/irc_peer.h"
#include "tests/e2e/support/net.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "tests/e2e/support/irc_client.h"

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

int ms_left(Clock::time_point until)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

IrcPeer::~IrcPeer()
{
    close_connection(false);
    stop_listening();
}

bool IrcPeer::listen(int port)
{
    stop_listening();
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0)
        return false;
    int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t len = sizeof a;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener_, 4) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        stop_listening();
        return false;
    }
    port_ = ntohs(a.sin_port);
    return true;
}

void IrcPeer::stop_listening()
{
    if (listener_ >= 0)
        close(listener_);
    listener_ = -1;
}

bool IrcPeer::accept(int timeout_ms)
{
    close_connection(false);
    if (listener_ < 0)
        return false;
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0)
        return false;
    conn_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (conn_ < 0)
        return false;
    ++connections_;
    closed_by_relay_ = false;
    return true;
}

bool IrcPeer::accept_login(const std::string& nick, int timeout_ms)
{
    auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
    if (!accept(timeout_ms))
        return false;
    std::size_t from = lines_.size();
    if (!wait_for([](const std::string& l) { return command_of(l) == "USER"; }, ms_left(until), from))
        return false;
    send_raw(":irc.peer.test 001 " + nick + " :Welcome\r\n");
    auto join = wait_for([](const std::string& l) { return command_of(l) == "JOIN"; }, ms_left(until), from);
    if (!join)
        return false;
    std::string channel = join->substr(5);
    channel = channel.substr(0, channel.find(' '));
    return send_raw(":" + nick + "!Ferrobot@127.0.0.1 JOIN :" + channel + "\r\n");
}

bool IrcPeer::send_raw(const std::string& bytes)
{
    std::size_t off = 0;
    while (conn_ >= 0 && off < bytes.size()) {
        ssize_t n = send(conn_, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            read_some(10); // the relay may be waiting for us to read
            continue;
        }
        if (n <= 0)
            return false;
        off += static_cast<std::size_t>(n);
    }
    return conn_ >= 0;
}

void IrcPeer::close_connection(bool hard)
{
    if (conn_ < 0)
        return;
    if (hard) {
        linger l{1, 0};
        setsockopt(conn_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    close(conn_);
    conn_ = -1;
    pending_.clear();
}

bool IrcPeer::read_some(int timeout_ms)
{
    if (conn_ < 0)
        return false;
    pollfd p{conn_, POLLIN, 0};
    int r = poll(&p, 1, timeout_ms);
    if (r < 0)
        return errno == EINTR;
    if (r == 0)
        return true;
    char buf[4096];
    ssize_t n = recv(conn_, buf, sizeof buf, 0);
    if (n <= 0) {
        closed_by_relay_ = true;
        close_connection(false);
        return false;
    }
    pending_.append(buf, static_cast<std::size_t>(n));
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines_.push_back(line);
    }
    return true;
}

std::optional<std::string> IrcPeer::wait_for(const std::function<bool(const std::string&)>& pred, int timeout_ms,
                                   std::size_t from)
{
    return wait_for_line(lines_, pred, timeout_ms, from, [this](int ms) { return read_some(ms); });
}

std::optional<std::string> IrcPeer::wait_for_text(const std::string& text, int timeout_ms, std::size_t from)
{
    return wait_for([&](const std::string& l) { return l.find(text) != std::string::npos; }, timeout_ms, from);
}

void IrcPeer::pump(int ms)
{
    pump_lines(ms, [this](int wait) { return read_some(wait); });
}

std::string IrcPeer::transcript() const
{
    std::string t;
    for (const auto& l : lines_)
        t += l + "\n";
    return t;
}

} // namespace e2e
