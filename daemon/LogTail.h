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
};

} // namespace garrisond
