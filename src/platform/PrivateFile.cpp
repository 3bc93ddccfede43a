#include "PrivateFile.h"

#include <QFileInfo>

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

} // namespace garrison
