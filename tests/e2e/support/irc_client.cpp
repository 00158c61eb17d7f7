#include "tests/e2e/support/irc_client.h"
#include "tests/e2e/support/net.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <sstream>

namespace e2e {

std::string prefix_nick(const std::string& line)
{
    if (line.empty() || line[0] != ':')
        return {};
    std::size_t end = line.find_first_of("! ", 1);
    return line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
}

std::string command_of(const std::string& line)
{
    std::istringstream in(line);
    std::string word;
    in >> word;
    if (!word.empty() && word[0] == ':')
        in >> word;
    return word;
}

IrcClient::~IrcClient()
{
    disconnect();
}

bool IrcClient::connect(int port, int timeout_ms)
{
    disconnect();
    sock_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (sock_ < 0)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    timeval tv{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    setsockopt(sock_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    if (::connect(sock_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        disconnect();
        return false;
    }
    return true;
}

void IrcClient::disconnect()
{
    if (sock_ >= 0)
        close(sock_);
    sock_ = -1;
    pending_.clear();
}

bool IrcClient::send_line(const std::string& line)
{
    if (sock_ < 0)
        return false;
    std::string wire = line + "\r\n";
    std::size_t off = 0;
    while (off < wire.size()) {
        ssize_t n = send(sock_, wire.data() + off, wire.size() - off, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        off += static_cast<std::size_t>(n);
    }
    return true;
}

bool IrcClient::read_some(int timeout_ms)
{
    if (sock_ < 0)
        return false;
    pollfd p{sock_, POLLIN, 0};
    int r = poll(&p, 1, timeout_ms);
    if (r < 0)
        return errno == EINTR;
    if (r == 0)
        return true;
    char buf[4096];
    ssize_t n = recv(sock_, buf, sizeof buf, 0);
    if (n <= 0) {
        disconnect();
        return false;
    }
    pending_.append(buf, static_cast<std::size_t>(n));
    for (std::size_t end; (end = pending_.find("\r\n")) != std::string::npos;) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 2);
        if (line.rfind("PING", 0) == 0)
            send_line("PONG" + line.substr(4));
        lines_.push_back(line);
    }
    return true;
}

bool IrcClient::watch(int port, const std::string& channel)
{
    return connect(port) && login("watcher", "zuzu") && join(channel);
}

std::optional<std::string> IrcClient::wait_for(const std::function<bool(const std::string&)>& pred, int timeout_ms,
                                   std::size_t from)
{
    return wait_for_line(lines_, pred, timeout_ms, from, [this](int ms) { return read_some(ms); });
}

std::optional<std::string> IrcClient::wait_for_text(const std::string& text, int timeout_ms, std::size_t from)
{
    return wait_for([&](const std::string& l) { return l.find(text) != std::string::npos; }, timeout_ms, from);
}

void IrcClient::pump(int ms)
{
    pump_lines(ms, [this](int wait) { return read_some(wait); });
}

bool IrcClient::login(const std::string& nick, const std::string& password, int timeout_ms)
{
    nick_ = nick;
    std::size_t from = lines_.size();
    if (!password.empty())
        send_line("PASS " + password);
    send_line("NICK " + nick);
    send_line("USER " + nick + " 0 * :Tidewatch test watcher");
    return wait_for([](const std::string& l) { return command_of(l) == "001"; }, timeout_ms, from).has_value();
}

bool IrcClient::join(const std::string& channel, int timeout_ms)
{
    std::size_t from = lines_.size();
    send_line("JOIN " + channel);
    return wait_for(
               [&](const std::string& l) { return command_of(l) == "JOIN" && prefix_nick(l) == nick_; },
               timeout_ms, from)
        .has_value();
}

std::vector<std::string> IrcClient::names(const std::string& channel, int timeout_ms)
{
    std::size_t from = lines_.size();
    send_line("NAMES " + channel);
    std::vector<std::string> nicks;
    if (!wait_for([](const std::string& l) { return command_of(l) == "366"; }, timeout_ms, from))
        return nicks;
    for (std::size_t i = from; i < lines_.size(); ++i) {
        const std::string& l = lines_[i];
        if (command_of(l) != "353")
            continue;
        std::size_t colon = l.find(" :");
        if (colon == std::string::npos)
            continue;
        std::istringstream in(l.substr(colon + 2));
        for (std::string n; in >> n;) {
            while (!n.empty() && std::string("~&@%+").find(n[0]) != std::string::npos)
                n.erase(0, 1);
            nicks.push_back(n);
        }
    }
    return nicks;
}

std::string IrcClient::transcript() const
{
    std::string t;
    for (const auto& l : lines_)
        t += l + "\n";
    return t;
}

} // namespace e2e
