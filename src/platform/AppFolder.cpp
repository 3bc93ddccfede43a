#include "AppFolder.h"

#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#ifdef Q_OS_WIN
#include <QSettings>
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

// The setup notes where it installed GARRISON, for Apps & features (packaging/windows/
// garrison.nsi), in the current user's hive or the machine's. A folder the user may not write
// to (Program Files, a copy an administrator put there by hand) counts as installed as well.
bool decideInstalled()
{
    const QString here = QDir::cleanPath(QCoreApplication::applicationDirPath());
    for (const char* hive : {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"}) {
        const QSettings entry(
            QLatin1String(hive) +
                QStringLiteral(
                    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\GARRISON"),
            QSettings::NativeFormat);
        const QString installed = entry.value(QStringLiteral("InstallLocation")).toString();
        if (!installed.isEmpty() && QDir::cleanPath(QDir::fromNativeSeparators(installed))
                                            .compare(here, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
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
