#include "LogTail.h"

#include <QFile>

namespace garrisond {

bool LogTail::read(const QString& path, qint64 maxBytes, QByteArray* tail, QString* error)
{
    QFile file(path);
    if (path.isEmpty()) {
        *error = QStringLiteral("no game log is configured");
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
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
