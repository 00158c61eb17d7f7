#include "tests/support/fake_platform.h"

#include <algorithm>

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>

void FakePlatform::write_file(const std::string& path, std::string_view content)
{
    auto& f = files[path];
    if (!f) {
        f = std::make_shared<FakeFileData>();
        f->identity = next_identity++;
    }
    f->content.assign(content);
}

void FakePlatform::append_file(const std::string& path, std::string_view content)
{
    auto& f = files[path];
    if (!f) {
        f = std::make_shared<FakeFileData>();
        f->identity = next_identity++;
    }
    f->content.append(content);
}

void FakePlatform::replace_file(const std::string& path, std::string_view content)
{
    auto f = std::make_shared<FakeFileData>();
    f->identity = next_identity++;
    f->content.assign(content);
    files[path] = f;
}

void FakePlatform::remove_file(const std::string& path)
{
    files.erase(path);
}

std::string FakePlatform::file_content(const std::string& path) const
{
    auto it = files.find(path);
    return it == files.end() ? std::string() : it->second->content;
}

FakeSocket* FakePlatform::socket(int handle)
{
    auto it = sockets.find(handle);
    return it == sockets.end() ? nullptr : &it->second;
}

FakeSocket* FakePlatform::last_socket(bool tcp)
{
    for (auto it = sockets.rbegin(); it != sockets.rend(); ++it)
        if (it->second.tcp == tcp)
            return &it->second;
    return nullptr;
}

long long FakePlatform::now()
{
    return clock_ms / 1000;
}

void FakePlatform::sleep_ms(long long ms)
{
    if (ms > 0) {
        clock_ms += ms;
        slept_ms += ms;
    }
}

void FakePlatform::console(const char* text, std::size_t len)
{
    out.append(text, len);
}

void FakePlatform::exit_process(int code)
{
    throw FakeExit{code};
}

int FakePlatform::file_open_read(const std::string& path)
{
    auto it = files.find(path);
    if (it == files.end() || !it->second->regular)
        return -1;
    int h = next_handle++;
    handles[h] = Handle{it->second, 0, false};
    return h;
}

int FakePlatform::file_open_append(const std::string& path, bool)
{
    auto& f = files[path];
    if (!f) {
        f = std::make_shared<FakeFileData>();
        f->identity = next_identity++;
    }
    int h = next_handle++;
    handles[h] = Handle{f, 0, true};
    return h;
}

long FakePlatform::file_read(int fh, char* buf, std::size_t len)
{
    auto it = handles.find(fh);
    if (it == handles.end())
        return -1;
    Handle& h = it->second;
    const std::string& c = h.file->content;
    if (h.pos >= static_cast<long long>(c.size()))
        return 0;
    std::size_t n = std::min(len, c.size() - static_cast<std::size_t>(h.pos));
    std::memcpy(buf, c.data() + h.pos, n);
    h.pos += static_cast<long long>(n);
    return static_cast<long>(n);
}

long FakePlatform::file_write(int fh, const char* data, std::size_t len)
{
    auto it = handles.find(fh);
    if (it == handles.end())
        return -1;
    it->second.file->content.append(data, len);
    return static_cast<long>(len);
}

bool FakePlatform::file_seek(int fh, long long offset)
{
    auto it = handles.find(fh);
    if (it == handles.end() || offset < 0)
        return false;
    it->second.pos = offset;
    return true;
}

void FakePlatform::file_close(int fh)
{
    handles.erase(fh);
}

FileStat FakePlatform::file_stat(const std::string& path)
{
    auto it = files.find(path);
    if (it == files.end())
        return {};
    return FileStat{true, static_cast<long long>(it->second->content.size()), it->second->identity,
                    it->second->regular, 0, it->second->identity};
}

FileStat FakePlatform::file_stat_handle(int fh)
{
    auto it = handles.find(fh);
    if (it == handles.end())
        return {};
    return FileStat{true, static_cast<long long>(it->second.file->content.size()), it->second.file->identity,
                    true, 0, it->second.file->identity};
}

bool FakePlatform::read_file(const std::string& path, std::string& out_text)
{
    auto it = files.find(path);
    if (it == files.end() || !it->second->regular)
        return false;
    out_text = it->second->content;
    return true;
}

uint32_t FakePlatform::resolve_name(const char* host)
{
    auto it = hosts.find(host);
    return it == hosts.end() ? 0 : it->second;
}

uint32_t FakePlatform::dotted_address(const char* text)
{
    return inet_addr(text);
}

int FakePlatform::sock_create(bool tcp)
{
    int h = next_socket++;
    FakeSocket s;
    s.handle = h;
    s.tcp = tcp;
    sockets[h] = std::move(s);
    return h;
}

int FakePlatform::sock_bind_any(int)
{
    return 0;
}

int FakePlatform::sock_set_nonblocking(int s)
{
    if (auto* fs = socket(s))
        fs->nonblocking = true;
    return 0;
}

int FakePlatform::sock_connect(int s, uint32_t addr, uint16_t port)
{
    FakeSocket* fs = socket(s);
    if (!fs)
        return -1;
    fs->addr = addr;
    fs->port = port;
    int r = on_connect ? on_connect(addr, port, fs->tcp) : 0;
    if (r == -1)
        last_error = SockErr::conn_reset;
    else if (on_socket)
        on_socket(*fs);
    return r;
}

int FakePlatform::sock_wait_writable(int, long long timeout_ms)
{
    if (writable_result == 0)
        sleep_ms(timeout_ms);
    return writable_result;
}

int FakePlatform::sock_wait_readable(int s, long long timeout_ms)
{
    FakeSocket* fs = socket(s);
    if (fs && !fs->inbox.empty())
        return 1;
    sleep_ms(timeout_ms);
    return 0;
}

int FakePlatform::sock_pending_error(int)
{
    return pending_error;
}

long FakePlatform::sock_send(int s, const char* data, std::size_t len)
{
    FakeSocket* fs = socket(s);
    if (!fs || !fs->open) {
        last_error = SockErr::not_sock;
        return -1;
    }
    if (fs->send_error != SockErr::none) {
        last_error = fs->send_error;
        fs->send_error = SockErr::none;
        return -1;
    }
    std::size_t n = len;
    if (fs->send_limit >= 0 && static_cast<std::size_t>(fs->send_limit) < n)
        n = static_cast<std::size_t>(fs->send_limit);
    if (n == 0 && len > 0) {
        last_error = SockErr::would_block;
        return -1;
    }
    fs->sent.append(data, n);
    if (fs->on_send)
        fs->on_send(*fs, std::string_view(data, n));
    return static_cast<long>(n);
}

long FakePlatform::sock_recv(int s, char* buf, std::size_t len)
{
    FakeSocket* fs = socket(s);
    if (!fs || !fs->open) {
        last_error = SockErr::not_sock;
        return -1;
    }
    if (fs->inbox.empty()) {
        if (fs->recv_error != SockErr::none) {
            last_error = fs->recv_error;
            fs->recv_error = SockErr::none;
            return -1;
        }
        last_error = SockErr::would_block;
        return -1;
    }
    std::string& chunk = fs->inbox.front();
    std::size_t n = std::min(len, chunk.size());
    std::memcpy(buf, chunk.data(), n);
    if (n == chunk.size())
        fs->inbox.pop_front();
    else
        chunk.erase(0, n);
    return static_cast<long>(n);
}

long FakePlatform::sock_recv_from(int s, char* buf, std::size_t len, uint32_t& from_addr, uint16_t& from_port)
{
    FakeSocket* fs = socket(s);
    if (!fs || !fs->open) {
        last_error = SockErr::not_sock;
        return -1;
    }
    FakeSocket::Datagram d;
    if (!fs->datagrams.empty()) {
        d = std::move(fs->datagrams.front());
        fs->datagrams.pop_front();
    } else if (!fs->inbox.empty()) {
        d = FakeSocket::Datagram{std::move(fs->inbox.front()), fs->addr, fs->port};
        fs->inbox.pop_front();
    } else {
        last_error = SockErr::would_block;
        return -1;
    }
    // A datagram is taken whole; what does not fit is lost.
    std::size_t n = std::min(len, d.bytes.size());
    std::memcpy(buf, d.bytes.data(), n);
    from_addr = d.addr;
    from_port = d.port;
    return static_cast<long>(n);
}

SockErr FakePlatform::sock_last_error()
{
    return last_error;
}

int FakePlatform::sock_close(int s, bool hard)
{
    if (s < 0)
        return 0;
    if (FakeSocket* fs = socket(s)) {
        fs->open = false;
        fs->hard_closed = hard;
    }
    return 0;
}

std::string FakePlatform::error_text()
{
    return "Fake error";
}

std::string FakePlatform::environment(const char* name)
{
    auto it = env.find(name);
    return it == env.end() ? std::string() : it->second;
}

std::vector<NetAddress> FakePlatform::resolve_all(const char* host)
{
    auto it = host_addresses.find(host);
    if (it != host_addresses.end())
        return it->second;
    auto v4 = hosts.find(host);
    if (v4 == hosts.end())
        return {};
    NetAddress a;
    a.v4 = v4->second;
    return {a};
}

int FakePlatform::sock_create_for(const NetAddress&, bool tcp)
{
    return sock_create(tcp);
}

int FakePlatform::sock_connect_to(int s, const NetAddress& a, uint16_t port)
{
    if (FakeSocket* fs = socket(s))
        fs->peer = a;
    return sock_connect(s, a.v6 ? 0 : a.v4, port);
}

long FakePlatform::sock_recv_from_any(int s, char* buf, std::size_t len, NetAddress& from, uint16_t& from_port)
{
    uint32_t addr = 0;
    long n = sock_recv_from(s, buf, len, addr, from_port);
    FakeSocket* fs = socket(s);
    // A datagram from the connected peer carries its address of either family.
    from = fs && fs->peer.v6 && addr == 0 ? fs->peer : NetAddress{};
    if (!from.v6)
        from.v4 = addr;
    return n;
}

int FakePlatform::tls_start(int s, const char* host, const char* fingerprint, long long, std::string& why)
{
    FakeSocket* fs = socket(s);
    if (!fs || !tls_failure.empty()) {
        why = tls_failure.empty() ? "no socket" : tls_failure;
        return -1;
    }
    fs->tls = true;
    fs->tls_host = host ? host : "";
    fs->tls_fingerprint = fingerprint ? fingerprint : "";
    return 0;
}

std::string visible(std::string_view bytes)
{
    std::string v;
    for (unsigned char c : bytes) {
        switch (c) {
        case 0x03: v += "{C}"; break;
        case 0x02: v += "{B}"; break;
        case 0x16: v += "{R}"; break;
        case 0x0f: v += "{O}"; break;
        case 0x1f: v += "{U}"; break;
        case '\r': v += "{CR}"; break;
        case '\n': v += "{LF}"; break;
        default:
            if (c < 32 || c > 126) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "{%02x}", c);
                v += hex;
            } else {
                v += static_cast<char>(c);
            }
        }
    }
    return v;
}

long long FakePlatform::now_ms()
{
    return clock_ms;
}

int FakePlatform::watch_file(const std::string& path)
{
    if (!watches_supported || !files.count(path))
        return -1;
    int h = next_handle++;
    const FakeFileData& f = *files[path];
    watches[h] = {path, static_cast<long long>(f.content.size()), f.identity};
    return h;
}

void FakePlatform::unwatch_file(int watch)
{
    watches.erase(watch);
}

int FakePlatform::wait_for_input(int sock, int watch, long long timeout_ms)
{
    ++waits;
    int result = 0;
    if (FakeSocket* s = socket(sock); s && (!s->inbox.empty() || s->recv_error != SockErr::none))
        result |= kWaitSocket;
    if (auto w = watches.find(watch); w != watches.end()) {
        auto f = files.find(w->second.path);
        long long size = f == files.end() ? -1 : static_cast<long long>(f->second->content.size());
        unsigned long long identity = f == files.end() ? 0 : f->second->identity;
        if (size != w->second.size || identity != w->second.identity)
            result |= kWaitFile;
        w->second.size = size;
        w->second.identity = identity;
    }
    if (result == 0 && timeout_ms > 0) {
        // A request that gets ready meanwhile ends the wait then.
        long long until = clock_ms + timeout_ms;
        for (const HttpRequest& h : http_requests)
            if (!h.taken && h.ready_ms >= 0 && h.ready_ms < until)
                until = std::max(h.ready_ms, clock_ms);
        if (until < clock_ms + timeout_ms)
            result |= kWaitHttp;
        waited_ms += until - clock_ms;
        clock_ms = until;
    }
    return result;
}

int FakePlatform::http_post(const std::string& url, const std::string& json_body, long long)
{
    HttpRequest h;
    h.id = static_cast<int>(http_requests.size()) + 1;
    h.url = url;
    h.body = json_body;
    h.made_ms = clock_ms;
    http_requests.push_back(h);
    if (on_http)
        on_http(http_requests.back());
    return h.id;
}

bool FakePlatform::http_result(int request, HttpAnswer& out)
{
    if (request < 1 || request > static_cast<int>(http_requests.size()))
        return false;
    HttpRequest& h = http_requests[static_cast<std::size_t>(request - 1)];
    if (h.taken || h.ready_ms < 0 || h.ready_ms > clock_ms)
        return false;
    h.taken = true;
    out = h.answer;
    return true;
}

bool FakePlatform::replace_file(const std::string& path, const std::string& content, std::string& why)
{
    if (!replace_failure.empty()) {
        why = replace_failure;
        return false;
    }
    ++replaces;
    replace_file(path, std::string_view(content));
    return true;
}
