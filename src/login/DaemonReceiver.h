#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace garrison {

// How the daemon link takes each message it receives. The daemon's messages have no framing,
// so what one receive event delivers is one message, and its meaning depends on what the link
// asked for last: the rules are tried in order and the first that applies wins.
class DaemonReceiver {
public:
    enum class Kind {
        RconPassword,  // the answer to "getrconpass"
        Log,           // the answer to "getlog"
        LevelAnswer,   // exactly "mp", "admin" or "poweradmin": the login was accepted
        Notice,        // "ADDUSER…" or "CHANGERCON…": text to show the user
        Refusal,       // "DENIED " and the daemon's reason: a refused login or request
        ServerState,   // "SERVERSTATE" and its lines: the game server's state for the Admin page
        ServerAddress, // "SERVERADDRESS" and its lines: where the daemon's game server is
        Other,         // anything else
    };
    struct Taken {
        Kind kind;
        QString text; // the password, the log, the notice or refusal with its prefix removed
    };

    Taken take(const QString& message);

    // The answer to "serveraddress": "SERVERADDRESS", then "address=" and "port=" lines; either
    // may be empty (the daemon's own address, an unknown port).
    struct ServerAddress {
        QString address;
        QString port;
    };
    static std::optional<ServerAddress> serverAddress(const QString& message);

    // The log as the game server wrote it. The daemon puts one blank more in front of every
    // log line that begins, after its blanks, with a word of this protocol ("EVENT",
    // "SERVERSTATE" …), so that no log line can be taken for one of its messages; this takes
    // it off again.
    static QString unescapeLog(const QString& log);

    // garrisond sends the log after a header: "LOG ", its length in bytes (one character each
    // here) and CR LF. A daemon without it sends the log bare, and its end is only known when
    // nothing more comes for a while.
    struct LogHeader {
        qsizetype headerSize = 0;
        qsizetype length = 0;
    };
    static std::optional<LogHeader> logHeader(QStringView message);

    // The daemon's event lines ("EVENT …" and LF, see DaemonEvent) come whenever something
    // happens in the game, and one receive event may deliver them together with a message of
    // the rules above, or cut one of them off. Event lines at the front are taken off here; a
    // line cut off by the end waits for its rest, which the next receive event begins with.
    // What is left over is one message for take(). Never applied to the RCON password, which
    // may begin with anything.
    struct Split {
        QStringList eventLines; // without their LF
        QString rest;
    };
    Split takeEventLines(const QString& received);

    // "1" while the next message is the RCON password; set when the level answer arrives.
    QString RconPassPending;
    // "1" while the next message is the server log; armed through islo before "getlog".
    QString LogPending;

private:
    // Beyond this an event line that never ends is taken as a message after all.
    static constexpr qsizetype kMaxEventLine = 1024 * 1024;
    QString m_eventPartial;
};

} // namespace garrison
