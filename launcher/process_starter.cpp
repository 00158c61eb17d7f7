#include "process_starter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
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

#ifndef Q_OS_WIN
namespace {

// Starts the relay as a child in a session of its own, its output appended to the
// console log. The launcher stays its parent, so it can learn how the relay ended;
// when the launcher ends first, the relay simply lives on. Returns the process id,
// or -1 with errno set.
pid_t spawn(const QString &path, const QStringList &args, const QString &consoleLog)
{
    // Everything the child needs is prepared here: after fork only plain system
    // calls are safe.
    std::vector<QByteArray> words{QFile::encodeName(path)};
    for (const QString &a : args)
        words.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    const QByteArray log = QFile::encodeName(consoleLog);

    int report[2];  // the child writes errno here when it cannot start the relay
    if (pipe2(report, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(log.constData(), O_WRONLY | O_CREAT | O_APPEND, 0666);
        if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0) {
            const int e = errno;
            (void)!write(report[1], &e, sizeof e);
            _exit(127);
        }
        execv(argv[0], argv.data());
        const int e = errno;
        (void)!write(report[1], &e, sizeof e);
        _exit(127);
    }
    close(report[1]);
    if (pid < 0) {
        close(report[0]);
        return -1;
    }
    int childErrno = 0;
    ssize_t got;
    do
        got = read(report[0], &childErrno, sizeof childErrno);
    while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == sizeof childErrno) {
        waitpid(pid, nullptr, 0);
        errno = childErrno;
        return -1;
    }
    return pid;
}

}  // namespace
#endif

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

#ifdef Q_OS_WIN
    QProcess process;
    process.setProgram(path);
    process.setWorkingDirectory(QDir::currentPath());
    // Hand the relay its arguments exactly as built, quotes included.
    const QString rest = commandLine.mid(commandLine.indexOf(program) + program.size());
    process.setNativeArguments(rest);
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments *args) {
        args->flags &= ~static_cast<DWORD>(CREATE_NO_WINDOW);
        args->flags |= CREATE_NEW_CONSOLE;
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = SW_SHOWMINNOACTIVE;
    });
    if (!process.startDetached()) {
        out.error = process.errorString();
        return out;
    }
    out.started = true;
    return out;
#else
    const QString logDir = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (logDir.isEmpty() || !QDir().mkpath(logDir)) {
        out.error = QStringLiteral("The folder for the relay's console log could not be created.");
        return out;
    }
    out.consoleLog = new_console_log_path(logDir);
    const pid_t pid = spawn(path, words, out.consoleLog);
    if (pid < 0) {
        out.error = QString::fromLocal8Bit(strerror(errno));
        out.consoleLog.clear();
        return out;
    }
    auto ended = std::make_shared<std::optional<int>>();
    out.exitCode = [pid, ended]() -> std::optional<int> {
        int status = 0;
        if (!*ended && waitpid(pid, &status, WNOHANG) == pid)
            *ended = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return *ended;
    };
    out.started = true;
    return out;
#endif
}

}  // namespace tidepanel
