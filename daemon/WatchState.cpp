#include "WatchState.h"

#include "SecretFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace garrisond {

namespace {
const QString kSkippedKey = QStringLiteral("skipped_restarts");
} // namespace

QString WatchState::pathBeside(const QString& accountsPath)
{
    return QFileInfo(accountsPath).absoluteDir().filePath(QStringLiteral("garrisond-state.json"));
}

bool WatchState::load(const QString& path, QList<QDateTime>* skipped, QString* error)
{
    skipped->clear();
    QByteArray content;
    bool missing = false;
    if (!SecretFile::read(path, SecretFile::Use::Serve, &content, &missing, error)) {
        return false;
    }
    if (missing) {
        return true;
    }
    const QJsonDocument document = QJsonDocument::fromJson(content);
    const QJsonValue times = document.object().value(kSkippedKey);
    if (!document.isObject() || !times.isArray()) {
        *error = path + QStringLiteral(" is not garrisond's state file");
        return false;
    }
    for (const QJsonValue& time : times.toArray()) {
        const QDateTime at = QDateTime::fromString(time.toString(), Qt::ISODate);
        if (!at.isValid()) {
            *error = QStringLiteral("%1: \"%2\" is no time").arg(path, time.toString());
            return false;
        }
        skipped->append(at);
    }
    return true;
}

bool WatchState::save(const QString& path, const QList<QDateTime>& skipped, QString* error)
{
    QJsonArray times;
    for (const QDateTime& at : skipped) {
        times.append(at.toUTC().toString(Qt::ISODate));
    }
    return SecretFile::write(path, QJsonDocument(QJsonObject{{kSkippedKey, times}}).toJson(),
                             error);
}

} // namespace garrisond
