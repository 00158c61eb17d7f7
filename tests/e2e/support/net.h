// Small network helpers for end-to-end tests (loopback only).
#pragma once

namespace e2e {

// A TCP port on 127.0.0.1 that nothing listens on right now.
int free_port();
// True when something accepts TCP connections on 127.0.0.1:port within timeout_ms.
bool wait_for_listener(int port, int timeout_ms);
// True when nothing accepts on 127.0.0.1:port any more within timeout_ms.
bool wait_for_no_listener(int port, int timeout_ms);

} // namespace e2e
