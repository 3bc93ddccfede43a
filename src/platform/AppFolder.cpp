#include "AppFolder.h"

#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace garrison {

namespace {
QString& overrideFolder()
{
    static QString folder;
    return folder;
}

bool runsFromInstalledFolder()
{
    const QString installed =
        QFileInfo(QStringLiteral(GARRISON_INSTALL_BINDIR)).canonicalFilePath();
    return !installed.isEmpty() &&
           QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath() == installed;
}
} // namespace

QString AppFolder::path()
{
    if (!overrideFolder().isEmpty()) {
        return overrideFolder();
    }
    const QString chosen = qEnvironmentVariable(kEnvironmentVariable);
    if (!chosen.isEmpty()) {
        return chosen;
    }
    if (!runsFromInstalledFolder()) {
        return QCoreApplication::applicationDirPath();
    }
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/GARRISON/") + SettingsStore::applicationName();
    QDir().mkpath(folder);
    return folder;
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
