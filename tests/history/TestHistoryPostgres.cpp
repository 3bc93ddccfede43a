#include "FakeDialogs.h"
#include "HistoryCases.h"
#include "PostgresServer.h"
#include "TestMain.h"
#include "history/History.h"
#include "history/HistoryBanSource.h"
#include "history/HistoryPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <pwd.h>
#include <unistd.h>

using namespace garrison;
using garrison::test::addTextRows;
using garrison::test::PostgresServer;
namespace Cases = garrison::test::HistoryCases;

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

    // Two GARRISONs on one shared history: a ban that one adds reaches the other's ban list as
    // the database tells of it, long before the re-read of HistoryBanSource::kSharedPollMs.
    void banReachesAnotherGarrisonAtOnce()
    {
        History here;
        History there;
        for (History* history : {&here, &there}) {
            history->open(m_server.connection(), 90);
            QTRY_COMPARE_WITH_TIMEOUT(history->state(), History::State::Recording, 10000);
            QVERIFY(history->hearsBanChanges());
        }
        HistoryBanSource mine(here);
        HistoryBanSource theirs(there);
        QSignalSpy told(&theirs, &BanSource::listChanged);
        QList<BanRecord> listed;
        connect(&theirs, &BanSource::listed, this,
                [&listed](const QList<BanRecord>& bans) { listed = bans; });
        BanRecord ban;
        ban.guid = QStringLiteral("5550001");
        ban.reason = QStringLiteral("Wallhack");
        mine.add(ban);
        QTRY_VERIFY_WITH_TIMEOUT(told.count() > 0, 5000);
        theirs.list();
        QTRY_VERIFY_WITH_TIMEOUT(!listed.isEmpty(), 5000);
        QCOMPARE(listed.first().guid, ban.guid);
        QCOMPARE(listed.first().reason, ban.reason);
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
