// Owner commands: every input line (the first kMaxLines of them) a private
// message to the relay through the real session and dispatcher, first from a
// stranger, then (after the right !pass on the same relay) from the owner. A few
// lines reach every command and the sequences between them; more only repeat the
// long replies (!help, !settings) and slow the search down.
#include "fuzz/fuzz_relay.h"
#include "relay/irc/session.h"

namespace {

constexpr std::size_t kMaxLines = 8;

void say(FuzzRelay& t, const std::string& text, const char* from = ":Boss!user@host")
{
    Relay& r = t.r();
    if (!r.irc.ircconnected)
        return;
    t.fake.socket(r.irc.ircsocket)->inbox.push_back(std::string(from) + " PRIVMSG SOF2Tidewatch :" + text + "\r\n");
    read_buf(r);
    for (int i = 0; i < 100 && irc_lines_waiting(r); ++i)
        take_irc_lines(r);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::vector<std::string> lines = fuzz_lines(data, size);
    if (lines.size() > kMaxLines)
        lines.resize(kMaxLines);
    FuzzRelay t;
    fuzz_guarded([&] {
        // The stranger writes from elsewhere, so his wrong passwords hold back
        // nobody but himself.
        for (const std::string& line : lines)
            say(t, line, ":Guest!other@elsewhere");
        say(t, "!pass s3cret");
        for (const std::string& line : lines)
            say(t, line);
    });
    return 0;
}
