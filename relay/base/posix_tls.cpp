#include "relay/base/posix_tls.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <poll.h>

struct PosixTls::Session {
    gnutls_session_t session = nullptr;
    gnutls_certificate_credentials_t credentials = nullptr;
    ~Session()
    {
        if (session)
            gnutls_deinit(session);
        if (credentials)
            gnutls_certificate_free_credentials(credentials);
    }
};

namespace {

long long monotonic_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Lower-case hex digits of a fingerprint text; blanks and colons dropped.
std::string hex_digits(const char* text)
{
    std::string out;
    for (const char* p = text; *p; ++p)
        if (*p != ':' && *p != ' ')
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    return out;
}

bool is_ip_literal(const char* host)
{
    unsigned char buf[16];
    return inet_pton(AF_INET, host, buf) == 1 || inet_pton(AF_INET6, host, buf) == 1;
}

// The SHA-256 fingerprint of the server's own certificate, in lower-case hex.
std::string peer_fingerprint(gnutls_session_t session)
{
    unsigned int count = 0;
    const gnutls_datum_t* certs = gnutls_certificate_get_peers(session, &count);
    if (!certs || count == 0)
        return {};
    unsigned char digest[32];
    size_t size = sizeof digest;
    if (gnutls_fingerprint(GNUTLS_DIG_SHA256, &certs[0], digest, &size) != GNUTLS_E_SUCCESS)
        return {};
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}

int errno_for(ssize_t rc)
{
    switch (rc) {
    case GNUTLS_E_AGAIN: return EAGAIN;
    case GNUTLS_E_INTERRUPTED: return EINTR;
    default: return ECONNRESET;
    }
}

// Renegotiation requests and warning alerts one read passes over.
constexpr int kNoticesPerRead = 16;

} // namespace

PosixTls::PosixTls() = default;

PosixTls::~PosixTls() = default;

int PosixTls::start(int fd, const char* host, const char* fingerprint, long long timeout_ms, std::string& why)
{
    end(fd);
    auto s = std::make_unique<Session>();
    const bool pinned = fingerprint && *fingerprint;
    const std::string wanted = pinned ? hex_digits(fingerprint) : std::string();
    if (gnutls_certificate_allocate_credentials(&s->credentials) != GNUTLS_E_SUCCESS ||
        gnutls_init(&s->session, GNUTLS_CLIENT | GNUTLS_NONBLOCK) != GNUTLS_E_SUCCESS) {
        why = "cannot set up a TLS session";
        return -1;
    }
    if (!pinned && gnutls_certificate_set_x509_system_trust(s->credentials) <= 0) {
        why = "no trusted certificates found on this system";
        return -1;
    }
    gnutls_credentials_set(s->session, GNUTLS_CRD_CERTIFICATE, s->credentials);
    gnutls_set_default_priority(s->session);
    if (host && *host && !is_ip_literal(host))
        gnutls_server_name_set(s->session, GNUTLS_NAME_DNS, host, std::strlen(host));
    // Without a pinned fingerprint the chain and the host name are checked during
    // the handshake, which then fails on a bad certificate.
    if (!pinned)
        gnutls_session_set_verify_cert(s->session, host, 0);
    gnutls_transport_set_int(s->session, fd);
    gnutls_handshake_set_timeout(s->session, 0);

    const long long deadline = monotonic_ms() + timeout_ms;
    int rc;
    while ((rc = gnutls_handshake(s->session)) < 0) {
        if (gnutls_error_is_fatal(rc)) {
            if (rc == GNUTLS_E_CERTIFICATE_VERIFICATION_ERROR) {
                gnutls_datum_t text{};
                unsigned status = gnutls_session_get_verify_cert_status(s->session);
                if (gnutls_certificate_verification_status_print(status, GNUTLS_CRT_X509, &text, 0) == 0) {
                    why = reinterpret_cast<const char*>(text.data);
                    gnutls_free(text.data);
                    while (!why.empty() && why.back() == ' ')
                        why.pop_back();
                } else {
                    why = "certificate not trusted";
                }
            } else {
                why = gnutls_strerror(rc);
            }
            return -1;
        }
        long long left = deadline - monotonic_ms();
        if (left <= 0) {
            why = "handshake timed out";
            return -1;
        }
        pollfd p{fd, static_cast<short>(gnutls_record_get_direction(s->session) ? POLLOUT : POLLIN), 0};
        if (poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) {
            why = std::strerror(errno);
            return -1;
        }
    }
    if (pinned) {
        std::string got = peer_fingerprint(s->session);
        if (got.empty() || got != wanted) {
            why = "certificate fingerprint " + (got.empty() ? std::string("unknown") : got) +
                  " is not the one configured";
            return -1;
        }
    }
    sessions_[fd] = std::move(s);
    return 0;
}

long PosixTls::send(int fd, const char* data, std::size_t len, int& err)
{
    auto it = sessions_.find(fd);
    if (it == sessions_.end()) {
        err = ENOTCONN;
        return -1;
    }
    ssize_t n;
    do {
        n = gnutls_record_send(it->second->session, data, len);
    } while (n == GNUTLS_E_INTERRUPTED);
    if (n < 0) {
        err = errno_for(n);
        return -1;
    }
    return static_cast<long>(n);
}

long PosixTls::recv(int fd, char* buf, std::size_t len, int& err)
{
    auto it = sessions_.find(fd);
    if (it == sessions_.end()) {
        err = ENOTCONN;
        return -1;
    }
    gnutls_session_t session = it->second->session;
    std::size_t got = 0;
    int notices = 0;
    while (got < len) {
        ssize_t n = gnutls_record_recv(session, buf + got, len - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        // A server's request to renegotiate (TLS 1.2) is let pass, as a client
        // may: GnuTLS gives up a renegotiation when the server's data arrives
        // before its answer, and a second handshake then breaks the connection.
        // A warning alert changes nothing either. Both are read past, a few at
        // a time. (GnuTLS takes a TLS 1.3 key update inside the read.)
        if (n == GNUTLS_E_INTERRUPTED ||
            ((n == GNUTLS_E_REHANDSHAKE || n == GNUTLS_E_WARNING_ALERT_RECEIVED) && ++notices <= kNoticesPerRead))
            continue;
        if (got > 0)
            break; // the end or an error shows on the next call
        if (n == 0)
            return 0;
        // Other results that leave the session usable: nothing to read yet.
        err = gnutls_error_is_fatal(static_cast<int>(n)) ? ECONNRESET : EAGAIN;
        return -1;
    }
    return static_cast<long>(got);
}

bool PosixTls::pending(int fd) const
{
    auto it = sessions_.find(fd);
    return it != sessions_.end() && gnutls_record_check_pending(it->second->session) > 0;
}

void PosixTls::end(int fd)
{
    auto it = sessions_.find(fd);
    if (it == sessions_.end())
        return;
    gnutls_bye(it->second->session, GNUTLS_SHUT_WR); // non-blocking: best effort
    sessions_.erase(it);
}
