#pragma once

#include <QByteArray>
#include <QString>
#include <sys/types.h>

namespace garrisond {

struct DaemonConfig;

// The answers to a session's requests that come from the configuration and the game log: the
// RCON password ("getrconpass"), where the game server is ("serveraddress"), the end of its
// log ("getlog") and the reasons for bans ("getbanreasons").
class RequestAnswers {
public:
    static QByteArray rconPassword(const DaemonConfig& config);
    // "SERVERADDRESS", then "address=" server_address (empty: garrisond's own) and "port=" the
    // game server's port (empty when the configuration gives none), one line each.
    static QByteArray serverAddress(const DaemonConfig& config);
    // "LOG ", the length in bytes of what follows and CR LF, then the log as LogTail sends it,
    // or why it cannot be read. A long log reaches the client in many pieces, which may pause
    // on a busy link; the length tells it where the log ends and the next message begins.
    // A log owned by `refusedOwner` is not read.
    static QByteArray log(const DaemonConfig& config, uid_t refusedOwner);
    // "BANREASONS <n>" LF and ban_reasons, one a line (n = 0 when there are none), for the
    // levels in ban_levels; "BANREFUSED <why>" LF for the others, as the other ban requests.
    static QByteArray banReasons(const DaemonConfig& config, const QString& level);
};

} // namespace garrisond
