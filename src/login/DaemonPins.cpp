#include "DaemonPins.h"

#include "login/ConnectionProfiles.h"
#include "platform/SettingsStore.h"

namespace garrison {

namespace {

QString hostKey(const QString& host, const QString& port)
{
    const QString name = host.trimmed();
    return (name.contains(QLatin1Char(':')) ? QLatin1Char('[') + name + QLatin1Char(']') : name) +
           QLatin1Char(':') + port.trimmed();
}

bool profileHolds(const QString& application, int slot, const QString& host, const QString& port)
{
    if (slot < 1 || slot > ConnectionProfiles::kSlots) {
        return false;
    }
    const ProfileFields fields = ConnectionProfiles::load(application, slot);
    return fields.daemonAddress.trimmed() == host.trimmed() &&
           fields.daemonPort.trimmed() == port.trimmed();
}

} // namespace

QString DaemonPins::pinned(const QString& application, int slot, const QString& host,
                           const QString& port)
{
    if (profileHolds(application, slot, host, port)) {
        const QString pin =
            SettingsStore::read(application, ConnectionProfiles::section(slot), kProfileKey, {});
        if (!pin.isEmpty()) {
            return pin;
        }
    }
    return SettingsStore::read(application, kSection, hostKey(host, port), {});
}

void DaemonPins::pin(const QString& application, int slot, const QString& host, const QString& port,
                     const QString& fingerprint)
{
    if (profileHolds(application, slot, host, port)) {
        SettingsStore::write(application, ConnectionProfiles::section(slot), kProfileKey,
                             fingerprint);
        return;
    }
    SettingsStore::write(application, kSection, hostKey(host, port), fingerprint);
}

// The store deletes nothing: an empty pin is no pin.
void DaemonPins::forget(const QString& application, int slot, const QString& host,
                        const QString& port)
{
    if (profileHolds(application, slot, host, port)) {
        SettingsStore::write(application, ConnectionProfiles::section(slot), kProfileKey, {});
    }
    if (!SettingsStore::read(application, kSection, hostKey(host, port), {}).isEmpty()) {
        SettingsStore::write(application, kSection, hostKey(host, port), {});
    }
}

} // namespace garrison
