// The relay on modern IRC networks, end to end: TLS to a real server (ngircd
// with a certificate made for the test), the server's key updates and
// renegotiation requests (openssl s_server), SASL PLAIN against a scripted IRCv3
// server, IPv6 on ::1 for IRC and the game server, and a long chat line split to
// fit the server's 512 bytes.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "tests/e2e/support/channel_reports.h"
#include "tests/e2e/support/game_server.h"
#include "tests/e2e/support/e2e_fixture.h"
#include "tests/e2e/support/irc_client.h"
#include "tests/e2e/support/irc_server.h"
#include "tests/e2e/support/relay_process.h"
#include "tests/e2e/support/scripted_peer.h"
#include "tests/e2e/support/temp_dir.h"
#include "tests/e2e/support/tls_server.h"

using namespace e2e;

namespace {

// base64 of "tidebot\0tidebot\0s3cret"
const std::string kGoodProof = "dGlkZWJvdAB0aWRlYm90AHMzY3JldA==";

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

struct ModernNetworkE2E : E2eFixture {
    ChannelReports channel{watcher, kChannel, kRelayNick};
    ScriptedPeer peer;
    GameServer game;
    std::string logfile = dir.write("qconsole.log", "");

    void TearDown() override
    {
        relay.stop();
        peer.stop();
        game.stop();
        E2eFixture::TearDown();
    }

    void start_relay(const std::string& host, int port, const std::string& general,
                     std::vector<std::string> options = {})
    {
        dir.write("irccolors_sof2.cfg", "[general]\nwaitmillisecs=1000\n" + general);
        options.insert(options.end(), {"-p", std::to_string(port), "-n", kRelayNick, host, kChannel, logfile});
        ASSERT_TRUE(relay.start(options));
    }

    void expect_banner()
    {
        auto banner = channel.next(30000);
        ASSERT_TRUE(banner) << relay.output() << watcher.transcript();
        EXPECT_EQ(*banner, kBanner);
    }

    // Waits for the relay to print text; false after timeout_ms.
    bool relay_says(const std::string& text, int timeout_ms)
    {
        for (int waited = 0; waited < timeout_ms; waited += 100) {
            if (has(relay.output(), text))
                return true;
            watcher.pump(100);
        }
        return false;
    }

    bool relay_joined()
    {
        for (const std::string& l : watcher.lines())
            if (command_of(l) == "JOIN" && prefix_nick(l) == kRelayNick)
                return true;
        return false;
    }
};

// Over TLS to openssl s_server, the server renews the session's keys with each
// of the command letters in turn; after each the relay must still answer a PING
// on the same connection, and at the end take an owner's !pass, having logged in
// once and never reconnected.
void expect_keys_renewed_in_place(ModernNetworkE2E& t, const std::string& protocol, const std::string& letters)
{
    TlsServer tls(t.dir);
    ASSERT_TRUE(tls.start(protocol)) << tls.output();
    t.start_relay("127.0.0.1", tls.port(), "tls=1\ntlsfingerprint=" + tls.fingerprint() + "\n", {"-b", "sesame"});
    ASSERT_TRUE(tls.wait_for("PRIVMSG " + kChannel + " :", 30000)) << tls.output() << t.relay.output();
    int done = 0;
    for (char letter : letters) {
        SCOPED_TRACE(std::string("after ") + letter);
        ASSERT_TRUE(tls.command(letter, ++done, 10000)) << tls.output();
        const std::string token = std::string("after-") + letter;
        // Behind a NOTICE: s_server would take a piece that starts with P for its command.
        ASSERT_TRUE(tls.type(":irc.test NOTICE " + kRelayNick + " :new keys\r\nPING :" + token + "\r\n"));
        EXPECT_TRUE(tls.wait_for("PONG " + token + "\r\n", 15000)) << tls.output() << t.relay.output();
    }
    ASSERT_TRUE(tls.type(":eve!eve@irc.test PRIVMSG " + kRelayNick + " :!pass sesame\r\n"));
    EXPECT_TRUE(tls.wait_for("PRIVMSG eve :\x03" "12,0 You have been AUTHORIZED SUCCESSFULLY!\r\n", 15000))
        << tls.output() << t.relay.output();
    EXPECT_EQ(occurrences(tls.output(), "NICK " + kRelayNick + "\r\n"), 1) << tls.output();
    EXPECT_FALSE(has(t.relay.output(), "read_buf")) << t.relay.output();
    t.relay.stop();
}

// Every byte above ASCII belongs to a whole two-byte UTF-8 character (all
// that the texts of these tests hold).
bool two_byte_utf8_only(const std::string& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80)
            continue;
        if (c < 0xC2 || c > 0xDF || i + 1 == text.size() || (static_cast<unsigned char>(text[i + 1]) & 0xC0) != 0x80)
            return false;
        ++i;
    }
    return true;
}

// A scripted IRCv3 server: capabilities with SASL PLAIN, a proof checked byte
// for byte, then registration and the channel.
std::string sasl_server(const std::string& line)
{
    if (line == "CAP LS 302")
        return ":peer.test CAP * LS :multi-prefix sasl=EXTERNAL,PLAIN\r\n";
    if (line == "CAP REQ :sasl")
        return ":peer.test CAP * ACK :sasl\r\n";
    if (line == "AUTHENTICATE PLAIN")
        return "AUTHENTICATE +\r\n";
    if (line == "AUTHENTICATE " + kGoodProof)
        return ":peer.test 900 " + kRelayNick + " " + kRelayNick +
               "!~Ferrobot@localhost tidebot :You are now logged in as tidebot\r\n"
               ":peer.test 903 " + kRelayNick + " :SASL authentication successful\r\n";
    if (line.rfind("AUTHENTICATE ", 0) == 0)
        return ":peer.test 904 " + kRelayNick + " :SASL authentication failed\r\n";
    if (line == "CAP END")
        return ":peer.test 001 " + kRelayNick + " :Welcome\r\n";
    if (line.rfind("JOIN ", 0) == 0)
        return ":" + kRelayNick + "!~Ferrobot@localhost JOIN " + kChannel + "\r\n";
    return "";
}

// The lines of the capability exchange, in order.
std::vector<std::string> exchange(const std::vector<std::string>& lines)
{
    std::vector<std::string> out;
    for (const std::string& l : lines)
        if (l.rfind("CAP ", 0) == 0 || l.rfind("AUTHENTICATE ", 0) == 0)
            out.push_back(l);
    return out;
}

} // namespace

TEST_F(ModernNetworkE2E, OverTlsWithAPinnedCertificateTheRelayJoinsAndReports)
{
    start_server({.tls = true});
    ASSERT_FALSE(server->fingerprint().empty()) << read_text(dir.file("openssl.out"));
    // ngircd offers capabilities but no SASL: the relay says so and logs in without.
    start_relay("127.0.0.1", server->tls_port(),
                "tls=1\ntlsfingerprint=" + server->fingerprint() + "\nsaslaccount=tidebot\nsaslpass=s3cret\n", {"-m"});
    expect_banner();
    EXPECT_TRUE(has(relay.output(), "IRC connection: TLS on (pinned certificate), SASL on")) << relay.output();
    EXPECT_TRUE(has(relay.output(), "SASL: the server offers no SASL PLAIN; logging in without it")) << relay.output();
    dir.append("qconsole.log", "^1Eve^7: ^2hello over tls\n");
    auto chat = channel.next(15000);
    ASSERT_TRUE(chat) << relay.output();
    EXPECT_TRUE(has(*chat, "Eve")) << *chat;
    EXPECT_TRUE(has(*chat, "hello over tls")) << *chat;
}

TEST_F(ModernNetworkE2E, AWrongFingerprintOrAnUntrustedCertificateIsRefused)
{
    start_server({.tls = true});
    struct Case {
        std::string general, console;
    } cases[] = {
        {"tls=1\ntlsfingerprint=00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF:00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF\n",
         "is not the one configured"},
        {"tls=1\n", "NOT trusted"},
    };
    for (const Case& c : cases) {
        start_relay("127.0.0.1", server->tls_port(), c.general);
        EXPECT_TRUE(relay_says("TLS with 127.0.0.1 failed: ", 20000)) << relay.output();
        EXPECT_TRUE(has(relay.output(), c.console)) << relay.output();
        watcher.pump(1000);
        EXPECT_TRUE(relay.running()) << relay.output(); // refused, not crashed
        EXPECT_FALSE(relay_joined()) << watcher.transcript();
        relay.stop();
        dir.write("tidecore.out", "");
    }
    // Before the handshake has succeeded nothing goes out in clear: a server that
    // never answers sees the start of a handshake and no IRC line.
    ASSERT_TRUE(peer.start([](const std::string&) { return std::string(); }));
    start_relay("127.0.0.1", peer.port(), "tls=1\n");
    for (int i = 0; i < 100 && peer.received().empty(); ++i)
        watcher.pump(100);
    watcher.pump(2000);
    const std::string bytes = peer.received();
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes[0], '\x16'); // a TLS handshake record
    EXPECT_FALSE(has(bytes, "PASS") || has(bytes, "NICK") || has(bytes, "USER")) << bytes;
}

TEST_F(ModernNetworkE2E, Tls13KeyUpdatesFromTheServerKeepTheConnection)
{
    expect_keys_renewed_in_place(*this, "-tls1_3", "kK"); // K: the relay must update its keys too
}

TEST_F(ModernNetworkE2E, Tls12RenegotiationsFromTheServerKeepTheConnection)
{
    expect_keys_renewed_in_place(*this, "-tls1_2", "rR"); // R: the server also asks for a client certificate
}

TEST_F(ModernNetworkE2E, SaslPlainLogsInWithTheRightAccount)
{
    ASSERT_TRUE(peer.start(sasl_server));
    start_relay("127.0.0.1", peer.port(), "saslaccount=tidebot\nsaslpass=s3cret\n");
    ASSERT_TRUE(peer.wait_for_line("PRIVMSG " + kChannel + " :" + kBanner, 40000)) << relay.output();
    EXPECT_EQ(exchange(peer.lines()), (std::vector<std::string>{"CAP LS 302", "CAP REQ :sasl", "AUTHENTICATE PLAIN",
                                                               "AUTHENTICATE " + kGoodProof, "CAP END"}));
    const std::string out = relay.output();
    EXPECT_TRUE(has(out, "IRC connection: TLS off, SASL on")) << out;
    EXPECT_TRUE(has(out, "SASL: logged in as tidebot")) << out;
    EXPECT_FALSE(has(out, "s3cret") || has(out, kGoodProof)) << out;
}

TEST_F(ModernNetworkE2E, AWrongSaslPasswordIsReportedAndTheRelayJoinsWithoutIt)
{
    ASSERT_TRUE(peer.start(sasl_server));
    start_relay("127.0.0.1", peer.port(), "saslaccount=tidebot\nsaslpass=wrong\n");
    ASSERT_TRUE(peer.wait_for_line("PRIVMSG " + kChannel + " :" + kBanner, 40000)) << relay.output();
    std::vector<std::string> lines = peer.lines();
    EXPECT_EQ(exchange(lines).back(), "CAP END");
    EXPECT_TRUE(peer.wait_for_line("JOIN " + kChannel, 0));
    const std::string out = relay.output();
    EXPECT_TRUE(has(out, "SASL: the server refused the login (904); logging in without it")) << out;
    EXPECT_FALSE(has(out, "wrong")) << out;
}

TEST_F(ModernNetworkE2E, Ipv6ForTheIrcServerAndTheGameServer)
{
    start_server({.ipv6 = true});
    ASSERT_TRUE(game.start(true));
    game.set_reply(status_reply("\\mapname\\mp_jor1\\g_gametype\\ctf\\redscore\\7\\bluescore\\3", ""));
    start_relay("::1", server->port(), "", {"-w", "::1", "-d", std::to_string(game.port())});
    expect_banner();
    // A capture makes the relay ask the game server quietly and report its score.
    dir.append("qconsole.log", "Bob has captured the Red Flag!\n");
    std::vector<std::string> got = channel.until("SCORE:", 20000);
    ASSERT_FALSE(got.empty()) << relay.output();
    EXPECT_TRUE(has(got.back(), "SCORE:")) << got.back() << relay.output();
    EXPECT_TRUE(has(got.back(), " 7 ")) << got.back();
    EXPECT_GE(game.requests(), 1);
}

TEST_F(ModernNetworkE2E, A900CharacterChatLineReachesTheChannelWholeInTwoPacedParts)
{
    start_server({});
    start_relay("127.0.0.1", server->port(), "", {"-m"});
    expect_banner();
    std::string said;
    for (int i = 0; said.size() < 900 - 11; ++i)
        said += (i ? " word" : "word") + std::to_string(i % 10);
    said.resize(900 - 11);
    const std::string logline = "^1Eve^7: ^2" + said;
    ASSERT_EQ(logline.size(), 900u);
    dir.append("qconsole.log", logline + "\n");

    std::vector<std::string> parts = channel.take(2, 20000);
    ASSERT_EQ(parts.size(), 2u) << relay.output();
    watcher.pump(2500);
    EXPECT_EQ(channel.next(0), std::nullopt); // no third part
    // The two parts as the watcher gets them: within 512 bytes with the server's
    // prefix, so well under 512 as the relay sent them.
    std::vector<std::string> wire;
    for (const std::string& l : watcher.lines())
        if (prefix_nick(l) == kRelayNick && command_of(l) == "PRIVMSG" && has(l, "word"))
            wire.push_back(l);
    ASSERT_EQ(wire.size(), 2u);
    for (const std::string& l : wire) {
        EXPECT_LE(l.size() + 2, 512u) << l;
        EXPECT_LT(l.size() + 2 - l.find(" PRIVMSG ") - 1, 512u) << l;
    }
    const std::string style = "\x03" "0,1";
    ASSERT_EQ(parts[1].compare(0, style.size(), style), 0) << parts[1];
    std::string whole = parts[0] + parts[1].substr(style.size());
    std::string glued = parts[0] + " " + parts[1].substr(style.size());
    const std::string expected = "\x03" "0,1\x03" "4 Eve\x03" "0: \x03" "3" + said;
    EXPECT_TRUE(whole == expected || glued == expected) << whole;
}

TEST_F(ModernNetworkE2E, WithCharsetUtf8LatinTextArrivesAsUtf8AndLongUtf8ChatInWholeCharacters)
{
    start_server({});
    start_relay("127.0.0.1", server->port(), "charset=utf-8\n", {"-m", "-k", "1"});
    expect_banner();
    std::string umlauts;
    for (int i = 0; i < 900; ++i)
        umlauts += "\xc3\xbc";
    // A German report (its phrase is Latin-1 in the relay), Latin-1 chat, and a
    // chat line of 900 u-umlauts in UTF-8: too long for one line.
    dir.append("qconsole.log", "Bob fell to his death.\n^1Eve^7: ^2Gr\xfc\xdf" "e\n^1Eve^7: ^2" + umlauts + "\n");
    // The chat line comes in three parts; wait a while for a fourth that must not come.
    std::vector<std::string> got = channel.take(6, 12000);
    ASSERT_EQ(got.size(), 5u) << relay.output();
    EXPECT_TRUE(has(got[0], " st\xc3\xbcrzte sich zu Tode")) << got[0];
    EXPECT_TRUE(has(got[1], "Gr\xc3\xbc\xc3\x9f" "e")) << got[1];
    const std::string style = "\x03" "0,1";
    std::string chat = got[2];
    for (std::size_t i = 2; i < got.size(); ++i) {
        EXPECT_TRUE(two_byte_utf8_only(got[i])) << i;
        if (i > 2) {
            ASSERT_EQ(got[i].compare(0, style.size(), style), 0) << got[i];
            chat += got[i].substr(style.size());
        }
    }
    // The line was cut to the report's limit, between two characters; nothing lost before.
    const std::size_t start = chat.find("\xc3\xbc");
    ASSERT_NE(start, std::string::npos);
    EXPECT_GT(chat.size() - start, 900u);
    EXPECT_EQ(chat.substr(start), umlauts.substr(0, chat.size() - start));
}

TEST_F(ModernNetworkE2E, AServerThatDripsCapabilitiesHoldsTheLoginAtMostFifteenSeconds)
{
    // One more "CAP * LS *" continuation every 0.45 s, for ever: the list never ends.
    peer.drip([](int n) { return ":peer.test CAP * LS * :cap" + std::to_string(n); }, 450);
    ASSERT_TRUE(peer.start([](const std::string& line) -> std::string {
        if (line == "CAP END")
            return ":peer.test 001 " + kRelayNick + " :Welcome\r\n";
        if (line.rfind("JOIN ", 0) == 0)
            return ":" + kRelayNick + "!~Ferrobot@localhost JOIN " + kChannel + "\r\n";
        return "";
    }));
    start_relay("127.0.0.1", peer.port(), "saslaccount=tidebot\nsaslpass=s3cret\n", {"-m"});
    ASSERT_TRUE(peer.wait_for_line("CAP LS 302", 10000)) << relay.output();
    const auto asked = std::chrono::steady_clock::now();
    dir.append("qconsole.log", "^1Eve^7: ^2said while the login waits\n");
    ASSERT_TRUE(peer.wait_for_line("CAP END", 30000)) << relay.output();
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - asked);
    EXPECT_LE(waited.count(), 16500);
    // Then it logs in as without SASL and reports what the log said meanwhile.
    ASSERT_TRUE(peer.wait_for_line("PRIVMSG " + kChannel + " :" + kBanner, 15000)) << relay.output();
    bool reported = false;
    for (int i = 0; i < 150 && !reported; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(100)))
        for (const std::string& l : peer.lines())
            reported = reported || (l.rfind("PRIVMSG " + kChannel, 0) == 0 && has(l, "said while the login waits"));
    EXPECT_TRUE(reported) << relay.output() << ::testing::PrintToString(peer.lines());
    EXPECT_TRUE(has(relay.output(), "SASL: no answer from the server; logging in without it")) << relay.output();
    EXPECT_EQ(exchange(peer.lines()), (std::vector<std::string>{"CAP LS 302", "CAP END"}));
}
