#include "process_starter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tidepanel {

QString locate_relay(const QString &program)
{
    const QFileInfo beside(QDir(QCoreApplication::applicationDirPath()).filePath(program));
    if (beside.isFile() && beside.isExecutable())
        return beside.absoluteFilePath();
    return QStandardPaths::findExecutable(program);
}

QString new_console_log_path(const QString &dir)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QDir d(dir);
    QString path = d.filePath(QStringLiteral("tidecore-%1.log").arg(stamp));
    // Several relays may be started within one second; each gets its own file.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = d.filePath(QStringLiteral("tidecore-%1-%2.log").arg(stamp).arg(n));
    return path;
}

StartOutcome start_relay_detached(const QString &commandLine)
{
    StartOutcome out;
    QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty()) {
        out.error = QStringLiteral("The command line is empty.");
        return out;
    }
    const QString program = words.takeFirst();
    const QString path = locate_relay(program);
    if (path.isEmpty()) {
        out.error = QStringLiteral("%1 was found neither next to Tidepanel nor on the PATH.").arg(program);
        return out;
    }

    QProcess process;
    process.setProgram(path);
    process.setWorkingDirectory(QDir::currentPath());
#ifdef Q_OS_WIN
    // Hand the relay its arguments exactly as built, quotes included.
    const QString rest = commandLine.mid(commandLine.indexOf(program) + program.size());
    process.setNativeArguments(rest);
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments *args) {
        args->flags &= ~static_cast<DWORD>(CREATE_NO_WINDOW);
        args->flags |= CREATE_NEW_CONSOLE;
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = SW_SHOWMINNOACTIVE;
    });
#else
    process.setArguments(words);
    const QString logDir = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (logDir.isEmpty() || !QDir().mkpath(logDir)) {
        out.error = QStringLiteral("The folder for the relay's console log could not be created.");
        return out;
    }
    out.consoleLog = new_console_log_path(logDir);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(out.consoleLog, QIODevice::Append);
    process.setStandardErrorFile(out.consoleLog, QIODevice::Append);
#endif
    if (!process.startDetached()) {
        out.error = process.errorString();
        out.consoleLog.clear();
        return out;
    }
    out.started = true;
    return out;
}

}  // namespace tidepanel
