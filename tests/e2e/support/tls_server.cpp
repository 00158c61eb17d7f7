#include "tests/e2e/support/tls_server.h"

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/e2e/support/certificate.h"
#include "tests/e2e/support/net.h"

namespace e2e {

int occurrences(const std::string& text, const std::string& part)
{
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

bool TlsServer::start(const std::string& protocol, int timeout_ms)
{
    stop();
    const Certificate made = make_certificate(dir_);
    fingerprint_ = made.fingerprint;
    if (fingerprint_.empty())
        return false;
    // A socket pair rather than a pipe: writing to a server that has gone
    // fails instead of raising SIGPIPE.
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    port_ = free_port();
    // stdbuf: s_server's notes (such as the result of a command) reach the file
    // line by line, not at its end. One client, then it ends.
    const bool started = process_.start({"/usr/bin/stdbuf", "-oL", "/usr/bin/openssl", "s_server", protocol,
                                         "-accept", "127.0.0.1:" + std::to_string(port_), "-cert", made.cert, "-key",
                                         made.key, "-naccept", "1"},
                                        dir_.path(), dir_.file("s_server.out"), pair[0]);
    close(pair[0]);
    input_ = pair[1];
    // Probing the port would use up its one client: it says when it listens.
    return started && wait_for("ACCEPT\n", timeout_ms);
}

void TlsServer::stop()
{
    process_.stop();
    if (input_ >= 0)
        close(input_);
    input_ = -1;
}

bool TlsServer::type(const std::string& text)
{
    return input_ >= 0 && send(input_, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

bool TlsServer::command(char letter, int command_count, int timeout_ms)
{
    return type(std::string(1, letter) + "\n") && wait_for("SSL_do_handshake -> 1\n", timeout_ms, command_count);
}

std::string TlsServer::output() const
{
    return read_text(dir_.file("s_server.out"));
}

bool TlsServer::wait_for(const std::string& text, int timeout_ms, int count) const
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (occurrences(output(), text) < count) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

} // namespace e2e
