// Server input through the real path: read from the socket in two chunks (so lines
// also arrive cut in two), split into messages and handled, with the session's
// upkeep after it.
#include "fuzz/fuzz_relay.h"
#include "relay/irc/session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzRelay t;
    Relay& r = t.r();
    std::string_view bytes = fuzz_text(data, size);
    FakeSocket& server = *t.fake.socket(t.sock);
    if (!bytes.empty())
        server.inbox.emplace_back(bytes.substr(0, bytes.size() / 2));
    if (bytes.size() > 1)
        server.inbox.emplace_back(bytes.substr(bytes.size() / 2));
    fuzz_guarded([&] {
        for (int pass = 0; pass < 1000 && r.irc.ircconnected; ++pass) {
            int got = read_buf(r);
            take_irc_lines(r);
            if (got <= 0 && !irc_lines_waiting(r))
                break;
        }
        irc_upkeep(r);
    });
    return 0;
}
