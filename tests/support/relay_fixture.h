// A fresh Relay on a fake platform, for unit tests.
#pragma once

#include <memory>

#include "relay/relay.h"
#include "tests/support/fake_platform.h"

// The settings of a relay that runs on its loop in a test: an IRC server at
// 127.0.0.1, channel #chan, the log qconsole.log, no map or colour file (none
// exists), a quiet console.
inline void set_loop_settings(BotSettings& s)
{
    s.irchost = std::string("127.0.0.1");
    s.channel = std::string("#chan");
    s.logfile = std::string("qconsole.log");
    s.mapfile = std::string("none.xml");
    s.colorfile = std::string("none.cfg");
    s.quietmode = 1;
}

struct TestRelay {
    FakePlatform fake;
    std::unique_ptr<Relay> relay = std::make_unique<Relay>(fake);
    Relay& r() { return *relay; }
};
