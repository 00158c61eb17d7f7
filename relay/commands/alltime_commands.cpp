// The all-time statistics for the owner (!top, !player) and in the game (lbot top,
// lbot player); there only while a statistics database is configured.
#include "relay/commands/alltime_commands.h"

#include <cstdlib>
#include <ctime>
#include <string>

#include "relay/base/line_buf.h"
#include "relay/base/text.h"
#include "relay/commands/args.h"
#include "relay/commands/console_commands.h"
#include "relay/commands/dispatch.h"
#include "relay/players/kill_count.h"
#include "relay/relay.h"
#include "relay/statsdb/statsdb.h"

namespace {

// The count asked for: none 10, at most 20; -1 when the word is no count.
int top_count(const ArgVector& args)
{
    const char* word = args.word(1);
    if (!word)
        return kTopDefault;
    char* end = nullptr;
    const long n = std::strtol(word, &end, 10);
    if (end == word || *end != 0 || n < 1)
        return -1;
    return n > kTopMost ? kTopMost : static_cast<int>(n);
}

std::string ratio_text(const StatsTotals& t)
{
    LineBuf b;
    if (t.deaths > 0)
        b.addf("%.2f", static_cast<double>(t.kills) / static_cast<double>(t.deaths));
    else
        b.add("-.--");
    return b.c_str();
}

std::string day_text(long long when)
{
    char buf[32] = "-";
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm tm{};
    if (when > 0 && gmtime_r(&t, &tm))
        std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
    return buf;
}

// Why there is nothing to show: the database's fault, or no rows yet.
std::string nothing_text(const Relay& r)
{
    if (!r.statsdb.fault.empty())
        return "statistics database unavailable: " + r.statsdb.fault;
    return "no all-time statistics yet";
}

} // namespace

int check_top(const Relay&, const ArgVector& args)
{
    return top_count(args) < 0 ? 6 : 0;
}

void cmd_top(Relay& r, const char* to, const ArgVector& args)
{
    const int n = top_count(args);
    const std::vector<StatsTotals> top = statsdb_top(r, n);
    reply_banner(r, to);
    if (top.empty()) {
        replyf(r, to, ":\0031,0 %s", nothing_text(r).c_str());
        return;
    }
    replyf(r, to, ":\0035,0 All-time top %d (kills/deaths ratio, team kills):", static_cast<int>(top.size()));
    int place = 0;
    for (const StatsTotals& t : top)
        replyf(r, to, ":\0031,0 %2d. \00312%s\0031 %lld/%lld %s TK %lld", ++place, t.name.c_str(), t.kills, t.deaths,
               ratio_text(t).c_str(), t.teamkills);
}

void cmd_player(Relay& r, const char* to, const ArgVector& args)
{
    const std::string name = join_words(args, 1);
    StatsTotals t;
    const bool found = statsdb_player(r, name, t);
    reply_banner(r, to);
    if (!found) {
        if (r.statsdb.fault.empty())
            replyf(r, to, ":\0031,0 No all-time statistics for %s", name.c_str());
        else
            replyf(r, to, ":\0031,0 %s", nothing_text(r).c_str());
        return;
    }
    const std::string weapon = t.favourite >= 0 ? weapon_name(t.favourite, r.settings.langout) : "-";
    replyf(r, to, ":\00312,0 %s\0031 kills %lld deaths %lld ratio %s team kills %lld suicides %lld", t.name.c_str(),
           t.kills, t.deaths, ratio_text(t).c_str(), t.teamkills, t.suicides);
    replyf(r, to, ":\0031,0 favourite weapon %s (%lld kills), first seen %s, last seen %s (UTC)", weapon.c_str(),
           t.favouritekills, day_text(t.first_seen).c_str(), day_text(t.last_seen).c_str());
}

void lbot_top(Relay& r, const ArgVector& args)
{
    const int n = top_count(args);
    if (n < 0) {
        console_reply(r, " TOP: give a number from 1 to 20^7...\n");
        return;
    }
    const std::vector<StatsTotals> top = statsdb_top(r, n);
    LineBuf line;
    if (top.empty()) {
        line.addf(" %s^7...\n", nothing_text(r).c_str());
        console_reply(r, line.c_str());
        return;
    }
    int place = 0;
    for (const StatsTotals& t : top) {
        line.clear();
        line.addf(" %d. ^4%s^7 %lld/%lld %s TK %lld\n", ++place, t.name.c_str(), t.kills, t.deaths,
                  ratio_text(t).c_str(), t.teamkills);
        console_reply(r, line.c_str());
    }
}

void lbot_player(Relay& r, const ArgVector& args)
{
    const std::string name = join_words(args, 1);
    LineBuf line;
    StatsTotals t;
    if (name.empty() || !statsdb_player(r, name, t)) {
        if (name.empty() || r.statsdb.fault.empty())
            line.addf(" NO ALL-TIME STATS FOR ^4%s^7...\n", name.c_str());
        else
            line.addf(" %s^7...\n", nothing_text(r).c_str());
        console_reply(r, line.c_str());
        return;
    }
    const std::string weapon = t.favourite >= 0 ? weapon_name(t.favourite, r.settings.langout) : "-";
    line.addf(" ^4%s^7 %lld/%lld %s TK %lld SK %lld, %s, seen %s to %s\n", t.name.c_str(), t.kills, t.deaths,
              ratio_text(t).c_str(), t.teamkills, t.suicides, weapon.c_str(), day_text(t.first_seen).c_str(),
              day_text(t.last_seen).c_str());
    console_reply(r, line.c_str());
}
