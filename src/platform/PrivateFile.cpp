#include "PrivateFile.h"

#include <QFileInfo>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace garrison {

namespace {

constexpr QFileDevice::Permissions kOwner =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                             QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                             QFileDevice::WriteOther | QFileDevice::ExeOther;

} // namespace

bool PrivateFile::open(QFile& file, QIODevice::OpenMode mode)
{
    return file.open(mode, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool PrivateFile::restrict(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !(info.permissions() & kOthers)) {
        return true;
    }
    return QFile::setPermissions(path, info.permissions() & kOwner);
}

std::optional<uint> PrivateFile::sharedMode(const QString& path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return std::nullopt;
#else
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 ||
        (status.st_mode & (S_IRWXG | S_IRWXO)) == 0) {
        return std::nullopt;
    }
    return uint(status.st_mode & 07777);
#endif
}

} // namespace garrison
