#include "tests/e2e/support/net.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace e2e {

namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    return a;
}

bool accepts(int port)
{
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    sockaddr_in a = loopback(port);
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    return ok;
}

template <class Pred>
bool poll_until(Pred pred, int timeout_ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (pred())
            return true;
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace

int free_port()
{
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return -1;
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    int port = -1;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(s);
    return port;
}

bool wait_for_listener(int port, int timeout_ms)
{
    return poll_until([port] { return accepts(port); }, timeout_ms);
}

bool wait_for_no_listener(int port, int timeout_ms)
{
    return poll_until([port] { return !accepts(port); }, timeout_ms);
}

namespace {

using Clock = std::chrono::steady_clock;

int ms_until(Clock::time_point until)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

std::optional<std::string> wait_for_line(const std::vector<std::string>& lines,
                                         const std::function<bool(const std::string&)>& pred, int timeout_ms,
                                         std::size_t from, const std::function<bool(int)>& read_some)
{
    auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
    std::size_t next = from;
    for (;;) {
        for (; next < lines.size(); ++next)
            if (pred(lines[next]))
                return lines[next];
        int left = ms_until(until);
        if (left == 0 || !read_some(left > 200 ? 200 : left))
            break;
    }
    for (; next < lines.size(); ++next)
        if (pred(lines[next]))
            return lines[next];
    return std::nullopt;
}

void pump_lines(int ms, const std::function<bool(int)>& read_some)
{
    auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (ms_until(until) > 0 && read_some(ms_until(until) > 200 ? 200 : ms_until(until))) {
    }
}

} // namespace e2e
