#include "AccountStore.h"
#include "ActivitySummary.h"
#include "ClientSession.h"
#include "DaemonConfig.h"
#include "DaemonMessage.h"
#include "DaemonServer.h"
#include "PasswordHash.h"
#include "TestMain.h"
#include "TextRows.h"
#include "TlsIdentity.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QSignalSpy>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <functional>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace garrisond;

namespace {

constexpr int kWaitMs = 5000;
const QByteArray kRcon = "r\xe9mote"; // Windows-1252 on the wire
const QByteArray kWrongBob = "bob:guess-poweradmin";

// A client that talks to the daemon the way GARRISON does: TLS, one write per message. The
// daemon runs in this thread, so every wait runs the event loop.
struct Client {
    enum class Link { Tls, Plain };
    explicit Client(quint16 port, const QString& from = QString(), Link link = Link::Tls)
    {
        if (!from.isEmpty()) {
            socket.bind(QHostAddress(from), 0);
        }
        if (link == Link::Plain) {
            QSignalSpy connected(&socket, &QSslSocket::connected);
            socket.connectToHost(QHostAddress::LocalHost, port);
            connected.wait(kWaitMs);
            return;
        }
        socket.setPeerVerifyMode(QSslSocket::VerifyNone);
        QSignalSpy encrypted(&socket, &QSslSocket::encrypted);
        socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
        encrypted.wait(kWaitMs);
    }
    bool connected() const { return socket.state() == QAbstractSocket::ConnectedState; }
    void send(const QByteArray& message) { socket.write(message); }
    // The next message from the daemon, or an empty one if none came in time.
    QByteArray next()
    {
        if (socket.bytesAvailable() == 0) {
            QSignalSpy(&socket, &QTcpSocket::readyRead).wait(kWaitMs);
        }
        return socket.readAll();
    }
    QByteArray exchange(const QByteArray& message)
    {
        send(message);
        return next();
    }
    bool waitClosed()
    {
        return QTest::qWaitFor(
            [this] { return socket.state() == QAbstractSocket::UnconnectedState; }, kWaitMs);
    }
    QSslSocket socket;
};

// Runs the event loop in steps of `stepMs` until `done` holds or `ms` passed.
template <typename Done> bool waitUntil(Done done, int ms = kWaitMs, int stepMs = 1)
{
    for (QDeadlineTimer deadline(ms); !done() && !deadline.hasExpired();) {
        QTest::qWait(stepMs);
    }
    return done();
}

} // namespace

// The security checks bound what an attacker gets: bytes in the audit log, guesses,
// milliseconds, lost accounts, open descriptors.
class TestDaemonServer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_now = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        writeFile("games_mp.log", "0:00 InitGame\n0:05 J;123;0;Bob\n");
        writeConfig();
        addAccount("alice", "pa:ss-word", {"mp", "admin"});
        addAccount("bob", "bobpw", {"poweradmin"});
    }
    void cleanup()
    {
        m_server.reset();
        m_dir.reset();
    }
    // The ban requests, one session per row: each message (one a line) and parts of its
    // answer (" && " between them). Bad input is refused with a reason and changes nothing.
    void banRequests_data()
    {
        garrison::test::addTextRows(
            {"level", "messages", "answers"},
            {{"mp may not", "mp", "getbans", "BANREFUSED the level mp may not"},
             {"hex guid kept lower, quotes and colours kept", "admin",
              "addban {\"guid\":\"0123456789ABCDEF0123456789ABCDEF\",\"reason\":\"^1wall "
              "\\\"x\\\"\"}\ngetbans",
              "BANADDED 1\n\"guid\":\"0123456789abcdef0123456789abcdef\""},
             {"issuer and range", "admin",
              "addban {\"address\":\"198.51.100.7/24\",\"by\":\"mallory\"}\ngetbans",
              "BANADDED 1\n\"address\":\"198.51.100.0/24\",\"at\":\"2023-11-14T22:13:20Z\","
              "\"by\":\"alice\""},
             {"short guid", "admin", "addban {\"guid\":\"12ab\"}", "BANREFUSED \"12ab\" is not"},
             {"long reason", "admin", "addban {\"guid\":\"5\",\"reason\":\"%LONG%\"}",
              "BANREFUSED the reason has 10000 characters; at most 300"},
             {"control byte", "admin", "addban {\"guid\":\"5\",\"names\":[\"a\\u0007b\"]}",
              "BANREFUSED the name holds a control character (U+0007)"},
             {"over before it begins", "admin",
              "addban {\"guid\":\"5\",\"until\":\"2020-01-01T00:00:00Z\"}",
              "BANREFUSED the ban would end before it begins"},
             {"no JSON", "admin", "addban {", "BANREFUSED the request needs one JSON object"},
             {"lifted once", "admin",
              "addban {\"guid\":\"5\"}\nliftban {\"id\":1,\"note\":\"appeal\"}\nliftban "
              "{\"id\":1}",
              "BANADDED 1\nBANCHANGED 1\nBANREFUSED ban 1 was lifted already, by alice"},
             {"edited", "admin",
              "addban {\"guid\":\"5\"}\neditban {\"id\":1,\"until\":\"2030-01-01T00:00:00Z\"}\n"
              "editban {\"id\":9}\ngetbans",
              "BANADDED 1\nBANCHANGED 1\nBANREFUSED there is no ban 9\n"
              "\"until\":\"2030-01-01T00:00:00Z\""},
             // Pages: "BANLIST <n> <total> <offset>", the bans by id.
             {"page of nothing", "admin", "getbans {\"offset\":0,\"count\":2}", "BANLIST 0 0 0"},
             {"exactly one page", "admin",
              "addban {\"guid\":\"5\"}\naddban {\"guid\":\"6\"}\n"
              "getbans {\"offset\":0,\"count\":2}",
              "BANADDED 1\nBANADDED 2\nBANLIST 2 2 0 && \"guid\":\"6\",\"id\":2"},
             {"a page and one more", "admin",
              "addban {\"guid\":\"5\"}\naddban {\"guid\":\"6\"}\naddban {\"guid\":\"7\"}\n"
              "getbans {\"offset\":0,\"count\":2}\ngetbans {\"offset\":2,\"count\":2}",
              "BANADDED 1\nBANADDED 2\nBANADDED 3\nBANLIST 2 3 0 && \"id\":2\n"
              "BANLIST 1 3 2 && \"guid\":\"7\",\"id\":3"},
             {"offset past the end", "admin",
              "addban {\"guid\":\"5\"}\ngetbans {\"offset\":1,\"count\":5}",
              "BANADDED 1\nBANLIST 0 1 1"},
             {"page of none", "admin", "getbans {\"offset\":0,\"count\":0}",
              "BANREFUSED a page needs"},
             {"page too long", "admin", "getbans {\"offset\":0,\"count\":1001}",
              "BANREFUSED a page needs \"offset\" (0 or more) and \"count\" (1 to 1000)"},
             {"offset before the start", "admin", "getbans {\"offset\":-1,\"count\":5}",
              "BANREFUSED a page needs"},
             {"fraction", "admin", "getbans {\"offset\":0.5,\"count\":5}",
              "BANREFUSED a page needs"},
             {"page in words", "admin", "getbans 0 500",
              "BANREFUSED the request needs one JSON object"}});
    }
    void banRequests()
    {
        QFETCH(QString, level);
        QFETCH(QString, messages);
        QFETCH(QString, answers);
        startServer();
        Client client(port());
        QCOMPARE(client.exchange("alice:pa:ss-word-" + level.toUtf8()), level.toUtf8());
        QCOMPARE(client.exchange("getrconpass"), kRcon);
        const QStringList sent = messages.split(u'\n');
        const QStringList expected = answers.split(u'\n');
        QCOMPARE(sent.size(), expected.size());
        for (qsizetype i = 0; i < sent.size(); ++i) {
            QString message = sent.at(i);
            message.replace(QStringLiteral("%LONG%"), QString(10000, u'x'));
            const QByteArray answer = client.exchange(message.toUtf8());
            for (const QString& part : expected.at(i).split(QStringLiteral(" && "))) {
                QVERIFY2(answer.contains(part.toUtf8()), answer.left(400).constData());
            }
            QVERIFY(answer.endsWith('\n'));
        }
    }
    // A shared ban database that takes the connection and never answers holds up no one:
    // while garrisond waits for it (connect timeout, then again), sessions are answered at
    // once, and changes are refused at once as the database is away.
    void unansweringBanDatabaseHoldsUpNoOne()
    {
        QTcpServer database;
        QVERIFY(database.listen(QHostAddress::LocalHost, 0));
        QList<QTcpSocket*> held;
        connect(&database, &QTcpServer::newConnection, &database,
                [&] { held.append(database.nextPendingConnection()); });
        writeConfig(QStringLiteral("ban_database = postgresql://garrison@127.0.0.1:%1/bans\n")
                        .arg(database.serverPort())
                        .toUtf8());
        startServer();
        Client client(port());
        QCOMPARE(client.exchange("alice:pa:ss-word-admin"), QByteArray("admin"));
        QCOMPARE(client.exchange("getrconpass"), kRcon);
        QVERIFY(client.exchange("addban {\"guid\":\"5\"}")
                    .startsWith("BANREFUSED the shared ban database is away"));
        // Through the first attempt and into the second.
        QElapsedTimer answer;
        for (QDeadlineTimer deadline(4 * kWaitMs); held.size() < 2 && !deadline.hasExpired();) {
            answer.start();
            QVERIFY(client.exchange("getbans").startsWith("BANLIST 0"));
            QVERIFY2(answer.elapsed() < 500, qPrintable(QString::number(answer.elapsed())));
        }
        QCOMPARE(held.size(), 2);
    }
    // The engine's and PunkBuster's ban files become bans once, for poweradmin only; what is
    // banned already, and lines that name no one, are skipped.
    void importsTheBanFiles()
    {
        QDir(m_dir->path()).mkpath(QStringLiteral("game/main"));
        QDir(m_dir->path()).mkpath(QStringLiteral("game/pb"));
        writeFile("game/main/ban.txt", "1234567 Bob the Builder\n\n# comment\nnot a ban\n");
        writeFile("game/pb/pbbans.dat",
                  "[06.01.2026 20:00:00] 0123456789ABCDEF0123456789ABCDEF \"Big Bad\" "
                  "192.0.2.9:28960 wallhack (by admin)\n"
                  "[06.02.2026 21:00:00] 1234567 \"Bob\" 192.0.2.10:28960 again\n");
        writeConfig("server_directory = game\n");
        startServer();
        Client client(port());
        QCOMPARE(client.exchange("alice:pa:ss-word-admin"), QByteArray("admin"));
        QCOMPARE(client.exchange("getrconpass"), kRcon);
        QVERIFY(client.exchange("importbans").startsWith("BANREFUSED only poweradmin"));
        Client power(port());
        QCOMPARE(power.exchange("bob:bobpw-poweradmin"), QByteArray("poweradmin"));
        QCOMPARE(power.exchange("getrconpass"), kRcon);
        QCOMPARE(power.exchange("importbans"), QByteArray("BANIMPORTED 2 1\n"));
        QCOMPARE(power.exchange("importbans"), QByteArray("BANIMPORTED 0 3\n"));
        const QList<garrison::BanRecord> bans = m_server->bans().all();
        QCOMPARE(bans.size(), 2);
        const auto pb = std::find_if(bans.cbegin(), bans.cend(),
                                     [](const auto& ban) { return !ban.address.isEmpty(); });
        QVERIFY(pb != bans.cend());
        QCOMPARE(pb->guid, "0123456789abcdef0123456789abcdef");
        QCOMPARE(pb->names, QStringList{"Big Bad"});
        QCOMPARE(pb->address, "192.0.2.9");
        QCOMPARE(pb->reason, "wallhack (by admin)");
        QCOMPARE(m_server->bans().keepingOut("1234567", {}, {}, m_now)->names,
                 QStringList{"Bob the Builder"});
        // The engine's file is also shown as it stands, PunkBuster's is not.
        const QByteArray engine = client.exchange("getenginebans");
        QVERIFY2(engine.startsWith("BANFILE 1\n{") && engine.count('\n') == 2 &&
                     engine.contains("\"guid\":\"1234567\"") && engine.contains("Bob the Builder"),
                 engine.constData());
    }
    // Granted logins of each level are made by the other tests. Each row's messages, separated by
    // "|", are refused; what comes before a login is refused as asked too early.
    void refusesLogins_data()
    {
        QTest::addColumn<QByteArray>("messages");
        QTest::newRow("level not allowed") << QByteArray("alice:pa:ss-word-poweradmin|getrconpass");
        QTest::newRow("wrong password") << QByteArray("alice:pa:ss-wort-admin|getlog");
        QTest::newRow("unknown user") << QByteArray("carol:pa:ss-word-admin|startserver");
        QTest::newRow("name case differs") << QByteArray("Alice:pa:ss-word-admin|getrconpass");
        QTest::newRow("level case differs") << QByteArray("alice:pa:ss-word-Admin|getrconpass");
        QTest::newRow("level with a blank") << QByteArray("alice:pa:ss-word-admin |getrconpass");
        QTest::newRow("malformed") << QByteArray("alice|getrconpass");
        QTest::newRow("no login") << QByteArray("getrconpass");
        QTest::newRow("getlog first") << QByteArray("getlog");
        QTest::newRow("startserver first") << QByteArray("startserver");
    }
    void refusesLogins()
    {
        QFETCH(QByteArray, messages);
        startServer();
        Client client(port());
        QList<QByteArray> sent = messages.split('|');
        const QByteArray request = sent.takeLast();
        for (const QByteArray& login : std::as_const(sent)) {
            const QByteArray reply = client.exchange(login);
            // A refusal must not be mistaken for a level word or a notice by the client.
            QVERIFY(!reply.isEmpty() && !AccountStore::isLevel(QString::fromLatin1(reply)));
            QVERIFY(!reply.startsWith("ADDUSER") && !reply.startsWith("CHANGERCON"));
        }
        QCOMPARE(client.exchange(request), QByteArray("DENIED Log in first"));
        QVERIFY(!m_server->gameServer().isRunning());
    }
    // What clients are shown: garrisond's own certificate, made once and kept, or the files
    // that the configuration names, which are only read. `error`: why the daemon must not start.
    void servesItsCertificate_data()
    {
        const char* named = "tls_certificate = named-cert.pem\ntls_key = named-key.pem\n";
        garrison::test::addTextRows(
            {"config", "before", "error"},
            {{"own, made at the first start", "", "", ""},
             {"own, kept at the next start", "", "start", ""},
             {"named", named, "name", ""},
             {"named and missing", "tls_certificate = gone.pem\ntls_key = named-key.pem\n", "name",
              "gone.pem (named in the configuration) is missing"},
             {"named key of another certificate",
              "tls_certificate = named-cert.pem\ntls_key = other-key.pem\n", "name",
              "other-key.pem is not the key of the certificate"},
             {"own key without its certificate", "", "key only",
              "garrisond-certificate.pem is missing while"}});
    }
    void servesItsCertificate()
    {
        QFETCH(QString, config);
        QFETCH(QString, before);
        QFETCH(QString, error);
        writeConfig(config.toUtf8());
        QString expected;
        QString made;
        if (before == QLatin1String("name")) {
            QVERIFY(TlsIdentity::create(file("named-cert.pem"), file("named-key.pem"),
                                        QStringLiteral("daemon.example"), &made));
            QVERIFY(TlsIdentity::create(file("other-cert.pem"), file("other-key.pem"),
                                        QStringLiteral("other.example"), &made));
            QFile pem(file("named-cert.pem"));
            QVERIFY(pem.open(QIODevice::ReadOnly));
            expected = TlsIdentity::fingerprint(QSslCertificate(pem.readAll()));
        } else if (!before.isEmpty()) {
            startServer();
            expected = m_server->fingerprint();
            m_server.reset();
            if (before == QLatin1String("key only")) {
                QVERIFY(QFile::remove(file("garrisond-certificate.pem")));
            }
        }
        DaemonConfig loaded;
        QVERIFY(DaemonConfig::load(file("garrisond.conf"), &loaded, &made));
        m_server = std::make_unique<DaemonServer>(loaded);
        const bool started = m_server->start(QHostAddress::LocalHost, 0);
        if (!error.isEmpty()) {
            QVERIFY(!started);
            QVERIFY2(m_server->errorString().contains(error), qPrintable(m_server->errorString()));
            return;
        }
        QVERIFY2(started, qPrintable(m_server->errorString()));
        Client client(port());
        QVERIFY(client.socket.isEncrypted());
        QCOMPARE(TlsIdentity::fingerprint(client.socket.peerCertificate()),
                 m_server->fingerprint());
        QCOMPARE(client.socket.sessionProtocol() >= QSsl::TlsV1_2, true);
        if (!expected.isEmpty()) {
            QCOMPARE(m_server->fingerprint(), expected);
        }
        QCOMPARE(QFile::exists(file("garrisond-key.pem")), before != QLatin1String("name"));
        QCOMPARE(client.exchange("alice:pa:ss-word-admin"), QByteArray("admin"));
    }
    // A client speaking plain text gets no answer to its login and is closed, and the audit log
    // says why: no password is ever checked. allow_plaintext serves it, on loopback only.
    void plainTextIsRefused_data()
    {
        garrison::test::addTextRows({"sent", "allowed", "answer"},
                                    {{"login", "alice:pa:ss-word-admin", "", ""},
                                     {"web request", "GET / HTTP/1.0\r\n\r\n", "", ""},
                                     {"allowed", "alice:pa:ss-word-admin", "yes", "admin"}});
    }
    void plainTextIsRefused()
    {
        QFETCH(QString, sent);
        QFETCH(QString, allowed);
        QFETCH(QString, answer);
        writeConfig(allowed.isEmpty() ? QByteArray() : "allow_plaintext = true\n");
        startServer();
        Client client(port(), QString(), Client::Link::Plain);
        client.send(sent.toUtf8());
        if (!answer.isEmpty()) {
            QCOMPARE(client.next(), answer.toUtf8());
            DaemonServer outside(m_server->config());
            QVERIFY(!outside.start(QHostAddress::Any, 0));
            QVERIFY(outside.errorString().startsWith("allow_plaintext is for tests"));
            return;
        }
        QVERIFY(client.waitClosed());
        const QByteArray heard = client.socket.readAll();
        QVERIFY(!heard.contains("admin") && !heard.contains("DENIED"));
        QCOMPARE(audited(" refused-no-tls ").size(), 1);
        QVERIFY(audited(" login").isEmpty());
    }
    // Five failures lock the address out, even for the right password on a new connection,
    // until the lock ends. Meanwhile, connections with a huge claimed name each are counted in a
    // summary, not written.
    void locksOutAfterFiveFailures()
    {
        startServer();
        Client client(port());
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(client.exchange("alice:guess-admin"),
                     QByteArray("DENIED Wrong user name, password or level"));
        }
        const QByteArray locked = client.exchange("alice:guess-admin");
        QVERIFY(locked.startsWith("DENIED Too many failed logins"));
        Client again(port());
        QCOMPARE(again.exchange("alice:pa:ss-word-admin"), locked);
        const qint64 before = auditBytes();
        for (int i = 0; i < 40; ++i) {
            QVERIFY(
                Client(port()).exchange(QByteArray(65500 - 5, 'A') + ":x-mp").startsWith("DENIED"));
        }
        QVERIFY(auditBytes() - before <= 4096);
        m_now = m_now.addSecs(61);
        m_server->writeSummaries();
        QVERIFY(auditLines().constLast().contains(QStringLiteral(" summary ")));
        m_now = m_now.addSecs(300 - 61);
        QCOMPARE(again.exchange("alice:pa:ss-word-admin"), QByteArray("admin"));
    }
    void closesOnlyTheOffendingConnection_data()
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
    void closesOnlyTheOffendingConnection()
    {
        QFETCH(bool, loggedIn);
        QFETCH(QByteArray, message);
        startServer();
        Client bystander(port());
        logIn(bystander);
        Client offender(port());
        if (loggedIn) {
            logIn(offender);
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_server->sessionCount(), 2, kWaitMs);
        offender.send(message);
        QVERIFY(offender.waitClosed());
        QTRY_COMPARE_WITH_TIMEOUT(m_server->sessionCount(), 1, kWaitMs);
        QCOMPARE(bystander.exchange("getrconpass"), kRcon);
        QCOMPARE(Client(port()).exchange("bob:bobpw-poweradmin"), QByteArray("poweradmin"));
    }
    // What a client sends in pieces (each read on its own), or several messages in one write.
    // `answer` is the daemon's answer after the last piece, if any; `commands` what is recorded
    // as echoed, also of an echo sent just before the client leaves. A login or a request that
    // is whole is answered without waiting for the client to pause.
    void gathersMessages_data()
    {
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("atOnce");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("login in three pieces")
            << false << QByteArrayList{"alice:pa", ":ss-wo", "rd-admin"} << QByteArray("admin")
            << true << QStringList();
        QTest::newRow("level word cut") << false << QByteArrayList{"alice:pa:ss-word-ad", "min"}
                                        << QByteArray("admin") << true << QStringList();
        QTest::newRow("no level word: answered after the pause")
            << false << QByteArrayList{"alice:pa:ss-word-Admin"}
            << QByteArray("DENIED Wrong user name, password or level") << false << QStringList();
        QTest::newRow("request in two pieces")
            << true << QByteArrayList{"getrc", "onpass"} << kRcon << true << QStringList();
        QTest::newRow("request and echo in one write")
            << true << QByteArrayList{"getrconpassalice - status"} << kRcon << true
            << QStringList{"status"};
        QTest::newRow("echoes in one write")
            << true << QByteArrayList{"alice - say onealice - say two"} << QByteArray() << false
            << QStringList{"say one", "say two"};
        QTest::newRow("echo in pieces, then gone")
            << true << QByteArrayList{"alice - ki", "ck Bob"} << QByteArray() << false
            << QStringList{"kick Bob"};
    }
    void gathersMessages()
    {
        QFETCH(bool, loggedIn);
        QFETCH(QByteArrayList, pieces);
        QFETCH(QByteArray, answer);
        QFETCH(bool, atOnce);
        QFETCH(QStringList, commands);
        startServer();
        Client client(port());
        if (loggedIn) {
            logIn(client);
        }
        QElapsedTimer sinceLast;
        for (const QByteArray& piece : std::as_const(pieces)) {
            // Long enough for the daemon to read each piece on its own, well within the pause.
            QTest::qWait(10);
            client.send(piece);
            client.socket.flush();
            sinceLast.start();
        }
        if (!answer.isEmpty()) {
            QCOMPARE(client.next(), answer);
            if (atOnce) {
                QVERIFY2(sinceLast.elapsed() < DaemonMessage::kQuietGapMs,
                         qPrintable(QString::number(sinceLast.elapsed())));
            }
        }
        if (!loggedIn) {
            return;
        }
        client.socket.disconnectFromHost();
        QVERIFY(waitUntil([this] { return !audited(" disconnected").isEmpty(); }));
        QStringList recorded;
        for (const QString& line : audited("alice/admin command ")) {
            recorded.append(line.section(QLatin1Char(' '), 4));
        }
        QCOMPARE(recorded, commands);
    }
    void servesTwoClientsRecordsTheirCommandsAndStartsTheServer()
    {
        startServer();
        Client first(port());
        Client second(port());
        first.send("alice:pa:ss-word-admin");
        second.send("bob:bobpw-poweradmin");
        QCOMPARE(second.next(), QByteArray("poweradmin"));
        QCOMPARE(first.next(), QByteArray("admin"));
        QCOMPARE(second.exchange("getrconpass"), kRcon);
        QCOMPARE(first.exchange("getrconpass"), kRcon);
        first.send("alice - kick Bob");
        QTRY_COMPARE_WITH_TIMEOUT(audited(" command ").size(), 1, kWaitMs);
        m_now = m_now.addSecs(1);
        first.send("alice - say one\ntwo");
        second.send("bob - map_restart");
        QTRY_COMPARE_WITH_TIMEOUT(audited(" command ").size(), 3, kWaitMs);

        const QString at = QStringLiteral("2023-11-14T22:13:2%1.000Z 127.0.0.1 %2");
        const QStringList commands = audited(" command ");
        QCOMPARE(commands.at(0), at.arg(0).arg("alice/admin command kick Bob"));
        QVERIFY(commands.contains(at.arg(1).arg("alice/admin command say one\\x0atwo")));
        QVERIFY(commands.contains(at.arg(1).arg("bob/poweradmin command map_restart")));
        // Logins and requests are on record too, and no password is.
        const QString all = auditLines().join(QLatin1Char('\n'));
        QVERIFY(all.contains(QStringLiteral("127.0.0.1 alice/admin login")));
        QVERIFY(all.contains(QStringLiteral("127.0.0.1 alice/admin getrconpass")));
        QVERIFY(!all.contains(QStringLiteral("pa:ss-word")));

        // The game server starts once; a second request while it runs gets no answer, which the
        // client could take for an awaited log. Once it stopped, it starts again.
        QSignalSpy started(&m_server->gameServer(), &GameServerProcess::started);
        first.send("startserver");
        QTRY_VERIFY_WITH_TIMEOUT(m_server->gameServer().isRunning(), kWaitMs);
        first.send("startserver");
        QTRY_COMPARE_WITH_TIMEOUT(audited("startserver").size(), 2, kWaitMs);
        QCOMPARE(started.size(), 1);
        QVERIFY(auditLines().constLast().endsWith(QStringLiteral("startserver already running")));
        QCOMPARE(first.socket.bytesAvailable(), 0);
        m_server->gameServer().stop(1000);
        QVERIFY(!m_server->gameServer().isRunning());
        first.send("startserver");
        QTRY_COMPARE_WITH_TIMEOUT(started.size(), 2, kWaitMs);
        m_server->gameServer().stop(1000);
    }
    // The client takes the message after the level answer as the RCON password, however long it
    // takes to ask for it: a notice waits until the password is sent. Notices reach members only
    // and carry no password.
    void tellsMembersOfAccountChanges()
    {
        startServer();
        Client member(port());
        QCOMPARE(member.exchange("alice:pa:ss-word-admin"), QByteArray("admin"));
        Client stranger(port());
        QVERIFY(stranger.connected());
        QSignalSpy reloaded(m_server.get(), &DaemonServer::reloaded);
        addAccount("carol", "c", {"mp"});
        QVERIFY(reloaded.wait(kWaitMs));
        QVERIFY(!QSignalSpy(&member.socket, &QTcpSocket::readyRead)
                     .wait(ClientSession::kNoticeGapMs + 500));
        QCOMPARE(member.exchange("getrconpass"), kRcon);
        const QByteArray added = member.next();
        QVERIFY2(added.startsWith("ADDUSER ") && added.contains("carol") &&
                     !added.contains("\"c\""),
                 added.constData());

        QString error;
        QVERIFY(DaemonConfig::writeRconPassword(file("garrisond.conf"), "fresh", &error));
        const QByteArray changed = member.next();
        QVERIFY2(changed.startsWith("CHANGERCON ") && !changed.contains("fresh"),
                 changed.constData());
        QCOMPARE(member.exchange("getrconpass"), QByteArray("fresh"));
        QCOMPARE(stranger.socket.bytesAvailable(), 0);
    }
    // A configuration that is not valid (as an editor leaves it half-way, too) is not taken for
    // the defaults: the RCON password stays, members hear nothing, the settings stay in force.
    void keepsTheRunningConfigurationWhenTheNewOneIsNotValid_data()
    {
        QTest::addColumn<QByteArray>("content"); // "(none)": the file is deleted
        QTest::newRow("emptied") << QByteArray();
        QTest::newRow("deleted") << QByteArray("(none)");
        QTest::newRow("comments only") << QByteArray("# rcon_password = x\n");
        QTest::newRow("broken line") << QByteArray("rcon_password = x\nrcon_password\n");
        QTest::newRow("password left out") << QByteArray("game_log = games_mp.log\n");
    }
    void keepsTheRunningConfigurationWhenTheNewOneIsNotValid()
    {
        QFETCH(QByteArray, content);
        startServer();
        Client member(port());
        logIn(member);
        QSignalSpy reloaded(m_server.get(), &DaemonServer::reloaded);
        QSignalSpy warnings(m_server.get(), &DaemonServer::warning);
        if (content == "(none)") {
            QVERIFY(QFile::remove(file("garrisond.conf")));
        } else {
            writeFile("garrisond.conf", content);
        }
        QVERIFY(reloaded.wait(kWaitMs));
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings.at(0).at(0).toString().contains("the running one stays"),
                 qPrintable(warnings.at(0).at(0).toString()));
        QCOMPARE(member.exchange("getrconpass"), kRcon);
        QCOMPARE(m_server->config().passwordIterations, 1000);
        QCOMPARE(m_server->sessionCount(), 1);
    }
    // A session whose account or level is taken away is told why and closed; others stay. Before
    // the RCON password is asked for, the reason would be taken as the password: it is not sent.
    void endsSessionsWhoseAccountGoes_data()
    {
        QTest::addColumn<QStringList>("levelsLeft"); // empty: the account is removed
        QTest::addColumn<bool>("passwordAsked");
        QTest::addColumn<QByteArray>("told");
        QTest::newRow("account removed")
            << QStringList() << true
            << QByteArray("DENIED The daemon account \"carol\" was removed");
        QTest::newRow("level taken away")
            << QStringList{"admin"} << true
            << QByteArray("DENIED The daemon account \"carol\" no longer has the level mp");
        QTest::newRow("removed before the password") << QStringList() << false << QByteArray();
    }
    void endsSessionsWhoseAccountGoes()
    {
        QFETCH(QStringList, levelsLeft);
        QFETCH(bool, passwordAsked);
        QFETCH(QByteArray, told);
        addAccount("carol", "c", {"mp", "admin"});
        startServer();
        Client member(port());
        logIn(member);
        Client carol(port());
        QCOMPARE(carol.exchange("carol:c-mp"), QByteArray("mp"));
        if (passwordAsked) {
            QCOMPARE(carol.exchange("getrconpass"), kRcon);
        }
        if (levelsLeft.isEmpty()) {
            AccountStore store(file("garrisond-accounts.json"));
            QString error;
            QVERIFY(store.load(&error) && store.remove("carol") && store.save(&error));
        } else {
            addAccount("carol", "c", levelsLeft);
        }
        QVERIFY(carol.waitClosed());
        const QByteArray said = carol.socket.readAll();
        QVERIFY2(told.isEmpty() ? said.isEmpty() : said.startsWith(told), said.constData());
        QTRY_COMPARE_WITH_TIMEOUT(m_server->sessionCount(), 1, kWaitMs);
        QCOMPARE(member.exchange("getrconpass"), kRcon);
    }
    void dropsClientsThatDoNotLogIn()
    {
        writeConfig("login_timeout_seconds = 1\n");
        startServer();
        Client idle(port());
        // Connected, but it never begins the handshake.
        Client stalled(port(), QString(), Client::Link::Plain);
        Client member(port());
        logIn(member);
        QVERIFY(idle.waitClosed());
        QVERIFY(stalled.waitClosed());
        QCOMPARE(member.exchange("getrconpass"), kRcon);
    }
    void refusedConnectionsCannotFloodTheLog()
    {
        writeConfig("max_anonymous_per_address = 1\n");
        startServer();
        Client holder(port(), "127.0.0.2");
        QTRY_COMPARE_WITH_TIMEOUT(m_server->sessionCount(), 1, kWaitMs);
        const qint64 before = auditBytes();
        for (int i = 0; i < 60; ++i) {
            QCOMPARE(Client(port(), "127.0.0.2").next(),
                     QByteArray("DENIED Too many connections from this address"));
        }
        QVERIFY(auditBytes() - before <= 2048);
    }
    // A logged-in client echoes long commands, all that it may have written in full for two
    // minutes: the log rotates and keeps two files.
    void echoesCannotFillTheDisk()
    {
        writeConfig("audit_log_max_bytes = 65536\naudit_log_files = 2\n");
        startServer();
        for (int minute = 0; minute < 2; ++minute) {
            Client client(port());
            logIn(client);
            const int words = ActivitySummary::kMaxWords;
            for (int i = 0; i < words * ActivitySummary::kFullPerKind; ++i) {
                client.send("alice - w" + QByteArray::number(i % words) + ' ' +
                            QByteArray(1000, 'x'));
            }
            client.socket.disconnectFromHost();
            QVERIFY(waitUntil([this] {
                return auditLines().constLast().contains(
                    QStringLiteral("alice/admin disconnected"));
            }));
            m_now = m_now.addSecs(61);
        }
        const QString log = file("garrisond-audit.log");
        QVERIFY(QFile::exists(log + ".1") && !QFile::exists(log + ".2"));
        QVERIFY(auditBytes() + QFileInfo(log + ".1").size() <= 131072);
    }
    // An account floods the audit log (two files of 64 KiB) with 400 long echoes after bob
    // kicked someone. What was there before stays, the flood's commands are written in full only
    // up to `atMost` lines, and a summary counts the rest; `kept` lines are also there after.
    void floodsCannotEraseTheAuditLog_data()
    {
        const QByteArray filler = ' ' + QByteArray(1000, 'x');
        QTest::addColumn<QByteArray>("login");
        QTest::addColumn<QByteArray>("flood"); // "%1": the echo's number
        QTest::addColumn<QByteArray>("last");
        QTest::addColumn<QString>("floodLines");
        QTest::addColumn<int>("atMost");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("mp says one thing")
            << QByteArray("carol:c-mp") << "carol - say %1" + filler << QByteArray()
            << "carol/mp command say" << ActivitySummary::kFullPerKind << QStringList();
        QTest::newRow("mp with a new word each time")
            << QByteArray("carol:c-mp") << "carol - w%1" + filler << QByteArray()
            << "carol/mp command w" << ActivitySummary::kMaxWords << QStringList();
        QTest::newRow("administrator polls, then kicks")
            << QByteArray("bob:bobpw-poweradmin") << QByteArray("bob - status")
            << QByteArray("bob - kick Other") << "bob/poweradmin command status"
            << ActivitySummary::kFullPerKind << QStringList{"bob/poweradmin command kick Other"};
    }
    void floodsCannotEraseTheAuditLog()
    {
        QFETCH(QByteArray, login);
        QFETCH(QByteArray, flood);
        QFETCH(QByteArray, last);
        QFETCH(QString, floodLines);
        QFETCH(int, atMost);
        QFETCH(QStringList, kept);
        writeConfig("audit_log_max_bytes = 65536\naudit_log_files = 2\n");
        addAccount("carol", "c", {"mp"});
        startServer();
        Client bob(port());
        QCOMPARE(bob.exchange("bob:bobpw-poweradmin"), QByteArray("poweradmin"));
        QCOMPARE(bob.exchange("getrconpass"), kRcon);
        bob.send("bob - kick Victim");
        kept.append(QStringLiteral("bob/poweradmin command kick Victim"));
        QVERIFY(waitUntil([this] { return !audited("kick Victim").isEmpty(); }));

        Client flooder(port());
        const QByteArray level = login.mid(login.lastIndexOf('-') + 1);
        QCOMPARE(flooder.exchange(login), level);
        QCOMPARE(flooder.exchange("getrconpass"), kRcon);
        constexpr int kFlood = 400;
        for (int i = 0; i < kFlood; ++i) {
            flooder.send(QByteArray(flood).replace("%1", QByteArray::number(i)));
        }
        flooder.send(last);
        flooder.socket.disconnectFromHost();
        const QString who = QString::fromLatin1(login.left(login.indexOf(':')) + '/' + level);
        QVERIFY(waitUntil([&] { return !audited(qPrintable(who + " disconnected")).isEmpty(); }));
        m_now = m_now.addSecs(61);
        m_server->writeSummaries();

        const QStringList lines = auditLines(QStringLiteral(".1")) + auditLines();
        for (const QString& line : std::as_const(kept)) {
            QVERIFY2(!lines.filter(line).isEmpty(), qPrintable(line));
        }
        const qsizetype full = lines.filter(floodLines).size();
        QVERIFY2(full <= atMost, qPrintable(QString::number(full)));
        const QString summary =
            QStringLiteral(" %1 summary %2 more in 61 s: ").arg(who).arg(kFlood - full);
        QVERIFY2(!lines.filter(summary).isEmpty(), qPrintable(lines.constLast()));
    }
    // Rounds of wrong guesses at bob, each followed by a right login to alice, from one address
    // (own login resets nothing) or from a new address each round (the account is locked).
    void guessesAreBounded_data()
    {
        QTest::addColumn<bool>("spread");
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<int>("atMost");
        QTest::newRow("own login resets the guesses") << false << QByteArray() << 5;
        QTest::newRow("from many addresses")
            << true << QByteArray("lockout_account_failures = 3\n") << 3;
    }
    void guessesAreBounded()
    {
        QFETCH(bool, spread);
        QFETCH(QByteArray, config);
        QFETCH(int, atMost);
        writeConfig(config);
        startServer();
        for (int guesses = 0, round = 0; guesses < 30; ++round) {
            QTRY_COMPARE_WITH_TIMEOUT(m_server->sessionCount(), 0, kWaitMs);
            const QString from = spread ? QStringLiteral("127.0.1.%1").arg(round + 1) : QString();
            Client client(port(), from);
            for (int i = 0; i < (spread ? 2 : 4); ++i) {
                ++guesses;
                if (client.exchange(kWrongBob).startsWith("DENIED Too many failed")) {
                    QVERIFY2(guesses <= atMost, qPrintable(QString::number(guesses)));
                    return;
                }
            }
            QCOMPARE(Client(port(), from).exchange("alice:pa:ss-word-mp"), QByteArray("mp"));
        }
        QFAIL("bob was never locked");
    }
    // A client that reads no logs stalls its own answers, not the daemon's memory; once it
    // reads, the daemon reads again and the session is still there.
    void unreadLogsCannotFillMemory()
    {
        writeConfig("send_buffer_bytes = 65536\n");
        writeFile("games_mp.log", QByteArray(200 * 1024, 'x'));
        startServer();
        Client client(port());
        logIn(client);
        client.socket.setReadBufferSize(1);
        const auto heard = [this] { return audited(" getlog").size(); };
        int answered = 0;
        for (; answered < 60; ++answered) {
            const qsizetype before = heard();
            m_now = m_now.addSecs(61); // each in a minute of its own: all are written in full
            client.send("getlog");
            client.socket.flush();
            if (!waitUntil([&] { return heard() != before; }, 300, 10)) {
                break;
            }
        }
        QVERIFY2(answered <= 30, qPrintable(QString::number(answered)));
        const qsizetype stalled = heard();
        client.socket.setReadBufferSize(0);
        QVERIFY(
            waitUntil([&] { return client.socket.readAll(), heard() != stalled; }, kWaitMs, 10));
    }
    void mpCannotStartTheServer()
    {
        startServer();
        Client client(port());
        QCOMPARE(client.exchange("alice:pa:ss-word-mp"), QByteArray("mp"));
        client.exchange("getrconpass");
        const QByteArray refusal = client.exchange("startserver");
        QVERIFY2(refusal.startsWith("DENIED Starting the game server needs"), refusal.constData());
        QCOMPARE(client.exchange("getlog"),
                 QByteArray("LOG 33\r\n0:00 InitGame\r\n0:05 J;123;0;Bob\r\n"));
        QVERIFY(!audited("alice/mp refused-request").isEmpty());
        QVERIFY(!m_server->gameServer().isRunning());
    }
    // Silent connections from ever new addresses, many more than there are places, do not
    // close a client between its handshake and its login.
    void churnLeavesAClientItsPlace()
    {
        writeConfig("max_anonymous = 4\n");
        startServer();
        Client member(port());
        QVERIFY(member.socket.isEncrypted());
        std::vector<std::unique_ptr<Client>> churn;
        for (int i = 1; i <= 12; ++i) {
            churn.push_back(std::make_unique<Client>(port(), QStringLiteral("127.0.3.%1").arg(i),
                                                     Client::Link::Plain));
        }
        QVERIFY(churn.front()->waitClosed());
        logIn(member);
    }
    // TLS 1.2 only with authenticated encryption, never with the CBC suites.
    void offersOnlyAeadSuites_data()
    {
        garrison::test::addTextRows({"accepted"}, {{"ECDHE-ECDSA-AES128-SHA", ""},
                                                   {"ECDHE-ECDSA-AES256-SHA384", ""},
                                                   {"ECDHE-ECDSA-AES128-GCM-SHA256", "yes"},
                                                   {"ECDHE-ECDSA-CHACHA20-POLY1305", "yes"}});
    }
    void offersOnlyAeadSuites()
    {
        const QString cipher = QString::fromLatin1(QTest::currentDataTag());
        QFETCH(QString, accepted);
        startServer();
        QSslSocket socket;
        QSslConfiguration tls = socket.sslConfiguration();
        tls.setProtocol(QSsl::TlsV1_2);
        tls.setCiphers({QSslCipher(cipher)});
        tls.setPeerVerifyMode(QSslSocket::VerifyNone);
        socket.setSslConfiguration(tls);
        socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port());
        QVERIFY(QTest::qWaitFor(
            [&] {
                return socket.isEncrypted() || socket.state() == QAbstractSocket::UnconnectedState;
            },
            kWaitMs));
        QCOMPARE(socket.isEncrypted(), !accepted.isEmpty());
    }
    // Clients are asked to trust a new identity, so the audit log tells every change; a named
    // key that every user can read is pointed out.
    void identityChangesAreAudited()
    {
        startServer();
        QSignalSpy warnings(m_server.get(), &DaemonServer::warning);
        QVERIFY(QFile::remove(file("garrisond-key.pem")));
        QVERIFY(QFile::remove(file("garrisond-certificate.pem")));
        m_server->reload();
        QCOMPARE(audited(" certificate-made ").size(), 2);
        QVERIFY(::chmod(QFile::encodeName(file("garrisond-key.pem")).constData(), 0644) == 0);
        writeConfig("tls_certificate = garrisond-certificate.pem\ntls_key = garrisond-key.pem\n");
        m_server->reload();
        QCOMPARE(audited(" key-readable ").size(), 1);
        const auto told = std::count_if(warnings.cbegin(), warnings.cend(), [](const auto& said) {
            return said.first().toString().contains("readable by every user");
        });
        QCOMPARE(told, 1);
    }
    // Who gets a session. carol and dave have the level mp only, alice's account also admin,
    // bob's poweradmin: alice and bob are administrators; each logs in as mp but bob. A step
    // is a login, answered as `answers` say in turn, or "=name": that name's first session
    // sends a command. `closed` are the sessions told `told` and closed; every other granted
    // one stays.
    void sessionPlacesGoToAdministrators_data()
    {
        const QByteArray kMadeRoom =
            "DENIED Logged out to make room for an administrator; log in again later";
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArrayList>("answers");
        QTest::addColumn<QStringList>("closed");
        QTest::addColumn<QByteArray>("told");
        QTest::newRow("an account's own limit")
            << QByteArray("max_sessions_per_account = 2\n")
            << QStringList{"carol", "carol", "carol", "bob"}
            << QByteArrayList{"mp", "mp",
                              "DENIED This account is logged in 2 times already; log out of one "
                              "first",
                              "poweradmin"}
            << QStringList() << QByteArray();
        QTest::newRow("full: mp refused")
            << QByteArray("max_clients = 2\n") << QStringList{"carol", "dave", "carol"}
            << QByteArrayList{"mp", "mp", "DENIED Too many users are logged in, try again later"}
            << QStringList() << QByteArray();
        QTest::newRow("full: an administrator takes the idlest mp's place")
            << QByteArray("max_clients = 2\n") << QStringList{"carol", "dave", "=carol", "bob"}
            << QByteArrayList{"mp", "mp", "poweradmin"} << QStringList{"dave"} << kMadeRoom;
        QTest::newRow("full: administrators' sessions go last")
            << QByteArray("max_clients = 2\n") << QStringList{"bob", "carol", "alice"}
            << QByteArrayList{"poweradmin", "mp", "mp"} << QStringList{"carol"} << kMadeRoom;
        QTest::newRow("full of administrators: the idlest other makes room")
            << QByteArray("max_clients = 1\n") << QStringList{"bob", "alice"}
            << QByteArrayList{"poweradmin", "mp"} << QStringList{"bob"} << kMadeRoom;
        QTest::newRow("full of one's own sessions")
            << QByteArray("max_clients = 1\n") << QStringList{"alice", "alice"}
            << QByteArrayList{"mp", "DENIED Too many users are logged in, try again later"}
            << QStringList() << QByteArray();
    }
    void sessionPlacesGoToAdministrators()
    {
        QFETCH(QByteArray, config);
        QFETCH(QStringList, steps);
        QFETCH(QByteArrayList, answers);
        QFETCH(QStringList, closed);
        QFETCH(QByteArray, told);
        writeConfig(config);
        addAccount("carol", "c", {"mp"});
        addAccount("dave", "d", {"mp"});
        startServer();
        const QHash<QString, QByteArray> logins{{"alice", "alice:pa:ss-word-mp"},
                                                {"bob", "bob:bobpw-poweradmin"},
                                                {"carol", "carol:c-mp"},
                                                {"dave", "dave:d-mp"}};
        std::vector<std::pair<QString, std::unique_ptr<Client>>> granted;
        for (const QString& step : std::as_const(steps)) {
            if (step.startsWith(u'=')) {
                const QString name = step.mid(1);
                const auto session = std::find_if(granted.begin(), granted.end(),
                                                  [&](const auto& g) { return g.first == name; });
                QVERIFY(session != granted.end());
                session->second->send(name.toLatin1() + " - say here");
                QVERIFY(waitUntil(
                    [&] { return !audited(qPrintable(name + "/mp command")).isEmpty(); }));
                continue;
            }
            auto client = std::make_unique<Client>(port());
            const QByteArray answer = client->exchange(logins.value(step));
            QCOMPARE(answer, answers.takeFirst());
            if (!answer.startsWith("DENIED")) {
                QCOMPARE(client->exchange("getrconpass"), kRcon);
                granted.emplace_back(step, std::move(client));
            }
        }
        for (const auto& [name, client] : granted) {
            if (closed.contains(name)) {
                QVERIFY2(client->waitClosed(), qPrintable(name));
                QCOMPARE(client->socket.readAll(), told);
                closed.removeOne(name);
            } else {
                QVERIFY2(client->connected(), qPrintable(name));
            }
        }
        QVERIFY(closed.isEmpty());
    }
    // A logged-in client that sends nothing for idle_timeout_seconds is told and logged out, an
    // administrator too; one that keeps sending stays.
    void idleSessionsAreLoggedOut()
    {
        writeConfig("idle_timeout_seconds = 1\n");
        startServer();
        Client busy(port());
        QCOMPARE(busy.exchange("bob:bobpw-poweradmin"), QByteArray("poweradmin"));
        QCOMPARE(busy.exchange("getrconpass"), kRcon);
        Client idle(port());
        logIn(idle);
        QTimer keepBusy;
        connect(&keepBusy, &QTimer::timeout, this, [&busy] { busy.send("bob - status"); });
        keepBusy.start(250);
        QVERIFY(idle.waitClosed());
        QCOMPARE(idle.socket.readAll(),
                 QByteArray("DENIED Logged out after 1 s of inactivity; log in again"));
        QVERIFY(!QTest::qWaitFor([&busy] { return !busy.connected(); }, 1000));
    }
    // A slow password check for one client; another, logged in, is answered meanwhile.
    void slowHashDoesNotHogTheEventLoop()
    {
        addAccount("bob", "bobpw", {"mp"}, 400000);
        startServer();
        Client member(port());
        logIn(member);
        Client guesser(port(), "127.0.0.2");
        guesser.send(kWrongBob);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->sessionCount(), 2, kWaitMs);
        QTest::qWait(100); // the guess is read and its check under way
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(member.exchange("getrconpass"), kRcon);
        const qint64 elapsed = timer.elapsed();
        QVERIFY(guesser.next().startsWith("DENIED"));
        QVERIFY2(elapsed <= 150, qPrintable(QString::number(elapsed)));
    }
    // The accounts were made with 1000 iterations, the configuration says 400000: an unknown
    // name must be checked like a known one, not with the configured count.
    void unknownNamesTakeNoLongerThanKnownOnes()
    {
        writeConfig("pbkdf2_iterations = 400000\n");
        startServer();
        QElapsedTimer timer;
        timer.start();
        QVERIFY(Client(port()).exchange("nobody:guess-mp").startsWith("DENIED"));
        const qint64 elapsed = timer.elapsed();
        QVERIFY2(elapsed <= 150, qPrintable(QString::number(elapsed)));
    }
    void parallelAccountEditsLoseNothing()
    {
        std::vector<std::unique_ptr<QProcess>> runs;
        for (int i = 0; i < 10; ++i) {
            runs.push_back(std::make_unique<QProcess>());
            runs.back()->start(QStringLiteral(GARRISOND_PATH),
                               {"--config", file("garrisond.conf"), "--add-user",
                                QStringLiteral("user%1").arg(i), "--levels", "mp"});
            runs.back()->write("pw\n");
            runs.back()->closeWriteChannel();
        }
        for (const auto& process : runs) {
            QVERIFY(process->waitForFinished(30000));
            QCOMPARE(process->exitCode(), 0);
        }
        AccountStore store(file("garrisond-accounts.json"));
        QString error;
        QVERIFY(store.load(&error));
        QCOMPARE(store.accounts().size(), 12);
    }
    void filesAreLeftReadableToNoOne()
    {
        const QStringList secrets{file("garrisond-audit.log"), file("garrisond.conf"),
                                  file("garrisond-accounts.json")};
        for (const QString& path : secrets.first(2)) {
            QFile existing(path);
            QVERIFY(existing.open(QIODevice::Append) &&
                    existing.setPermissions(existing.permissions() | QFile::ReadOther));
        }
        DaemonConfig config;
        QString error;
        QVERIFY(DaemonConfig::load(file("garrisond.conf"), &config, &error));
        DaemonServer server(config);
        QSignalSpy warnings(&server, &DaemonServer::warning);
        QVERIFY(server.start(QHostAddress::LocalHost, 0));
        // The third says that the key and certificate were made; they are no one else's either.
        QCOMPARE(warnings.size(), 3);
        for (const QString& path : secrets + QStringList{config.keyPath, config.certificatePath}) {
            QVERIFY2(!(QFile::permissions(path) & (QFile::ReadOther | QFile::ReadGroup)),
                     qPrintable(path));
        }
    }
    // The real daemon starts a shell that lists its open descriptors: beyond 0-2, only the
    // listing's own and those that this test inherited itself may be there.
    void gameServerInheritsNoDescriptors()
    {
        writeConfig("server_command = /bin/sh -c \"ls -l /proc/self/fd/ > fds.txt\"\n"
                    "server_directory = " +
                    m_dir->path().toUtf8() + "\n");
        QProcess daemon;
        const quint16 daemonPort = startDaemon(daemon);
        QVERIFY(daemonPort != 0);
        Client client(daemonPort);
        logIn(client);
        client.send("startserver");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file("fds.txt")).size() > 0, kWaitMs);
        daemon.terminate();
        QVERIFY(daemon.waitForFinished(kWaitMs));
        QSet<QString> inherited;
        for (const QFileInfo& own : QDir(QStringLiteral("/proc/self/fd")).entryInfoList()) {
            char target[256] = {};
            if (::readlink(QFile::encodeName(own.filePath()).constData(), target,
                           sizeof target - 1) > 0) {
                inherited.insert(QString::fromUtf8(target));
            }
        }
        QFile listing(file("fds.txt"));
        QVERIFY(listing.open(QIODevice::ReadOnly));
        for (const QByteArray& line : listing.readAll().split('\n')) {
            const qsizetype arrow = line.indexOf(" -> ");
            const QByteArray fd = line.left(arrow).split(' ').constLast();
            QVERIFY2(arrow <= 0 || fd.toInt() <= 2 || line.contains("/proc/") ||
                         inherited.contains(QString::fromUtf8(line.mid(arrow + 4))),
                     line.constData());
        }
    }
    // A password tail sent where the level goes is not written to the log.
    void passwordTailAsLevelIsNotLogged()
    {
        startServer();
        QVERIFY(Client(port()).exchange("alice:hunter2-secretpart").startsWith("DENIED"));
        const QString all = auditLines().join(QLatin1Char('\n'));
        QVERIFY(all.contains(QStringLiteral("user=alice level=(unknown level)")));
        QVERIFY(!all.contains(QStringLiteral("secretpart")));
    }

    // The daemon's process. SIGHUP and SIGUSR1 (as the service's reload and an outside log
    // rotation send them) must not end it; SIGTERM and SIGINT end it and the game server it
    // started, which must not be left running without it, not even after SIGKILL.
    void answersSignals_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QByteArray>("said"); // empty: the daemon ends
        QTest::newRow("SIGHUP reloads") << int(SIGHUP) << QByteArray("SIGHUP: reloading");
        QTest::newRow("SIGUSR1 reopens the audit log")
            << int(SIGUSR1) << QByteArray("SIGUSR1: opening the audit log");
        QTest::newRow("SIGTERM stops") << int(SIGTERM) << QByteArray();
        QTest::newRow("SIGINT stops") << int(SIGINT) << QByteArray();
        QTest::newRow("SIGKILL") << int(SIGKILL) << QByteArray();
    }
    void answersSignals()
    {
        QFETCH(int, number);
        QFETCH(QByteArray, said);
        writeConfig("server_command = /bin/sh -c \"echo $$ > game.pid; exec sleep 60\"\n"
                    "server_directory = " +
                    m_dir->path().toUtf8() + "\n");
        QProcess daemon;
        const quint16 daemonPort = startDaemon(daemon);
        QVERIFY(daemonPort != 0);
        Client client(daemonPort);
        logIn(client);
        client.send("startserver");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file("game.pid")).size() > 0, kWaitMs);
        QFile pidFile(file("game.pid"));
        QVERIFY(pidFile.open(QIODevice::ReadOnly));
        const QString game = QStringLiteral("/proc/%1").arg(pidFile.readAll().trimmed());
        const auto gameRunning = [&] {
            QFile status(game + QStringLiteral("/status"));
            return status.open(QIODevice::ReadOnly) && !status.readAll().contains("State:\tZ");
        };
        QVERIFY(gameRunning());
        QVERIFY(::kill(pid_t(daemon.processId()), number) == 0);
        if (said.isEmpty()) {
            QVERIFY(daemon.waitForFinished(kWaitMs));
            QCOMPARE(daemon.exitStatus() == QProcess::NormalExit, number != SIGKILL);
            QTRY_VERIFY_WITH_TIMEOUT(!gameRunning(), kWaitMs);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT((m_said += daemon.readAllStandardError()).contains(said), kWaitMs);
        QCOMPARE(client.exchange("getrconpass"), kRcon);
        QVERIFY(gameRunning());
        daemon.terminate();
        QVERIFY(daemon.waitForFinished(kWaitMs));
    }
    // The service's setting: the daemon runs as a user of its own (nobody here) with only the
    // capabilities to switch to server_user (games here), whom the game server runs as. The
    // daemon leaves no core dump and keeps its memory from its user's other processes (the files
    // of its /proc entry are root's then). The game server tries to write the daemon's files,
    // plant one beside them, signal the daemon and make its log lead to the accounts: all in
    // vain, and it keeps no capability. It still stops with the daemon, which may not signal
    // another user's process by itself.
    void holdsInTheServicesSetting()
    {
        if (::geteuid() != 0) {
            QSKIP("running the daemon and the game server as other users needs root");
        }
        const uid_t games = ::getpwnam("games")->pw_uid;
        QVERIFY(QDir(m_dir->path()).mkdir("game"));
        QVERIFY(::chown(QFile::encodeName(file("game")).constData(), games, games) == 0);
        const QByteArray own = m_dir->path().toUtf8() + '/';
        writeConfig("server_user = games\nserver_directory = game\ngame_log = game/games_mp.log\n"
                    "server_command = /bin/sh -c \"echo $$ > pid; for f in garrisond.conf "
                    "garrisond-accounts.json garrisond-audit.log; do echo x >> " +
                    own + "$f && echo wrote $f; done > report 2>/dev/null; touch " + own +
                    "planted 2>/dev/null && echo planted >> report; kill -HUP $PPID 2>/dev/null "
                    "&& echo signalled >> report; ln -s " +
                    own +
                    "garrisond-accounts.json games_mp.log; grep Cap /proc/self/status >> "
                    "report; id -u >> report; echo done >> report; exec sleep 60\"\n");
        giveFilesTo(::getpwnam("nobody")->pw_uid);
        QProcess daemon;
        const quint16 daemonPort = startDaemon(daemon, asNobody());
        QVERIFY2(daemonPort != 0, m_said.constData());
        const QString process = QStringLiteral("/proc/%1").arg(daemon.processId());
        QCOMPARE(QFileInfo(process + QStringLiteral("/status")).ownerId(), 0u);
        QFile limits(process + QStringLiteral("/limits"));
        QVERIFY(limits.open(QIODevice::ReadOnly));
        const QString core = QString::fromLatin1(limits.readAll())
                                 .split(u'\n')
                                 .filter(QStringLiteral("Max core file size"))
                                 .value(0);
        QCOMPARE(core.simplified().split(u' ').mid(4, 2), QStringList({"0", "0"}));
        Client client(daemonPort);
        logIn(client);
        client.send("startserver");
        // Should the test stop half-way, the daemon (killed then) could not take the game server
        // along: this test started it, this test ends it.
        const auto leftOver = qScopeGuard([this] {
            QFile pid(file("game/pid"));
            if (pid.open(QIODevice::ReadOnly)) {
                ::kill(pid.readAll().trimmed().toInt(), SIGKILL);
            }
        });
        const auto report = [this] {
            QFile done(file("game/report"));
            return done.open(QIODevice::ReadOnly) ? QString::fromLatin1(done.readAll()) : QString();
        };
        QTRY_VERIFY2_WITH_TIMEOUT(report().endsWith(QStringLiteral("done\n")),
                                  (m_said + daemon.readAllStandardError()).constData(), kWaitMs);
        const QString said = report();
        for (const char* set : {"CapInh", "CapPrm", "CapEff", "CapAmb"}) {
            QVERIFY2(said.contains(QLatin1String(set) + QStringLiteral(":\t0000000000000000")),
                     qPrintable(said));
        }
        QVERIFY2(said.endsWith(QStringLiteral("%1\ndone\n").arg(games)), qPrintable(said));
        for (const char* name :
             {"garrisond.conf", "garrisond-accounts.json", "garrisond-audit.log"}) {
            QFile own(file(name));
            QVERIFY(own.open(QIODevice::ReadOnly) && !own.readAll().endsWith("x\n"));
        }
        QVERIFY(!QFile::exists(file("planted")));
        const QByteArray log = client.exchange("getlog");
        QVERIFY2(!log.contains("pbkdf2") && log.contains("symbolic link"), log.constData());
        QCOMPARE(daemon.state(), QProcess::Running);
        QFile pid(file("game/pid"));
        QVERIFY(pid.open(QIODevice::ReadOnly));
        const QString game = QStringLiteral("/proc/%1/status").arg(pid.readAll().trimmed());
        daemon.terminate();
        QVERIFY(daemon.waitForFinished(kWaitMs));
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(game), kWaitMs);
    }
    // The audit log under failure. Every line is lost here (its folder is missing): the operator
    // hears of it once a minute with the count, not once per line.
    void reportsLostAuditLinesOnceAMinute()
    {
        writeConfig("audit_log = gone/garrisond-audit.log\n");
        startServer();
        QSignalSpy warnings(m_server.get(), &DaemonServer::warning);
        Client client(port());
        logIn(client);
        // Within what one account may write of one kind in a minute: every line is attempted.
        for (int i = 0; i < 10; ++i) {
            client.exchange("getrconpass");
        }
        QCOMPARE(warnings.size(), 0);
        m_now = m_now.addSecs(60);
        client.exchange("getrconpass");
        QCOMPARE(warnings.size(), 1);
        const QString said = warnings.at(0).at(0).toString();
        const auto lost = QRegularExpression(QStringLiteral("lost (\\d+) lines")).match(said);
        QVERIFY2(lost.hasMatch() && lost.captured(1).toInt() >= 12, qPrintable(said));
    }
    // Past a file-size limit (as on a full disk) the daemon is not killed by SIGXFSZ, says so
    // once, goes on serving, and leaves no part of a line in the log.
    void survivesAFullDisk()
    {
        QProcess daemon;
        const quint16 daemonPort = startDaemon(daemon, {}, [] {
            const rlimit limit{2048, 2048};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        QVERIFY(daemonPort != 0);
        Client client(daemonPort);
        logIn(client);
        const auto complaints = [&] {
            m_said += daemon.readAllStandardError();
            return m_said.count("audit log");
        };
        const auto running = [&] { return daemon.state() == QProcess::Running; };
        for (int i = 0; i < 40 && complaints() == 0 && running(); ++i) {
            const qint64 before = auditBytes();
            client.send("alice - say " + QByteArray(100, 'x'));
            waitUntil([&] { return auditBytes() != before || complaints() > 0 || !running(); });
        }
        for (int i = 0; i < 5; ++i) {
            client.send("alice - say " + QByteArray(100, 'y'));
            client.socket.flush();
        }
        QVERIFY(running());
        Client other(daemonPort);
        QCOMPARE(other.exchange("bob:bobpw-poweradmin"), QByteArray("poweradmin"));
        QCOMPARE(other.exchange("getrconpass"), kRcon);
        QCOMPARE(complaints(), 1);
        QFile audit(file("garrisond-audit.log"));
        QVERIFY(audit.open(QIODevice::ReadOnly));
        const QByteArray content = audit.readAll();
        QVERIFY(content.size() <= 2048 && content.endsWith('\n'));
        for (const QByteArray& line : content.trimmed().split('\n')) {
            QVERIFY2(line.startsWith("20") && (line.count(" 127.0.0.1 ") == 1 ||
                                               line.contains(" - - certificate-made ")),
                     line.constData());
        }
        daemon.terminate();
        QVERIFY(daemon.waitForFinished(kWaitMs));
    }

private:
    QString file(const QString& name) const { return m_dir->filePath(name); }
    void writeFile(const QString& name, const QByteArray& content)
    {
        QFile out(file(name));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(content);
    }
    void writeConfig(const QByteArray& extra = QByteArray())
    {
        writeFile("garrisond.conf", "rcon_password = " + QString::fromLatin1(kRcon).toUtf8() +
                                        "\ngame_log = games_mp.log\npbkdf2_iterations = 1000\n"
                                        "lockout_seconds = 300\nserver_command = /bin/sleep 60\n"
                                        "health_interval = 0s\n" +
                                        extra);
    }
    void addAccount(const QString& name, const QString& password, const QStringList& levels,
                    int iterations = 1000)
    {
        AccountStore store(file("garrisond-accounts.json"));
        QString error;
        QVERIFY(store.load(&error));
        store.put(Account{name, PasswordHash::create(password, iterations), levels});
        QVERIFY2(store.save(&error), qPrintable(error));
    }
    void startServer()
    {
        DaemonConfig config;
        QString error;
        QVERIFY2(DaemonConfig::load(file("garrisond.conf"), &config, &error), qPrintable(error));
        m_server = std::make_unique<DaemonServer>(config);
        m_server->setClock([this] { return m_now; });
        QVERIFY2(m_server->start(QHostAddress::LocalHost, 0), qPrintable(m_server->errorString()));
        m_server->watchFiles();
        // Until the ban list is read, changes of it are refused.
        QTRY_VERIFY_WITH_TIMEOUT(!m_server->bans().isLoading(), kWaitMs);
    }
    quint16 port() const { return m_server->serverPort(); }
    // setpriv's arguments to run a program as nobody with the capabilities to change its user,
    // as the service runs the daemon.
    static QStringList asNobody()
    {
        return {"setpriv",
                "--reuid=nobody",
                "--regid=nogroup",
                "--clear-groups",
                "--inh-caps=+setuid,+setgid",
                "--ambient-caps=+setuid,+setgid",
                "--"};
    }
    // Gives the test's folder and the daemon's files to `uid`, for a daemon run as that user, and
    // lets others pass through the folder.
    void giveFilesTo(uid_t uid)
    {
        QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755) == 0);
        QVERIFY(::chown(QFile::encodeName(m_dir->path()).constData(), uid, uid) == 0);
        for (const QFileInfo& entry : QDir(m_dir->path()).entryInfoList(QDir::Files)) {
            QVERIFY(::chown(QFile::encodeName(entry.filePath()).constData(), uid, uid) == 0);
        }
    }
    // Starts the real garrisond (behind `prefix`, such as setpriv, and with `modifier` run in
    // its process before it starts) on a free port; the port once it listens, or 0. What it
    // said on stderr so far is in m_said.
    quint16 startDaemon(QProcess& daemon, const QStringList& prefix = {},
                        const std::function<void()>& modifier = {})
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            return 0;
        }
        const quint16 daemonPort = probe.serverPort();
        probe.close();
        if (modifier) {
            daemon.setChildProcessModifier(modifier);
        }
        const QStringList arguments{GARRISOND_PATH, "--config", file("garrisond.conf"), "--port",
                                    QString::number(daemonPort)};
        const QStringList command = prefix + arguments;
        daemon.start(command.first(), command.mid(1));
        m_said.clear();
        return QTest::qWaitFor(
                   [&] { return (m_said += daemon.readAllStandardError()).contains("listening"); },
                   kWaitMs)
                   ? daemonPort
                   : 0;
    }
    QStringList auditLines(const QString& suffix = QString()) const
    {
        QFile audit(file("garrisond-audit.log") + suffix);
        return audit.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(audit.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }
    QStringList audited(const char* part) const
    {
        return auditLines().filter(QString::fromLatin1(part));
    }
    qint64 auditBytes() const { return QFileInfo(file("garrisond-audit.log")).size(); }
    // Logs in as alice/admin and fetches the RCON password, as GARRISON does.
    void logIn(Client& client)
    {
        QVERIFY(client.connected());
        QCOMPARE(client.exchange("alice:pa:ss-word-admin"), QByteArray("admin"));
        QCOMPARE(client.exchange("getrconpass"), kRcon);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<DaemonServer> m_server;
    QDateTime m_now;
    QByteArray m_said;
};

GARRISON_TEST_GUILESS_MAIN(TestDaemonServer)
#include "TestDaemonServer.moc"
