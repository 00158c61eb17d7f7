// The owner's commands for the IRC session, the game server, the log, the map and
// the game clock, and the two configuration files.
#include <string>

#include "relay/commands/args.h"
#include "relay/commands/dispatch.h"
#include "relay/commands/effects.h"
#include "relay/commands/irc_handlers.h"
#include "relay/config/colours.h"
#include "relay/config/mapinfo.h"
#include "relay/relay.h"
#include "relay/base/text.h"
#include "relay/gamelog/follower.h"
#include "relay/base/phrases.h"
#include "relay/irc/output.h"
#include "relay/players/table.h"

void cmd_channel(Relay& r, const char* to, const ArgVector& args)
{
    BotSettings& s = r.settings;
    CommandState& c = r.commands;
    c.prevchannel = s.channel;
    c.prevchannelkey = s.channelkey;
    s.channel = std::string(args.word(1));
    s.channelkey = args.count >= 3 ? Text(args.word(2)) : Text();
    const char* before = cstr(c.prevchannel);
    const char* now = cstr(s.channel);

    LineBuf line;
    line.start(kBannerColour).addf(" %s %s %s ", kBanner, kChannelSwitchText[s.langout], now);
    send_privmsg(r, before, line.c_str(), 1);
    line.setf("%s is switching to channel %s ", ":Quillon's SOF2 Tidewatch v1.2", now);
    write_buf(r, "PART", before, line.c_str(), nullptr, nullptr, nullptr, 1);
    write_buf(r, "JOIN", now, cstr(s.channelkey), nullptr, nullptr, nullptr, 1);

    reply_banner(r, to);
    replyf(r, to, ":\0031,0 CHANNEL CHANGED \00312SUCCESSFULLY \0031FROM\0035 %s \0031TO\00312 %s", before ? before : "", now);
}

void cmd_newpass(Relay& r, const char* to, const ArgVector& args)
{
    reply_banner(r, to);
    replyf(r, to, ":\0031,0 PASSWORD CHANGED \00312SUCCESSFULLY \0031FROM\0035 %s \0031TO\00312 %s", args.word(1), args.word(2));
    r.settings.botpass = std::string(args.word(2));
}

void cmd_server(Relay& r, const char* to, const ArgVector& args)
{
    const BotSettings& s = r.settings;
    reply_banner(r, to);
    if (s.serverhost && s.serverport)
        replyf(r, to, ":\0031,0 CURRENT %s Server:\0035 %s:%s", kGameName, s.serverhost->c_str(), s.serverport->c_str());
    else
        replyf(r, to, ":\0031,0 CURRENT %s Server:\0035 NO SERVER GIVEN", kGameName);
    if (args.count < 3)
        return;
    replyf(r, to, ":\0031,0 NEW %s Server:\00312 %s:%s", kGameName, args.word(1), args.word(2));
    set_game_server(r, args.word(1), args.word(2));
}

void cmd_restart(Relay& r, const char* to, const ArgVector& args)
{
    const int lines = args.count >= 2 ? leading_int(args.word(1)) : 0;
    clear_players(r);
    r.teams.redscore() = 0;
    r.teams.bluescore() = 0;
    r.game.showscoretext.reset();

    BotSettings& s = r.settings;
    if (r.log.logopen) {
        // The main loop opens the log again and reads it from its first line, holding
        // reports back up to the line asked for, or up to today's end of the file.
        close_log(r);
        if (lines != 0) {
            s.recoverlines = lines;
            s.fromend = 0;
        } else {
            s.recoverlines = 0;
            FileStat st = r.platform->file_stat(cstr(s.logfile) ? *s.logfile : std::string());
            s.fromend = st.exists ? st.size : 0;
        }
    }
    reply_banner(r, to);
    if (lines != 0)
        replyf(r, to, ":\0031,0 \00312RESTARTING FROM %d LINES...", lines);
    else
        replyf(r, to, ":\0031,0 \00312RESTARTING...");
    announce(r, kRestartText[s.langout]);
}

void cmd_quit(Relay& r, const char* to, const ArgVector&)
{
    reply_banner(r, to);
    replyf(r, to, ":\0031,0 BOT SAYS: \00312BYE BYE");
    r.platform->sleep_ms(5000);
    quit_relay(r);
}

void cmd_operator(Relay& r, const char* to, const ArgVector&)
{
    const std::string list = r.settings.channel ? *r.settings.channel : std::string();
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        const std::string channel = list.substr(start, comma - start);
        if (!channel.empty()) // an empty element (",," or a trailing comma) names no channel
            write_buf(r, "MODE", channel.c_str(), "+o", to, nullptr, nullptr, 1);
        start = comma + 1;
    }
}

void cmd_map(Relay& r, const char* to, const ArgVector& args)
{
    const GameState& g = r.game;
    if (args.count >= 2)
        set_map(r, args.word(1));
    reply_banner(r, to);
    if (g.map)
        replyf(r, to, ":\0031,0 CURRENT MAP:\00312 %s", g.map->c_str());
    else
        replyf(r, to, ":\0031,0 CURRENT MAP:\0035 unknown");
    replyf(r, to, ":\0031,0 CURRENT MAP TIME:\00312 %2d:%02d", g.maptime / 60, g.maptime % 60);
}

void cmd_maptime(Relay& r, const char* to, const ArgVector& args)
{
    GameState& g = r.game;
    if (args.count >= 2) {
        int t = parse_time_word(args.word(1));
        if (t < 0)
            return;
        g.maptime = t;
    }
    reply_banner(r, to);
    replyf(r, to, ":\0031,0 MAP TIME SET TO:\00312 %2d:%02d", g.maptime / 60, g.maptime % 60);
}

void cmd_settime(Relay& r, const char* to, const ArgVector& args)
{
    int t = parse_time_word(args.word(1));
    if (t < 0)
        return;
    set_game_time(r, t);
    reply_banner(r, to);
    replyf(r, to, ":\0031,0 TIME SET TO:\00312 %2d:%02d", t / 60, t % 60);
    LineBuf line;
    line.start(r.colours.mapstart).addf(" %s%d:%02d", phrase(PH_TIME_SET_TO, r.settings.langout), t / 60, t % 60);
    send_privmsg(r, cstr(r.settings.channel), line.c_str(), 0);
}

void cmd_loadcolors(Relay& r, const char* to, const ArgVector&)
{
    const std::string file = r.settings.colorfile ? *r.settings.colorfile : std::string();
    load_colours(r, file.c_str());
    reply_banner(r, to);
    replyf(r, to, ":\0031,0 %s \00312RELOADED", file.c_str());
}

void cmd_loadmaps(Relay& r, const char* to, const ArgVector&)
{
    const std::string file = r.settings.mapfile ? *r.settings.mapfile : std::string();
    load_mapinfo(r, file.c_str());
    reply_banner(r, to);
    replyf(r, to, ":\0031,0 %s \00312RELOADED, %d MAPS LOADED", file.c_str(), r.maps.mapsloaded);
}
