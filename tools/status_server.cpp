// tidewatch-gameserver: a stand-in for a game server's status port, for the demo.
// Listens on 127.0.0.1:PORT and answers every connectionless "getstatus" with a
// "statusResponse" whose body (server info line and player lines) is read from
// REPLYFILE at each request, so the file can change while it runs.
//
//   tidewatch-gameserver PORT REPLYFILE

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void on_signal(int)
{
    g_stop = 1;
}

std::string read_body(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PORT REPLYFILE\n", argv[0]);
        return 2;
    }
    // Without SA_RESTART, so that a signal ends the waiting receive.
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[1])));
    if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        std::perror("tidewatch-gameserver: bind");
        return 1;
    }

    const std::string request("\xff\xff\xff\xffgetstatus", 13);
    const std::string header("\xff\xff\xff\xffstatusResponse\n", 19);
    char buf[2048];
    while (!g_stop) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = recvfrom(s, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0)
            continue; // interrupted by a signal: the loop test decides
        if (std::string(buf, static_cast<std::size_t>(n)) != request)
            continue;
        const std::string reply = header + read_body(argv[2]);
        sendto(s, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
    }
    close(s);
    return 0;
}
