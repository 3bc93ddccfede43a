#pragma once

#include "login/DaemonLink.h"

#include <QString>
#include <functional>
#include <optional>

namespace garrison::cli {

// garrison-rcon's way to the RCON password through the daemon of a profile: the same login
// over TLS as GARRISON's, with the same pinned certificates, waited for on a local event loop.
// The link stays open afterwards for the echo of every command.
class DaemonLogin {
public:
    struct Account {
        QString store; // the settings of this GARRISON program name
        int slot = 0;  // the profile
        QString host;
        QString port;
        QString user;
        QString password;
        QString level;
    };
    struct Result {
        std::optional<QString> rconPassword;
        QString error;
        int exitCode = 0; // with error
    };
    // Asked about a certificate seen for the first time; true trusts it.
    using TrustQuestion = std::function<bool(const QString& fingerprint)>;

    Result logIn(const Account& account, int timeoutMs, const TrustQuestion& askTrust);
    void echo(const QString& command);
    // The link after a granted login, for requests of the daemon's own (the bans).
    DaemonLink& link() { return m_link; }
    // Waits until the echoes are sent and the daemon has closed the link, at most timeoutMs.
    void close(int timeoutMs);

private:
    DaemonLink m_link;
    Account m_account;
};

} // namespace garrison::cli
