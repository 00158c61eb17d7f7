#include "relay/app/command_line.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "relay/base/lang.h"
#include "relay/relay.h"
#include "relay/base/text.h"

void print_usage(Relay& r, const char* program_name, int exit_code)
{
    const BotSettings& s = r.settings;
    console_printf(r, "\n%s\n\n", kBanner);
    console_printf(r, "Usage: %s [-a] [-b pass] [-c] [-d port] [-e nick] [-f pass]\n", program_name ? program_name : "tidecore");
    console_printf(r, "\t\t[-g] [-h] [-i] [-j key] [-k language] [-l language]\n");
    console_printf(r, "\t\t[-m] [-n nick] [-o] [-p port] [-q] [-r #lines] [-s #frags]\n");
    console_printf(r, "\t\t[-t] [-u user] [-v] [-w host] [-x mapfile] [-y colorfile] [-z]\n");
    console_printf(r, "\t\t[-A] [-B pass] [-C] [-F] [-I] [-P] [-O osp_options]\n");
    console_printf(r, "\t\thost #channel logfile\n\n");
    console_printf(r, "\thost: irc host to connect to.\n");
    console_printf(r, "\t#channel: irc channel to join to.\n");
    console_printf(r, "\tlogfile: the %s logfile.\n\n", kGameName);
    console_printf(r, "\t-a wait 1 minute before starting.\n");
    console_printf(r, "\t-b password: use this pass to authorize the owner on IRC.\n");
    console_printf(r, "\t-c show playerstats [kills/deaths] during each frag line.\n");
    console_printf(r, "\t-d port: %s server UDP port. [default: %s]\n", kGameName, "27960");
    console_printf(r, "\t-e qnick: nickname used for Quakenet Q auth. [default -n nick]\n");
    console_printf(r, "\t-f qpass: password used for Quakenet Q auth.\n");
    console_printf(r, "\t-g start sending info from the end of the logfile.\n");
    console_printf(r, "\t-h this help.\n");
    console_printf(r, "\t-i turn nice mode on.\n");
    console_printf(r, "\t-j key: the key to join the IRC channel.\n");
    console_printf(r, "\t-k output language. EN=0/DE=1/NL=2. [default: %d]\n", s.langout);
    console_printf(r, "\t-l logfile language. EN=0/DE=1/NL=2. [default: %d]\n", s.langin);
    console_printf(r, "\t-m turn on team/global messages.\n");
    console_printf(r, "\t-n nick: nickname to use on irc channel. [default: %s]\n", cstr(s.nick) ? cstr(s.nick) : "");
    console_printf(r, "\t-o turn OSP mode on.\n");
    console_printf(r, "\t-p port: irc port to connect to. [default: %s]\n", cstr(s.ircport) ? cstr(s.ircport) : "");
    console_printf(r, "\t-q quiet mode.\n");
    console_printf(r, "\t-r #lines: start after processing #lines.\n");
    console_printf(r, "\t-s #frags: show stats after processing #frags.\n\t   Must be greater or equal than 20 or 0. [default: %s]\n",
                   cstr(s.statsafter_text) ? cstr(s.statsafter_text) : "");
    console_printf(r, "\t-t turn TEAM mode on.\n");
    console_printf(r, "\t-u user: username to use on irc host. [default: %s]\n", cstr(s.bounceruser) ? cstr(s.bounceruser) : "");
    console_printf(r, "\t-v turn server mode on.\n");
    console_printf(r, "\t-w host: %s server.\n", kGameName);
    console_printf(r, "\t-x mapfile: path to the map info file. [default: %s]\n", cstr(s.mapfile) ? cstr(s.mapfile) : "");
    console_printf(r, "\t-y colorfile: path to the irc color file. [default: %s]\n", cstr(s.colorfile) ? cstr(s.colorfile) : "");
    console_printf(r, "\t-z use time on client side\n");
    console_printf(r, "\t-A turn bouncer mode on.\n");
    console_printf(r, "\t-B password: use this password to authorize to your bouncer/irc server\n");
    console_printf(r, "\t-C use clantags to team up the players\n");
    console_printf(r, "\t-F set showfrags to OFF\n");
    console_printf(r, "\t-I set irc floodprotect to ON\n");
    console_printf(r, "\t-O osp_options: turn on some server side OSP options\n");
    console_printf(r, "\t-P set showplay to OFF\n\n");
    exit_program(r, exit_code);
}

void decode_ospshow(BotSettings& s)
{
    s.ospshowobjective = (s.ospshow & 1) ? 1 : 0;
    s.ospshowdyna = (s.ospshow & 2) ? 1 : 0;
    s.ospshowrevives = (s.ospshow & 4) ? 1 : 0;
    s.ospshowrepairs = (s.ospshow & 8) ? 1 : 0;
}

namespace {

// A value that would make malformed IRC lines or a useless connection: the message
// and the usage exit code, before anything is opened.
[[noreturn]] void refuse(Relay& r, const char* what, const char* value, const char* why)
{
    console_printf(r, "Invalid %s \"%s\": %s. See tidecore -h.\n", what, value, why);
    exit_program(r, kExitUsage);
}

bool has_any(const std::string& text, const char* bytes)
{
    return text.find_first_of(bytes, 0, std::strlen(bytes) + 1) != std::string::npos; // NUL too
}

void check_port(Relay& r, const char* what, const Text& port)
{
    if (!port)
        return;
    const std::string& p = *port;
    bool digits = !p.empty() && p.size() <= 5 && p.find_first_not_of("0123456789") == std::string::npos;
    int n = digits ? std::atoi(p.c_str()) : 0;
    if (n < 1 || n > 65535)
        refuse(r, what, p.c_str(), "a port is a number from 1 to 65535");
}

// Host, ports, channel list, key and nick as IRC and the sockets will take them.
void check_values(Relay& r)
{
    const BotSettings& s = r.settings;
    if (s.irchost->empty() || has_any(*s.irchost, " \r\n"))
        refuse(r, "IRC host", s.irchost->c_str(), "give a host name or address");
    check_port(r, "IRC port", s.ircport);
    check_port(r, "game server port", s.serverport);
    if (s.serverhost && (s.serverhost->empty() || has_any(*s.serverhost, " \r\n")))
        refuse(r, "game server host", s.serverhost->c_str(), "give a host name or address");

    const std::string& list = *s.channel;
    if (list.empty() || has_any(list, " \a\r\n"))
        refuse(r, "channel", list.c_str(), "a channel name has no blanks and is not empty");
    for (std::size_t start = 0;;) {
        std::size_t comma = list.find(',', start);
        std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (name.size() < 2 || std::strchr("#&+!", name[0]) == nullptr)
            refuse(r, "channel", list.c_str(), "each channel name starts with # (or &, +, !)");
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (s.channelkey && has_any(*s.channelkey, " \r\n"))
        refuse(r, "channel key", s.channelkey->c_str(), "a key has no blanks");
    if (s.nick->empty() || has_any(*s.nick, " ,!@\r\n") || s.nick->front() == ':' || s.nick->front() == '#')
        refuse(r, "nick", s.nick->c_str(), "a nick is one word without , ! @ and does not start with # or :");
}

} // namespace

void parse_command_line(Relay& r, int argc, char** argv)
{
    BotSettings& s = r.settings;
    const char* program = argc > 0 ? argv[0] : "tidecore";

    s.serverhost.reset();
    s.serverport.reset();
    s.bounceruser = std::string("Ferrobot");

    // "tidecore -h" asks for the help; any other short command line is an error.
    if (argc == 2 && argv[1][0] == '-' && argv[1][1] == 'h')
        print_usage(r, program, kExitOk);
    if (argc - 1 < 2)
        print_usage(r, program, kExitUsage);

    bool wait_minute = false;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        char opt = argv[i][1];
        // Options that take a value take the next argument whole.
        const char* value = nullptr;
        if (std::strchr("bdefjklnprsuwxyBDO", opt) && opt != 0) {
            if (i + 1 >= argc)
                print_usage(r, program, kExitUsage);
            value = argv[++i];
        }
        switch (opt) {
        case 'a': wait_minute = true; break;
        case 'b': s.botpass = std::string(value); s.botpass_cmdline = 1; break;
        case 'c': s.playerstats = 1; s.playerstats_cmdline = 1; break;
        case 'd': s.serverport = std::string(value); break;
        case 'e': s.qnick = std::string(value); break;
        case 'f': s.qpass = std::string(value); break;
        case 'g': s.fromend = 1; break;
        case 'i': s.nicemode = 1; break;
        case 'j': s.channelkey = std::string(value); break;
        case 'k': {
            int v = leading_int(value);
            s.langout = lang_index(v);
            break;
        }
        case 'l': {
            int v = leading_int(value);
            // Logs come in English or German only.
            s.langin = v == kLangGerman ? kLangGerman : kLangEnglish;
            break;
        }
        case 'm': s.messages = 0; break;
        case 'n': s.nick = std::string(value); break;
        case 'o': s.osp = 1; break;
        case 'p': s.ircport = std::string(value); break;
        case 'q': s.quietmode = 1; break;
        case 'r': s.recoverlines_text = std::string(value); break;
        case 's': s.statsafter_text = std::string(value); break;
        case 't': s.teammode = 1; break;
        case 'u': s.bounceruser = std::string(value); s.bounceruser_cmdline = 1; break;
        case 'v': s.servermode = 1; break;
        case 'w': s.serverhost = std::string(value); break;
        case 'x': s.mapfile = std::string(value); break;
        case 'y': s.colorfile = std::string(value); break;
        case 'z': s.usetime = 1; s.usetime_cmdline = 1; break;
        case 'A': s.bouncer = 1; s.bouncer_cmdline = 1; break;
        case 'B': s.bouncerpass = std::string(value); s.bouncerpass_cmdline = 1; break;
        case 'C': s.useclantags = 1; s.useclantags_cmdline = 1; break;
        case 'D':
            s.debuglevel = leading_int(value);
            if (s.debuglevel > 0)
                open_trace(r);
            break;
        case 'E': s.etsupport = 1; s.osp = 1; s.etsupport_cmdline = 1; break;
        case 'F': s.showfrags = 0; break;
        case 'G': s.ospfight = 1; s.osp = 1; break;
        case 'I': s.floodprotect = 1; s.floodprotect_cmdline = 1; break;
        case 'O': {
            int v = leading_int(value);
            s.ospshow = v < 0 ? 3 : v;
            break;
        }
        case 'P': s.showplay = 0; break;
        case 'h': print_usage(r, program, kExitOk);
        default: print_usage(r, program, kExitUsage);
        }
    }

    // The three positional arguments must all be there.
    if (argc - i < 3)
        print_usage(r, program, kExitUsage);
    s.irchost = std::string(argv[i]);
    s.channel = std::string(argv[i + 1]);
    s.logfile = std::string(argv[i + 2]);
    check_values(r);

    s.teammode = 1;
    for (int& score : r.teams.teamscores)
        score = 0;
    if (wait_minute)
        r.platform->sleep_ms(60000);
    if (s.servermode)
        decode_ospshow(s);
    if (s.fromend) {
        FileStat st = r.platform->file_stat(*s.logfile);
        s.fromend = st.exists ? st.size : 0;
    }
    if (!s.serverport)
        s.serverport = std::string("27960");
    s.statsafter = leading_int(cstr(s.statsafter_text));
    if (s.statsafter != 0 && s.statsafter < 20)
        s.statsafter = 20;
    r.game.fragcount = 0;
    int recover = leading_int(cstr(s.recoverlines_text));
    if (recover > 0) {
        s.recoverlines = recover;
        console_note(r, "Recovering from %d lines...\n", recover);
    } else {
        s.recoverlines = 0;
    }
}
