#include "relay/base/posix_platform.h"

#include <chrono>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

PosixPlatform::PosixPlatform()
{
    // A send to a connection the peer has reset must come back as an error, not
    // end the process.
    std::signal(SIGPIPE, SIG_IGN);
}

long long PosixPlatform::now()
{
    return static_cast<long long>(std::time(nullptr));
}

void PosixPlatform::sleep_ms(long long ms)
{
    if (ms <= 0)
        return;
    if (http_.busy()) {
        // The pause is kept to the millisecond; requests under way move on in it.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
            if (left <= 0)
                return;
            if (!http_.busy())
                break;
            http_.wait(nullptr, 0, left);
        }
        ms = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
        if (ms <= 0)
            return;
    }
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>((ms % 1000) * 1000000L)};
    while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
    }
}

void PosixPlatform::console(const char* text, std::size_t len)
{
    std::fwrite(text, 1, len, stdout);
    std::fflush(stdout);
}

void PosixPlatform::exit_process(int code)
{
    std::fflush(stdout);
    std::exit(code);
}

int PosixPlatform::file_open_read(const std::string& path)
{
    // Non-blocking, so that opening a named pipe cannot hang the relay; anything
    // but a plain file is then refused.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        last_errno_ = errno;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        last_errno_ = EINVAL;
        return -1;
    }
    return fd;
}

int PosixPlatform::file_open_append(const std::string& path, bool private_file)
{
    int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC;
    mode_t mode = 0644;
    if (private_file) {
        // Non-blocking too: a pipe planted at the path must not hold the relay
        // in open (it is refused below; a plain file does not notice the flag).
        flags |= O_NOFOLLOW | O_NONBLOCK;
        mode = 0600;
    }
    int fd = ::open(path.c_str(), flags, mode);
    if (fd < 0) {
        last_errno_ = errno;
        return -1;
    }
    if (private_file) {
        // Refuse a file another user planted at the fixed path, and anything that
        // is not a plain file.
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
            ::close(fd);
            return -1;
        }
        if (st.st_mode & 0077)
            fchmod(fd, 0600);
    }
    return fd;
}

long PosixPlatform::file_read(int fh, char* buf, std::size_t len)
{
    ssize_t n;
    do {
        n = ::read(fh, buf, len);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        last_errno_ = errno;
    return static_cast<long>(n);
}

long PosixPlatform::file_write(int fh, const char* data, std::size_t len)
{
    std::size_t done = 0;
    while (done < len) {
        ssize_t n = ::write(fh, data + done, len - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            last_errno_ = errno;
            return done ? static_cast<long>(done) : -1;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long>(done);
}

bool PosixPlatform::file_seek(int fh, long long offset)
{
    return ::lseek(fh, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

void PosixPlatform::file_close(int fh)
{
    if (fh >= 0)
        ::close(fh);
}

static FileStat to_filestat(const struct stat& st)
{
    FileStat fs;
    fs.exists = true;
    fs.size = static_cast<long long>(st.st_size);
    fs.identity = (static_cast<unsigned long long>(st.st_dev) << 40) ^ static_cast<unsigned long long>(st.st_ino);
    fs.regular = S_ISREG(st.st_mode);
    fs.device = static_cast<unsigned long long>(st.st_dev);
    fs.inode = static_cast<unsigned long long>(st.st_ino);
    return fs;
}

FileStat PosixPlatform::file_stat(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return to_filestat(st);
}

FileStat PosixPlatform::file_stat_handle(int fh)
{
    struct stat st {};
    if (::fstat(fh, &st) != 0)
        return {};
    return to_filestat(st);
}

bool PosixPlatform::read_file(const std::string& path, std::string& out)
{
    out.clear();
    int fd = file_open_read(path);
    if (fd < 0)
        return false;
    char buf[65536];
    for (;;) {
        long n = file_read(fd, buf, sizeof buf);
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

uint32_t PosixPlatform::resolve_name(const char* host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* res = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &res) != 0 || !res)
        return 0;
    uint32_t addr = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(res);
    return addr;
}

uint32_t PosixPlatform::dotted_address(const char* text)
{
    return inet_addr(text);
}

static int create_socket(int family, bool tcp, int& last_errno)
{
    int s = ::socket(family, (tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
    if (s < 0) {
        last_errno = errno;
        return -1;
    }
    // Handle 0 means "no socket" to the relay; a relay started with its standard
    // descriptors closed must not get a socket there.
    if (s < 3) {
        int moved = fcntl(s, F_DUPFD_CLOEXEC, 3);
        ::close(s);
        if (moved < 0)
            last_errno = errno;
        return moved;
    }
    return s;
}

int PosixPlatform::sock_bind_any(int s)
{
    int family = AF_INET;
    socklen_t flen = sizeof family;
    if (getsockopt(s, SOL_SOCKET, SO_DOMAIN, &family, &flen) == 0 && family == AF_INET6) {
        sockaddr_in6 a6{};
        a6.sin6_family = AF_INET6;
        a6.sin6_addr = in6addr_any;
        return ::bind(s, reinterpret_cast<sockaddr*>(&a6), sizeof a6);
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = 0;
    return ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

int PosixPlatform::sock_set_nonblocking(int s)
{
    int fl = fcntl(s, F_GETFL, 0);
    if (fl < 0)
        return -1;
    return fcntl(s, F_SETFL, fl | O_NONBLOCK);
}

static int wait_for(int s, short events, long long timeout_ms)
{
    pollfd p{s, events, 0};
    for (;;) {
        int r = ::poll(&p, 1, static_cast<int>(timeout_ms < 0 ? 0 : timeout_ms));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return -1;
        if (r == 0)
            return 0;
        return 1;
    }
}

int PosixPlatform::sock_wait_writable(int s, long long timeout_ms)
{
    return wait_for(s, POLLOUT, timeout_ms);
}

int PosixPlatform::sock_wait_readable(int s, long long timeout_ms)
{
    if (tls_.pending(s))
        return 1;
    return wait_for(s, POLLIN, timeout_ms);
}

int PosixPlatform::sock_pending_error(int s)
{
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
        return errno;
    return err;
}

long PosixPlatform::sock_send(int s, const char* data, std::size_t len)
{
    if (tls_.active(s))
        return tls_.send(s, data, len, last_errno_);
    ssize_t n;
    do {
        n = ::send(s, data, len, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        last_errno_ = errno;
    return static_cast<long>(n);
}

long PosixPlatform::sock_recv(int s, char* buf, std::size_t len)
{
    if (tls_.active(s))
        return tls_.recv(s, buf, len, last_errno_);
    ssize_t n;
    do {
        n = ::recv(s, buf, len, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        last_errno_ = errno;
    return static_cast<long>(n);
}

SockErr PosixPlatform::sock_last_error()
{
    switch (last_errno_) {
    case 0: return SockErr::none;
    case EAGAIN: return SockErr::would_block;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK: return SockErr::would_block;
#endif
    case ENETDOWN: return SockErr::net_down;
    case EFAULT: return SockErr::fault;
    case ENOTCONN: return SockErr::not_conn;
    case EINTR: return SockErr::intr;
    case EINPROGRESS: return SockErr::in_progress;
    case ENETRESET: return SockErr::net_reset;
    case ENOTSOCK: return SockErr::not_sock;
    case EOPNOTSUPP: return SockErr::op_not_supp;
    case ESHUTDOWN: return SockErr::shutdown;
    case EMSGSIZE: return SockErr::msg_size;
    case EINVAL: return SockErr::inval;
    case ECONNABORTED: return SockErr::conn_aborted;
    case ETIMEDOUT: return SockErr::timed_out;
    case ECONNRESET: return SockErr::conn_reset;
    default: return SockErr::other;
    }
}

int PosixPlatform::sock_close(int s, bool hard)
{
    if (s < 0)
        return 0;
    tls_.end(s);
    if (hard) {
        linger l{1, 0};
        setsockopt(s, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    return ::close(s);
}

std::string PosixPlatform::error_text()
{
    return std::strerror(last_errno_ ? last_errno_ : errno);
}

std::string PosixPlatform::environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// ---- Addresses of either family, and TLS ----

namespace {

NetAddress from_sockaddr(const sockaddr* sa)
{
    NetAddress a;
    if (sa->sa_family == AF_INET6) {
        a.v6 = true;
        std::memcpy(a.v6bytes, &reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr, 16);
    } else if (sa->sa_family == AF_INET) {
        a.v4 = reinterpret_cast<const sockaddr_in*>(sa)->sin_addr.s_addr;
    }
    return a;
}

socklen_t to_sockaddr(const NetAddress& a, uint16_t port, sockaddr_storage& out)
{
    out = {};
    if (a.v6) {
        auto* s6 = reinterpret_cast<sockaddr_in6*>(&out);
        s6->sin6_family = AF_INET6;
        std::memcpy(&s6->sin6_addr, a.v6bytes, 16);
        s6->sin6_port = htons(port);
        return sizeof *s6;
    }
    auto* s4 = reinterpret_cast<sockaddr_in*>(&out);
    s4->sin_family = AF_INET;
    s4->sin_addr.s_addr = a.v4;
    s4->sin_port = htons(port);
    return sizeof *s4;
}

} // namespace

std::vector<NetAddress> PosixPlatform::resolve_all(const char* host)
{
    std::vector<NetAddress> out;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM; // one entry per address, not per socket type
    addrinfo* res = nullptr;
    if (!host || getaddrinfo(host, nullptr, &hints, &res) != 0)
        return out;
    for (addrinfo* ai = res; ai; ai = ai->ai_next)
        if (ai->ai_family == AF_INET || ai->ai_family == AF_INET6) {
            NetAddress a = from_sockaddr(ai->ai_addr);
            bool seen = false;
            for (const NetAddress& b : out)
                seen = seen || b == a;
            if (!seen)
                out.push_back(a);
        }
    freeaddrinfo(res);
    return out;
}

int PosixPlatform::sock_create_for(const NetAddress& a, bool tcp)
{
    return create_socket(a.v6 ? AF_INET6 : AF_INET, tcp, last_errno_);
}

int PosixPlatform::sock_connect_to(int s, const NetAddress& a, uint16_t port)
{
    sockaddr_storage ss;
    socklen_t len = to_sockaddr(a, port, ss);
    if (::connect(s, reinterpret_cast<sockaddr*>(&ss), len) == 0)
        return 0;
    last_errno_ = errno;
    if (errno == EINPROGRESS || errno == EWOULDBLOCK || errno == EAGAIN)
        return 1;
    return -1;
}

long PosixPlatform::sock_recv_from_any(int s, char* buf, std::size_t len, NetAddress& from, uint16_t& from_port)
{
    sockaddr_storage ss{};
    socklen_t alen;
    ssize_t n;
    do {
        alen = sizeof ss;
        n = ::recvfrom(s, buf, len, 0, reinterpret_cast<sockaddr*>(&ss), &alen);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        last_errno_ = errno;
        return -1;
    }
    from = from_sockaddr(reinterpret_cast<sockaddr*>(&ss));
    from_port = ss.ss_family == AF_INET6   ? ntohs(reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port)
                : ss.ss_family == AF_INET ? ntohs(reinterpret_cast<sockaddr_in*>(&ss)->sin_port)
                                          : 0;
    return static_cast<long>(n);
}

int PosixPlatform::tls_start(int s, const char* host, const char* fingerprint, long long timeout_ms, std::string& why)
{
    return tls_.start(s, host, fingerprint, timeout_ms, why);
}

// Waiting: poll on the IRC socket and on an inotify descriptor that watches the log.

long long PosixPlatform::now_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int PosixPlatform::watch_file(const std::string& path)
{
    int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return -1;
    // Appends and truncation modify the file; a replaced log loses its link or
    // is moved away.
    constexpr uint32_t kEvents = IN_MODIFY | IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF | IN_CLOSE_WRITE;
    if (inotify_add_watch(fd, path.c_str(), kEvents) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void PosixPlatform::unwatch_file(int watch)
{
    if (watch >= 0)
        ::close(watch);
}

int PosixPlatform::wait_for_input(int sock, int watch, long long timeout_ms)
{
    pollfd fds[2];
    nfds_t n = 0;
    int sock_at = -1;
    int watch_at = -1;
    if (sock >= 0) {
        sock_at = static_cast<int>(n);
        fds[n++] = {sock, POLLIN, 0};
    }
    if (watch >= 0) {
        watch_at = static_cast<int>(n);
        fds[n++] = {watch, POLLIN, 0};
    }
    if (timeout_ms < 0)
        timeout_ms = 0;
    // Records TLS has already decrypted wait in its buffer, not in the socket.
    if (sock >= 0 && tls_.pending(sock))
        timeout_ms = 0;
    int result = 0;
    int got = 0;
    if (http_.busy()) {
        // The transfers' own sockets join the wait.
        if (http_.wait(fds, static_cast<int>(n), timeout_ms))
            result |= kWaitHttp;
        for (nfds_t i = 0; i < n; ++i)
            got += fds[i].revents ? 1 : 0;
    } else {
        got = ::poll(fds, n, static_cast<int>(timeout_ms > 3600000 ? 3600000 : timeout_ms));
    }
    if (got <= 0)
        return result | (sock >= 0 && tls_.pending(sock) ? kWaitSocket : 0);
    if (sock_at >= 0 && (fds[sock_at].revents || tls_.pending(sock)))
        result |= kWaitSocket;
    if (watch_at >= 0 && fds[watch_at].revents) {
        result |= kWaitFile;
        // The events only wake the loop; what changed is read from the file.
        alignas(inotify_event) char buf[4096];
        while (::read(watch, buf, sizeof buf) > 0) {
        }
    }
    return result;
}

int PosixPlatform::http_post(const std::string& url, const std::string& json_body, long long timeout_ms)
{
    return http_.post(url, json_body, timeout_ms);
}

bool PosixPlatform::http_result(int request, HttpAnswer& out)
{
    return http_.result(request, out);
}

bool PosixPlatform::replace_file(const std::string& path, const std::string& content, std::string& why)
{
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string temp = dir + "." + path.substr(slash == std::string::npos ? 0 : slash + 1) + ".new";
    // A left-over of an earlier run (or anything planted there) goes first; the
    // new file is created afresh and never through a link.
    ::unlink(temp.c_str());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    fchmod(fd, 0644); // readable by the web server and node_exporter whatever the umask
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            why = std::strerror(n < 0 ? errno : EIO);
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        why = std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        why = std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}
