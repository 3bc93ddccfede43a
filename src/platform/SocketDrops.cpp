#include "SocketDrops.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#if defined(Q_OS_LINUX)
#include <sys/stat.h>
#endif

namespace garrison {

std::optional<quint64> SocketDrops::count(qintptr descriptor)
{
#if defined(Q_OS_LINUX)
    struct stat status {};
    if (descriptor < 0 || ::fstat(int(descriptor), &status) != 0) {
        return std::nullopt;
    }
    const QByteArray inode = QByteArray::number(quint64(status.st_ino));
    for (const char* table : {"/proc/net/udp", "/proc/net/udp6"}) {
        QFile file{QString::fromLatin1(table)};
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        // sl local rem st tx:rx tr:when retrnsmt uid timeout inode ref pointer drops
        file.readLine();
        for (QByteArray line = file.readLine(); !line.isEmpty(); line = file.readLine()) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() >= 13 && fields.at(9) == inode) {
                bool ok = false;
                const quint64 drops = fields.at(12).toULongLong(&ok);
                return ok ? std::optional<quint64>(drops) : std::nullopt;
            }
        }
    }
    return std::nullopt;
#else
    Q_UNUSED(descriptor);
    return std::nullopt;
#endif
}

} // namespace garrison
