#include <gtest/gtest.h>

#include <set>
#include <string>

#include "relay/players/register.h"
#include "relay/players/table.h"
#include "tests/support/connected_relay.h"

namespace {

const PlayerRecord* by_name(Relay& r, const char* name)
{
    for (int i = 0; i < r.players.playercount; ++i)
        if (r.players.slots[i].id != -1 && r.players.slots[i].name == name)
            return &r.players.slots[i];
    return nullptr;
}

TEST(NamedPlayerEvent, KillBetweenUnknownNamesInEmptyTableRegistersVictimThenKiller)
{
    ConnectedRelay t;
    Relay& r = t.r();
    t.trace_on(11);
    EXPECT_EQ(named_player_event(r, "Bob", "Alice", 0, 10), 0);
    ASSERT_EQ(r.players.playercount, 2);
    EXPECT_EQ(r.players.slots[0].name, "Bob");
    EXPECT_EQ(r.players.slots[0].id, 0);
    EXPECT_EQ(r.players.slots[1].name, "Alice");
    EXPECT_EQ(r.players.slots[1].id, 1);
    EXPECT_EQ(r.players.slots[0].deaths, 1);
    EXPECT_EQ(r.players.slots[1].kills, 1);
    EXPECT_EQ(r.game.fragcount, 1);
    EXPECT_NE(t.traced().find("NOP empty id=0 vf=0\r\n"), std::string::npos);
    ASSERT_EQ(t.lines().size(), 1u);
}

TEST(NamedPlayerEvent, LookUpRegistersOnceAndReturnsTheSameId)
{
    ConnectedRelay t;
    Relay& r = t.r();
    EXPECT_EQ(named_player_event(r, "Bob", "Bob", 4, -1), 0);
    EXPECT_EQ(named_player_event(r, "Alice", "Alice", 4, -1), 1);
    EXPECT_EQ(named_player_event(r, "Bob", "Bob", 4, -1), 0);
    EXPECT_EQ(named_player_event(r, "bob", "bob", 4, -1), 2); // names are case-sensitive
    EXPECT_EQ(r.players.playercount, 3);
    EXPECT_EQ(r.game.fragcount, 0);
    EXPECT_TRUE(t.sent().empty());
}

TEST(NamedPlayerEvent, SuicideRegistersOneSlot)
{
    ConnectedRelay t;
    Relay& r = t.r();
    named_player_event(r, "Bob", "Bob", 1, 25);
    ASSERT_EQ(r.players.playercount, 1);
    EXPECT_EQ(r.players.slots[0].suicides, 1);
    EXPECT_EQ(r.players.slots[0].kills, 0);
    named_player_event(r, "Carl", "Carl", 1, 24);
    ASSERT_EQ(r.players.playercount, 2);
    EXPECT_EQ(r.players.slots[1].suicides, 1);
}

TEST(NamedPlayerEvent, Renames)
{
    ConnectedRelay t;
    Relay& r = t.r();
    EXPECT_EQ(named_player_event(r, "Bob", "Rob", 3, -1), 0); // empty table
    EXPECT_EQ(r.players.playercount, 0);
    named_player_event(r, "Bob", "Alice", 0, 10);
    r.players.slots[0].team = 2;
    named_player_event(r, "Nobody", "Rob", 3, -1); // unknown name: nothing
    EXPECT_EQ(r.players.playercount, 2);
    EXPECT_EQ(by_name(r, "Rob"), nullptr);
    named_player_event(r, "Bob", "Rob", 3, -1);
    EXPECT_EQ(r.players.playercount, 2);
    EXPECT_EQ(r.players.slots[0].name, "Rob");
    EXPECT_EQ(r.players.slots[0].team, 2);
    EXPECT_EQ(r.players.slots[0].deaths, 1);
    EXPECT_EQ(r.game.fragcount, 1);
}

struct ClanCase {
    int useclantags;
    Text red;
    Text blue;
    const char* name;
    int team;
};

TEST(NamedPlayerEvent, ClanTagsOnRegistration)
{
    const ClanCase cases[] = {
        {1, "Red", "Blue", "Redfox", 1},
        {1, "Red", "Blue", "xREDfox", 1},
        {1, "Red", "Blue", "redfox", 0}, // the tag's first letter must match exactly
        {1, "Red", "Blue", "BlueRedfox", 2}, // both tags: blue wins
        {1, "Red", "Blue", "Bluefox", 2},
        {1, "Red", "Blue", "fox", 0},
        {1, "", "Blue", "fox", 1},  // an empty tag matches every name
        {1, "Red", "", "Redfox", 2},
        {1, std::nullopt, std::nullopt, "Redfox", 0},
        {0, "Red", "Blue", "Redfox", 0},
    };
    for (const ClanCase& c : cases) {
        ConnectedRelay t;
        Relay& r = t.r();
        r.settings.useclantags = c.useclantags;
        r.teams.redclantag = c.red;
        r.teams.blueclantag = c.blue;
        const int id = named_player_event(r, c.name, c.name, 4, -1);
        EXPECT_EQ(team_of(r, id), c.team) << c.name << " red=" << cstr(c.red) << " blue=" << cstr(c.blue);
    }
}

TEST(NamedPlayerEvent, ClanTagTraceLines)
{
    ConnectedRelay t;
    Relay& r = t.r();
    t.trace_on(11);
    r.settings.useclantags = 1;
    named_player_event(r, "RedBluefox", "RedBluefox", 4, -1);
    const std::string tr = t.traced();
    EXPECT_NE(tr.find("clantag check [RedBluefox]\r\n"), std::string::npos);
    EXPECT_NE(tr.find("clantag check [RedBluefox] matches red [Red]\r\n"), std::string::npos);
    EXPECT_NE(tr.find("clantag check [RedBluefox] matches blue [Blue]\r\n"), std::string::npos);
}

TEST(NamedPlayerEvent, RenameDoesNotCheckClanTags)
{
    ConnectedRelay t;
    Relay& r = t.r();
    r.settings.useclantags = 1;
    const int id = named_player_event(r, "fox", "fox", 4, -1);
    named_player_event(r, "fox", "Redfox", 3, -1);
    EXPECT_EQ(team_of(r, id), 0);
    EXPECT_STREQ(player_name(r, id), "Redfox");
}

TEST(NamedPlayerEvent, FullTableCountsNothing)
{
    ConnectedRelay t;
    Relay& r = t.r();
    for (int i = 0; i < kMaxPlayers; ++i) {
        const std::string name = "p" + std::to_string(i);
        ASSERT_EQ(named_player_event(r, name.c_str(), name.c_str(), 4, -1), i);
    }
    EXPECT_EQ(named_player_event(r, "new", "new", 4, -1), 0);
    EXPECT_EQ(named_player_event(r, "new", "p1", 0, 10), 0);   // unknown victim
    EXPECT_EQ(named_player_event(r, "p1", "new", 0, 10), 0);   // unknown killer
    EXPECT_EQ(r.players.playercount, kMaxPlayers);
    EXPECT_EQ(r.game.fragcount, 0);
    EXPECT_EQ(r.players.slots[1].deaths, 0);
    EXPECT_TRUE(t.sent().empty());
    // Known names still count.
    named_player_event(r, "p1", "p2", 0, 10);
    EXPECT_EQ(r.players.slots[1].deaths, 1);
    EXPECT_EQ(r.players.slots[2].kills, 1);
}

TEST(NamedPlayerEvent, FreedSlotGetsAnIdNoOtherRecordHolds)
{
    ConnectedRelay t;
    Relay& r = t.r();
    named_player_event(r, "Ann", "Ann", 4, -1);  // slot 0, id 0
    named_player_event(r, "Ben", "Ben", 4, -1);  // slot 1, id 1
    named_player_event(r, "Ann", "Ben", 0, 10);  // Ben 1/0, Ann 0/1
    sort_players(r);                              // Ben (id 1) moves to slot 0, Ann to slot 1
    ASSERT_EQ(r.players.slots[1].name, "Ann");
    delete_player(r, 0);                          // Ann leaves: slot 1 is free
    const int cid = named_player_event(r, "Cid", "Cid", 4, -1);
    EXPECT_EQ(find_player(r, cid), 1);            // Cid took the freed slot ...
    EXPECT_NE(cid, 1);                            // ... but not Ben's id
    named_player_event(r, "Cid", "Ben", 0, 10);
    EXPECT_EQ(r.players.slots[0].kills, 2);       // Ben
    EXPECT_EQ(r.players.slots[1].deaths, 1);      // Cid
    std::set<int> ids;
    for (int i = 0; i < r.players.playercount; ++i) {
        const int id = r.players.slots[i].id;
        if (id != -1) {
            EXPECT_TRUE(ids.insert(id).second) << "duplicate id " << id;
        }
    }
}

TEST(NamedPlayerEvent, NameIdAvoidsClientNumbers)
{
    ConnectedRelay t;
    Relay& r = t.r();
    t.player(1, "Client", 0);                     // slot 0 holds client number 1
    const int id = named_player_event(r, "Named", "Named", 4, -1); // slot 1
    EXPECT_NE(id, 1);
    EXPECT_NE(id, kWorldId);
    EXPECT_STREQ(player_name(r, id), "Named");
    EXPECT_STREQ(player_name(r, 1), "Client");
}

} // namespace
