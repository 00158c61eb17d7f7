#include "tests/e2e/support/irc_server.h"

#include <sstream>

#include "tests/e2e/support/certificate.h"
#include "tests/e2e/support/net.h"

#ifndef TIDEWATCH_NGIRCD
#define TIDEWATCH_NGIRCD ""
#endif

namespace e2e {

std::string IrcServer::program()
{
    return TIDEWATCH_NGIRCD;
}

IrcServer::IrcServer(const TempDir& dir, IrcServerOptions options)
    : dir_(dir), options_(std::move(options)), port_(free_port())
{
    // ngircd drops to user "nobody" when started as root: its files must be
    // readable, and the directory for its PID file writable, by that user. An empty
    // include directory keeps the system's configuration snippets out.
    std::string include_dir = dir_.subdir("ngircd.conf.d", 0755);
    std::string run_dir = dir_.subdir("ngircd-run", 0777);
    std::ostringstream conf;
    conf << "[Global]\n"
         << "\tName = " << name_ << "\n"
         << "\tInfo = Tidewatch end-to-end test server\n"
         << "\tListen = " << (options_.ipv6 ? "127.0.0.1,::1" : "127.0.0.1") << "\n"
         << "\tPorts = " << port_ << "\n"
         << "\tPassword = " << options_.password << "\n"
         << "\tPidFile = " << run_dir << "/ngircd.pid\n"
         << "\tMotdPhrase = Tidewatch test\n"
         << "[Limits]\n"
         << "\tMaxNickLength = " << options_.max_nick_length << "\n"
         << "\tPingTimeout = " << options_.ping_timeout << "\n"
         << "\tPongTimeout = " << options_.pong_timeout << "\n"
         << "\tMaxConnectionsIP = 0\n"
         << "[Options]\n"
         << "\tIncludeDir = " << include_dir << "\n"
         << "\tPAM = no\n"
         << "\tIdent = no\n"
         << "\tDNS = no\n";
    if (options_.tls) {
        // A fresh key and certificate, readable by the server's user.
        const Certificate made = make_certificate(dir_);
        const std::string &key = made.key, &cert = made.cert;
        fingerprint_ = made.fingerprint;
        tls_port_ = free_port();
        conf << "[SSL]\n"
             << "\tCertFile = " << cert << "\n"
             << "\tKeyFile = " << key << "\n"
             << "\tPorts = " << tls_port_ << "\n";
    }
    config_ = dir_.write("ngircd.conf", conf.str(), 0644);
}

IrcServer::~IrcServer()
{
    stop();
}

bool IrcServer::start(int timeout_ms)
{
    if (port_ <= 0 || program().empty())
        return false;
    // The PID comes from our own fork: the PID file is written after the server
    // changed its user and is not needed.
    if (!process_.start({program(), "-n", "-f", config_}, dir_.path(), dir_.file("ngircd.log")))
        return false;
    return wait_for_listener(port_, timeout_ms) && (tls_port_ == 0 || wait_for_listener(tls_port_, timeout_ms)) &&
           process_.running();
}

void IrcServer::stop()
{
    process_.stop();
    wait_for_no_listener(port_, 5000);
}

void IrcServer::kill()
{
    process_.kill_now();
    wait_for_no_listener(port_, 5000);
}

std::string IrcServer::log() const
{
    return read_text(dir_.file("ngircd.log"));
}

} // namespace e2e
