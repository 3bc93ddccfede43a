#pragma once

#include <QStringList>

namespace garrisond {

// The files that hold secrets (the configuration with the RCON password, the accounts, the
// audit log with echoed commands) must be readable by their owner only. Checked at start.
class SecretFiles {
public:
    // Every existing file of `paths` that others may read or write is made 0600 when this
    // process owns it; otherwise it is left alone. One line per fix and per problem.
    static QStringList secure(const QStringList& paths);
};

} // namespace garrisond
