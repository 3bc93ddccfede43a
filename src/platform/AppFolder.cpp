#include "AppFolder.h"

#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#ifdef Q_OS_WIN
#include <QTemporaryFile>
#endif

namespace garrison {

namespace {
QString& overrideFolder()
{
    static QString folder;
    return folder;
}

#ifdef Q_OS_WIN

// The relay lies beside garrison.exe, as Windows programs keep their helpers, wherever the
// user may write there (a per-user setup, an unpacked zip). Only a folder the user may not
// write to (Program Files, after a setup for every user) sends the relay's files to the user's
// own data folder.
bool decideInstalled()
{
    const QString here = QDir::cleanPath(QCoreApplication::applicationDirPath());
    QTemporaryFile probe(QDir(here).filePath(QStringLiteral("garrison-XXXXXX.tmp")));
    return !probe.open();
}

bool runsFromInstalledFolder()
{
    static const bool installed = decideInstalled();
    return installed;
}

#else

bool runsFromInstalledFolder()
{
    const QString installed =
        QFileInfo(QStringLiteral(GARRISON_INSTALL_BINDIR)).canonicalFilePath();
    return !installed.isEmpty() &&
           QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath() == installed;
}

#endif
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
                           QLatin1Char('/') + SettingsStore::organization() + QLatin1Char('/') +
                           SettingsStore::applicationName();
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
