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
              "idle_timeout_seconds = 0\n"
              "server_port = 28970\n"
              "server_autostart = true\n"
              "restart_limit = 2\n"
              "restart_backoff_max = 5m\n"
              "health_interval = 0s\n"
              "health_misses = 4\n"
              "restart_times = 16:30, 4:00\n"
              "restart_warnings = 10m, 30s\n"
              "restart_warning_text = Restart in %1!\n"
              "announce = 5m Welcome = have fun\n"
              "announce = 1h Visit our forum\n"
              "webhook_url = https://hooks.example.org/x/y?token=z\n"
              "webhook_format = json\n"
              "server_name = My Server\n"
              "server_address = game.example.org\n"
              "ban_reasons = Team killing, after a warning\n"
              "ban_reasons =\n"
              "ban_reasons = ^1Aimbot\n");
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
        QCOMPARE(config.gameServerPort(), 28970);
        QVERIFY(config.serverAutostart);
        QCOMPARE(config.restartLimit, 2);
        QCOMPARE(config.restartBackoffMax, std::chrono::seconds(300));
        QCOMPARE(config.healthInterval, std::chrono::seconds(0));
        QCOMPARE(config.healthMisses, 4);
        QCOMPARE(config.restartTimes, QList<QTime>({QTime(4, 0), QTime(16, 30)}));
        QCOMPARE(config.restartWarnings, QList<std::chrono::seconds>({std::chrono::seconds(600),
                                                                      std::chrono::seconds(30)}));
        QCOMPARE(config.restartWarningText, QStringLiteral("Restart in %1!"));
        QCOMPARE(config.announcements.size(), 2);
        QCOMPARE(config.announcements.at(0).interval, std::chrono::seconds(300));
        QCOMPARE(config.announcements.at(0).text, QStringLiteral("Welcome = have fun"));
        QCOMPARE(config.announcements.at(1).text, QStringLiteral("Visit our forum"));
        QCOMPARE(config.webhookUrl, QUrl(QStringLiteral("https://hooks.example.org/x/y?token=z")));
        QVERIFY(config.webhookFormat == garrisond::Webhook::Format::Json);
        QCOMPARE(config.notificationName(), QStringLiteral("My Server"));
        QCOMPARE(config.serverAddress, QStringLiteral("game.example.org"));
        QCOMPARE(config.banReasons, QStringList({"Team killing, after a warning", "^1Aimbot"}));
    }
    // Without server_port, the game server's port is the one its command line sets. The health
    // checks must not guess one: a healthy server on another port would be killed as hung.
    void findsTheGameServersPort_data()
    {
        garrison::test::addTextRows(
            {"config", "port"},
            {{"net_port set", "server_command = /srv/x +set dedicated 2 +set net_port 28965",
              "28965"},
             {"net_port set twice", "server_command = /srv/x +set net_port 28965 +set net_port 1",
              "28965"},
             {"--port", "server_command = /srv/sim --log x --port 29070", "29070"},
             {"--port=", "server_command = /srv/sim --port=29071 --players 2", "29071"},
             {"server_port first", "server_command = /srv/sim --port 29070\nserver_port = 29072",
              "29072"},
             {"no port", "server_command = /srv/x +set dedicated 2", "refused"},
             {"port not a number", "server_command = /srv/x +set net_port many", "refused"},
             {"net_port last", "server_command = /srv/x +set net_port", "refused"},
             {"--port out of range", "server_command = /srv/sim --port 65536", "refused"},
             {"no port, no health checks",
              "server_command = /srv/x +set dedicated 2\nhealth_interval = 0s", "28960"},
             {"no port, no server", "health_interval = 5s", "28960"}});
    }
    void findsTheGameServersPort()
    {
        QFETCH(QString, config);
        QFETCH(QString, port);
        write(config.toUtf8() + "\n");
        DaemonConfig loaded;
        QString error;
        const bool refused = port == QLatin1String("refused");
        QCOMPARE(DaemonConfig::load(path(), &loaded, &error), !refused);
        if (refused) {
            QVERIFY2(error.contains(QStringLiteral("add server_port = N")), qPrintable(error));
            // Editing accounts or the RCON password needs no game server.
            QVERIFY(DaemonConfig::load(path(), &loaded, &error, DaemonConfig::Purpose::Edit));
            return;
        }
        QCOMPARE(QString::number(loaded.gameServerPort()), port);
    }
    void rejectsBadLines_data()
    {
        garrison::test::addTextRows(
            {"content", "says"},
            {{"unknown key", "rcon_pasword = x\n", "rcon_pasword"},
             {"no equals sign", "rcon_password\n", "key = value"},
             {"number not a number", "lockout_failures = five\n", "lockout_failures"},
             {"number out of range", "max_clients = 0\n", "max_clients"},
             {"too few iterations", "pbkdf2_iterations = 10\n", "pbkdf2_iterations"},
             {"empty accounts path", "accounts =\n", "accounts"},
             {"warnings without units", "restart_warnings = 15, 5, 1\n", "such as 15m, 5m"},
             {"time out of the day", "restart_times = 04:00, 24:00\n", "such as 04:00"},
             {"back-off under a second", "restart_backoff_max = 0s\n", "at least 1s"},
             {"announcement without text", "announce = 5m\n", "an interval and a text"},
             {"announcement without interval", "announce = Welcome\n", "an interval"},
             {"webhook not on the web", "webhook_url = ftp://example.org/hook\n", "https://"},
             {"webhook without host", "webhook_url = https:///hook\n", "https://"},
             {"unknown webhook format", "webhook_format = slack\n", "discord or json"},
             {"unknown login notices", "notify_logins = admins\n", "interactive, all or none"},
             {"certificate without its key", "tls_certificate = c.pem\n", "go together"},
             {"plain text not a yes or no", "allow_plaintext = yes\n", "allow_plaintext"},
             {"autostart not true or false", "server_autostart = yes\n", "true or false"},
             {"server address with a blank", "server_address = game example.org\n",
              "without blanks"},
             {"ban reason with a control character", "ban_reasons = wall\thack\n",
              "without control characters"}});
    }
    void rejectsBadLines()
    {
        QFETCH(QString, content);
        QFETCH(QString, says);
        write(content.toUtf8());
        DaemonConfig config;
        QString error;
        QVERIFY(!DaemonConfig::load(path(), &config, &error));
        QVERIFY2(error.contains(says), qPrintable(error));
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
