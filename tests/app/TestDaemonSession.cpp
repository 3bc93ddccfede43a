#include "DaemonFixture.h"
#include "TestMain.h"
#include "TextRows.h"
#include "TlsIdentity.h"
#include "app/AppController.h"
#include "app/MainWindow.h"
#include "app/ReaderWindow.h"
#include "bans/BanListWindow.h"
#include "bans/BanSource.h"
#include "bans/BanTableModel.h"
#include "bans/DaemonBanSource.h"
#include "control/ChatPage.h"
#include "history/History.h"
#include "history/HistoryPage.h"
#include "history/HistoryQueries.h"
#include "login/DaemonPins.h"
#include "login/LoginWindow.h"
#include "platform/ConsoleBox.h"
#include "platform/SettingsStore.h"
#include "platform/WindowMemory.h"
#include "players/PlayerMenu.h"
#include "players/PlayerSortModel.h"
#include "players/PlayersPage.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSslServer>
#include <QTableView>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

using namespace garrison;
using garrison::test::addTextRows;
using garrison::test::FakeDialogs;
using garrison::test::SimFixture;

// Daemon sessions against the real companion daemon and the simulated game server, both
// inside this process on 127.0.0.1.
class TestDaemonSession : public QObject, garrison::test::DaemonFixture {
    Q_OBJECT

    static inline const QByteArray kFakeLog =
        "0:00 InitGame\r\n  EVENT of the log\r\n0:01 ExitLevel";
    // A daemon that answers "mp" to any login, then the password and the log kFakeLog, and
    // nothing else; what it heard goes to `heard`.
    void listenAsFakeDaemon(QSslServer& daemon, QByteArrayList& heard)
    {
        QString error;
        QVERIFY(garrisond::TlsIdentity::create(file("cert.pem"), file("key.pem"),
                                               QStringLiteral("fake"), &error));
        garrisond::DaemonConfig named = garrisond::DaemonConfig::defaults(file("fake.conf"));
        named.certificatePath = file("cert.pem");
        named.keyPath = file("key.pem");
        named.tlsFilesNamed = true;
        bool made = false;
        const std::optional<garrisond::TlsIdentity> identity =
            garrisond::TlsIdentity::load(named, &made, &error);
        QVERIFY2(identity, qPrintable(error));
        daemon.setSslConfiguration(identity->serverConfiguration());
        QVERIFY(daemon.listen(QHostAddress::LocalHost, 0));
        trust(identity->fingerprint(), QString::number(daemon.serverPort()));
        connect(&daemon, &QSslServer::pendingConnectionAvailable, this, [&daemon, &heard] {
            QTcpSocket* client = daemon.nextPendingConnection();
            connect(client, &QTcpSocket::readyRead, client, [client, &heard] {
                const QByteArray message = client->readAll();
                heard.append(message);
                if (message == "getrconpass") {
                    client->write("secret");
                } else if (message == "getlog") {
                    // The log's second half comes well after the first, with an event line
                    // right behind it.
                    client->write("LOG " + QByteArray::number(kFakeLog.size()) + "\r\n" +
                                  kFakeLog.first(kFakeLog.size() / 2));
                    QTimer::singleShot(DaemonLink::kLogQuietMs * 2, client, [client] {
                        client->write(kFakeLog.sliced(kFakeLog.size() / 2) +
                                      "EVENT chat\tname=Bob\ttext=hi\n");
                    });
                } else if (message.startsWith("alice:")) {
                    client->write("mp");
                }
            });
        });
    }

private Q_SLOTS:
    void init() { setUpDaemonSession(); }
    void cleanup() { tearDownDaemonSession(); }

    void theSelectedLevelWinsOverTheAnsweredOne()
    {
        QSslServer daemon;
        QByteArrayList heard;
        listenAsFakeDaemon(daemon, heard);
        logIn(QStringLiteral("alice"), QStringLiteral("pw"), QStringLiteral("poweradmin"),
              QString::number(daemon.serverPort()));
        QTRY_VERIFY_WITH_TIMEOUT(m_app->mainWindow() && m_app->mainWindow()->isVisible(), 5000);
        QCOMPARE(m_dialogs->calls.at(0).text,
                 QStringLiteral("Access Granted to alice as poweradmin"));
        QCOMPARE(m_app->mainWindow()->level(), QStringLiteral("poweradmin"));
        QCOMPARE(m_app->mainWindow()->txtRcon(), QStringLiteral("secret"));
        // The server's address was typed: the daemon is not asked for it.
        QVERIFY(!heard.contains("serveraddress"));
    }

    // A log that pauses on the way is taken whole, by its length, and what follows it is a
    // message of its own.
    void aLogIsWholeByItsLength()
    {
        QSslServer daemon;
        QByteArrayList heard;
        listenAsFakeDaemon(daemon, heard);
        logIn(QStringLiteral("alice"), QStringLiteral("pw"), QStringLiteral("mp"),
              QString::number(daemon.serverPort()));
        QTRY_VERIFY_WITH_TIMEOUT(m_app->mainWindow() && m_app->mainWindow()->isVisible(), 5000);
        DaemonLink& link = login().daemonLink();
        QSignalSpy logs(&link, &DaemonLink::logReceived);
        QStringList chat;
        connect(&link, &DaemonLink::eventReceived, this,
                [&chat](const DaemonEvent& event) { chat << event.value(QStringLiteral("text")); });
        link.armLog();
        QVERIFY(!link.sendRequest(QStringLiteral("getlog")));
        QVERIFY(logs.wait(DaemonLink::kLogQuietMs * 10));
        QCOMPARE(logs.at(0).at(0).toString(),
                 QStringLiteral("0:00 InitGame\r\n EVENT of the log\r\n0:01 ExitLevel"));
        QTRY_COMPARE_WITH_TIMEOUT(chat, QStringList{QStringLiteral("hi")}, 5000);
        QCOMPARE(logs.size(), 1);
    }

    // Asked where its game server is, a daemon that does not answer leaves the login as it
    // was: the empty address is not found.
    void silentDaemonLeavesTheServerUnknown()
    {
        QSslServer daemon;
        QByteArrayList heard;
        listenAsFakeDaemon(daemon, heard);
        logIn(QStringLiteral("alice"), QStringLiteral("pw"), QStringLiteral("mp"),
              QString::number(daemon.serverPort()), QStringLiteral("127.0.0.1"), false);
        QTRY_COMPARE_WITH_TIMEOUT(m_dialogs->calls.size(), 2,
                                  DaemonLink::kServerAddressWaitMs + 5000);
        QVERIFY(heard.contains("serveraddress"));
        QCOMPARE(m_dialogs->calls.at(1).caption, QStringLiteral("Error nº: 11001"));
        QVERIFY(login().isVisible());
    }

    // The game server's address and port left empty at a daemon login are garrisond's:
    // server_address (else the daemon's own address) and server_port (else the port of
    // server_command). The main window opens on them after "Access Granted", without a second
    // login; what the user typed wins. "P" is the simulated server's port.
    void emptyServerFieldsComeFromTheDaemon_data()
    {
        addTextRows({"config", "fields", "host", "port", "error"},
                    {{"server_port", "server_port = P", "", "127.0.0.1", "P", ""},
                     {"port of server_command", "server_command = /bin/sleep 60 +set net_port P",
                      "", "127.0.0.1", "P", ""},
                     {"server_address", "server_address = localhost\nserver_port = P", "",
                      "localhost", "P", ""},
                     {"typed fields win", "server_address = 192.0.2.1\nserver_port = 1", "typed",
                      "127.0.0.1", "P", ""},
                     {"no port known", "", "", "127.0.0.1", "", "Error nº: 13"}});
    }
    void emptyServerFieldsComeFromTheDaemon()
    {
        QFETCH(QString, config);
        QFETCH(QString, fields);
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QString, error);
        const QString simPort = QString::number(m_sim->port());
        startDaemon(config.replace(u'P', simPort).toUtf8() + '\n');
        logIn(QStringLiteral("alice"), QStringLiteral("alicepw"), QStringLiteral("mp"),
              daemonPort(), QStringLiteral("127.0.0.1"), !fields.isEmpty());
        if (error.isEmpty()) {
            waitForSession();
            QCOMPARE(onlyBox(), QStringLiteral("Access Granted to alice as mp"));
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(m_dialogs->calls.size(), 2, 5000);
            QCOMPARE(m_dialogs->calls.at(1).caption, error);
        }
        QCOMPARE(m_app->mainWindow()->Text3(), host);
        QCOMPARE(m_app->mainWindow()->Text4(), port.replace(u'P', simPort));
        QCOMPARE(field<QLineEdit>("Text4")->text(), host);
        QCOMPARE(auditedLogins().size(), 1);
    }

    // Each refusal is told when it comes, in place of "Received Data!", and leaves Connect off.
    // The holder, there to fill the daemon first, logs in with its message or only connects
    // with an empty one ("-": no holder).
    void refusalsAreToldAtLogin_data()
    {
        const char* check = "Check is password, username and level are correct!";
        addTextRows({"password", "level", "config", "holder", "advice"},
                    {{"wrong password", "wrong", "mp", "", "-", check},
                     {"level not granted", "alicepw", "poweradmin", "", "-", check},
                     {"locked out", "wrong", "mp", "lockout_failures = 1", "-",
                      "Too many failed logins, try again later"},
                     {"too many connections", "alicepw", "mp", "max_anonymous_per_address = 1", "",
                      "Too many connections from this address"},
                     {"too many users", "alicepw", "mp", "max_clients = 1", "alice:alicepw-admin",
                      "Too many users are logged in, try again later"}});
    }
    void refusalsAreToldAtLogin()
    {
        QFETCH(QString, password);
        QFETCH(QString, level);
        QFETCH(QString, config);
        QFETCH(QString, holder);
        QFETCH(QString, advice);
        startDaemon(config.toUtf8() + '\n');
        if (holder != QLatin1String("-")) {
            m_holder.setPeerVerifyMode(QSslSocket::VerifyNone);
            m_holder.connectToHostEncrypted(QStringLiteral("127.0.0.1"), m_daemon->serverPort());
            QVERIFY(QSignalSpy(&m_holder, &QSslSocket::encrypted).wait(5000));
            QTRY_COMPARE_WITH_TIMEOUT(m_daemon->sessionCount(), 1, 5000);
            m_holder.write(holder.toUtf8());
            QTRY_VERIFY_WITH_TIMEOUT(holder.isEmpty() || m_holder.bytesAvailable() > 0, 5000);
        }
        logIn(QStringLiteral("alice"), password, level, daemonPort());
        QTRY_VERIFY_WITH_TIMEOUT(!m_dialogs->calls.isEmpty(), 5000);
        QCOMPARE(onlyBox(), QStringLiteral("Access Denied to alice : ") + advice);
        QCOMPARE(m_dialogs->calls[0].caption, QStringLiteral("GARRISON"));
        QVERIFY(!field<QAbstractButton>("Command1")->isEnabled());
        QVERIFY(!login().daemonLink().Timer1().isActive());
        QVERIFY(field<QLabel>("Label3")->text() != QStringLiteral("Received Data!"));
        QVERIFY(!m_app->mainWindow() || !m_app->mainWindow()->isVisible());
    }

    // Nothing is sent to a daemon before its certificate is trusted: the first Login asks, a
    // certificate other than the trusted one is refused until the user forgets the old one, and
    // a daemon that does not speak TLS gets nothing. `pin`: "" none, "own" the daemon's,
    // "other" another's; `answer` to the question; `box`: the start of the first box.
    void certificateIsTrustedOnFirstUse_data()
    {
        addTextRows({"daemon", "pin", "answer", "box", "granted"},
                    {{"first use, trusted", "tls", "", "yes",
                      "GARRISON does not know the daemon at 127.0.0.1:", "yes"},
                     {"first use, declined", "tls", "", "no",
                      "GARRISON does not know the daemon at 127.0.0.1:", ""},
                     {"changed certificate", "tls", "other", "", "The daemon at 127.0.0.1:", ""},
                     {"plain-text daemon", "plain", "", "",
                      "An error has occured!\r\nThe daemon "
                      "did not answer with TLS",
                      ""}});
    }
    void certificateIsTrustedOnFirstUse()
    {
        QFETCH(QString, daemon);
        QFETCH(QString, pin);
        QFETCH(QString, answer);
        QFETCH(QString, box);
        QFETCH(QString, granted);
        if (daemon == QLatin1String("plain")) {
            startDaemon("allow_plaintext = true\n");
        }
        const QString fingerprint = m_daemon->fingerprint();
        const QString other = QStringLiteral("AB:").repeated(31) + QStringLiteral("AB");
        trust(pin == QLatin1String("other") ? other : QString(), daemonPort());
        if (answer == QLatin1String("yes")) {
            m_dialogs->answers.enqueue(BoxAnswer::Yes);
        }
        logIn(QStringLiteral("alice"), QStringLiteral("alicepw"), QStringLiteral("admin"),
              daemonPort());
        if (!granted.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(m_app->mainWindow() && m_app->mainWindow()->isVisible(), 5000);
            QCOMPARE(trusted(daemonPort()), fingerprint);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(!m_dialogs->calls.isEmpty(), 5000);
            QTest::qWait(300);
            QVERIFY(!login().daemonLink().isConnected());
            QVERIFY(auditedLogins().isEmpty());
            QVERIFY(!login().daemonLink().Timer1().isActive());
        }
        const FakeDialogs::Call first = m_dialogs->calls.at(0);
        QVERIFY2(first.text.startsWith(box), qPrintable(first.text));
        if (daemon == QLatin1String("plain")) {
            QCOMPARE(first.caption, QStringLiteral("Error n:10071"));
            return;
        }
        QVERIFY2(first.text.contains(QStringLiteral("SHA-256 ") + fingerprint),
                 qPrintable(first.text));
        if (pin.isEmpty()) {
            QCOMPARE(first.buttons, BoxButtons::YesNo);
            QCOMPARE(trusted(daemonPort()), granted.isEmpty() ? QString() : fingerprint);
            return;
        }
        // Refused: both fingerprints are named, and the new one is trusted only after the
        // user forgets the old one and says yes.
        QVERIFY(first.text.contains(QStringLiteral("SHA-256 ") + other));
        QCOMPARE(first.icon, BoxIcon::Critical);
        QCOMPARE(trusted(daemonPort()), other);
        login().findChild<QAction*>(QStringLiteral("ForgetCertificate"))->trigger();
        QCOMPARE(trusted(daemonPort()), QString());
        m_dialogs->answers.enqueue(BoxAnswer::Yes);
        field<QAbstractButton>("Command3")->click();
        QTRY_VERIFY_WITH_TIMEOUT(m_app->mainWindow() && m_app->mainWindow()->isVisible(), 5000);
        QCOMPARE(m_dialogs->calls.at(1).buttons, BoxButtons::YesNo);
        QCOMPARE(trusted(daemonPort()), fingerprint);
    }

    // A certificate that an authority of the system signed for the daemon's name needs no
    // question and no pin (an ACME client's, renewed without anyone noticing).
    void certificateSignedForTheNameIsTrusted()
    {
        const auto openssl = [this](const QStringList& arguments) {
            QProcess run;
            run.setWorkingDirectory(m_dir->path());
            run.start(QStringLiteral("openssl"), arguments);
            return run.waitForFinished(10000) && run.exitCode() == 0;
        };
        write("name.ext", "subjectAltName = DNS:localhost\n");
        const QStringList key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes"};
        QVERIFY(openssl(QStringList{"req", "-x509"} + key +
                        QStringList{"-keyout", "ca-key.pem", "-out", "ca.pem", "-days", "2",
                                    "-subj", "/CN=Test authority"}));
        QVERIFY(openssl(
            QStringList{"req"} + key +
            QStringList{"-keyout", "key.pem", "-out", "name.csr", "-subj", "/CN=localhost"}));
        QVERIFY(openssl({"x509", "-req", "-in", "name.csr", "-CA", "ca.pem", "-CAkey", "ca-key.pem",
                         "-CAcreateserial", "-days", "2", "-extfile", "name.ext", "-out",
                         "certificate.pem"}));
        startDaemon("tls_certificate = certificate.pem\ntls_key = key.pem\n");
        trust(QString(), daemonPort());
        const QSslConfiguration system = QSslConfiguration::defaultConfiguration();
        const auto restore =
            qScopeGuard([&system] { QSslConfiguration::setDefaultConfiguration(system); });
        QSslConfiguration withAuthority = system;
        withAuthority.addCaCertificates(file("ca.pem"));
        QSslConfiguration::setDefaultConfiguration(withAuthority);
        logIn(QStringLiteral("alice"), QStringLiteral("alicepw"), QStringLiteral("admin"),
              daemonPort(), QStringLiteral("localhost"));
        QTRY_VERIFY_WITH_TIMEOUT(m_app->mainWindow() && m_app->mainWindow()->isVisible(), 5000);
        QCOMPARE(onlyBox(), QStringLiteral("Access Granted to alice as admin"));
        QCOMPARE(DaemonPins::pinned(SettingsStore::applicationName(), 0,
                                    QStringLiteral("localhost"), daemonPort()),
                 QString());
    }

    void loginNeedsTheDaemonsAddressCredentialsAndConnection()
    {
        logIn(QStringLiteral("alice"), QStringLiteral("alicepw"), QStringLiteral("mp"), QString());
        QCOMPARE(onlyBox(), QStringLiteral("Please set your GARRISON Daemon IP and Port"));
        QCOMPARE(login().daemonLink().Winsock1().state(), QAbstractSocket::UnconnectedState);

        m_dialogs->calls.clear();
        logIn(QString(), QStringLiteral("alicepw"), QStringLiteral("mp"), daemonPort());
        QTRY_COMPARE_WITH_TIMEOUT(m_dialogs->calls.size(), 1, 2000);
        QCOMPARE(m_dialogs->calls[0].text,
                 QStringLiteral("Please enter both username, password and select level!"));
        QCOMPARE(m_dialogs->calls[0].caption, QStringLiteral("Login"));
        QCOMPARE(m_dialogs->calls[0].icon, BoxIcon::Critical);
        QVERIFY(!login().daemonLink().Timer1().isActive());
        QTRY_VERIFY_WITH_TIMEOUT(login().daemonLink().isConnected(), 2000);
        // Quit leaves no connection to the daemon behind.
        field<QAbstractButton>("Command2")->click();
        QVERIFY(!login().daemonLink().isConnected());

        // A refused connection shows the socket error.
        m_dialogs->calls.clear();
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const QString closedPort = QString::number(probe.serverPort());
        probe.close();
        logIn(QStringLiteral("alice"), QStringLiteral("alicepw"), QStringLiteral("mp"), closedPort);
        QTRY_VERIFY_WITH_TIMEOUT(!m_dialogs->calls.isEmpty(), 5000);
        QVERIFY(m_dialogs->calls[0].text.startsWith(QStringLiteral("An error has occured!\r\n")));
        QCOMPARE(m_dialogs->calls[0].caption, QStringLiteral("Error n:10061"));
        // The login timer goes on waiting for the link and says that there is none.
        QTRY_COMPARE_WITH_TIMEOUT(login().daemonLink().status(),
                                  QStringLiteral("Not currently connected to host"), 2000);
        login().daemonLink().Timer1().stop();
    }

    // A password that comes only after the grant box has closed: the session waits for it
    // rather than connecting with none.
    void passwordAfterTheGrantBox()
    {
        m_dialogs->whileOpen = {};
        startSession(QStringLiteral("admin"));
        QCOMPARE(m_app->mainWindow()->txtRcon(), m_sim->password());
        QCOMPARE(onlyBox(), QStringLiteral("Access Granted to alice as admin"));
    }

    void deferredCommandIsEchoedTwiceAndSentOnce()
    {
        startSession(QStringLiteral("mp"));
        MainWindow& main = *m_app->mainWindow();
        int answered = 0;
        connect(&m_sim->server(), &sim::SimServer::requestAnswered, this,
                [&answered](const QString& command) { answered += command == "sv_voice"; });
        main.WaitSend(QStringLiteral("sv_voice"));
        QTRY_COMPARE_WITH_TIMEOUT(answered, 1, 5000);
        const QString audit = file("garrisond-audit.log");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(audit), 2000);
        QFile log(audit);
        QTRY_VERIFY_WITH_TIMEOUT(
            (log.open(QIODevice::ReadOnly), log.seek(0), log.readAll().count("sv_voice") == 2),
            3000);
        QTest::qWait(200);
        QCOMPARE(answered, 1);
    }

    // However the daemon lets a session go, the main window goes, the login window says why, and
    // nothing granted is left for Connect to open a session with.
    void sessionEndsWhenTheDaemonLetsGo_data()
    {
        // How: the account is "removed", or the daemon "stop"s. When: "session", "logged out" (at
        // the login window, link open) or "grant box" (while the grant is shown).
        const char* removed =
            "The daemon account \"alice\" was removed; log in with another account";
        const char* lost = "GARRISON lost connection with the daemon!\r\n"
                           "Please wait a few seconds and reconnect again!";
        addTextRows({"how", "when", "told", "caption"},
                    {{"account removed", "removed", "session", removed, "GARRISON Daemon"},
                     {"account removed after a log-out", "removed", "logged out", removed,
                      "GARRISON Daemon"},
                     {"daemon gone", "stop", "session", lost, "GARRISON"},
                     {"daemon gone during the grant", "stop", "grant box", lost, "GARRISON"}});
    }
    void sessionEndsWhenTheDaemonLetsGo()
    {
        QFETCH(QString, how);
        QFETCH(QString, when);
        QFETCH(QString, told);
        QFETCH(QString, caption);
        const auto letGo = [&] {
            if (how == QLatin1String("stop")) {
                m_daemon.reset();
                return;
            }
            setAliceLevels({});
            m_daemon->reload();
        };
        const auto granting = m_dialogs->whileOpen;
        if (when == QLatin1String("grant box")) {
            m_dialogs->whileOpen = [&](const FakeDialogs::Call& call) {
                if (call.text.startsWith(QStringLiteral("Access Granted to "))) {
                    letGo();
                    QTRY_VERIFY_WITH_TIMEOUT(!login().daemonLink().isConnected(), 5000);
                }
            };
            logIn(QStringLiteral("alice"), QStringLiteral("alicepw"), QStringLiteral("admin"),
                  daemonPort());
            QTRY_COMPARE_WITH_TIMEOUT(m_dialogs->calls.size(), 2, 5000);
            m_dialogs->calls.removeFirst();
        } else {
            startSession(QStringLiteral("admin"));
            if (when == QLatin1String("logged out")) {
                m_app->mainWindow()->findChild<QAbstractButton*>(QStringLiteral("Image4"))->click();
                QVERIFY(login().isVisible());
            }
            m_dialogs->calls.clear();
            letGo();
            QTRY_VERIFY_WITH_TIMEOUT(!login().daemonLink().isConnected(), 5000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(onlyBox(), told, 5000);
        QCOMPARE(m_dialogs->calls[0].caption, caption);
        QVERIFY(login().isVisible());
        QVERIFY(!m_app->mainWindow()->isVisible());
        QVERIFY(!field<QAbstractButton>("Command1")->isEnabled());
        QCOMPARE(login().statusz(), QStringLiteral("none"));

        if (when == QLatin1String("grant box")) {
            // A new daemon's level answer is taken as such, though the lost link awaited the
            // password.
            m_dialogs->whileOpen = granting;
            startDaemon();
            startSession(QStringLiteral("admin"));
        }
    }

    // Last: the page it leaves is restored in the next session.
    void grantedSessionTakesThePasswordAndAdministersTheServer()
    {
        // A daily restart half a day away, so that it never comes during the test.
        startDaemon("server_port = " + QByteArray::number(m_sim->port()) +
                    "\nhealth_interval = 0s\nrestart_warnings = 1s\nannounce = 5m ^2Welcome\n"
                    "restart_times = " +
                    QTime::currentTime().addSecs(12 * 3600).toString("HH:mm").toUtf8() + '\n');
        startSession(QStringLiteral("admin"));
        MainWindow& main = *m_app->mainWindow();
        QCOMPARE(m_dialogs->calls.at(0).text, QStringLiteral("Access Granted to alice as admin"));
        QCOMPARE(m_dialogs->calls.at(0).caption, QStringLiteral("GARRISON"));
        QCOMPARE(main.txtRcon(), m_sim->password());
        QCOMPARE(main.level(), QStringLiteral("admin"));
        QCOMPARE(main.session().rcon().DaemonFlag(), QStringLiteral("1"));
        QVERIFY(!login().isVisible());
        QVERIFY(login().daemonLink().isConnected());
        // The simulated server accepted the password: its status reply fills the grid.
        QTRY_VERIFY_WITH_TIMEOUT(main.session().gridModel().rowCount() > 2, 5000);

        // Daemon administration: the server starts, the log arrives.
        m_dialogs->calls.clear();
        main.findChild<QAbstractButton*>(QStringLiteral("Image9"))->click();
        QTest::mouseClick(main.findChild<QWidget*>(QStringLiteral("Labelstart")), Qt::LeftButton);
        QCOMPARE(onlyBox(), QStringLiteral("Server should be starting up!"));
        QTRY_VERIFY_WITH_TIMEOUT(m_daemon->gameServer().isRunning(), 5000);

        // The daemon's watch: refreshed, the next restart skipped, a restart now only after the
        // box says yes.
        auto* state = main.findChild<QLabel*>(QStringLiteral("watchStateLabel"));
        auto* restart = main.findChild<QLabel*>(QStringLiteral("watchRestartLabel"));
        auto* skip = main.findChild<QAbstractButton*>(QStringLiteral("watchSkipButton"));
        main.findChild<QAbstractButton*>(QStringLiteral("watchRefreshButton"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(state->text().startsWith(QStringLiteral("Running since ")), 5000);
        QVERIFY2(restart->text().startsWith(QStringLiteral("Next restart: ")) && skip->isEnabled(),
                 qPrintable(restart->text()));
        QCOMPARE(
            main.findChild<QListWidget*>(QStringLiteral("watchAnnouncementsList"))->item(0)->text(),
            QStringLiteral("after 5 min: Welcome"));
        skip->click();
        QTRY_VERIFY_WITH_TIMEOUT(restart->text().contains(QStringLiteral("(skipped: ")), 5000);
        QCOMPARE(main.findChild<QLabel*>(QStringLiteral("statusLine"))->text(),
                 QStringLiteral("The next daily restart is skipped."));
        const qint64 pid = m_daemon->gameServer().processId();
        auto* restartNow =
            main.findChild<QAbstractButton*>(QStringLiteral("watchRestartNowButton"));
        m_dialogs->calls.clear();
        m_dialogs->answers << BoxAnswer::No << BoxAnswer::Yes;
        restartNow->click();
        QCOMPARE(
            onlyBox(),
            QStringLiteral("Restart the game server now? The daemon warns the players first."));
        restartNow->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            restart->text().startsWith(QStringLiteral("Restart on request at ")), 5000);
        QVERIFY(!restartNow->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(
            m_daemon->gameServer().processId() != pid && m_daemon->gameServer().isRunning(), 5000);
        // Once the restart is over, the page asks again by itself.
        QTRY_VERIFY_WITH_TIMEOUT(restart->text().startsWith(QStringLiteral("Next restart: ")),
                                 8000);
        QFile audit(file("garrisond-audit.log"));
        QVERIFY(audit.open(QIODevice::ReadOnly));
        QCOMPARE(audit.readAll().count(" restartnow "), 1);

        m_dialogs->calls.clear();
        // A log of many receive events reaches the reader whole, and leaves the session as it was.
        QByteArray log;
        for (int i = 0; i < 20000; ++i) {
            log += "  0:06 say;x;0;Bob;line " + QByteArray::number(i) + "\n";
        }
        write("games_mp.log", log + "  0:07 J;123;0;Bob\n");
        main.showPage(MainWindow::Page::Chat); // without the relay's registration
        QTest::mouseClick(main.findChild<QWidget*>(QStringLiteral("Label93")), Qt::LeftButton);
        QCOMPARE(onlyBox(), QStringLiteral("Getting Log"));
        QTRY_VERIFY_WITH_TIMEOUT(main.reader().isVisible(), 5000);
        QVERIFY(main.reader().Text1().text().endsWith(QStringLiteral("J;123;0;Bob\r\n")));
        QVERIFY(main.reader().Text1().text().size() > 200000);
        QCOMPARE(login().statusz(), QStringLiteral("admin"));
        QCOMPARE(field<QLabel>("Label3")->text(), QStringLiteral("Received Log"));
        m_daemon->gameServer().stop();
    }

    // A daemon session's ban list is the daemon's: a ban added from the window is kept there,
    // issued by the account that logged in, and listed back, a page at a time.
    void bansOfADaemonSessionAreTheDaemons()
    {
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("game/main")));
        write("game/main/ban.txt", "7654321 Eve\n");
        setAliceLevels({QStringLiteral("admin"), QStringLiteral("poweradmin")});
        startDaemon("server_port = " + QByteArray::number(m_sim->port()) +
                    "\nhealth_interval = 0s\nserver_directory = game\n");
        QTRY_VERIFY_WITH_TIMEOUT(!m_daemon->bans().isLoading(), 5000);
        QList<BanRecord> others(2 * DaemonBanSource::kPage);
        for (qsizetype i = 0; i < others.size(); ++i) {
            others[i].guid = QString::number(100000 + i);
        }
        bool stored = false;
        m_daemon->bans().addAll(others, this, [&stored](const garrisond::BanStore::Result& result) {
            stored = result.error.isEmpty();
        });
        QTRY_VERIFY_WITH_TIMEOUT(stored, 5000);
        startSession(QStringLiteral("poweradmin"));
        BanSource* source = m_app->mainWindow()->banSource();
        QVERIFY(source != nullptr);
        QSignalSpy added(source, &BanSource::added);
        QSignalSpy pages(source, &BanSource::pageListed);
        QList<BanRecord> listed;
        connect(source, &BanSource::listed, this,
                [&listed](const QList<BanRecord>& bans) { listed = bans; });
        BanRecord ban;
        ban.guid = QStringLiteral("1234567890");
        ban.reason = QStringLiteral("wallhack");
        source->add(ban);
        QVERIFY(added.wait(5000));
        pages.clear();
        source->list();
        QTRY_COMPARE_WITH_TIMEOUT(listed.size(), others.size() + 1, 5000);
        QCOMPARE(pages.size(), 3);
        QCOMPARE(pages.at(0).at(1).toBool(), true);
        QCOMPARE(pages.at(2).at(0).value<QList<BanRecord>>().size(), 1);
        QCOMPARE(listed.constLast().guid, ban.guid);
        QCOMPARE(listed.constLast().issuedBy, QStringLiteral("alice"));

        // The engine's own bans, read from its file by the daemon, are shown beside them and
        // are unbanned by name on the server.
        BanListWindow& window = m_app->mainWindow()->banList();
        window.show();
        const auto rowOf = [&window](const QString& name) {
            for (int row = 0; row < window.model().rowCount(); ++row) {
                if (window.model().row(row).ban.names.value(0) == name) {
                    return row;
                }
            }
            return -1;
        };
        QTRY_VERIFY_WITH_TIMEOUT(rowOf(QStringLiteral("Eve")) >= 0, 5000);
        QCOMPARE(window.model().row(rowOf(QStringLiteral("Eve"))).kind,
                 BanTableModel::Kind::Engine);
        auto* state = window.findChild<QComboBox*>(QStringLiteral("cboBanState"));
        state->setCurrentIndex(state->findText(QStringLiteral("Server's own")));
        auto* table = window.findChild<QTableView*>(QStringLiteral("tblBans"));
        const auto* filter = table->model();
        for (int row = 0; row < filter->rowCount(); ++row) {
            if (filter->index(row, BanTableModel::Name).data().toString() == u"Eve") {
                table->setCurrentIndex(filter->index(row, BanTableModel::Name));
            }
        }
        window.findChild<QPushButton*>(QStringLiteral("btnBanUnban"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->answered().contains(QStringLiteral("unbanuser Eve")), 5000);

        // Imported once, on request, the engine's ban becomes one of the list's.
        m_dialogs->answers << BoxAnswer::Yes;
        window.findChild<QPushButton*>(QStringLiteral("btnBanImport"))->click();
        auto* status = window.findChild<QLabel*>(QStringLiteral("lblBanStatus"));
        QTRY_VERIFY2_WITH_TIMEOUT(status->text().startsWith(QStringLiteral("Imported 1 bans")),
                                  qPrintable(status->text()), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(m_daemon->bans().keepingOut(QStringLiteral("7654321"), {}, {},
                                                             QDateTime::currentDateTimeUtc()),
                                 5000);
    }

    // The ban dialogs of a daemon session offer garrisond's ban_reasons, asked for anew at each
    // dialog, so that a reloaded configuration reaches the next one; the ban list shows them
    // without letting them be changed.
    void daemonsReasonsAreOfferedAndFollowItsConfiguration()
    {
        const QByteArray config = "server_port = " + QByteArray::number(m_sim->port()) + '\n';
        startDaemon(config +
                    "ban_reasons = Team killing, after a warning\nban_reasons = ^1Aimbot\n");
        startSession(QStringLiteral("admin"));
        MainWindow& main = *m_app->mainWindow();
        m_sim->console().reply(QStringLiteral("sim_join Suspect 7654321 198.51.100.9"));
        main.Send(QStringLiteral("status"));
        QTableView& grid = main.playersPage().grid();
        const auto suspectRow = [&grid] {
            for (int row = 0; row < grid.model()->rowCount(); ++row) {
                if (grid.model()->index(row, PlayerRow::Name).data() == QLatin1String("Suspect")) {
                    return row;
                }
            }
            return -1;
        };
        QTRY_VERIFY_WITH_TIMEOUT(suspectRow() >= 0, 5000);
        grid.setCurrentIndex(grid.model()->index(suspectRow(), PlayerRow::Name));

        // The offered reasons once the daemon has answered; the dialog is cancelled.
        const auto offered = [&main](const QStringList& expected) {
            QStringList items;
            QTimer watch;
            watch.setInterval(10);
            connect(&watch, &QTimer::timeout, &watch, [&watch, &items, &expected] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                if (dialog == nullptr || dialog->objectName() != QLatin1String("BanDialog")) {
                    return;
                }
                watch.stop();
                auto* reasons = dialog->findChild<QComboBox*>(QStringLiteral("cboReason"));
                const auto listed = [reasons] {
                    QStringList texts;
                    for (int index = 0; index < reasons->count(); ++index) {
                        texts.append(reasons->itemText(index));
                    }
                    return texts;
                };
                static_cast<void>(QTest::qWaitFor([&] { return listed() == expected; }, 5000));
                items = listed();
                QVERIFY(reasons->currentText() == expected.value(0));
                dialog->reject();
            });
            watch.start();
            main.playerMenu().entry(QStringLiteral("banwithreasonz"))->trigger();
            return items;
        };
        QCOMPARE(offered({"Team killing, after a warning", "^1Aimbot"}),
                 QStringList({"Team killing, after a warning", "^1Aimbot"}));

        write("garrisond.conf", "rcon_password = " + m_sim->password().toUtf8() +
                                    "\ngame_log = games_mp.log\npbkdf2_iterations = 1000\n"
                                    "server_command = /bin/sleep 60\nhealth_interval = 0s\n" +
                                    config + "ban_reasons = Wallhack\n");
        QVERIFY(m_daemon->reload());
        QCOMPARE(offered({"Wallhack"}), QStringList{"Wallhack"});

        main.openBanList();
        QStringList shown;
        bool editable = true;
        QTimer watch;
        watch.setInterval(10);
        connect(&watch, &QTimer::timeout, &watch, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || dialog->objectName() != QLatin1String("BanReasons")) {
                return;
            }
            watch.stop();
            auto* list = dialog->findChild<QListWidget*>(QStringLiteral("lstReasons"));
            for (int row = 0; row < list->count(); ++row) {
                shown.append(list->item(row)->text());
            }
            editable =
                dialog->findChild<QAbstractButton*>(QStringLiteral("btnReasonAdd"))->isEnabled();
            dialog->reject();
        });
        watch.start();
        main.banList().findChild<QAbstractButton*>(QStringLiteral("btnBanReasons"))->click();
        QCOMPARE(shown, QStringList{"Wallhack"});
        QVERIFY(!editable);
    }

    void gameLogBecomesChatAlertsAndReports()
    {
        QTcpServer webhook;
        QVERIFY(webhook.listen(QHostAddress::LocalHost, 0));
        QByteArray posted;
        connect(&webhook, &QTcpServer::pendingConnectionAvailable, this, [&webhook, &posted] {
            QTcpSocket* client = webhook.nextPendingConnection();
            connect(client, &QTcpSocket::readyRead, client, [client, &posted] {
                posted += client->readAll();
                client->write("HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n");
            });
        });
        sim::SimSettings settings = SimFixture::frozenSettings();
        settings.logFile = file("games_mp.log");
        m_sim = std::make_unique<SimFixture>(settings);
        QVERIFY(m_sim->start());
        startDaemon("alert_words = wallhack, ^1aimbot\nwebhook_format = json\nwebhook_url = "
                    "http://127.0.0.1:" +
                    QByteArray::number(webhook.serverPort()) + "/hook\n");
        // An earlier test may have left the Chat page as the last one, whose first visit
        // registers the relay.
        SettingsStore::write(WindowMemory::kSection, QStringLiteral("LastPage"),
                             QStringLiteral("Players"));
        QSignalSpy events(&login().daemonLink(), &DaemonLink::eventReceived);
        startSession(QStringLiteral("admin"));
        MainWindow& main = *m_app->mainWindow();
        QTRY_VERIFY_WITH_TIMEOUT(!events.isEmpty(), 5000);
        QCOMPARE(events.first().first().value<DaemonEvent>().kind, DaemonEvent::Kind::Stream);

        sim::SimWorld& world = m_sim->console().world();
        world.say(1, QStringLiteral("^2gg ^7all"));
        world.say(2, QStringLiteral("rush b"), true);
        const ChatPage& chat = main.chatPage();
        QTRY_VERIFY_WITH_TIMEOUT(chat.gameChatText().contains(QStringLiteral("Sgt Pepper: gg all")),
                                 5000);
        QTRY_VERIFY_WITH_TIMEOUT(
            chat.gameChatText().contains(QStringLiteral("(Team) Fifteen_Letters: rush b")), 5000);

        // The player still connecting joins: the grid marks him.
        world.tick(sim::SimWorld::kConnectingMs);
        main.session().refresh();
        const PlayerSortModel& grid = main.playersPage().sortModel();
        const auto joinedMarked = [&grid] {
            for (int row = 0; row < grid.rowCount(); ++row) {
                const QModelIndex name = grid.index(row, PlayerRow::Name);
                if (name.data().toString() == QLatin1String("NewRecruit")) {
                    return name.data(PlayerSortModel::kJoinedRole).toBool();
                }
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(joinedMarked(), 5000);

        auto* statusLine = main.findChild<QLabel*>(QStringLiteral("statusLine"));
        // The Chat page's first visit registers the relay; the game's chat goes on beside it.
        main.showPage(MainWindow::Page::Chat);
        world.say(0, QStringLiteral("he uses a WALLHACK"));
        QTRY_VERIFY_WITH_TIMEOUT(chat.gameChatText().contains(QStringLiteral("he uses a WALLHACK")),
                                 5000);
        QTRY_VERIFY_WITH_TIMEOUT(statusLine->text().startsWith(QStringLiteral("Alert")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(posted.contains("\"event\":\"alert\""), 5000);

        world.say(1, QStringLiteral("!report fifteen wall hack all map"));
        QTRY_VERIFY_WITH_TIMEOUT(statusLine->text().startsWith(QStringLiteral("Report")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(posted.contains("\"event\":\"report\""), 5000);
        HistoryQueries* queries = main.history().queries();
        QVERIFY(queries);
        QList<PlayerReport> reports = queries->reports();
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports[0].reporterName, QStringLiteral("Sgt Pepper"));
        QCOMPARE(reports[0].reportedName, QStringLiteral("Fifteen_Letters"));
        QCOMPARE(reports[0].reason, QStringLiteral("wall hack all map"));

        // A visit between two status replies: only the log tells of it.
        QFile log(file("games_mp.log"));
        QVERIFY(log.open(QIODevice::WriteOnly | QIODevice::Append));
        log.write("  9:00 J;4242;9;ShortVisit\n  9:01 Q;4242;9;ShortVisit\n");
        log.close();
        QTRY_COMPARE_WITH_TIMEOUT(queries->search(QStringLiteral("ShortVisit")).size(), 1, 5000);
        const std::optional<PlayerRecord> visitor =
            queries->record(queries->search(QStringLiteral("ShortVisit")).first().playerId);
        QCOMPARE(visitor->sessions.size(), 1);

        // Handled from the History page, by the daemon user.
        main.showPage(MainWindow::Page::History);
        auto* list = main.historyPage().findChild<QTreeWidget*>(QStringLiteral("lstReports"));
        QTRY_COMPARE_WITH_TIMEOUT(list->topLevelItemCount(), 1, 5000);
        QCOMPARE(list->topLevelItem(0)->text(4), QStringLiteral("open"));
        list->setCurrentItem(list->topLevelItem(0));
        main.historyPage().findChild<QAbstractButton*>(QStringLiteral("cmdHandled"))->click();
        reports = queries->reports();
        QCOMPARE(reports[0].handledBy, QStringLiteral("alice"));
        QVERIFY(list->topLevelItem(0)->text(4).startsWith(QStringLiteral("handled by alice")));
    }
};

GARRISON_TEST_MAIN(TestDaemonSession)
#include "TestDaemonSession.moc"
