// A Discord webhook stand-in (tests/e2e/support/webhook_standin.py) on 127.0.0.1:
// it keeps Discord's stated limits, fails now and then by mode, and records the
// messages it accepted.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/e2e/support/process.h"
#include "tests/e2e/support/temp_dir.h"

namespace e2e {

class WebhookStandIn {
public:
    explicit WebhookStandIn(const TempDir& dir) : dir_(dir) {}
    // mode: "limits", "silent" (never answers) or "refuse" (404).
    bool start(const std::string& mode);
    void stop() { process_.stop(1000); }
    std::string url() const;
    // The accepted message bodies and the number of requests made while a wait
    // was due, as recorded so far.
    std::vector<nlohmann::json> messages(int* early = nullptr) const;
    // The lines of the accepted messages, in order.
    std::vector<std::string> lines() const;

private:
    const TempDir& dir_;
    Process process_;
    int port_ = 0;
};

} // namespace e2e
