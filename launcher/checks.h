// The checks the Start button makes before it starts the relay.
#pragma once

#include "settings.h"

#include <QString>

namespace tidepanel {

// Integer value of a text as the relay reads its numeric options: optional leading
// white space, an optional sign, then decimal digits up to the first other
// character; no digits gives 0. Saturates instead of overflowing.
long long integer_value(const QString &text);

// A whole number and nothing else (surrounding white space allowed).
bool is_numeric(const QString &text);

struct CheckOutcome {
    QString message;            // empty: everything is fine
    bool killsCorrected = false;  // the frag count must be set to "20" in the form

    bool ok() const { return message.isEmpty(); }
};

// Runs the checks in their fixed order and reports the first one that fails.
CheckOutcome check_settings(const LauncherSettings &s);

}  // namespace tidepanel
