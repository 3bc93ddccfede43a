#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <sys/types.h>

namespace garrisond {

// The end of the game server's log as it is sent for "getlog": at most maxBytes of the file,
// starting at a line start when the file is longer, with every line ending made CR LF for the
// client's text box.
//
// The client tells the daemon's messages apart by how they begin, and takes the event lines off
// the front of whatever it reads: a log line must never begin like one of them. A line that
// begins, after any blanks, with one of kProtocolWords gets one blank more in front, which
// GARRISON takes off again (DaemonReceiver::unescapeLog); other lines are sent as they are.
class LogTail {
public:
    static constexpr uid_t kAnyOwner = static_cast<uid_t>(-1);
    static const QList<QByteArray> kProtocolWords;

    static bool read(const QString& path, qint64 maxBytes, QByteArray* tail, QString* error,
                     uid_t refusedOwner = kAnyOwner);
    // Opens the log for reading as the daemon reads it: never through a symbolic link (the game
    // server may write its folder, and a link there could lead to the daemon's own files), only
    // a plain file, and never one with a second name (a hard link to one of the daemon's own
    // files keeps their owner and mode) nor, when the game server runs as another user, one
    // owned by `refusedOwner`, garrisond's own user. A descriptor, or -1 with the reason.
    static int open(const QString& path, QString* error, uid_t refusedOwner = kAnyOwner);
    // One line of the log as it is sent.
    static QByteArray escapeLine(QByteArrayView line);
};

} // namespace garrisond
