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
        QFile config(file("garrisond.conf"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("pbkdf2_iterations = 1000\n");
    }
    void addsListsAndRemovesUsers()
    {
        QCOMPARE(run({"--add-user", "alice", "--levels", "mp,admin"}, "Sw0rdf1sh!\n").exitCode, 0);
        // How the file keeps the password and who may read it is AccountStore's test.
        AccountStore store(file("garrisond-accounts.json"));
        QString error;
        QVERIFY(store.load(&error));
        const auto* alice = store.find("alice");
        QVERIFY(alice != nullptr);
        QCOMPARE(alice->levels, QStringList({"mp", "admin"}));
        QVERIFY(alice->password.matches("Sw0rdf1sh!"));
        QCOMPARE(alice->password.iterations(), 1000);

        QCOMPARE(run({"--list-users"}).out, QByteArray("alice mp,admin\n"));
        QCOMPARE(run({"--remove-user", "alice"}).exitCode, 0);
        QCOMPARE(run({"--list-users"}).out, QByteArray());
        QVERIFY(run({"--remove-user", "alice"}).exitCode != 0);
    }
    void setsTheRconPasswordAndDescribesItsKeys()
    {
        QCOMPARE(run({"--set-rcon-password"}, "n3w pass\r\n").exitCode, 0);
        DaemonConfig config;
        QString error;
        QVERIFY(DaemonConfig::load(file("garrisond.conf"), &config, &error));
        QCOMPARE(config.rconPassword, QStringLiteral("n3w pass"));
        QCOMPARE(config.passwordIterations, 1000);
        const Result help = run({"--help"});
        QVERIFY(help.exitCode == 0 && help.out.contains("--add-user") &&
                help.out.contains("rcon_password"));
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
        QVERIFY(!QFile::exists(file("garrisond-accounts.json")));
    }

private:
    struct Result {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    // The process is killed when it takes too long; its exit code is -1 then.
    Result run(const QStringList& arguments, const QByteArray& input = QByteArray())
    {
        QProcess process;
        process.start(QStringLiteral(GARRISOND_PATH),
                      QStringList{"--config", file("garrisond.conf")} + arguments);
        process.write(input);
        process.closeWriteChannel();
        const bool ended =
            process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit;
        return {ended ? process.exitCode() : -1, process.readAllStandardOutput(),
                process.readAllStandardError()};
    }
    QString file(const QString& name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

GARRISON_TEST_GUILESS_MAIN(TestGarrisondCommandLine)
#include "TestGarrisondCommandLine.moc"
