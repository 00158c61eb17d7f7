// The owner's commands that show or change a setting: on/off switches, values, bit
// sets, the two languages, and the full listing.
#include <string>

#include "relay/commands/args.h"
#include "relay/commands/dispatch.h"
#include "relay/commands/effects.h"
#include "relay/commands/irc_handlers.h"
#include "relay/commands/switches.h"
#include "relay/relay.h"
#include "relay/base/text.h"
#include "relay/irc/output.h"

namespace {

const SwitchRow* find_switch(const char* command)
{
    for (const SwitchRow& row : kSwitches)
        if (safe_stricmp(command, row.irc) == 0)
            return &row;
    return nullptr;
}

// The on/off line of a switch under any label.
void reply_on_off(Relay& r, const char* to, const char* label, bool on)
{
    replyf(r, to, on ? ":\0031,0 %s: \00312ON" : ":\0031,0 %s: \0035OFF", label);
}

bool switch_on(const Relay& r, const SwitchRow& row)
{
    return switch_is_on(r.settings, row);
}

// One line per bit of a bit set: ":\0031,0 <label>: \00312ON" or the off form.
struct BitRow {
    int bit;
    const char* on;
    const char* off;
};

constexpr BitRow kConnectInfoBits[] = {
    {1, ":\0031,0 SHOW CONNECT: \00312ON", ":\0031,0 SHOW CONNECT: \0035OFF"},
    {2, ":\0031,0 SHOW DISCONNECT: \00312ON", ":\0031,0 SHOW DISCONNECT: \0035OFF"},
    {4, ":\0031,0 SHOW BATTLE ENTER: \00312ON", ":\0031,0 SHOW BATTLE ENTER: \0035OFF"},
    {8, ":\0031,0 SHOW BATTLE LEFT: \00312ON", ":\0031,0 SHOW BATTLE LEFT: \0035OFF"},
    {16, ":\0031,0 SHOW TIMED OUT: \00312ON", ":\0031,0 SHOW TIMED OUT: \0035OFF"},
    {32, ":\0031,0 SHOW INACTIVITY DROP: \00312ON", ":\0031,0 SHOW INACTIVITY DROP: \0035OFF"},
    {64, ":\0031,0 SHOW JOIN TEAM: \00312ON", ":\0031,0 SHOW JOIN TEAM: \0035OFF"},
    {128, ":\0031,0 SHOW PREPARE DEPLOYMENT: \00312ON", ":\0031,0 SHOW PREPARE DEPLOYMENT: \0035OFF"},
    {256, ":\0031,0 SHOW PLAYER KICKED: \00312ON", ":\0031,0 SHOW PREPARE PLAYER KICKED: \0035OFF"},
    {512, ":\0031,0 SHOW SERVER QUERY: \00312ON", ":\0031,0 SHOW SERVER QUERY: \0035OFF"},
};

constexpr BitRow kStatsAfterBits[] = {
    {1, ":\0031,0 SHOW AFTER ROUND WIN: \00312ON", ":\0031,0 SHOW AFTER ROUND WIN: \0035OFF"},
    {2, ":\0031,0 SHOW AFTER TIMELIMIT HIT: \00312ON", ":\0031,0 SHOW AFTER TIMELIMIT HIT: \0035OFF"},
    {4, ":\0031,0 SHOW AFTER SCORE/FRAG LIMIT HIT: \00312ON", ":\0031,0 SHOW AFTER SCORE/FRAG LIMIT HIT: \0035OFF"},
    {8, ":\0031,0 SHOW AFTER MAP SHUTDOWN: \00312ON", ":\0031,0 SHOW AFTER MAP SHUTDOWN: \0035OFF"},
    {16, ":\0031,0 SHOW WHEN NO NEW DATA HAS BEEN RECEIVED: \00312ON",
     ":\0031,0 SHOW WHEN NO NEW DATA HAS BEEN RECEIVED: \0035OFF"},
};

// The OSP switches derived from the bits of ospshow.
struct OspRow {
    int bit;
    int BotSettings::*setting;
    const char* on;
    const char* off;
};

constexpr OspRow kOspSwitches[] = {
    {1, &BotSettings::ospshowobjective, ":\0031,0 SHOW OBJECTIVE: \00312ON", ":\0031,0 SHOW OBJECTIVE: \0035OFF"},
    {2, &BotSettings::ospshowdyna, ":\0031,0 SHOW DYNA PLANTED/DEFUSED: \00312ON",
     ":\0031,0 SHOW DYNA PLANTED/DEFUSED: \0035OFF"},
    {4, &BotSettings::ospshowrevives, ":\0031,0 SHOW MEDIC REVIVES: \00312ON", ":\0031,0 SHOW MEDIC REVIVES: \0035OFF"},
    {8, &BotSettings::ospshowrepairs, ":\0031,0 SHOW MG-42 REPAIRS: \00312ON", ":\0031,0 SHOW MG-42 REPAIRS: \0035OFF"},
};

template <std::size_t N>
void reply_bits(Relay& r, const char* to, const BitRow (&rows)[N], int value)
{
    for (const BitRow& b : rows)
        reply_text(r, to, (value & b.bit) ? b.on : b.off);
}

// A bit-set value from word 1: taken when it is 0 or more.
bool take_bits(const ArgVector& args, int& setting)
{
    if (args.count < 2)
        return false;
    int n = leading_int(args.word(1));
    if (n >= 0)
        setting = n;
    return true;
}

void reply_server_setting(Relay& r, const char* to)
{
    const BotSettings& s = r.settings;
    if (s.serverhost && s.serverport)
        replyf(r, to, ":\0031,0 %s SERVER:\00312 %s:%s", kGameName, s.serverhost->c_str(), s.serverport->c_str());
    else
        replyf(r, to, ":\0031,0 %s SERVER:\00312 NO SERVER GIVEN", kGameName);
}

void reply_score_setting(Relay& r, const char* to)
{
    const TeamState& t = r.teams;
    LineBuf line;
    line.addf(":%c1,0 SCORE:%c5 ", kColour, kColour);
    translate_colours(r.settings.osp, t.redteamname.c_str(), line);
    line.addf("%c1,0: %d%c12 ", kColour, t.redscore(), kColour);
    translate_colours(r.settings.osp, t.blueteamname.c_str(), line);
    line.addf("%c1,0: %d", kColour, t.bluescore());
    send_privmsg(r, to, line.c_str(), 1);
}

} // namespace

void reply_switch_line(Relay& r, const char* to, const char* command)
{
    if (const SwitchRow* row = find_switch(command))
        reply_on_off(r, to, row->label, switch_on(r, *row));
}

void reply_clantags(Relay& r, const char* to)
{
    reply_switch_line(r, to, "!useclantags");
    const TeamState& t = r.teams;
    LineBuf line;
    line.addf(":%c1,0 TEAM CLANTAGS: %c4RED ", kColour, kColour);
    translate_colours(r.settings.osp, cstr(t.redclantag), line);
    line.addf("%c%c1,0, %c12BLUE ", kPlain, kColour, kColour);
    translate_colours(r.settings.osp, cstr(t.blueclantag), line);
    send_privmsg(r, to, line.c_str(), 1);
}

void reply_usetime(Relay& r, const char* to)
{
    reply_switch_line(r, to, "!usetime");
    if (r.settings.timedirection == 1)
        replyf(r, to, ":\0031,0 TIME mode: \0035UP - Time elapsed/played");
    else
        replyf(r, to, ":\0031,0 TIME mode: \00312DOWN - Countdown \0035(if maptime is known)");
}

void reply_floodprotect(Relay& r, const char* to, const char* prefix)
{
    switch (r.settings.floodprotect) {
    case 0: replyf(r, to, ":\0031,0 %sFLOODPROTECT: \0035OFF", prefix); break;
    case 1: replyf(r, to, ":\0031,0 %sFLOODPROTECT: \00312ON", prefix); break;
    default: replyf(r, to, ":\0031,0 %sFLOODPROTECT: \00312ON AND SKIP", prefix); break;
    }
}

void reply_langin(Relay& r, const char* to)
{
    replyf(r, to, r.settings.langin == kLangGerman ? ":\0031,0 LOGFILE LANG:\00312 German"
                                                   : ":\0031,0 LOGFILE LANG:\00312 English");
}

void reply_langout(Relay& r, const char* to)
{
    static constexpr LangText kLangout = {{
        ":\0031,0 LANGOUT:\00312 English",
        ":\0031,0 LANGOUT:\00312 German",
        ":\0031,0 LANGOUT:\00312 Dutch",
    }};
    reply_text(r, to, kLangout[r.settings.langout]);
}

void reply_statsafter(Relay& r, const char* to)
{
    replyf(r, to, ":\0031,0 STATSAFTER:\00312 %d frags", r.settings.statsafter);
}

void cmd_switch(Relay& r, const char* to, const ArgVector& args)
{
    const SwitchRow* row = find_switch(args.word(0));
    if (!row)
        return;
    BotSettings& s = r.settings;
    const char* word = args.word(1);
    switch (row->take) {
    case SwitchTake::on_off: set_switch(s.*row->setting, word); break;
    case SwitchTake::silent: set_silent(r, word); break;
    case SwitchTake::usetime: set_usetime(s, word); break;
    case SwitchTake::messages: set_messages(s, word); break;
    case SwitchTake::teammode: break; // shown only
    }
    reply_banner(r, to);
    if (row->setting == &BotSettings::useclantags)
        reply_clantags(r, to);
    else if (row->setting == &BotSettings::usetime)
        reply_usetime(r, to);
    else
        reply_on_off(r, to, row->label, switch_on(r, *row));
}

// Flood protection and its byte rate answer alike: both settings.
void reply_flood_settings(Relay& r, const char* to)
{
    reply_banner(r, to);
    reply_floodprotect(r, to, "");
    replyf(r, to, ":\0031,0 BYTERATE:\00312 %d", r.settings.byterate);
}

void cmd_floodprotect(Relay& r, const char* to, const ArgVector& args)
{
    set_floodprotect(r.settings, args.word(1));
    reply_flood_settings(r, to);
}

void cmd_byterate(Relay& r, const char* to, const ArgVector& args)
{
    set_byterate(r.settings, args.word(1));
    reply_flood_settings(r, to);
}

void cmd_statsafter(Relay& r, const char* to, const ArgVector& args)
{
    set_statsafter(r.settings, args.word(1));
    reply_banner(r, to);
    reply_statsafter(r, to);
}

void cmd_langin(Relay& r, const char* to, const ArgVector& args)
{
    set_langin(r.settings, args.word(1));
    reply_banner(r, to);
    reply_langin(r, to);
}

void cmd_langout(Relay& r, const char* to, const ArgVector& args)
{
    if (args.count >= 2) {
        set_langout(r.settings, args.word(1));
        announce(r, kLanguageText[r.settings.langout]);
    }
    reply_banner(r, to);
    reply_langout(r, to);
}

void cmd_showconnectinfo(Relay& r, const char* to, const ArgVector& args)
{
    take_bits(args, r.settings.showconnectinfo);
    reply_banner(r, to);
    replyf(r, to, ":\0031,0 SHOWCONNECTINFO VALUE:\00312 %d", r.settings.showconnectinfo);
    reply_bits(r, to, kConnectInfoBits, r.settings.showconnectinfo);
}

void cmd_showstatsafter(Relay& r, const char* to, const ArgVector& args)
{
    take_bits(args, r.settings.showstatsafter);
    reply_banner(r, to);
    replyf(r, to, ":\0031,0 SHOWSTATSAFTER VALUE:\00312 %d", r.settings.showstatsafter);
    reply_bits(r, to, kStatsAfterBits, r.settings.showstatsafter);
}

void cmd_ospshow(Relay& r, const char* to, const ArgVector& args)
{
    BotSettings& s = r.settings;
    if (take_bits(args, s.ospshow))
        for (const OspRow& o : kOspSwitches)
            s.*o.setting = (s.ospshow & o.bit) ? 1 : 0;
    reply_banner(r, to);
    replyf(r, to, ":\0031,0 OSP OPTIONS VALUE:\00312 %d", s.ospshow);
    for (const OspRow& o : kOspSwitches)
        reply_text(r, to, s.*o.setting ? o.on : o.off);
}

void cmd_linesread(Relay& r, const char* to, const ArgVector&)
{
    reply_banner(r, to);
    replyf(r, to, ":\0031,0 LINES read:\00312 %d", r.log.linesread);
}

void cmd_settings(Relay& r, const char* to, const ArgVector&)
{
    const BotSettings& s = r.settings;
    reply_banner(r, to);
    replyf(r, to, ":\0035,0 Settings:");
    replyf(r, to, ":\0031,0 IRC CHANNEL:\00312 %s", cstr(s.channel) ? cstr(s.channel) : "");
    reply_floodprotect(r, to, "IRC ");
    replyf(r, to, ":\0031,0 IRC MAXIMUM BYTERATE:\00312 %d", s.byterate);
    if (s.servermode) {
        replyf(r, to, ":\0031,0 SERVER MODE");
        replyf(r, to, ":\0031,0 OSP SHOW VALUE:\00312 %d", s.ospshow);
    } else {
        replyf(r, to, ":\0031,0 CLIENT MODE");
        reply_switch_line(r, to, "!usetime");
    }
    reply_server_setting(r, to);
    reply_langin(r, to);
    reply_langout(r, to);
    reply_switch_line(r, to, "!et");
    reply_switch_line(r, to, "!osp");
    reply_on_off(r, to, "OSP FIGHT", s.ospfight != 0);
    if (r.game.map)
        replyf(r, to, ":\0031,0 MAP: \00312%s", r.game.map->c_str());
    else
        replyf(r, to, ":\0031,0 MAP: \0035NOT SET");
    if (r.game.maptime != 0)
        replyf(r, to, ":\0031,0 MAP TIME:\00312 %02d:%02d", r.game.maptime / 60, r.game.maptime % 60);
    else
        replyf(r, to, ":\0031,0 MAP TIME: \0035NOT SET");
    reply_score_setting(r, to);
    reply_switch_line(r, to, "!teammode");
    reply_switch_line(r, to, "!useclantags");
    reply_statsafter(r, to);
    reply_switch_line(r, to, "!messages");
    reply_switch_line(r, to, "!showplay");
    reply_switch_line(r, to, "!showfrags");
    replyf(r, to, ":\0031,0 SHOW STATSAFTER VALUE:\00312 %d", s.showstatsafter);
    replyf(r, to, ":\0031,0 SHOW CONNECT INFO VALUE:\00312 %d", s.showconnectinfo);
    reply_switch_line(r, to, "!playerstats");
    reply_switch_line(r, to, "!weaponstats");
    reply_switch_line(r, to, "!silent");
    replyf(r, to, ":\0031,0 MAPS loaded:\00312 %d", r.maps.mapsloaded);
    replyf(r, to, ":\0031,0 LINES read:\00312 %d", r.log.linesread);
}
