#include <gtest/gtest.h>

#include <string>

#include "relay/relay.h"
#include "relay/base/trace.h"
#include "relay/players/table.h"
#include "tests/support/relay_fixture.h"

namespace {

PlayerRecord& slot(Relay& r, int i) { return r.players.slots[i]; }

// Opens the trace at the given level and returns what was written after the banner.
struct TraceCapture {
    TestRelay& t;
    std::size_t start = 0;
    TraceCapture(TestRelay& tr, int level) : t(tr)
    {
        t.r().settings.debuglevel = level;
        open_trace(t.r());
        start = t.fake.file_content(kTracePath).size();
    }
    std::string text() const { return t.fake.file_content(kTracePath).substr(start); }
};

TEST(PlayerTable, AddReusesSlotOfSameIdAndResetsIt)
{
    TestRelay t;
    Relay& r = t.r();
    add_player(r, 5);
    add_player(r, 7);
    ASSERT_EQ(r.players.playercount, 2);
    set_player_name(r, 5, "Bob");
    set_player_team(r, 5, 2);
    set_player_score(r, 5, 30, 80);
    slot(r, 0).kills = 4;
    slot(r, 0).tp = 2;
    slot(r, 0).teamkilled = 1;

    add_player(r, 5);
    EXPECT_EQ(r.players.playercount, 2);
    EXPECT_EQ(find_player(r, 5), 0);
    const PlayerRecord& p = slot(r, 0);
    EXPECT_FALSE(p.name.has_value());
    EXPECT_EQ(p.id, 5);
    EXPECT_EQ(p.team + p.score + p.ping + p.kills + p.tp + p.teamkilled, 0);
}

TEST(PlayerTable, DeletedSlotIsReusedAndCountDoesNotShrink)
{
    TestRelay t;
    Relay& r = t.r();
    add_player(r, 1);
    add_player(r, 2);
    add_player(r, 3);
    set_player_name(r, 2, "Ann");
    delete_player(r, 2);
    EXPECT_EQ(r.players.playercount, 3);
    EXPECT_EQ(slot(r, 1).id, -1);
    EXPECT_FALSE(slot(r, 1).name.has_value());
    EXPECT_EQ(find_player(r, 2), -1);

    add_player(r, 9);
    EXPECT_EQ(find_player(r, 9), 1);
    EXPECT_EQ(r.players.playercount, 3);
    delete_player(r, 42); // unknown: nothing
    EXPECT_EQ(r.players.playercount, 3);
}

TEST(PlayerTable, FullTableRefusesNewPlayers)
{
    TestRelay t;
    Relay& r = t.r();
    for (int id = 0; id < kMaxPlayers; ++id)
        add_player(r, id);
    ASSERT_EQ(r.players.playercount, kMaxPlayers);
    TraceCapture trace(t, 11);
    add_player(r, 5000);
    EXPECT_EQ(r.players.playercount, kMaxPlayers);
    EXPECT_EQ(find_player(r, 5000), -1);
    EXPECT_EQ(trace.text(), "MAXIMUM NUMBER OF PLAYERS REACHED [1000]\r\n");

    delete_player(r, 500);
    add_player(r, 5000);
    EXPECT_EQ(find_player(r, 5000), 500);
}

TEST(PlayerTable, UnknownIdsAndTheFreeMark)
{
    TestRelay t;
    Relay& r = t.r();
    EXPECT_EQ(team_of(r, 3), 0);
    EXPECT_EQ(find_player(r, 3), -1);
    EXPECT_EQ(player_name(r, 3), nullptr);

    add_player(r, 1);
    add_player(r, 2);
    delete_player(r, 1);
    // -1 marks a free slot, it is nobody's client number.
    EXPECT_EQ(find_player(r, -1), -1);
    set_player_name(r, -1, "Ghost");
    set_player_team(r, -1, 1);
    EXPECT_FALSE(slot(r, 0).name.has_value());
    EXPECT_EQ(slot(r, 0).team, 0);
    add_player(r, -1);
    EXPECT_EQ(r.players.playercount, 2);
}

TEST(PlayerTable, NamesAndTeamsById)
{
    TestRelay t;
    Relay& r = t.r();
    add_player(r, 4);
    set_player_name(r, 4, "^1Bob");
    EXPECT_STREQ(player_name(r, 4), "^1Bob");
    set_player_name(r, 4, "^1Bob");
    EXPECT_STREQ(player_name(r, 4), "^1Bob");
    set_player_name(r, 4, "Robert");
    EXPECT_STREQ(player_name(r, 4), "Robert");
    set_player_name(r, 4, nullptr);
    EXPECT_EQ(player_name(r, 4), nullptr);
    set_player_name(r, 8, "Nobody"); // unknown id: nothing
    EXPECT_EQ(r.players.playercount, 1);

    set_player_team(r, 4, 3);
    EXPECT_EQ(team_of(r, 4), 3);
}

TEST(PlayerTable, ByNameOperationsFindFirstSlotInUse)
{
    TestRelay t;
    Relay& r = t.r();
    for (int id : {10, 11, 12})
        add_player(r, id);
    set_player_name(r, 10, "Ann");
    set_player_name(r, 11, "Bob");
    set_player_name(r, 12, "Bob");

    set_ping_by_name(r, "Bob", 55);
    set_score_by_name(r, "Bob", 7);
    set_team_by_name(r, "Bob", 2);
    EXPECT_EQ(slot(r, 1).ping, 55);
    EXPECT_EQ(slot(r, 1).score, 7);
    EXPECT_EQ(slot(r, 1).team, 2);
    EXPECT_EQ(slot(r, 2).ping + slot(r, 2).score + slot(r, 2).team, 0);
    EXPECT_EQ(team_by_name(r, "Bob"), 2);

    // Case matters; unknown names change nothing.
    set_team_by_name(r, "ann", 1);
    EXPECT_EQ(slot(r, 0).team, 0);
    EXPECT_EQ(team_by_name(r, "Nobody"), 0);
    EXPECT_EQ(team_by_name(r, nullptr), 0);
}

TEST(PlayerTable, TeamByNameReadsTheMatchingSlot)
{
    TestRelay t;
    Relay& r = t.r();
    // Client number 3 sits in slot 0; slot 3 is a player known only by name, whose
    // id is its own slot index, 3 as well.
    for (int id : {3, 20, 21, 22})
        add_player(r, id);
    set_player_team(r, 3, 1);
    slot(r, 3).id = 3;
    slot(r, 3).name = "Carl";
    slot(r, 3).team = 2;
    EXPECT_EQ(team_by_name(r, "Carl"), 2);
}

TEST(PlayerTable, SortOrdersByRatioThenKillsThenDeaths)
{
    TestRelay t;
    Relay& r = t.r();
    struct {
        int id, kills, deaths;
    } players[] = {{1, 10, 0}, {2, 10, 5}, {3, 20, 10}, {4, 0, 0}, {5, 0, 3}, {6, 5, 10}};
    for (const auto& p : players) {
        add_player(r, p.id);
        int i = find_player(r, p.id);
        slot(r, i).kills = p.kills;
        slot(r, i).deaths = p.deaths;
    }
    set_player_name(r, 3, "Top");
    add_player(r, 7);
    add_player(r, 8);
    delete_player(r, 7); // a free slot inside the used range
    delete_player(r, 1);
    add_player(r, 1); // fresh slot 0 again: 0/0
    slot(r, 0).kills = 10;

    sort_players(r);
    int expected_ids[] = {1, 3, 2, 6, 4, 8, 5};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(slot(r, i).id, expected_ids[i]) << "position " << i;
    // Free slot of id 7 sank, records moved whole.
    EXPECT_EQ(slot(r, 7).id, -1);
    EXPECT_DOUBLE_EQ(slot(r, 7).ratio, -99.99);
    EXPECT_DOUBLE_EQ(slot(r, 0).ratio, 99.99);
    EXPECT_DOUBLE_EQ(slot(r, 1).ratio, 2.0);
    EXPECT_STREQ(player_name(r, 3), "Top");
    EXPECT_EQ(find_player(r, 3), 1);
}

TEST(PlayerTable, SortExampleAndFullTies)
{
    TestRelay t;
    Relay& r = t.r();
    int stats[][2] = {{10, 0}, {10, 5}, {20, 10}, {0, 0}};
    for (int i = 0; i < 4; ++i) {
        add_player(r, 100 + i);
        slot(r, i).kills = stats[i][0];
        slot(r, i).deaths = stats[i][1];
    }
    sort_players(r);
    int order[][2] = {{10, 0}, {20, 10}, {10, 5}, {0, 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(slot(r, i).kills, order[i][0]) << i;
        EXPECT_EQ(slot(r, i).deaths, order[i][1]) << i;
    }

    TestRelay t2;
    Relay& r2 = t2.r();
    for (int id : {7, 8, 9}) {
        add_player(r2, id);
        slot(r2, find_player(r2, id)).kills = 3;
        slot(r2, find_player(r2, id)).deaths = 3;
    }
    sort_players(r2);
    EXPECT_EQ(slot(r2, 0).id, 7);
    EXPECT_EQ(slot(r2, 1).id, 8);
    EXPECT_EQ(slot(r2, 2).id, 9);
}

TEST(PlayerTable, WholeTableOperations)
{
    TestRelay t;
    Relay& r = t.r();
    for (int id : {1, 2, 3, 4})
        add_player(r, id);
    set_player_name(r, 1, "A");
    int teams[] = {1, 2, 3, 0};
    for (int i = 0; i < 4; ++i) {
        PlayerRecord& p = slot(r, i);
        p.team = teams[i];
        p.kills = p.deaths = p.score = p.ping = p.teamkills = p.suicides = p.teamkilled = 9;
        p.tp = 2;
    }
    r.kills.weaponkills[10] = 3;

    reset_player_stats(r);
    EXPECT_TRUE(r.kills.weaponkills.empty()); // weapon statistics are per map too
    for (int i = 0; i < 4; ++i) {
        const PlayerRecord& p = slot(r, i);
        EXPECT_EQ(p.kills + p.deaths + p.score + p.ping + p.teamkills + p.suicides + p.teamkilled, 0);
        EXPECT_EQ(p.team, teams[i]);
        EXPECT_EQ(p.tp, 2);
        EXPECT_EQ(p.id, i + 1);
    }
    EXPECT_STREQ(player_name(r, 1), "A");

    swap_player_teams(r);
    EXPECT_EQ(slot(r, 0).team, 2);
    EXPECT_EQ(slot(r, 1).team, 1);
    EXPECT_EQ(slot(r, 2).team, 3);
    EXPECT_EQ(slot(r, 3).team, 0);

    clear_players(r);
    EXPECT_EQ(r.players.playercount, 0);
    EXPECT_EQ(slot(r, 0).id, -1);
    EXPECT_FALSE(slot(r, 0).name.has_value());
    EXPECT_EQ(slot(r, 0).team + slot(r, 0).tp, 0);
    add_player(r, 50);
    EXPECT_EQ(find_player(r, 50), 0);
    EXPECT_EQ(player_name(r, 50), nullptr);
}

TEST(PlayerTable, TeamColours)
{
    TestRelay t;
    Relay& r = t.r();
    r.colours.redteamcolor = 4;
    r.colours.blueteamcolor = 12;
    r.colours.specteamcolor = 15;
    r.colours.unknownteamcolor = 14;
    EXPECT_EQ(team_colour(r, 1), 4);
    EXPECT_EQ(team_colour(r, 2), 12);
    EXPECT_EQ(team_colour(r, 3), 15);
    EXPECT_EQ(team_colour(r, 0), 14);
    EXPECT_EQ(team_colour(r, 7), 14);
}

TEST(PlayerTable, TraceLines)
{
    TestRelay t;
    Relay& r = t.r();
    add_player(r, 6);
    add_player(r, 9);
    set_player_name(r, 6, "Ann");
    {
        TraceCapture trace(t, 11);
        set_player_team(r, 6, 2);
        set_player_team(r, 77, 1); // traced even when the id is unknown
        delete_player(r, 9);
        set_ping_by_name(r, "Bob", 10);
        team_by_name(r, "Ann"); // its comparisons need level 101
        EXPECT_EQ(trace.text(), "CPT[6] [2]\r\nCPT[77] [1]\r\ndelete player [9] i=1\r\nAnn = Bob?\r\n");
    }
    TestRelay t2;
    Relay& r2 = t2.r();
    add_player(r2, 1);
    add_player(r2, 2);
    set_player_name(r2, 2, "Zed");
    set_player_team(r2, 2, 3);
    TraceCapture trace(t2, 101);
    EXPECT_EQ(team_by_name(r2, "Zed"), 3);
    EXPECT_EQ(trace.text(), "(null) = Zed?\r\nZed = Zed?\r\n");
}

} // namespace
