// IRC input: reading, cutting into lines and messages, keeping the session alive
// and repairing registration problems; and the connect routine with the login.
#include "relay/irc/session.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "relay/commands/commands_state.h"
#include "relay/commands/dispatch.h"
#include "relay/core/relay.h"
#include "relay/irc/output.h"
#include "relay/irc/sockets.h"
#include "relay/core/text.h"

namespace {

constexpr int kInputMax = kIrcBufSize - 1; // data bytes the input buffer holds

// Socket errors as the relay numbers them in its console message.
int error_code(SockErr e)
{
    switch (e) {
    case SockErr::not_initialised: return 1;
    case SockErr::net_down: return 2;
    case SockErr::fault: return 3;
    case SockErr::not_conn: return 4;
    case SockErr::intr: return 5;
    case SockErr::in_progress: return 6;
    case SockErr::net_reset: return 7;
    case SockErr::not_sock: return 8;
    case SockErr::op_not_supp: return 9;
    case SockErr::shutdown: return 10;
    case SockErr::msg_size: return 11;
    case SockErr::inval: return 12;
    case SockErr::conn_aborted: return 13;
    case SockErr::timed_out: return 14;
    case SockErr::conn_reset: return 15;
    default: return 0;
    }
}

// The reading that follows a login line: skipped in bouncer mode unless always.
void login_read(Relay& r, bool always = false)
{
    if (r.settings.bouncer && !always)
        return;
    if (read_buf(r) == -1)
        exit_program(r, kExitFatal);
    take_irc_lines(r);
}

// Position of the first CR LF in the input buffer, or -1.
int find_line_end(const IrcState& irc)
{
    for (int i = 0; i + 1 < irc.ircinfill; ++i)
        if (irc.ircinbuf[i] == '\r' && irc.ircinbuf[i + 1] == '\n')
            return i;
    return -1;
}

void empty_input(IrcState& irc)
{
    irc.ircinfill = 0;
    irc.ircinbuf[0] = 0;
    ++irc.inputgeneration;
}

void send_join(Relay& r, const Text& channel, const Text& key)
{
    write_buf(r, "JOIN", cstr(channel), cstr(key), nullptr, nullptr, nullptr, 1);
}

void handle_numeric(Relay& r, int numeric)
{
    BotSettings& s = r.settings;
    switch (numeric) {
    case 403:
        console_note(r, "UNKNOWN CHANNEL!!!\n");
        // Back to the channel the relay was in, so reports go where it really is.
        if (r.commands.prevchannel) {
            s.channel = r.commands.prevchannel;
            s.channelkey = r.commands.prevchannelkey;
            send_join(r, s.channel, s.channelkey);
        }
        break;
    case 404:
        console_note(r, "CANNOT SEND TO CHANNEL!!!\n");
        irc_register_steps(r, kStepJoin);
        break;
    case 432:
        console_note(r, "NICK NAME IS INVALID!!!\n");
        s.nick = std::string("Ferrobot");
        irc_register_steps(r, kStepNick | kStepUser | kStepQAuth | kStepJoin);
        break;
    case 433:
        console_note(r, "NICK NAME IS ALREADY USED!!!\n");
        s.nick = (s.nick ? *s.nick : std::string()) + "2";
        irc_register_steps(r, kStepNick | kStepUser | kStepQAuth | kStepJoin);
        break;
    case 442:
        console_note(r, "NOT ON ANY CHANNEL!!!\n");
        send_join(r, s.channel, s.channelkey);
        break;
    case 451:
        write_buf(r, "PASS", cstr(s.bouncerpass), nullptr, nullptr, nullptr, nullptr, 1);
        r.platform->sleep_ms(1000);
        login_read(r);
        irc_register_steps(r, kStepNick | kStepUser | kStepQAuth | kStepJoin);
        break;
    case 464:
        console_note(r, "PASSWORD IS INVALID!!!\n");
        break;
    case 468:
        console_note(r, "USERNAME IS INVALID!!!\n");
        s.bounceruser = std::string("Ferrobot");
        irc_register_steps(r, kStepUser | kStepQAuth | kStepJoin);
        break;
    case 473:
        console_note(r, "INVITE ONLY CHANNEL!!!\n");
        irc_register_steps(r, kStepJoin);
        break;
    case 474:
        console_note(r, "BANNED FROM CHANNEL!!!\n");
        irc_register_steps(r, kStepJoin);
        break;
    case 475:
        console_note(r, "KEY NEEDED FOR CHANNEL!!!\n");
        irc_register_steps(r, kStepJoin);
        break;
    default:
        break;
    }
}

// True when target is one of the comma-separated names in list (ignoring case).
bool in_channel_list(const std::string& list, const char* target)
{
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = list.find(',', start);
        std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (safe_stricmp(name.c_str(), target) == 0)
            return true;
        if (comma == std::string::npos)
            return false;
        start = comma + 1;
    }
}

void handle_privmsg(Relay& r, const char* sender)
{
    const char* target = r.irc.ircargs[2];
    if (target[0] == 0)
        return;
    // Copies: the command may replace the nick or channel setting it is given.
    const BotSettings& s = r.settings;
    if (safe_stricmp(target, cstr(s.nick)) == 0) {
        std::string nick = *s.nick;
        irc_command(r, sender, nick.c_str());
        return;
    }
    if (!s.channel)
        return;
    std::string channel = *s.channel;
    bool match = channel.find(',') == std::string::npos ? safe_stricmp(target, channel.c_str()) == 0
                                                        : in_channel_list(channel, target);
    if (match)
        irc_command(r, sender, channel.c_str());
}

} // namespace

int read_buf(Relay& r)
{
    IrcState& irc = r.irc;
    Platform& p = *r.platform;
    if (!irc.ircconnected)
        return 0;
    if (irc.ircinfill >= kInputMax) {
        // A full buffer without a line end would stop all input for good: drop it.
        // (Not while a line in it is being handled: that line is still in use.)
        if (irc.handlingline || find_line_end(irc) >= 0)
            return 0;
        console_note(r, "read_buf: %d bytes without a line end dropped\n", irc.ircinfill);
        trace(r, 11, "read_buf: dropped %d bytes without a line end\r\n", irc.ircinfill);
        irc.ircinfill = 0;
        irc.ircinbuf[0] = 0;
    }

    trace(r, 101, "READ from SOCKET[%d]\r\n", irc.ircsocket);
    char* at = irc.ircinbuf + irc.ircinfill;
    long n = p.sock_recv(irc.ircsocket, at, static_cast<std::size_t>(kInputMax - irc.ircinfill));
    if (n > 0) {
        irc.ircinfill += static_cast<int>(n);
        irc.ircinbuf[irc.ircinfill] = 0;
        trace(r, 101, "Read %ld bytes\r\n", n);
        if (tracing(r, 101)) {
            trace(r, 101, "READBUF\r\n[%s]\r\n", at);
            if (tracing(r, 1001))
                for (long i = 0; i < n; ++i) {
                    int v = static_cast<unsigned char>(at[i]);
                    int offset = static_cast<int>(at - irc.ircinbuf + i);
                    if (v >= 32 && v <= 127)
                        trace(r, 1001, "[%d:%d:%c]", offset, v, v);
                    else
                        trace(r, 1001, "[%d:%d]", offset, v);
                }
        }
        return static_cast<int>(n);
    }
    if (n == 0) {
        // The server closed the connection. Waiting for a send to fail would leave
        // the relay believing it is connected, and lose that line: mark it down
        // now; the next line to send or the periodic tick connects again.
        trace(r, 101, "Read 0 bytes\r\n");
        console_note(r, "read_buf: connection closed by the server\n");
        close_socket(r, irc.ircsocket, 0);
        irc.ircconnected = 0;
        return 0;
    }
    SockErr e = p.sock_last_error();
    if (e == SockErr::would_block)
        return 0;

    console_note(r, "read_buf: %s\n", p.error_text().c_str());
    console_note(r, "read_buf recv(%ld) ecode(%d) error\n", n, error_code(e));
    close_socket(r, irc.ircsocket, 0);
    irc.ircconnected = 0;
    if (irc.connecting)
        return 0; // inside the connect routine: it sees the connection gone
    for (int attempt = 0; attempt < 2; ++attempt) {
        p.sleep_ms(5000);
        connect_all(r);
        if (irc.ircconnected)
            return 0;
    }
    return -1;
}

int take_irc_lines(Relay& r)
{
    IrcState& irc = r.irc;
    // A line handler that sends login steps reads again; the line it is handling
    // stays at the front until it returns.
    if (irc.ircinfill < 1 || irc.handlingline)
        return 0;
    for (int end; (end = find_line_end(irc)) >= 0;) {
        irc.ircinbuf[end] = 0;
        int generation = irc.inputgeneration;
        irc.handlingline = 1;
        handle_irc_line(r);
        irc.handlingline = 0;
        if (generation != irc.inputgeneration)
            continue; // reconnected meanwhile: the buffer holds only new input
        trace(r, 101, "removing[%s]\r\n", irc.ircinbuf);
        int rest = irc.ircinfill - (end + 2);
        std::memmove(irc.ircinbuf, irc.ircinbuf + end + 2, static_cast<std::size_t>(rest));
        irc.ircinfill = rest;
        irc.ircinbuf[rest] = 0;
    }
    return 0;
}

void split_irc_line(Relay& r, const char* line)
{
    IrcState& irc = r.irc;
    for (auto& slot : irc.ircargs)
        slot[0] = 0;
    irc.ircargcount = 0;
    if (!line)
        return;

    auto store = [&](const char* text, std::size_t len) {
        if (irc.ircargcount >= kIrcArgSlots)
            return;
        if (len > kIrcArgSize - 1)
            len = kIrcArgSize - 1; // an over-long argument is cut
        std::memcpy(irc.ircargs[irc.ircargcount], text, len);
        irc.ircargs[irc.ircargcount][len] = 0;
        ++irc.ircargcount;
    };

    const char* p = line;
    while (*p) {
        const char* before = p;
        while (*p == ' ')
            ++p;
        if (*p == 0)
            break;
        if (*p == ':' && p != before) {
            // Trailing part: cut only at " :" from here on.
            ++p;
            for (;;) {
                const char* mark = std::strstr(p, " :");
                if (!mark) {
                    std::size_t len = std::strlen(p);
                    if (len > 0)
                        store(p, len);
                    return;
                }
                store(p, static_cast<std::size_t>(mark - p));
                p = mark + 2;
            }
        }
        const char* word = p;
        while (*p && *p != ' ')
            ++p;
        store(word, static_cast<std::size_t>(p - word));
    }
}

int handle_irc_line(Relay& r)
{
    IrcState& irc = r.irc;
    split_irc_line(r, irc.ircinbuf);
    if (irc.ircargcount == 0)
        return 0;
    for (int i = 0; i < irc.ircargcount; ++i)
        trace(r, 11, "arg[%d][%s]\r\n", i, irc.ircargs[i]);

    const char* a0 = irc.ircargs[0];
    if (std::strcmp(a0, "NOTICE") == 0)
        return 0;
    if (std::strcmp(a0, "PING") == 0) {
        // Copy: the PONG's own reading may split another line into the slots.
        std::string server = irc.ircargs[1];
        if (irc.ircargcount >= 2)
            write_buf(r, "PONG", server.c_str(), nullptr, nullptr, nullptr, nullptr, 1);
        trace(r, 11, "wrote PONG to PING %s\r\n", server.c_str());
        return 0;
    }
    if (a0[0] != ':' || irc.ircargcount < 2)
        return 0;

    const char* a1 = irc.ircargs[1];
    if (std::strlen(a1) == 3) {
        int numeric = std::atoi(a1);
        if (numeric > 0) {
            handle_numeric(r, numeric);
            return 0;
        }
    }

    // The sender's nick: the prefix without its colon, up to the first "!".
    char sender[kIrcArgSize];
    std::size_t n = 0;
    for (const char* p = a0 + 1; *p && *p != '!' && n < sizeof sender - 1; ++p)
        sender[n++] = *p;
    sender[n] = 0;

    BotSettings& s = r.settings;
    if (std::strcmp(a1, "JOIN") == 0) {
        if (safe_strcmp(sender, cstr(s.nick)) == 0)
            irc.ircjoined = 1;
    } else if (std::strcmp(a1, "PART") == 0) {
        if (safe_strcmp(sender, cstr(s.nick)) == 0)
            irc.ircjoined = 0;
    } else if (std::strcmp(a1, "NICK") == 0) {
        // The owner keeps owner status under a new nick.
        Text& owner = r.commands.botowner;
        if (irc.ircargs[2][0] != 0 && sender[0] != 0 && owner && safe_stricmp(sender, owner->c_str()) == 0)
            owner = std::string(irc.ircargs[2]);
    } else if (std::strcmp(a1, "PRIVMSG") == 0) {
        handle_privmsg(r, sender);
    }
    return 0;
}

void irc_register_steps(Relay& r, int steps)
{
    BotSettings& s = r.settings;
    Platform& p = *r.platform;
    if (steps & kStepNick) {
        write_buf(r, "NICK", cstr(s.nick), nullptr, nullptr, nullptr, nullptr, 1);
        login_read(r);
    }
    if (steps & kStepUser) {
        write_buf(r, "USER", cstr(s.bounceruser), "0", "*", ":Quillon's SOF2 Tidewatch v1.2", nullptr, 1);
        p.sleep_ms(1000);
        login_read(r);
    }
    if ((steps & kStepQAuth) && s.qpass) {
        if (!s.qnick)
            s.qnick = s.nick;
        write_buf(r, "PRIVMSG", kQServiceAddress, ":AUTH", cstr(s.qnick), cstr(s.qpass), nullptr, 1);
        p.sleep_ms(1000);
        login_read(r);
    }
    if (steps & kStepJoin) {
        send_join(r, s.channel, s.channelkey);
        p.sleep_ms(1000);
        login_read(r);
    }
}

void irc_login(Relay& r)
{
    BotSettings& s = r.settings;
    login_read(r, true);
    write_buf(r, "PASS", cstr(s.bouncerpass), nullptr, nullptr, nullptr, nullptr, 1);
    login_read(r);
    write_buf(r, "NICK", cstr(s.nick), nullptr, nullptr, nullptr, nullptr, 1);
    login_read(r);
    write_buf(r, "USER", cstr(s.bounceruser), "0", "*", ":Quillon's SOF2 Tidewatch v1.2", nullptr, 1);
    login_read(r);
    if (s.qpass) {
        if (!s.qnick)
            s.qnick = s.nick;
        write_buf(r, "PRIVMSG", kQServiceAddress, ":AUTH", cstr(s.qnick), cstr(s.qpass), nullptr, 1);
        login_read(r);
    }
    send_join(r, s.channel, s.channelkey);
    login_read(r, true);
    LineBuf banner;
    banner.start(kBannerColour).addf(" %s", kBanner);
    write_buf(r, "PRIVMSG", cstr(s.channel), banner.c_str(), nullptr, nullptr, nullptr, 1);
    login_read(r, true);
}

void connect_all(Relay& r)
{
    IrcState& irc = r.irc;
    BotSettings& s = r.settings;
    // A connect started from inside a running one (an owner command during the
    // login) only opens the UDP sockets; the outer run does the IRC part.
    const bool nested = irc.connecting != 0;
    irc.connecting = 1;

    if (!irc.ircconnected && !nested) {
        if (open_tcp(r, cstr(s.irchost), cstr(s.ircport)) >= 0) {
            // Nothing left over from an earlier connection may glue onto the new input.
            empty_input(irc);
            irc.ircjoined = 0;
            trace(r, 11, "Connect returned %d\r\n", irc.ircsocket);
            irc.ircconnected = 1;
        } else {
            console_printf(r, "\nConnect returned %d\n", irc.ircsocket);
            trace(r, 11, "Connect returned %d\r\n", irc.ircsocket);
            irc.ircconnected = 0;
        }
    }
    if (!irc.queryopen && s.serverhost && s.serverport) {
        int rc = open_udp(r, cstr(s.serverhost), cstr(s.serverport));
        trace(r, 11, "UDP Connect returned %d\r\n", irc.querysocket);
        if (rc >= 0)
            irc.queryopen = 1;
        else
            console_note(r, "UDP Connect returned %d\n", irc.querysocket);
    }
    if (!s.servermode && !irc.localopen) {
        int rc = open_udp(r, kLocalClientHost, kLocalClientPort);
        trace(r, 11, "UDP Local Connect returned %d\r\n", irc.localsocket);
        if (rc >= 0)
            irc.localopen = 1;
        else
            console_note(r, "UDP Local Connect returned %d\n", irc.localsocket);
    }
    if (!nested) {
        irc_login(r);
        irc.connecting = 0;
    }
}
