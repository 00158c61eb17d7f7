#include "relay/config/colours.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "relay/relay.h"
#include "relay/base/text.h"

namespace {

// Characters of a line that are read; the rest of a longer line is dropped.
constexpr std::size_t kReadChars = 1022;
constexpr int kMaxWaitMillisecs = 60000;
constexpr int kNone = -1;

struct ColourName {
    const char* name;
    int number;
};

constexpr ColourName kColourNames[] = {
    {"white", 0},  {"black", 1},     {"blue", 2},       {"green", 3},
    {"lightred", 4}, {"brown", 5},   {"purple", 6},     {"orange", 7},
    {"yellow", 8}, {"lightgreen", 9}, {"cyan", 10},     {"lightcyan", 11},
    {"lightblue", 12}, {"pink", 13}, {"grey", 14},      {"lightgrey", 15},
};

// The mIRC number of a colour name, or kNone.
int colour_number(const char* name)
{
    for (const ColourName& c : kColourNames)
        if (safe_stricmp(c.name, name) == 0)
            return c.number;
    return kNone;
}

struct StyleSlot {
    const char* name;
    std::string ColourStyles::*text;
};

constexpr StyleSlot kSlots[] = {
    {"default", &ColourStyles::default_},
    {"teamkill", &ColourStyles::teamkill},
    {"objective", &ColourStyles::objective},
    {"playerstats", &ColourStyles::playerstats},
    {"mapend", &ColourStyles::mapend},
    {"mapstart", &ColourStyles::mapstart},
    {"mapinfo", &ColourStyles::mapinfo},
    {"gameend", &ColourStyles::gameend},
    {"gamescorehead", &ColourStyles::gamescorehead},
    {"gamescore", &ColourStyles::gamescore},
    {"botinfo", &ColourStyles::botinfo},
    {"playercmd", &ColourStyles::playercmd},
    {"fraglimit", &ColourStyles::fraglimit},
    {"udpinfo", &ColourStyles::udpinfo},
    {"udpscore", &ColourStyles::udpscore},
};

const StyleSlot* find_slot(const char* name)
{
    for (const StyleSlot& s : kSlots)
        if (safe_stricmp(s.name, name) == 0)
            return &s;
    return nullptr;
}

// The state of one reading: the open section and the style values, which carry
// over from one section to the next.
struct Reading {
    bool open = false;
    std::string section;
    int fg = kNone;
    int bg = kNone;
    int style = 0;
};

// The style characters of the bits, in the order underline, bold, reverse.
void append_style_chars(Relay& r, int style, std::string& code)
{
    if (style & 4) {
        code += kUnderline;
        trace(r, 11, "code underline\r\n");
    }
    if (style & 1) {
        code += kBold;
        trace(r, 11, "code bold\r\n");
    }
    if (style & 2) {
        code += kReverse;
        trace(r, 11, "code reverse\r\n");
    }
}

void close_section(Relay& r, Reading& rd)
{
    if (!rd.open || rd.fg == kNone)
        return;
    char colours[16];
    if (rd.bg != kNone)
        std::snprintf(colours, sizeof colours, "%d,%d", rd.fg, rd.bg);
    else
        std::snprintf(colours, sizeof colours, "%d", rd.fg);
    std::string code = colours;
    append_style_chars(r, rd.style, code);
    trace(r, 11, "Colorcode[%s] [%d] [%d] [%d]\r\n", code.c_str(), rd.fg, rd.bg, rd.style);
    if (const StyleSlot* slot = find_slot(rd.section.c_str())) {
        r.colours.*(slot->text) = code;
        trace(r, 11, "code=%s/col=[%d]%s\r\n", rd.section.c_str(), static_cast<int>(code.size()),
              code.c_str());
    }
}

// The command line wins over the colour file once: the first time the key is
// met its mark is cleared and the key ignored.
bool command_line_wins(int* mark)
{
    if (mark && *mark) {
        *mark = 0;
        return true;
    }
    return false;
}

// Applies a colour-name value with a fallback for unknown names; false when the
// name was unknown.
bool set_colour(int& field, const char* value, int fallback)
{
    int n = colour_number(value);
    field = n == kNone ? fallback : n;
    return n != kNone;
}

// One key of the general section. The result is false when the line did not
// mean anything (unknown key or colour name).
bool general_key(Relay& r, const std::string& key, const char* value)
{
    BotSettings& s = r.settings;
    ColourStyles& c = r.colours;
    int n = leading_int(value);

    // Settings the command line can fix: the first occurrence after the option
    // was given leaves the setting alone.
    if (key == "botpass") {
        if (!command_line_wins(&s.botpass_cmdline))
            s.botpass = value;
    } else if (key == "etsupport") {
        if (!command_line_wins(&s.etsupport_cmdline))
            s.etsupport = n >= 1 ? 1 : 0;
    } else if (key == "bouncer") {
        if (!command_line_wins(&s.bouncer_cmdline))
            s.bouncer = n;
    } else if (key == "bounceruser") {
        if (!command_line_wins(&s.bounceruser_cmdline))
            s.bounceruser = value;
    } else if (key == "bouncerpass") {
        if (!command_line_wins(&s.bouncerpass_cmdline))
            s.bouncerpass = value;
    } else if (key == "showplayerstats") {
        if (!command_line_wins(&s.playerstats_cmdline))
            s.playerstats = n != 0 ? 1 : 0;
    } else if (key == "floodprotect") {
        if (!command_line_wins(&s.floodprotect_cmdline))
            s.floodprotect = n;
    } else if (key == "usetime") {
        // The server keeps its own clock in server mode.
        if (!s.servermode && !command_line_wins(&s.usetime_cmdline))
            s.usetime = n != 0 ? 1 : 0;
    } else if (key == "useclantags") {
        if (!command_line_wins(&s.useclantags_cmdline))
            s.useclantags = n >= 1 ? 1 : 0;
    }
    // Settings only the file sets.
    else if (key == "showconnectinfo") {
        s.showconnectinfo = n < 0 ? 0 : n;
    } else if (key == "showweaponstats") {
        s.weaponstats = n != 0 ? 1 : 0;
    } else if (key == "showstatsafter") {
        s.showstatsafter = n;
    } else if (key == "byterate") {
        s.byterate = n;
    } else if (key == "waitmillisecs") {
        // Between one second and one minute: a huge value would have the relay sleep
        // for weeks after its first line.
        s.waitmillisecs = n < 1000 ? 1000 : n > kMaxWaitMillisecs ? kMaxWaitMillisecs : n;
    } else if (key == "redteamname") {
        r.teams.redteamname = value;
    } else if (key == "blueteamname") {
        r.teams.blueteamname = value;
    } else if (key == "redclantag") {
        r.teams.redclantag = value;
    } else if (key == "blueclantag") {
        r.teams.blueclantag = value;
    } else if (key == "playerstyle") {
        c.playerstyle.clear();
        if (n != 0)
            append_style_chars(r, n, c.playerstyle);
    } else if (key == "playercolor") {
        return set_colour(c.playercolor, value, kNone);
    } else if (key == "specteamcolor") {
        return set_colour(c.specteamcolor, value, 1);
    } else if (key == "redteamcolor") {
        return set_colour(c.redteamcolor, value, 4);
    } else if (key == "blueteamcolor") {
        return set_colour(c.blueteamcolor, value, 11);
    } else if (key == "unknownteamcolor") {
        return set_colour(c.unknownteamcolor, value, 0);
    }
    // The IRC connection's security; it takes effect at the next connection.
    else if (key == "tls") {
        s.tls = n != 0 ? 1 : 0;
    } else if (key == "tlsfingerprint") {
        s.tlsfingerprint = value;
    } else if (key == "saslaccount") {
        s.saslaccount = value;
    } else if (key == "saslpass") {
        s.saslpass = value;
    } else if (key == "discordwebhook") {
        // The address is a secret: it is never printed, not even when refused.
        if (!discord_webhook_allowed(value)) {
            console_printf(r, "discordwebhook is not an https:// address (http:// only to this machine): "
                              "reports do not go to Discord.\n");
            return false;
        }
        s.discordwebhook = std::string(value);
    } else if (key == "statusdir") {
        s.statusdir = std::string(value);
    } else if (key == "statsdb") {
        if (value[0])
            s.statsdb = std::string(value);
        else
            s.statsdb.reset();
    } else if (key == "discordformat") {
        if (safe_stricmp(value, "plain") == 0)
            s.discordplain = 1;
        else if (safe_stricmp(value, "ansi") == 0)
            s.discordplain = 0;
        else
            return false;
    } else if (key == "charset") {
        // What goes on the wire: UTF-8, or the bytes as they are (Latin-1).
        if (safe_stricmp(value, "utf-8") == 0 || safe_stricmp(value, "utf8") == 0)
            s.charsetutf8 = 1;
        else if (safe_stricmp(value, "latin-1") == 0 || safe_stricmp(value, "latin1") == 0 ||
                 safe_stricmp(value, "iso-8859-1") == 0)
            s.charsetutf8 = 0;
        else
            return false;
    } else {
        return false;
    }
    return true;
}

// Handles one line (already cut at its line end). False when the line was ignored.
bool colour_line(Relay& r, Reading& rd, const std::string& line)
{
    if (line.empty() || line[0] == '#')
        return true;

    if (line[0] == '[') {
        close_section(r, rd);
        std::size_t end = line.find_first_of("\r\n\t ]", 1);
        std::string name = line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
        if (name.empty())
            return rd.open; // the open section carries on under its old name
        rd.open = true;
        rd.section = name;
        trace(r, 11, "Currentcol[%s]\r\n", rd.section.c_str());
        return find_slot(name.c_str()) || safe_stricmp(name.c_str(), "general") == 0;
    }

    std::size_t eq = line.find('=');
    if (!rd.open || eq == std::string::npos || eq == 0 || eq + 1 == line.size())
        return false;
    std::string key = line.substr(0, eq);
    const char* value = line.c_str() + eq + 1;

    if (key == "fg")
        return (rd.fg = colour_number(value)) != kNone;
    if (key == "bg")
        return (rd.bg = colour_number(value)) != kNone;
    if (key == "style") {
        rd.style = leading_int(value) & 7;
        return true;
    }
    if (safe_stricmp(rd.section.c_str(), "general") != 0)
        return false;
    return general_key(r, key, value);
}

} // namespace

void load_colours(Relay& r, const char* filename)
{
    std::string content;
    if (!filename || !r.platform->read_file(filename, content)) {
        trace(r, 11, "Cannot find %s colorinfo file...\r\n", filename ? filename : "");
        return;
    }

    r.colours.ignoredlines = 0;
    ++r.colours.loads;
    // Keys that only the colour file sets start from nothing at each reading:
    // a webhook taken out of the file is no longer used.
    r.settings.discordwebhook.reset();
    r.settings.discordplain = 0;
    r.settings.statusdir.reset();
    r.settings.statsdb.reset();
    Reading rd;
    std::size_t pos = 0;
    while (pos < content.size()) {
        // One line, however long: its tail beyond kReadChars characters is dropped
        // rather than read as a line of its own (a long comment ending in a key
        // would otherwise change a setting).
        std::size_t lf = content.find('\n', pos);
        std::size_t whole = (lf == std::string::npos ? content.size() : lf + 1) - pos;
        std::string_view piece(content.data() + pos, whole < kReadChars ? whole : kReadChars);
        pos += whole;
        // The line ends at its first carriage return or line feed (or a NUL byte,
        // which ends the text as read).
        std::size_t end = piece.find_first_of(std::string_view("\r\n\0", 3));
        std::string line(piece.substr(0, end));
        if (!colour_line(r, rd, line))
            ++r.colours.ignoredlines;
    }
    close_section(r, rd);
}
