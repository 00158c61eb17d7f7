// A platform for tests: virtual clock (sleeping advances it at once), captured
// console, in-memory files and scriptable sockets.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "relay/base/platform.h"

// Thrown by exit_process so a test can watch the program end.
struct FakeExit {
    int code;
};

struct FakeFileData {
    std::string content;
    unsigned long long identity = 0;
    bool regular = true; // false: a pipe, device or directory at the path
};

struct FakeSocket {
    int handle = 0;
    bool tcp = true;
    bool open = true;
    bool nonblocking = false;
    bool hard_closed = false;
    uint32_t addr = 0;
    uint16_t port = 0;
    std::string sent;                 // every byte the relay sent, in order
    std::deque<std::string> inbox;    // chunks the relay will receive, one per recv
    // Datagrams for recv_from, each with its sender; when empty, recv_from takes the
    // inbox chunks as datagrams from the connected peer (addr, port).
    struct Datagram {
        std::string bytes;
        uint32_t addr = 0;
        uint16_t port = 0;
    };
    std::deque<Datagram> datagrams;
    SockErr recv_error = SockErr::none; // returned by recv once the inbox is empty (then cleared)
    SockErr send_error = SockErr::none; // returned by the next send (then cleared)
    long send_limit = -1;              // most bytes one send takes (-1: all)
    // Called after bytes were sent, e.g. to script a peer's answers into inbox.
    std::function<void(FakeSocket&, std::string_view)> on_send;
    // The peer's address of either family (IPv6 connects), and TLS on it.
    NetAddress peer;
    bool tls = false;
    std::string tls_host, tls_fingerprint;
};

struct FakePlatform : Platform {
    long long clock_ms = 1000000LL * 1000; // virtual wall clock in milliseconds
    long long slept_ms = 0;                // total virtual sleep
    std::string out;                       // console output

    // Files by path.
    std::map<std::string, std::shared_ptr<FakeFileData>> files;
    struct Handle {
        std::shared_ptr<FakeFileData> file;
        long long pos = 0;
        bool append = false;
    };
    std::map<int, Handle> handles;
    int next_handle = 3;
    unsigned long long next_identity = 1;

    // Sockets by handle, host names, and how connections go.
    std::map<int, FakeSocket> sockets;
    std::map<std::string, uint32_t> hosts;
    // Decides a connect: 0 connected, 1 in progress (then writable decides), -1 refused.
    std::function<int(uint32_t addr, uint16_t port, bool tcp)> on_connect;
    // Called for every new socket after a successful connect (to set up a peer).
    std::function<void(FakeSocket&)> on_socket;
    int writable_result = 1; // result of sock_wait_writable
    int pending_error = 0;
    SockErr last_error = SockErr::none;
    int next_socket = 100;

    // Test helpers.
    void write_file(const std::string& path, std::string_view content);  // create or overwrite in place
    void append_file(const std::string& path, std::string_view content); // create or append
    void replace_file(const std::string& path, std::string_view content); // a new file at the path
    void remove_file(const std::string& path);
    std::string file_content(const std::string& path) const;
    FakeSocket* socket(int handle);
    FakeSocket* last_socket(bool tcp = true);

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
    // replace_file fails with this reason when set (a full disk, a removed directory).
    std::string replace_failure;
    int replaces = 0;
    bool replace_file(const std::string& path, const std::string& content, std::string& why) override;
    uint32_t resolve_name(const char* host) override;
    uint32_t dotted_address(const char* text) override;
    int sock_create(bool tcp); // an IPv4 socket, for tests that need one at hand
    int sock_bind_any(int s) override;
    int sock_set_nonblocking(int s) override;
    int sock_connect(int s, uint32_t addr, uint16_t port);
    int sock_wait_writable(int s, long long timeout_ms) override;
    int sock_wait_readable(int s, long long timeout_ms) override;
    int sock_pending_error(int s) override;
    long sock_send(int s, const char* data, std::size_t len) override;
    long sock_recv(int s, char* buf, std::size_t len) override;
    long sock_recv_from(int s, char* buf, std::size_t len, uint32_t& from_addr, uint16_t& from_port);
    SockErr sock_last_error() override;
    int sock_close(int s, bool hard) override;
    std::string error_text() override;

    // Addresses of either family: names and literals that resolve_all knows
    // (when a host is missing here, hosts gives its one IPv4 address), and
    // the TLS handshake's outcome (empty: it succeeds; else the reason it fails).
    std::map<std::string, std::vector<NetAddress>> host_addresses;
    std::string tls_failure;
    std::vector<NetAddress> resolve_all(const char* host) override;
    int sock_create_for(const NetAddress& a, bool tcp) override;
    int sock_connect_to(int s, const NetAddress& a, uint16_t port) override;
    long sock_recv_from_any(int s, char* buf, std::size_t len, NetAddress& from, uint16_t& from_port) override;
    int tls_start(int s, const char* host, const char* fingerprint, long long timeout_ms, std::string& why) override;

    // Waiting. Watches see a file change when its size or identity at the path
    // differs from what the last wait saw; a wait with nothing to report moves the
    // virtual clock on by its whole timeout.
    bool watches_supported = true;
    struct Watch {
        std::string path;
        long long size = -1;
        unsigned long long identity = 0;
    };
    std::map<int, Watch> watches;
    int waits = 0;              // calls of wait_for_input
    long long waited_ms = 0;    // virtual time spent in them
    long long now_ms() override;
    int watch_file(const std::string& path) override;
    void unwatch_file(int watch) override;
    int wait_for_input(int sock, int watch, long long timeout_ms) override;

    // HTTP: every request made, in order. on_http (when set) is called for each
    // new one and may fill in its answer and when it is ready; a request with
    // ready_ms -1 runs until the test sets it. A wait ends when one gets ready.
    struct HttpRequest {
        int id = 0;
        std::string url, body;
        long long made_ms = 0;
        long long ready_ms = -1;
        HttpAnswer answer;
        bool taken = false; // http_result gave it back
    };
    std::vector<HttpRequest> http_requests;
    std::function<void(HttpRequest&)> on_http;
    int http_post(const std::string& url, const std::string& json_body, long long timeout_ms) override;
    bool http_result(int request, HttpAnswer& out) override;

    // Environment variables the relay sees; none by default.
    std::map<std::string, std::string> env;
    std::string environment(const char* name) override;
};

// Control bytes made visible for failure messages: {C} colour, {B} bold, {R} reverse,
// {O} plain, {U} underline, \r and \n as {CR} {LF}, other bytes below 32 or above
// 126 as {xx} in hex.
std::string visible(std::string_view bytes);
