// One IRC message taken apart without a relay: the words stay within their
// limits, and read back they never reach past the input.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "relay/irc/irc_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const IrcMessage m = parse_irc_message(line);
    if (m.count() > kIrcArgSlots)
        std::abort();
    std::size_t total = 0;
    for (int i = 0; i <= m.count(); ++i) {
        const std::string_view word = m.arg(i);
        if (word.size() > kIrcArgSize - 1)
            std::abort();
        total += word.size();
    }
    if (total > size)
        std::abort();
    return 0;
}
