#include "relay/status/status_page.h"

#include <algorithm>
#include <vector>

#include "relay/base/charset.h"
#include "relay/relay.h"
#include "relay/base/text.h"
#include "relay/gamelog/reports.h"

namespace {

std::string utf8(std::string_view text)
{
    return status_utf8(text);
}

// Styles and the script: fixed text, no data in it. The script builds every
// element with textContent, so nothing from status.json is ever read as HTML.
constexpr const char* kHead = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Tidecore live</title>
<style>
body{margin:0;padding:12px;background:#15181d;color:#e6e6e6;font:15px/1.4 system-ui,sans-serif}
h1{font-size:18px;margin:0 0 8px}
.game{color:#aab;margin-bottom:10px}
.teams{display:flex;gap:8px;margin-bottom:12px}
.team{flex:1;padding:8px;border-radius:6px;background:#222831}
.team.red{border-left:5px solid #e04040}.team.blue{border-left:5px solid #4070e0}
.team .score{font-size:28px;font-weight:bold}
table{width:100%;border-collapse:collapse;margin-bottom:12px}
th,td{padding:4px 6px;text-align:right;border-bottom:1px solid #2c323b}
th:first-child,td:first-child{text-align:left;word-break:break-all}
tr.red td:first-child{border-left:4px solid #e04040}tr.blue td:first-child{border-left:4px solid #4070e0}
tr.spectator td:first-child{border-left:4px solid #888}
ol{padding-left:20px;margin:0}li{margin:2px 0;word-break:break-word}
.when{color:#889;font-size:12px;margin-right:6px}
.c0{color:#777}.c1{color:#f44}.c2{color:#4d4}.c3{color:#ee4}.c4{color:#68f}.c5{color:#4ee}.c6{color:#e4e}.c7{color:#eee}.c8{color:#f90}.c9{color:#aaa}
footer{color:#667;font-size:12px}
</style>
</head>
<body>
)";

constexpr const char* kScript = R"(<script>
(function () {
  function el(tag, cls, text) {
    var e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined && text !== null) e.textContent = String(text);
    return e;
  }
  function coloured(name) {
    var box = el('span'), cls = 'c7', run = '';
    function flush() { if (run) { box.appendChild(el('span', cls, run)); run = ''; } }
    for (var i = 0; i < name.length; i++) {
      var c = name.charAt(i), n = name.charAt(i + 1);
      if (c === '^' && n >= '0' && n <= '9') { flush(); cls = 'c' + n; i++; } else { run += c; }
    }
    flush();
    return box;
  }
  function clock(t) { var d = new Date(t * 1000); return d.toLocaleTimeString(); }
  function draw(s) {
    var g = s.game || {};
    document.getElementById('game').textContent =
      (g.map || 'unknown map') + (g.gametype ? ' \u00b7 ' + g.gametype : '') + (g.clock ? ' \u00b7 ' + g.clock : '');
    ['red', 'blue'].forEach(function (side) {
      var t = g[side] || {}, box = document.getElementById(side);
      box.textContent = '';
      box.appendChild(coloured(t.name_coloured || t.name || side));
      box.appendChild(el('div', 'score', t.score));
    });
    var body = document.getElementById('players');
    body.textContent = '';
    (s.players || []).forEach(function (p) {
      var tr = el('tr', p.team);
      var td = el('td'); td.appendChild(coloured(p.name_coloured || p.name)); tr.appendChild(td);
      tr.appendChild(el('td', null, p.team));
      tr.appendChild(el('td', null, p.kills));
      tr.appendChild(el('td', null, p.deaths));
      tr.appendChild(el('td', null, p.teamkills));
      body.appendChild(tr);
    });
    var list = document.getElementById('events');
    list.textContent = '';
    (s.events || []).slice().reverse().forEach(function (e) {
      var li = el('li'); li.appendChild(el('span', 'when', clock(e.time))); li.appendChild(document.createTextNode(e.text));
      list.appendChild(li);
    });
    document.getElementById('updated').textContent = clock((s.relay || {}).updated || 0);
  }
  function load() {
    fetch('status.json', {cache: 'no-store'}).then(function (r) { return r.json(); }).then(draw).catch(function () {});
  }
  load();
  setInterval(load, 5000);
})();
</script>
)";

std::string clock_of(long long t)
{
    char buf[16];
    const long long day = ((t % 86400) + 86400) % 86400;
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", day / 3600, day / 60 % 60, day % 60);
    return buf;
}

} // namespace

std::string status_utf8(std::string_view text)
{
    return utf8_valid(text) ? std::string(text) : latin1_to_utf8(text);
}

const char* status_team_word(int team)
{
    switch (team) {
    case kTeamRed: return "red";
    case kTeamBlue: return "blue";
    case kTeamSpectator: return "spectator";
    default: return "none";
    }
}

std::vector<const PlayerRecord*> players_by_kills(const Relay& r)
{
    std::vector<const PlayerRecord*> out;
    for (int i = 0; i < r.players.playercount; ++i)
        if (r.players.slots[i].id != -1 && r.players.slots[i].name)
            out.push_back(&r.players.slots[i]);
    std::stable_sort(out.begin(), out.end(), [](const PlayerRecord* a, const PlayerRecord* b) {
        return a->kills != b->kills ? a->kills > b->kills : a->deaths < b->deaths;
    });
    return out;
}

std::string html_escape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            // Control bytes have no place in a page.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
                break;
            out += c;
        }
    }
    return out;
}

std::string html_coloured(std::string_view name)
{
    std::string out = "<span>";
    std::string run;
    char colour = '7';
    auto flush = [&] {
        if (!run.empty())
            out += std::string("<span class=\"c") + colour + "\">" + html_escape(run) + "</span>";
        run.clear();
    };
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '^' && i + 1 < name.size() && name[i + 1] >= '0' && name[i + 1] <= '9') {
            flush();
            colour = name[++i];
        } else {
            run += name[i];
        }
    }
    flush();
    return out + "</span>";
}

std::string render_status_page(const Relay& r)
{
    const GameState& g = r.game;
    std::string page = kHead;
    page += "<h1>Live match</h1>\n<div class=\"game\" id=\"game\">";
    page += html_escape(utf8(g.map ? *g.map : std::string("unknown map")));
    if (g.gametype)
        page += std::string(" &middot; ") + html_escape(gametype_name(g.gametype));
    if (!g.clocktext.empty())
        page += " &middot; " + html_escape(utf8(g.clocktext));
    page += "</div>\n<div class=\"teams\">\n";
    const struct {
        const char* side;
        const std::string& name;
        int score;
    } teams[] = {{"red", r.teams.redteamname, r.teams.redscore()}, {"blue", r.teams.blueteamname, r.teams.bluescore()}};
    for (const auto& t : teams)
        page += std::string("<div class=\"team ") + t.side + "\" id=\"" + t.side + "\">" + html_coloured(utf8(t.name)) +
                "<div class=\"score\">" + std::to_string(t.score) + "</div></div>\n";
    page += "</div>\n<table>\n<thead><tr><th>Player</th><th>Team</th><th>Kills</th><th>Deaths</th><th>Team kills</th></tr></thead>\n"
            "<tbody id=\"players\">\n";
    for (const PlayerRecord* p : players_by_kills(r)) {
        const char* team = status_team_word(p->team);
        page += std::string("<tr class=\"") + team + "\"><td>" + html_coloured(utf8(p->coloured ? *p->coloured : *p->name)) +
                "</td><td>" + team + "</td><td>" + std::to_string(p->kills) + "</td><td>" + std::to_string(p->deaths) +
                "</td><td>" + std::to_string(p->teamkills) + "</td></tr>\n";
    }
    page += "</tbody>\n</table>\n<h1>Latest</h1>\n<ol id=\"events\" reversed>\n";
    for (auto it = r.status.events.rbegin(); it != r.status.events.rend(); ++it)
        page += "<li><span class=\"when\">" + clock_of(it->time) + " UTC</span>" + html_escape(utf8(it->text)) + "</li>\n";
    page += "</ol>\n<footer>Tidecore &middot; updated <span id=\"updated\">" + clock_of(r.platform->now()) +
            " UTC</span></footer>\n";
    page += kScript;
    page += "</body>\n</html>\n";
    return page;
}
