#include "LogTail.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace garrisond {

int LogTail::open(const QString& path, QString* error)
{
    if (path.isEmpty()) {
        *error = QStringLiteral("no game log is configured");
        return -1;
    }
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        *error = fd < 0 && errno == ELOOP ? QStringLiteral("it is a symbolic link")
                 : fd < 0                 ? qt_error_string(errno)
                                          : QStringLiteral("it is not a plain file");
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    return fd;
}

bool LogTail::read(const QString& path, qint64 maxBytes, QByteArray* tail, QString* error)
{
    const int fd = open(path, error);
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
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes.at(i) == '\n' && (i == 0 || bytes.at(i - 1) != '\r')) {
            tail->append('\r');
        }
        tail->append(bytes.at(i));
    }
    return true;
}

} // namespace garrisond
