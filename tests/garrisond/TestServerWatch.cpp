#include "AccountStore.h"
#include "CrashRestarts.h"
#include "DaemonConfig.h"
#include "DaemonServer.h"
#include "PasswordHash.h"
#include "RconChannel.h"
#include "TestMain.h"
#include "TextRows.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <csignal>
#include <ctime>

using namespace garrisond;

namespace {

constexpr int kWaitMs = 8000;
const QString kRcon = QStringLiteral("secret");

// A client that talks to the daemon the way GARRISON does: one write per message.
struct Client {
    explicit Client(quint16 port)
    {
        QSignalSpy connected(&socket, &QTcpSocket::connected);
        socket.connectToHost(QHostAddress::LocalHost, port);
        connected.wait(kWaitMs);
    }
    QByteArray exchange(const QByteArray& message)
    {
        socket.write(message);
        if (socket.bytesAvailable() == 0) {
            QSignalSpy(&socket, &QTcpSocket::readyRead).wait(kWaitMs);
        }
        return socket.readAll();
    }
    QTcpSocket socket;
};

// The webhook's other end: answers every post with 204 (the first `failures` with 503), or
// never answers at all.
class HookListener : public QObject {
public:
    explicit HookListener(bool answers, int failures = 0) : m_answers(answers), m_failures(failures)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            }
        });
    }
    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/hook/token").arg(m_server.serverPort()));
    }
    QList<QJsonObject> posts;
    QList<QJsonObject> postsWithout(const QString& event) const
    {
        QList<QJsonObject> kept = posts;
        kept.removeIf([&event](const QJsonObject& post) {
            return post.value(QStringLiteral("event")).toString() == event;
        });
        return kept;
    }
    // The events posted, in order, "restart" with its reason; without `leftOut`.
    QStringList events(const QString& leftOut = QString()) const
    {
        QStringList names;
        for (const QJsonObject& post : postsWithout(leftOut)) {
            const QString reason = post.value(QStringLiteral("reason")).toString();
            names.append(post.value(QStringLiteral("event")).toString() +
                         (reason.isEmpty() ? QString() : QLatin1Char(' ') + reason));
        }
        return names;
    }
    QJsonObject last(const QString& event) const
    {
        for (auto post = posts.crbegin(); post != posts.crend(); ++post) {
            if (post->value(QStringLiteral("event")).toString() == event) {
                return *post;
            }
        }
        return {};
    }

private:
    void read(QTcpSocket* socket)
    {
        if (!m_answers) {
            return;
        }
        QByteArray& request = m_requests[socket];
        request += socket->readAll();
        const qsizetype end = request.indexOf("\r\n\r\n");
        if (end < 0) {
            return;
        }
        qsizetype length = 0;
        for (const QByteArray& line : request.left(end).split('\n')) {
            if (line.toLower().startsWith("content-length:")) {
                length = line.mid(15).trimmed().toLongLong();
            }
        }
        if (request.size() < end + 4 + length) {
            return;
        }
        if (m_failures > 0) {
            --m_failures;
            socket->write("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n"
                          "Connection: close\r\n\r\n");
        } else {
            posts.append(QJsonDocument::fromJson(request.mid(end + 4, length)).object());
            socket->write("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
        }
        m_requests.remove(socket);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    bool m_answers;
    int m_failures;
    QHash<QTcpSocket*, QByteArray> m_requests;
};

quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

} // namespace

// garrisond watching garrison-sim, with a webhook that is told what happens. The daemon runs
// in this process, with a clock that the test sets to just before a daily restart.
class TestServerWatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        ::tzset();
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        AccountStore store(file("garrisond-accounts.json"));
        QString error;
        QVERIFY(store.load(&error));
        store.put(Account{QStringLiteral("alice"),
                          PasswordHash::create("alicepw", 1000),
                          {QStringLiteral("mp"), QStringLiteral("admin")}});
        QVERIFY(store.save(&error));
        m_offsetMs = 0;
    }
    void cleanup() { m_server.reset(); }

    // The back-off doubles from 1 s up to its longest; restarts older than ten minutes no
    // longer count, and one more than the limit within them gives up.
    void backoff_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("longest");
        QTest::addColumn<QList<int>>("crashAt"); // seconds
        QTest::addColumn<QList<int>>("waits");   // -1: gave up
        QTest::newRow("doubling to the longest")
            << 6 << 5 << QList<int>{0, 10, 20, 30, 40} << QList<int>{1, 2, 4, 5, 5};
        QTest::newRow("limit reached")
            << 2 << 60 << QList<int>{0, 5, 10, 15} << QList<int>{1, 2, -1, -1};
        QTest::newRow("old restarts drop out")
            << 2 << 60 << QList<int>{0, 300, 601, 605, 901} << QList<int>{1, 2, 2, -1, 2};
        QTest::newRow("never restart") << 0 << 60 << QList<int>{0} << QList<int>{-1};
    }
    void backoff()
    {
        QFETCH(int, limit);
        QFETCH(int, longest);
        QFETCH(QList<int>, crashAt);
        QFETCH(QList<int>, waits);
        CrashRestarts restarts;
        restarts.configure(limit, std::chrono::seconds(longest));
        const QDateTime start = QDateTime::currentDateTimeUtc();
        QList<int> got;
        for (const int at : crashAt) {
            const auto wait = restarts.restartAfterCrash(start.addSecs(at));
            got.append(wait ? int(wait->count()) : -1);
        }
        QCOMPARE(got, waits);
    }

    // The watch's whole evening: a killed server, a stopped one, the daily restart with its
    // warnings, a skipped one, an administrator's restart, and a server that keeps crashing.
    void keepsTheServerUpAndOnSchedule()
    {
        HookListener hook(true, 1);
        // The daemon's day begins at midnight, far from the restart at noon.
        const QDateTime day(QDate(2030, 6, 1), QTime(0, 0));
        setClockTo(day);
        startDaemon(hook.url(), "restart_times = 12:00\nrestart_warnings = 2s, 1s\n"
                                "announce = 1s ^2First news\nannounce = 1s ^5Second news\n");
        QSignalSpy warnings(m_server.get(), &DaemonServer::warning);
        Client alice(m_server->serverPort());
        QCOMPARE(alice.exchange("alice:alicepw-admin"), QByteArray("admin"));
        QCOMPARE(alice.exchange("getrconpass"), kRcon.toUtf8());
        alice.socket.write("startserver");
        QVERIFY(waitForNewServer(0));
        alice.socket.write("alice - pb_sv_kick 4 0 Teamkill  twice");
        QTRY_VERIFY_WITH_TIMEOUT(log().contains("Second news"), kWaitMs);
        QVERIFY(log().indexOf("First news") < log().indexOf("Second news"));

        // Killed: started again after 1 s, and the webhook hears of it.
        qint64 pid = m_server->gameServer().processId();
        QElapsedTimer sinceCrash;
        sinceCrash.start();
        QVERIFY(::kill(pid_t(pid), SIGKILL) == 0);
        QVERIFY(waitForNewServer(pid));
        const qint64 restartMs = sinceCrash.elapsed();
        qInfo("a killed server answered again %lld ms after the crash (back-off 1000 ms)",
              restartMs);
        QVERIFY2(restartMs < 1000 + 3000, qPrintable(QString::number(restartMs)));
        QTRY_VERIFY_WITH_TIMEOUT(!hook.last("crash").isEmpty(), kWaitMs);
        QCOMPARE(hook.last("crash").value("exit").toString(), QStringLiteral("signal 9 (Killed)"));
        QCOMPARE(hook.last("crash").value("restart_in").toInt(), 1);
        QCOMPARE(hook.last("crash").value("server").toString(), QStringLiteral("Test Server"));

        // Stopped: the status queries go unanswered, and it is taken for hung.
        pid = m_server->gameServer().processId();
        QVERIFY(::kill(pid_t(pid), SIGSTOP) == 0);
        QVERIFY(waitForNewServer(pid));
        QTRY_VERIFY_WITH_TIMEOUT(!hook.last("hang").isEmpty(), kWaitMs);
        QCOMPARE(hook.last("hang").value("misses").toInt(), 2);
        const QString checked = QStringLiteral("127.0.0.1:%1").arg(m_simPort);
        QCOMPARE(hook.last("hang").value("address").toString(), checked);
        QVERIFY(m_server->watch().stateText().contains(
            QStringLiteral("last_exit=no answer to 2 status queries at ") + checked));
        QVERIFY(auditText().contains(QStringLiteral("- - hang The game server did not answer 2 "
                                                    "status queries in a row at ") +
                                     checked));
        QVERIFY(std::any_of(warnings.cbegin(), warnings.cend(), [&checked](const auto& said) {
            return said.constFirst().toString().contains(checked);
        }));

        // The daily restart, three seconds ahead: both warnings come before it.
        pid = m_server->gameServer().processId();
        const qsizetype logBefore = log().size();
        setClockTo(day.addSecs(12 * 3600 - 3));
        QVERIFY(waitForNewServer(pid));
        const QByteArray restartLog = log().mid(logBefore);
        const qsizetype two = restartLog.indexOf("Console;^3Server restart in 2 seconds");
        const qsizetype one = restartLog.indexOf("Console;^3Server restart in 1 second\n");
        QVERIFY2(two >= 0 && one > two && restartLog.indexOf("InitGame", one) > one,
                 restartLog.constData());

        // Skipped: tomorrow's noon passes without warnings or a restart.
        const QByteArray skip = alice.exchange("skiprestart");
        QVERIFY2(skip.startsWith("SERVERSTATE\nstate=running\n"), skip.constData());
        QVERIFY2(skip.contains("\nskipped=2030-06-02T12:00:00Z\n") &&
                     skip.contains("\nnext_restart=2030-06-03T12:00:00Z\n") &&
                     skip.endsWith("\nnote=The next daily restart is skipped."),
                 skip.constData());
        pid = m_server->gameServer().processId();
        const qsizetype logBeforeSkipped = log().size();
        setClockTo(day.addDays(1).addSecs(12 * 3600 - 3));
        QTRY_VERIFY_WITH_TIMEOUT(!m_server->watch().stateText().contains("skipped="), kWaitMs);
        QCOMPARE(m_server->gameServer().processId(), pid);
        QVERIFY(!log().mid(logBeforeSkipped).contains("Server restart"));
        // Nobody was warned of it: nothing is cancelled.
        QVERIFY(!log().mid(logBeforeSkipped).contains("cancelled"));

        // An administrator's restart: the last warning, then the restart.
        const QByteArray now = alice.exchange("restartnow");
        QVERIFY2(now.endsWith("\nnote=The players are warned; the game server restarts in 1 s."),
                 now.constData());
        QVERIFY(waitForNewServer(pid));
        QVERIFY(log().mid(logBeforeSkipped).contains("Console;^3Server restart in 1 second\n"));
        QTRY_COMPARE_WITH_TIMEOUT(hook.last("restart").value("who").toString(),
                                  QStringLiteral("alice/admin"), kWaitMs);

        // Crashing again and again: after two restarts within ten minutes, the watch gives up.
        pid = m_server->gameServer().processId();
        rcon("sim_crash 3");
        QVERIFY(waitForNewServer(pid));
        pid = m_server->gameServer().processId();
        QVERIFY(::kill(pid_t(pid), SIGKILL) == 0);
        QVERIFY(waitForNewServer(pid));
        warnings.clear();
        QVERIFY(::kill(pid_t(m_server->gameServer().processId()), SIGKILL) == 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->watch().state(), ServerWatch::State::GaveUp, kWaitMs);
        QVERIFY(warnings.size() >= 2);
        QVERIFY(warnings.constLast().constFirst().toString().startsWith(
            QStringLiteral("garrisond gave up on the game server: 2 restarts within 10 minutes")));
        QTRY_VERIFY_WITH_TIMEOUT(!hook.last("gave-up").isEmpty(), kWaitMs);
        // Whether a server started again answered a health query before the next blow is a
        // matter of timing here; reportsTheServerBackUp checks those posts.
        // A kick may wait behind the watch's notifications, which go first.
        QStringList posted = hook.events(QStringLiteral("recovered"));
        QCOMPARE(posted.removeAll(QStringLiteral("kick")), 1);
        QCOMPARE(posted,
                 QStringList({"login", "crash", "hang", "restart scheduled",
                              "restart administrator", "crash", "crash", "crash", "gave-up"}));
        QCOMPARE(hook.last("kick").value("whom").toString(), QStringLiteral("PunkBuster slot 4"));
        QCOMPARE(hook.last("kick").value("why").toString(), QStringLiteral("Teamkill  twice"));
        QVERIFY(hook.postsWithout(QStringLiteral("recovered"))
                    .at(6)
                    .value("text")
                    .toString()
                    .contains("exit status 3"));
        QVERIFY(hook.last("crash").value("restart_in").isNull());
        const QByteArray state = alice.exchange("serverstate");
        QVERIFY2(state.contains("\nstate=gave-up\n") && state.contains("\nrestarts_today=3\n"),
                 state.constData());

        // "startserver" takes it up again.
        alice.socket.write("startserver");
        QVERIFY(waitForNewServer(0));
        QCOMPARE(m_server->watch().state(), ServerWatch::State::Running);
        const QString audit = auditText();
        for (const char* event : {"alice/admin skiprestart", "alice/admin restartnow", "- - crash",
                                  "- - hang", "- - gave-up", "- - restart"}) {
            QVERIFY2(audit.contains(QLatin1String(event)), event);
        }
    }

    // Players who heard that the server restarts soon are told when an administrator skips it.
    void tellsThePlayersOfACancelledRestart()
    {
        HookListener hook(true);
        const QDateTime day(QDate(2030, 6, 1), QTime(0, 0));
        setClockTo(day);
        startDaemon(hook.url(), "restart_times = 12:00\nrestart_warnings = 2s, 1s\n");
        Client alice(m_server->serverPort());
        logIn(alice);
        alice.socket.write("startserver");
        QVERIFY(waitForNewServer(0));
        const qint64 pid = m_server->gameServer().processId();
        setClockTo(day.addSecs(12 * 3600).addMSecs(-2500));
        QTRY_VERIFY_WITH_TIMEOUT(log().contains("Console;^3Server restart in 2 seconds"), kWaitMs);
        QVERIFY(alice.exchange("skiprestart").contains("\nskipped=2030-06-01T12:00:00Z\n"));
        QTRY_VERIFY_WITH_TIMEOUT(log().contains("Console;^3The server restart is cancelled\n"),
                                 kWaitMs);
        // Noon passes without the last warning or the restart.
        QTRY_VERIFY_WITH_TIMEOUT(!m_server->watch().stateText().contains("skipped="), kWaitMs);
        QCOMPARE(m_server->gameServer().processId(), pid);
        QVERIFY(!log().contains("restart in 1 second"));
    }

    // A skipped restart stays skipped when garrisond restarts before its time; a skip whose
    // time has passed is forgotten.
    void keepsASkipAcrossRestarts_data()
    {
        QTest::addColumn<int>("restartedAt"); // seconds after midnight
        QTest::addColumn<bool>("kept");
        QTest::newRow("restarted before the skipped time") << 11 * 3600 + 1800 << true;
        QTest::newRow("restarted after it") << 12 * 3600 + 1800 << false;
    }
    void keepsASkipAcrossRestarts()
    {
        QFETCH(int, restartedAt);
        QFETCH(bool, kept);
        HookListener hook(true);
        const QDateTime day(QDate(2030, 6, 1), QTime(0, 0));
        setClockTo(day.addSecs(11 * 3600));
        startDaemon(hook.url(), "restart_times = 12:00\n");
        {
            Client alice(m_server->serverPort());
            logIn(alice);
            QVERIFY(alice.exchange("skiprestart").contains("\nskipped=2030-06-01T12:00:00Z\n"));
        }
        const QString state = file("garrisond-state.json");
        QCOMPARE(QFile::permissions(state) &
                     ~(QFile::ReadUser | QFile::WriteUser | QFile::ReadOwner | QFile::WriteOwner),
                 QFile::Permissions());
        m_server.reset();
        setClockTo(day.addSecs(restartedAt));
        startDaemon(hook.url(), "restart_times = 12:00\n");
        const QString text = m_server->watch().stateText();
        QCOMPARE(text.contains(QStringLiteral("\nskipped=2030-06-01T12:00:00Z")), kept);
        QVERIFY2(text.contains(QStringLiteral("\nnext_restart=2030-06-02T12:00:00Z\n")),
                 qPrintable(text));
    }

    // A server started again after a crash is reported back up: when it answers a health
    // query, or without health checks once it has run a few seconds.
    void reportsTheServerBackUp_data()
    {
        garrison::test::addTextRows(
            {"setting", "says"},
            {{"health checks", "health_interval = 1s", "it answered at 127.0.0.1:"},
             {"no health checks", "health_interval = 0s", "it has run for 5 seconds"}});
    }
    void reportsTheServerBackUp()
    {
        QFETCH(QString, setting);
        QFETCH(QString, says);
        HookListener hook(true);
        startDaemon(hook.url(), setting.toUtf8() + '\n');
        Client alice(m_server->serverPort());
        logIn(alice);
        alice.socket.write("startserver");
        QVERIFY(waitForNewServer(0));
        const qint64 pid = m_server->gameServer().processId();
        QVERIFY(::kill(pid_t(pid), SIGKILL) == 0);
        QVERIFY(waitForNewServer(pid));
        QTRY_VERIFY_WITH_TIMEOUT(!hook.last("recovered").isEmpty(),
                                 ServerWatch::kRecoveredAfterMs + kWaitMs);
        QCOMPARE(hook.events(), QStringList({"login", "crash", "recovered"}));
        const QJsonObject back = hook.last("recovered");
        QVERIFY2(back.value("text").toString().startsWith(
                     QStringLiteral("The game server is back up: ") + says),
                 qPrintable(back.value("text").toString()));
        QVERIFY(back.value("down").toInt() >= 1);
        QVERIFY(auditText().contains(QStringLiteral("- - recovered The game server is back up")));
    }

    // An administrator's login is posted when a person made it, at GARRISON, and not for each
    // call of garrison-rcon, which says what it is after the RCON password; unless
    // notify_logins says otherwise. The kick that follows shows that nothing more is coming.
    void notifiesLogins_data()
    {
        garrison::test::addTextRows(
            {"setting", "client", "posted"},
            {{"GARRISON", "", "garrison", "login kick"},
             {"GARRISON, silent after the password", "", "garrison silent", "login kick"},
             {"garrison-rcon", "", "garrison-rcon", "kick"},
             {"garrison-rcon, all", "notify_logins = all", "garrison-rcon", "login kick"},
             {"GARRISON, none", "notify_logins = none", "garrison", "kick"}});
    }
    void notifiesLogins()
    {
        QFETCH(QString, setting);
        QFETCH(QString, client);
        QFETCH(QString, posted);
        HookListener hook(true);
        startDaemon(hook.url(), setting.toUtf8() + '\n');
        Client alice(m_server->serverPort());
        logIn(alice);
        if (client == QLatin1String("garrison-rcon")) {
            alice.socket.write("client garrison-rcon");
        } else if (client == QLatin1String("garrison silent")) {
            QTRY_VERIFY_WITH_TIMEOUT(!hook.last("login").isEmpty(), kWaitMs);
        }
        alice.socket.write("alice - kick Bob");
        QTRY_VERIFY_WITH_TIMEOUT(!hook.last("kick").isEmpty(), kWaitMs);
        QCOMPARE(hook.events().join(u' '), posted);
    }

    // The game server's port given only in its command line: garrisond says at start where
    // its health checks go, and they reach the server, which stays up through many of them
    // (a guessed port would have it stopped as hung after two).
    void checksThePortOfTheServerCommand()
    {
        m_simPort = freeUdpPort();
        QFile config(file("garrisond.conf"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("rcon_password = " + kRcon.toUtf8() + "\nserver_command = " + simCommand() +
                     "\nserver_autostart = true\nhealth_interval = 1s\nhealth_misses = 2\n"
                     "allow_plaintext = true\n");
        config.close();
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const QString daemonPort = QString::number(probe.serverPort());
        probe.close();
        QProcess daemon;
        daemon.start(GARRISOND_PATH, {"--config", file("garrisond.conf"), "--port", daemonPort});
        const auto stop = qScopeGuard([&daemon] {
            daemon.terminate();
            daemon.waitForFinished(kWaitMs);
        });
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += daemon.readAllStandardError()).contains("every"),
                                 kWaitMs);
        QVERIFY2(said.contains("health checks of the game server at 127.0.0.1:" +
                               QByteArray::number(m_simPort) + " (port of server_command)"),
                 said.constData());
        const auto checks = [this] { return log().count(": status\n"); };
        QTRY_VERIFY_WITH_TIMEOUT(checks() >= 5, 5 * 1000 + kWaitMs);
        said += daemon.readAllStandardError();
        QVERIFY2(!said.contains("did not answer"), said.constData());
        QCOMPARE(auditText().count(QStringLiteral(" server-started ")), 1);
        QCOMPARE(daemon.state(), QProcess::Running);
    }

    // A webhook that never answers or refuses to connect costs the daemon nothing: logins are
    // answered as fast as before, and what cannot be sent is dropped, not hoarded.
    void deadWebhooksDoNotSlowTheDaemon_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::newRow("never answers") << true;
        QTest::newRow("refuses") << false;
    }
    void deadWebhooksDoNotSlowTheDaemon()
    {
        QFETCH(bool, listening);
        HookListener silent(false);
        QUrl url = silent.url();
        if (!listening) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            url.setPort(closed.serverPort());
        }
        startDaemon(url, "max_sessions_per_account = 100\n");
        QSignalSpy warnings(m_server.get(), &DaemonServer::warning);
        Client alice(m_server->serverPort());
        QCOMPARE(alice.exchange("alice:alicepw-admin"), QByteArray("admin"));
        QByteArray kicks;
        for (int n = 0; n < 300; ++n) {
            kicks += "alice - clientkick " + QByteArray::number(n % 18);
        }
        alice.socket.write(kicks);
        QTRY_VERIFY_WITH_TIMEOUT(auditText().count(QStringLiteral("clientkick")) >= 10, kWaitMs);
        qint64 slowest = 0;
        for (int n = 0; n < 20; ++n) {
            QElapsedTimer login;
            login.start();
            QCOMPARE(Client(m_server->serverPort()).exchange("alice:alicepw-mp"), QByteArray("mp"));
            slowest = std::max(slowest, login.elapsed());
        }
        qInfo("slowest of 20 logins with a dead webhook: %lld ms", slowest);
        QVERIFY2(slowest < 100, qPrintable(QString::number(slowest)));
        QTRY_VERIFY_WITH_TIMEOUT(!warnings.isEmpty(), kWaitMs);
        QVERIFY2(warnings.constFirst().constFirst().toString().contains(
                     QStringLiteral("does not keep up")),
                 qPrintable(warnings.constFirst().constFirst().toString()));
        // Nothing of the webhook's address but where it is.
        QVERIFY(!warnings.constFirst().constFirst().toString().contains(QStringLiteral("token")));
    }

private:
    QString file(const char* name) const { return m_dir->filePath(QLatin1String(name)); }
    void setClockTo(const QDateTime& at)
    {
        m_offsetMs = QDateTime::currentDateTimeUtc().msecsTo(at);
        if (m_server) {
            m_server->setClock([this] { return clock(); });
        }
    }
    QDateTime clock() const { return QDateTime::currentDateTimeUtc().addMSecs(m_offsetMs); }
    void startDaemon(const QUrl& hook, const QByteArray& extra = QByteArray())
    {
        m_simPort = freeUdpPort();
        QFile config(file("garrisond.conf"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("rcon_password = " + kRcon.toUtf8() + "\npbkdf2_iterations = 1000\n" +
                     "server_command = " + simCommand() +
                     "\nserver_port = " + QByteArray::number(m_simPort) +
                     "\nhealth_interval = 1s\nhealth_misses = 2\nrestart_limit = 2\n"
                     "restart_backoff_max = 1s\nserver_name = Test Server\nwebhook_format = json\n"
                     "allow_plaintext = true\n"
                     "webhook_url = " +
                     hook.toEncoded() + '\n' + extra);
        config.close();
        DaemonConfig loaded;
        QString error;
        QVERIFY2(DaemonConfig::load(file("garrisond.conf"), &loaded, &error), qPrintable(error));
        m_server = std::make_unique<DaemonServer>(loaded);
        m_server->setClock([this] { return clock(); });
        QVERIFY2(m_server->start(QHostAddress::LocalHost, 0), qPrintable(m_server->errorString()));
    }
    // As GARRISON and garrison-rcon do: alice/admin, then the RCON password.
    static void logIn(Client& client)
    {
        QCOMPARE(client.exchange("alice:alicepw-admin"), QByteArray("admin"));
        QCOMPARE(client.exchange("getrconpass"), kRcon.toUtf8());
    }
    QByteArray simCommand() const
    {
        return GARRISON_SIM_PROGRAM " --port " + QByteArray::number(m_simPort) + " --password " +
               kRcon.toUtf8() + " --tick-ms 0 --players 2 --log " + file("games_mp.log").toUtf8();
    }
    // The game server answers on its port.
    bool answers()
    {
        QUdpSocket probe;
        probe.writeDatagram(RconChannel::request(kRcon, QStringLiteral("status")),
                            QHostAddress(QHostAddress::LocalHost), m_simPort);
        return QTest::qWaitFor([&probe] { return probe.hasPendingDatagrams(); }, 200);
    }
    void rcon(const QString& command)
    {
        QUdpSocket().writeDatagram(RconChannel::request(kRcon, command),
                                   QHostAddress(QHostAddress::LocalHost), m_simPort);
    }
    // A game server other than process `old` runs and answers.
    bool waitForNewServer(qint64 old)
    {
        for (QDeadlineTimer deadline(kWaitMs); !deadline.hasExpired();) {
            const qint64 pid = m_server->gameServer().processId();
            if (pid != 0 && pid != old && answers()) {
                return true;
            }
            QTest::qWait(20);
        }
        return false;
    }
    QByteArray log() const
    {
        QFile game(file("games_mp.log"));
        return game.open(QIODevice::ReadOnly) ? game.readAll() : QByteArray();
    }
    QString auditText() const
    {
        QFile audit(file("garrisond-audit.log"));
        return audit.open(QIODevice::ReadOnly) ? QString::fromUtf8(audit.readAll()) : QString();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<DaemonServer> m_server;
    qint64 m_offsetMs = 0;
    quint16 m_simPort = 0;
};

GARRISON_TEST_GUILESS_MAIN(TestServerWatch)
#include "TestServerWatch.moc"
