#include "ConnectionProfiles.h"

#include "platform/SecretStore.h"
#include "platform/SettingsStore.h"

namespace garrison {

namespace {

// The relay port a profile falls back to differs from the login window's own "55556".
const QString kDefaultRelayPort = QStringLiteral("55555");

} // namespace

QString ConnectionProfiles::section(int slot)
{
    return QStringLiteral("[LOGIN%1]").arg(slot);
}

QString ConnectionProfiles::caption(int slot)
{
    return SettingsStore::read(section(slot), QStringLiteral("Name"),
                               QStringLiteral("Load Server %1").arg(slot));
}

ProfileFields ConnectionProfiles::load(int slot)
{
    return load(SettingsStore::applicationName(), slot);
}

ProfileFields ConnectionProfiles::load(const QString& application, int slot)
{
    const QString from = section(slot);
    const auto read = [&](const char* key, const QString& fallback = QString()) {
        return SettingsStore::read(application, from, QLatin1String(key), fallback);
    };
    ProfileFields fields;
    fields.daemonAddress = read("DaemonIP");
    fields.daemonPort = read("DaemonPort");
    fields.userName = read("Username");
    fields.password = read("Password");
    fields.serverAddress = read("IPAddress");
    fields.rconPassword = read("Pass");
    fields.serverPort = read("Port");
    fields.relayPort = read("UPort", kDefaultRelayPort);
    fields.level = read("Levelz");
    fields.loginType = SettingsStore::read(application, from, kLoginTypeKey, QString());
    return fields;
}

ConnectionProfiles::Login ConnectionProfiles::loginOf(const ProfileFields& fields)
{
    if (fields.loginType == kDaemonType) {
        return Login::Daemon;
    }
    if (fields.loginType == kRconType) {
        return fields.rconPassword.isEmpty() ? Login::PasswordMissing : Login::Direct;
    }
    if (!fields.rconPassword.isEmpty()) {
        return Login::Direct;
    }
    return fields.daemonAddress.trimmed().isEmpty() ? Login::PasswordMissing : Login::Daemon;
}

void ConnectionProfiles::save(int slot, const ProfileFields& fields, const QString& name)
{
    const QString to = section(slot);
    const QString application = SettingsStore::applicationName();
    const auto write = [&](const char* key, const QString& value) {
        if (SecretStore::isSecret(to, QLatin1String(key))) {
            SecretStore::instance().write(application, to, QLatin1String(key), value);
        } else {
            SettingsStore::write(application, to, QLatin1String(key), value);
        }
    };
    write("Username", fields.userName);
    write("Password", fields.password);
    write("DaemonIP", fields.daemonAddress);
    write("DaemonPort", fields.daemonPort);
    write("IPAddress", fields.serverAddress);
    write("Pass", fields.rconPassword);
    write("Port", fields.serverPort);
    write("UPort", fields.relayPort);
    write("Name", name);
    write("Levelz", fields.level);
    if (!fields.loginType.isEmpty()) {
        SettingsStore::write(application, to, kLoginTypeKey, fields.loginType);
    }
}

} // namespace garrison
