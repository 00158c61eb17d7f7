// A scripted IRC server for fault scenarios a real server will not produce: one
// loopback listener that takes the relay's connections one at a time, records
// every line the relay sends (over all its connections), and sends whatever bytes
// a test gives it, over-long, binary or unterminated; it can close or reset the
// connection, also in the middle of a line. No thread: everything happens inside
// its calls, and every wait has a time limit.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

class IrcPeer {
public:
    IrcPeer() = default;
    ~IrcPeer();
    IrcPeer(const IrcPeer&) = delete;
    IrcPeer& operator=(const IrcPeer&) = delete;

    // Listens on 127.0.0.1 (a free port, or the given one again).
    bool listen(int port = 0);
    // Stops listening: new connections are refused.
    void stop_listening();
    int port() const { return port_; }

    // Waits for the relay's next connection; the previous one is dropped.
    bool accept(int timeout_ms);
    // Accepts, then plays the server's part of a login: waits for the relay's USER
    // (answered with the welcome 001) and its JOIN (echoed, so the relay knows it
    // joined).
    bool accept_login(const std::string& nick, int timeout_ms);
    bool connected() const { return conn_ >= 0; }
    // Every connection accepted so far.
    int connections() const { return connections_; }

    // Sends bytes as they are (no line end added). False once the relay is gone.
    bool send_raw(const std::string& bytes);
    // Ends the connection: a plain close, or a reset (RST) when hard.
    void close_connection(bool hard);

    // The first line from the relay at index from or later that pred accepts,
    // reading for at most timeout_ms. Lines end at LF; a CR before it is dropped.
    std::optional<std::string> wait_for(const std::function<bool(const std::string&)>& pred, int timeout_ms,
                                        std::size_t from = 0);
    std::optional<std::string> wait_for_text(const std::string& text, int timeout_ms, std::size_t from = 0);
    // Reads for ms milliseconds.
    void pump(int ms);
    // True when the relay closed its end.
    bool peer_closed() const { return closed_by_relay_; }

    const std::vector<std::string>& lines() const { return lines_; }
    std::string transcript() const;

private:
    bool read_some(int timeout_ms);
    int listener_ = -1;
    int conn_ = -1;
    int port_ = 0;
    int connections_ = 0;
    bool closed_by_relay_ = false;
    std::string pending_;
    std::vector<std::string> lines_;
};

} // namespace e2e
