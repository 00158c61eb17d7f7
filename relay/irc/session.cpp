// IRC input: reading, cutting into lines and messages, keeping the session alive
// and repairing registration problems; and the connect routine with the login.
#include "relay/irc/session.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "relay/relay.h"
#include "relay/irc/nicks.h"
#include "relay/irc/output.h"
#include "relay/irc/sasl.h"
#include "relay/irc/sockets.h"
#include "relay/base/text.h"

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

// Position of the first line feed in the input buffer, or -1. Lines end in CR LF,
// but some servers end them in LF alone; both are taken.
int find_line_end(const IrcState& irc)
{
    const void* lf = std::memchr(irc.ircinbuf, '\n', static_cast<std::size_t>(irc.ircinfill));
    return lf ? static_cast<int>(static_cast<const char*>(lf) - irc.ircinbuf) : -1;
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

// The repairs of registration problems, run at once or, when one of the same kind
// ran recently, later from irc_upkeep.
void run_repair(Relay& r, int numeric)
{
    BotSettings& s = r.settings;
    switch (numeric) {
    case 404:
    case 473:
    case 474:
    case 475:
        irc_register_steps(r, kStepJoin);
        break;
    case 432:
        s.nick = std::string("Ferrobot");
        irc_register_steps(r, kStepNick | kStepUser | kStepQAuth | kStepJoin);
        break;
    case 433: {
        // Another "2", but the nick stops growing at a length every network takes:
        // from there on its last character counts 2 to 9 round.
        std::string nick = s.nick ? *s.nick : std::string();
        if (nick.size() < kMaxGrownNick)
            nick += '2';
        else
            nick.back() = nick.back() >= '2' && nick.back() < '9' ? static_cast<char>(nick.back() + 1) : '2';
        s.nick = nick;
        irc_register_steps(r, kStepNick | kStepUser | kStepQAuth | kStepJoin);
        break;
    }
    case 442:
        send_join(r, s.channel, s.channelkey);
        break;
    case 451:
        write_buf(r, "PASS", cstr(s.bouncerpass), nullptr, nullptr, nullptr, nullptr, 1);
        r.platform->sleep_ms(1000);
        login_read(r);
        irc_register_steps(r, kStepNick | kStepUser | kStepQAuth | kStepJoin);
        break;
    case 468:
        s.bounceruser = std::string("Ferrobot");
        irc_register_steps(r, kStepUser | kStepQAuth | kStepJoin);
        break;
    default:
        break;
    }
}

RepairKind repair_kind(int numeric)
{
    switch (numeric) {
    case 432:
    case 433: return kRepairNick;
    case 468: return kRepairUser;
    case 451: return kRepairRegister;
    default: return kRepairJoin;
    }
}

// Runs the repair now, unless several of its kind ran since the last success and
// the delay since the latest has not passed: then irc_upkeep runs it when due (a
// later numeric of the same kind takes the place of an earlier one).
void repair(Relay& r, int numeric)
{
    Repair& rep = r.irc.repairs[repair_kind(numeric)];
    if (rep.runs >= kRepairsAtOnce && r.platform->now() < rep.next) {
        rep.pending = numeric;
        return;
    }
    rep.pending = 0;
    ++rep.runs;
    run_repair(r, numeric);
    if (rep.runs >= kRepairsAtOnce) {
        // The delay counts from the end of the repair: its paced lines take seconds.
        rep.delay = rep.delay == 0 ? kRepairFirstDelay : std::min(rep.delay * 2, kRepairMaxDelay);
        rep.next = r.platform->now() + rep.delay;
    }
}

void repair_done(IrcState& irc, RepairKind kind)
{
    irc.repairs[kind] = Repair{};
}

// The server calls the relay nick from now on.
void take_own_nick(Relay& r, const char* nick)
{
    BotSettings& s = r.settings;
    if (!usable_nick(nick) || safe_strcmp(nick, cstr(s.nick)) == 0)
        return;
    console_note(r, "IRC nick is now %s\n", nick);
    trace(r, 11, "own nick %s -> %s\r\n", cstr(s.nick) ? cstr(s.nick) : "", nick);
    s.nick = std::string(nick);
}

// The server's 005 lines name what it supports: UTF8ONLY is a server that takes
// UTF-8 lines only ("-UTF8ONLY" takes that back).
void note_utf8only(IrcState& irc, const IrcMessage& m)
{
    for (int i = 3; i < m.count(); ++i)
        if (std::strcmp(m.arg(i), "UTF8ONLY") == 0)
            irc.utf8only = 1;
        else if (std::strcmp(m.arg(i), "-UTF8ONLY") == 0)
            irc.utf8only = 0;
}

void handle_numeric(Relay& r, const IrcMessage& m, int numeric)
{
    BotSettings& s = r.settings;
    switch (numeric) {
    case 1:
        // Welcome: the registration went through, under the nick it names (a
        // server may give another than the one asked for: the account name after
        // SASL, a guest nick).
        repair_done(r.irc, kRepairNick);
        repair_done(r.irc, kRepairUser);
        repair_done(r.irc, kRepairRegister);
        take_own_nick(r, m.arg(2));
        break;
    case 5:
        read_isupport(r.irc, m);
        note_utf8only(r.irc, m);
        break;
    case 403:
        console_note(r, "UNKNOWN CHANNEL!!!\n");
        // Back to the channel the relay was in, so reports go where it really is.
        if (r.commands.prevchannel) {
            s.channel = r.commands.prevchannel;
            s.channelkey = r.commands.prevchannelkey;
            send_join(r, s.channel, s.channelkey);
        }
        break;
    case 404: console_note(r, "CANNOT SEND TO CHANNEL!!!\n"); repair(r, numeric); break;
    case 432: console_note(r, "NICK NAME IS INVALID!!!\n"); repair(r, numeric); break;
    case 433: console_note(r, "NICK NAME IS ALREADY USED!!!\n"); repair(r, numeric); break;
    case 442: console_note(r, "NOT ON ANY CHANNEL!!!\n"); repair(r, numeric); break;
    case 451: repair(r, numeric); break;
    case 464: console_note(r, "PASSWORD IS INVALID!!!\n"); break;
    case 468: console_note(r, "USERNAME IS INVALID!!!\n"); repair(r, numeric); break;
    case 473: console_note(r, "INVITE ONLY CHANNEL!!!\n"); repair(r, numeric); break;
    case 474: console_note(r, "BANNED FROM CHANNEL!!!\n"); repair(r, numeric); break;
    case 475: console_note(r, "KEY NEEDED FOR CHANNEL!!!\n"); repair(r, numeric); break;
    default: break;
    }
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
        irc.lastinput = p.now();
        irc.probesent = 0;
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
        if (!irc.connecting)
            irc.lost = 1;
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
    return reconnect_after_loss(r) ? 0 : -1;
}

bool reconnect_after_loss(Relay& r)
{
    IrcState& irc = r.irc;
    for (int attempt = 0; attempt < 2; ++attempt) {
        r.platform->sleep_ms(5000);
        connect_all(r);
        if (irc.ircconnected) {
            irc.lost = 0;
            return true;
        }
    }
    return false;
}

void irc_upkeep(Relay& r)
{
    IrcState& irc = r.irc;
    Platform& p = *r.platform;
    if (irc.connecting || irc.handlingline)
        return;
    if (irc.lost && !irc.ircconnected) {
        console_note(r, "IRC connection lost: connecting again\n");
        if (!reconnect_after_loss(r))
            exit_program(r, kExitFatal);
        return;
    }
    if (!irc.ircconnected)
        return;

    const long long now = p.now();
    for (Repair& rep : irc.repairs)
        if (rep.pending && now >= rep.next) {
            int numeric = rep.pending;
            rep.pending = 0;
            repair(r, numeric);
            if (!irc.ircconnected)
                return;
        }

    // A server that has said nothing for long is asked with a PING of the relay's
    // own; one that does not answer either is taken as gone.
    if (irc.probesent == 0 && now - irc.lastinput >= kSilenceBeforeProbe) {
        irc.probesent = now;
        write_buf(r, "PING", ":tidecore", nullptr, nullptr, nullptr, nullptr, 1);
    } else if (irc.probesent != 0 && now - irc.probesent >= kProbeAnswerTime) {
        console_note(r, "IRC server silent for %lld seconds: connection dropped\n", now - irc.lastinput);
        trace(r, 11, "no answer to the liveness PING\r\n");
        close_socket(r, irc.ircsocket, 0);
        irc.ircconnected = 0;
        irc.ircjoined = 0;
        irc.probesent = 0;
        irc.lost = 1;
    }
}

long long irc_upkeep_due(const Relay& r)
{
    const IrcState& irc = r.irc;
    constexpr long long kNever = 1LL << 60;
    if (irc.connecting || irc.handlingline)
        return kNever;
    if (irc.lost && !irc.ircconnected)
        return 0;
    if (!irc.ircconnected)
        return kNever;
    long long due = irc.probesent == 0 ? irc.lastinput + kSilenceBeforeProbe : irc.probesent + kProbeAnswerTime;
    for (const Repair& rep : irc.repairs)
        if (rep.pending && rep.next < due)
            due = rep.next;
    return due;
}

void take_irc_lines(Relay& r)
{
    IrcState& irc = r.irc;
    // A line handler that sends login steps reads again; the line it is handling
    // stays at the front until it returns.
    if (irc.ircinfill < 1 || irc.handlingline)
        return;
    // A bounded number a call, so that a flood from the server cannot keep the
    // main loop from the log; the rest waits for the next pass.
    for (int taken = 0, lf; taken < kIrcLinesPerPass && (lf = find_line_end(irc)) >= 0; ++taken) {
        int end = lf > 0 && irc.ircinbuf[lf - 1] == '\r' ? lf - 1 : lf;
        irc.ircinbuf[end] = 0;
        int generation = irc.inputgeneration;
        irc.handlingline = 1;
        handle_irc_line(r);
        irc.handlingline = 0;
        if (generation != irc.inputgeneration)
            continue; // reconnected meanwhile: the buffer holds only new input
        trace(r, 101, "removing[%s]\r\n", irc.ircinbuf);
        int rest = irc.ircinfill - (lf + 1);
        std::memmove(irc.ircinbuf, irc.ircinbuf + lf + 1, static_cast<std::size_t>(rest));
        irc.ircinfill = rest;
        irc.ircinbuf[rest] = 0;
    }
}

bool irc_lines_waiting(const Relay& r)
{
    return !r.irc.handlingline && find_line_end(r.irc) >= 0;
}

int handle_irc_line(Relay& r)
{
    IrcState& irc = r.irc;
    const IrcMessage m = parse_irc_message(irc.ircinbuf);
    if (m.count() == 0)
        return 0;
    // An owner's password travels in a private message: below the most detailed
    // level the trace shows that such a line came, not the password.
    const bool secret = m.count() >= 4 && std::strcmp(m.arg(1), "PRIVMSG") == 0 &&
                        (safe_strnicmp(m.arg(3), "!pass", 5) == 0 || safe_strnicmp(m.arg(3), "!newpass", 8) == 0);
    // So does a SASL exchange: the arguments after AUTHENTICATE.
    const int authenticate = std::strcmp(m.arg(0), "AUTHENTICATE") == 0                       ? 0
                             : m.count() >= 2 && std::strcmp(m.arg(1), "AUTHENTICATE") == 0 ? 1
                                                                                              : -1;
    for (int i = 0; i < m.count(); ++i)
        if (secret && i == 3 && !tracing(r, 101))
            trace(r, 11, "arg[%d][%.*s ...]\r\n", i, safe_strnicmp(m.arg(3), "!pass", 5) == 0 ? 5 : 8, m.arg(3));
        else if (authenticate >= 0 && i > authenticate && !tracing(r, 101))
            trace(r, 11, "arg[%d][...]\r\n", i);
        else
            trace(r, 11, "arg[%d][%s]\r\n", i, m.arg(i));
    if (sasl_line(r, m))
        return 0;

    const char* a0 = m.arg(0);
    if (std::strcmp(a0, "NOTICE") == 0)
        return 0;
    if (std::strcmp(a0, "PING") == 0) {
        if (m.count() >= 2)
            write_buf(r, "PONG", m.arg(1), nullptr, nullptr, nullptr, nullptr, 1);
        trace(r, 11, "wrote PONG to PING %s\r\n", m.arg(1));
        return 0;
    }
    if (std::strcmp(a0, "ERROR") == 0) {
        // The server ends the link with ERROR and closes it: take it as lost now,
        // so that no report goes into a connection that is closing.
        console_note(r, "read_buf: the server closes the connection: %s\n", m.arg(1));
        close_socket(r, irc.ircsocket, 0);
        irc.ircconnected = 0;
        if (!irc.connecting)
            irc.lost = 1;
        return 0;
    }
    if (a0[0] != ':' || m.count() < 2)
        return 0;

    const char* a1 = m.arg(1);
    if (std::strlen(a1) == 3) {
        int numeric = std::atoi(a1);
        if (numeric > 0) {
            handle_numeric(r, m, numeric);
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
        if (safe_strcmp(sender, cstr(s.nick)) == 0) {
            // The prefix the server puts before the relay's own lines.
            irc.userhostlen = static_cast<int>(std::strlen(a0 + 1) - n);
            irc.ircjoined = 1;
            repair_done(irc, kRepairJoin);
        }
    } else if (std::strcmp(a1, "PART") == 0) {
        if (safe_strcmp(sender, cstr(s.nick)) == 0)
            irc.ircjoined = 0;
    } else if (std::strcmp(a1, "NICK") == 0 && sender[0] != 0 && same_nick(irc, sender, cstr(s.nick))) {
        take_own_nick(r, m.arg(2));
    } else if (std::strcmp(a1, "NICK") == 0 || std::strcmp(a1, "QUIT") == 0 || std::strcmp(a1, "PRIVMSG") == 0) {
        // Another user's line: the commands decide what it means to them.
        if (irc.message_hook)
            irc.message_hook(r, m, sender);
    }
    return 0;
}

namespace {

// The registration lines the full login and the repairs both send.
void send_nick(Relay& r)
{
    write_buf(r, "NICK", cstr(r.settings.nick), nullptr, nullptr, nullptr, nullptr, 1);
}

void send_user(Relay& r)
{
    write_buf(r, "USER", cstr(r.settings.bounceruser), "0", "*", ":Quillon's SOF2 Tidewatch v1.2", nullptr, 1);
}

// The Q service's AUTH, when a Q password is set; false when there is none.
bool send_qauth(Relay& r)
{
    BotSettings& s = r.settings;
    if (!s.qpass)
        return false;
    if (!s.qnick)
        s.qnick = s.nick;
    write_buf(r, "PRIVMSG", kQServiceAddress, ":AUTH", cstr(s.qnick), cstr(s.qpass), nullptr, 1);
    return true;
}

} // namespace

void irc_register_steps(Relay& r, int steps)
{
    BotSettings& s = r.settings;
    Platform& p = *r.platform;
    if (steps & kStepNick) {
        send_nick(r);
        login_read(r);
    }
    if (steps & kStepUser) {
        send_user(r);
        p.sleep_ms(1000);
        login_read(r);
    }
    if ((steps & kStepQAuth) && send_qauth(r)) {
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
    // Capability negotiation first: the server then holds the registration back
    // until it is ended.
    const bool sasl = sasl_wanted(r);
    if (sasl)
        sasl_begin(r);
    write_buf(r, "PASS", cstr(s.bouncerpass), nullptr, nullptr, nullptr, nullptr, 1);
    login_read(r);
    send_nick(r);
    login_read(r);
    send_user(r);
    login_read(r);
    if (sasl)
        sasl_finish(r);
    if (send_qauth(r))
        login_read(r);
    send_join(r, s.channel, s.channelkey);
    login_read(r, true);
    LineBuf banner;
    banner.start(kBannerColour).addf(" %s", kBanner);
    write_buf(r, "PRIVMSG", cstr(s.channel), banner.c_str(), nullptr, nullptr, nullptr, 1);
    login_read(r, true);
}

void open_query_socket(Relay& r)
{
    const BotSettings& s = r.settings;
    if (r.query.queryopen || !s.serverhost || !s.serverport)
        return;
    int rc = open_udp(r, cstr(s.serverhost), cstr(s.serverport), UdpFor::query);
    trace(r, 11, "UDP Connect returned %d\r\n", r.query.querysocket);
    if (rc >= 0)
        r.query.queryopen = 1;
    else
        console_note(r, "UDP Connect returned %d\n", r.query.querysocket);
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
            irc.lastinput = r.platform->now();
            irc.probesent = 0;
            irc.userhostlen = 0;
            irc.casemapping = kCaseRfc1459;
            irc.utf8only = 0;
            trace(r, 11, "Connect returned %d\r\n", irc.ircsocket);
            irc.ircconnected = 1;
        } else {
            console_printf(r, "\nConnect returned %d\n", irc.ircsocket);
            trace(r, 11, "Connect returned %d\r\n", irc.ircsocket);
            irc.ircconnected = 0;
        }
    }
    open_query_socket(r);
    if (!s.servermode && !r.query.localopen) {
        int rc = open_udp(r, kLocalClientHost, kLocalClientPort, UdpFor::local);
        trace(r, 11, "UDP Local Connect returned %d\r\n", r.query.localsocket);
        if (rc >= 0)
            r.query.localopen = 1;
        else
            console_note(r, "UDP Local Connect returned %d\n", r.query.localsocket);
    }
    if (!nested) {
        const bool had_irc = irc.ircconnected != 0;
        irc_login(r);
        irc.connecting = 0;
        // The connection broke during the login: connect again at once, as after
        // any other loss, rather than running deaf until the periodic tick.
        if (had_irc && !irc.ircconnected)
            irc.lost = 1;
    }
}
