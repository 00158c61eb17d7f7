#include "tests/e2e/support/game_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace e2e {

namespace {

const std::string kRequest("\xff\xff\xff\xffgetstatus", 13);

int loopback_socket(bool ipv6)
{
    int s = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return -1;
    sockaddr_storage ss{};
    socklen_t len = sizeof(sockaddr_in);
    if (ipv6) {
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&ss);
        a6->sin6_family = AF_INET6;
        a6->sin6_addr = in6addr_loopback;
        len = sizeof *a6;
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&ss);
        a->sin_family = AF_INET;
        a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    if (bind(s, reinterpret_cast<sockaddr*>(&ss), len) != 0) {
        close(s);
        return -1;
    }
    return s;
}

} // namespace

std::string status_reply(const std::string& info, const std::string& players)
{
    return std::string("\xff\xff\xff\xffstatusResponse\n", 19) + info + "\n" + players;
}

bool GameServer::start(bool ipv6)
{
    sock_ = loopback_socket(ipv6);
    forger_ = loopback_socket(ipv6);
    if (sock_ < 0 || forger_ < 0)
        return false;
    sockaddr_storage a{};
    socklen_t len = sizeof a;
    if (getsockname(sock_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return false;
    port_ = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&a)->sin6_port : reinterpret_cast<sockaddr_in*>(&a)->sin_port);
    thread_ = std::thread([this] { serve(); });
    return true;
}

void GameServer::stop()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    if (sock_ >= 0)
        close(sock_);
    if (forger_ >= 0)
        close(forger_);
    sock_ = forger_ = -1;
}

void GameServer::set_reply(const std::string& reply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    reply_ = reply;
}

void GameServer::forge_from_other_port(const std::string& reply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    forged_ = reply;
}

void GameServer::set_reply_maker(std::function<std::string(int n)> maker)
{
    std::lock_guard<std::mutex> lock(mutex_);
    maker_ = std::move(maker);
}

void GameServer::serve()
{
    char buf[2048];
    while (!stopping_) {
        pollfd p{sock_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        sockaddr_storage from{};
        socklen_t len = sizeof from;
        ssize_t n = recvfrom(sock_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n != static_cast<ssize_t>(kRequest.size()) || std::string(buf, static_cast<std::size_t>(n)) != kRequest)
            continue;
        ++requests_;
        std::string reply, forged;
        std::function<std::string(int)> maker;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            reply = reply_;
            forged = forged_;
            maker = maker_;
        }
        if (!forged.empty())
            sendto(forger_, forged.data(), forged.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
        for (int i = 0; i < answers_; ++i) {
            if (maker)
                reply = maker(made_++);
            if (!reply.empty())
                sendto(sock_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
        }
    }
}

} // namespace e2e
