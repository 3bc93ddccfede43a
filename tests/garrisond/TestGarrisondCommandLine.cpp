#include "AccountStore.h"
#include "DaemonConfig.h"
#include "TestMain.h"
#include "TextRows.h"
#include "TlsIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <unistd.h>

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
    // As the package's postinst does: the pair is made once, and what is printed is what the
    // daemon serves; showing never makes one.
    void makesAndShowsTheCertificate()
    {
        const Result before = run({"--show-fingerprint"});
        QVERIFY(before.exitCode != 0 && before.err.contains("--make-certificate"));
        QVERIFY(!QFile::exists(file("garrisond-key.pem")));
        const Result made = run({"--make-certificate"});
        QCOMPARE(made.exitCode, 0);
        QCOMPARE(run({"--make-certificate"}).out, made.out);
        QCOMPARE(run({"--show-fingerprint"}).out, made.out);
        DaemonConfig config;
        QString error;
        QVERIFY(DaemonConfig::load(file("garrisond.conf"), &config, &error));
        bool remade = true;
        const std::optional<garrisond::TlsIdentity> served =
            garrisond::TlsIdentity::load(config, &remade, &error);
        QVERIFY(served && !remade);
        QCOMPARE(made.out, "SHA-256 " + served->fingerprint().toLatin1() + '\n');
    }
    // The arguments are separated by blanks; arguments and input are percent-encoded, so that
    // they can hold bytes that are not UTF-8.
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
             {"serve on a bad address", "--port 1 --address localhost.example", ""},
             {"name not UTF-8", "--add-user al%FFice --levels mp", "pw\n"},
             {"name that GARRISON cannot send", "--add-user %E5%90%8D --levels mp", "pw\n"},
             {"password not UTF-8", "--add-user alice --levels mp", "p%E4ss\n"},
             {"password that GARRISON cannot send", "--add-user alice --levels mp",
              "%E2%82%AC%E2%84%A2%E2%88%9E\n"},
             {"RCON password not UTF-8", "--set-rcon-password", "p%E4ss\n"}});
    }
    void refusesBadInvocations()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, input);
        // QProcess passes arguments as UTF-8: other bytes come from the shell's printf.
        QString script = QStringLiteral("exec \"$0\" --config \"$1\"");
        for (const QString& word : arguments.split(u' ', Qt::SkipEmptyParts)) {
            QString octal;
            for (const char byte : QByteArray::fromPercentEncoding(word.toLatin1())) {
                octal += QStringLiteral("\\%1").arg(uchar(byte), 3, 8, QLatin1Char('0'));
            }
            script += QStringLiteral(" \"$(printf '%1')\"").arg(octal);
        }
        const Result result = run({}, QByteArray::fromPercentEncoding(input.toUtf8()),
                                  {QStringLiteral("/bin/sh"), QStringLiteral("-c"), script});
        QCOMPARE(result.exitCode, 1);
        QVERIFY(result.err.startsWith("garrisond: "));
        QVERIFY(!QFile::exists(file("garrisond-accounts.json")));
    }

    // Each row plants something where garrisond keeps a file: a folder, a link to a file that is
    // not garrisond's (the victim), or another user's file. garrisond must refuse, say why, and
    // leave everything as it was. "serve" stands for serving on a free port.
    void refusesUnsafeFiles_data()
    {
        garrison::test::addTextRows(
            {"plant", "config", "arguments", "input", "said"},
            {{"accounts is a shared folder", "folder shared", "accounts = shared", "serve", "",
              "is a folder"},
             {"audit log links elsewhere", "link garrisond-audit.log", "", "serve", "",
              "symbolic link"},
             {"rotated audit name links elsewhere", "link garrisond-audit.log.2", "", "serve", "",
              "symbolic link"},
             {"accounts link for --add-user", "link garrisond-accounts.json", "",
              "--add-user eve --levels poweradmin", "pw\n", "symbolic link"},
             {"configuration link for --set-rcon-password", "link garrisond.conf", "",
              "--set-rcon-password", "pw\n", "symbolic link"},
             {"accounts of another user", "foreign garrisond-accounts.json", "", "serve", "",
              "belongs to nobody"}});
    }
    void refusesUnsafeFiles()
    {
        QFETCH(QString, plant);
        QFETCH(QString, config);
        QFETCH(QString, arguments);
        QFETCH(QString, input);
        const QString how = plant.section(u' ', 0, 0);
        const QString name = file(plant.section(u' ', 1));
        if (how == QLatin1String("foreign") && ::geteuid() != 0) {
            QSKIP("giving a file to another user needs root");
        }
        QFile configFile(file("garrisond.conf"));
        QVERIFY(configFile.open(QIODevice::Append));
        configFile.write(config.toUtf8() + "\n");
        configFile.close();
        const QByteArray victimText = "{\"accounts\": []}\n";
        QVERIFY(garrison::test::writeFile(file("victim"), victimText));
        QVERIFY(QFile::setPermissions(file("victim"), QFile::ReadOwner | QFile::WriteOwner |
                                                          QFile::ReadGroup | QFile::ReadOther));
        const auto victimMode = QFile::permissions(file("victim"));
        if (how == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(name) && ::chmod(QFile::encodeName(name).constData(), 01777) == 0);
        } else if (how == QLatin1String("link")) {
            QFile::remove(name);
            QVERIFY(QFile::link(file("victim"), name));
        } else {
            AccountStore store(name);
            QString error;
            QVERIFY(store.save(&error));
            QVERIFY(::chown(QFile::encodeName(name).constData(), kNobody, kNobody) == 0);
        }
        QStringList words = arguments.split(u' ', Qt::SkipEmptyParts);
        if (words == QStringList{"serve"}) {
            words = QStringList{"--port", QString::number(freePort())};
        }
        const Result result = run(words, input.toUtf8());
        QCOMPARE(result.exitCode, 1);
        QFETCH(QString, said);
        QVERIFY2(result.err.contains(said.toUtf8()), result.err.constData());
        QFile victim(file("victim"));
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), victimText);
        QCOMPARE(victim.permissions(), victimMode);
        struct stat status {};
        QVERIFY(::lstat(QFile::encodeName(name).constData(), &status) == 0);
        QVERIFY(how != QLatin1String("folder") || (status.st_mode & 07777) == 01777);
        QVERIFY(how != QLatin1String("link") || S_ISLNK(status.st_mode));
    }
    // Root edits the service user's files: they stay that user's, or the service could no longer
    // read them. A new file in the user's folder becomes the user's.
    void rootEditsKeepTheServiceUsersFiles_data()
    {
        garrison::test::addTextRows(
            {"given", "arguments", "changed"},
            {{"accounts", "state/users.json", "--add-user carol --levels mp", "state/users.json"},
             {"configuration", "garrisond.conf", "--set-rcon-password", "garrisond.conf"},
             {"new accounts file", "state", "--add-user carol --levels mp", "state/users.json"}});
    }
    void rootEditsKeepTheServiceUsersFiles()
    {
        if (::geteuid() != 0) {
            QSKIP("only root can give files to another user");
        }
        QFETCH(QString, given);
        QFETCH(QString, arguments);
        QFETCH(QString, changed);
        QFile config(file("garrisond.conf"));
        QVERIFY(config.open(QIODevice::Append));
        config.write("accounts = state/users.json\n");
        config.close();
        QVERIFY(QDir(m_dir->path()).mkdir("state"));
        QCOMPARE(run({"--add-user", "alice", "--levels", "mp"}, "pw\n").exitCode, 0);
        if (QFileInfo(file(given)).isDir()) {
            QVERIFY(QFile::remove(file("state/users.json")));
        }
        QVERIFY(::chown(QFile::encodeName(file(given)).constData(), kNobody, kNobody) == 0);
        QCOMPARE(run(arguments.split(u' '), "pw\n").exitCode, 0);
        struct stat status {};
        QVERIFY(::stat(QFile::encodeName(file(changed)).constData(), &status) == 0);
        QCOMPARE(status.st_uid, kNobody);
        QCOMPARE(status.st_gid, kNobody);
        QCOMPARE(status.st_mode & 0777, 0600u);
    }

private:
    static constexpr uid_t kNobody = 65534;
    static quint16 freePort()
    {
        QTcpServer probe;
        return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
    }
    struct Result {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    // The process is killed when it takes too long; its exit code is -1 then. With `through`
    // (a program and its first arguments), garrisond's path and the configuration's follow them.
    Result run(const QStringList& arguments, const QByteArray& input = QByteArray(),
               const QStringList& through = {})
    {
        QProcess process;
        if (through.isEmpty()) {
            process.start(QStringLiteral(GARRISOND_PATH),
                          QStringList{"--config", file("garrisond.conf")} + arguments);
        } else {
            process.start(through.first(),
                          through.mid(1) + QStringList{GARRISOND_PATH, file("garrisond.conf")});
        }
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
