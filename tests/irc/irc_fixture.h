// Shared set-up for the IRC tests: a relay on the fake platform with an IRC server
// "irc.test" whose answers a test scripts line by line.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "relay/relay.h"
#include "relay/irc/output.h"
#include "relay/irc/session.h"
#include "tests/support/connected_relay.h"
#include "tests/support/relay_fixture.h"

struct IrcTest : ::testing::Test {
    TestRelay t;
    Relay& r = t.r();
    FakePlatform& fake = t.fake;
    // Replies of the scripted server: when a line the relay sends starts with the
    // first text, the second is queued for it to read (once).
    std::vector<std::pair<std::string, std::string>> replies;

    void SetUp() override
    {
        r.settings.irchost = std::string("irc.test");
        fake.hosts["irc.test"] = inet_addr("10.0.0.1");
        r.settings.channel = std::string("#chan");
        r.settings.servermode = 1; // no local game client socket unless a test asks
        fake.on_socket = [this](FakeSocket& s) {
            if (!s.tcp)
                return;
            s.on_send = [this](FakeSocket& sock, std::string_view data) {
                for (auto it = replies.begin(); it != replies.end(); ++it)
                    if (data.substr(0, it->first.size()) == it->first) {
                        sock.inbox.push_back(it->second);
                        replies.erase(it);
                        return;
                    }
            };
        };
    }

    // A live connection without the login.
    FakeSocket& connect_plain()
    {
        connect_fake_irc(r, fake, false);
        fake.on_socket(*fake.socket(r.irc.ircsocket));
        return *fake.socket(r.irc.ircsocket);
    }
    FakeSocket& irc() { return *fake.socket(r.irc.ircsocket); }
    std::vector<std::string> sent_lines() { return wire_lines(irc().sent); }

    // The server sends bytes; the relay reads and handles them as its loop does.
    void deliver(const std::string& bytes)
    {
        irc().inbox.push_back(bytes);
        ASSERT_NE(read_buf(r), -1);
        take_irc_lines(r);
    }

    int tcp_sockets() const
    {
        int n = 0;
        for (const auto& [h, s] : fake.sockets)
            n += s.tcp ? 1 : 0;
        return n;
    }
};

inline const std::string kBannerLine = "PRIVMSG #chan :\x03" "1,15 Quillon's SOF2 Tidewatch v1.2 ";
inline const std::string kUserLine = "USER Ferrobot 0 * :Quillon's SOF2 Tidewatch v1.2";
