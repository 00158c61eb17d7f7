// The relay's one way to send a line to the IRC server: hold-back while catching
// up, silent mode, connect on demand, assembly, flood check and pacing.
#include "relay/irc/output.h"

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "relay/base/charset.h"
#include "relay/relay.h"
#include "relay/base/text.h"
#include "relay/irc/line_split.h"
#include "relay/irc/session.h"
#include "relay/irc/sockets.h"

namespace {

// Excess lines in a row that are still sent (with an extra pause) before one is skipped.
constexpr int kSkipThreshold = 2;

// A catching-up setting is in force and a log line has been reached: before the
// first line is read only the periodic status can report, and it is not a line
// being caught up on.
bool catching_up(const Relay& r)
{
    const BotSettings& s = r.settings;
    return (s.recoverlines > 0 || s.fromend != 0) && (r.log.linesread != 0 || r.log.handling);
}

// True while ordinary output is held back because old log lines are being caught up on.
bool held_back(Relay& r, int forced)
{
    if (forced || !catching_up(r))
        return false;
    if (reports_held_back(r))
        return true;
    const BotSettings& s = r.settings;
    trace(r, 101, "go %d > %d || %lld <= %lld\r\n", r.log.linesread, s.recoverlines, s.fromend,
          r.log.bytesconsumed);
    return false;
}

} // namespace

bool reports_held_back(const Relay& r)
{
    const BotSettings& s = r.settings;
    // While line n is handled linesread is n - 1; between lines it is the count done.
    return catching_up(r) && (r.log.linesread < s.recoverlines || s.fromend > r.log.bytesconsumed);
}

namespace {

// Builds the line in the output buffer: command, then each present argument after
// a blank, cut at the first CR or LF, then the line end. Returns its length.
// A part of a split line ends in CR LF alone: the blank of a report's ending
// would take a byte of its room.
int assemble(Relay& r, const char* command, const char* const* args, int forced, bool part = false)
{
    char* out = r.irc.ircoutbuf;
    const int room = kIrcBufSize - 4; // keeps space for " \r\n" and the zero
    int n = 0;
    bool cut = false;
    auto put = [&](const char* text) {
        for (const char* p = text; *p && !cut; ++p) {
            if (*p == '\r' || *p == '\n' || n == room) {
                cut = true;
                break;
            }
            out[n++] = *p;
        }
    };
    put(command ? command : "");
    for (int i = 0; i < 5 && !cut; ++i)
        if (args[i]) {
            put(" ");
            put(args[i]);
        }
    out[n] = 0;
    // For a server that takes only UTF-8 (or when the colour file asks for it),
    // a line that is not UTF-8 already is Latin-1: the relay's German and Dutch
    // texts and the game's own. Lines that are UTF-8 go as they are.
    if ((r.settings.charsetutf8 || r.irc.utf8only) && !utf8_valid(std::string_view(out, static_cast<std::size_t>(n)))) {
        std::string utf8 = latin1_to_utf8(std::string_view(out, static_cast<std::size_t>(n)));
        if (utf8.size() > static_cast<std::size_t>(room)) {
            utf8.resize(static_cast<std::size_t>(room));
            utf8.resize(utf8.size() - utf8_torn_tail(utf8));
        }
        n = static_cast<int>(utf8.size());
        std::memcpy(out, utf8.data(), utf8.size() + 1);
    }
    // SASL credentials stay out of the trace below its most detailed level.
    const bool secret = command && std::strcmp(command, "AUTHENTICATE") == 0 && args[0] &&
                        std::strcmp(args[0], "PLAIN") != 0 && std::strcmp(args[0], "+") != 0;
    if (secret && !tracing(r, 1001))
        trace(r, 101, "WRITEBUF\r\n[AUTHENTICATE ...]\r\n");
    else
        trace(r, 101, "WRITEBUF\r\n[%s]\r\n", out);
    const char* end = forced || part ? "\r\n" : " \r\n";
    std::size_t end_len = std::strlen(end);
    std::memcpy(out + n, end, end_len + 1);
    return n + static_cast<int>(end_len);
}

void remember_sent(Relay& r, int length)
{
    IrcState& irc = r.irc;
    irc.sendtime[irc.historyindex] = r.platform->now();
    irc.sendlength[irc.historyindex] = length;
    irc.historyindex = (irc.historyindex + 1) % kSendHistory;
}

// The pause after a line (and the flood pauses): the report sinks move on in it.
void pause_output(Relay& r, long long ms)
{
    if (r.irc.pause_hook)
        r.irc.pause_hook(r, ms);
    else
        r.platform->sleep_ms(ms);
}

// Bytes per minute over the remembered lines. No time passed since the oldest of
// them is over any limit (infinite); a clock set back gives a negative rate, which
// is under it.
double recent_rate(Relay& r)
{
    const IrcState& irc = r.irc;
    long long sum = 0;
    for (int i = 0; i < kSendHistory; ++i)
        sum += irc.sendlength[i];
    long long elapsed = r.platform->now() - irc.sendtime[irc.historyindex];
    if (elapsed == 0)
        return std::numeric_limits<double>::infinity();
    return static_cast<double>(sum) / (static_cast<double>(elapsed) / 60.0);
}

// Hands every byte of the line to the socket. A socket that takes nothing for the
// connect time-out counts as a broken connection. The count sent, or -1.
long send_all(Relay& r, const char* data, int length)
{
    Platform& p = *r.platform;
    const int s = r.irc.ircsocket;
    long long deadline_ms = p.now() * 1000 + kConnectTimeoutMs;
    long sent = 0;
    bool waited = false;
    while (sent < length) {
        long n = p.sock_send(s, data + sent, static_cast<std::size_t>(length - sent));
        if (n > 0) {
            sent += n;
            waited = false;
            continue;
        }
        if (n < 0 && p.sock_last_error() != SockErr::would_block)
            return -1;
        long long left = deadline_ms - p.now() * 1000;
        if (left <= 0)
            return -1;
        if (waited)
            p.sleep_ms(10); // writable yet nothing taken: do not spin
        if (p.sock_wait_writable(s, left) != 1)
            return -1;
        waited = true;
    }
    return sent;
}

// The parts of an assembled PRIVMSG that, with the prefix the server adds, would
// pass the server's line limit; empty when it fits.
std::vector<std::string> oversized_parts(Relay& r, const char* command, const char* target, int length, int forced)
{
    if (!command || std::strcmp(command, "PRIVMSG") != 0 || !target)
        return {};
    const std::size_t userhost = r.irc.userhostlen > 0 ? static_cast<std::size_t>(r.irc.userhostlen) : kUserHostGuess;
    const std::size_t prefix = 1 + std::strlen(cstr(r.settings.nick) ? cstr(r.settings.nick) : "") + userhost + 1;
    if (prefix + static_cast<std::size_t>(length) <= kIrcLineMax)
        return {};
    const std::size_t start = std::strlen("PRIVMSG ") + std::strlen(target) + 1;
    const std::size_t line = static_cast<std::size_t>(length) - (forced ? 2 : 3);
    if (line <= start || r.irc.ircoutbuf[start] != ':' || prefix + start + 2 >= kIrcLineMax)
        return {};
    // One part is the line without the blank of a report's ending: then it fits.
    return split_trailing(std::string_view(r.irc.ircoutbuf + start, line - start), kIrcLineMax - prefix - start - 2);
}

// write_buf for the five arguments in args; part is set for the parts of a split line.
int write_line(Relay& r, const char* command, const char* const* args, int forced, bool part)
{
    BotSettings& s = r.settings;
    IrcState& irc = r.irc;

    if (held_back(r, forced))
        return 0;
    if (s.silent == 1 && !forced)
        return 0;
    // A line to the channel also goes to the report sinks, whole and once.
    if (!part && irc.channel_hook && command && std::strcmp(command, "PRIVMSG") == 0 && args[0] && args[1] &&
        safe_stricmp(args[0], cstr(s.channel)) == 0)
        irc.channel_hook(r, args[1]);
    if (!irc.ircconnected) {
        // While connect_all runs, its own failed connection just drops its lines.
        if (irc.connecting)
            return 0;
        connect_all(r);
        if (!irc.ircconnected)
            return 0;
    }

    const int length = assemble(r, command, args, forced, part);

    // A channel line too long for the server goes out in parts, each paced and
    // checked like any line.
    std::vector<std::string> parts = part ? std::vector<std::string>() : oversized_parts(r, command, args[0], length, forced);
    if (!parts.empty()) {
        const std::string target = args[0];
        int sent = 0;
        for (const std::string& text : parts) {
            const char* one[5] = {target.c_str(), text.c_str(), nullptr, nullptr, nullptr};
            sent += write_line(r, "PRIVMSG", one, forced, true);
        }
        return sent;
    }

    // A PONG answers the server's keep-alive: it neither waits for the flood check
    // nor takes the reporting pause, so a burst of PINGs cannot hold up the reports.
    const bool pong = command && std::strcmp(command, "PONG") == 0;

    if (s.floodprotect != 0 && !pong) {
        double rate = recent_rate(r);
        if (rate > s.byterate) {
            bool skippable = !r.game.eventline && !forced && s.floodprotect == 2;
            if (skippable && irc.excesscount > kSkipThreshold) {
                irc.excesscount = 0;
                pause_output(r, s.waitmillisecs / 2);
                console_note(r, "[%07d] excess flood prevent: byterate: line not send\n", r.log.linesread);
                remember_sent(r, 0);
                return length;
            }
            ++irc.excesscount;
            console_note(r, "[%07d] excess flood prevent: extra sleep byterate: [%f]\n", r.log.linesread, rate);
            pause_output(r, s.waitmillisecs);
        } else {
            irc.excesscount = 0;
        }
    }

    trace(r, 101, "SEND to SOCKET[%d]\n", irc.ircsocket);
    long n = send_all(r, irc.ircoutbuf, length);
    if (n >= 0) {
        remember_sent(r, length);
        if (!pong)
            pause_output(r, s.waitmillisecs);
        return static_cast<int>(n);
    }

    console_note(r, "sck_irc [%ld]\n", n);
    console_note(r, "write_buf: %s\n", r.platform->error_text().c_str());
    close_socket(r, irc.ircsocket, 0);
    irc.ircconnected = 0;
    if (irc.connecting)
        return 0; // the connect routine under way finds the connection gone
    // Connect again as after a receive error; a relay that cannot is of no use
    // running deaf, so it ends and its service manager may start it anew.
    if (!reconnect_after_loss(r))
        exit_program(r, kExitFatal);
    // The login lines reused the output buffer: assemble the line again.
    int again = assemble(r, command, args, forced, part);
    n = send_all(r, irc.ircoutbuf, again);
    if (n < 0) {
        close_socket(r, irc.ircsocket, 0);
        irc.ircconnected = 0;
        return 0;
    }
    return static_cast<int>(n);
}

} // namespace

int write_buf(Relay& r, const char* command, const char* arg1, const char* arg2, const char* arg3,
              const char* arg4, const char* arg5, int forced)
{
    const char* args[5] = {arg1, arg2, arg3, arg4, arg5};
    return write_line(r, command, args, forced, false);
}
