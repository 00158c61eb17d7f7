#include "command_line.h"

namespace tidepanel {

namespace {

QString quoted(const QString &text) { return u'"' + text + u'"'; }

}  // namespace

QString relay_program_name()
{
#ifdef Q_OS_WIN
    return QStringLiteral("tidecore.exe");
#else
    return QStringLiteral("tidecore");
#endif
}

QString build_command_line(const LauncherSettings &s, const QString &program)
{
    QString line = program + u' ';
    auto piece = [&line](const QString &text) { line += text + u' '; };

    if (!s.botPassword.isEmpty())
        piece("-b " + quoted(s.botPassword));
    if (!s.ircPort.isEmpty())
        piece("-p " + s.ircPort);
    if (!s.ircNick.isEmpty())
        piece("-n " + quoted(s.ircNick));
    if (!s.ircUser.isEmpty())
        piece("-u " + quoted(s.ircUser));
    if (s.killsEnable)
        piece("-s " + s.kills);
    if (s.playerStatsEnable)
        piece("-c");
    // Starting from the end of the log makes counting old lines pointless.
    if (s.restoreEnable && !s.goEOFEnable)
        piece("-r " + s.restore);
    if (!s.rtcwMapFile.isEmpty())
        piece("-x " + quoted(s.rtcwMapFile));
    if (!s.rtcwColorFile.isEmpty())
        piece("-y " + quoted(s.rtcwColorFile));
    if (!s.ircChannelKey.isEmpty())
        piece("-j " + quoted(s.ircChannelKey));
    if (!s.rtcwServer.isEmpty()) {
        piece("-w " + s.rtcwServer);
        piece("-d " + s.rtcwPort);
    }
    if (s.goEOFEnable)
        piece("-g");
    // The Q password piece starts with a blank of its own, so the two Q options are
    // separated by two blanks; harmless, as the line is split on runs of blanks.
    if (!s.qUser.isEmpty() && !s.qPass.isEmpty()) {
        piece("-e " + quoted(s.qUser));
        piece(" -f " + quoted(s.qPass));
    }
    if (!s.showPlayEnable)
        piece("-P");
    else if (!s.showFragsEnable)
        piece("-F");
    if (s.mode == LogMode::Server)
        piece("-v");
    if (s.messagesEnable)
        piece("-m");
    if (s.logLanguage == LogLanguage::German)
        piece("-l 1");
    if (s.ircLanguage == IrcLanguage::German)
        piece("-k 1");
    else if (s.ircLanguage == IrcLanguage::Dutch)
        piece("-k 2");
    if (s.useClientTimeEnable)
        piece("-z");
    if (s.waitEnable)
        piece("-a");
    if (s.ospEnable)
        piece("-o");
    if (s.quietEnable)
        piece("-q");
    if (s.debugLevel != 0)
        piece("-D " + QString::number(s.debugLevel));
    piece(s.ircServer);
    piece(quoted(s.ircChannel));
    piece(quoted(s.rtcwLogFile));
    return line;
}

}  // namespace tidepanel
