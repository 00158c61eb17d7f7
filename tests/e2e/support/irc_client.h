// A plain IRC client for end-to-end tests: it logs in, joins a channel and records
// every line it receives, answering the server's PINGs while it waits. Everything
// happens inside its calls (no thread); every wait has a time limit.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

class IrcClient {
public:
    IrcClient() = default;
    ~IrcClient();
    IrcClient(const IrcClient&) = delete;
    IrcClient& operator=(const IrcClient&) = delete;

    bool connect(int port, int timeout_ms = 5000);
    void disconnect();
    bool connected() const { return sock_ >= 0; }

    // Sends one line; CR LF is added.
    bool send_line(const std::string& line);
    // PASS, NICK and USER, then waits for the welcome (001).
    bool login(const std::string& nick, const std::string& password, int timeout_ms = 10000);
    // JOIN, then waits for the server to confirm this client's join.
    bool join(const std::string& channel, int timeout_ms = 10000);
    // Connects to a test server on port, logs in as "watcher" with the test
    // servers' password and joins channel: what every channel watcher does first.
    bool watch(int port, const std::string& channel);
    // The nicks in a channel (NAMES), without their status prefixes.
    std::vector<std::string> names(const std::string& channel, int timeout_ms = 10000);

    // The first received line, at index from or later, that pred accepts; reads
    // more for at most timeout_ms. Also used with lines already received.
    std::optional<std::string> wait_for(const std::function<bool(const std::string&)>& pred, int timeout_ms,
                                        std::size_t from = 0);
    // The first line containing text.
    std::optional<std::string> wait_for_text(const std::string& text, int timeout_ms, std::size_t from = 0);
    // Reads (and answers PINGs) for ms milliseconds.
    void pump(int ms);

    // Every line received, without CR LF, in order.
    const std::vector<std::string>& lines() const { return lines_; }
    // The lines as one text, for failure messages.
    std::string transcript() const;
    const std::string& nick() const { return nick_; }

private:
    // Reads what is there within timeout_ms; false once the connection is gone.
    bool read_some(int timeout_ms);
    int sock_ = -1;
    std::string nick_;
    std::string pending_;
    std::vector<std::string> lines_;
};

// The nick of a line's prefix (":nick!user@host ..."), "" when it has none.
std::string prefix_nick(const std::string& line);
// The command word of a line (after the prefix), e.g. "PRIVMSG", "JOIN", "001".
std::string command_of(const std::string& line);

} // namespace e2e
