#pragma once

#include <QString>

namespace garrison {

// How the daemon link takes each message it receives. The daemon's messages have no framing,
// so what one receive event delivers is one message, and its meaning depends on what the link
// asked for last: the rules are tried in order and the first that applies wins.
class DaemonReceiver {
public:
    enum class Kind {
        RconPassword, // the answer to "getrconpass"
        Log,          // the answer to "getlog"
        LevelAnswer,  // exactly "mp", "admin" or "poweradmin": the login was accepted
        Notice,       // "ADDUSER…" or "CHANGERCON…": text to show the user
        Refusal,      // "DENIED " and the daemon's reason: a refused login or request
        ServerState,  // "SERVERSTATE" and its lines: the game server's state for the Admin page
        Other,        // anything else
    };
    struct Taken {
        Kind kind;
        QString text; // the password, the log, the notice or refusal with its prefix removed
    };

    Taken take(const QString& message);

    // "1" while the next message is the RCON password; set when the level answer arrives.
    QString RconPassPending;
    // "1" while the next message is the server log; armed through islo before "getlog".
    QString LogPending;
};

} // namespace garrison
