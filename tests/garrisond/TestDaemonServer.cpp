#include "AccountStore.h"
#include "ClientSession.h"
#include "DaemonConfig.h"
#include "DaemonServer.h"
#include "PasswordHash.h"
#include "TestMain.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>

using namespace garrisond;

namespace {

constexpr int kWaitMs = 5000;
const QByteArray kRcon = "r\xe9mote"; // Windows-1252 on the wire

// A client that talks to the daemon the way GARRISON does: one write per message. The daemon
// runs in this thread, so every wait runs the event loop.
class Client {
public:
    explicit Client(quint16 port, const QString& from = QString())
    {
        if (!from.isEmpty()) {
            m_socket.bind(QHostAddress(from), 0);
        }
        QSignalSpy connected(&m_socket, &QTcpSocket::connected);
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        m_connected = connected.wait(kWaitMs);
    }
    bool connected() const { return m_connected; }
    void send(const QByteArray& message) { m_socket.write(message); }
    // The next message from the daemon, or an empty one if none came in time.
    QByteArray next()
    {
        if (m_socket.bytesAvailable() == 0) {
            QSignalSpy readyRead(&m_socket, &QTcpSocket::readyRead);
            readyRead.wait(kWaitMs);
        }
        return m_socket.readAll();
    }
    QByteArray exchange(const QByteArray& message)
    {
        send(message);
        return next();
    }
    bool waitClosed()
    {
        QDeadlineTimer deadline(kWaitMs);
        while (m_socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired()) {
            QSignalSpy disconnected(&m_socket, &QTcpSocket::disconnected);
            disconnected.wait(50);
        }
        return m_socket.state() == QAbstractSocket::UnconnectedState;
    }
    QTcpSocket& socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    bool m_connected = false;
};

} // namespace

class TestDaemonServer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void answersLogins_data();
    void answersLogins();
    void refusesRequestsBeforeLogin_data();
    void refusesRequestsBeforeLogin();
    void answersRequestsAfterLogin();
    void locksOutAfterFiveFailures();
    void lockOutIsPerAddress();
    void recordsEchoedCommands();
    void closesOnlyTheOffendingConnection_data();
    void closesOnlyTheOffendingConnection();
    void servesTwoClientsAtOnce();
    void startsTheGameServerOnce();
    void announcesNewAccounts();
    void announcesANewRconPassword();
    void holdsNoticesUntilThePasswordIsSent();
    void closesSessionsOfRemovedAccounts();
    void limitsConnections();
    void dropsClientsThatDoNotLogIn();

private:
    QString file(const QString& name) const { return m_dir->filePath(name); }
    void writeConfig(const QByteArray& extra = QByteArray());
    void addAccount(const QString& name, const QString& password, const QStringList& levels);
    void startServer();
    QStringList auditLines() const;
    // Logs in as alice/admin and fetches the RCON password, as GARRISON does.
    void logIn(Client& client);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<DaemonServer> m_server;
    QDateTime m_now;
};

void TestDaemonServer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_now = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    QFile log(file(QStringLiteral("games_mp.log")));
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("0:00 InitGame\n0:05 J;123;0;Bob\n");
    log.close();
    writeConfig();
    addAccount(QStringLiteral("alice"), QStringLiteral("pa:ss-word"),
               {QStringLiteral("mp"), QStringLiteral("admin")});
    addAccount(QStringLiteral("bob"), QStringLiteral("bobpw"), {QStringLiteral("poweradmin")});
}

void TestDaemonServer::cleanup()
{
    m_server.reset();
    m_dir.reset();
}

void TestDaemonServer::writeConfig(const QByteArray& extra)
{
    QFile config(file(QStringLiteral("garrisond.conf")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("rcon_password = " + QString::fromLatin1(kRcon).toUtf8() +
                 "\n"
                 "game_log = games_mp.log\n"
                 "pbkdf2_iterations = 1000\n"
                 "lockout_seconds = 300\n"
                 "server_command = /bin/sleep 60\n" +
                 extra);
}

void TestDaemonServer::addAccount(const QString& name, const QString& password,
                                  const QStringList& levels)
{
    AccountStore store(file(QStringLiteral("garrisond-accounts.json")));
    QString error;
    QVERIFY(store.load(&error));
    store.put(Account{name, PasswordHash::create(password, 1000), levels});
    QVERIFY2(store.save(&error), qPrintable(error));
}

void TestDaemonServer::startServer()
{
    DaemonConfig config;
    QString error;
    QVERIFY2(DaemonConfig::load(file(QStringLiteral("garrisond.conf")), &config, &error),
             qPrintable(error));
    m_server = std::make_unique<DaemonServer>(config);
    m_server->setClock([this] { return m_now; });
    QVERIFY2(m_server->start(QHostAddress::LocalHost, 0), qPrintable(m_server->errorString()));
    m_server->watchFiles();
}

QStringList TestDaemonServer::auditLines() const
{
    QFile audit(file(QStringLiteral("garrisond-audit.log")));
    if (!audit.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(audit.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestDaemonServer::logIn(Client& client)
{
    QVERIFY(client.connected());
    QCOMPARE(client.exchange("alice:pa:ss-word-admin"), QByteArray("admin"));
    QCOMPARE(client.exchange("getrconpass"), kRcon);
}

void TestDaemonServer::answersLogins_data()
{
    QTest::addColumn<QByteArray>("login");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("granted mp") << QByteArray("alice:pa:ss-word-mp") << QByteArray("mp");
    QTest::newRow("granted admin") << QByteArray("alice:pa:ss-word-admin") << QByteArray("admin");
    QTest::newRow("granted poweradmin")
        << QByteArray("bob:bobpw-poweradmin") << QByteArray("poweradmin");
    QTest::newRow("level not allowed") << QByteArray("alice:pa:ss-word-poweradmin") << QByteArray();
    QTest::newRow("wrong password") << QByteArray("alice:pa:ss-wort-admin") << QByteArray();
    QTest::newRow("unknown user") << QByteArray("carol:pa:ss-word-admin") << QByteArray();
    QTest::newRow("name case differs") << QByteArray("Alice:pa:ss-word-admin") << QByteArray();
    QTest::newRow("level case differs") << QByteArray("alice:pa:ss-word-Admin") << QByteArray();
    QTest::newRow("level with a blank") << QByteArray("alice:pa:ss-word-admin ") << QByteArray();
    QTest::newRow("malformed") << QByteArray("alice") << QByteArray();
}

void TestDaemonServer::answersLogins()
{
    QFETCH(QByteArray, login);
    QFETCH(QByteArray, answer);
    startServer();
    Client client(m_server->serverPort());
    QVERIFY(client.connected());
    const QByteArray reply = client.exchange(login);
    if (answer.isEmpty()) {
        // A refusal must not be mistaken for a level word or a notice by the client.
        QVERIFY(!reply.isEmpty());
        QVERIFY(!AccountStore::isLevel(QString::fromLatin1(reply)));
        QVERIFY(!reply.startsWith("ADDUSER") && !reply.startsWith("CHANGERCON"));
        QCOMPARE(client.exchange("getrconpass"), QByteArray("DENIED Log in first"));
    } else {
        QCOMPARE(reply, answer);
    }
}

void TestDaemonServer::refusesRequestsBeforeLogin_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("getrconpass") << QByteArray("getrconpass");
    QTest::newRow("getlog") << QByteArray("getlog");
    QTest::newRow("startserver") << QByteArray("startserver");
    QTest::newRow("after a refused login") << QByteArray("alice:wrong-admin|getrconpass");
}

void TestDaemonServer::refusesRequestsBeforeLogin()
{
    QFETCH(QByteArray, request);
    startServer();
    Client client(m_server->serverPort());
    QVERIFY(client.connected());
    const QList<QByteArray> messages = request.split('|');
    for (qsizetype i = 0; i + 1 < messages.size(); ++i) {
        QVERIFY(!client.exchange(messages.at(i)).isEmpty());
    }
    const QByteArray reply = client.exchange(messages.constLast());
    QVERIFY(reply.startsWith("DENIED"));
    QVERIFY(!reply.contains(kRcon));
    QVERIFY(!m_server->gameServer().isRunning());
}

void TestDaemonServer::answersRequestsAfterLogin()
{
    startServer();
    Client client(m_server->serverPort());
    logIn(client);
    QCOMPARE(client.exchange("getlog"), QByteArray("0:00 InitGame\r\n0:05 J;123;0;Bob\r\n"));
}

void TestDaemonServer::locksOutAfterFiveFailures()
{
    startServer();
    Client client(m_server->serverPort());
    QVERIFY(client.connected());
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(client.exchange("alice:guess-admin"),
                 QByteArray("DENIED Wrong user name, password or level"));
    }
    const QByteArray locked = client.exchange("alice:guess-admin");
    QVERIFY(locked.startsWith("DENIED Too many failed logins"));

    // The right password does not help while locked, not even on a new connection.
    Client again(m_server->serverPort());
    QCOMPARE(again.exchange("alice:pa:ss-word-admin"), locked);

    m_now = m_now.addSecs(300);
    QCOMPARE(again.exchange("alice:pa:ss-word-admin"), QByteArray("admin"));
}

void TestDaemonServer::lockOutIsPerAddress()
{
    startServer();
    Client other(m_server->serverPort(), QStringLiteral("127.0.0.2"));
    QVERIFY(other.connected());
    for (int i = 0; i < 5; ++i) {
        QVERIFY(other.exchange("alice:guess-admin").startsWith("DENIED"));
    }
    QVERIFY(other.exchange("alice:pa:ss-word-admin").startsWith("DENIED Too many"));
    Client client(m_server->serverPort());
    QCOMPARE(client.exchange("alice:pa:ss-word-admin"), QByteArray("admin"));
}

void TestDaemonServer::recordsEchoedCommands()
{
    startServer();
    Client client(m_server->serverPort());
    logIn(client);
    client.send("alice - kick Bob");
    QTRY_VERIFY_WITH_TIMEOUT(!auditLines().filter(QStringLiteral(" command ")).isEmpty(), kWaitMs);
    m_now = m_now.addSecs(1);
    client.send("alice - say one\ntwo");
    QTRY_COMPARE_WITH_TIMEOUT(auditLines().filter(QStringLiteral(" command ")).size(), 2, kWaitMs);

    const QStringList commands = auditLines().filter(QStringLiteral(" command "));
    QCOMPARE(commands.at(0),
             QStringLiteral("2023-11-14T22:13:20.000Z 127.0.0.1 alice/admin command kick Bob"));
    QCOMPARE(commands.at(1), QStringLiteral("2023-11-14T22:13:21.000Z 127.0.0.1 alice/admin "
                                            "command say one\\x0atwo"));
    // Logins and requests are on record too, and no password is.
    const QString all = auditLines().join(QLatin1Char('\n'));
    QVERIFY(all.contains(QStringLiteral("127.0.0.1 alice/admin login")));
    QVERIFY(all.contains(QStringLiteral("127.0.0.1 alice/admin getrconpass")));
    QVERIFY(!all.contains(QStringLiteral("pa:ss-word")));
}

void TestDaemonServer::closesOnlyTheOffendingConnection_data()
{
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("over 64 KiB before login") << false << QByteArray(64 * 1024 + 1, 'A');
    QTest::newRow("1 MiB before login") << false << QByteArray(1024 * 1024, 'x');
    QTest::newRow("over 64 KiB in session")
        << true << QByteArray("alice - say ") + QByteArray(256 * 1024, 'A');
    QTest::newRow("NUL byte before login") << false << QByteArray("alice\0:pw-mp", 12);
    QTest::newRow("binary in session") << true << QByteArray("\x01\x02\xff\xfe\x1b[2J", 8);
    QTest::newRow("escape in an echo") << true << QByteArray("alice - say \x1b[31m");
}

void TestDaemonServer::closesOnlyTheOffendingConnection()
{
    QFETCH(bool, loggedIn);
    QFETCH(QByteArray, message);
    startServer();
    Client bystander(m_server->serverPort());
    logIn(bystander);
    Client offender(m_server->serverPort());
    if (loggedIn) {
        logIn(offender);
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_server->sessionCount(), 2, kWaitMs);

    offender.send(message);
    QVERIFY(offender.waitClosed());
    QTRY_COMPARE_WITH_TIMEOUT(m_server->sessionCount(), 1, kWaitMs);
    QCOMPARE(bystander.exchange("getrconpass"), kRcon);
    Client newcomer(m_server->serverPort());
    QCOMPARE(newcomer.exchange("bob:bobpw-poweradmin"), QByteArray("poweradmin"));
}

void TestDaemonServer::servesTwoClientsAtOnce()
{
    startServer();
    Client first(m_server->serverPort());
    Client second(m_server->serverPort());
    QVERIFY(first.connected() && second.connected());
    first.send("alice:pa:ss-word-mp");
    second.send("bob:bobpw-poweradmin");
    QCOMPARE(second.next(), QByteArray("poweradmin"));
    QCOMPARE(first.next(), QByteArray("mp"));
    QCOMPARE(second.exchange("getrconpass"), kRcon);
    QCOMPARE(first.exchange("getrconpass"), kRcon);
    first.send("alice - status");
    second.send("bob - map_restart");
    QTRY_COMPARE_WITH_TIMEOUT(auditLines().filter(QStringLiteral(" command ")).size(), 2, kWaitMs);
    const QString all = auditLines().join(QLatin1Char('\n'));
    QVERIFY(all.contains(QStringLiteral("alice/mp command status")));
    QVERIFY(all.contains(QStringLiteral("bob/poweradmin command map_restart")));
}

void TestDaemonServer::startsTheGameServerOnce()
{
    startServer();
    QSignalSpy started(&m_server->gameServer(), &GameServerProcess::started);
    Client client(m_server->serverPort());
    logIn(client);
    client.send("startserver");
    QTRY_VERIFY_WITH_TIMEOUT(m_server->gameServer().isRunning(), kWaitMs);
    client.send("startserver");
    QTRY_COMPARE_WITH_TIMEOUT(auditLines().filter(QStringLiteral("startserver")).size(), 2,
                              kWaitMs);
    QCOMPARE(started.size(), 1);
    QVERIFY(auditLines().constLast().endsWith(QStringLiteral("startserver already running")));
    // No answer: the client could take one for an awaited log.
    QCOMPARE(client.socket().bytesAvailable(), 0);

    m_server->gameServer().stop(1000);
    QVERIFY(!m_server->gameServer().isRunning());
    client.send("startserver");
    QTRY_COMPARE_WITH_TIMEOUT(started.size(), 2, kWaitMs);
    m_server->gameServer().stop(1000);
}

void TestDaemonServer::announcesNewAccounts()
{
    startServer();
    Client member(m_server->serverPort());
    logIn(member);
    Client stranger(m_server->serverPort());
    QVERIFY(stranger.connected());

    addAccount(QStringLiteral("carol"), QStringLiteral("c"), {QStringLiteral("mp")});
    const QByteArray notice = member.next();
    QVERIFY2(notice.startsWith("ADDUSER "), notice.constData());
    QVERIFY(notice.contains("carol"));
    QVERIFY(!notice.contains("\"c\""));
    // Only logged-in clients hear about accounts.
    QCOMPARE(stranger.socket().bytesAvailable(), 0);
    Client carol(m_server->serverPort());
    QCOMPARE(carol.exchange("carol:c-mp"), QByteArray("mp"));
}

void TestDaemonServer::announcesANewRconPassword()
{
    startServer();
    Client client(m_server->serverPort());
    logIn(client);
    QString error;
    QVERIFY(DaemonConfig::writeRconPassword(file(QStringLiteral("garrisond.conf")),
                                            QStringLiteral("fresh"), &error));
    const QByteArray notice = client.next();
    QVERIFY2(notice.startsWith("CHANGERCON "), notice.constData());
    QVERIFY(!notice.contains("fresh"));
    QCOMPARE(client.exchange("getrconpass"), QByteArray("fresh"));
}

void TestDaemonServer::holdsNoticesUntilThePasswordIsSent()
{
    startServer();
    Client client(m_server->serverPort());
    QCOMPARE(client.exchange("alice:pa:ss-word-admin"), QByteArray("admin"));
    addAccount(QStringLiteral("dave"), QStringLiteral("d"), {QStringLiteral("mp")});
    QSignalSpy reloaded(m_server.get(), &DaemonServer::reloaded);
    QVERIFY(reloaded.wait(kWaitMs));
    // The client takes the message after the level answer as the RCON password, however long
    // it takes to ask for it.
    QSignalSpy early(&client.socket(), &QTcpSocket::readyRead);
    QVERIFY(!early.wait(ClientSession::kNoticeGapMs + 500));
    QCOMPARE(client.exchange("getrconpass"), kRcon);
    QVERIFY(client.next().startsWith("ADDUSER "));
}

void TestDaemonServer::closesSessionsOfRemovedAccounts()
{
    startServer();
    Client client(m_server->serverPort());
    logIn(client);
    AccountStore store(file(QStringLiteral("garrisond-accounts.json")));
    QString error;
    QVERIFY(store.load(&error));
    QVERIFY(store.remove(QStringLiteral("alice")));
    QVERIFY(store.save(&error));
    QVERIFY(client.waitClosed());
    QTRY_COMPARE_WITH_TIMEOUT(m_server->sessionCount(), 0, kWaitMs);
}

void TestDaemonServer::limitsConnections()
{
    writeConfig("max_clients = 1\n");
    startServer();
    Client first(m_server->serverPort());
    QTRY_COMPARE_WITH_TIMEOUT(m_server->sessionCount(), 1, kWaitMs);
    Client second(m_server->serverPort());
    QCOMPARE(second.next(), QByteArray("DENIED Too many connections"));
    QVERIFY(second.waitClosed());
    QCOMPARE(first.exchange("bob:bobpw-poweradmin"), QByteArray("poweradmin"));
}

void TestDaemonServer::dropsClientsThatDoNotLogIn()
{
    writeConfig("login_timeout_seconds = 1\n");
    startServer();
    Client idle(m_server->serverPort());
    Client member(m_server->serverPort());
    logIn(member);
    QVERIFY(idle.waitClosed());
    QCOMPARE(member.exchange("getrconpass"), kRcon);
}

GARRISON_TEST_GUILESS_MAIN(TestDaemonServer)
#include "TestDaemonServer.moc"
