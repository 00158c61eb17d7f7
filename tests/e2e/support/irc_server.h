// A real IRC server (ngircd) for end-to-end tests: its own configuration in a
// scratch directory, listening on 127.0.0.1 on a free port, stopped with the test.
#pragma once

#include <string>

#include "tests/e2e/support/process.h"
#include "tests/e2e/support/temp_dir.h"

namespace e2e {

struct IrcServerOptions {
    std::string password = "zuzu";  // server password every client must give (PASS)
    int ping_timeout = 120;         // seconds of silence before the server PINGs
    int pong_timeout = 20;          // seconds a PINGed client has to answer
    int max_nick_length = 30;
    // Also TLS on a port of its own, with a self-signed certificate for
    // "localhost" and 127.0.0.1 made for the test.
    bool tls = false;
    // Also listening on ::1.
    bool ipv6 = false;
};

class IrcServer {
public:
    // Path of the ngircd program (the build passes it in; "" when not found).
    static std::string program();

    IrcServer(const TempDir& dir, IrcServerOptions options = {});
    ~IrcServer();
    IrcServer(const IrcServer&) = delete;
    IrcServer& operator=(const IrcServer&) = delete;

    // Starts the server (again, on the same port) and waits until it accepts
    // connections. False when it did not come up within the time.
    bool start(int timeout_ms = 10000);
    // Stops it and waits until the port is free.
    void stop();
    // Kills it (SIGKILL: its clients see their connections drop without a word)
    // and waits until the port is free.
    void kill();
    bool running() { return process_.running(); }

    int port() const { return port_; }
    // The TLS port and the SHA-256 fingerprint of its certificate, as openssl
    // prints it (colon-separated hex); 0 and "" without TLS.
    int tls_port() const { return tls_port_; }
    const std::string& fingerprint() const { return fingerprint_; }
    const std::string& name() const { return name_; }
    // What the server printed (its log), for failure messages.
    std::string log() const;

private:
    const TempDir& dir_;
    IrcServerOptions options_;
    int port_;
    int tls_port_ = 0;
    std::string fingerprint_;
    std::string name_ = "irc.tidewatch.test";
    std::string config_;
    Process process_;
};

} // namespace e2e
