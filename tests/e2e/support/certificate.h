// A fresh self-signed TLS certificate for "localhost" and 127.0.0.1, made with
// openssl for one test.
#pragma once

#include <string>

#include "tests/e2e/support/temp_dir.h"

namespace e2e {

struct Certificate {
    std::string key, cert; // paths of the PEM files (readable by every user)
    std::string fingerprint; // SHA-256, as openssl prints it (colon-separated hex)
};

// Makes tls-key.pem and tls-cert.pem in dir; openssl's output goes to
// openssl.out there. The fingerprint is empty when openssl failed.
Certificate make_certificate(const TempDir& dir);

} // namespace e2e
