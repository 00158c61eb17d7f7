#include "relay/irc/sockets.h"

#include <string>
#include <string_view>
#include <vector>

#include "relay/relay.h"

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

// The addresses to try for host: a dotted IPv4 address as it stands (its
// leading zeros dropped), or every address of a name or an IPv6 literal (which
// may be written in brackets).
std::vector<NetAddress> candidates(Relay& r, const char* host)
{
    std::string h = host ? host : "";
    const bool dotted = h.find(':') == std::string::npos && (h.empty() || (h[0] >= '0' && h[0] <= '9'));
    if (dotted) {
        NetAddress a;
        a.v4 = resolve_address(r, host);
        if (a.v4 == 0)
            return {};
        return {a};
    }
    if (h.size() > 2 && h.front() == '[' && h.back() == ']')
        h = h.substr(1, h.size() - 2);
    return r.platform->resolve_all(h.c_str());
}

// TLS on the new IRC connection when asked for. False (reported) when the
// handshake or the certificate check failed.
bool start_tls(Relay& r, int socket, const char* host)
{
    const BotSettings& s = r.settings;
    std::string name = host ? host : "";
    if (name.size() > 2 && name.front() == '[' && name.back() == ']')
        name = name.substr(1, name.size() - 2);
    std::string why;
    if (r.platform->tls_start(socket, name.c_str(), cstr(s.tlsfingerprint), kConnectTimeoutMs, why) == 0) {
        trace(r, 11, "TLS with %s established\r\n", name.c_str());
        return true;
    }
    console_printf(r, "TLS with %s failed: %s\n", name.c_str(), why.c_str());
    trace(r, 11, "TLS with %s failed: %s\r\n", name.c_str(), why.c_str());
    return false;
}

// Shared steps of open_tcp and open_udp; slot is the field that receives the handle,
// address and port receive the peer's. Each address of the host is tried in turn.
int open_socket(Relay& r, const char* host, const char* port_text, bool tcp, int& slot, NetAddress& address,
                uint16_t& port)
{
    std::vector<NetAddress> addresses = candidates(r, host);
    port = port_number(port_text);
    if (addresses.empty()) {
        console_printf(r, "Error: address %s unknown\n", host ? host : "");
        return -1;
    }
    for (const NetAddress& a : addresses) {
        slot = r.platform->sock_create_for(a, tcp);
        if (slot < 0) {
            console_printf(r, "Error: unable to create socket\n");
            continue;
        }
        r.platform->sock_bind_any(slot);
        if (connect_with_timeout(r, slot, a, port, kConnectTimeoutMs) != 0 ||
            (tcp && r.settings.tls && !start_tls(r, slot, host))) {
            close_socket(r, slot, 1);
            continue;
        }
        address = a;
        trace(r, 11, tcp ? "TCPSOCKET [%d]\n" : "UDPSOCKET [%d]\n", slot);
        return slot;
    }
    return -1;
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
    NetAddress address;
    uint16_t port = 0;
    return open_socket(r, host, port_text, true, r.irc.ircsocket, address, port);
}

int open_udp(Relay& r, const char* host, const char* port_text, UdpFor use)
{
    if (use == UdpFor::local) {
        NetAddress address;
        uint16_t port = 0;
        return open_socket(r, host, port_text, false, r.query.localsocket, address, port);
    }
    // The game server's address and port: only its answers are taken.
    return open_socket(r, host, port_text, false, r.query.querysocket, r.query.queryaddress, r.query.queryport);
}

int connect_with_timeout(Relay& r, int socket, const NetAddress& address, uint16_t port, long long timeout_ms)
{
    Platform& p = *r.platform;
    p.sock_set_nonblocking(socket);
    int started = p.sock_connect_to(socket, address, port);
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
