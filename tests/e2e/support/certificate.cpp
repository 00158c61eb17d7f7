#include "tests/e2e/support/certificate.h"

#include <sys/stat.h>
#include <vector>

#include "tests/e2e/support/process.h"

namespace e2e {

namespace {

// Runs openssl with the arguments in dir; its output goes to openssl.out there.
bool openssl(const TempDir& dir, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{"/usr/bin/openssl"};
    argv.insert(argv.end(), args.begin(), args.end());
    Process p;
    return p.start(argv, dir.path(), dir.file("openssl.out")) && p.wait_exit(60000) && p.exit_code() == 0;
}

} // namespace

Certificate make_certificate(const TempDir& dir)
{
    Certificate c{dir.file("tls-key.pem"), dir.file("tls-cert.pem"), ""};
    if (openssl(dir, {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                      c.key, "-out", c.cert, "-days", "2", "-subj", "/CN=localhost", "-addext",
                      "subjectAltName=DNS:localhost,IP:127.0.0.1"}) &&
        openssl(dir, {"x509", "-in", c.cert, "-noout", "-fingerprint", "-sha256"})) {
        chmod(c.key.c_str(), 0644);
        std::string out = read_text(dir.file("openssl.out"));
        std::size_t eq = out.rfind('=');
        if (eq != std::string::npos)
            c.fingerprint = out.substr(eq + 1, out.find_first_of("\r\n", eq) - eq - 1);
    }
    return c;
}

} // namespace e2e
