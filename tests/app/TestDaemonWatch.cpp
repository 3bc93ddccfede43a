#include "DaemonFixture.h"
#include "TestMain.h"
#include "TextRows.h"

#include <QSignalSpy>
#include <csignal>

using namespace garrison;
using garrison::test::addTextRows;

// What garrisond's watch over the game server tells the windows logged in through it.
class TestDaemonWatch : public QObject, garrison::test::DaemonFixture {
    Q_OBJECT

    // The kinds of the events received, with a server event's "event" ("server:crash").
    static QStringList kinds(const QSignalSpy& events)
    {
        QStringList kinds;
        for (const QList<QVariant>& arguments : events) {
            const auto event = arguments.first().value<DaemonEvent>();
            kinds.append(event.kind == DaemonEvent::Kind::Server
                             ? QStringLiteral("server:") + event.value(QStringLiteral("event"))
                             : event.kindName);
        }
        return kinds;
    }

private Q_SLOTS:
    void init() { setUpDaemonSession(); }
    void cleanup() { tearDownDaemonSession(); }

    // A crash shows in an administrator's window as it happens, before the chat said after it;
    // an mp session gets the chat only.
    void crashShowsInAdministratorsWindows_data()
    {
        addTextRows({"level", "told"}, {{"admin", "admin", "yes"}, {"mp", "mp", ""}});
    }
    void crashShowsInAdministratorsWindows()
    {
        QFETCH(QString, level);
        QFETCH(QString, told);
        QSignalSpy events(&login().daemonLink(), &DaemonLink::eventReceived);
        startSession(level);
        QTRY_VERIFY_WITH_TIMEOUT(kinds(events).contains(QStringLiteral("stream")), 5000);
        QCOMPARE(m_daemon->watch().start(), garrisond::GameServerProcess::StartResult::Started);
        if (!told.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(
                kinds(events).contains(QStringLiteral("server:server-started")), 5000);
        }
        QVERIFY(::kill(static_cast<pid_t>(m_daemon->gameServer().processId()), SIGKILL) == 0);
        auto* state = m_app->mainWindow()->findChild<QLabel*>(QStringLiteral("lblServerState"));
        if (!told.isEmpty()) {
            // Until the server runs again.
            QTRY_VERIFY_WITH_TIMEOUT(state->isVisible(), 5000);
            QVERIFY2(state->text().startsWith(QStringLiteral("garrisond, ")) &&
                         state->text().contains(QStringLiteral("The game server crashed")),
                     qPrintable(state->text()));
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_daemon->watch().state(),
                                  garrisond::ServerWatch::State::Restarting, 5000);
        QFile log(file("games_mp.log"));
        QVERIFY(log.open(QIODevice::Append));
        log.write("  0:06 say;123;0;Bob;after the crash\n");
        log.close();
        QTRY_VERIFY_WITH_TIMEOUT(kinds(events).contains(QStringLiteral("chat")), 5000);
        const QStringList heard = kinds(events);
        const QStringList server =
            heard.mid(0, heard.indexOf(QStringLiteral("chat"))).filter(QStringLiteral("server:"));
        const QStringList crash{QStringLiteral("server:server-started"),
                                QStringLiteral("server:crash")};
        QCOMPARE(server, told.isEmpty() ? QStringList() : crash);
        QVERIFY(!told.isEmpty() || !state->isVisible());
        m_daemon->gameServer().stop();
    }

    // The Admin page in view follows the watch without Refresh: Start Server, then a crash and
    // the restart after it.
    void adminPageFollowsTheWatch()
    {
        startSession(QStringLiteral("admin"));
        MainWindow& main = *m_app->mainWindow();
        main.findChild<QAbstractButton*>(QStringLiteral("Image9"))->click();
        auto* state = main.findChild<QLabel*>(QStringLiteral("watchStateLabel"));
        QTRY_VERIFY_WITH_TIMEOUT(state->text().startsWith(QStringLiteral("Stopped")), 5000);
        QTest::mouseClick(main.findChild<QWidget*>(QStringLiteral("Labelstart")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(state->text().startsWith(QStringLiteral("Running since ")), 5000);
        QVERIFY(::kill(static_cast<pid_t>(m_daemon->gameServer().processId()), SIGKILL) == 0);
        auto* crash = main.findChild<QLabel*>(QStringLiteral("watchCrashLabel"));
        QTRY_VERIFY_WITH_TIMEOUT(crash->text().startsWith(QStringLiteral("Last crash: ")), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(state->text().section(u';', 1),
                                  QStringLiteral(" 1 restart today"), 8000);
        QVERIFY(state->text().startsWith(QStringLiteral("Running since ")));
        m_daemon->gameServer().stop();
    }
};

GARRISON_TEST_MAIN(TestDaemonWatch)
#include "TestDaemonWatch.moc"
