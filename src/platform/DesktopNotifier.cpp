#include "DesktopNotifier.h"

#ifndef Q_OS_WIN
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>
#endif

namespace garrison {

bool DesktopNotifier::notify(const QString& title, const QString& text)
{
#ifndef Q_OS_WIN
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(service)) {
        return false;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/Notifications"),
                                       service, QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (the
    // server's default).
    call << QStringLiteral("GARRISON") << 0U << QStringLiteral("garrison") << title << text
         << QStringList()
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("org.garrison.Garrison")}}
         << -1;
    return bus.send(call);
#else
    Q_UNUSED(title)
    Q_UNUSED(text)
    return false;
#endif
}

} // namespace garrison
