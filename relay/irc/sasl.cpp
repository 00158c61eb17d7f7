#include "relay/irc/sasl.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "relay/relay.h"
#include "relay/base/text.h"
#include "relay/irc/output.h"
#include "relay/irc/session.h"

namespace {

void send(Relay& r, const char* command, const char* a1, const char* a2 = nullptr)
{
    write_buf(r, command, a1, a2, nullptr, nullptr, nullptr, 1);
}

// Ends the negotiation; the registration the server held back goes on.
void finish(Relay& r)
{
    r.irc.saslstate = kSaslIdle;
    send(r, "CAP", "END");
}

// The negotiation goes a step further (the server answered as it should): the
// wait for the next answer starts now.
void advance(Relay& r, int state)
{
    r.irc.saslstate = state;
    r.irc.sasldeadline = std::max(r.irc.sasldeadline, r.platform->now_ms() + kSaslWaitMs);
}

void give_up(Relay& r, const char* why)
{
    console_printf(r, "SASL: %s; logging in without it\n", why);
    trace(r, 11, "SASL: %s\r\n", why);
    finish(r);
}

// The capabilities of a list, one after the other: the next one, or an empty
// view at the end.
std::string_view next_cap(const char*& p)
{
    while (*p == ' ')
        ++p;
    const char* begin = p;
    while (*p && *p != ' ')
        ++p;
    return std::string_view(begin, static_cast<std::size_t>(p - begin));
}

// The capability list offers SASL with PLAIN: "sasl" alone, or "sasl=" with a
// mechanism list that names PLAIN.
bool offers_plain(const char* caps)
{
    for (std::string_view cap = next_cap(caps); !cap.empty(); cap = next_cap(caps)) {
        if (cap == "sasl")
            return true;
        if (cap.substr(0, 5) == "sasl=") {
            std::string mechs = "," + std::string(cap.substr(5)) + ",";
            for (char& c : mechs)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return mechs.find(",PLAIN,") != std::string::npos;
        }
    }
    return false;
}

bool names_sasl(const char* caps)
{
    for (std::string_view cap = next_cap(caps); !cap.empty(); cap = next_cap(caps))
        if (cap == "sasl")
            return true;
    return false;
}

void send_credentials(Relay& r)
{
    const BotSettings& s = r.settings;
    std::string plain = *s.saslaccount;
    plain += '\0';
    plain += *s.saslaccount;
    plain += '\0';
    plain += *s.saslpass;
    std::string coded = base64(plain);
    for (std::size_t at = 0; at < coded.size(); at += kSaslChunk)
        send(r, "AUTHENTICATE", coded.substr(at, kSaslChunk).c_str());
    // A last line of exactly one full chunk is followed by an empty one.
    if (coded.empty() || coded.size() % kSaslChunk == 0)
        send(r, "AUTHENTICATE", "+");
    advance(r, kSaslProving);
}

void handle_cap(Relay& r, const IrcMessage& m, int first)
{
    IrcState& irc = r.irc;
    const int n = m.count();
    const char* sub = m.arg(first + 1);
    if (std::strcmp(sub, "LS") == 0 && irc.saslstate == kSaslListing) {
        // A list in several lines says "*" before each but the last.
        const bool more = first + 3 < n && std::strcmp(m.arg(first + 2), "*") == 0;
        const char* caps = m.arg(std::min(n - 1, more ? first + 3 : first + 2));
        if (offers_plain(caps))
            irc.saslseen = 1;
        if (more)
            return;
        if (!irc.saslseen) {
            give_up(r, "the server offers no SASL PLAIN");
            return;
        }
        send(r, "CAP", "REQ", ":sasl");
        advance(r, kSaslAsking);
    } else if (std::strcmp(sub, "ACK") == 0 && irc.saslstate == kSaslAsking) {
        if (!names_sasl(m.arg(n - 1))) {
            give_up(r, "the server did not grant the sasl capability");
            return;
        }
        send(r, "AUTHENTICATE", "PLAIN");
        advance(r, kSaslMech);
    } else if (std::strcmp(sub, "NAK") == 0 && irc.saslstate == kSaslAsking) {
        give_up(r, "the server refused the sasl capability");
    }
}

} // namespace

bool sasl_wanted(const Relay& r)
{
    const BotSettings& s = r.settings;
    return s.saslaccount && !s.saslaccount->empty() && s.saslpass && !s.saslpass->empty();
}

void sasl_begin(Relay& r)
{
    r.irc.saslstate = kSaslListing;
    r.irc.saslseen = 0;
    r.irc.sasldeadline = r.platform->now_ms() + kSaslWaitMs;
    send(r, "CAP", "LS", "302");
}

void sasl_finish(Relay& r)
{
    IrcState& irc = r.irc;
    Platform& p = *r.platform;
    // Bounded by the clock, not by what the server sends: once the time is up
    // what already came is read once more, and then the login goes on.
    bool last_read = false;
    for (;;) {
        while (irc.saslstate != kSaslIdle && irc_lines_waiting(r))
            take_irc_lines(r);
        if (irc.saslstate == kSaslIdle || !irc.ircconnected || last_read)
            break;
        const long long left = irc.sasldeadline - p.now_ms();
        last_read = left <= 0;
        if (p.sock_wait_readable(irc.ircsocket, std::clamp<long long>(left, 0, 500)) == 1 && read_buf(r) <= 0)
            p.sleep_ms(10); // readable with nothing to take: do not spin
    }
    if (irc.saslstate != kSaslIdle && irc.ircconnected)
        give_up(r, "no answer from the server");
    irc.saslstate = kSaslIdle;
}

bool sasl_line(Relay& r, const IrcMessage& m)
{
    IrcState& irc = r.irc;
    if (irc.saslstate == kSaslIdle || m.count() < 1)
        return false;
    // The command word follows the prefix, when there is one.
    const int first = m.command_at();
    if (first >= m.count())
        return false;
    const char* command = m.arg(first);

    if (std::strcmp(command, "AUTHENTICATE") == 0) {
        if (irc.saslstate == kSaslMech && first + 1 < m.count() && std::strcmp(m.arg(first + 1), "+") == 0)
            send_credentials(r);
        return true;
    }
    if (std::strcmp(command, "CAP") == 0) {
        // ":server CAP <nick or *> <sub> ...": the sub-command follows the target.
        handle_cap(r, m, first + 1);
        return true;
    }
    if (std::strlen(command) != 3)
        return false;
    const int numeric = std::atoi(command);
    switch (numeric) {
    case 421: // unknown command: a server without capability negotiation
        if (first + 2 < m.count() && std::strcmp(m.arg(first + 2), "CAP") == 0) {
            irc.saslstate = kSaslIdle; // nothing to end
            console_printf(r, "SASL: the server knows no capabilities; logging in without it\n");
            trace(r, 11, "SASL: no CAP\r\n");
            return true;
        }
        return false;
    case 900: // logged in as ...
        return true;
    case 903:
        console_note(r, "SASL: logged in as %s\n", cstr(r.settings.saslaccount));
        trace(r, 11, "SASL: logged in\r\n");
        finish(r);
        return true;
    case 902:
    case 904:
    case 905:
    case 906:
    case 907: {
        char why[64];
        std::snprintf(why, sizeof why, "the server refused the login (%d)", numeric);
        give_up(r, why);
        return true;
    }
    case 908: // the mechanisms the server has; the refusal follows
        return true;
    default:
        return false;
    }
}

std::string base64(std::string_view bytes)
{
    static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                     static_cast<unsigned char>(bytes[i + 2]);
        out += table[v >> 18];
        out += table[(v >> 12) & 63];
        out += table[(v >> 6) & 63];
        out += table[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += table[v >> 18];
        out += table[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? table[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}
