#include "DaemonConfig.h"
#include "TestMain.h"
#include "TextRows.h"

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
    // The files that the configuration does not name sit beside it.
    void missingFileGivesDefaults()
    {
        DaemonConfig config;
        QString error;
        QVERIFY(DaemonConfig::load(path(), &config, &error));
        QCOMPARE(config.accountsPath, m_dir->filePath(QStringLiteral("garrisond-accounts.json")));
        QCOMPARE(config.auditLogPath, m_dir->filePath(QStringLiteral("garrisond-audit.log")));
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
              "max_clients = 4\n"
              "max_sessions_per_account = 2\n"
              "idle_timeout_seconds = 0\n");
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
        QCOMPARE(config.maxSessionsPerAccount, 2);
        QCOMPARE(config.idleTimeout, std::chrono::seconds(0));
    }
    void rejectsBadLines_data()
    {
        garrison::test::addTextRows({"content"},
                                    {{"unknown key", "rcon_pasword = x\n"},
                                     {"no equals sign", "rcon_password\n"},
                                     {"number not a number", "lockout_failures = five\n"},
                                     {"number out of range", "max_clients = 0\n"},
                                     {"too few iterations", "pbkdf2_iterations = 10\n"},
                                     {"empty accounts path", "accounts =\n"},
                                     {"certificate without its key", "tls_certificate = c.pem\n"},
                                     {"plain text not a yes or no", "allow_plaintext = yes\n"}});
    }
    void rejectsBadLines()
    {
        QFETCH(QString, content);
        write(content.toUtf8());
        DaemonConfig config;
        QString error;
        QVERIFY(!DaemonConfig::load(path(), &config, &error));
        QVERIFY(!error.isEmpty());
    }
    void writesTheRconPasswordAndKeepsTheRest_data()
    {
        garrison::test::addTextRows(
            {"before", "after"},
            {{"no file", "", "rcon_password = new\n"},
             {"replaced in place", "# mine\nrcon_password = old\ngame_log = g.log\n",
              "# mine\nrcon_password = new\ngame_log = g.log\n"},
             {"appended", "game_log = g.log", "game_log = g.log\nrcon_password = new\n"},
             {"comment left alone", "#rcon_password = old\n",
              "#rcon_password = old\nrcon_password = new\n"},
             {"second copy emptied", "rcon_password=a\nrcon_password=b\n",
              "rcon_password = new\n\n"}});
    }
    void writesTheRconPasswordAndKeepsTheRest()
    {
        QFETCH(QString, before);
        if (!before.isEmpty()) {
            write(before.toUtf8());
        }
        QString error;
        QVERIFY2(DaemonConfig::writeRconPassword(path(), QStringLiteral("new"), &error),
                 qPrintable(error));
        QFile file(path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QTEST(QString::fromUtf8(file.readAll()), "after");
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
