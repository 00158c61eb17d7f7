#pragma once

#include <memory>

#include "relay/base/platform.h"
#include "relay/base/posix_http.h"
#include "relay/base/posix_tls.h"

// The real platform: POSIX files and sockets, the system clock, standard output.
struct PosixPlatform final : Platform {
    PosixPlatform();
    long long now() override;
    void sleep_ms(long long ms) override;
    void console(const char* text, std::size_t len) override;
    [[noreturn]] void exit_process(int code) override;
    int file_open_read(const std::string& path) override;
    int file_open_append(const std::string& path, bool private_file) override;
    long file_read(int fh, char* buf, std::size_t len) override;
    long file_write(int fh, const char* data, std::size_t len) override;
    bool file_seek(int fh, long long offset) override;
    void file_close(int fh) override;
    FileStat file_stat(const std::string& path) override;
    FileStat file_stat_handle(int fh) override;
    bool read_file(const std::string& path, std::string& out) override;
    bool replace_file(const std::string& path, const std::string& content, std::string& why) override;
    uint32_t resolve_name(const char* host) override;
    uint32_t dotted_address(const char* text) override;
    int sock_bind_any(int s) override;
    int sock_set_nonblocking(int s) override;
    int sock_wait_writable(int s, long long timeout_ms) override;
    int sock_wait_readable(int s, long long timeout_ms) override;
    int sock_pending_error(int s) override;
    long sock_send(int s, const char* data, std::size_t len) override;
    long sock_recv(int s, char* buf, std::size_t len) override;
    SockErr sock_last_error() override;
    int sock_close(int s, bool hard) override;
    std::string error_text() override;
    std::string environment(const char* name) override;

    // Addresses of either family, and TLS.
    std::vector<NetAddress> resolve_all(const char* host) override;
    int sock_create_for(const NetAddress& a, bool tcp) override;
    int sock_connect_to(int s, const NetAddress& a, uint16_t port) override;
    long sock_recv_from_any(int s, char* buf, std::size_t len, NetAddress& from, uint16_t& from_port) override;
    int tls_start(int s, const char* host, const char* fingerprint, long long timeout_ms, std::string& why) override;

    // Waiting while the main loop has nothing to do.
    long long now_ms() override;
    int watch_file(const std::string& path) override;
    void unwatch_file(int watch) override;
    int wait_for_input(int sock, int watch, long long timeout_ms) override;

    int http_post(const std::string& url, const std::string& json_body, long long timeout_ms) override;
    bool http_result(int request, HttpAnswer& out) override;

private:
    int last_errno_ = 0;
    PosixTls tls_;
    PosixHttp http_;
};
