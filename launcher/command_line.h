// The command line with which the launcher starts the relay.
#pragma once

#include "settings.h"

#include <QString>

namespace tidepanel {

// Name of the relay program as the command line names it ("tidecore.exe" on
// Windows, "tidecore" elsewhere).
QString relay_program_name();

// Builds the whole command line, piece by piece in the relay's expected order.
// Every piece ends with one blank, so the line ends with one too. Texts that may
// hold blanks are put in double quotes. Expects settings that passed the checks.
QString build_command_line(const LauncherSettings &s, const QString &program = relay_program_name());

}  // namespace tidepanel
