// A fresh Relay on a fake platform, for unit tests.
#pragma once

#include <new>

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

// Puts the relay on a connected IRC socket of the fake platform, in its channel
// (joined unless told otherwise); the socket's handle.
inline int connect_fake_irc(Relay& r, FakePlatform& fake, bool joined = true)
{
    const int sock = fake.sock_create(true);
    r.irc.ircsocket = sock;
    r.irc.ircconnected = 1;
    r.irc.ircjoined = joined ? 1 : 0;
    return sock;
}

// A fresh Relay on a fake platform: on the heap, or in storage of sizeof(Relay),
// aligned for one, that the caller reuses (the fuzz targets build a relay for
// every input, where a new allocation of its size costs more than most inputs).
struct TestRelay {
    FakePlatform fake;

    explicit TestRelay(void* storage = nullptr)
        : relay_(storage ? new (storage) Relay(fake) : new Relay(fake)), owned_(storage == nullptr)
    {
    }
    ~TestRelay()
    {
        if (owned_)
            delete relay_;
        else
            relay_->~Relay();
    }
    TestRelay(const TestRelay&) = delete;
    TestRelay& operator=(const TestRelay&) = delete;

    Relay& r() { return *relay_; }

private:
    Relay* relay_;
    bool owned_;
};
