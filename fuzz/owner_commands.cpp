// Owner commands: every input line a private message to the relay through the
// real session and dispatcher, first from a stranger, then from the owner.
#include "fuzz/fuzz_relay.h"
#include "relay/irc/session.h"

namespace {

void say(FuzzRelay& t, const std::string& text)
{
    Relay& r = t.r();
    if (!r.irc.ircconnected)
        return;
    t.fake.socket(r.irc.ircsocket)->inbox.push_back(":Boss!user@host PRIVMSG SOF2Tidewatch :" + text + "\r\n");
    read_buf(r);
    for (int i = 0; i < 100 && irc_lines_waiting(r); ++i)
        take_irc_lines(r);
}

void run(const std::vector<std::string>& lines, bool owner)
{
    FuzzRelay t;
    fuzz_guarded([&] {
        if (owner)
            say(t, "!pass s3cret");
        for (const std::string& line : lines)
            say(t, line);
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::vector<std::string> lines = fuzz_lines(data, size);
    run(lines, false);
    run(lines, true);
    return 0;
}
