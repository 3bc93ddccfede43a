#pragma once

#include <QString>
#include <optional>

namespace garrison {

// The requests a daemon session sends over the daemon link.
class DaemonRequests {
public:
    struct Failure {
        int number = 0;
        QString description;
    };
    virtual ~DaemonRequests() = default;
    // Sends one message; a link that cannot take it reports why.
    virtual std::optional<Failure> sendRequest(const QString& message) = 0;
    // The daemon's next message is the server log.
    virtual void armLog() = 0;
};

} // namespace garrison
