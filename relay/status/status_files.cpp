#include "relay/status/status_files.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include <nlohmann/json.hpp>

#include "relay/base/charset.h"
#include "relay/relay.h"
#include "relay/statsdb/statsdb.h"
#include "relay/base/text.h"
#include "relay/gamelog/reports.h"
#include "relay/status/status_page.h"

namespace {

using json = nlohmann::json;

constexpr const char* kVersion = "1.2";
constexpr long long kRetryMs = 5000; // after a failed write

std::string utf8(std::string_view text)
{
    return status_utf8(text);
}

json team_json(const Relay& r, const std::string& name, const Text& clantag, int score)
{
    const int osp = r.settings.osp;
    return {{"name", utf8(strip_colours(osp, name.c_str()))},
            {"name_coloured", utf8(name)},
            {"score", score},
            {"clantag", clantag ? json(utf8(strip_colours(osp, clantag->c_str()))) : json(nullptr)}};
}

// A cheap look at what the files show: when none of it moved, nothing is written.
uint64_t fingerprint(const Relay& r)
{
    uint64_t h = 1469598103934665603ULL;
    auto mix = [&h](long long v) { h = (h ^ static_cast<uint64_t>(v)) * 1099511628211ULL; };
    mix(r.log.linesread);
    mix(r.log.bytesconsumed);
    mix(r.log.logopen);
    mix(r.irc.ircconnected);
    mix(r.irc.ircjoined);
    mix(r.status.reports);
    mix(r.query.answers);
    mix(r.teams.redscore());
    mix(r.teams.bluescore());
    mix(r.players.playercount);
    mix(r.kills.killstotal + r.kills.teamkillstotal + r.kills.suicidestotal);
    mix(static_cast<long long>(r.teams.redteamname.size() * 131 + r.teams.blueteamname.size()));
    mix(r.game.map ? static_cast<long long>(r.game.map->size()) : -1);
    mix(r.game.gametype);
    return h;
}

void write_files(Relay& r)
{
    StatusFiles& st = r.status;
    const std::pair<const char*, std::string> files[] = {
        {"status.json", status_json_text(r)},
        {"metrics.prom", status_metrics_text(r)},
        {"index.html", status_page_text(r)},
    };
    for (const auto& [name, text] : files) {
        std::string why;
        if (!r.platform->replace_file(st.dir + "/" + name, text, why)) {
            if (!st.failing)
                console_printf(r, "Cannot write the status file %s/%s: %s (trying again).\n", st.dir.c_str(), name,
                               why.c_str());
            trace(r, 11, "status file %s: %s\r\n", name, why.c_str());
            st.failing = true;
            return;
        }
    }
    if (st.failing)
        console_printf(r, "The status files in %s are written again.\n", st.dir.c_str());
    st.failing = false;
    st.dirty = false;
}

// Takes up the directory of the settings; false while there is none to use.
bool configured(Relay& r)
{
    StatusFiles& st = r.status;
    const std::string dir = r.settings.statusdir ? *r.settings.statusdir : std::string();
    if (dir != st.dir) {
        st.dir = dir;
        st.refused = false;
        st.failing = false;
        st.dirty = true;
        st.written_ms = 0;
    }
    if (st.dir.empty())
        return false;
    if (st.started == 0)
        st.started = r.platform->now();
    return true;
}

} // namespace

void status_report(Relay& r, const char* text)
{
    if (!r.settings.statusdir || !text)
        return;
    StatusFiles& st = r.status;
    ++st.reports;
    std::string_view line(text);
    if (!line.empty() && line.front() == ':')
        line.remove_prefix(1);
    st.events.push_back({r.platform->now(), strip_irc_codes(line)});
    while (st.events.size() > kStatusEvents)
        st.events.pop_front();
    st.dirty = true;
}

void status_pump(Relay& r)
{
    if (!r.settings.statusdir && r.status.dir.empty())
        return;
    if (!configured(r))
        return;
    StatusFiles& st = r.status;
    const uint64_t fp = fingerprint(r);
    if (fp != st.fingerprint) {
        st.fingerprint = fp;
        st.dirty = true;
    }
    const long long now = r.platform->now_ms();
    const long long gap = st.failing ? kRetryMs : st.dirty ? kStatusMinGapMs : kStatusRefreshMs;
    if (now - st.written_ms < gap)
        return;
    st.written_ms = now;
    FileStat where = r.platform->file_stat(st.dir);
    if (!where.exists || where.regular) {
        if (!st.refused)
            console_printf(r, "The status directory %s is not a directory: no status files until it is.\n",
                           st.dir.c_str());
        st.refused = true;
        st.failing = true;
        return;
    }
    st.refused = false;
    write_files(r);
}

long long status_due_ms(const Relay& r)
{
    const StatusFiles& st = r.status;
    if (!r.settings.statusdir)
        return -1;
    if (st.dir != *r.settings.statusdir)
        return 0; // a directory not taken up yet: at once
    const long long gap = st.failing ? kRetryMs : st.dirty ? kStatusMinGapMs : kStatusRefreshMs;
    return st.written_ms + gap;
}

std::string status_json_text(const Relay& r)
{
    const BotSettings& s = r.settings;
    const StatusFiles& st = r.status;
    const int osp = s.osp;
    const long long now = r.platform->now();
    json j;
    j["schema"] = 1;
    j["relay"] = {
        {"version", kVersion},
        {"started", st.started},
        {"updated", now},
        {"mode", s.servermode ? "server" : "client"},
        {"irc", {{"connected", r.irc.ircconnected != 0}, {"joined", r.irc.ircjoined != 0},
                 {"channel", s.channel ? json(utf8(*s.channel)) : json(nullptr)}}},
        {"log", {{"open", r.log.logopen != 0}, {"lines_read", r.log.linesread},
                 {"last_line", r.log.lastline ? json(r.log.lastline) : json(nullptr)}}},
        {"reports_sent", st.reports},
    };
    const GameState& g = r.game;
    j["game"] = {
        {"map", g.map ? json(utf8(*g.map)) : json(nullptr)},
        {"gametype", g.gametype ? json(gametype_name(g.gametype)) : json(nullptr)},
        {"clock", utf8(g.clocktext)},
        {"timelimit", g.timelimit > 0.001 ? json(g.timelimit) : json(nullptr)},
        {"scorelimit", g.scorelimit > 0 ? json(g.scorelimit) : json(nullptr)},
        {"red", team_json(r, r.teams.redteamname, r.teams.redclantag, r.teams.redscore())},
        {"blue", team_json(r, r.teams.blueteamname, r.teams.blueclantag, r.teams.bluescore())},
    };
    json players = json::array();
    for (const PlayerRecord* p : players_by_kills(r)) {
        const std::string& coloured = p->coloured ? *p->coloured : *p->name;
        json one = {{"name", utf8(strip_colours(osp, coloured.c_str()))},
                    {"name_coloured", utf8(coloured)},
                    {"team", status_team_word(p->team)},
                    {"kills", p->kills},
                    {"deaths", p->deaths},
                    {"teamkills", p->teamkills},
                    {"suicides", p->suicides}};
        if (p->queried) {
            one["score"] = p->score;
            one["ping"] = p->ping;
        }
        players.push_back(std::move(one));
    }
    j["players"] = std::move(players);
    const QueryState& q = r.query;
    j["server"] = {
        {"hostname", q.sv_hostname ? json(utf8(strip_irc_codes(*q.sv_hostname))) : json(nullptr)},
        {"address", s.serverhost ? json(utf8(*s.serverhost + ":" + (s.serverport ? *s.serverport : std::string()))) : json(nullptr)},
        {"last_answer", q.lastanswer ? json(q.lastanswer) : json(nullptr)},
    };
    j["totals"] = {{"kills", r.kills.killstotal}, {"teamkills", r.kills.teamkillstotal}, {"suicides", r.kills.suicidestotal}};
    if (s.statsdb) {
        // The all-time top 10 as of the statistics' last write.
        json top = json::array();
        for (const StatsTotals& t : r.statsdb.top)
            top.push_back({{"name", utf8(t.name)},
                           {"kills", t.kills},
                           {"deaths", t.deaths},
                           {"teamkills", t.teamkills},
                           {"suicides", t.suicides},
                           {"last_seen", t.last_seen}});
        j["alltime_top"] = std::move(top);
    }
    json events = json::array();
    for (const StatusEvent& e : st.events)
        events.push_back({{"time", e.time}, {"text", utf8(e.text)}});
    j["events"] = std::move(events);
    return j.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string status_metrics_text(const Relay& r)
{
    const long long now = r.platform->now();
    std::string out;
    char buf[256];
    auto metric = [&](const char* name, const char* type, const char* help, const std::vector<std::pair<std::string, long long>>& series) {
        out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
        for (const auto& [labels, value] : series) {
            std::snprintf(buf, sizeof buf, "%s%s %lld\n", name, labels.c_str(), value);
            out += buf;
        }
    };
    metric("tidecore_up", "gauge", "1 while the relay runs and keeps this file.", {{"", 1}});
    metric("tidecore_start_time_seconds", "gauge", "When the relay started, in Unix seconds.", {{"", r.status.started}});
    metric("tidecore_irc_connected", "gauge", "1 while the relay is connected to the IRC server.", {{"", r.irc.ircconnected != 0}});
    metric("tidecore_irc_joined", "gauge", "1 while the relay is in its channel.", {{"", r.irc.ircjoined != 0}});
    metric("tidecore_log_open", "gauge", "1 while the game log is open.", {{"", r.log.logopen != 0}});
    metric("tidecore_log_lines_read_total", "counter", "Game log lines read.", {{"", r.log.linesread}});
    metric("tidecore_reports_sent_total", "counter", "Report lines sent to the IRC channel.", {{"", r.status.reports}});
    long long teams[4] = {0, 0, 0, 0};
    for (int i = 0; i < r.players.playercount; ++i) {
        const PlayerRecord& p = r.players.slots[i];
        if (p.id != -1 && p.name)
            ++teams[p.team >= kTeamRed && p.team <= kTeamSpectator ? p.team : 0];
    }
    metric("tidecore_players", "gauge", "Players the relay knows, by team.",
           {{"{team=\"red\"}", teams[kTeamRed]}, {"{team=\"blue\"}", teams[kTeamBlue]},
            {"{team=\"spectator\"}", teams[kTeamSpectator]}, {"{team=\"none\"}", teams[0]}});
    metric("tidecore_team_score", "gauge", "Team scores of the current map.",
           {{"{team=\"red\"}", r.teams.redscore()}, {"{team=\"blue\"}", r.teams.bluescore()}});
    metric("tidecore_kills_total", "counter", "Kills counted (team kills and suicides not included).", {{"", r.kills.killstotal}});
    metric("tidecore_teamkills_total", "counter", "Team kills counted.", {{"", r.kills.teamkillstotal}});
    metric("tidecore_suicides_total", "counter", "Suicides and deaths by the world counted.", {{"", r.kills.suicidestotal}});
    if (r.log.lastline)
        metric("tidecore_seconds_since_last_log_line", "gauge", "Seconds since the last game log line was read.",
               {{"", std::max(0LL, now - r.log.lastline)}});
    if (r.query.lastanswer)
        metric("tidecore_seconds_since_last_server_answer", "gauge", "Seconds since the game server last answered a status query.",
               {{"", std::max(0LL, now - r.query.lastanswer)}});
    return out;
}

std::string status_page_text(const Relay& r)
{
    return render_status_page(r);
}
