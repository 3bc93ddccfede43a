#include "AppFolder.h"

#include <QCoreApplication>
#include <QDir>

namespace garrison {

namespace {
QString& overrideFolder()
{
    static QString folder;
    return folder;
}
} // namespace

QString AppFolder::path()
{
    return overrideFolder().isEmpty() ? QCoreApplication::applicationDirPath() : overrideFolder();
}

QString AppFolder::filePath(const QString& fileName)
{
    return QDir(path()).filePath(fileName);
}

void AppFolder::setOverride(const QString& folder)
{
    overrideFolder() = folder;
}

} // namespace garrison
