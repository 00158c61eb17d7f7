// The common ground of most end-to-end tests: a scratch directory, a real IRC
// server on 127.0.0.1, a user watching the channel, and the relay under test.
// The relay stops before the server; a fixture that adds parts stops them in its
// own TearDown and then calls this one.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/e2e/support/irc_client.h"
#include "tests/e2e/support/irc_server.h"
#include "tests/e2e/support/relay_process.h"
#include "tests/e2e/support/temp_dir.h"

namespace e2e {

inline const std::string kTestChannel = "#tidewatch";

struct ChannelFixture : ::testing::Test {
    TempDir dir;
    std::unique_ptr<IrcServer> server;
    RelayProcess relay{dir};
    IrcClient watcher;

    // Skips the test when ngircd is missing; a fixture that adds to it checks
    // IsSkipped() and HasFatalFailure() after calling it.
    void SetUp() override
    {
        if (IrcServer::program().empty())
            GTEST_SKIP() << "ngircd not available";
        server = std::make_unique<IrcServer>(dir);
        ASSERT_TRUE(server->start()) << server->log();
        ASSERT_TRUE(watcher.watch(server->port(), kTestChannel)) << watcher.transcript();
    }

    void TearDown() override
    {
        relay.stop();
        if (server)
            server->stop();
    }
};

} // namespace e2e
