// Who the running relay obeys, against a scripted server that can put any prefix
// before a line: the owner is a nick and a user@host, password guessers are slowed
// per user@host without locking the owner out, and the relay answers to the nick
// the server gave it.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/support/irc_peer.h"
#include "tests/e2e/support/peer_fixture.h"
#include "tests/e2e/support/relay_process.h"
#include "tests/e2e/support/temp_dir.h"

using namespace e2e;

namespace {

struct OwnerIdentityE2E : PeerFixture {
    std::string nick;

    // The relay asks for SOF2Tidewatch; the server welcomes it as welcome_nick.
    void start(const std::string& welcome_nick)
    {
        nick = welcome_nick;
        start_with_peer("SOF2Tidewatch", {"-b", "s3cret"}, welcome_nick);
    }

    void say(const std::string& prefix, const std::string& text)
    {
        ASSERT_TRUE(peer.send_raw(":" + prefix + " PRIVMSG " + nick + " :" + text + "\r\n"));
    }

    // Sends a probe (a right password from probe_prefix) after the lines sent so
    // far; the private messages to others before its reply (the relay handles
    // lines in order).
    std::vector<std::string> replies_before_probe(const std::string& probe_prefix, const std::string& probe_to)
    {
        std::size_t from = peer.lines().size();
        say(probe_prefix, "!pass s3cret");
        auto got = peer.wait_for_text("PRIVMSG " + probe_to + " :\x03" "12,0 You have been AUTHORIZED", 20000, from);
        EXPECT_TRUE(got) << relay.output() << peer.transcript();
        std::vector<std::string> out;
        for (std::size_t i = from; i < peer.lines().size() && peer.lines()[i] != *got; ++i)
            if (peer.lines()[i].rfind("PRIVMSG ", 0) == 0 && peer.lines()[i].rfind("PRIVMSG " + probe_to + " ", 0) != 0)
                out.push_back(peer.lines()[i]);
        return out;
    }
};

} // namespace

TEST_F(OwnerIdentityE2E, TheOwnerIsTheNickAndTheUserHostUntilItQuits)
{
    start("SOF2Tidewatch");
    say("Boss!b@home", "!pass s3cret");
    ASSERT_TRUE(peer.wait_for_text("PRIVMSG Boss :\x03" "12,0 You have been AUTHORIZED", 15000)) << peer.transcript();

    std::size_t from = peer.lines().size();
    say("Boss!x@elsewhere", "!quit");      // the nick from another user@host
    say("Boss", "!quit");                  // no user@host
    say("!b@home", "!pass s3cret");        // an empty nick
    say("Boss", "!pass s3cret");
    peer.send_raw(":Boss!b@home NICK :Chief\r\n");
    say("Chief!b@home", "!linesread");
    EXPECT_TRUE(peer.wait_for_text("PRIVMSG Chief :\x03" "1,0 LINES read:", 15000, from)) << peer.transcript();
    peer.send_raw(":Chief!b@home QUIT :gone\r\n");
    say("Chief!b@home", "!quit"); // ownership ended with the QUIT

    auto before = replies_before_probe("Heir!h@there", "Heir");
    for (const std::string& l : before)
        EXPECT_TRUE(l.rfind("PRIVMSG Chief :", 0) == 0) << l; // only the !linesread reply
    EXPECT_TRUE(relay.running()) << relay.output();
}

TEST_F(OwnerIdentityE2E, GuessersAreSlowedPerUserHostAndNeverLockOutTheOwner)
{
    start("SOF2Tidewatch");
    for (int i = 0; i < 6; ++i)
        say("Guess" + std::to_string(i) + "!g" + std::to_string(i) + "@evil", "!pass wrong");
    say("Renamed!g0@evil", "!pass s3cret"); // a guesser under a new nick is still waiting
    auto before = replies_before_probe("Boss!b@home", "Boss");
    EXPECT_TRUE(before.empty()) << peer.transcript();
}

TEST_F(OwnerIdentityE2E, TheRelayAnswersToTheNickTheServerWelcomedItAs)
{
    start("tidebot");
    say("Boss!b@home", "!pass s3cret");
    ASSERT_TRUE(peer.wait_for_text("PRIVMSG Boss :\x03" "12,0 You have been AUTHORIZED", 15000))
        << relay.output() << peer.transcript();
    peer.send_raw(":tidebot!Ferrobot@127.0.0.1 NICK :tide\r\n");
    nick = "tide";
    std::size_t from = peer.lines().size();
    say("Boss!b@home", "!linesread");
    EXPECT_TRUE(peer.wait_for_text("PRIVMSG Boss :\x03" "1,0 LINES read:", 15000, from)) << peer.transcript();
}
