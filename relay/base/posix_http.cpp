#include "relay/base/posix_http.h"

#include <algorithm>
#include <cctype>

#include <curl/curl.h>

// One request: its easy handle, what it sends and what came back.
struct PosixHttp::Transfer {
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    std::string body;
    HttpAnswer answer;
    bool done = false;
    char error[CURL_ERROR_SIZE] = {};

    ~Transfer()
    {
        if (easy)
            curl_easy_cleanup(easy);
        if (headers)
            curl_slist_free_all(headers);
    }
};

namespace {

// An answer's body is small (an error text, a rate limit); more is not kept.
constexpr std::size_t kMaxBody = 65536;

std::size_t keep_body(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* answer = static_cast<HttpAnswer*>(user);
    const std::size_t n = size * count;
    if (answer->body.size() < kMaxBody)
        answer->body.append(data, std::min(n, kMaxBody - answer->body.size()));
    return n;
}

std::string trimmed(std::string s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.pop_back();
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    return s.substr(i);
}

std::size_t keep_header(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* answer = static_cast<HttpAnswer*>(user);
    const std::size_t n = size * count;
    std::string line(data, n);
    // A new status line (after a 100 Continue) starts the headers over.
    if (line.rfind("HTTP/", 0) == 0) {
        answer->headers.clear();
        return n;
    }
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && answer->headers.size() < 100) {
        std::string name = line.substr(0, colon);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        answer->headers.emplace_back(trimmed(name), trimmed(line.substr(colon + 1)));
    }
    return n;
}

} // namespace

PosixHttp::PosixHttp() = default;

PosixHttp::~PosixHttp()
{
    for (auto& [id, t] : transfers_)
        if (t->easy && !t->done)
            curl_multi_remove_handle(static_cast<CURLM*>(multi_), t->easy);
    transfers_.clear();
    if (multi_)
        curl_multi_cleanup(static_cast<CURLM*>(multi_));
}

int PosixHttp::post(const std::string& url, const std::string& json_body, long long timeout_ms)
{
    if (!multi_) {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            return -1;
        multi_ = curl_multi_init();
        if (!multi_)
            return -1;
    }
    auto t = std::make_unique<Transfer>();
    t->easy = curl_easy_init();
    if (!t->easy)
        return -1;
    t->body = json_body;
    t->headers = curl_slist_append(nullptr, "Content-Type: application/json");
    CURL* e = t->easy;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, t->headers);
    curl_easy_setopt(e, CURLOPT_POSTFIELDS, t->body.c_str());
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE, static_cast<long>(t->body.size()));
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Tidecore");
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout_ms));
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::min<long long>(timeout_ms, 10000)));
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, keep_body);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &t->answer);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, keep_header);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &t->answer);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t->error);
    if (curl_multi_add_handle(static_cast<CURLM*>(multi_), e) != CURLM_OK)
        return -1;
    const int id = next_++;
    transfers_[id] = std::move(t);
    ++running_;
    perform();
    return id;
}

bool PosixHttp::perform()
{
    CURLM* m = static_cast<CURLM*>(multi_);
    if (!m)
        return false;
    int still = 0;
    curl_multi_perform(m, &still);
    bool ended = false;
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(m, &left)) {
        if (msg->msg != CURLMSG_DONE)
            continue;
        for (auto& [id, t] : transfers_) {
            if (t->easy != msg->easy_handle || t->done)
                continue;
            t->done = true;
            --running_;
            ended = true;
            if (msg->data.result == CURLE_OK) {
                long status = 0;
                curl_easy_getinfo(t->easy, CURLINFO_RESPONSE_CODE, &status);
                t->answer.status = static_cast<int>(status);
            } else {
                t->answer.status = 0;
                t->answer.error = t->error[0] ? t->error : curl_easy_strerror(msg->data.result);
            }
            curl_multi_remove_handle(m, t->easy);
            break;
        }
    }
    return ended;
}

bool PosixHttp::result(int request, HttpAnswer& out)
{
    perform();
    auto it = transfers_.find(request);
    if (it == transfers_.end()) {
        out = HttpAnswer{};
        out.error = "no such request";
        return true;
    }
    if (!it->second->done)
        return false;
    out = std::move(it->second->answer);
    transfers_.erase(it);
    return true;
}

bool PosixHttp::wait(pollfd* extra, int count, long long timeout_ms)
{
    std::vector<curl_waitfd> fds(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        fds[static_cast<std::size_t>(i)].fd = extra[i].fd;
        fds[static_cast<std::size_t>(i)].events = static_cast<short>(extra[i].events);
        fds[static_cast<std::size_t>(i)].revents = 0;
    }
    int numfds = 0;
    curl_multi_poll(static_cast<CURLM*>(multi_), fds.data(), static_cast<unsigned>(count),
                    static_cast<int>(std::clamp<long long>(timeout_ms, 0, 3600000)), &numfds);
    for (int i = 0; i < count; ++i)
        extra[i].revents = fds[static_cast<std::size_t>(i)].revents;
    return perform();
}
