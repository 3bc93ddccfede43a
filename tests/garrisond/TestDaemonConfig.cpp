#include "DaemonConfig.h"
#include "TestMain.h"

#include <QFile>
#include <QTemporaryDir>

using garrisond::DaemonConfig;

class TestDaemonConfig : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void missingFileGivesDefaults()
    {
        DaemonConfig config;
        QString error;
        QVERIFY(DaemonConfig::load(path(), &config, &error));
        QCOMPARE(config.accountsPath, m_dir->filePath(QStringLiteral("garrisond-accounts.json")));
        QCOMPARE(config.auditLogPath, m_dir->filePath(QStringLiteral("garrisond-audit.log")));
        QCOMPARE(config.lockoutFailures, 5);
        QCOMPARE(config.logTailBytes, 256 * 1024);
        QVERIFY(config.rconPassword.isEmpty());
    }
    void readsEveryKey()
    {
        write("# comment\n"
              "rcon_password =  pa ss=word  \n"
              "server_command = /opt/sim/garrison-sim --port 28960 \"--name=My Server\"\n"
              "server_directory = run\n"
              "game_log = logs/games_mp.log\n"
              "log_tail_bytes = 4096\n"
              "audit_log = /var/log/garrisond.log\n"
              "accounts = users.json\n"
              "pbkdf2_iterations = 200000\n"
              "lockout_failures = 3\n"
              "lockout_seconds = 60\n"
              "login_timeout_seconds = 10\n"
              "max_clients = 4\n");
        DaemonConfig config;
        QString error;
        QVERIFY2(DaemonConfig::load(path(), &config, &error), qPrintable(error));
        QCOMPARE(config.rconPassword, QStringLiteral("pa ss=word"));
        QCOMPARE(config.serverProgram, QStringLiteral("/opt/sim/garrison-sim"));
        QCOMPARE(config.serverArguments, QStringList({"--port", "28960", "--name=My Server"}));
        QCOMPARE(config.serverDirectory, m_dir->filePath(QStringLiteral("run")));
        QCOMPARE(config.gameLogPath, m_dir->filePath(QStringLiteral("logs/games_mp.log")));
        QCOMPARE(config.logTailBytes, 4096);
        QCOMPARE(config.auditLogPath, QStringLiteral("/var/log/garrisond.log"));
        QCOMPARE(config.accountsPath, m_dir->filePath(QStringLiteral("users.json")));
        QCOMPARE(config.passwordIterations, 200000);
        QCOMPARE(config.lockoutFailures, 3);
        QCOMPARE(config.lockoutDuration, std::chrono::seconds(60));
        QCOMPARE(config.loginTimeout, std::chrono::seconds(10));
        QCOMPARE(config.maxClients, 4);
    }
    void rejectsBadLines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("unknown key") << QByteArray("rcon_pasword = x\n");
        QTest::newRow("no equals sign") << QByteArray("rcon_password\n");
        QTest::newRow("number not a number") << QByteArray("lockout_failures = five\n");
        QTest::newRow("number out of range") << QByteArray("max_clients = 0\n");
        QTest::newRow("too few iterations") << QByteArray("pbkdf2_iterations = 10\n");
        QTest::newRow("empty accounts path") << QByteArray("accounts =\n");
    }
    void rejectsBadLines()
    {
        QFETCH(QByteArray, content);
        write(content);
        DaemonConfig config;
        QString error;
        QVERIFY(!DaemonConfig::load(path(), &config, &error));
        QVERIFY(!error.isEmpty());
    }
    void writesTheRconPasswordAndKeepsTheRest_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("no file") << QByteArray() << QByteArray("rcon_password = new\n");
        QTest::newRow("replaced in place")
            << QByteArray("# mine\nrcon_password = old\ngame_log = g.log\n")
            << QByteArray("# mine\nrcon_password = new\ngame_log = g.log\n");
        QTest::newRow("appended") << QByteArray("game_log = g.log")
                                  << QByteArray("game_log = g.log\nrcon_password = new\n");
        QTest::newRow("comment left alone")
            << QByteArray("#rcon_password = old\n")
            << QByteArray("#rcon_password = old\nrcon_password = new\n");
        QTest::newRow("second copy emptied") << QByteArray("rcon_password=a\nrcon_password=b\n")
                                             << QByteArray("rcon_password = new\n\n");
    }
    void writesTheRconPasswordAndKeepsTheRest()
    {
        QFETCH(QByteArray, before);
        if (!before.isEmpty()) {
            write(before);
        }
        QString error;
        QVERIFY2(DaemonConfig::writeRconPassword(path(), QStringLiteral("new"), &error),
                 qPrintable(error));
        QFile file(path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QTEST(file.readAll(), "after");
        QCOMPARE(file.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        DaemonConfig config;
        QVERIFY(DaemonConfig::load(path(), &config, &error));
        QCOMPARE(config.rconPassword, QStringLiteral("new"));
    }

private:
    QString path() const { return m_dir->filePath(QStringLiteral("garrisond.conf")); }
    void write(const QByteArray& content)
    {
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

GARRISON_TEST_GUILESS_MAIN(TestDaemonConfig)
#include "TestDaemonConfig.moc"
