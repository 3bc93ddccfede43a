#pragma once

#include "cli/CommandLine.h"

#include <QString>
#include <optional>

namespace garrison::cli {

// Where garrison-rcon takes the RCON password from, first match wins: --password-file,
// --password, GARRISON_RCON_PASSWORD, the profile, a prompt without echo on a terminal.
class PasswordSource {
public:
    static inline const char* const kEnvironmentVariable = "GARRISON_RCON_PASSWORD";

    struct Result {
        std::optional<QString> password;
        QString error;
        int exitCode = kReplyReceived; // with error
    };

    // profilePassword: the profile's RCON password, empty when there is none.
    static Result resolve(const Request& request, const QString& profilePassword);

    // The first line of the file, which must be a regular file that neither its group nor
    // others may read or write.
    static Result readFile(const QString& path);
};

} // namespace garrison::cli
