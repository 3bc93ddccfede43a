#include "AccountStore.h"
#include "DaemonConfig.h"
#include "DaemonServer.h"
#include "PasswordHash.h"
#include "SimFixture.h"
#include "login/DaemonPins.h"
#include "platform/SettingsStore.h"
#include "support/TestMain.h"
#include "support/TextRows.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

using garrison::SettingsStore;
using garrison::test::addTextRows;
using garrison::test::SimFixture;

// garrison-rcon --profile with profiles that keep their login type, against garrisond and the
// simulated game server in this process.
class TestRconProfiles : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;
    QTemporaryDir m_folder;
    std::unique_ptr<garrisond::DaemonServer> m_daemon;
    QString m_auditPath;
    int m_slot = 0;

    QString audit() const
    {
        QFile file(m_auditPath);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_sim = std::make_unique<SimFixture>();
        QVERIFY(m_sim->start());
        const QString conf = m_folder.filePath(QStringLiteral("garrisond.conf"));
        QFile file(conf);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("rcon_password = " + m_sim->password().toUtf8() +
                   "\npbkdf2_iterations = 1000\n");
        file.close();
        garrisond::DaemonConfig loaded;
        QString error;
        QVERIFY(garrisond::DaemonConfig::load(conf, &loaded, &error));
        garrisond::AccountStore accounts(loaded.accountsPath);
        QVERIFY(accounts.load(&error));
        accounts.put({QStringLiteral("alice"),
                      garrisond::PasswordHash::create("alicepw", 1000),
                      {QStringLiteral("admin")}});
        QVERIFY(accounts.save(&error));
        m_auditPath = loaded.auditLogPath;
        m_daemon = std::make_unique<garrisond::DaemonServer>(loaded);
        QVERIFY2(m_daemon->start(QHostAddress::LocalHost, 0), qPrintable(m_daemon->errorString()));
    }

    // Every profile names the daemon and the game server and holds an RCON password: the
    // right one or a stale one. `type` is its LoginType ("" none, as saved before it was kept).
    void logsInAsSaved_data()
    {
        addTextRows({"type", "rconPassword", "daemonAddress", "exitCode", "through"},
                    {{"daemon, stale RCON password", "Daemon", "stale", "127.0.0.1", "0", "daemon"},
                     {"daemon without its address", "Daemon", "right", "", "4", ""},
                     {"RCON beside a daemon", "RCON", "right", "127.0.0.1", "0", "direct"},
                     {"RCON, stale password", "RCON", "stale", "127.0.0.1", "2", "direct"},
                     {"no type, stale password", "", "stale", "127.0.0.1", "2", "direct"}});
    }
    void logsInAsSaved()
    {
        QFETCH(QString, type);
        QFETCH(QString, rconPassword);
        QFETCH(QString, daemonAddress);
        QFETCH(QString, exitCode);
        QFETCH(QString, through);
        const QString store = QStringLiteral("profiles");
        const QString slot = QString::number(++m_slot);
        const QString section = QStringLiteral("[LOGIN%1]").arg(slot);
        const QString port = QString::number(m_daemon->serverPort());
        for (const auto& [key, value] :
             {std::pair{"DaemonIP", daemonAddress},
              {"DaemonPort", port},
              {"Username", QStringLiteral("alice")},
              {"Password", QStringLiteral("alicepw")},
              {"Levelz", QStringLiteral("admin")},
              {"IPAddress", QStringLiteral("127.0.0.1")},
              {"Port", QString::number(m_sim->port())},
              {"Pass", rconPassword == u"right" ? m_sim->password() : QStringLiteral("stale")},
              {"LoginType", type},
              {"DaemonCertificate", m_daemon->fingerprint()}}) {
            SettingsStore::write(store, section, QLatin1String(key), value);
        }
        const qsizetype loginsBefore = audit().count(QStringLiteral(" alice/admin login"));

        QProcess rcon;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("GARRISON_RCON_PASSWORD"));
        environment.remove(QStringLiteral("GARRISON_DAEMON_PASSWORD"));
        rcon.setProcessEnvironment(environment);
        QSignalSpy finished(&rcon, &QProcess::finished);
        rcon.start(QStringLiteral(GARRISON_RCON_PROGRAM),
                   {QStringLiteral("--store"), store, QStringLiteral("--profile"), slot,
                    QStringLiteral("--"), QStringLiteral("sv_hostname")});
        rcon.closeWriteChannel();
        QVERIFY(finished.wait(20000));
        const QString err = QString::fromUtf8(rcon.readAllStandardError());
        QVERIFY2(rcon.exitCode() == exitCode.toInt(), qPrintable(err));
        if (exitCode == u"4") {
            QVERIFY2(err.contains(QStringLiteral("no daemon address")), qPrintable(err));
        }
        // A daemon login is on garrisond's record; a direct one is not.
        QTRY_COMPARE_WITH_TIMEOUT(audit().count(QStringLiteral(" alice/admin login")),
                                  loginsBefore + (through == u"daemon" ? 1 : 0), 5000);
    }

    // The ban commands through the daemon of a profile: what garrison-rcon sends is what
    // garrisond takes, and its answers (a list in JSON lines) come back whole.
    void bansThroughTheDaemon()
    {
        const QString store = QStringLiteral("profiles");
        const QString slot = QString::number(++m_slot);
        const QString section = QStringLiteral("[LOGIN%1]").arg(slot);
        for (const auto& [key, value] : {std::pair{"DaemonIP", QStringLiteral("127.0.0.1")},
                                         {"DaemonPort", QString::number(m_daemon->serverPort())},
                                         {"Username", QStringLiteral("alice")},
                                         {"Password", QStringLiteral("alicepw")},
                                         {"Levelz", QStringLiteral("admin")},
                                         {"IPAddress", QStringLiteral("127.0.0.1")},
                                         {"Port", QString::number(m_sim->port())},
                                         {"LoginType", QStringLiteral("Daemon")},
                                         {"DaemonCertificate", m_daemon->fingerprint()}}) {
            SettingsStore::write(store, section, QLatin1String(key), value);
        }
        const auto run = [&](const QStringList& words, QString* out) {
            // The daemon runs in this process: the wait runs its event loop.
            QProcess rcon;
            QSignalSpy finished(&rcon, &QProcess::finished);
            rcon.start(QStringLiteral(GARRISON_RCON_PROGRAM),
                       QStringList{QStringLiteral("--store"), store, QStringLiteral("bans")} +
                           words + QStringList{QStringLiteral("--profile"), slot});
            rcon.closeWriteChannel();
            if (!finished.wait(20000)) {
                return -1;
            }
            *out = QString::fromUtf8(rcon.readAllStandardOutput() + rcon.readAllStandardError());
            return rcon.exitCode();
        };
        QString out;
        QVERIFY2(run({"add", "--guid", "0123456789ABCDEF0123456789ABCDEF", "--name", "^1Bad",
                      "--reason", "wall \"hack\"; quit", "--duration", "2h"},
                     &out) == 0,
                 qPrintable(out));
        QCOMPARE(out, "1\n");
        QCOMPARE(run({"list", "--format", "json"}, &out), 0);
        const QJsonArray bans = QJsonDocument::fromJson(out.toUtf8()).array();
        QCOMPARE(bans.size(), 1);
        QCOMPARE(bans.at(0)["guid"].toString(), "0123456789abcdef0123456789abcdef");
        QCOMPARE(bans.at(0)["reason"].toString(), "wall \"hack\"; quit");
        QCOMPARE(bans.at(0)["by"].toString(), "alice");
        QCOMPARE(run({"lift", "1", "--note", "appeal"}, &out), 0);
        QVERIFY2(run({"lift", "1"}, &out) == 1, qPrintable(out));
        QVERIFY2(out.contains("lifted already"), qPrintable(out));
        QCOMPARE(run({"list"}, &out), 0);
        QCOMPARE(out, "No active bans.\n");
        // The daemon reads the ban files for poweradmin only.
        QVERIFY2(run({"import"}, &out) == 1 && out.contains("only poweradmin"), qPrintable(out));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestRconProfiles)
#include "TestRconProfiles.moc"
