// A real TLS server for end-to-end tests: openssl s_server on 127.0.0.1 (a free
// port) with a fresh self-signed certificate, for one client. The test plays the
// server's side through it: what the test types goes to the client, what the
// client sends shows in the output, and the one-letter commands of s_server
// (such as k and K for a TLS 1.3 key update, r and R for a TLS 1.2
// renegotiation) act on the session. Stopped with the test.
#pragma once

#include <string>

#include "tests/e2e/support/process.h"
#include "tests/e2e/support/temp_dir.h"

namespace e2e {

class TlsServer {
public:
    explicit TlsServer(const TempDir& dir) : dir_(dir) {}
    ~TlsServer() { stop(); }
    TlsServer(const TlsServer&) = delete;
    TlsServer& operator=(const TlsServer&) = delete;

    // Starts it with the protocol option (such as "-tls1_3") and waits until it
    // listens. False when it did not come up within the time.
    bool start(const std::string& protocol, int timeout_ms = 20000);
    void stop();

    int port() const { return port_; }
    // SHA-256 fingerprint of its certificate, colon-separated hex.
    const std::string& fingerprint() const { return fingerprint_; }

    // Hands text to the server in one piece, as if typed. s_server takes a piece
    // that starts with one of its command letters (k, K, r, R, but also P, Q, q,
    // S, ...) as the command, so lines for the client should start with ':'.
    bool type(const std::string& text);
    // A command letter; waits up to timeout_ms until s_server has carried it out
    // (the command_count-th time it reports so).
    bool command(char letter, int command_count, int timeout_ms);

    // Everything the server printed: its notes and the bytes the client sent.
    std::string output() const;
    // Waits up to timeout_ms until text occurs count times in the output.
    bool wait_for(const std::string& text, int timeout_ms, int count = 1) const;

private:
    const TempDir& dir_;
    int port_ = 0;
    std::string fingerprint_;
    int input_ = -1; // the writing end of the server's standard input
    Process process_;
};

// How often part occurs in text.
int occurrences(const std::string& text, const std::string& part);

} // namespace e2e
