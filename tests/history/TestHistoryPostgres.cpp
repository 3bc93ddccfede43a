#include "FakeDialogs.h"
#include "HistoryCases.h"
#include "TestMain.h"
#include "history/History.h"
#include "history/HistoryPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <pwd.h>
#include <unistd.h>

using namespace garrison;
using garrison::test::addTextRows;
namespace Cases = garrison::test::HistoryCases;

namespace {

// A PostgreSQL server of the test's own on 127.0.0.1, in a temporary folder. The server
// refuses to run as root, so under root it runs as "nobody" on a folder that user owns.
class PostgresServer {
public:
    ~PostgresServer() { stop(); }

    // Empty when it runs; otherwise why not.
    QString start()
    {
        QStringList folders;
        const QDir versions(QStringLiteral("/usr/lib/postgresql"));
        for (const QString& version : versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            folders << versions.filePath(version + "/bin");
        }
        QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"), folders);
        if (initdb.isEmpty() && (initdb = QStandardPaths::findExecutable("initdb")).isEmpty()) {
            return QStringLiteral("no PostgreSQL server binaries (install the Debian package "
                                  "postgresql)");
        }
        m_bin = QFileInfo(initdb).absolutePath();
        m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                QStringLiteral("/garrison-pg-XXXXXX"));
        if (geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            if (!nobody || chown(QFile::encodeName(m_dir->path()).constData(), nobody->pw_uid,
                                 nobody->pw_gid) != 0) {
                return QStringLiteral("cannot hand the data folder to user nobody");
            }
        }
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
        probe.close();
        if (!run(QStringLiteral("initdb"), {"-D", data(), "-U", "garrison", "-A", "trust",
                                            "--no-sync", "-E", "UTF8", "--locale=C"})) {
            return QStringLiteral("initdb failed: ") + m_output;
        }
        return resume() ? QString() : QStringLiteral("the server did not start: ") + m_output;
    }
    // With TLS on, the server shows a self-signed certificate for 127.0.0.1 (tlsAuthority()).
    bool resume(bool tls = false)
    {
        QString options =
            QStringLiteral("-h 127.0.0.1 -p %1 -k %2 -F").arg(m_port).arg(m_dir->path());
        if (tls) {
            if (!makeCertificate(QStringLiteral("server"), QStringLiteral("127.0.0.1"))) {
                return false;
            }
            options += QStringLiteral(" -c ssl=on -c ssl_cert_file=%1 -c ssl_key_file=%2")
                           .arg(tlsAuthority(), m_dir->filePath("server.key"));
        }
        return m_running =
                   run(QStringLiteral("pg_ctl"), {"-D", data(), "-l", m_dir->filePath("log"), "-w",
                                                  "-t", "30", "-o", options, "start"});
    }
    QString tlsAuthority() const { return m_dir->filePath(QStringLiteral("server.crt")); }
    // A self-signed certificate for name, in name.crt (the key in name.key, the server's own).
    bool makeCertificate(const QString& name, const QString& address)
    {
        const QString key = m_dir->filePath(name + QStringLiteral(".key"));
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                       "-nodes", "-days", "2", "-subj", "/CN=" + address, "-addext",
                       "subjectAltName=IP:" + address, "-keyout", key, "-out",
                       m_dir->filePath(name + QStringLiteral(".crt"))});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
            m_output = QString::fromLocal8Bit(openssl.readAll());
            return false;
        }
        // The server reads its key only when no one else may.
        QFile::setPermissions(key, QFile::ReadOwner | QFile::WriteOwner);
        if (geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            return nobody &&
                   chown(QFile::encodeName(key).constData(), nobody->pw_uid, nobody->pw_gid) == 0;
        }
        return true;
    }
    QString folder() const { return m_dir->path(); }
    void stop()
    {
        if (m_running) {
            run(QStringLiteral("pg_ctl"), {"-D", data(), "-m", "fast", "-w", "stop"});
            m_running = false;
        }
    }
    HistoryConnection connection() const
    {
        HistoryConnection connection;
        connection.kind = HistoryConnection::Kind::Postgres;
        connection.host = QStringLiteral("127.0.0.1");
        connection.port = m_port;
        connection.database = QStringLiteral("postgres");
        connection.user = QStringLiteral("garrison");
        return connection;
    }

private:
    QString data() const { return m_dir->filePath(QStringLiteral("data")); }
    // Keeps the tool's output for the failure message.
    bool run(const QString& tool, const QStringList& arguments)
    {
        QProcess process;
        QString program = m_bin + QLatin1Char('/') + tool;
        QStringList all = arguments;
        if (geteuid() == 0) {
            all = QStringList{"-u", "nobody", "--", program} + arguments;
            program = QStringLiteral("runuser");
        }
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(m_dir->path());
        process.start(program, all);
        const bool ok = process.waitForFinished(60000) &&
                        process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        m_output = QString::fromLocal8Bit(process.readAll());
        return ok;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_bin;
    QString m_output;
    quint16 m_port = 0;
    bool m_running = false;
};

} // namespace

// The shared history on a real PostgreSQL server: the same cases as the file, and a server
// that goes away and comes back.
class TestHistoryPostgres : public QObject {
    Q_OBJECT

    // Destroyed in reverse: the test's connection closes before the server stops.
    PostgresServer m_server;
    std::unique_ptr<HistoryDatabase> m_database;
    bool m_tls = false;

private Q_SLOTS:
    void initTestCase()
    {
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
            QSKIP("The Qt PostgreSQL driver is missing (Debian package libqt6sql6-psql).");
        }
        const QString failure = m_server.start();
        if (failure.startsWith(QLatin1String("no PostgreSQL"))) {
            QSKIP(qPrintable(QStringLiteral("Skipped: ") + failure));
        }
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        m_database = std::make_unique<HistoryDatabase>(m_server.connection());
        QCOMPARE(m_database->open(), HistoryDatabase::State::Ready);
        QVERIFY(m_database->hasFragmentIndex());
    }
    void recording_data() { Cases::recording_data(); }
    void recording() { Cases::recording(*m_database); }
    void search_data() { Cases::search_data(); }
    void search() { Cases::search(*m_database); }
    void bans_data() { Cases::bans_data(); }
    void bans() { Cases::bans(*m_database); }

    void serverGoneAndBack()
    {
        History history;
        history.setRetryInterval(100);
        history.open(m_server.connection(), 90);
        QTRY_COMPARE_WITH_TIMEOUT(history.state(), History::State::Recording, 10000);
        // Now, not in the past: resuming runs retention.
        const auto record = [&](const QString& name) {
            history.recordStatus(Cases::kServer, QString(),
                                 {Cases::row("0|1|4444444444|" + name + "|x:1")},
                                 QDateTime::currentSecsSinceEpoch());
        };
        record(QStringLiteral("before"));

        m_server.stop();
        QElapsedTimer clock;
        clock.start();
        record(QStringLiteral("during"));
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(history.state(), History::State::Paused);

        QVERIFY(m_server.resume());
        QTRY_COMPARE_WITH_TIMEOUT(history.state(), History::State::Recording, 10000);
        record(QStringLiteral("after"));
        QCOMPARE(history.queries()->search(QStringLiteral("before")).size(), 1);
        QCOMPARE(history.queries()->search(QStringLiteral("after")).size(), 1);
        QCOMPARE(history.queries()->search(QStringLiteral("during")).size(), 0);
        // The test's own connection was cut as well.
        QCOMPARE(m_database->open(), HistoryDatabase::State::Ready);
    }

    // The Storage tab's SSL mode against the plain server and against one with TLS and a
    // self-signed certificate: "prefer" takes either and notes a plain link; "require" refuses
    // the plain server and says why; "verify-full" takes the server whose certificate the
    // given authority signed and refuses it on another authority's word.
    void sslModes_data()
    {
        addTextRows({"tls", "mode", "authority", "stateHolds", "noted"},
                    {{"prefer, plain server", "no", "prefer", "", "", "yes"},
                     {"require, plain server", "no", "require", "", "SSL", "no"},
                     {"prefer, TLS server", "yes", "prefer", "", "", "no"},
                     {"require, TLS server", "yes", "require", "", "", "no"},
                     {"verify-full, its authority", "yes", "verify-full", "server", "", "no"},
                     {"verify-full, another authority", "yes", "verify-full", "other",
                      "certificate verify failed", "no"}});
    }
    void sslModes()
    {
        QFETCH(QString, tls);
        QFETCH(QString, mode);
        QFETCH(QString, authority);
        QFETCH(QString, stateHolds);
        QFETCH(QString, noted);
        if (const bool wanted = tls == u"yes"; wanted != m_tls) {
            m_database.reset();
            m_server.stop();
            QVERIFY(m_server.resume(wanted));
            QVERIFY(m_server.makeCertificate(QStringLiteral("other"), QStringLiteral("127.0.0.1")));
            m_tls = wanted;
        }
        History history;
        test::FakeDialogs dialogs;
        HistoryPage page(history, dialogs);
        const HistoryConnection server = m_server.connection();
        page.findChild<QCheckBox*>(QStringLiteral("chkShared"))->setChecked(true);
        page.findChild<QLineEdit*>(QStringLiteral("txtHost"))->setText(server.host);
        page.findChild<QSpinBox*>(QStringLiteral("spnPort"))->setValue(server.port);
        page.findChild<QLineEdit*>(QStringLiteral("txtDatabase"))->setText(server.database);
        page.findChild<QLineEdit*>(QStringLiteral("txtUser"))->setText(server.user);
        auto* modes = page.findChild<QComboBox*>(QStringLiteral("cboSslMode"));
        modes->setCurrentIndex(modes->findData(mode));
        page.findChild<QLineEdit*>(QStringLiteral("txtRootCertificate"))
            ->setText(authority.isEmpty() ? QString()
                                          : QDir(m_server.folder()).filePath(authority + ".crt"));
        QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("cmdApply")), Qt::LeftButton);

        const auto* state = page.findChild<QLabel*>(QStringLiteral("lblState"));
        QTRY_VERIFY_WITH_TIMEOUT(!state->text().startsWith(u"Connecting"), 10000);
        QCOMPARE(history.state(),
                 stateHolds.isEmpty() ? History::State::Recording : History::State::Paused);
        QVERIFY2(state->text().contains(stateHolds), qPrintable(state->text()));

        const auto* note = page.findChild<QLabel*>(QStringLiteral("lblLink"));
        QCOMPARE(!note->isHidden(), noted == u"yes");
        QVERIFY2(noted == u"no" || note->text().contains(u"not encrypted"),
                 qPrintable(note->text()));
        QCOMPARE(HistoryConnection::fromSettings().sslMode, mode);
    }
};

GARRISON_TEST_MAIN(TestHistoryPostgres)
#include "TestHistoryPostgres.moc"
