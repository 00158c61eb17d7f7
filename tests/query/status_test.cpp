// The status query through the fake platform: the request on the wire, the reply
// gathered from the queried server only, its values and players in the relay's
// state, the player list in the channel, and the print packets to the game client.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "relay/irc/sockets.h"
#include "relay/players/kill_count.h"
#include "relay/players/register.h"
#include "relay/query/reply.h"
#include "relay/query/status.h"
#include "tests/support/connected_relay.h"

namespace {

const std::string H(kReplyHeader);

// A reply as a SOF2 server sends it: header, info line, player lines.
const std::string kReply = H + "\n" +
                           "\\sv_hostname\\^1Tide^7watch\\mapname\\mp_jor1\\g_gametype\\ctf\\scorelimit\\10"
                           "\\timelimit\\20\\redscore\\3\\bluescore\\1\\sv_maxclients\\16\n"
                           "5 48 2 \"^1Bob\"\n"
                           "-3 999 \"Al\"\n"
                           "12 30 1 \"Cy\"\n";

struct StatusQuery : ::testing::Test, ConnectedRelay {
    int q = 0;
    uint32_t server = inet_addr("10.0.0.5");

    // The answers given: waiting at once, and given again after the next request
    // (what waited before it is dropped as stale).
    std::deque<std::string> answers;
    std::deque<FakeSocket::Datagram> answers_from;

    StatusQuery()
    {
        r().settings.showconnectinfo = 512;
        q = open_udp(r(), "10.0.0.5", "27960", UdpFor::query);
        r().query.queryopen = 1;
        query().on_send = [this](FakeSocket& s, std::string_view) {
            s.inbox = std::move(answers);
            s.datagrams = std::move(answers_from);
            answers.clear();
            answers_from.clear();
        };
    }
    FakeSocket& query() { return *fake.socket(q); }
    void answer(const std::string& bytes)
    {
        query().inbox.push_back(bytes);
        answers.push_back(bytes);
    }
    void answer_from(const std::string& bytes, uint32_t addr, uint16_t port)
    {
        query().datagrams.push_back({bytes, addr, port});
        answers_from.push_back({bytes, addr, port});
    }
    std::vector<std::string> shown()
    {
        std::vector<std::string> out;
        for (const std::string& l : lines())
            out.push_back(visible(l));
        return out;
    }
    const PlayerRecord* named(const char* name)
    {
        for (int i = 0; i < r().players.playercount; ++i)
            if (r().players.slots[i].id != -1 && r().players.slots[i].name == name)
                return &r().players.slots[i];
        return nullptr;
    }
};

TEST_F(StatusQuery, RequestIsThirteenBytesToTheQueriedServer)
{
    EXPECT_EQ(query().addr, server);
    EXPECT_EQ(query().port, 27960);
    EXPECT_EQ(r().query.queryaddress.v4, server);
    EXPECT_EQ(r().query.queryport, 27960);
    EXPECT_EQ(send_status_request(r()), 13);
    EXPECT_EQ(query().sent, std::string("\xff\xff\xff\xffgetstatus", 13));
}

TEST_F(StatusQuery, WithoutAnOpenQuerySocketNothingIsSentAnywhere)
{
    // A failed open leaves its old handle number behind; that number may belong
    // to another socket by now, here the IRC connection.
    r().query.queryopen = 0;
    r().query.querysocket = sock;
    EXPECT_EQ(send_status_request(r()), -1);
    EXPECT_EQ(receive_status(r()), 0);
    EXPECT_EQ(fake.slept_ms, 0);
    run_status_query(r());
    EXPECT_EQ(shown(), std::vector<std::string>{"PRIVMSG #chan :{C}1,15 No data received from server... "});

    r().query.queryopen = 1;
    r().query.querysocket = 0;
    clear_sent();
    EXPECT_EQ(send_status_request(r()), -1);
    EXPECT_EQ(sent(), "");
}

TEST_F(StatusQuery, ReceivingWaitsOneHundredAttemptsAndGathersEveryDatagram)
{
    answer(kReply.substr(0, 40));
    answer(kReply.substr(40));
    EXPECT_EQ(receive_status(r()), static_cast<int>(kReply.size()));
    EXPECT_EQ(fake.slept_ms, 100);
    EXPECT_EQ(std::string(r().query.replybuf, r().query.replyfill), kReply);
    EXPECT_EQ(r().query.replybuf[r().query.replyfill], 0);
}

TEST_F(StatusQuery, OnlyTheQueriedAddressAndPortAreListenedTo)
{
    const std::string fake_reply = H + "\n\\mapname\\evil\\redscore\\99\n1 1 \"Mallory\"\n";
    answer_from(fake_reply, inet_addr("10.0.0.6"), 27960);
    answer_from(fake_reply, server, 27961);
    answer(kReply);
    EXPECT_EQ(receive_status(r()), static_cast<int>(kReply.size()));
    parse_status_reply(r());
    EXPECT_EQ(*r().game.map, "mp_jor1");
    EXPECT_EQ(r().teams.redscore(), 3);
    EXPECT_EQ(named("Mallory"), nullptr);
}

TEST_F(StatusQuery, ReplyShownAsPlayerListWithTeamsScoresAndPings)
{
    named_player_event(r(), "Al", "Al", 4, -1);
    set_team_by_name(r(), "Al", 1);
    answer(kReply);
    run_status_query(r());
    EXPECT_EQ(shown(), (std::vector<std::string>{
                           "PRIVMSG #chan :{C}1,15  Sco Png T PlayerName ",
                           "PRIVMSG #chan :{C}1,15 {C}1,14   5  48 {C}11B{C}1,14 Bob ",
                           "PRIVMSG #chan :{C}1,15 {C}1,14  -3 999 {C}4R{C}1,14 Al ",
                           "PRIVMSG #chan :{C}1,15 {C}1,14  12  30 {C}4R{C}1,14 Cy ",
                       }));
}

TEST_F(StatusQuery, ReplySetsServerValuesAndRegistersPlayers)
{
    r().settings.showconnectinfo = 0; // the state is taken whether or not the list is shown
    answer(kReply);
    run_status_query(r());
    EXPECT_EQ(sent(), "");
    EXPECT_EQ(*r().query.sv_hostname, "\x03" "4Tide\x03" "0watch");
    EXPECT_EQ(*r().game.map, "mp_jor1");
    EXPECT_EQ(r().game.gametype, 7);
    EXPECT_EQ(r().game.scorelimit, 10);
    EXPECT_DOUBLE_EQ(r().game.timelimit, 20.0);
    EXPECT_EQ(r().teams.redscore(), 3);
    EXPECT_EQ(r().teams.bluescore(), 1);

    const PlayerRecord* bob = named("Bob");
    ASSERT_NE(bob, nullptr);
    EXPECT_EQ(bob->team, 2);
    EXPECT_EQ(bob->score, 5);
    EXPECT_EQ(bob->ping, 48);
    const PlayerRecord* al = named("Al");
    ASSERT_NE(al, nullptr);
    EXPECT_EQ(al->team, 0);
    EXPECT_EQ(al->score, -3);
    EXPECT_EQ(al->ping, 999);

    // The next reply updates the same entries.
    answer(H + "\n\\mapname\\mp_shop\n9 40 1 \"^1Bob\"\n");
    run_status_query(r());
    EXPECT_EQ(named("Bob")->team, 1);
    EXPECT_EQ(named("Bob")->score, 9);
    EXPECT_EQ(r().players.playercount, 3);
    EXPECT_DOUBLE_EQ(r().game.timelimit, 0.0); // not in this reply
}

TEST_F(StatusQuery, SilentQueryUpdatesScoresAndWritesNothing)
{
    answer(kReply);
    quiet_status_query(r());
    EXPECT_EQ(sent(), "");
    EXPECT_EQ(r().teams.redscore(), 3);
    EXPECT_EQ(r().game.silentquery, 0);
    quiet_status_query(r()); // no answer this time
    EXPECT_EQ(sent(), "");
}

TEST_F(StatusQuery, NoDataAndNoPlayersTextsInTheOutputLanguage)
{
    struct Case {
        int lang;
        std::string reply;
        std::string text;
    } cases[] = {
        {0, "", "No data received from server..."},
        {1, "", "Keine Daten empfangen von dem Server.."},
        {2, "", "Er werdt geen data ontvangen van de server..."},
        {0, H + "\n\\mapname\\mp_jor1\n", "No players on server..."},
        {1, H + "\n\\mapname\\mp_jor1\n", "Es sind keine Spieler auf dem Server.."},
        {2, H + "\n\\mapname\\mp_jor1\n", "Er zijn geen spelers op de server..."},
    };
    for (const Case& c : cases) {
        clear_sent();
        r().settings.langout = c.lang;
        if (!c.reply.empty())
            answer(c.reply);
        run_status_query(r());
        EXPECT_EQ(shown(), std::vector<std::string>{"PRIVMSG #chan :{C}1,15 " + c.text + " "}) << c.lang;
    }
}

TEST_F(StatusQuery, AServerAnsweringTwiceIsListedTwice)
{
    answer(H + "\n\\mapname\\mp_jor1\n5 48 2 \"Bob\"\n");
    answer(H + "\n\\mapname\\mp_jor1\n5 48 2 \"Bob\"\n");
    run_status_query(r());
    EXPECT_EQ(shown(), (std::vector<std::string>{
                           "PRIVMSG #chan :{C}1,15  Sco Png T PlayerName ",
                           "PRIVMSG #chan :{C}1,15 {C}1,14   5  48 {C}11B{C}1,14 Bob ",
                           "PRIVMSG #chan :{C}1,15  Sco Png T PlayerName ",
                           "PRIVMSG #chan :{C}1,15 {C}1,14   5  48 {C}11B{C}1,14 Bob ",
                       }));
    EXPECT_EQ(r().players.playercount, 1);
}

TEST_F(StatusQuery, GameTypeCodesAreExactAndNumbersLeaveItAlone)
{
    struct Case {
        const char* value;
        int before;
        int after;
    } cases[] = {
        {"inf", 0, 5}, {"dem", 0, 6}, {"ctf", 0, 7}, {"dm", 0, 8}, {"tdm", 0, 9},
        {"CTF", 5, 5}, {"4", 6, 6},   {"7", 8, 8},   {"", 9, 9},   {"ctf ", 5, 5},
    };
    for (const Case& c : cases) {
        r().game.gametype = c.before;
        parse_server_info(r(), std::string("\\g_gametype\\") + c.value);
        EXPECT_EQ(r().game.gametype, c.after) << c.value;
    }
}

TEST_F(StatusQuery, ServerInfoValuesFromUntrustedText)
{
    struct Case {
        std::string info;
        double timelimit;
        int scorelimit;
    } cases[] = {
        {"\\timelimit\\15.5\\scorelimit\\20", 15.5, 20},
        {"\\timelimit\\nan\\scorelimit\\x", 0.0, 0},
        {"\\timelimit\\1e300\\scorelimit\\99999999999", 1000000.0, 2147483647},
        {"\\timelimit\\-inf\\scorelimit\\-5", 0.0, -5},
        {"\\timelimit", 0.0, 0},
    };
    for (const Case& c : cases) {
        r().game.scorelimit = 0;
        r().game.timelimit = 7;
        parse_server_info(r(), c.info);
        EXPECT_DOUBLE_EQ(r().game.timelimit, c.timelimit) << c.info;
        EXPECT_EQ(r().game.scorelimit, c.scorelimit) << c.info;
    }
}

TEST_F(StatusQuery, JunkRepliesLeaveTheRestOfTheStateAlone)
{
    r().game.map = std::string("mp_jor1");
    r().teams.redscore() = 4;
    named_player_event(r(), "Keep", "Keep", 4, -1);
    const std::string junk[] = {
        std::string("\x00\x01\x02\xff\xfe\n\n\n", 8),
        H + "\n" + "no info line\n1 1 \"Nobody\"\n",
        H + "\n\\mapname\n\n\n5 5 \"\"\n5 5 \"^1\"\n",
        H + std::string("\n\\redscore\\4\n1 2 \"Nu\0l\"\n", 23),
        H + "\n\\redscore\\4\n" + "1 2 \"" + std::string(40000, 'x') + "\"\n",
    };
    for (const std::string& j : junk) {
        answer(j);
        run_status_query(r());
    }
    EXPECT_EQ(*r().game.map, "mp_jor1");
    EXPECT_EQ(r().teams.redscore(), 4);
    // Kept, plus the one real name among the junk (a NUL ends it).
    ASSERT_EQ(r().players.playercount, 2);
    EXPECT_NE(named("Keep"), nullptr);
    EXPECT_NE(named("Nu"), nullptr);
}

TEST_F(StatusQuery, AReplyLargerThanTheBufferIsCutNotOverrun)
{
    r().settings.showconnectinfo = 0;
    // Two full answers of 16 kB each, then a third that no longer fits.
    std::string body;
    for (int i = 0; body.size() < 16000; ++i)
        body += "1 2 \"player" + std::to_string(i) + "\"\n";
    const std::string big = H + "\n\\mapname\\mp_big\n" + body;
    answer(big);
    answer(big);
    answer(big);
    int got = receive_status(r());
    EXPECT_EQ(got, kReplyBufSize - 1);
    EXPECT_TRUE(r().query.replycut);
    EXPECT_TRUE(query().inbox.empty()); // the rest is not left for the next query
    parse_status_reply(r());
    EXPECT_EQ(*r().game.map, "mp_big");
    EXPECT_EQ(r().players.playercount, 64); // no sv_maxclients: room for 64 at most
    // The next query starts from an empty buffer.
    answers.clear();
    answer(kReply);
    run_status_query(r());
    EXPECT_EQ(*r().game.map, "mp_jor1");
}

TEST_F(StatusQuery, PrintPacketsGoToTheLocalGameClientOnly)
{
    EXPECT_EQ(send_local(r(), "x"), 0); // not open yet
    int local = open_udp(r(), kLocalClientHost, kLocalClientPort, UdpFor::local);
    ASSERT_GT(local, 0);
    r().query.localopen = 1;
    EXPECT_EQ(fake.socket(local)->port, 20100);
    send_local_print(r(), "^1Qui^7ll^4on^2's Tidewatch:^7 done\n");
    EXPECT_EQ(fake.socket(local)->sent, std::string("\xff\xff\xff\xffprint\n^1Qui^7ll^4on^2's Tidewatch:^7 done\n"));
    EXPECT_EQ(send_local(r(), "raw"), 3);
    EXPECT_EQ(query().sent, "");
}

} // namespace

namespace {

// Replies made of random pieces of real replies and random bytes: whatever comes,
// the relay keeps running and its player table within bounds.
TEST_F(StatusQuery, RandomRepliesNeverBreakTheRelay)
{
    const std::string pieces[] = {H, "\n", "\\", "mapname", "timelimit", "g_gametype", "sv_hostname", "^", "\"", " ",
                                  "-", "999999999999", "5 48 2 \"^1Bob\"\n", std::string(1, '\0'), "\xff", "\r"};
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    for (int round = 0; round < 300; ++round) {
        std::string reply;
        const unsigned parts = next() % 60;
        for (unsigned i = 0; i < parts; ++i) {
            if (next() % 4 == 0)
                reply += static_cast<char>(next() & 0xff);
            else
                reply += pieces[next() % std::size(pieces)];
        }
        answer(reply);
        run_status_query(r());
        ASSERT_LE(r().players.playercount, kMaxPlayers);
        ASSERT_EQ(r().query.replyfill, 0);
    }
}

} // namespace

// A reply is believed only for the query it answers and only for as many players
// as the server has room for; players of the log always find a slot.
TEST_F(StatusQuery, RepliesNeitherLingerNorCrowdOutTheLogsPlayers)
{
    r().settings.showconnectinfo = 0;
    auto players = [](const std::string& stem, int n) {
        std::string lines;
        for (int i = 0; i < n; ++i)
            lines += "1 2 \"" + stem + std::to_string(i) + "\"\n";
        return lines;
    };
    // An answer that waited before the query is stale.
    query().inbox.push_back(H + "\n\\mapname\\mp_stale\n" + players("old", 3));
    answer(H + "\n\\mapname\\mp_fresh\\sv_maxclients\\3\n" + players("new", 5));
    run_status_query(r());
    EXPECT_EQ(*r().game.map, "mp_fresh");
    EXPECT_EQ(named("old0"), nullptr);
    EXPECT_NE(named("new2"), nullptr);
    EXPECT_EQ(named("new3"), nullptr); // room for three
    EXPECT_EQ(r().players.playercount, 3);

    // Replies fill the whole table with strangers; a kill between two players new
    // to the log still counts, and the log's players are never given up for them.
    for (int round = 0; r().players.playercount < kMaxPlayers && round < 100; ++round) {
        answer(H + "\n\\mapname\\mp_fresh\n" + players("s" + std::to_string(round) + "x", 64));
        run_status_query(r());
    }
    ASSERT_EQ(r().players.playercount, kMaxPlayers);
    named_player_event(r(), "Yan", "Zed", kKillOrdinary, 1);
    ASSERT_NE(named("Yan"), nullptr);
    ASSERT_NE(named("Zed"), nullptr);
    EXPECT_EQ(named("Zed")->kills, 1);
    EXPECT_EQ(named("Yan")->deaths, 1);
    answer(H + "\n\\mapname\\mp_fresh\n" + players("late", 64));
    run_status_query(r());
    EXPECT_EQ(named("Zed")->kills, 1);
    EXPECT_NE(named("Yan"), nullptr);

    // A player known from replies only kills a newcomer: the newcomer does not
    // take the killer's own slot.
    const int first = reply_only_slot(r().players); // the slot a newcomer would take
    ASSERT_GE(first, 0);
    const std::string killer = *r().players.slots[first].name;
    named_player_event(r(), "Newcomer", killer.c_str(), kKillOrdinary, 1);
    ASSERT_NE(named(killer.c_str()), nullptr);
    ASSERT_NE(named("Newcomer"), nullptr);
    EXPECT_EQ(named(killer.c_str())->kills, 1);
    EXPECT_EQ(named("Newcomer")->deaths, 1);
}
