#pragma once

#include "RelayLogReader.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <optional>

namespace garrison {

// Follows the relay's log as it grows: each read returns the raw text of the bytes written
// since the last one. A file that shrank or whose known bytes changed (rewritten from the
// start, replaced) is read again from its beginning.
class RelayLogFollower {
public:
    struct Piece {
        // The text starts again: what was read before is no longer the file's.
        bool restarted = false;
        QString text;
        // The file has more bytes than one read takes.
        bool more = false;
    };

    explicit RelayLogFollower(QString path) : m_path(std::move(path)) {}

    // Nothing when the file cannot be read; the next read tries again from the same place.
    std::optional<Piece> read(qint64 maxBytes);
    // How many bytes of the file the pieces since the last restart hold.
    qint64 offset() const { return m_offset; }
    // The raw text of a file's first bytes, as the pieces of a follower that read that far
    // hold it. The file may have changed since: the follower's next read() then starts again.
    static QString readBack(const QString& path, qint64 bytes);
    const QString& path() const { return m_path; }

private:
    bool stillTheSameFile(QIODevice& file, qint64 size) const;

    QString m_path;
    qint64 m_offset = 0;
    QByteArray m_head;
    QByteArray m_tail;
    RelayLineEnds m_lineEnds;
};

} // namespace garrison
