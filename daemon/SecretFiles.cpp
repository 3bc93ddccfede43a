#include "SecretFiles.h"

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace garrisond {

QStringList SecretFiles::secure(const QStringList& paths)
{
    QStringList report;
    for (const QString& path : paths) {
        struct stat status {};
        if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0) {
            continue;
        }
        const auto mode = status.st_mode & 07777;
        if ((mode & 077) == 0) {
            continue;
        }
        const QString octal = QString::number(mode, 8).rightJustified(4, QLatin1Char('0'));
        if (status.st_uid == ::geteuid() &&
            ::chmod(QFile::encodeName(path).constData(), S_IRUSR | S_IWUSR) == 0) {
            report.append(QStringLiteral("%1 was mode %2, made it 0600").arg(path, octal));
        } else {
            report.append(QStringLiteral("%1 is mode %2 and owned by uid %3, not by this user: "
                                         "others may read its secrets; make it 0600 "
                                         "(chmod 600)")
                              .arg(path, octal)
                              .arg(status.st_uid));
        }
    }
    return report;
}

} // namespace garrisond
