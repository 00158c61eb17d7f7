// Everything the Tidepanel form collects, as one plain record.
//
// The member initialisers are the form's built-in defaults, i.e. what a first run
// shows before anything was ever stored. Member names follow the form's control
// names (IrcServer -> ircServer, GoEOFEnable -> goEOFEnable, ...).
#pragma once

#include <QString>

namespace tidepanel {

// The IRC server offered when nothing is stored yet.
inline const QString kDefaultIrcServer = QStringLiteral("irc.quakenet.org");

enum class LogMode { Client, Server };         // ClientMode / ServerMode
enum class LogLanguage { English, German };    // EnglishEnable / GermanEnable
enum class IrcLanguage { English, German, Dutch };  // the three output buttons

struct LauncherSettings {
    // Text fields.
    QString ircServer = kDefaultIrcServer;
    QString ircPort = QStringLiteral("6667");
    QString ircChannel = QStringLiteral("#RTCWTidewatch");
    QString ircChannelKey;
    QString ircNick = QStringLiteral("SOF2Tidewatch");
    QString ircUser = QStringLiteral("Ferrobot");
    QString botPassword = QStringLiteral("KoVarn");
    QString qUser;
    QString qPass;
    QString rtcwLogFile = QStringLiteral("qconsole.log");
    QString rtcwMapFile = QStringLiteral("mapinfo_sof2.xml");
    QString rtcwColorFile = QStringLiteral("irccolors_sof2.cfg");
    QString rtcwServer;
    QString rtcwPort = QStringLiteral("20100");
    QString kills = QStringLiteral("0");
    QString restore = QStringLiteral("0");

    // Option buttons.
    LogMode mode = LogMode::Client;
    LogLanguage logLanguage = LogLanguage::English;
    IrcLanguage ircLanguage = IrcLanguage::English;

    // Check boxes.
    bool expertEnable = false;
    bool showPlayEnable = true;
    bool showFragsEnable = true;
    bool useClientTimeEnable = true;
    bool playerStatsEnable = true;
    bool killsEnable = true;
    bool restoreEnable = false;
    bool goEOFEnable = true;
    bool messagesEnable = false;
    bool ospEnable = true;
    bool waitEnable = false;
    bool quietEnable = false;
    bool teamEnable = false;     // remembered only; the relay is always in team mode
    bool deleteEnable = false;

    // Not a control: comes from the stored "Debug" value only, passed as -D.
    int debugLevel = 0;

    bool operator==(const LauncherSettings &) const = default;
};

}  // namespace tidepanel
