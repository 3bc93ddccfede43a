#include "SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace garrison {

namespace {

QString settingsKey(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}

// The store holds passwords in plain text: only its owner may read it.
void restrictToOwner(const QSettings& settings)
{
    if (settings.format() != QSettings::NativeFormat) {
        return;
    }
    const QString path = settings.fileName();
    if (QFileInfo(path).isAbsolute() && QFile::exists(path)) {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }
}

} // namespace

QString SettingsStore::applicationName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString SettingsStore::read(const QString& application, const QString& section, const QString& key,
                            const QString& defaultValue)
{
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, organization(),
                             application);
    const QVariant value = settings.value(settingsKey(section, key));
    return value.isValid() ? value.toString() : defaultValue;
}

void SettingsStore::write(const QString& application, const QString& section, const QString& key,
                          const QString& value)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, organization(), application);
#ifndef Q_OS_WIN
    // A store we cannot read would be replaced by one holding only this value.
    const QFileInfo existing(settings.fileName());
    if (existing.exists() && !existing.isReadable()) {
        return;
    }
    // Create the file empty and private before QSettings writes it, so that no password is
    // ever readable by others, not even for a moment (QSettings keeps the permissions).
    const QString path = settings.fileName();
    if (!QFile::exists(path)) {
        QFileInfo(path).dir().mkpath(QStringLiteral("."));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        }
    }
#endif
    settings.setValue(settingsKey(section, key), value);
    settings.sync();
    restrictToOwner(settings);
}

QString SettingsStore::read(const QString& section, const QString& key, const QString& defaultValue)
{
    return read(applicationName(), section, key, defaultValue);
}

void SettingsStore::write(const QString& section, const QString& key, const QString& value)
{
    write(applicationName(), section, key, value);
}

QString SettingsStore::organization()
{
    const QString scope = qEnvironmentVariable("GARRISON_STORE_SCOPE");
    return scope.isEmpty() ? QStringLiteral("GARRISON") : QStringLiteral("GARRISON-") + scope;
}

QString SettingsStore::location(const QString& application)
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, organization(), application)
        .fileName();
}

} // namespace garrison
