#pragma once

#include "LogTail.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <sys/types.h>

namespace garrisond {

// Follows the game log as the server writes it: from its end when following starts (a log of
// gigabytes is not read), then every line that is added, whole. A file that takes the log's
// name (a rotation) is read from its start once the old one has been read to its end; a log
// that shrinks (truncated, or begun anew by a restarted server) is read again from its start.
// The file is opened as LogTail opens it: never through a link, only a plain file of one name,
// not one of garrisond's own files.
//
// A log that grows faster than it can be read (whoever controls the game server can make it)
// must not take the daemon from its clients: it is read in slices of kTurnBytes, one per turn
// of the event loop, and when more than kMaxBehindBytes wait, the follower skips to the end and
// says how much it left unread.
class GameLogFollower : public QObject {
    Q_OBJECT

public:
    static constexpr int kPollMs = 100;
    // Read per turn of the event loop; more waits for the next turn, so a burst never holds up
    // the clients for long.
    static constexpr qint64 kTurnBytes = 128 * 1024;
    static constexpr qint64 kMaxBehindBytes = 16 * 1024 * 1024;
    // A line longer than this is passed on in pieces of this size.
    static constexpr qsizetype kMaxLineBytes = 64 * 1024;

    explicit GameLogFollower(QObject* parent = nullptr);
    ~GameLogFollower() override;

    // From the file's present end; an empty path stops following. A file owned by
    // `refusedOwner` is not read (see LogTail::open).
    void follow(const QString& path, uid_t refusedOwner = LogTail::kAnyOwner);
    const QString& path() const { return m_path; }
    // Reads what was added since; the timer calls it.
    void poll();
    // The offset in the file read up to.
    qint64 position() const { return m_position; }
    void setPollInterval(int ms) { m_timer.setInterval(ms); }

Q_SIGNALS:
    // Whole lines without their line end, oldest first.
    void linesRead(const QList<QByteArray>& lines);
    // The log cannot be read, and why; said again only when the reason changes.
    void problem(const QString& text);
    // The log is read again after a problem.
    void recovered();
    // The follower was too far behind: `bytes` of the log were left unread.
    void skipped(qint64 bytes);

private:
    bool open();
    void closeFile();
    // Reads up to `budget` bytes; false when the file had no more.
    bool readMore(qint64& budget, QList<QByteArray>& lines);
    void split(const char* data, qsizetype size, QList<QByteArray>& lines);
    void report(const QString& text);

    QString m_path;
    uid_t m_refusedOwner = LogTail::kAnyOwner;
    int m_fd = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    qint64 m_position = 0;
    QByteArray m_partial;
    // Set when following starts in the middle of a line: its rest is not a line.
    bool m_skipToLineEnd = false;
    // Only the log that is there when following begins is read from its end; one that appears
    // later, or replaces it, is new.
    bool m_fromStart = false;
    QString m_problem;
    QTimer m_timer;
    QByteArray m_buffer;
};

} // namespace garrisond
