#include <string>
#include <vector>

#include "tests/commands/command_fixture.h"

namespace {

using Lines = std::vector<std::string>;

struct SwitchCase {
    const char* command;
    int BotSettings::*setting;
    const char* label;
    int on_value; // the stored value while the switch is on
};

const SwitchCase kSwitchCases[] = {
    {"!useclantags", &BotSettings::useclantags, "CLANTAG mode", 1},
    {"!playerstats", &BotSettings::playerstats, "PLAYERSTATS", 1},
    {"!showfrags", &BotSettings::showfrags, "SHOW FRAGS", 1},
    {"!showplay", &BotSettings::showplay, "SHOW PLAY", 1},
    {"!osp", &BotSettings::osp, "OSP mode", 1},
    {"!fight", &BotSettings::ospfight, "ET/OSP FIGHT", 1},
    {"!ospfight", &BotSettings::ospfight, "ET/OSP FIGHT", 1},
    {"!weaponstats", &BotSettings::weaponstats, "SHOW WEAPONSTATS", 1},
    {"!messages", &BotSettings::messages, "MESSAGES mode", 0},
    {"!et", &BotSettings::etsupport, "ENEMY TERRITORY mode", 1},
    {"!usetime", &BotSettings::usetime, "USETIME mode", 1},
};

TEST_F(CommandTest, SwitchesTakeOnAndOffAndReplyWithTheirState)
{
    own();
    for (const SwitchCase& c : kSwitchCases) {
        const std::string cmd = c.command;
        const std::string on = to_boss("{C}1,0 " + std::string(c.label) + ": {C}12ON");
        const std::string off = to_boss("{C}1,0 " + std::string(c.label) + ": {C}5OFF");

        Lines reply = command(cmd + " ON");
        ASSERT_GE(reply.size(), 2u) << cmd;
        EXPECT_EQ(reply[0], kBossBanner) << cmd;
        EXPECT_EQ(reply[1], on) << cmd;
        EXPECT_EQ(r.settings.*c.setting, c.on_value) << cmd;

        EXPECT_EQ(command(cmd + " off")[1], off) << cmd;
        EXPECT_EQ(r.settings.*c.setting, 1 - c.on_value) << cmd;
        EXPECT_EQ(command(cmd + " maybe")[1], off) << cmd; // unknown word: unchanged
        EXPECT_EQ(command(cmd)[1], off) << cmd;
    }
}

TEST_F(CommandTest, SwitchesWithExtraLines)
{
    own();
    r.teams.redclantag = std::string("^1RC");
    EXPECT_EQ(command("!useclantags on"),
              (Lines{kBossBanner, to_boss("{C}1,0 CLANTAG mode: {C}12ON"),
                     to_boss("{C}1,0 TEAM CLANTAGS: {C}4RED {C}4RC{O}{C}1,0, {C}12BLUE Blue")}));
    EXPECT_EQ(command("!usetime down"),
              (Lines{kBossBanner, to_boss("{C}1,0 USETIME mode: {C}5OFF"),
                     to_boss("{C}1,0 TIME mode: {C}12DOWN - Countdown {C}5(if maptime is known)")}));
    EXPECT_EQ(r.settings.timedirection, 0);
    EXPECT_EQ(command("!usetime up")[2], to_boss("{C}1,0 TIME mode: {C}5UP - Time elapsed/played"));
    // Team mode is only shown.
    EXPECT_EQ(command("!teammode off"), (Lines{kBossBanner, to_boss("{C}1,0 TEAM mode: {C}12ON")}));
    EXPECT_EQ(r.settings.teammode, 1);
}

TEST_F(CommandTest, SilentIsAnnouncedBeforeTheReplyEvenWhenAlreadySilent)
{
    own();
    const std::string silenced = "PRIVMSG #chan :{C}1,7 Quillon's Tidewatch has been silenced by the bot owner... ";
    EXPECT_EQ(command("!silent on"), (Lines{silenced, kBossBanner, to_boss("{C}1,0 SILENT mode: {C}12ON")}));
    EXPECT_EQ(command("!silent on")[0], silenced);
    r.settings.langout = 1;
    EXPECT_EQ(command("!silent off"),
              (Lines{"PRIVMSG #chan :{C}1,7 Quillon's Tidewatch kann wieder reden.. ", kBossBanner,
                     to_boss("{C}1,0 SILENT mode: {C}5OFF")}));
    EXPECT_EQ(command("!silent").size(), 2u);
}

TEST_F(CommandTest, ValueCommands)
{
    own();
    struct Case {
        const char* text;
        int BotSettings::*setting;
        int value;
    };
    const Case cases[] = {
        {"!statsafter 5", &BotSettings::statsafter, 20},    {"!statsafter 150", &BotSettings::statsafter, 150},
        {"!statsafter 0", &BotSettings::statsafter, 0},     {"!statsafter 40", &BotSettings::statsafter, 40},
        {"!statsafter -3", &BotSettings::statsafter, 0},    {"!statsafter 40", &BotSettings::statsafter, 40},
        {"!statsafter x", &BotSettings::statsafter, 0},     {"!statsafter", &BotSettings::statsafter, 0},
        {"!byterate 1000", &BotSettings::byterate, 3072},   {"!byterate 1024", &BotSettings::byterate, 1024},
        {"!floodprotect skip", &BotSettings::floodprotect, 2}, {"!floodprotect on", &BotSettings::floodprotect, 1},
        {"!floodprotect x", &BotSettings::floodprotect, 1}, {"!langin de", &BotSettings::langin, 1},
        {"!langin nl", &BotSettings::langin, 1},            {"!langin EN", &BotSettings::langin, 0},
    };
    for (const Case& c : cases) {
        command(c.text);
        EXPECT_EQ(r.settings.*c.setting, c.value) << c.text;
    }
    EXPECT_EQ(command("!statsafter 5"), (Lines{kBossBanner, to_boss("{C}1,0 STATSAFTER:{C}12 20 frags")}));
    EXPECT_EQ(command("!byterate 999"), (Lines{kBossBanner, to_boss("{C}1,0 FLOODPROTECT: {C}12ON"),
                                               to_boss("{C}1,0 BYTERATE:{C}12 1024")}));
    EXPECT_EQ(command("!floodprotect skip")[1], to_boss("{C}1,0 FLOODPROTECT: {C}12ON AND SKIP"));
    EXPECT_EQ(command("!langin de")[1], to_boss("{C}1,0 LOGFILE LANG:{C}12 German"));
    EXPECT_EQ(command("!linesread")[1], to_boss("{C}1,0 LINES read:{C}12 0"));
}

TEST_F(CommandTest, LangoutAnnouncesTheLanguageWhenAWordIsGiven)
{
    own();
    EXPECT_EQ(command("!langout nl"),
              (Lines{"PRIVMSG #chan :{C}1,7 Dutch Language on/Niederl{e4}ndische Sprache an/Nederlandse taal aan ",
                     kBossBanner, to_boss("{C}1,0 LANGOUT:{C}12 Dutch")}));
    EXPECT_EQ(r.settings.langout, 2);
    // An unknown word changes nothing but the current language is announced.
    EXPECT_EQ(command("!langout fr")[0],
              "PRIVMSG #chan :{C}1,7 Dutch Language on/Niederl{e4}ndische Sprache an/Nederlandse taal aan ");
    EXPECT_EQ(command("!langout"), (Lines{kBossBanner, to_boss("{C}1,0 LANGOUT:{C}12 Dutch")}));
}

TEST_F(CommandTest, BitSets)
{
    own();
    Lines all = command("!showconnectinfo 1023");
    ASSERT_EQ(all.size(), 12u);
    EXPECT_EQ(all[1], to_boss("{C}1,0 SHOWCONNECTINFO VALUE:{C}12 1023"));
    for (std::size_t i = 2; i < all.size(); ++i)
        EXPECT_NE(all[i].find(": {C}12ON"), std::string::npos) << all[i];
    EXPECT_EQ(all[10], to_boss("{C}1,0 SHOW PLAYER KICKED: {C}12ON"));
    Lines none = command("!showconnectinfo 0");
    EXPECT_EQ(none[10], to_boss("{C}1,0 SHOW PREPARE PLAYER KICKED: {C}5OFF"));
    command("!showconnectinfo -4");
    EXPECT_EQ(r.settings.showconnectinfo, 0);

    Lines after = command("!showstatsafter 17");
    ASSERT_EQ(after.size(), 7u);
    EXPECT_EQ(after[2], to_boss("{C}1,0 SHOW AFTER ROUND WIN: {C}12ON"));
    EXPECT_EQ(after[3], to_boss("{C}1,0 SHOW AFTER TIMELIMIT HIT: {C}5OFF"));
    EXPECT_EQ(after[6], to_boss("{C}1,0 SHOW WHEN NO NEW DATA HAS BEEN RECEIVED: {C}12ON"));

    r.settings.servermode = 1;
    EXPECT_EQ(command("!ospshow 5"),
              (Lines{kBossBanner, to_boss("{C}1,0 OSP OPTIONS VALUE:{C}12 5"),
                     to_boss("{C}1,0 SHOW OBJECTIVE: {C}12ON"), to_boss("{C}1,0 SHOW DYNA PLANTED/DEFUSED: {C}5OFF"),
                     to_boss("{C}1,0 SHOW MEDIC REVIVES: {C}12ON"), to_boss("{C}1,0 SHOW MG-42 REPAIRS: {C}5OFF")}));
    // A negative value keeps ospshow but derives the switches from it again.
    r.settings.ospshowobjective = 0;
    command("!ospshow -1");
    EXPECT_EQ(r.settings.ospshow, 5);
    EXPECT_EQ(r.settings.ospshowobjective, 1);
    // Without a word the switches are only shown.
    r.settings.ospshowdyna = 1;
    command("!ospshow");
    EXPECT_EQ(r.settings.ospshowdyna, 1);
}

TEST_F(CommandTest, SettingsListsEverySettingInOrder)
{
    own();
    r.settings.serverhost = std::string("10.1.2.3");
    r.teams.redteamname = "^1Reds";
    r.teams.redscore() = 3;
    r.game.maptime = 905;
    Lines s = command("!settings");
    const Lines expected = {
        kBossBanner,
        to_boss("{C}5,0 Settings:"),
        to_boss("{C}1,0 IRC CHANNEL:{C}12 #chan"),
        to_boss("{C}1,0 IRC FLOODPROTECT: {C}5OFF"),
        to_boss("{C}1,0 IRC MAXIMUM BYTERATE:{C}12 3072"),
        to_boss("{C}1,0 CLIENT MODE"),
        to_boss("{C}1,0 USETIME mode: {C}5OFF"),
        to_boss("{C}1,0 SOF2 SERVER:{C}12 10.1.2.3:27960"),
        to_boss("{C}1,0 LOGFILE LANG:{C}12 English"),
        to_boss("{C}1,0 LANGOUT:{C}12 English"),
        to_boss("{C}1,0 ENEMY TERRITORY mode: {C}5OFF"),
        to_boss("{C}1,0 OSP mode: {C}5OFF"),
        to_boss("{C}1,0 OSP FIGHT: {C}5OFF"),
        to_boss("{C}1,0 MAP: {C}5NOT SET"),
        to_boss("{C}1,0 MAP TIME:{C}12 15:05"),
        to_boss("{C}1,0 SCORE:{C}5 {C}4Reds{C}1,0: 3{C}12 Blue{C}1,0: 0"),
        to_boss("{C}1,0 TEAM mode: {C}12ON"),
        to_boss("{C}1,0 CLANTAG mode: {C}5OFF"),
        to_boss("{C}1,0 STATSAFTER:{C}12 80 frags"),
        to_boss("{C}1,0 MESSAGES mode: {C}5OFF"),
        to_boss("{C}1,0 SHOW PLAY: {C}12ON"),
        to_boss("{C}1,0 SHOW FRAGS: {C}12ON"),
        to_boss("{C}1,0 SHOW STATSAFTER VALUE:{C}12 14"),
        to_boss("{C}1,0 SHOW CONNECT INFO VALUE:{C}12 0"),
        to_boss("{C}1,0 PLAYERSTATS: {C}5OFF"),
        to_boss("{C}1,0 SHOW WEAPONSTATS: {C}5OFF"),
        to_boss("{C}1,0 SILENT mode: {C}5OFF"),
        to_boss("{C}1,0 MAPS loaded:{C}12 0"),
        to_boss("{C}1,0 LINES read:{C}12 0"),
    };
    EXPECT_EQ(s, expected);

    r.settings.servermode = 1;
    r.settings.serverhost.reset();
    r.game.map = std::string("mp_jor1");
    r.game.maptime = 0;
    s = command("!settings");
    ASSERT_EQ(s.size(), expected.size());
    EXPECT_EQ(s[5], to_boss("{C}1,0 SERVER MODE"));
    EXPECT_EQ(s[6], to_boss("{C}1,0 OSP SHOW VALUE:{C}12 3"));
    EXPECT_EQ(s[7], to_boss("{C}1,0 SOF2 SERVER:{C}12 NO SERVER GIVEN"));
    EXPECT_EQ(s[13], to_boss("{C}1,0 MAP: {C}12mp_jor1"));
    EXPECT_EQ(s[14], to_boss("{C}1,0 MAP TIME: {C}5NOT SET"));
}

} // namespace
