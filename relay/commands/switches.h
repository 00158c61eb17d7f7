// The on/off switches, one row each, for the owner's commands, the in-game
// commands and the !settings listing.
#pragma once

#include "relay/base/settings.h"

// How a switch takes its word.
enum class SwitchTake {
    on_off,   // on / off
    messages, // on / off, stored inverted
    silent,   // on / off, announced in the channel
    teammode, // in the game on / off, announced in the channel; by IRC only shown
    usetime,  // on / off / down / up (by IRC; in the game a command of its own)
};

struct SwitchRow {
    const char* irc;  // the owner's command
    const char* game; // the in-game word, or null when the game has none
    int BotSettings::*setting;
    SwitchTake take;
    const char* label;   // the owner's reply: "<label>: ON" or "<label>: OFF"
    const char* gameon;  // the in-game answers while on and while off
    const char* gameoff;
    bool clantags = false; // the answers go on with the teams' clan tags
};

inline constexpr SwitchRow kSwitches[] = {
    {"!silent", "silent", &BotSettings::silent, SwitchTake::silent, "SILENT mode", " SILENT MODE ^4ON^7...\n",
     " SILENT MODE ^1OFF^7...\n"},
    {"!useclantags", "useclantags", &BotSettings::useclantags, SwitchTake::on_off, "CLANTAG mode",
     " USE CLANTAGS ^4ON^7...\n", " USE CLANTAGS ^1OFF^7...\n", true},
    {"!usetime", nullptr, &BotSettings::usetime, SwitchTake::usetime, "USETIME mode", nullptr, nullptr},
    {"!playerstats", "playerstats", &BotSettings::playerstats, SwitchTake::on_off, "PLAYERSTATS",
     " PLAYERSTATS ^4ON^7...\n", " PLAYERSTATS ^1OFF^7...\n"},
    {"!showfrags", "showfrags", &BotSettings::showfrags, SwitchTake::on_off, "SHOW FRAGS",
     " SHOW FRAGS ^4ON^7...\n", " SHOW FRAGS ^1OFF^7...\n"},
    {"!showplay", "showplay", &BotSettings::showplay, SwitchTake::on_off, "SHOW PLAY", " SHOW PLAY ^4ON^7...\n",
     " SHOW PLAY ^1OFF^7...\n"},
    {"!osp", "osp", &BotSettings::osp, SwitchTake::on_off, "OSP mode", " OSP MODE ^4ON^7...\n",
     " OSP MODE ^1OFF^7...\n"},
    {"!fight", "fight", &BotSettings::ospfight, SwitchTake::on_off, "ET/OSP FIGHT", " ET/OSP FIGHT ^4ON^7...\n",
     " ET/OSP FIGHT ^1OFF^7...\n"},
    {"!ospfight", "ospfight", &BotSettings::ospfight, SwitchTake::on_off, "ET/OSP FIGHT",
     " ET/OSP FIGHT ^4ON^7...\n", " ET/OSP FIGHT ^1OFF^7...\n"},
    {"!weaponstats", nullptr, &BotSettings::weaponstats, SwitchTake::on_off, "SHOW WEAPONSTATS", nullptr, nullptr},
    {"!messages", "messages", &BotSettings::messages, SwitchTake::messages, "MESSAGES mode",
     " MESSAGE MODE ^4ON^7...\n", " MESSAGE MODE ^1OFF^7...\n"},
    // The in-game off answer has always read so; players know it by these words.
    {"!et", "et", &BotSettings::etsupport, SwitchTake::on_off, "ENEMY TERRITORY mode",
     " ENEMY TERRITORY MODE ^4ON^7...\n", " ENEMY TERRITORYOSP MODE ^1OFF^7...\n"},
    {"!teammode", "teammode", &BotSettings::teammode, SwitchTake::teammode, "TEAM mode", " TEAM MODE ^4ON^7...\n",
     " TEAM MODE ^1OFF^7...\n"},
};

// True while the switch is on (messages is stored inverted).
inline bool switch_is_on(const BotSettings& s, const SwitchRow& row)
{
    const int v = s.*row.setting;
    return row.take == SwitchTake::messages ? v == 0 : v != 0;
}
