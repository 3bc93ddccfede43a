#include "TestMain.h"
#include "platform/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QStringList>
#include <QVariantMap>

using namespace garrison;

namespace {

// A desktop's notification service, as far as GARRISON uses it.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList shown; // "application|summary|body|timeout"

public Q_SLOTS:
    uint Notify(const QString& application, uint replaces, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int timeout)
    {
        Q_UNUSED(replaces)
        Q_UNUSED(icon)
        Q_UNUSED(actions)
        Q_UNUSED(hints)
        shown.append(QStringList{application, summary, body, QString::number(timeout)}.join(u'|'));
        return static_cast<uint>(shown.size());
    }
};

} // namespace

// On a session bus of its own (dbus-run-session), with and without a notification service.
class TestDesktopNotifier : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void usesTheServiceWhereThereIsOne()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY2(bus.isConnected(), "no session bus: run under dbus-run-session");
        QVERIFY(!DesktopNotifier::notify(QStringLiteral("nobody"), QStringLiteral("listens")));

        NotificationService service;
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        QVERIFY(DesktopNotifier::notify(QStringLiteral("Server 1 is not answering"),
                                        QStringLiteral("since 23:57:12")));
        QTRY_COMPARE_WITH_TIMEOUT(
            service.shown,
            QStringList{QStringLiteral("GARRISON|Server 1 is not answering|since 23:57:12|-1")},
            5000);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestDesktopNotifier)
#include "TestDesktopNotifier.moc"
