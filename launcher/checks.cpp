#include "checks.h"

#include <QStringList>

#include <limits>

namespace tidepanel {

namespace {

constexpr long long kHighestPort = 65535;

bool is_space(QChar c) { return c.isSpace(); }

// A text that goes onto the command line without quotes must stay one word.
bool fits_unquoted(const QString &text)
{
    const QString t = text.trimmed();
    for (QChar c : t)
        if (is_space(c) || c == u'"')
            return false;
    return true;
}

bool fits_quoted(const QString &text) { return !text.contains(u'"'); }

// Blanks around the port vanish when the line is split; what is left must be plain
// digits, at most five of them, as the relay reads a port.
bool valid_port(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 5)
        return false;
    for (QChar c : t)
        if (c < u'0' || c > u'9')
            return false;
    const long long v = integer_value(t);
    return v >= 1 && v <= kHighestPort;
}

bool has_space(const QString &text)
{
    for (QChar c : text)
        if (is_space(c))
            return true;
    return false;
}

// Filled in, but with nothing except blanks.
bool blank(const QString &text) { return !text.isEmpty() && text.trimmed().isEmpty(); }

// One channel name or several, separated by commas, each with its prefix and at
// least one more character, and no blanks or bells anywhere.
bool valid_channel_list(const QString &text)
{
    if (has_space(text) || text.contains(u'\a'))
        return false;
    const QStringList names = text.split(u',');
    for (const QString &name : names)
        if (name.size() < 2 || !QStringLiteral("#&+!").contains(name[0]))
            return false;
    return true;
}

// A nick is one word without , ! @ and does not start with # or :.
bool valid_nick(const QString &text)
{
    if (text.isEmpty() || has_space(text) || text.startsWith(u'#') || text.startsWith(u':'))
        return false;
    for (QChar c : text)
        if (c == u',' || c == u'!' || c == u'@')
            return false;
    return true;
}

}  // namespace

long long integer_value(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && is_space(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long value = 0;
    constexpr long long cap = std::numeric_limits<long long>::max() / 10 - 10;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        if (value < cap)
            value = value * 10 + (text[i].unicode() - u'0');
        ++i;
    }
    return negative ? -value : value;
}

bool is_numeric(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        ++i;
    if (i == t.size())
        return false;
    for (; i < t.size(); ++i)
        if (t[i] < u'0' || t[i] > u'9')
            return false;
    return true;
}

CheckOutcome check_settings(const LauncherSettings &s)
{
    if (s.ircServer.trimmed().isEmpty())
        return {QStringLiteral("You did not choose an IRC Server!")};
    if (!valid_port(s.ircPort))
        return {QStringLiteral("You did not choose valid IRC server port!")};
    if (s.killsEnable) {
        const long long frags = integer_value(s.kills);
        if (frags != 0 && frags < 20)
            return {QStringLiteral("The number of frags before showing the player stats should be at least 20!"),
                    true};
        if (s.kills.trimmed().isEmpty())
            return {QStringLiteral("You did not enter the number of frags!")};
    }
    if (s.ircChannel.trimmed().isEmpty())
        return {QStringLiteral("You did not choose an IRC Channel!")};
    if (!s.ircChannel.startsWith(u'#'))
        return {QStringLiteral("IRC Channel has to start with '#'!")};
    if (!valid_channel_list(s.ircChannel))
        return {QStringLiteral("The IRC Channel must be channel names like #name, separated by commas, without blanks!")};
    if (!s.rtcwServer.isEmpty() && !valid_port(s.rtcwPort))
        return {QStringLiteral("You did not choose valid RTCW server port!")};
    if (s.rtcwLogFile.trimmed().isEmpty())
        return {QStringLiteral("You did not choose valid RTCW Logfile!")};
    if (s.restoreEnable && (!is_numeric(s.restore) || integer_value(s.restore) < 1))
        return {QStringLiteral("You did not enter a valid number of lines!")};

    // The relay receives its settings as separate words of one command line. A double
    // quote inside a quoted text, or a blank inside an unquoted one, would cut a value
    // apart and shift every later argument, so such texts are refused here.
    struct Quoted {
        bool used;
        const QString &text;
        const char *name;
    };
    const Quoted quoted[] = {
        {true, s.botPassword, "The Bot Password"},
        {true, s.ircNick, "The IRC Nick"},
        {true, s.ircUser, "The IRC User"},
        {true, s.rtcwMapFile, "The Mapfile"},
        {true, s.rtcwColorFile, "The Colorfile"},
        {true, s.ircChannelKey, "The IRC Channel Key"},
        {!s.qUser.isEmpty() && !s.qPass.isEmpty(), s.qUser, "The Quakenet User"},
        {!s.qUser.isEmpty() && !s.qPass.isEmpty(), s.qPass, "The Quakenet Password"},
        {true, s.ircChannel, "The IRC Channel"},
        {true, s.rtcwLogFile, "The Logfile"},
    };
    for (const Quoted &q : quoted) {
        if (q.used && !fits_quoted(q.text))
            return {QString::fromLatin1(q.name) + QStringLiteral(" must not contain a double quote!")};
        if (q.used && blank(q.text))
            return {QString::fromLatin1(q.name) + QStringLiteral(" must not be blank!")};
    }
    const Quoted unquoted[] = {
        {true, s.ircServer, "The IRC Server"},
        {true, s.rtcwServer, "The RTCW Server"},
        {s.killsEnable, s.kills, "The number of frags"},
    };
    for (const Quoted &q : unquoted) {
        if (q.used && !fits_unquoted(q.text))
            return {QString::fromLatin1(q.name) + QStringLiteral(" must not contain blanks or double quotes!")};
        if (q.used && blank(q.text))
            return {QString::fromLatin1(q.name) + QStringLiteral(" must not be blank!")};
    }

    // Texts the relay itself refuses, so it would end as soon as it started.
    if (!s.ircNick.isEmpty() && !valid_nick(s.ircNick))
        return {QStringLiteral("The IRC Nick must be one word without , ! @ and must not start with # or :!")};
    if (has_space(s.ircChannelKey))
        return {QStringLiteral("The IRC Channel Key must not contain blanks!")};
    if (has_space(s.ircUser))
        return {QStringLiteral("The IRC User must not contain blanks!")};
    return {};
}

}  // namespace tidepanel
