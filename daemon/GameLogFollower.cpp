#include "GameLogFollower.h"

#include "LogTail.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace garrisond {

namespace {
constexpr qsizetype kReadBytes = GameLogFollower::kTurnBytes;
} // namespace

GameLogFollower::GameLogFollower(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(kPollMs);
    connect(&m_timer, &QTimer::timeout, this, &GameLogFollower::poll);
}

GameLogFollower::~GameLogFollower()
{
    closeFile();
}

void GameLogFollower::follow(const QString& path, uid_t refusedOwner)
{
    closeFile();
    m_path = path;
    m_refusedOwner = refusedOwner;
    m_problem.clear();
    m_fromStart = false;
    if (m_path.isEmpty()) {
        m_timer.stop();
        return;
    }
    open();
    m_timer.start();
}

void GameLogFollower::closeFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
    m_position = 0;
    m_partial.clear();
    m_skipToLineEnd = false;
}

void GameLogFollower::report(const QString& text)
{
    if (text != m_problem) {
        m_problem = text;
        Q_EMIT problem(QStringLiteral("the game log %1 cannot be followed: %2").arg(m_path, text));
    }
}

bool GameLogFollower::open()
{
    struct stat status {};
    // A log that is not there yet is no problem: the server writes it when it starts, and all
    // of it is new then.
    if (::lstat(QFile::encodeName(m_path).constData(), &status) != 0 && errno == ENOENT) {
        m_fromStart = true;
        return false;
    }
    QString error;
    const int fd = LogTail::open(m_path, &error, m_refusedOwner);
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        report(error.isEmpty() ? qt_error_string(errno) : error);
        return false;
    }
    const bool atEnd = !std::exchange(m_fromStart, true);
    if (!m_problem.isEmpty()) {
        m_problem.clear();
        Q_EMIT recovered();
    }
    m_fd = fd;
    m_device = status.st_dev;
    m_inode = status.st_ino;
    m_partial.clear();
    m_position = atEnd ? status.st_size : 0;
    m_skipToLineEnd = false;
    if (atEnd && m_position > 0) {
        char last = '\n';
        m_skipToLineEnd = ::pread(m_fd, &last, 1, m_position - 1) == 1 && last != '\n';
    }
    return true;
}

void GameLogFollower::poll()
{
    if (m_path.isEmpty()) {
        return;
    }
    QList<QByteArray> lines;
    qint64 budget = kTurnBytes;
    if (m_fd < 0 && !open()) {
        return;
    }
    struct stat byName {};
    const bool named = ::lstat(QFile::encodeName(m_path).constData(), &byName) == 0;
    if (named && (byName.st_dev != m_device || byName.st_ino != m_inode)) {
        // Another file has the log's name: the rest of the old one first, then the new one.
        while (readMore(budget, lines)) {
        }
        if (budget > 0) {
            if (!m_partial.isEmpty()) {
                lines.append(std::exchange(m_partial, QByteArray()));
            }
            closeFile();
            open();
        }
    }
    while (m_fd >= 0 && readMore(budget, lines)) {
    }
    if (!lines.isEmpty()) {
        Q_EMIT linesRead(lines);
    }
    // What did not fit in this turn is read in the next, without waiting for the timer.
    if (budget <= 0) {
        QTimer::singleShot(0, this, &GameLogFollower::poll);
    }
}

bool GameLogFollower::readMore(qint64& budget, QList<QByteArray>& lines)
{
    if (budget <= 0) {
        return false;
    }
    struct stat status {};
    if (::fstat(m_fd, &status) != 0) {
        return false;
    }
    if (status.st_size < m_position) {
        m_position = 0;
        m_partial.clear();
        m_skipToLineEnd = false;
    }
    if (status.st_size == m_position) {
        return false;
    }
    if (status.st_size - m_position > kMaxBehindBytes) {
        Q_EMIT skipped(status.st_size - m_position);
        m_position = status.st_size;
        m_partial.clear();
        char last = '\n';
        m_skipToLineEnd = ::pread(m_fd, &last, 1, m_position - 1) == 1 && last != '\n';
        return false;
    }
    m_buffer.resize(kReadBytes);
    const qint64 want = std::min<qint64>({kReadBytes, budget, status.st_size - m_position});
    const ssize_t got = ::pread(m_fd, m_buffer.data(), static_cast<size_t>(want), m_position);
    if (got <= 0) {
        return false;
    }
    m_position += got;
    budget -= got;
    split(m_buffer.constData(), got, lines);
    return true;
}

void GameLogFollower::split(const char* data, qsizetype size, QList<QByteArray>& lines)
{
    qsizetype start = 0;
    while (start < size) {
        const char* found = static_cast<const char*>(std::memchr(data + start, '\n', size - start));
        const qsizetype end = found ? found - data : size;
        if (m_skipToLineEnd) {
            m_skipToLineEnd = found == nullptr;
        } else if (found) {
            if (m_partial.isEmpty()) {
                lines.append(QByteArray(data + start, end - start));
            } else {
                m_partial.append(data + start, end - start);
                lines.append(std::exchange(m_partial, QByteArray()));
            }
        } else {
            m_partial.append(data + start, end - start);
            while (m_partial.size() >= kMaxLineBytes) {
                lines.append(m_partial.first(kMaxLineBytes));
                m_partial.remove(0, kMaxLineBytes);
            }
        }
        start = end + 1;
    }
}

} // namespace garrisond
