#include "store.h"

#include "checks.h"

#include <QStringList>

#include <algorithm>
#include <climits>

namespace tidepanel {

namespace {

const QString kOrganisation = QStringLiteral("Brackwater");
const QString kApplication = QStringLiteral("Tidepanel");
const QString kVersion = QStringLiteral("1.2");
const QString kEmpty = QStringLiteral("EMPTY");
const QString kTrue = QStringLiteral("True");
const QString kFalse = QStringLiteral("False");

// Versions whose values this launcher reads.
const QStringList kReadableVersions = {"0.99", "1.0", "1.1", "1.2"};
// Older versions whose stored version mark is brought up to date when saving.
const QStringList kOlderVersions = {"0.4", "0.6", "0.7", "0.8", "0.99", "1.0", "1.1"};

// Check boxes that count as checked only when "True" is stored.
struct Flag {
    const char *name;
    bool LauncherSettings::*member;
};
constexpr Flag kCheckedOnlyIfTrue[] = {
    {"ExpertMode", &LauncherSettings::expertEnable},
    {"Messages", &LauncherSettings::messagesEnable},
    {"Quiet", &LauncherSettings::quietEnable},
    {"OSP", &LauncherSettings::ospEnable},
    {"TeamMode", &LauncherSettings::teamEnable},
    {"Delete", &LauncherSettings::deleteEnable},
    {"RestoreMode", &LauncherSettings::restoreEnable},
    {"StatsMode", &LauncherSettings::killsEnable},
};
// Check boxes that stay checked unless something other than "True" is stored.
constexpr Flag kCheckedUnlessFalse[] = {
    {"Wait", &LauncherSettings::waitEnable},
    {"GoEOFMode", &LauncherSettings::goEOFEnable},
    {"UseClientTime", &LauncherSettings::useClientTimeEnable},
    {"ShowKillDeath", &LauncherSettings::playerStatsEnable},
    {"ShowPlay", &LauncherSettings::showPlayEnable},
    {"ShowFrags", &LauncherSettings::showFragsEnable},
};

struct Text {
    const char *name;
    QString LauncherSettings::*member;
};
constexpr Text kTexts[] = {
    {"IRCServer", &LauncherSettings::ircServer},
    {"IRCPort", &LauncherSettings::ircPort},
    {"IRCChannel", &LauncherSettings::ircChannel},
    {"IRCChannelKey", &LauncherSettings::ircChannelKey},
    {"IRCNick", &LauncherSettings::ircNick},
    {"IRCUser", &LauncherSettings::ircUser},
    {"BotPassWord", &LauncherSettings::botPassword},
    {"QuakenetUser", &LauncherSettings::qUser},
    {"QuakenetPass", &LauncherSettings::qPass},
    {"Logfile", &LauncherSettings::rtcwLogFile},
    {"Mapfile", &LauncherSettings::rtcwMapFile},
    {"Colorfile", &LauncherSettings::rtcwColorFile},
    {"Server", &LauncherSettings::rtcwServer},
    {"Port", &LauncherSettings::rtcwPort},
    {"Stats", &LauncherSettings::kills},
    {"Restore", &LauncherSettings::restore},
};

QString read(QSettings &store, const char *name)
{
    return store.value(QLatin1String(name)).toString();
}

bool holds_text(const QString &value) { return !value.isEmpty() && value != kEmpty; }

const QString &flag_text(bool on) { return on ? kTrue : kFalse; }

}  // namespace

std::unique_ptr<QSettings> open_settings_store()
{
    auto store = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::SystemScope,
                                             kOrganisation, kApplication);
    if (!store->isWritable())
        store = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            kOrganisation, kApplication);
    return store;
}

bool load_settings(QSettings &store, LauncherSettings &s)
{
    const QString version = store.value(QStringLiteral("Version")).toString();
    if (!kReadableVersions.contains(version))
        return false;
    if (version != kVersion)
        store.setValue(QStringLiteral("Version"), kVersion);

    for (const Flag &f : kCheckedOnlyIfTrue)
        s.*f.member = read(store, f.name) == kTrue;
    for (const Flag &f : kCheckedUnlessFalse) {
        const QString v = read(store, f.name);
        s.*f.member = v.isEmpty() || v == kTrue;
    }

    s.mode = read(store, "ServerMode") == kTrue ? LogMode::Server : LogMode::Client;

    const QString in = read(store, "InputLanguage");
    if (in == u"1")
        s.logLanguage = LogLanguage::German;
    else if (in == u"0")
        s.logLanguage = LogLanguage::English;

    const QString out = read(store, "OutputLanguage");
    if (out == u"1")
        s.ircLanguage = IrcLanguage::German;
    else if (out == u"2")
        s.ircLanguage = IrcLanguage::Dutch;
    else if (out == u"0")
        s.ircLanguage = IrcLanguage::English;

    for (const Text &t : kTexts) {
        const QString v = read(store, t.name);
        if (holds_text(v))
            s.*t.member = v;
    }

    const QString debug = read(store, "Debug");
    if (holds_text(debug))
        s.debugLevel = static_cast<int>(std::clamp<long long>(integer_value(debug), INT_MIN, INT_MAX));

    // An old launcher wrote the Q user under a misspelt name; clear that leftover.
    if (read(store, "QuakenerUser") == kEmpty)
        store.remove(QStringLiteral("QuakenerUser"));
    return true;
}

bool save_settings(QSettings &store, const LauncherSettings &s)
{
    const QString version = store.value(QStringLiteral("Version")).toString();
    if (version.isEmpty() || kOlderVersions.contains(version))
        store.setValue(QStringLiteral("Version"), kVersion);

    for (const Flag &f : kCheckedOnlyIfTrue)
        store.setValue(QLatin1String(f.name), flag_text(s.*f.member));
    for (const Flag &f : kCheckedUnlessFalse)
        store.setValue(QLatin1String(f.name), flag_text(s.*f.member));

    store.setValue(QStringLiteral("ClientMode"), flag_text(s.mode == LogMode::Client));
    store.setValue(QStringLiteral("ServerMode"), flag_text(s.mode == LogMode::Server));
    store.setValue(QStringLiteral("InputLanguage"),
                   s.logLanguage == LogLanguage::German ? QStringLiteral("1") : QStringLiteral("0"));
    const char *out = s.ircLanguage == IrcLanguage::German  ? "1"
                      : s.ircLanguage == IrcLanguage::Dutch ? "2"
                                                            : "0";
    store.setValue(QStringLiteral("OutputLanguage"), QString::fromLatin1(out));

    for (const Text &t : kTexts) {
        const QString &v = s.*t.member;
        store.setValue(QLatin1String(t.name), v.isEmpty() ? kEmpty : v);
    }
    store.sync();
    return store.status() == QSettings::NoError;
}

}  // namespace tidepanel
