#include "LogTail.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace garrisond {

// "BAN" begins every answer about bans (BANLIST, BANADDED …).
const QList<QByteArray> LogTail::kProtocolWords{
    "EVENT",  "SERVERSTATE", "SERVERADDRESS", "ADDUSER",    "CHANGERCON",
    "DENIED", "mp",          "admin",         "poweradmin", "BAN"};

QByteArray LogTail::escapeLine(QByteArrayView line)
{
    qsizetype blanks = 0;
    while (blanks < line.size() && line.at(blanks) == ' ') {
        ++blanks;
    }
    const QByteArrayView rest = line.sliced(blanks);
    for (const QByteArray& word : kProtocolWords) {
        if (rest.startsWith(word)) {
            return ' ' + line.toByteArray();
        }
    }
    return line.toByteArray();
}

int LogTail::open(const QString& path, QString* error, uid_t refusedOwner)
{
    if (path.isEmpty()) {
        *error = QStringLiteral("no game log is configured");
        return -1;
    }
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat status {};
    const bool read = fd >= 0 && ::fstat(fd, &status) == 0;
    if (!read || !S_ISREG(status.st_mode) || status.st_nlink > 1 || status.st_uid == refusedOwner) {
        *error = fd < 0 && errno == ELOOP   ? QStringLiteral("it is a symbolic link")
                 : !read                    ? qt_error_string(errno)
                 : !S_ISREG(status.st_mode) ? QStringLiteral("it is not a plain file")
                 : status.st_nlink > 1
                     ? QStringLiteral("it has %1 names (hard links)").arg(status.st_nlink)
                     : QStringLiteral("it belongs to garrisond's own user, not the game server's");
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    return fd;
}

bool LogTail::read(const QString& path, qint64 maxBytes, QByteArray* tail, QString* error,
                   uid_t refusedOwner)
{
    const int fd = open(path, error, refusedOwner);
    if (fd < 0) {
        return false;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *error = file.errorString();
        ::close(fd);
        return false;
    }
    const qint64 size = file.size();
    const bool cut = size > maxBytes;
    if (cut && !file.seek(size - maxBytes)) {
        *error = file.errorString();
        return false;
    }
    QByteArray bytes = file.read(maxBytes);
    if (cut) {
        // A partial first line is dropped, unless the tail is a single line.
        const qsizetype lineEnd = bytes.indexOf('\n');
        if (lineEnd >= 0 && lineEnd + 1 < bytes.size()) {
            bytes.remove(0, lineEnd + 1);
        }
    }
    tail->clear();
    tail->reserve(bytes.size() + bytes.size() / 32);
    for (qsizetype start = 0; start < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', start);
        const bool ended = end >= 0;
        end = ended ? end : bytes.size();
        const qsizetype textEnd = ended && end > start && bytes.at(end - 1) == '\r' ? end - 1 : end;
        tail->append(escapeLine(QByteArrayView(bytes).sliced(start, textEnd - start)));
        if (ended) {
            tail->append("\r\n");
        }
        start = end + 1;
    }
    return true;
}

} // namespace garrisond
