// TLS, SASL, IPv6 and lines split to fit the server, on the fake platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "relay/base/charset.h"
#include "relay/base/trace.h"
#include "relay/irc/line_split.h"
#include "relay/irc/sasl.h"
#include "relay/irc/sockets.h"
#include "tests/irc/irc_fixture.h"

namespace {

using Lines = std::vector<std::string>;

// Walks the parts against the text they came from: each part's own share must
// follow on from the last (a blank a split took may lie between). Returns the
// bytes of text covered.
std::size_t follow_parts(const std::string& text, const Lines& parts, std::size_t room)
{
    const std::string head = ":" + leading_style(text);
    std::size_t pos = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        EXPECT_LE(parts[i].size(), room) << i;
        std::string own = parts[i];
        if (i > 0) {
            EXPECT_EQ(own.compare(0, head.size(), head), 0) << visible(own);
            own.erase(0, head.size());
            if (text[pos] == ' ')
                ++pos;
        }
        EXPECT_EQ(text.compare(pos, own.size(), own), 0) << i << ": " << visible(own);
        pos += own.size();
    }
    return pos;
}

std::string words(const char* word, int count)
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s += (i ? " " : "") + std::string(word);
    return s;
}

} // namespace

TEST(LineSplit, StatisticsAndChatLinesSplitAtBlanksAndKeepTheirStyle)
{
    const std::string stats = ":\x03" "1,14 " + words("Player\x03" "4 12/ 3 4.00\x03" "1,14 |", 40);
    const std::string chat = ":\x03" "0,1 [12:34] Alice: " + words("lorem", 120);
    const std::string styled = ":\x03" "1,7\x02\x1f " + words("bold", 100);
    struct Case {
        const char* what;
        std::string text;
        std::size_t room, parts;
    } cases[] = {
        {"statistics", stats, 420, 3},
        {"chat", chat, 440, 2},
        {"style characters", styled, 300, 2},
        {"fits", chat.substr(0, 440), 440, 1},
        {"a cut at the blank would cost a part", ":\x03" "0,1" + std::string(60, 'a') + " " + std::string(129, 'b'), 100, 2},
        {"room too small to split", chat, 20, 1},
    };
    for (const Case& c : cases) {
        Lines parts = split_trailing(c.text, c.room);
        EXPECT_EQ(parts.size(), c.parts) << c.what;
        if (c.parts == 1)
            EXPECT_EQ(parts[0], c.text) << c.what;
        else
            EXPECT_EQ(follow_parts(c.text, parts, c.room), c.text.size()) << c.what;
    }
    EXPECT_EQ(leading_style(styled), "\x03" "1,7\x02\x1f");
    EXPECT_EQ(leading_style(":plain"), "");
}

TEST(LineSplit, WithoutBlanksTheCutSparesColourCodes)
{
    // A colour code "{C}12,13" over bytes 98..103: a cut at 100 moves before it.
    std::string text = ":" + std::string(97, 'x') + "\x03" "12,13" + std::string(300, 'y');
    Lines parts = split_trailing(text, 100);
    ASSERT_GE(parts.size(), 2u);
    EXPECT_EQ(parts[0], text.substr(0, 98));
    EXPECT_EQ(follow_parts(text, parts, 100), text.size());
    // Codes of one digit and without a background are whole too.
    text = ":\x03" "5" + std::string(96, 'x') + "\x03" "9" + std::string(100, 'y');
    parts = split_trailing(text, 100);
    EXPECT_EQ(parts[0], text.substr(0, 99));
    EXPECT_EQ(parts[1].substr(0, 5), ":\x03" "5\x03" "9");
}

TEST(LineSplit, Utf8TextIsCutBetweenCharactersLatin1AtTheByte)
{
    auto repeat = [](const char* s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += s;
        return out;
    };
    const std::string style = ":\x03" "0,1\x03" "4 Eve\x03" "0: \x03" "3";
    struct Case {
        std::string text;
        std::size_t room;
        bool utf8;
    } cases[] = {
        {style + repeat("\xc3\xbc", 900), 400, true},  // the chat line of 900 u-umlauts
        {style + repeat("\xc3\xbc", 900), 401, true},
        {":x" + repeat("\xe2\x82\xac", 200), 100, true},
        {":xy" + repeat("\xe2\x82\xac", 200), 100, true},
        {":x" + repeat("\xf0\x9f\x98\x80", 100), 99, true},
        {style + repeat("\xfc", 900), 401, false}, // Latin-1: every byte is a character
    };
    for (const Case& c : cases) {
        Lines parts = split_trailing(c.text, c.room);
        ASSERT_GE(parts.size(), 2u);
        EXPECT_EQ(follow_parts(c.text, parts, c.room), c.text.size()) << visible(c.text.substr(0, 20));
        for (std::size_t i = 0; i < parts.size(); ++i) {
            EXPECT_EQ(utf8_valid(parts[i]), c.utf8) << i << ": " << visible(parts[i]);
            // No part is cut shorter than a character needs.
            if (i + 1 < parts.size()) {
                EXPECT_GE(parts[i].size() + 3, c.room) << i;
            }
        }
    }
}

TEST_F(IrcTest, ALongChatLineGoesOutInPacedPartsThatFitTheServer)
{
    connect_plain();
    // The server's own prefix for the relay, learnt from its JOIN.
    deliver(":SOF2Tidewatch!~Ferrobot@localhost JOIN #chan\r\n");
    const std::string prefix = ":SOF2Tidewatch!~Ferrobot@localhost ";
    const std::string text = ":\x03" "0,1 Alice: " + words("chat", 180) + "!"; // 900 bytes of chat
    ASSERT_EQ(text.size(), 13u + 900);
    const long long slept = fake.slept_ms;
    send_privmsg(r, "#chan", text.c_str());
    const Lines lines = sent_lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(fake.slept_ms - slept, 2 * 2150); // each part paced
    Lines texts;
    for (const std::string& l : lines) {
        EXPECT_LE(prefix.size() + l.size() + 2, kIrcLineMax) << visible(l);
        ASSERT_EQ(l.compare(0, 14, "PRIVMSG #chan "), 0);
        texts.push_back(l.substr(14)); // a part takes no trailing blank
    }
    EXPECT_EQ(follow_parts(text, texts, kIrcLineMax), text.size());

    // A line that fits goes out exactly as it always did; the prefix counted is the
    // learnt one, so a line 512 bytes long with it is not split.
    irc().sent.clear();
    const std::string fits = ":" + std::string(kIrcLineMax - prefix.size() - 14 - 3 - 1, 'f');
    send_privmsg(r, "#chan", fits.c_str());
    EXPECT_EQ(irc().sent, "PRIVMSG #chan " + fits + " \r\n");
    // One byte more fits only without the report's trailing blank; two do not.
    irc().sent.clear();
    send_privmsg(r, "#chan", (fits + "f").c_str());
    EXPECT_EQ(irc().sent, "PRIVMSG #chan " + fits + "f\r\n");
    irc().sent.clear();
    send_privmsg(r, "#chan", (fits + "ff").c_str());
    EXPECT_EQ(sent_lines().size(), 2u);
}

TEST_F(IrcTest, Latin1GoesOutAsUtf8OnlyWhenTheServerOrTheColourFileAsks)
{
    const std::string latin1 = ":\x03" "0,1 zur\xfc" "ck \xa9";
    const std::string utf8 = ":\x03" "0,1 zur\xc3\xbc" "ck \xc2\xa9";
    struct Case {
        const char* what;
        std::string isupport; // the server's 005 lines
        int charset;          // charset=utf-8 in the colour file
        bool converts;
    } cases[] = {
        {"neither: bytes as they are", ":irc.test 005 SOF2Tidewatch CHANTYPES=# :are supported\r\n", 0, false},
        {"the server says UTF8ONLY", ":irc.test 005 SOF2Tidewatch CHANTYPES=# UTF8ONLY NICKLEN=30 :are supported\r\n", 0, true},
        {"and takes it back", ":irc.test 005 SOF2Tidewatch UTF8ONLY :x\r\n:irc.test 005 SOF2Tidewatch -UTF8ONLY :x\r\n", 0, false},
        {"the colour file asks", "", 1, true},
    };
    for (const Case& c : cases) {
        r.irc.utf8only = 0;
        r.settings.charsetutf8 = c.charset;
        connect_plain();
        if (!c.isupport.empty())
            deliver(c.isupport);
        send_privmsg(r, "#chan", latin1.c_str());
        send_privmsg(r, "#chan", utf8.c_str()); // already UTF-8: never converted twice
        EXPECT_EQ(sent_lines(), (Lines{"PRIVMSG #chan " + (c.converts ? utf8 : latin1) + " ", "PRIVMSG #chan " + utf8 + " "}))
            << c.what;
    }
    // Converted text that is too long for the server is split between characters.
    connect_plain();
    const std::string text = ":" + std::string(600, '\xe4');
    send_privmsg(r, "#chan", text.c_str());
    Lines lines = sent_lines();
    ASSERT_EQ(lines.size(), 3u);
    std::string joined;
    for (const std::string& l : lines) {
        EXPECT_TRUE(utf8_valid(l)) << visible(l);
        joined += l.substr(15);
    }
    EXPECT_EQ(joined, latin1_to_utf8(text.substr(1)));
    // A new connection forgets what the last server announced.
    r.irc.ircconnected = 0;
    r.settings.charsetutf8 = 0;
    r.irc.utf8only = 1;
    connect_all(r);
    irc().sent.clear();
    send_privmsg(r, "#chan", latin1.c_str());
    EXPECT_EQ(irc().sent, "PRIVMSG #chan " + latin1 + " \r\n");
}

TEST_F(IrcTest, BeforeTheServerShowsThePrefixALongOneIsAssumed)
{
    connect_plain();
    const std::string text = ":" + std::string(420, 'a');
    send_privmsg(r, "#chan", text.c_str());
    // 14 + 421 + 3 bytes fit 512 only with a prefix of 74 or less: the guess is longer.
    EXPECT_EQ(sent_lines().size(), 2u);
}

namespace {

struct SaslTest : IrcTest {
    void SetUp() override
    {
        IrcTest::SetUp();
        r.settings.saslaccount = std::string("tidebot");
        r.settings.saslpass = std::string("s3cret");
    }
    // The lines sent, up to the JOIN.
    Lines login()
    {
        connect_all(r);
        Lines out;
        for (const std::string& l : sent_lines()) {
            if (l.rfind("JOIN", 0) == 0)
                break;
            out.push_back(l);
        }
        return out;
    }
};

} // namespace

TEST_F(SaslTest, PlainLoginFollowsTheCapabilityExchange)
{
    const std::vector<std::pair<std::string, std::string>> script = {
        {"CAP LS 302", ":irc.test CAP * LS * :multi-prefix\r\n:irc.test CAP * LS :sasl=EXTERNAL,PLAIN\r\n"},
        {"CAP REQ :sasl", ":irc.test CAP * ACK :sasl\r\n"},
        {"AUTHENTICATE PLAIN", "AUTHENTICATE +\r\n"},
        {"AUTHENTICATE dGlk", ":irc.test 900 SOF2Tidewatch x!y@z tidebot :You are now logged in\r\n"
                              ":irc.test 903 SOF2Tidewatch :SASL authentication successful\r\n"},
    };
    replies = script;
    r.settings.debuglevel = 101;
    open_trace(r);
    // Each answer is taken as soon as it is read: the exchange runs beside NICK and USER.
    const Lines first = login();
    EXPECT_EQ(first, (Lines{"CAP LS 302", "PASS zuzu", "CAP REQ :sasl", "NICK SOF2Tidewatch", "AUTHENTICATE PLAIN",
                              kUserLine, "AUTHENTICATE " + base64(std::string("tidebot\0tidebot\0s3cret", 22)),
                              "CAP END"}));
    EXPECT_EQ(base64(std::string("tidebot\0tidebot\0s3cret", 22)), "dGlkZWJvdAB0aWRlYm90AHMzY3JldA==");
    EXPECT_NE(fake.out.find("SASL: logged in as tidebot\n"), std::string::npos);
    // The credentials are not in the trace below its most detailed level.
    const std::string traced = fake.file_content(kTracePath);
    EXPECT_EQ(traced.find("dGlkZWJvdAB0aWRlYm90AHMzY3JldA=="), std::string::npos);
    EXPECT_NE(traced.find("[AUTHENTICATE ...]"), std::string::npos);
    EXPECT_NE(traced.find("WRITEBUF\r\n[AUTHENTICATE PLAIN]"), std::string::npos);

    // The wait is for the server: the relay's own pause of a minute after each
    // line does not cut short a negotiation the server keeps up with.
    irc().sent.clear();
    r.irc.ircconnected = 0;
    replies = script;
    r.settings.waitmillisecs = 60000;
    EXPECT_EQ(login(), first);
}

TEST_F(SaslTest, CredentialsGoInChunksOf400Bytes)
{
    for (std::size_t pass : {98u, 99u}) { // 300 bytes (400 in base64), then 301 (404)
        r.settings.saslaccount = std::string(100, 'a');
        r.settings.saslpass = std::string(pass, 'p');
        r.irc.ircconnected = 0;
        r.irc.saslstate = kSaslMech;
        connect_plain().sent.clear();
        irc().inbox.push_back("AUTHENTICATE +\r\n");
        read_buf(r);
        take_irc_lines(r);
        Lines lines = sent_lines();
        ASSERT_EQ(lines.size(), 2u) << pass;
        EXPECT_EQ(lines[0].size(), 13 + kSaslChunk);
        EXPECT_EQ(lines[1], pass == 98 ? "AUTHENTICATE +" : "AUTHENTICATE " + lines[1].substr(13, 4)) << pass;
    }
}

TEST_F(SaslTest, WithoutSaslTheLoginGoesOnAndSaysWhy)
{
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> script;
        const char* console;
        bool cap_end;
    } cases[] = {
        {"no sasl offered", {{"CAP LS", ":irc.test CAP * LS :multi-prefix sasl=EXTERNAL\r\n"}},
         "SASL: the server offers no SASL PLAIN; logging in without it\n", true},
        {"capability refused",
         {{"CAP LS", ":irc.test CAP * LS :sasl\r\n"}, {"CAP REQ", ":irc.test CAP * NAK :sasl\r\n"}},
         "SASL: the server refused the sasl capability; logging in without it\n", true},
        {"wrong password",
         {{"CAP LS", ":irc.test CAP * LS :sasl\r\n"},
          {"CAP REQ", ":irc.test CAP * ACK :sasl\r\n"},
          {"AUTHENTICATE PLAIN", "AUTHENTICATE +\r\n"},
          {"AUTHENTICATE dGlk", ":irc.test 904 * :SASL authentication failed\r\n"}},
         "SASL: the server refused the login (904); logging in without it\n", true},
        {"no capabilities", {{"CAP LS", ":irc.test 421 * CAP :Unknown command\r\n"}},
         "SASL: the server knows no capabilities; logging in without it\n", false},
        {"no answer", {}, "SASL: no answer from the server; logging in without it\n", true},
    };
    for (const Case& c : cases) {
        r.irc.ircconnected = 0;
        fake.out.clear();
        replies = c.script;
        const long long before = fake.slept_ms;
        Lines lines = login();
        EXPECT_NE(fake.out.find(c.console), std::string::npos) << c.what << ": " << fake.out;
        EXPECT_EQ(std::find(lines.begin(), lines.end(), "CAP END") != lines.end(), c.cap_end) << c.what;
        EXPECT_EQ(sent_lines().back(), kBannerLine) << c.what; // joined and announced all the same
        EXPECT_LT(fake.slept_ms - before, 40000) << c.what;    // the wait is bounded
        irc().sent.clear();
    }
}

TEST_F(IrcTest, TlsWrapsTheConnectionOrFailsItWithoutAByteInClear)
{
    r.settings.tls = 1;
    r.settings.tlsfingerprint = std::string("AB:CD");
    connect_all(r);
    ASSERT_EQ(r.irc.ircconnected, 1);
    EXPECT_TRUE(irc().tls);
    EXPECT_EQ(irc().tls_host, "irc.test");
    EXPECT_EQ(irc().tls_fingerprint, "AB:CD");

    r.irc.ircconnected = 0;
    fake.tls_failure = "certificate not trusted";
    fake.out.clear();
    connect_all(r);
    EXPECT_EQ(r.irc.ircconnected, 0);
    FakeSocket& failed = *fake.last_socket();
    EXPECT_EQ(failed.sent, "");
    EXPECT_TRUE(failed.hard_closed);
    EXPECT_NE(fake.out.find("TLS with irc.test failed: certificate not trusted\n"), std::string::npos) << fake.out;
    EXPECT_NE(fake.out.find("\nConnect returned"), std::string::npos);
}

TEST_F(IrcTest, Ipv6LiteralsAndEveryAddressOfANameAreTried)
{
    NetAddress loop6;
    loop6.v6 = true;
    loop6.v6bytes[15] = 1;
    NetAddress v4;
    v4.v4 = inet_addr("10.0.0.2");
    fake.host_addresses["::1"] = {loop6};
    fake.host_addresses["dual.test"] = {loop6, v4};

    for (const char* host : {"::1", "[::1]"}) {
        ASSERT_GT(open_tcp(r, host, "6667"), 0) << host;
        EXPECT_EQ(fake.last_socket()->peer, loop6) << host;
    }
    // The first address refuses: the next one is tried.
    int connects = 0;
    fake.on_connect = [&](uint32_t, uint16_t, bool) { return ++connects == 1 ? -1 : 0; };
    ASSERT_GT(open_tcp(r, "dual.test", "6667"), 0);
    EXPECT_EQ(connects, 2);
    EXPECT_EQ(fake.last_socket()->peer, v4);
    EXPECT_EQ(fake.last_socket()->addr, v4.v4);

    // The status query's socket keeps its IPv6 peer, so the answer is taken.
    ASSERT_GT(open_udp(r, "::1", "27960", UdpFor::query), 0);
    EXPECT_EQ(r.query.queryaddress, loop6);
    EXPECT_EQ(r.query.queryport, 27960);
}
