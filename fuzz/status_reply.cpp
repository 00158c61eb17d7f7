// A game server's status reply: the pure line walk and field parsers, then the
// whole reply into the relay's state and the channel's player list. The first
// byte says whether the reply filled the buffer (its last line then cut).
#include <cstring>

#include "fuzz/fuzz_relay.h"
#include "relay/query/reply.h"
#include "relay/query/status.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool cut = data[0] & 1;
    std::string_view bytes = fuzz_text(data + 1, size - 1);

    ReplyWalk walk = walk_status_reply(bytes, cut);
    for (const ReplyLine& line : walk.lines) {
        if (line.kind == ReplyLineKind::player)
            parse_player_line(line.text);
        if (line.kind == ReplyLineKind::info) {
            InfoPairs pairs = info_pairs(line.text);
            std::string_view key, value;
            while (next_info_pair(pairs, key, value)) {
            }
        }
    }

    FuzzRelay t;
    Relay& r = t.r();
    r.settings.showconnectinfo = 512;
    QueryState& q = r.query;
    std::size_t n = std::min<std::size_t>(bytes.size(), kReplyBufSize - 1);
    std::memcpy(q.replybuf, bytes.data(), n);
    q.replybuf[n] = 0;
    q.replyfill = static_cast<int>(n);
    q.replycut = cut;
    fuzz_guarded([&] { parse_status_reply(r); });
    return 0;
}
