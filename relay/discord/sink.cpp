#include "relay/discord/sink.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "relay/base/charset.h"
#include "relay/relay.h"
#include "relay/discord/format.h"

namespace {

constexpr long long kRequestTimeoutMs = 15000;
constexpr long long kBackoffFirstMs = 1000;
constexpr long long kBackoffMaxMs = 60000;
constexpr const char* kBlockOpen = "```ansi\n";
constexpr const char* kBlockClose = "\n```";

// Takes up the webhook of the settings when it changed or the colour file was
// read again (which also lets a stopped sink try again).
void configure(Relay& r)
{
    DiscordSink& d = r.discord;
    const BotSettings& s = r.settings;
    const std::string url = s.discordwebhook ? *s.discordwebhook : std::string();
    if (d.loads == r.colours.loads && d.url == url)
        return;
    const bool same = d.url == url;
    d.loads = r.colours.loads;
    d.plain = s.discordplain != 0;
    d.stopped = false;
    if (same)
        return;
    // Another webhook (or none): what waited for the old one is not sent.
    d.url = url;
    d.queue.clear();
    d.batch.clear();
    d.lost = 0;
    d.failures = 0;
    d.notbefore_ms = 0;
    if (!url.empty())
        trace(r, 11, "Discord webhook set\r\n");
}

// Seconds given as a number in JSON or a header, in milliseconds (at least 1).
long long seconds_ms(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0)
        return 1000;
    return std::max<long long>(1, static_cast<long long>(std::ceil(std::min(seconds, 3600.0) * 1000.0)));
}

bool header_seconds(const HttpAnswer& a, const char* name, double& out)
{
    const std::string* v = a.header(name);
    if (!v)
        return false;
    char* end = nullptr;
    out = std::strtod(v->c_str(), &end);
    return end != v->c_str();
}

// The wait a 429 asks for: retry_after of the body (seconds), else the header.
long long retry_after_ms(const HttpAnswer& a)
{
    const nlohmann::json body = nlohmann::json::parse(a.body, nullptr, false);
    if (body.is_object() && body.contains("retry_after") && body["retry_after"].is_number())
        return seconds_ms(body["retry_after"].get<double>());
    double s = 0;
    if (header_seconds(a, "retry-after", s))
        return seconds_ms(s);
    return 1000;
}

void take_answer(Relay& r, const HttpAnswer& a)
{
    DiscordSink& d = r.discord;
    const long long now = r.platform->now_ms();
    if (a.status >= 200 && a.status < 300) {
        d.sent += static_cast<long long>(d.batch.size());
        d.batch.clear();
        d.failures = 0;
        // The bucket of this webhook: when it is empty, wait for its reset.
        double remaining = 1, reset_after = 0;
        if (header_seconds(a, "x-ratelimit-remaining", remaining) && remaining <= 0 &&
            header_seconds(a, "x-ratelimit-reset-after", reset_after))
            d.notbefore_ms = now + seconds_ms(reset_after);
        return;
    }
    if (a.status == 429) {
        // Rate limited (this bucket or the global limit): the same batch again
        // once the wait asked for is over.
        const long long wait = retry_after_ms(a);
        trace(r, 11, "Discord rate limit: waiting %lld ms\r\n", wait);
        d.notbefore_ms = now + wait;
        return;
    }
    if (a.status == 0 || a.status >= 500) {
        // Discord or the way there is in trouble: again after a growing pause.
        const long long pause = std::min(kBackoffMaxMs, kBackoffFirstMs << std::min(d.failures, 6));
        ++d.failures;
        trace(r, 11, "Discord request failed (%d %s): again in %lld ms\r\n", a.status, a.error.c_str(), pause);
        d.notbefore_ms = now + pause;
        return;
    }
    // Any other answer means this webhook will not take the reports (deleted,
    // a wrong token, a malformed address): said once, then quiet.
    console_printf(r, "Discord refused the reports (HTTP %d): reports to Discord stop until the colour file is read again.\n",
                   a.status);
    d.stopped = true;
    d.queue.clear();
    d.batch.clear();
    d.lost = 0;
}

std::string notice_of_loss(long long lost)
{
    return "(" + std::to_string(lost) + (lost == 1 ? " report line" : " report lines") +
           " lost: Discord was too slow)";
}

// Fills the batch from the queue: as many lines as fit one message.
void fill_batch(DiscordSink& d)
{
    const std::size_t frame = d.plain ? 0 : std::char_traits<char>::length(kBlockOpen) + std::char_traits<char>::length(kBlockClose);
    std::size_t size = frame;
    if (d.lost > 0) {
        d.batch.push_back(notice_of_loss(d.lost));
        size += d.batch.back().size();
        d.lost = 0;
    }
    while (!d.queue.empty()) {
        std::string& line = d.queue.front();
        const std::size_t need = line.size() + (d.batch.empty() ? 0 : 1);
        if (size + need > kDiscordMessageMax) {
            if (!d.batch.empty())
                break;
            // One line longer than a message: cut it, never inside a character.
            line.resize(kDiscordMessageMax - frame);
            line.resize(line.size() - utf8_torn_tail(line));
        }
        size += line.size() + (d.batch.empty() ? 0 : 1);
        d.batch.push_back(std::move(line));
        d.queue.pop_front();
    }
}

// Message length counts characters; the text is UTF-8.
std::string message_of(const DiscordSink& d)
{
    std::string text = d.plain ? std::string() : std::string(kBlockOpen);
    for (std::size_t i = 0; i < d.batch.size(); ++i) {
        if (i)
            text += '\n';
        text += d.batch[i];
    }
    if (!d.plain)
        text += kBlockClose;
    return text;
}

void send_batch(Relay& r)
{
    DiscordSink& d = r.discord;
    nlohmann::json body;
    body["content"] = message_of(d);
    // No name or chat line may ping anybody.
    body["allowed_mentions"] = {{"parse", nlohmann::json::array()}};
    const std::string json = body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    d.request = r.platform->http_post(d.url, json, kRequestTimeoutMs);
    ++d.requests;
    trace(r, 101, "Discord: %zu lines, %zu bytes\r\n", d.batch.size(), json.size());
    if (d.request < 0) {
        HttpAnswer failed;
        failed.error = "request not started";
        take_answer(r, failed);
    }
}

// When the waiting lines are to go: a second after the newest one. While more
// log lines wait to be handled a burst of events is under way (its reports come
// one IRC pause apart): its lines wait for its end, at most 45 seconds. A
// whole message waiting, or a batch to send again, goes at once.
long long batch_due_ms(const Relay& r)
{
    const DiscordSink& d = r.discord;
    if (!d.batch.empty())
        return 0;
    if (d.queue.empty() && d.lost == 0)
        return -1;
    std::size_t size = 0;
    for (const std::string& line : d.queue) {
        size += line.size() + 1;
        if (size >= kDiscordMessageMax)
            return 0;
    }
    if (log_lines_waiting(r.log))
        return std::max(d.lastline_ms + kDiscordBatchMs, d.firstline_ms + kDiscordBatchMaxMs);
    return d.lastline_ms + kDiscordBatchMs;
}

} // namespace

bool discord_webhook_allowed(const std::string& url)
{
    if (url.rfind("https://", 0) == 0)
        return url.size() > 8;
    if (url.rfind("http://", 0) != 0)
        return false;
    // Plain HTTP only to this machine (a stand-in for tests).
    const std::string rest = url.substr(7);
    const std::string hostport = rest.substr(0, rest.find_first_of("/?#"));
    if (hostport.rfind("[::1]", 0) == 0)
        return hostport.size() == 5 || hostport[5] == ':';
    const std::string host = hostport.substr(0, hostport.find(':'));
    if (host == "localhost")
        return true;
    // 127.a.b.c, four numbers only.
    int parts = 0;
    std::size_t at = 0;
    while (at <= host.size()) {
        const std::size_t dot = host.find('.', at);
        const std::string part = host.substr(at, dot == std::string::npos ? std::string::npos : dot - at);
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos)
            return false;
        if (parts == 0 && part != "127")
            return false;
        ++parts;
        if (dot == std::string::npos)
            break;
        at = dot + 1;
    }
    return parts == 4;
}

void discord_line(Relay& r, const char* text)
{
    configure(r);
    DiscordSink& d = r.discord;
    if (d.url.empty() || d.stopped || !text)
        return;
    std::string_view irc(text);
    if (!irc.empty() && irc.front() == ':')
        irc.remove_prefix(1);
    // The relay's texts and the game's names may be Latin-1; Discord takes UTF-8.
    std::string utf8 = utf8_valid(irc) ? std::string(irc) : latin1_to_utf8(irc);
    const long long now = r.platform->now_ms();
    if (d.queue.empty())
        d.firstline_ms = now;
    d.queue.push_back(d.plain ? discord_plain(utf8) : discord_ansi(utf8));
    while (d.queue.size() > kDiscordQueueMax) {
        d.queue.pop_front();
        ++d.lost;
    }
    d.lastline_ms = now;
    discord_pump(r);
}

void discord_pump(Relay& r)
{
    DiscordSink& d = r.discord;
    if (d.url.empty() && !r.settings.discordwebhook)
        return;
    configure(r);
    if (d.request >= 0) {
        HttpAnswer a;
        if (!r.platform->http_result(d.request, a))
            return;
        d.request = -1;
        if (!d.url.empty() && !d.stopped)
            take_answer(r, a);
    }
    if (d.url.empty() || d.stopped)
        return;
    const long long now = r.platform->now_ms();
    const long long due = batch_due_ms(r);
    if (now < d.notbefore_ms || due < 0 || now < due)
        return;
    if (d.batch.empty())
        fill_batch(d);
    if (!d.batch.empty())
        send_batch(r);
}

long long discord_due_ms(const Relay& r)
{
    const DiscordSink& d = r.discord;
    if (d.url.empty() || d.stopped || d.request >= 0)
        return -1;
    const long long due = batch_due_ms(r);
    return due < 0 ? -1 : std::max(due, d.notbefore_ms);
}
