#include "tests/e2e/support/webhook_standin.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace e2e {

bool WebhookStandIn::start(const std::string& mode)
{
    const std::string portfile = dir_.file("webhook.port");
    if (!process_.start({"/usr/bin/python3", TIDEWATCH_SOURCE_DIR "/tests/e2e/support/webhook_standin.py", portfile,
                         dir_.file("webhook.record"), mode},
                        dir_.path(), dir_.file("webhook.out")))
        return false;
    for (int i = 0; i < 100; ++i) {
        std::ifstream f(portfile);
        if (f >> port_)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

std::string WebhookStandIn::url() const
{
    return "http://127.0.0.1:" + std::to_string(port_) + "/api/webhooks/123/secret-token";
}

std::vector<nlohmann::json> WebhookStandIn::messages(int* early) const
{
    std::vector<nlohmann::json> out;
    if (early)
        *early = 0;
    std::ifstream f(dir_.file("webhook.record"));
    std::string line;
    while (std::getline(f, line)) {
        const nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
        if (!entry.is_object())
            continue; // being written
        if (entry.contains("early") && early)
            ++*early;
        if (entry.contains("body"))
            out.push_back(entry["body"]);
    }
    return out;
}

std::vector<std::string> WebhookStandIn::lines() const
{
    std::vector<std::string> out;
    for (const nlohmann::json& body : messages()) {
        std::istringstream content(body.value("content", std::string()));
        std::string line;
        while (std::getline(content, line))
            out.push_back(line);
    }
    return out;
}

} // namespace e2e
