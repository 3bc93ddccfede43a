#pragma once

#include <QString>

namespace garrison {

// In a daemon session every console command is reported to the daemon as well. The link
// prefixes the user name ("user - command").
class DaemonEcho {
public:
    virtual ~DaemonEcho() = default;
    virtual void echoCommand(const QString& command) = 0;
};

} // namespace garrison
