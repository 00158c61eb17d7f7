// Small network helpers for end-to-end tests (loopback only).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// A TCP port on 127.0.0.1 that nothing listens on right now.
int free_port();
// True when something accepts TCP connections on 127.0.0.1:port within timeout_ms.
bool wait_for_listener(int port, int timeout_ms);
// True when nothing accepts on 127.0.0.1:port any more within timeout_ms.
bool wait_for_no_listener(int port, int timeout_ms);

// Reads into lines with read_some(ms) (false once nothing more can come) until a
// line at index from or later satisfies pred, for at most timeout_ms.
std::optional<std::string> wait_for_line(const std::vector<std::string>& lines,
                                         const std::function<bool(const std::string&)>& pred, int timeout_ms,
                                         std::size_t from, const std::function<bool(int)>& read_some);
// Reads with read_some for ms milliseconds.
void pump_lines(int ms, const std::function<bool(int)>& read_some);

} // namespace e2e
