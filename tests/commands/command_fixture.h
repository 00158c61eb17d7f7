// A connected relay whose owner commands are fed as IRC lines through the real
// session code, with the replies shown with their control bytes visible.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "relay/irc/session.h"
#include "tests/support/connected_relay.h"

struct CommandTest : ::testing::Test {
    ConnectedRelay t;
    Relay& r = t.r();

    void SetUp() override { r.settings.botpass = std::string("s3cret"); }

    // The server hands the relay one line (CR LF added).
    void deliver(const std::string& line)
    {
        t.fake.socket(t.sock)->inbox.push_back(line + "\r\n");
        ASSERT_NE(read_buf(r), -1);
        take_irc_lines(r);
    }
    // A private message from nick to the relay (or to target).
    void msg(const std::string& nick, const std::string& text, const std::string& target = "SOF2Tidewatch")
    {
        deliver(":" + nick + "!user@host PRIVMSG " + target + " :" + text);
    }
    // Boss becomes owner; what that sent is forgotten.
    void own()
    {
        msg("Boss", "!pass s3cret");
        t.clear_sent();
    }
    // The lines sent so far, control bytes visible ({C} colour, {O} plain ...).
    std::vector<std::string> shown()
    {
        std::vector<std::string> out;
        for (const std::string& l : t.lines())
            out.push_back(visible(l));
        return out;
    }
    // What the owner's command sent.
    std::vector<std::string> command(const std::string& text)
    {
        t.clear_sent();
        msg("Boss", text);
        return shown();
    }
};

inline const std::string kBossBanner = "PRIVMSG Boss :{C}1,15 Quillon's SOF2 Tidewatch v1.2 ";
inline std::string to_boss(const std::string& text)
{
    return "PRIVMSG Boss :" + text;
}
