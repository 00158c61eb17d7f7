// Every contact of the relay with the outside world: wall clock, sleeping, the
// console, files and sockets. Production uses PosixPlatform; tests use a fake whose
// sleep advances a virtual clock at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Portable socket error kinds; the IRC input code maps them to its error numbers.
enum class SockErr {
    none,
    would_block,
    not_initialised,
    net_down,
    fault,
    not_conn,
    intr,
    in_progress,
    net_reset,
    not_sock,
    op_not_supp,
    shutdown,
    msg_size,
    inval,
    conn_aborted,
    timed_out,
    conn_reset,
    other,
};

struct FileStat {
    bool exists = false;
    long long size = 0;
    // Identity of the file behind a path or handle (device and inode on POSIX);
    // a different identity for the same path means the file was replaced.
    unsigned long long identity = 0;
    // A plain file (not a directory, pipe or device).
    bool regular = true;
    // The device and inode numbers themselves (a fake file has its identity as
    // the inode).
    unsigned long long device = 0;
    unsigned long long inode = 0;
};

// An IPv4 or IPv6 address.
struct NetAddress {
    bool v6 = false;
    uint32_t v4 = 0;                // IPv4, network byte order
    unsigned char v6bytes[16] = {}; // IPv6, network byte order
    bool operator==(const NetAddress&) const = default;
};

// The answer to an HTTP request. Status 0: no answer came (a network error or a
// time-out, said in error). Header names are in lower case.
struct HttpAnswer {
    int status = 0;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string error;

    const std::string* header(const std::string& name) const
    {
        for (const auto& h : headers)
            if (h.first == name)
                return &h.second;
        return nullptr;
    }
};

struct Platform {
    virtual ~Platform() = default;

    // Wall clock in whole seconds since the epoch.
    virtual long long now() = 0;
    virtual void sleep_ms(long long ms) = 0;

    // Standard output.
    virtual void console(const char* text, std::size_t len) = 0;

    // Ends the process. Never returns.
    [[noreturn]] virtual void exit_process(int code) = 0;

    // Files. Handles are small non-negative integers; -1 means failure.
    virtual int file_open_read(const std::string& path) = 0;
    // Opens for appending, creating the file when missing. With private_file the
    // file is created owner-only and a symbolic link or another user's file at the
    // path is refused.
    virtual int file_open_append(const std::string& path, bool private_file) = 0;
    // Reads up to len bytes at the handle's position: the count, 0 at the end, -1 on error.
    virtual long file_read(int fh, char* buf, std::size_t len) = 0;
    virtual long file_write(int fh, const char* data, std::size_t len) = 0;
    // Moves the read position to an absolute offset.
    virtual bool file_seek(int fh, long long offset) = 0;
    virtual void file_close(int fh) = 0;
    // file_open_read opens plain files only: a pipe, device or directory gives -1
    // (and never blocks the relay).
    virtual FileStat file_stat(const std::string& path) = 0;
    virtual FileStat file_stat_handle(int fh) = 0;
    // Reads a whole file; false when it cannot be opened or read completely.
    virtual bool read_file(const std::string& path, std::string& out) = 0;
    // Replaces the file at path with content in one step, readable by everybody:
    // a new file is written beside it and renamed over it, so a reader sees the
    // old file or the new one, never a part; a symbolic link at path is replaced,
    // not followed. False with the reason in why.
    virtual bool replace_file(const std::string& path, const std::string& content, std::string& why) = 0;

    // Name resolution (IPv4, network byte order; 0 when unknown).
    virtual uint32_t resolve_name(const char* host) = 0;
    // Dotted-address conversion; an unparsable text gives 0xFFFFFFFF.
    virtual uint32_t dotted_address(const char* text) = 0;

    // Sockets (made by sock_create_for below). Handles are positive; -1 means failure.
    virtual int sock_bind_any(int s) = 0;
    virtual int sock_set_nonblocking(int s) = 0;
    // Waits until the socket can be written: 1 ready, 0 timed out, -1 error.
    virtual int sock_wait_writable(int s, long long timeout_ms) = 0;
    // Waits until the socket has data: 1 ready, 0 timed out, -1 error.
    virtual int sock_wait_readable(int s, long long timeout_ms) = 0;
    // The pending error of a socket after a non-blocking connect (0 none).
    virtual int sock_pending_error(int s) = 0;
    // Bytes sent or received, or -1 with the error in sock_last_error().
    // Sending never raises a signal on a broken connection.
    virtual long sock_send(int s, const char* data, std::size_t len) = 0;
    virtual long sock_recv(int s, char* buf, std::size_t len) = 0;
    virtual SockErr sock_last_error() = 0;
    // With hard set the connection is reset (linger 0) instead of shut down.
    virtual int sock_close(int s, bool hard) = 0;

    // The run-time library's text for the last error (like perror without the prefix).
    virtual std::string error_text() = 0;

    // The value of an environment variable; empty when it is not set.
    virtual std::string environment(const char* name) = 0;

    // ---- Addresses of either family, and TLS ----
    // Every address a host name or an IPv4 or IPv6 literal stands for, in the
    // resolver's order; empty when unknown.
    virtual std::vector<NetAddress> resolve_all(const char* host) = 0;
    // A socket for an address of that family; -1 on failure.
    virtual int sock_create_for(const NetAddress& a, bool tcp) = 0;
    // Starts a connection: 0 connected, 1 in progress (would block), -1 failed.
    virtual int sock_connect_to(int s, const NetAddress& a, uint16_t port) = 0;
    // Receives one datagram (UDP): at most len bytes of it, the rest of a longer
    // datagram is lost. from and from_port tell its sender.
    virtual long sock_recv_from_any(int s, char* buf, std::size_t len, NetAddress& from, uint16_t& from_port) = 0;
    // Wraps a connected TCP socket in TLS: the handshake, then the server's
    // certificate checked against host and the system's trust store or, when a
    // fingerprint is given (SHA-256 in hex, colons optional), against that
    // fingerprint alone. From then on sock_send, sock_recv and sock_wait_readable
    // of the socket go through TLS and sock_close ends it. Nothing but handshake
    // bytes is sent before it succeeds. 0 on success; -1 with the reason in why.
    virtual int tls_start(int s, const char* host, const char* fingerprint, long long timeout_ms, std::string& why) = 0;

    // Waiting while the main loop has nothing to do. Kept together: a platform
    // implements them as one piece.
    //
    // Wall clock in milliseconds since the epoch (for deadlines finer than now()).
    virtual long long now_ms() = 0;
    // Starts watching the file at path for appends, truncation and replacement: a
    // handle, or -1 where the file system cannot tell (the loop then looks at the
    // file now and then instead).
    virtual int watch_file(const std::string& path) = 0;
    virtual void unwatch_file(int watch) = 0;
    // Waits until the socket has input (or was closed), the watched file changed,
    // or timeout_ms passed, whichever comes first; -1 for no socket or no watch.
    // The result holds kWaitSocket and kWaitFile for what happened, 0 on timeout.
    virtual int wait_for_input(int sock, int watch, long long timeout_ms) = 0;

    // HTTP(S) requests that run beside the loop without ever blocking it: they
    // move on while the loop waits or sleeps. http_post starts a POST of a JSON
    // body (certificates checked against the system's trust store) and gives a
    // request number, or -1; http_result is true once the request is over, with
    // its answer in out, and forgets it then. A request that is over makes
    // wait_for_input return with kWaitHttp.
    virtual int http_post(const std::string& url, const std::string& json_body, long long timeout_ms) = 0;
    virtual bool http_result(int request, HttpAnswer& out) = 0;
};

inline constexpr int kWaitSocket = 1;
inline constexpr int kWaitFile = 2;
inline constexpr int kWaitHttp = 4;
