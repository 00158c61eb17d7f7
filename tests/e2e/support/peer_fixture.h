// The end-to-end tests that play the IRC server themselves: a scripted peer on
// 127.0.0.1 instead of ngircd, and the relay's (empty) console log.
#pragma once

#include <string>
#include <vector>

#include "tests/e2e/support/e2e_fixture.h"
#include "tests/e2e/support/irc_peer.h"

namespace e2e {

struct PeerFixture : E2eFixture {
    IrcPeer peer;
    std::string logfile = dir.write("qconsole.log", "");

    // Starts the relay as nick with options (one second between lines unless the
    // colour file is left as it is) and lets the peer log it in, welcoming it as
    // welcome (the nick itself when empty), up to its banner.
    void start_with_peer(const std::string& nick, const std::vector<std::string>& options,
                         const std::string& welcome = "", bool write_colours = true)
    {
        if (write_colours)
            dir.write("irccolors_sof2.cfg", "[general]\nwaitmillisecs=1000\n");
        ASSERT_TRUE(peer.listen());
        ASSERT_TRUE(relay.start(relay_args(peer.port(), kChannel, logfile, nick, options)));
        ASSERT_TRUE(peer.accept_login(welcome.empty() ? nick : welcome, 20000)) << relay.output() << peer.transcript();
        ASSERT_TRUE(peer.wait_for_text("Tidewatch v1.2", 10000)) << peer.transcript();
    }
};

} // namespace e2e
