#pragma once

#include <QByteArray>
#include <QString>

namespace garrisond {

// The end of the game server's log as it is sent for "getlog": at most maxBytes of the file,
// starting at a line start when the file is longer, with every line ending made CR LF for the
// client's text box.
class LogTail {
public:
    static bool read(const QString& path, qint64 maxBytes, QByteArray* tail, QString* error);
    // Opens the log for reading as the daemon reads it: never through a symbolic link (the game
    // server may write its folder, and a link there could lead to the daemon's own files), and
    // only a plain file. A descriptor, or -1 with the reason.
    static int open(const QString& path, QString* error);
};

} // namespace garrisond
