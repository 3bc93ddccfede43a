#pragma once

#include "cli/CommandLine.h"

#include <QString>
#include <optional>

namespace garrison::cli {

// Where garrison-rcon takes the password from, first match wins: --password-file, --password,
// the environment (GARRISON_RCON_PASSWORD, or GARRISON_DAEMON_PASSWORD for a daemon login), the
// profile (the keyring or the settings file), a prompt without echo on a terminal.
class PasswordSource {
public:
    static inline const char* const kEnvironmentVariable = "GARRISON_RCON_PASSWORD";
    static inline const char* const kDaemonVariable = "GARRISON_DAEMON_PASSWORD";
    enum class Kind { Rcon, Daemon };

    struct Result {
        std::optional<QString> password;
        QString error;
        int exitCode = kReplyReceived; // with error
    };

    // profilePassword: the profile's RCON password, empty when there is none.
    static Result resolve(const Request& request, const QString& profilePassword,
                          Kind kind = Kind::Rcon);

    // The first line of the file, which must be a regular file that neither its group nor
    // others may read or write.
    static Result readFile(const QString& path);
};

} // namespace garrison::cli
