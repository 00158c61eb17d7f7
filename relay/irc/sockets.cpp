#include "relay/irc/sockets.h"

#include <string_view>

#include "relay/core/relay.h"

namespace {

// The port text as a number: leading digits only, anything else gives 0.
uint16_t port_number(const char* port_text)
{
    unsigned long v = 0;
    if (port_text)
        for (const char* p = port_text; *p >= '0' && *p <= '9'; ++p) {
            v = v * 10 + static_cast<unsigned long>(*p - '0');
            if (v > 65535)
                return 0;
        }
    return static_cast<uint16_t>(v);
}

// Shared steps of open_tcp and open_udp; slot is the field that receives the handle,
// address and port receive the peer's.
int open_socket(Relay& r, const char* host, const char* port_text, bool tcp, int& slot, uint32_t& address,
                uint16_t& port)
{
    address = resolve_address(r, host);
    port = port_number(port_text);
    if (address == 0) {
        console_printf(r, "Error: address %s unknown\n", host ? host : "");
        return -1;
    }
    slot = r.platform->sock_create(tcp);
    if (slot < 0) {
        console_printf(r, "Error: unable to create socket\n");
        return -1;
    }
    r.platform->sock_bind_any(slot);
    if (connect_with_timeout(r, slot, address, port, kConnectTimeoutMs) != 0) {
        close_socket(r, slot, 1);
        return -1;
    }
    trace(r, 11, tcp ? "TCPSOCKET [%d]\n" : "UDPSOCKET [%d]\n", slot);
    return slot;
}

} // namespace

uint32_t resolve_address(Relay& r, const char* host)
{
    if (!host)
        return 0;
    if (host[0] != 0 && !(host[0] >= '0' && host[0] <= '9'))
        return r.platform->resolve_name(host);

    // A dotted address: leading zeros of each component go, so that "010" is not
    // read as octal by the conversion.
    constexpr int kMaxDotted = 63;
    char copy[kMaxDotted + 1];
    int n = 0;
    for (const char* p = host; *p; ++p) {
        bool component_start = n == 0 || copy[n - 1] == '.';
        if (*p == '0' && component_start && p[1] >= '0' && p[1] <= '9')
            continue;
        if (n == kMaxDotted)
            return 0; // no dotted address is this long
        copy[n++] = *p;
    }
    copy[n] = 0;
    return r.platform->dotted_address(copy);
}

int open_tcp(Relay& r, const char* host, const char* port_text)
{
    uint32_t address = 0;
    uint16_t port = 0;
    return open_socket(r, host, port_text, true, r.irc.ircsocket, address, port);
}

int open_udp(Relay& r, const char* host, const char* port_text, UdpFor use)
{
    if (use == UdpFor::local) {
        uint32_t address = 0;
        uint16_t port = 0;
        return open_socket(r, host, port_text, false, r.irc.localsocket, address, port);
    }
    // The game server's address and port: only its answers are taken.
    return open_socket(r, host, port_text, false, r.irc.querysocket, r.irc.queryaddress, r.irc.queryport);
}

int connect_with_timeout(Relay& r, int socket, uint32_t address, uint16_t port, long long timeout_ms)
{
    Platform& p = *r.platform;
    p.sock_set_nonblocking(socket);
    int started = p.sock_connect(socket, address, port);
    if (started == 0)
        return 0;
    if (started < 0)
        return -1;
    if (p.sock_wait_writable(socket, timeout_ms) != 1)
        return -1;
    // Writable also means "the attempt has ended": a refused connection shows up
    // only as the socket's pending error.
    if (p.sock_pending_error(socket) != 0)
        return -1;
    return 0;
}

int close_socket(Relay& r, int socket, int hard)
{
    if (socket <= 0)
        return 0;
    return r.platform->sock_close(socket, hard != 0);
}
