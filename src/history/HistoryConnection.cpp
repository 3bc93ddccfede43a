#include "HistoryConnection.h"

#include "platform/SecretStore.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QStandardPaths>

namespace garrison {

namespace {
const QString kSection = QStringLiteral("[History]");
const QString kPostgres = QStringLiteral("postgresql");
constexpr int kDefaultKeepDays = 90;
} // namespace

QString HistoryConnection::defaultSqlitePath()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(base).filePath(SettingsStore::organization() + QStringLiteral("/history.sqlite"));
}

HistoryConnection HistoryConnection::fromSettings()
{
    HistoryConnection connection;
    connection.path = defaultSqlitePath();
    if (SettingsStore::read(kSection, QStringLiteral("Database")) == kPostgres) {
        connection.kind = Kind::Postgres;
    }
    connection.host = SettingsStore::read(kSection, QStringLiteral("Host"));
    bool ok = false;
    const int port = SettingsStore::read(kSection, QStringLiteral("Port")).toInt(&ok);
    connection.port = ok && port > 0 && port < 65536 ? port : 5432;
    connection.database = SettingsStore::read(kSection, QStringLiteral("Name"));
    connection.user = SettingsStore::read(kSection, QStringLiteral("User"));
    // The keyring's answer, read ahead at start, is not waited for here.
    connection.password = SecretStore::instance().known(SettingsStore::applicationName(), kSection,
                                                        QStringLiteral("Password"));
    const QString sslMode = SettingsStore::read(kSection, QStringLiteral("SslMode"));
    if (sslMode == kSslRequire || sslMode == kSslVerifyFull) {
        connection.sslMode = sslMode;
    }
    connection.rootCertificate = SettingsStore::read(kSection, QStringLiteral("RootCertificate"));
    return connection;
}

void HistoryConnection::save() const
{
    SettingsStore::write(kSection, QStringLiteral("Database"),
                         kind == Kind::Postgres ? kPostgres : QStringLiteral("sqlite"));
    SettingsStore::write(kSection, QStringLiteral("Host"), host);
    SettingsStore::write(kSection, QStringLiteral("Port"), QString::number(port));
    SettingsStore::write(kSection, QStringLiteral("Name"), database);
    SettingsStore::write(kSection, QStringLiteral("User"), user);
    SecretStore::instance().write(SettingsStore::applicationName(), kSection,
                                  QStringLiteral("Password"), password);
    SettingsStore::write(kSection, QStringLiteral("SslMode"), sslMode);
    SettingsStore::write(kSection, QStringLiteral("RootCertificate"), rootCertificate);
}

int historyKeepDays()
{
    bool ok = false;
    const int days = SettingsStore::read(kSection, QStringLiteral("KeepDays")).toInt(&ok);
    return ok && days > 0 ? days : kDefaultKeepDays;
}

void setHistoryKeepDays(int days)
{
    SettingsStore::write(kSection, QStringLiteral("KeepDays"), QString::number(days));
}

} // namespace garrison
