// Starting the relay as a separate process that lives on after the launcher.
#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace tidepanel {

struct StartOutcome {
    bool started = false;
    QString consoleLog;  // where the relay's console output goes (empty: its own window)
    QString error;       // why it did not start
    // The relay's exit code once it has ended, nothing while it runs. Empty when
    // the relay cannot be watched (on Windows it runs in a console of its own).
    std::function<std::optional<int>()> exitCode;
};

// The form starts the relay through this, so tests can capture the command line.
using ProcessStarter = std::function<StartOutcome(const QString &commandLine)>;

// Finds the relay program: next to the launcher's own executable, else on PATH.
// Empty when there is none.
QString locate_relay(const QString &program);

// A new, not yet existing file for one relay's console output, in `dir`.
QString new_console_log_path(const QString &dir);

// Starts the command line detached: the relay lives on when the launcher ends.
// On Windows the line goes to the new process as it stands and its console window
// opens minimised without taking the focus. Elsewhere the line is split into words
// (double quotes group words, as on Windows) and the relay's console output goes
// to a log file in the launcher's data folder.
StartOutcome start_relay_detached(const QString &commandLine);

}  // namespace tidepanel
