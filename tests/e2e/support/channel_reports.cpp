#include "tests/e2e/support/channel_reports.h"

namespace e2e {

std::optional<std::string> ChannelReports::next(int timeout_ms)
{
    const std::string head = "PRIVMSG " + channel_ + " :";
    auto is_report = [&](const std::string& line) {
        return prefix_nick(line) == nick_ && command_of(line) == "PRIVMSG" && line.find(head) != std::string::npos;
    };
    auto line = watcher_.wait_for(is_report, timeout_ms, next_);
    if (!line)
        return std::nullopt;
    for (std::size_t i = next_; i < watcher_.lines().size(); ++i)
        if (watcher_.lines()[i] == *line) {
            next_ = i + 1;
            break;
        }
    std::string text = line->substr(line->find(head) + head.size());
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::vector<std::string> ChannelReports::until(const std::string& text, int timeout_ms)
{
    std::vector<std::string> got;
    while (auto r = next(timeout_ms)) {
        got.push_back(*r);
        if (r->find(text) != std::string::npos)
            break;
    }
    return got;
}

std::vector<std::string> ChannelReports::take(std::size_t count, int timeout_ms)
{
    std::vector<std::string> got;
    while (got.size() < count) {
        auto r = next(timeout_ms);
        if (!r)
            break;
        got.push_back(*r);
    }
    return got;
}

} // namespace e2e
