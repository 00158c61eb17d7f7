// Remembering the form's settings between runs.
//
// Values live under organisation "Brackwater", application "Tidepanel": on Windows
// the registry key Software\Brackwater\Tidepanel of HKEY_LOCAL_MACHINE, elsewhere
// Qt's INI file in system scope. Where the system store cannot be written (no
// administrator rights) the per-user store is used instead; it still falls back to
// the system values for reading.
#pragma once

#include "settings.h"

#include <QSettings>
#include <memory>

namespace tidepanel {

std::unique_ptr<QSettings> open_settings_store();

// Applies what is stored to `s` (which holds the form's current, usually built-in,
// values). Returns false when the stored version is not one this launcher reads
// (first run): then `s` is left alone.
bool load_settings(QSettings &store, LauncherSettings &s);

// Writes every value (never "Debug"). Returns false when the store reports an error.
bool save_settings(QSettings &store, const LauncherSettings &s);

}  // namespace tidepanel
