#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "relay/irc/irc_message.h"
#include "relay/irc/session.h"
#include "tests/irc/irc_fixture.h"

using SessionTest = IrcTest;
using Lines = std::vector<std::string>;

TEST_F(SessionTest, SplitsMessagesIntoArguments)
{
    struct Case {
        const char* line;
        Lines args;
    } cases[] = {
        {":nick!u@h PRIVMSG #chan :hello world", {":nick!u@h", "PRIVMSG", "#chan", "hello world"}},
        {"PING :irc.example", {"PING", "irc.example"}},
        {":a PRIVMSG #c :one :two", {":a", "PRIVMSG", "#c", "one", "two"}},
        {"a   b  c", {"a", "b", "c"}},
        {"a b:c d", {"a", "b:c", "d"}},
        {"x :", {"x"}},
        {"x  :trail ing", {"x", "trail ing"}},
        {"a :x : :y", {"a", "x", "", "y"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse_irc_message(c.line).words, c.args) << c.line;
    // Words beyond the last read as empty.
    EXPECT_STREQ(parse_irc_message("a").arg(3), "");
}

TEST_F(SessionTest, SplitKeepsTwentyArgumentsOf1023Characters)
{
    std::string many;
    for (int i = 0; i < 25; ++i)
        many += "w" + std::to_string(i) + " ";
    const IrcMessage m = parse_irc_message(many);
    EXPECT_EQ(m.count(), 20);
    EXPECT_STREQ(m.arg(19), "w19");

    std::string longline = "PRIVMSG #c :" + std::string(2000, 'z');
    const IrcMessage cut = parse_irc_message(longline);
    ASSERT_EQ(cut.count(), 3);
    EXPECT_EQ(cut.words[2], std::string(1023, 'z'));
}

TEST_F(SessionTest, LoginSendsTheLinesInOrder)
{
    connect_all(r);
    ASSERT_EQ(r.irc.ircconnected, 1);
    EXPECT_EQ(irc().sent, "PASS zuzu\r\n"
                          "NICK SOF2Tidewatch\r\n" +
                              kUserLine + "\r\n"
                                          "JOIN #chan\r\n" +
                              kBannerLine + "\r\n");
    // Five lines, each followed by the pacing pause; the login itself does not wait.
    EXPECT_EQ(fake.slept_ms, 5 * 2150);
}

TEST_F(SessionTest, LoginWithQAuthAndChannelKey)
{
    r.settings.qpass = std::string("secret");
    r.settings.channelkey = std::string("key");
    r.settings.bouncerpass = std::string("pw");
    connect_all(r);
    EXPECT_EQ(sent_lines(), (Lines{"PASS pw", "NICK SOF2Tidewatch", kUserLine,
                                   "PRIVMSG Q@CServe.quakenet.org :AUTH SOF2Tidewatch secret",
                                   "JOIN #chan key", kBannerLine}));
    EXPECT_EQ(r.settings.qnick, "SOF2Tidewatch");
}

TEST_F(SessionTest, BouncerModeReadsOnlyAfterJoinAndBanner)
{
    // The server pings right after PASS; without bouncer mode the answer follows at
    // once, in bouncer mode only after the JOIN.
    replies = {{"PASS", "PING :early\r\n"}};
    connect_all(r);
    EXPECT_EQ(sent_lines(), (Lines{"PASS zuzu", "PONG early", "NICK SOF2Tidewatch", kUserLine,
                                   "JOIN #chan", kBannerLine}));

    TestRelay t2;
    Relay& b = t2.r();
    b.settings = r.settings;
    b.settings.bouncer = 1;
    t2.fake.hosts = fake.hosts;
    t2.fake.on_socket = [](FakeSocket& s) {
        s.on_send = [](FakeSocket& sock, std::string_view data) {
            if (data.substr(0, 4) == "PASS")
                sock.inbox.push_back("PING :early\r\n");
        };
    };
    connect_all(b);
    EXPECT_EQ(wire_lines(t2.fake.socket(b.irc.ircsocket)->sent),
              (Lines{"PASS zuzu", "NICK SOF2Tidewatch", kUserLine, "JOIN #chan", "PONG early", kBannerLine}));
}

TEST_F(SessionTest, TwoNickCollisionsAppendTwoTwos)
{
    replies = {{"NICK SOF2Tidewatch\r\n", ":irc.test 433 * SOF2Tidewatch :Nickname is already in use\r\n"},
               {"NICK SOF2Tidewatch2\r\n", ":irc.test 433 * SOF2Tidewatch2 :Nickname is already in use\r\n"}};
    connect_all(r);
    EXPECT_EQ(r.settings.nick, "SOF2Tidewatch22");
    Lines sent = sent_lines();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[1], "NICK SOF2Tidewatch");
    EXPECT_EQ(sent[2], "NICK SOF2Tidewatch2");
    EXPECT_EQ(sent.back(), kBannerLine);
    EXPECT_NE(std::find(sent.begin(), sent.end(), "NICK SOF2Tidewatch22"), sent.end());
    EXPECT_NE(fake.out.find("NICK NAME IS ALREADY USED!!!\n"), std::string::npos);
}

TEST_F(SessionTest, AnswersPingAndIgnoresNotices)
{
    connect_plain();
    deliver("PING :irc.example\r\n");
    deliver("NOTICE AUTH :*** Looking up your hostname\r\n");
    deliver("PING\r\n");                 // nothing to answer with
    deliver(":irc.test NOTICE x :hi\r\n");
    deliver("PING :lf.only\nPING :half"); // a line ended by LF alone is a line too
    EXPECT_EQ(irc().sent, "PONG irc.example\r\nPONG lf.only\r\n");
    EXPECT_EQ(std::string(r.irc.ircinbuf), "PING :half");
}

TEST_F(SessionTest, APingFloodNeitherWaitsNorHoldsUpTheLoop)
{
    connect_plain();
    std::string flood;
    for (int i = 0; i < 1000; ++i)
        flood += "PING :p" + std::to_string(i) + "\r\n";
    const long long slept = fake.slept_ms;
    deliver(flood);
    // One call handles a bounded number of lines, and PONG takes no reporting pause.
    EXPECT_EQ(sent_lines().size(), static_cast<std::size_t>(kIrcLinesPerPass));
    EXPECT_EQ(fake.slept_ms, slept);
    EXPECT_TRUE(irc_lines_waiting(r));
    for (int i = 0; i < 1000 && irc_lines_waiting(r); ++i)
        take_irc_lines(r);
    EXPECT_EQ(sent_lines().size(), 1000u);
    EXPECT_EQ(sent_lines().back(), "PONG p999");
}

TEST_F(SessionTest, NumericRepliesRepairRegistration)
{
    struct Case {
        int numeric;
        const char* message;
        Lines sent;
    } cases[] = {
        {403, "UNKNOWN CHANNEL!!!\n", {"JOIN #old oldkey"}},
        {404, "CANNOT SEND TO CHANNEL!!!\n", {"JOIN #chan"}},
        {432, "NICK NAME IS INVALID!!!\n", {"NICK Ferrobot", kUserLine, "JOIN #chan"}},
        {433, "NICK NAME IS ALREADY USED!!!\n", {"NICK SOF2Tidewatch2", kUserLine, "JOIN #chan"}},
        {442, "NOT ON ANY CHANNEL!!!\n", {"JOIN #chan"}},
        {451, "", {"PASS zuzu", "NICK SOF2Tidewatch", kUserLine, "JOIN #chan"}},
        {464, "PASSWORD IS INVALID!!!\n", {}},
        {468, "USERNAME IS INVALID!!!\n", {kUserLine, "JOIN #chan"}},
        {473, "INVITE ONLY CHANNEL!!!\n", {"JOIN #chan"}},
        {474, "BANNED FROM CHANNEL!!!\n", {"JOIN #chan"}},
        {475, "KEY NEEDED FOR CHANNEL!!!\n", {"JOIN #chan"}},
        {1, "", {}},
        {999, "", {}},
    };
    for (const auto& c : cases) {
        ConnectedRelay tr;
        Relay& x = tr.r();
        x.settings.channel = std::string("#new");
        if (c.numeric != 403)
            x.settings.channel = std::string("#chan");
        x.commands.prevchannel = std::string("#old");
        x.commands.prevchannelkey = std::string("oldkey");
        x.settings.bounceruser = std::string(c.numeric == 468 ? "someone" : "Ferrobot");
        char line[80];
        std::snprintf(line, sizeof line, ":irc.test %03d SOF2Tidewatch :text\r\n", c.numeric);
        tr.fake.socket(x.irc.ircsocket)->inbox.push_back(line);
        read_buf(x);
        take_irc_lines(x);
        EXPECT_EQ(wire_lines(tr.fake.socket(x.irc.ircsocket)->sent), c.sent) << c.numeric;
        EXPECT_EQ(tr.fake.out, c.message) << c.numeric;
        if (c.numeric == 403) {
            // The relay goes back where it is, and reports follow it there.
            EXPECT_EQ(x.settings.channel, "#old");
            EXPECT_EQ(x.settings.channelkey, "oldkey");
        }
        if (c.numeric == 468) {
            EXPECT_EQ(x.settings.bounceruser, "Ferrobot");
        }
    }
}

TEST_F(SessionTest, UnknownChannelWithoutPreviousChannelDoesNothing)
{
    r.settings.quietmode = 1;
    connect_plain();
    deliver(":irc.test 403 SOF2Tidewatch #nochan :No such channel\r\n");
    EXPECT_EQ(irc().sent, "");
    EXPECT_EQ(fake.out, "");
    EXPECT_EQ(r.settings.channel, "#chan");
    // Quiet mode silences the message but not the repair.
    deliver(":irc.test 442 SOF2Tidewatch :You're not on that channel\r\n");
    EXPECT_EQ(irc().sent, "JOIN #chan\r\n");
    EXPECT_EQ(fake.out, "");
}

TEST_F(SessionTest, FollowsOwnJoinAndPartOnly)
{
    connect_plain();
    deliver(":other!u@h JOIN :#chan\r\n");
    EXPECT_EQ(r.irc.ircjoined, 0);
    deliver(":sof2tidewatch!u@h JOIN :#chan\r\n"); // nicks compare case-sensitively here
    EXPECT_EQ(r.irc.ircjoined, 0);
    deliver(":SOF2Tidewatch!~Ferrobot@host JOIN :#chan\r\n");
    EXPECT_EQ(r.irc.ircjoined, 1);
    deliver(":other!u@h PART #chan\r\n");
    EXPECT_EQ(r.irc.ircjoined, 1);
    deliver(":SOF2Tidewatch!~Ferrobot@host PART #chan\r\n");
    EXPECT_EQ(r.irc.ircjoined, 0);
}

// The owner is a nick and the user@host that authorised: its nick changes are
// followed, another person's are not, and its QUIT ends ownership.
TEST_F(SessionTest, OwnershipFollowsTheOwnersOwnNickChangesUntilItQuits)
{
    connect_plain();
    r.commands.botowner = std::string("Boss");
    r.commands.owneruserhost = "b@home";
    const std::pair<const char*, const char*> steps[] = {
        // line from the server, the owner's nick after it ("" none)
        {":Boss!x@elsewhere NICK :Evil", "Boss"}, // the nick, but another user@host
        {":Boss NICK :Evil", "Boss"},             // no user@host at all
        {":boss!b@home NICK :Chief", "Chief"},    // the owner; nicks fold case
        {":Someone!s@h NICK :Boss", "Chief"},     // taking the old nick gives nothing
        {":Chief!b@home NICK :", "Chief"},
        {":Chief!x@elsewhere QUIT :bye", "Chief"},
        {":Chief!b@home QUIT :bye", ""},
        {":Chief!b@home NICK :Other", ""},
    };
    for (const auto& [line, owner] : steps) {
        deliver(std::string(line) + "\r\n");
        EXPECT_EQ(r.commands.botowner.value_or(""), owner) << line;
    }
}

// The server's CASEMAPPING (005) decides which nicks are one: the owner check and
// the NICK follow-up agree on it.
TEST_F(SessionTest, NicksFoldCaseAsTheServerAnnounces)
{
    struct Case {
        const char* isupport; // tokens of a 005 reply, "" none (rfc1459)
        const char* nick;     // the owner's nick as a line spells it
        bool same;
    };
    const Case cases[] = {
        {"", "boss{1}^", true},
        {"CASEMAPPING=rfc1459", "BOSS{1}^", true},
        {"CASEMAPPING=strict-rfc1459", "boss{1}~", true},
        {"CASEMAPPING=strict-rfc1459", "boss[1]^", false},
        {"CASEMAPPING=ascii", "BOSS[1]~", true},
        {"CASEMAPPING=ascii", "boss{1}~", false},
        {"CASEMAPPING=rfc7613", "boss[1]~", true}, // unknown: A-Z only
        {"CASEMAPPING=rfc7613", "Boss{1}~", false},
    };
    for (const Case& c : cases) {
        TestRelay tr;
        Relay& rr = tr.r();
        rr.irc.ircconnected = 1;
        rr.irc.ircsocket = tr.fake.sock_create(true);
        rr.commands.botowner = std::string("Boss[1]~");
        rr.commands.owneruserhost = "b@home";
        auto hand = [&](const std::string& line) {
            tr.fake.socket(rr.irc.ircsocket)->inbox.push_back(line + "\r\n");
            read_buf(rr);
            take_irc_lines(rr);
        };
        hand(std::string(":irc.test 005 SOF2Tidewatch CHANTYPES=# ") + c.isupport + " :are supported by this server");
        hand(std::string(":") + c.nick + "!b@home NICK :Chief");
        EXPECT_EQ(rr.commands.botowner.value_or(""), c.same ? "Chief" : "Boss[1]~") << c.isupport << " " << c.nick;
    }
}

// The server may register the relay under another nick than it asked for (the
// account name after SASL, a guest nick) and rename it later: the relay answers
// to that nick, knows its own JOIN and grows that nick on a collision.
TEST_F(SessionTest, TheRelayTakesTheNickTheServerGivesIt)
{
    connect_plain();
    r.settings.botpass = std::string("s3cret");
    r.settings.quietmode = 0;
    const std::pair<const char*, const char*> steps[] = {
        // line from the server, the relay's nick after it
        {":irc.test 001 * :Welcome", "SOF2Tidewatch"}, // no usable nick: kept
        {":irc.test 001 tidebot :Welcome", "tidebot"},
        {":someone!s@h NICK :Other", "tidebot"},
        {":SOF2Tidewatch!~Ferrobot@h NICK :Other", "tidebot"}, // the old nick is not the relay
        {":TideBot!~Ferrobot@h NICK :tide", "tide"},
        {":tide!~Ferrobot@h NICK :", "tide"},
    };
    for (const auto& [line, nick] : steps) {
        deliver(std::string(line) + "\r\n");
        EXPECT_EQ(r.settings.nick, nick) << line;
    }
    EXPECT_EQ(fake.out, "IRC nick is now tidebot\nIRC nick is now tide\n");

    deliver(":tide!~Ferrobot@h JOIN :#chan\r\n");
    EXPECT_EQ(r.irc.ircjoined, 1);
    irc().sent.clear();
    deliver(":Boss!b@home PRIVMSG tide :!pass s3cret\r\n");
    ASSERT_EQ(sent_lines().size(), 2u);
    EXPECT_EQ(sent_lines()[1], "PRIVMSG Boss :\x03" "12,0 You have been AUTHORIZED SUCCESSFULLY!");

    irc().sent.clear();
    deliver(":irc.test 433 * tide :Nickname is already in use\r\n");
    EXPECT_EQ(sent_lines().front(), "NICK tide2");
}

TEST_F(SessionTest, ReceiveErrorReconnectsAfterFiveSeconds)
{
    FakeSocket& old = connect_plain();
    int old_handle = old.handle;
    old.recv_error = SockErr::conn_reset;
    long long before = fake.slept_ms;
    EXPECT_EQ(read_buf(r), 0);
    EXPECT_FALSE(fake.socket(old_handle)->open);
    EXPECT_FALSE(fake.socket(old_handle)->hard_closed);
    EXPECT_EQ(r.irc.ircconnected, 1);
    EXPECT_NE(r.irc.ircsocket, old_handle);
    EXPECT_EQ(sent_lines().front(), "PASS zuzu");
    EXPECT_EQ(fake.slept_ms - before, 5000 + 5 * 2150);
    EXPECT_EQ(fake.out, "read_buf: Fake error\nread_buf recv(-1) ecode(15) error\n");
}

TEST_F(SessionTest, ReceiveErrorGivesUpAfterTwoAttempts)
{
    FakeSocket& old = connect_plain();
    old.recv_error = SockErr::timed_out;
    fake.on_connect = [](uint32_t, uint16_t, bool tcp) { return tcp ? -1 : 0; };
    long long before = fake.slept_ms;
    EXPECT_EQ(read_buf(r), -1);
    EXPECT_EQ(r.irc.ircconnected, 0);
    EXPECT_EQ(fake.slept_ms - before, 10000);
    EXPECT_EQ(tcp_sockets(), 3);
    EXPECT_NE(fake.out.find("ecode(14)"), std::string::npos);
    EXPECT_NE(fake.out.find("\nConnect returned "), std::string::npos);
}

TEST_F(SessionTest, ClosedConnectionIsNoticedAtOnce)
{
    connect_plain();
    int old = r.irc.ircsocket;
    deliver(""); // a receive of 0 bytes: the server hung up
    EXPECT_EQ(r.irc.ircconnected, 0);
    EXPECT_FALSE(fake.socket(old)->open);
    EXPECT_EQ(tcp_sockets(), 1); // reconnecting is left to the next send or tick
}

TEST_F(SessionTest, NewConnectionStartsWithEmptyInput)
{
    FakeSocket& old = connect_plain();
    deliver("PING :ol"); // half a line from the old connection
    old.recv_error = SockErr::conn_reset;
    replies = {{"PASS", "PING :new\r\n"}};
    EXPECT_EQ(read_buf(r), 0);
    EXPECT_EQ(sent_lines()[1], "PONG new");
    EXPECT_EQ(irc().sent.find("PONG ol"), std::string::npos);
}

TEST_F(SessionTest, InputWithoutLineEndIsDroppedWhenTheBufferFills)
{
    connect_plain();
    irc().inbox.push_back(std::string(32767, 'x'));
    EXPECT_EQ(read_buf(r), 32767);
    take_irc_lines(r);
    EXPECT_EQ(r.irc.ircinfill, 32767);
    deliver("\r\nPING :again\r\n"); // the stuck bytes go; input carries on
    EXPECT_EQ(irc().sent, "PONG again\r\n");
    EXPECT_NE(fake.out.find("32767 bytes without a line end dropped"), std::string::npos);
}

TEST_F(SessionTest, ConnectOpensUdpSocketsAsConfigured)
{
    r.settings.servermode = 0;
    r.settings.serverhost = std::string("game.test");
    fake.hosts["game.test"] = inet_addr("10.0.0.2");
    connect_all(r);
    EXPECT_EQ(r.query.queryopen, 1);
    EXPECT_EQ(r.query.localopen, 1);
    EXPECT_EQ(fake.socket(r.query.querysocket)->port, 27960);
    EXPECT_EQ(fake.socket(r.query.localsocket)->port, 20100);

    TestRelay t2;
    Relay& s = t2.r();
    s.settings = r.settings;
    s.settings.serverhost = std::string("nowhere.test");
    s.settings.servermode = 1;
    t2.fake.hosts = fake.hosts;
    connect_all(s);
    EXPECT_EQ(s.query.queryopen, 0);
    EXPECT_EQ(s.query.localopen, 0);
    EXPECT_NE(t2.fake.out.find("UDP Connect returned 0\n"), std::string::npos);
}

TEST_F(SessionTest, UnreachableServerIsReportedEvenWhenQuiet)
{
    r.settings.quietmode = 1;
    fake.on_connect = [](uint32_t, uint16_t, bool) { return -1; };
    connect_all(r);
    EXPECT_EQ(r.irc.ircconnected, 0);
    // One attempt only: the login lines must not start connects of their own.
    EXPECT_EQ(tcp_sockets(), 1);
    char expected[40];
    std::snprintf(expected, sizeof expected, "\nConnect returned %d\n", r.irc.ircsocket);
    EXPECT_EQ(fake.out, expected);
}

TEST_F(SessionTest, LineFeedOnlyEndsALineToo)
{
    connect_plain();
    deliver("PING :lf.only\n");
    deliver(":irc.test NOTICE x :hi\r\n");
    EXPECT_EQ(r.irc.ircinfill, 0);
    EXPECT_EQ(irc().sent, "PONG lf.only\r\n");
}

TEST_F(SessionTest, RepeatedJoinFailuresWaitAGrowingDelay)
{
    connect_plain();
    const std::string banned = ":irc.test 474 SOF2Tidewatch #chan :Cannot join channel (+b)\r\n";
    auto joins = [&] {
        int n = 0;
        for (const std::string& l : sent_lines())
            n += l == "JOIN #chan" ? 1 : 0;
        return n;
    };
    // A burst of refusals: the first few are answered at once, the rest wait.
    std::string burst;
    for (int i = 0; i < 200; ++i)
        burst += banned;
    deliver(burst);
    for (int i = 0; i < 20; ++i)
        take_irc_lines(r);
    EXPECT_EQ(joins(), kRepairsAtOnce);

    // Each later JOIN waits twice as long as the one before, up to five minutes,
    // while the loop goes on (irc_upkeep once a virtual second).
    std::vector<long long> at;
    for (int second = 0; second < 3000 && at.size() < 10; ++second) {
        int before = joins();
        r.irc.lastinput = fake.now(); // the server is not silent otherwise
        irc_upkeep(r);
        if (joins() > before) {
            at.push_back(fake.now());
            deliver(banned);
        }
        fake.sleep_ms(1000);
    }
    ASSERT_EQ(at.size(), 10u);
    for (std::size_t i = 1; i < at.size(); ++i) {
        long long wanted = std::min<long long>(kRepairFirstDelay << i, kRepairMaxDelay);
        long long gap = at[i] - at[i - 1];
        EXPECT_GE(gap, wanted) << i;
        EXPECT_LE(gap, wanted + 5) << i;
    }

    // Joined at last: the next refusal is answered at once again.
    deliver(":SOF2Tidewatch!u@h JOIN :#chan\r\n");
    int before = joins();
    deliver(banned);
    EXPECT_EQ(joins(), before + 1);
}

TEST_F(SessionTest, ANickCollisionFloodNeitherGrowsTheNickNorHammersTheServer)
{
    connect_plain();
    for (int i = 0; i < 300; ++i) {
        deliver(":irc.test 433 * " + *r.settings.nick + " :Nickname is already in use\r\n");
        irc_upkeep(r);
        fake.sleep_ms(1000);
    }
    EXPECT_LE(r.settings.nick->size(), kMaxGrownNick);
    EXPECT_EQ(r.settings.nick->substr(0, 13), "SOF2Tidewatch");
    int nicks = 0;
    for (const std::string& l : sent_lines())
        nicks += l.rfind("NICK ", 0) == 0 ? 1 : 0;
    EXPECT_LT(nicks, 20);
}

TEST_F(SessionTest, ALostConnectionIsReconnectedAtOnceOrTheRelayEnds)
{
    connect_plain();
    deliver(""); // the server hung up
    ASSERT_EQ(r.irc.lost, 1);
    const long long before = fake.slept_ms;
    irc_upkeep(r);
    EXPECT_EQ(r.irc.ircconnected, 1);
    EXPECT_EQ(r.irc.lost, 0);
    EXPECT_EQ(fake.slept_ms - before >= 5000 && fake.slept_ms - before < 20000, true);
    EXPECT_EQ(sent_lines().back(), kBannerLine); // with the full login

    deliver("");
    fake.on_connect = [](uint32_t, uint16_t, bool) { return -1; };
    int code = -1;
    try {
        irc_upkeep(r);
    } catch (const FakeExit& e) {
        code = e.code;
    }
    EXPECT_EQ(code, 1);
}

TEST_F(SessionTest, ErrorFromTheServerEndsTheConnectionAtOnce)
{
    // Nothing is sent into a connection the server is closing; the next pass of
    // the loop connects again.
    connect_plain();
    int old = r.irc.ircsocket;
    deliver("ERROR :Closing link: (Server shutdown)\r\n");
    EXPECT_EQ(r.irc.ircconnected, 0);
    EXPECT_EQ(r.irc.lost, 1);
    EXPECT_FALSE(fake.socket(old)->open);
    irc_upkeep(r);
    EXPECT_EQ(r.irc.ircconnected, 1);
    EXPECT_NE(r.irc.ircsocket, old);
}

TEST_F(SessionTest, AConnectionLostDuringTheLoginIsReconnectedAtOnce)
{
    // The server resets the connection while the relay logs in.
    fake.on_socket = [this](FakeSocket& s) {
        if (s.tcp && tcp_sockets() == 1)
            s.on_send = [](FakeSocket& sock, std::string_view data) {
                if (data.substr(0, 5) == "USER ")
                    sock.recv_error = SockErr::conn_reset;
            };
    };
    connect_all(r);
    EXPECT_EQ(r.irc.ircconnected, 0);
    EXPECT_EQ(r.irc.lost, 1);
    irc_upkeep(r);
    EXPECT_EQ(r.irc.ircconnected, 1);
    EXPECT_EQ(r.irc.lost, 0);
    EXPECT_EQ(sent_lines().back(), kBannerLine);
}

TEST_F(SessionTest, ASilentServerIsProbedAndDroppedWhenItDoesNotAnswer)
{
    connect_plain();
    r.irc.lastinput = fake.now();
    fake.sleep_ms((kSilenceBeforeProbe - 1) * 1000);
    irc_upkeep(r);
    EXPECT_TRUE(sent_lines().empty());
    fake.sleep_ms(2000);
    irc_upkeep(r);
    EXPECT_EQ(sent_lines(), (Lines{"PING :tidecore"}));

    // Any answer keeps the connection.
    deliver(":irc.test PONG irc.test :tidecore\r\n");
    fake.sleep_ms(kProbeAnswerTime * 1000 + 1000);
    irc_upkeep(r);
    EXPECT_EQ(r.irc.ircconnected, 1);

    // Silence after the probe: dropped, then connected again by the next upkeep.
    fake.sleep_ms(kSilenceBeforeProbe * 1000);
    irc_upkeep(r);
    fake.sleep_ms(kProbeAnswerTime * 1000);
    irc_upkeep(r);
    EXPECT_EQ(r.irc.ircconnected, 0);
    EXPECT_EQ(r.irc.lost, 1);
    irc_upkeep(r);
    EXPECT_EQ(r.irc.ircconnected, 1);
}
