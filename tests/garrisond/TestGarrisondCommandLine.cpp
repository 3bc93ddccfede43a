#include "AccountStore.h"
#include "DaemonConfig.h"
#include "TestMain.h"
#include "TextRows.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using garrisond::AccountStore;
using garrisond::DaemonConfig;

// Runs the real executable; its path comes from the build.
class TestGarrisondCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QFile config(file(QStringLiteral("garrisond.conf")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("pbkdf2_iterations = 1000\n");
    }
    void addsUsersWithoutKeepingThePassword()
    {
        const Result result = run({"--add-user", "alice", "--levels", "mp,admin"}, "Sw0rdf1sh!\n");
        QCOMPARE(result.exitCode, 0);
        QFile accounts(file(QStringLiteral("garrisond-accounts.json")));
        QVERIFY(accounts.open(QIODevice::ReadOnly));
        QVERIFY(!accounts.readAll().contains("Sw0rdf1sh"));
        QCOMPARE(accounts.permissions() & (QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions());

        AccountStore store(accounts.fileName());
        QString error;
        QVERIFY(store.load(&error));
        const auto* alice = store.find(QStringLiteral("alice"));
        QVERIFY(alice != nullptr);
        QCOMPARE(alice->levels, QStringList({"mp", "admin"}));
        QVERIFY(alice->password.matches(QStringLiteral("Sw0rdf1sh!")));
        QCOMPARE(alice->password.iterations(), 1000);

        QCOMPARE(run({"--list-users"}).out, QByteArray("alice mp,admin\n"));
    }
    void removesUsers()
    {
        QCOMPARE(run({"--add-user", "bob", "--levels", "mp"}, "pw\n").exitCode, 0);
        QCOMPARE(run({"--remove-user", "bob"}).exitCode, 0);
        QCOMPARE(run({"--list-users"}).out, QByteArray());
        QVERIFY(run({"--remove-user", "bob"}).exitCode != 0);
    }
    void setsTheRconPassword()
    {
        QCOMPARE(run({"--set-rcon-password"}, "n3w pass\r\n").exitCode, 0);
        DaemonConfig config;
        QString error;
        QVERIFY(DaemonConfig::load(file(QStringLiteral("garrisond.conf")), &config, &error));
        QCOMPARE(config.rconPassword, QStringLiteral("n3w pass"));
        QCOMPARE(config.passwordIterations, 1000);
    }
    // The arguments are separated by blanks.
    void refusesBadInvocations_data()
    {
        garrison::test::addTextRows(
            {"arguments", "input"},
            {{"add without levels", "--add-user a", "pw\n"},
             {"unknown level", "--add-user a --levels root", "pw\n"},
             {"name with colon", "--add-user a:b --levels mp", "pw\n"},
             {"no password", "--add-user a --levels mp", ""},
             {"empty password", "--add-user a --levels mp", "\n"},
             {"levels alone", "--levels mp", ""},
             {"two actions", "--list-users --remove-user a", ""},
             {"blank-edged RCON password", "--set-rcon-password", " x\n"},
             {"serve without port", "", ""},
             {"serve on a bad address", "--port 1 --address localhost.example", ""}});
    }
    void refusesBadInvocations()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, input);
        const Result result = run(arguments.split(u' ', Qt::SkipEmptyParts), input.toUtf8());
        QCOMPARE(result.exitCode, 1);
        QVERIFY(result.err.startsWith("garrisond: "));
        QVERIFY(!QFile::exists(file(QStringLiteral("garrisond-accounts.json"))));
    }
    void helpDescribesOptionsAndKeys()
    {
        const Result help = run({"--help"});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("--add-user") && help.out.contains("rcon_password"));
    }

private:
    struct Result {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    Result run(QStringList arguments, const QByteArray& input = QByteArray())
    {
        arguments.prepend(file(QStringLiteral("garrisond.conf")));
        arguments.prepend(QStringLiteral("--config"));
        QProcess process;
        process.start(QStringLiteral(GARRISOND_PATH), arguments);
        Result result;
        if (!process.waitForStarted(5000)) {
            return result;
        }
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(1000);
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }
    QString file(const QString& name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

GARRISON_TEST_GUILESS_MAIN(TestGarrisondCommandLine)
#include "TestGarrisondCommandLine.moc"
