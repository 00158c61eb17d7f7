#include "relay/app/main_loop.h"

#include <string>

#include "relay/config/colours.h"
#include "relay/config/mapinfo.h"
#include "relay/relay.h"
#include "relay/statsdb/statsdb.h"
#include "relay/gamelog/follower.h"
#include "relay/gamelog/reports.h"
#include "relay/irc/output.h"
#include "relay/irc/sasl.h"
#include "relay/irc/session.h"
#include "relay/players/stats.h"
#include "relay/base/text.h"
#include "relay/query/status.h"

void start_relay(Relay& r, LoopState& loop)
{
    load_mapinfo(r, cstr(r.settings.mapfile));
    load_colours(r, cstr(r.settings.colorfile));
    const BotSettings& s = r.settings;
    console_note(r, "IRC connection: TLS %s, SASL %s\n",
                 !s.tls ? "off" : s.tlsfingerprint ? "on (pinned certificate)" : "on", sasl_wanted(r) ? "on" : "off");
    // While catching up on old lines the connection waits for the first tick or
    // the first line that must go out.
    if (r.settings.recoverlines == 0)
        connect_all(r);
    open_log(r);
    loop.tick = r.platform->now();
}

void send_status_block(Relay& r)
{
    const char* channel = cstr(r.settings.channel);
    const ColourStyles& c = r.colours;
    LineBuf line;

    if (!r.settings.silent) {
        line.start(kBannerColour).addf(" %s", kBanner);
        send_privmsg(r, channel, line.c_str(), 1);
        line.start(c.botinfo).add(" ").add(log_state_text(r));
        send_privmsg(r, channel, line.c_str(), 1);
    }

    if (r.settings.teammode) {
        std::string red = strip_colours(r.settings.osp, r.teams.redteamname.c_str());
        std::string blue = strip_colours(r.settings.osp, r.teams.blueteamname.c_str());
        line.start(c.botinfo).addf(" Team mode on:%c%d %s RED%c0%c%d %s BLUE", kColour, c.redteamcolor, red.c_str(),
                                   kColour, kColour, c.blueteamcolor, blue.c_str());
        send_privmsg(r, channel, line.c_str(), 0);
    }

    report_map(r, channel);
    report_gametype(r, channel);
    report_score(r, channel, 0);

    if (r.players.playercount != 0) {
        trace(r, 101, "show_stats nop=%d %d >= %d\r\n", r.players.playercount, r.game.fragcount, r.settings.statsafter);
        if (r.settings.statsafter != 0 && (r.settings.showstatsafter & 16))
            show_stats(r, channel);
    }

    if (r.query.queryopen) {
        line.start(c.gamescorehead).add(" Server stats:");
        send_privmsg(r, channel, line.c_str(), 0);
        line.start(c.default_).add(" ");
        if (r.query.sv_hostname)
            line.add(*r.query.sv_hostname);
        line.addf("%c%c%s [%s:%s]", kPlain, kColour, c.default_.c_str(), cstr(r.settings.serverhost) ? cstr(r.settings.serverhost) : "",
                  cstr(r.settings.serverport) ? cstr(r.settings.serverport) : "");
        send_privmsg(r, channel, line.c_str(), 0);
        r.game.silentquery = 0;
        run_status_query(r);
    }
}

namespace {

// In client mode the game server is asked (without a word to IRC) every tenth kill
// and every fiftieth log line, once each time a counter reaches such a value.
void silent_query_milestones(Relay& r, LoopState& loop)
{
    int frags = r.game.fragcount;
    int lines = r.log.linesread;
    bool frag_milestone = frags != loop.last_query_fragcount && frags != 0 && frags % 10 == 0;
    bool line_milestone = lines != loop.last_query_linesread && lines != 0 && lines % 50 == 0;
    loop.last_query_fragcount = frags;
    loop.last_query_linesread = lines;
    if (frag_milestone || line_milestone) {
        ++loop.silent_queries;
        quiet_status_query(r);
    }
}

// Keeps a watch on the file the follower reads. True when a new watch was just
// made: the file may have changed before it, so the pass must not wait.
bool keep_log_watch(Relay& r, LoopState& loop)
{
    Platform& p = *r.platform;
    const bool current = r.log.logopen && loop.watchtried && loop.watched == r.log.identity;
    if (current)
        return false;
    if (loop.logwatch >= 0)
        p.unwatch_file(loop.logwatch);
    loop.logwatch = -1;
    loop.watchtried = false;
    if (!r.log.logopen)
        return false;
    loop.logwatch = p.watch_file(*r.settings.logfile);
    loop.watchtried = true;
    loop.watched = r.log.identity;
    return loop.logwatch >= 0;
}

// Waits for IRC input, a change of the log, or the next deadline of the loop: the
// periodic tick, the session's upkeep, or the next look at the log.
void wait_for_work(Relay& r, LoopState& loop)
{
    Platform& p = *r.platform;
    const long long now = p.now_ms();
    long long deadline = (loop.tick + 61) * 1000;
    const long long upkeep = irc_upkeep_due(r);
    if (upkeep < deadline / 1000)
        deadline = upkeep * 1000;
    const long long look = now + (loop.logwatch >= 0 ? kWatchedLogPollMs : kLogPollMs);
    if (look < deadline)
        deadline = look;
    for (long long due : {sinks_due_ms(r), statsdb_due_ms(r)})
        if (due >= 0 && due < deadline)
            deadline = due;
    const int sock = r.irc.ircconnected ? r.irc.ircsocket : -1;
    p.wait_for_input(sock, loop.logwatch, deadline - now);
}

// While the log is caught up on with reports held back, a pass takes a few
// microseconds and the IRC socket, asked on each, has nothing nearly every time:
// it is asked on every kCatchUpAsks-th such pass then (a fraction of a millisecond
// apart). Bytes that came, lines still waiting and a pass that waited for work
// have it asked again at once.
constexpr int kCatchUpAsks = 64;

bool irc_input_due(const Relay& r, LoopState& loop)
{
    if (!reports_held_back(r) || irc_lines_waiting(r) || ++loop.quietpasses >= kCatchUpAsks) {
        loop.quietpasses = 0;
        return true;
    }
    return false;
}

} // namespace

void relay_pass(Relay& r, LoopState& loop)
{
    Platform& p = *r.platform;
    bool busy = false;

    // 1. Periodic tick: reconnect when down, status block when idle long enough.
    long long now = p.now();
    if (now - loop.tick > 60) {
        if (!r.irc.ircconnected)
            connect_all(r);
        if (r.irc.ircconnected && r.irc.ircjoined &&
            !(r.settings.servermode && p.now() - r.game.lastactivity >= 600))
            send_status_block(r);
        loop.tick = p.now() + 10;
    }

    // 2. IRC input, after the session's upkeep (reconnection, repairs, liveness).
    irc_upkeep(r);
    if (r.irc.ircconnected && irc_input_due(r, loop)) {
        int got = read_buf(r);
        if (got < 0)
            exit_program(r, kExitFatal);
        take_irc_lines(r);
        if (got > 0 || irc_lines_waiting(r)) {
            busy = true;
            loop.quietpasses = kCatchUpAsks;
        }
    }

    // 3. The log.
    if (r.log.logopen) {
        int bytes = read_log(r);
        trace(r, 1001, "%d read\r\n", bytes);
        int before = r.log.linesread;
        if (take_log_lines(r) > 0)
            loop.tick = p.now() + 10;
        if (bytes > 0 || r.log.linesread != before)
            busy = true;
        if (r.settings.servermode)
            r.game.fragcount = 0;
        else
            silent_query_milestones(r, loop);
    } else {
        open_log(r);
    }

    // 4. The report sinks and the all-time statistics.
    pump_sinks(r);
    statsdb_pass(r);

    // A pass that handled something goes straight on (pacing pauses happen where
    // lines are sent); one that found nothing waits for something to happen.
    if (keep_log_watch(r, loop))
        busy = true;
    if (!busy) {
        loop.quietpasses = kCatchUpAsks;
        wait_for_work(r, loop);
    }
}

void run_relay(Relay& r)
{
    LoopState loop;
    start_relay(r, loop);
    for (;;)
        relay_pass(r, loop);
}
