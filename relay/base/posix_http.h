// HTTP(S) requests for the POSIX platform: libcurl's multi interface, so that
// transfers move on inside the loop's waits and sleeps and never block it.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <poll.h>

#include "relay/base/platform.h"

class PosixHttp {
public:
    PosixHttp();
    ~PosixHttp();
    PosixHttp(const PosixHttp&) = delete;
    PosixHttp& operator=(const PosixHttp&) = delete;

    int post(const std::string& url, const std::string& json_body, long long timeout_ms);
    bool result(int request, HttpAnswer& out);
    // True while a request is under way.
    bool busy() const { return running_ > 0; }
    // Waits up to timeout_ms for the transfers and for the extra descriptors
    // (their revents are filled in), moving the transfers on. True when a request
    // ended meanwhile.
    bool wait(pollfd* extra, int count, long long timeout_ms);

private:
    struct Transfer;
    bool perform();

    void* multi_ = nullptr;
    int next_ = 1;
    int running_ = 0;
    std::map<int, std::unique_ptr<Transfer>> transfers_;
};
