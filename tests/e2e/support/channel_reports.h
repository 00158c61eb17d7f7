// The relay's reports as a user in the channel receives them: the text of each
// PRIVMSG from the relay's nick to the channel, in order.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/support/irc_client.h"

namespace e2e {

class ChannelReports {
public:
    ChannelReports(IrcClient& watcher, std::string channel, std::string nick)
        : watcher_(watcher), channel_(std::move(channel)), nick_(std::move(nick))
    {
    }

    // The next report's text, trailing blanks dropped (the server removes them).
    std::optional<std::string> next(int timeout_ms);
    // Reports until one contains text (that one included), or until timeout_ms
    // passed without a report.
    std::vector<std::string> until(const std::string& text, int timeout_ms);
    // Up to count reports.
    std::vector<std::string> take(std::size_t count, int timeout_ms);

private:
    IrcClient& watcher_;
    std::string channel_;
    std::string nick_;
    std::size_t next_ = 0;
};

} // namespace e2e
