#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "relay/irc/sockets.h"
#include "tests/irc/irc_fixture.h"

using SocketsTest = IrcTest;

TEST_F(SocketsTest, ResolvesDottedAndNamedHosts)
{
    fake.hosts["game.example"] = inet_addr("192.0.2.7");
    fake.hosts["1example"] = inet_addr("192.0.2.99"); // must not be looked up by name
    struct Case {
        const char* host;
        uint32_t expected;
    } cases[] = {
        {"0127.0.0.001", inet_addr("127.0.0.1")},
        {"010.001.002.003", inet_addr("10.1.2.3")},
        {"10.0.0.0", inet_addr("10.0.0.0")},
        {"game.example", inet_addr("192.0.2.7")},
        {"unknown.example", 0},
        {"1example", 0xFFFFFFFFu}, // dotted conversion fails: all ones
        {"", 0xFFFFFFFFu},
        {"1111111111111111111111111111111111111111111111111111111111111111", 0}, // longer than 63
    };
    for (const auto& c : cases)
        EXPECT_EQ(resolve_address(r, c.host), c.expected) << c.host;
}

TEST_F(SocketsTest, UdpSocketGoesToTheSlotItIsOpenedFor)
{
    fake.hosts["localhost"] = inet_addr("127.0.0.1");
    int local = open_udp(r, "127.0.0.1", "20100", UdpFor::local);
    ASSERT_GT(local, 0);
    EXPECT_EQ(r.query.localsocket, local);
    EXPECT_EQ(fake.socket(local)->port, 20100);
    EXPECT_TRUE(fake.socket(local)->nonblocking);

    // A game server beside the relay, named by its address: still the query socket.
    int query = open_udp(r, "127.0.0.1", "27960", UdpFor::query);
    ASSERT_GT(query, 0);
    EXPECT_EQ(r.query.querysocket, query);
    EXPECT_EQ(r.query.localsocket, local);

    int odd = open_udp(r, "0127.0.0.1", "x", UdpFor::query); // port 0
    EXPECT_EQ(r.query.querysocket, odd);
    EXPECT_EQ(fake.socket(odd)->port, 0);
}

TEST_F(SocketsTest, FailedOpensReportAndCloseHard)
{
    EXPECT_EQ(open_tcp(r, "nowhere.example", "6667"), -1);
    EXPECT_EQ(fake.out, "Error: address nowhere.example unknown\n");
    EXPECT_TRUE(fake.sockets.empty());

    fake.on_connect = [](uint32_t, uint16_t, bool) { return -1; };
    EXPECT_EQ(open_tcp(r, "irc.test", "6667"), -1);
    FakeSocket* s = fake.last_socket();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(r.irc.ircsocket, s->handle); // the failed handle stays in the field
    EXPECT_FALSE(s->open);
    EXPECT_TRUE(s->hard_closed);
}

TEST_F(SocketsTest, ConnectWaitsAtMostFifteenSecondsAndChecksTheOutcome)
{
    fake.on_connect = [](uint32_t, uint16_t, bool) { return 1; }; // in progress
    fake.writable_result = 0;                                    // never answers
    long long before = fake.clock_ms;
    EXPECT_EQ(open_tcp(r, "irc.test", "6667"), -1);
    EXPECT_EQ(fake.clock_ms - before, 15000);

    // Writable, but the attempt was refused: not a connection.
    fake.writable_result = 1;
    fake.pending_error = 111;
    EXPECT_EQ(open_tcp(r, "irc.test", "6667"), -1);

    fake.pending_error = 0;
    int s = open_tcp(r, "irc.test", "6697");
    ASSERT_GT(s, 0);
    EXPECT_EQ(fake.socket(s)->port, 6697);
    EXPECT_EQ(fake.socket(s)->addr, inet_addr("10.0.0.1"));
}

TEST_F(SocketsTest, CloseSocketIgnoresNoSocketAndHonoursHard)
{
    EXPECT_EQ(close_socket(r, -1, 1), 0);
    EXPECT_EQ(close_socket(r, 0, 1), 0);
    int a = fake.sock_create(true);
    int b = fake.sock_create(true);
    close_socket(r, a, 0);
    close_socket(r, b, 1);
    EXPECT_FALSE(fake.socket(a)->open);
    EXPECT_FALSE(fake.socket(a)->hard_closed);
    EXPECT_TRUE(fake.socket(b)->hard_closed);
}
