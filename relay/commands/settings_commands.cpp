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
    replyf(r, to, on ? ":%c1,0 %s: %c12ON" : ":%c1,0 %s: %c5OFF", label);
}

bool switch_on(const Relay& r, const SwitchRow& row)
{
    return switch_is_on(r.settings, row);
}

// One line per bit of a bit set: ":%c1,0 <label>: %c12ON" or the off form.
struct BitRow {
    int bit;
    const char* on;
    const char* off;
};

constexpr BitRow kConnectInfoBits[] = {
    {1, ":%c1,0 SHOW CONNECT: %c12ON", ":%c1,0 SHOW CONNECT: %c5OFF"},
    {2, ":%c1,0 SHOW DISCONNECT: %c12ON", ":%c1,0 SHOW DISCONNECT: %c5OFF"},
    {4, ":%c1,0 SHOW BATTLE ENTER: %c12ON", ":%c1,0 SHOW BATTLE ENTER: %c5OFF"},
    {8, ":%c1,0 SHOW BATTLE LEFT: %c12ON", ":%c1,0 SHOW BATTLE LEFT: %c5OFF"},
    {16, ":%c1,0 SHOW TIMED OUT: %c12ON", ":%c1,0 SHOW TIMED OUT: %c5OFF"},
    {32, ":%c1,0 SHOW INACTIVITY DROP: %c12ON", ":%c1,0 SHOW INACTIVITY DROP: %c5OFF"},
    {64, ":%c1,0 SHOW JOIN TEAM: %c12ON", ":%c1,0 SHOW JOIN TEAM: %c5OFF"},
    {128, ":%c1,0 SHOW PREPARE DEPLOYMENT: %c12ON", ":%c1,0 SHOW PREPARE DEPLOYMENT: %c5OFF"},
    {256, ":%c1,0 SHOW PLAYER KICKED: %c12ON", ":%c1,0 SHOW PREPARE PLAYER KICKED: %c5OFF"},
    {512, ":%c1,0 SHOW SERVER QUERY: %c12ON", ":%c1,0 SHOW SERVER QUERY: %c5OFF"},
};

constexpr BitRow kStatsAfterBits[] = {
    {1, ":%c1,0 SHOW AFTER ROUND WIN: %c12ON", ":%c1,0 SHOW AFTER ROUND WIN: %c5OFF"},
    {2, ":%c1,0 SHOW AFTER TIMELIMIT HIT: %c12ON", ":%c1,0 SHOW AFTER TIMELIMIT HIT: %c5OFF"},
    {4, ":%c1,0 SHOW AFTER SCORE/FRAG LIMIT HIT: %c12ON", ":%c1,0 SHOW AFTER SCORE/FRAG LIMIT HIT: %c5OFF"},
    {8, ":%c1,0 SHOW AFTER MAP SHUTDOWN: %c12ON", ":%c1,0 SHOW AFTER MAP SHUTDOWN: %c5OFF"},
    {16, ":%c1,0 SHOW WHEN NO NEW DATA HAS BEEN RECEIVED: %c12ON",
     ":%c1,0 SHOW WHEN NO NEW DATA HAS BEEN RECEIVED: %c5OFF"},
};

// The OSP switches derived from the bits of ospshow.
struct OspRow {
    int bit;
    int BotSettings::*setting;
    const char* on;
    const char* off;
};

constexpr OspRow kOspSwitches[] = {
    {1, &BotSettings::ospshowobjective, ":%c1,0 SHOW OBJECTIVE: %c12ON", ":%c1,0 SHOW OBJECTIVE: %c5OFF"},
    {2, &BotSettings::ospshowdyna, ":%c1,0 SHOW DYNA PLANTED/DEFUSED: %c12ON",
     ":%c1,0 SHOW DYNA PLANTED/DEFUSED: %c5OFF"},
    {4, &BotSettings::ospshowrevives, ":%c1,0 SHOW MEDIC REVIVES: %c12ON", ":%c1,0 SHOW MEDIC REVIVES: %c5OFF"},
    {8, &BotSettings::ospshowrepairs, ":%c1,0 SHOW MG-42 REPAIRS: %c12ON", ":%c1,0 SHOW MG-42 REPAIRS: %c5OFF"},
};

template <std::size_t N>
void reply_bits(Relay& r, const char* to, const BitRow (&rows)[N], int value)
{
    for (const BitRow& b : rows)
        replyf(r, to, (value & b.bit) ? b.on : b.off);
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
        replyf(r, to, ":%c1,0 %s SERVER:%c12 %s:%s", kGameName, s.serverhost->c_str(), s.serverport->c_str());
    else
        replyf(r, to, ":%c1,0 %s SERVER:%c12 NO SERVER GIVEN", kGameName);
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
        replyf(r, to, ":%c1,0 TIME mode: %c5UP - Time elapsed/played");
    else
        replyf(r, to, ":%c1,0 TIME mode: %c12DOWN - Countdown %c5(if maptime is known)");
}

void reply_floodprotect(Relay& r, const char* to, const char* prefix)
{
    switch (r.settings.floodprotect) {
    case 0: replyf(r, to, ":%c1,0 %sFLOODPROTECT: %c5OFF", prefix); break;
    case 1: replyf(r, to, ":%c1,0 %sFLOODPROTECT: %c12ON", prefix); break;
    default: replyf(r, to, ":%c1,0 %sFLOODPROTECT: %c12ON AND SKIP", prefix); break;
    }
}

void reply_langin(Relay& r, const char* to)
{
    replyf(r, to, r.settings.langin == kLangGerman ? ":%c1,0 LOGFILE LANG:%c12 German"
                                                   : ":%c1,0 LOGFILE LANG:%c12 English");
}

void reply_langout(Relay& r, const char* to)
{
    static constexpr LangText kLangout = {{
        ":%c1,0 LANGOUT:%c12 English",
        ":%c1,0 LANGOUT:%c12 German",
        ":%c1,0 LANGOUT:%c12 Dutch",
    }};
    replyf(r, to, kLangout[r.settings.langout]);
}

void reply_statsafter(Relay& r, const char* to)
{
    replyf(r, to, ":%c1,0 STATSAFTER:%c12 %d frags", r.settings.statsafter);
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
    replyf(r, to, ":%c1,0 BYTERATE:%c12 %d", r.settings.byterate);
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
    replyf(r, to, ":%c1,0 SHOWCONNECTINFO VALUE:%c12 %d", r.settings.showconnectinfo);
    reply_bits(r, to, kConnectInfoBits, r.settings.showconnectinfo);
}

void cmd_showstatsafter(Relay& r, const char* to, const ArgVector& args)
{
    take_bits(args, r.settings.showstatsafter);
    reply_banner(r, to);
    replyf(r, to, ":%c1,0 SHOWSTATSAFTER VALUE:%c12 %d", r.settings.showstatsafter);
    reply_bits(r, to, kStatsAfterBits, r.settings.showstatsafter);
}

void cmd_ospshow(Relay& r, const char* to, const ArgVector& args)
{
    BotSettings& s = r.settings;
    if (take_bits(args, s.ospshow))
        for (const OspRow& o : kOspSwitches)
            s.*o.setting = (s.ospshow & o.bit) ? 1 : 0;
    reply_banner(r, to);
    replyf(r, to, ":%c1,0 OSP OPTIONS VALUE:%c12 %d", s.ospshow);
    for (const OspRow& o : kOspSwitches)
        replyf(r, to, s.*o.setting ? o.on : o.off);
}

void cmd_linesread(Relay& r, const char* to, const ArgVector&)
{
    reply_banner(r, to);
    replyf(r, to, ":%c1,0 LINES read:%c12 %d", r.log.linesread);
}

void cmd_settings(Relay& r, const char* to, const ArgVector&)
{
    const BotSettings& s = r.settings;
    reply_banner(r, to);
    replyf(r, to, ":%c5,0 Settings:");
    replyf(r, to, ":%c1,0 IRC CHANNEL:%c12 %s", cstr(s.channel) ? cstr(s.channel) : "");
    reply_floodprotect(r, to, "IRC ");
    replyf(r, to, ":%c1,0 IRC MAXIMUM BYTERATE:%c12 %d", s.byterate);
    if (s.servermode) {
        replyf(r, to, ":%c1,0 SERVER MODE");
        replyf(r, to, ":%c1,0 OSP SHOW VALUE:%c12 %d", s.ospshow);
    } else {
        replyf(r, to, ":%c1,0 CLIENT MODE");
        reply_switch_line(r, to, "!usetime");
    }
    reply_server_setting(r, to);
    reply_langin(r, to);
    reply_langout(r, to);
    reply_switch_line(r, to, "!et");
    reply_switch_line(r, to, "!osp");
    reply_on_off(r, to, "OSP FIGHT", s.ospfight != 0);
    if (r.game.map)
        replyf(r, to, ":%c1,0 MAP: %c12%s", r.game.map->c_str());
    else
        replyf(r, to, ":%c1,0 MAP: %c5NOT SET");
    if (r.game.maptime != 0)
        replyf(r, to, ":%c1,0 MAP TIME:%c12 %02d:%02d", r.game.maptime / 60, r.game.maptime % 60);
    else
        replyf(r, to, ":%c1,0 MAP TIME: %c5NOT SET");
    reply_score_setting(r, to);
    reply_switch_line(r, to, "!teammode");
    reply_switch_line(r, to, "!useclantags");
    reply_statsafter(r, to);
    reply_switch_line(r, to, "!messages");
    reply_switch_line(r, to, "!showplay");
    reply_switch_line(r, to, "!showfrags");
    replyf(r, to, ":%c1,0 SHOW STATSAFTER VALUE:%c12 %d", s.showstatsafter);
    replyf(r, to, ":%c1,0 SHOW CONNECT INFO VALUE:%c12 %d", s.showconnectinfo);
    reply_switch_line(r, to, "!playerstats");
    reply_switch_line(r, to, "!weaponstats");
    reply_switch_line(r, to, "!silent");
    replyf(r, to, ":%c1,0 MAPS loaded:%c12 %d", r.maps.mapsloaded);
    replyf(r, to, ":%c1,0 LINES read:%c12 %d", r.log.linesread);
}
