// TLS on the real platform's TCP sockets (GnuTLS): one session per socket that
// asked for it; PosixPlatform routes the socket's sends and receives through it.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>

class PosixTls {
public:
    PosixTls();
    ~PosixTls();
    PosixTls(const PosixTls&) = delete;
    PosixTls& operator=(const PosixTls&) = delete;

    // Handshake and certificate check on the connected non-blocking socket fd
    // (see Platform::tls_start). 0 or -1 with the reason in why.
    int start(int fd, const char* host, const char* fingerprint, long long timeout_ms, std::string& why);
    bool active(int fd) const { return sessions_.count(fd) != 0; }
    // Like send and recv: the count, or -1 with an errno value in err (EAGAIN
    // when the socket would block). recv takes every record already there, so
    // no decrypted data waits unseen while the socket reads as idle.
    long send(int fd, const char* data, std::size_t len, int& err);
    long recv(int fd, char* buf, std::size_t len, int& err);
    // Decrypted bytes are waiting in the session.
    bool pending(int fd) const;
    // Ends the session (a close notification when it goes out at once).
    void end(int fd);

private:
    struct Session;
    std::map<int, std::unique_ptr<Session>> sessions_;
};
