#include "relay/irc/irc_message.h"

IrcMessage parse_irc_message(std::string_view line)
{
    IrcMessage m;
    auto store = [&](std::string_view word) {
        if (m.count() >= kIrcArgSlots)
            return;
        m.words.emplace_back(word.substr(0, kIrcArgSize - 1)); // an over-long word is cut
    };
    // The line ends at a zero byte, as a C string would.
    line = line.substr(0, line.find('\0'));
    std::size_t p = 0;
    while (p < line.size()) {
        const std::size_t before = p;
        while (p < line.size() && line[p] == ' ')
            ++p;
        if (p == line.size())
            break;
        if (line[p] == ':' && p != before) {
            // Trailing part: cut only at " :" from here on.
            ++p;
            for (;;) {
                const std::size_t mark = line.find(" :", p);
                if (mark == std::string_view::npos) {
                    if (p < line.size())
                        store(line.substr(p));
                    return m;
                }
                store(line.substr(p, mark - p));
                p = mark + 2;
            }
        }
        const std::size_t word = p;
        while (p < line.size() && line[p] != ' ')
            ++p;
        store(line.substr(word, p - word));
    }
    return m;
}
