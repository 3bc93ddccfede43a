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

namespace {

HistoryConnection readSettings(const QString& application)
{
    const auto read = [&application](const char* key) {
        return SettingsStore::read(application, kSection, QLatin1String(key), QString());
    };
    HistoryConnection connection;
    connection.path = HistoryConnection::defaultSqlitePath();
    if (read("Database") == kPostgres) {
        connection.kind = HistoryConnection::Kind::Postgres;
    }
    connection.host = read("Host");
    bool ok = false;
    const int port = read("Port").toInt(&ok);
    connection.port = ok && port > 0 && port < 65536 ? port : 5432;
    connection.database = read("Name");
    connection.user = read("User");
    const QString sslMode = read("SslMode");
    if (sslMode == HistoryConnection::kSslRequire || sslMode == HistoryConnection::kSslVerifyFull) {
        connection.sslMode = sslMode;
    }
    connection.rootCertificate = read("RootCertificate");
    return connection;
}

} // namespace

HistoryConnection HistoryConnection::fromSettings()
{
    HistoryConnection connection = readSettings(SettingsStore::applicationName());
    // The keyring's answer, read ahead at start, is not waited for here.
    connection.password = SecretStore::instance().known(SettingsStore::applicationName(), kSection,
                                                        QStringLiteral("Password"));
    return connection;
}

HistoryConnection HistoryConnection::fromSettings(const QString& application)
{
    HistoryConnection connection = readSettings(application);
    if (connection.kind == Kind::Postgres) {
        connection.password =
            SecretStore::instance().readNow(application, kSection, QStringLiteral("Password"));
    }
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
