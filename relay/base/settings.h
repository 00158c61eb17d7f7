// The relay's settings: every switch and value, with the defaults a run starts from.
#pragma once

#include <optional>
#include <string>

// A text setting that may be unset, which is not the same as empty.
using Text = std::optional<std::string>;

// The text as a C string, or null when unset.
inline const char* cstr(const Text& t)
{
    return t ? t->c_str() : nullptr;
}

inline constexpr const char* kGameName = "SOF2";
inline constexpr const char* kBanner = "Quillon's SOF2 Tidewatch v1.2 ";
inline constexpr const char* kBannerColour = "1,15";

struct BotSettings {
    // Connection and files
    Text irchost;
    Text ircport = std::string("6667");
    Text channel;
    Text channelkey;
    Text nick = std::string("SOF2Tidewatch");
    Text bounceruser = std::string("Ferrobot");
    Text bouncerpass = std::string("zuzu");
    int bouncer = 0;
    Text qnick;
    Text qpass;
    Text botpass;
    Text serverhost;
    Text serverport = std::string("27960");
    Text logfile;
    Text mapfile = std::string("mapinfo_sof2.xml");
    Text colorfile = std::string("irccolors_sof2.cfg");

    // Start-up behaviour
    long long fromend = 0;
    int recoverlines = 0;
    Text recoverlines_text;
    int quietmode = 0;
    int nicemode = 0;
    int debuglevel = 0;
    int servermode = 0;

    // Reporting
    int langout = 0;
    int langin = 0;
    int showfrags = 1;
    int showplay = 1;
    int playerstats = 0;
    int messages = 1; // stored inverted: 1 while chat relaying is off
    int teammode = 1;
    int useclantags = 0;
    int osp = 0;
    int etsupport = 0;
    int ospfight = 0;
    int ospshow = 3;
    int ospshowobjective = 0;
    int ospshowdyna = 0;
    int ospshowrevives = 0;
    int ospshowrepairs = 0;
    int statsafter = 80;
    Text statsafter_text = std::string("80");
    int showstatsafter = 14;
    int weaponstats = 0;
    int showconnectinfo = 0;
    int usetime = 0;
    int timedirection = 1;
    int silent = 0;
    int floodprotect = 0;
    int byterate = 3072;
    int waitmillisecs = 2150;

    // IRC connection security, set in the colour file only: TLS (with a pinned
    // SHA-256 certificate fingerprint for a self-signed server) and SASL PLAIN.
    int tls = 0;
    Text tlsfingerprint;
    Text saslaccount;
    Text saslpass;
    // Text that is not UTF-8 already goes out converted from Latin-1 to UTF-8
    // (colour file key charset=utf-8); a server that says UTF8ONLY asks the same.
    int charsetutf8 = 0;
    // Report lines also go to this Discord webhook (a secret, like the
    // passwords), as an ansi block or, with discordplain, as plain text.
    Text discordwebhook;
    int discordplain = 0;
    // The live status files (status.json, index.html, metrics.prom) go here.
    Text statusdir;
    Text statsdb; // all-time statistics database (SQLite file)

    // Marks: the setting was given on the command line (the colour file read at
    // start then leaves it alone once).
    int bouncer_cmdline = 0;
    int botpass_cmdline = 0;
    int bouncerpass_cmdline = 0;
    int bounceruser_cmdline = 0;
    int etsupport_cmdline = 0;
    int floodprotect_cmdline = 0;
    int usetime_cmdline = 0;
    int playerstats_cmdline = 0;
    int useclantags_cmdline = 0;
};
