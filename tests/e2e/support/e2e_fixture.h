// The common ground of the end-to-end tests: a scratch directory, the relay under
// test, and, once a test starts it, a real IRC server on 127.0.0.1 with a user
// watching the channel. TearDown stops the relay, then the server; a fixture that
// adds parts stops them in its own TearDown and then calls this one.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/e2e/support/irc_client.h"
#include "tests/e2e/support/irc_server.h"
#include "tests/e2e/support/relay_process.h"
#include "tests/e2e/support/temp_dir.h"

namespace e2e {

inline const std::string kChannel = "#tidewatch";
inline const std::string kRelayNick = "SOF2Tidewatch";
// The relay's banner as the channel shows it.
inline const std::string kBanner = "\x03" "1,15 Quillon's SOF2 Tidewatch v1.2";

struct E2eFixture : ::testing::Test {
    TempDir dir;
    std::unique_ptr<IrcServer> server;
    RelayProcess relay{dir};
    IrcClient watcher;

    // Starts ngircd and lets the watcher join the channel. Skips the test when
    // ngircd is missing: a caller that goes on checks IsSkipped() and
    // HasFatalFailure() after it.
    void start_server(const IrcServerOptions& options = {})
    {
        if (IrcServer::program().empty())
            GTEST_SKIP() << "ngircd not available";
        server = std::make_unique<IrcServer>(dir, options);
        ASSERT_TRUE(server->start()) << server->log();
        watch();
    }

    // The watcher (again) in the channel of the running server.
    void watch() { ASSERT_TRUE(watcher.watch(server->port(), kChannel)) << watcher.transcript(); }

    void TearDown() override
    {
        relay.stop();
        if (server)
            server->stop();
    }
};

// Most tests: the server and the watcher are there before the test begins.
struct ChannelFixture : E2eFixture {
    void SetUp() override { start_server(); }
};

} // namespace e2e
