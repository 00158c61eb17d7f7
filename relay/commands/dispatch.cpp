// From a PRIVMSG to a command handler: the words, the owner's password, the
// owner-only gate, the mode marks and the command table.
#include "relay/commands/dispatch.h"

#include <cstdarg>
#include <cstring>
#include <iterator>
#include <string>

#include "relay/commands/alltime_commands.h"
#include "relay/commands/args.h"
#include "relay/commands/irc_handlers.h"
#include "relay/relay.h"
#include "relay/statsdb/statsdb.h"
#include "relay/base/text.h"
#include "relay/irc/irc_message.h"
#include "relay/irc/nicks.h"
#include "relay/irc/output.h"

namespace {

enum Mode { kAnyMode, kClientOnly /* $ */, kServerOnly /* # */ };

// Checks a command's words before its handler runs: 0 when they will do, else the
// error code to reply with.
using WordCheck = int (*)(const Relay& r, const ArgVector& args);

struct CommandRow {
    const char* word;
    Mode mode;
    IrcHandler handler;
    // Words the command needs, its own word included: fewer get error 5.
    int minwords = 1;
    // Checks the words' values: 0, or the error code.
    WordCheck check = nullptr;
    // Its help line after the word: the words it takes, the marks, what it does.
    const char* help = nullptr;
    // Only while a statistics database is set: else unknown and not in the help.
    bool alltime = false;
};

int check_channel(const Relay&, const ArgVector& args)
{
    // A line break (or a bell, also barred from channel names) would cut every
    // later JOIN and report short at it.
    const std::string& name = args.words[1];
    return name[0] == '#' && name.find_first_of("\r\n\a") == std::string::npos ? 0 : 6;
}

int check_newpass(const Relay& r, const ArgVector& args)
{
    if (safe_strcmp(args.word(1), cstr(r.settings.botpass)) != 0)
        return 3;
    return safe_strcmp(args.word(2), args.word(3)) == 0 ? 0 : 4;
}

void cmd_pass(Relay&, const char*, const ArgVector&)
{
    // Authorisation happens before the owner gate; an owner's "!pass" that gets
    // here (no password given, or none configured) does nothing.
}

void cmd_help(Relay& r, const char* to, const ArgVector&)
{
    show_help(r, to);
}

constexpr CommandRow kCommands[] = {
    // For anyone: these two help lines come first, in this order.
    {"!help", kAnyMode, cmd_help, 1, nullptr, "\0035,0(*O): this help"},
    {"!pass", kAnyMode, cmd_pass, 1, nullptr, "password \0035,0(*): enter password to get bot ownership"},
    // For the owner, in the order the help lists them (%s is the game name).
    {"!byterate", kAnyMode, cmd_byterate, 1, nullptr, "number \0035,0(*O): set the maximum irc byterate"},
    {"!channel", kAnyMode, cmd_channel, 2, check_channel, "#channel channelpass \0035,0(*O): change the IRC channel"},
    {"!channelstats", kAnyMode, cmd_channelstats, 1, nullptr, "\0035,0(*O): show the current player stats in the channel"},
    {"!clantag", kAnyMode, cmd_clantag, 1, nullptr, "red|blue name \0035,0(*O): gives a team an clantag"},
    {"!et", kAnyMode, cmd_switch, 1, nullptr, "on|off \0035,0(*O): switch Enemy Territory support to on|off"},
    {"!fight", kAnyMode, cmd_switch, 1, nullptr, "on|off \0035,0(*O): turn ET/OSP war in progress on|off"},
    {"!floodprotect", kAnyMode, cmd_floodprotect, 1, nullptr, "on|off|skip \0035,0(*O): turn irc floodprotect on|off|skip"},
    {"!langin", kAnyMode, cmd_langin, 1, nullptr, "en|de \0035,0(*O): set the input (logfile) language to EN|DE|NL"},
    {"!langout", kAnyMode, cmd_langout, 1, nullptr, "en|de|nl \0035,0(*O): set the output language to EN|DE|NL"},
    {"!linesread", kAnyMode, cmd_linesread, 1, nullptr, "\0035,0(*O): show the number of lines read in the logfile"},
    {"!loadcolors", kAnyMode, cmd_loadcolors, 1, nullptr, "\0035,0(*O): reload the IRC color config file"},
    {"!loadmaps", kAnyMode, cmd_loadmaps, 1, nullptr, "\0035,0(*O): reload the map info file"},
    {"!map", kClientOnly, cmd_map, 1, nullptr, "mapname \0035,0(*$O): sets the current map"},
    {"!maptime", kClientOnly, cmd_maptime, 1, nullptr, "XX:YY \0035,0(*$O): set/show the maptime to XX minutes an YY seconds"},
    {"!messages", kAnyMode, cmd_switch, 1, nullptr, "on|off \0035,0(*O): switch messages setting to on|off"},
    {"!newpass", kAnyMode, cmd_newpass, 4, check_newpass, "oldpass newpass newpass \0035,0(*O): change irc pass from old to new"},
    {"!operator", kAnyMode, cmd_operator, 1, nullptr, "\0035,0(*O): get operator privileges on the channel"},
    {"!osp", kAnyMode, cmd_switch, 1, nullptr, "on|off \0035,0(*O): turn OSP support on|off"},
    {"!ospfight", kAnyMode, cmd_switch, 1, nullptr, "on|off \0035,0(*O): turn OSP war in progress on|off"},
    {"!ospshow", kServerOnly, cmd_ospshow, 1, nullptr, "value \0035,0(*#O): set some osp server options"},
    {"!player", kAnyMode, cmd_player, 2, nullptr, "name \0035,0(*O): show a player's all-time stats", true},
    {"!playerstats", kAnyMode, cmd_switch, 1, nullptr, "on|off \0035,0(*O): turn playerstats on|off"},
    {"!quit", kAnyMode, cmd_quit, 1, nullptr, "\0035,0(*O): let the bot stop and exit"},
    {"!renameteam", kAnyMode, cmd_renameteam, 1, nullptr, "red|blue name \0035,0(*O): gives a team an new name"},
    {"!restart", kAnyMode, cmd_restart, 1, nullptr, "#lines \0035,0(*O): restart bot, continue logfile from the end or restart after #lines"},
    {"!score", kAnyMode, cmd_score, 1, nullptr, "red|blue value \0035,0(*O): set score of the red|blue team"},
    {"!server", kAnyMode, cmd_server, 1, nullptr, "address port \0035,0(*O): set the %s server"},
    {"!settime", kClientOnly, cmd_settime, 1, nullptr, "XX:YY \0035,0(*$O): set the time to XX minutes an YY seconds"},
    {"!settings", kAnyMode, cmd_settings, 1, nullptr, "\0035,0(*O): show current bot settings"},
    {"!showconnectinfo", kAnyMode, cmd_showconnectinfo, 1, nullptr, "value \0035,0(*#O): set what connection info to show"},
    {"!showfrags", kAnyMode, cmd_switch, 1, nullptr, "on|off \0035,0(*O): turn frags on|off"},
    {"!showplay", kAnyMode, cmd_switch, 1, nullptr, "on|off \0035,0(*O): turn frags/gameplay on|off"},
    {"!showscore", kAnyMode, cmd_showscore, 1, nullptr, "text \0035,0(*O): show current score in channel with optional text"},
    {"!showstatsafter", kAnyMode, cmd_showstatsafter, 1, nullptr, "value \0035,0(*O): set when to show player statistics"},
    {"!silent", kAnyMode, cmd_switch, 1, nullptr, "on|off \0035,0(*O): turn bot on|off"},
    {"!stats", kAnyMode, cmd_stats, 1, nullptr, "\0035,0(*O): show the current player stats"},
    {"!statsafter", kAnyMode, cmd_statsafter, 1, nullptr, "#frags \0035,0(*O): show stats on channel after every #frags"},
    {"!statsclear", kAnyMode, cmd_statsclear, 1, nullptr, "\0035,0(*O): clear the current player stats"},
    {"!statsdelete", kAnyMode, cmd_statsdelete, 1, nullptr, "\0035,0(*O): delete the current player stats and players"},
    {"!swapnames", kAnyMode, cmd_swapnames, 1, nullptr, "\0035,0(*O): swap the current team names/clantags"},
    {"!swapplayer", kClientOnly, cmd_swapplayer, 1, nullptr, "id red|blue|spectator \0035,0(*$O): swap the player with id to another team"},
    {"!swapplayers", kClientOnly, cmd_swapplayers, 1, nullptr, "\0035,0(*$O): swap the players teams"},
    {"!swapscores", kAnyMode, cmd_swapscores, 1, nullptr, "\0035,0(*O): swap the current team scores"},
    {"!swapteams", kAnyMode, cmd_swapteams, 1, nullptr, "\0035,0(*O): swap the current team names/clantags/scores/players"},
    {"!teammode", kAnyMode, cmd_switch, 1, nullptr, "on|off \0035,0(*O): switch teammode setting to on|off"},
    {"!top", kAnyMode, cmd_top, 1, check_top, "n \0035,0(*O): show the n best players of all time (10, at most 20)", true},
    {"!usetime", kClientOnly, cmd_switch, 1, nullptr, "on|off|down|up \0035,0(*$O): show time on|off, set time going up/down"},
    {"!useclantags", kAnyMode, cmd_switch, 1, nullptr, "on|off \0035,0(*$O): turn clantags for teams on|off"},
    {"!weaponstats", kAnyMode, cmd_switch, 1, nullptr, "on|off \0035,0(*O): turn weaponstats on|off"},
};

const CommandRow* find_command(const Relay& r, const char* word, int servermode)
{
    for (const CommandRow& row : kCommands) {
        if (safe_stricmp(word, row.word) != 0)
            continue;
        if (row.alltime && !statsdb_configured(r))
            return nullptr;
        if ((row.mode == kClientOnly && servermode) || (row.mode == kServerOnly && !servermode))
            return nullptr; // the other mode's command is unknown here
        return &row;
    }
    return nullptr;
}


struct ErrorRow {
    int code;
    const char* first;
    const char* second;
};

constexpr ErrorRow kErrors[] = {
    {3, ":\0035,0 AUTHORISATION UNSUCCESSFULL!", ":\0035,0 The password was incorrect!"},
    {4, ":\0035,0 PASSWORD MISSMATCH!", ":\0035,0 The password verification failed!"},
    {5, ":\0035,0 INVALID NUMBER OF ARGUMENTS!", ":\0035,0 Try !help for more info about a command"},
    {6, ":\0035,0 INVALID ARGUMENT SEND!", ":\0035,0 Try !help for more info about a command"},
};

// Guessing the owner password: after a wrong one, !pass from that user@host is
// ignored for a while, whatever nick it comes under; the wait doubles with each
// further failure up to a cap, and attempts within it are not counted. Nothing is
// replied. Other user@hosts are never held up, so guessers cannot lock the owner
// out.
constexpr long long kFirstWait = 3;
constexpr long long kMaxWait = 300;
constexpr long long kForgetAfter = 3600; // a quiet hour clears the count
constexpr std::size_t kMaxHostsKept = 256;

long long doubled(long long first, int times)
{
    long long wait = first;
    for (int i = 1; i < times && wait < kMaxWait; ++i)
        wait *= 2;
    return wait < kMaxWait ? wait : kMaxWait;
}

bool pass_blocked(Relay& r, const std::string& userhost)
{
    const auto& hosts = r.commands.passhosts;
    auto it = hosts.find(userhost);
    return it != hosts.end() && r.platform->now() < it->second.until;
}

void pass_failed(Relay& r, const char* sender, const std::string& userhost)
{
    const long long now = r.platform->now();
    auto& hosts = r.commands.passhosts;
    if (hosts.size() >= kMaxHostsKept && !hosts.count(userhost)) {
        // Many guessers: forget those whose wait is over; all of them if none is.
        for (auto it = hosts.begin(); it != hosts.end();)
            it = now >= it->second.until ? hosts.erase(it) : std::next(it);
        if (hosts.size() >= kMaxHostsKept)
            hosts.clear();
    }
    PassBackoff& b = hosts[userhost];
    if (now - b.lastfailure > kForgetAfter)
        b.failures = 0;
    b.lastfailure = now;
    ++b.failures;
    b.until = now + doubled(kFirstWait, b.failures);
    trace(r, 11, "wrong owner password from %s!%s\n", sender, userhost.c_str());
}

// !pass with the right password: the previous owner is told, the sender is owner.
void authorise(Relay& r, const char* sender, const std::string& userhost)
{
    Text& owner = r.commands.botowner;
    if (owner) {
        const std::string previous = *owner;
        reply_banner(r, previous.c_str());
        replyf(r, previous.c_str(), ":\00312,0 %s is now the new botowner!", sender);
    }
    reply_banner(r, sender);
    replyf(r, sender, ":\00312,0 You have been AUTHORIZED SUCCESSFULLY!");
    owner = std::string(sender);
    r.commands.owneruserhost = userhost;
}

} // namespace

void replyf(Relay& r, const char* to, const char* format, ...)
{
    LineBuf line;
    va_list ap;
    va_start(ap, format);
    line.vaddf(format, ap);
    va_end(ap);
    send_privmsg(r, to, line.c_str(), 1);
}

void reply_text(Relay& r, const char* to, const char* text)
{
    send_privmsg(r, to, text, 1);
}

void reply_banner(Relay& r, const char* to)
{
    LineBuf line;
    line.start(kBannerColour).add_char(' ').add(kBanner);
    send_privmsg(r, to, line.c_str(), 1);
}

void reply_error(Relay& r, const char* to, int code)
{
    for (const ErrorRow& e : kErrors)
        if (e.code == code) {
            reply_banner(r, to);
            reply_text(r, to, e.first);
            reply_text(r, to, e.second);
        }
}

void show_help(Relay& r, const char* to)
{
    reply_banner(r, to);
    replyf(r, to, ":\0035,0 AVAILABLE COMMANDS (* ONLY BY PRIVMSG, # SERVER MODE ONLY, $ CLIENT MODE ONLY, O OWNER ONLY):");
    const bool owner = same_nick(r.irc, to, cstr(r.commands.botowner));
    int shown = 0;
    for (const CommandRow& row : kCommands) {
        // The first two (!help, !pass) are for anyone, the rest for the owner.
        if (shown++ >= 2 && !owner)
            return;
        if (row.alltime && !statsdb_configured(r))
            continue;
        const std::string line = std::string(":\00312,0 ") + row.word + " " + row.help;
        replyf(r, to, line.c_str(), kGameName);
    }
}

bool is_owner(const Relay& r, const LinePrefix& sender)
{
    const CommandState& c = r.commands;
    return c.botowner && sender.identified() && same_nick(r.irc, sender.nick.c_str(), c.botowner->c_str()) &&
           sender.userhost == c.owneruserhost;
}

void irc_command(Relay& r, const char* prefix, const char* sender, const char* target, const char* message)
{
    if (!message || message[0] == 0)
        return;
    const std::string text(message, std::char_traits<char>::length(message) > kMaxArgLength
                                        ? kMaxArgLength
                                        : std::char_traits<char>::length(message));
    if (text[0] != '!')
        return;
    ArgVector args;
    if (split_args(r, text.c_str(), args) == 0)
        return;
    if (safe_stricmp(target, cstr(r.settings.channel)) == 0)
        return; // commands are taken by private message only
    trace(r, 101, "botcmd[%s]\n", args.word(0));

    // Only a sender with a nick and a user@host can authorise or be the owner (and
    // only such a nick can be replied to). The handlers may replace the owner's
    // nick: keep a copy of the sender.
    LinePrefix who = parse_prefix(prefix);
    if (sender)
        who.nick = sender;
    if (!who.identified())
        return;
    const std::string& from = who.nick;
    const BotSettings& s = r.settings;
    if (safe_stricmp(args.word(0), "!pass") == 0 && s.botpass && args.count >= 2) {
        if (pass_blocked(r, who.userhost))
            return;
        if (safe_strcmp(args.word(1), cstr(s.botpass)) == 0) {
            r.commands.passhosts.erase(who.userhost);
            authorise(r, from.c_str(), who.userhost);
        } else {
            pass_failed(r, from.c_str(), who.userhost);
        }
        return;
    }

    if (!is_owner(r, who))
        return;
    const CommandRow* row = find_command(r, args.word(0), s.servermode);
    if (!row)
        return;

    if (args.count < row->minwords)
        return reply_error(r, from.c_str(), 5);
    if (row->check)
        if (int error = row->check(r, args))
            return reply_error(r, from.c_str(), error);
    row->handler(r, from.c_str(), args);
}

namespace {

// True when target is one of the comma-separated names in list (ignoring case).
bool in_channel_list(const std::string& list, const char* target)
{
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = list.find(',', start);
        std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (safe_stricmp(name.c_str(), target) == 0)
            return true;
        if (comma == std::string::npos)
            return false;
        start = comma + 1;
    }
}

void handle_privmsg(Relay& r, const IrcMessage& m, const char* sender)
{
    const char* target = m.arg(2);
    if (target[0] == 0)
        return;
    // Copies: the command may replace the nick or channel setting it is given.
    const BotSettings& s = r.settings;
    if (same_nick(r.irc, target, cstr(s.nick))) {
        std::string nick = *s.nick;
        irc_command(r, m.arg(0), sender, nick.c_str(), m.arg(3));
        return;
    }
    if (!s.channel)
        return;
    std::string channel = *s.channel;
    bool match = channel.find(',') == std::string::npos ? safe_stricmp(target, channel.c_str()) == 0
                                                        : in_channel_list(channel, target);
    if (match)
        irc_command(r, m.arg(0), sender, channel.c_str(), m.arg(3));
}

} // namespace

void handle_user_message(Relay& r, const IrcMessage& m, const char* sender)
{
    const char* command = m.arg(1);
    if (std::strcmp(command, "PRIVMSG") == 0) {
        handle_privmsg(r, m, sender);
    } else if (std::strcmp(command, "NICK") == 0) {
        // The owner keeps owner status under a new nick.
        const char* newnick = m.arg(2);
        if (newnick[0] != 0 && is_owner(r, parse_prefix(m.arg(0))))
            r.commands.botowner = std::string(newnick);
    } else if (std::strcmp(command, "QUIT") == 0) {
        // The owner left IRC: whoever comes next under that nick is a stranger.
        if (is_owner(r, parse_prefix(m.arg(0)))) {
            trace(r, 11, "owner %s quit\r\n", sender);
            r.commands.botowner.reset();
            r.commands.owneruserhost.clear();
        }
    }
}
