#include "DaemonConfig.h"
#include "DaemonServer.h"
#include "PostgresServer.h"
#include "SimFixture.h"
#include "TestMain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QTemporaryDir>

using garrison::test::PostgresServer;
using garrison::test::SimFixture;
using garrisond::DaemonConfig;
using garrisond::DaemonMessage;
using garrisond::DaemonServer;

namespace {

constexpr int kWaitMs = 5000;

// One game server with its garrisond, both in this process.
struct Site {
    std::unique_ptr<SimFixture> sim;
    std::unique_ptr<DaemonServer> daemon;
    QString auditPath;

    bool has(const QString& name) const
    {
        const QList<garrison::sim::SimPlayer>& players = sim->console().world().players();
        return std::any_of(players.cbegin(), players.cend(),
                           [&name](const auto& player) { return player.name == name; });
    }
    int join(const QString& name, qint32 guid, const QString& ip = QStringLiteral("203.0.113.9"))
    {
        return sim->console().world().joinNow(name, guid, ip, 28960);
    }
    // The daemon's answer to one request of alice's, as its session would send it.
    QByteArray ask(const QString& text)
    {
        const DaemonMessage message = DaemonMessage::parse(text.toUtf8(), QStringLiteral("alice"));
        QObject context;
        QByteArray answer;
        daemon->banRequest(message, QStringLiteral("127.0.0.1"), QStringLiteral("alice/admin"),
                           QStringLiteral("alice"), QStringLiteral("admin"), &context,
                           [&answer](const QByteArray& bytes) { answer = bytes; });
        (void)QTest::qWaitFor([&answer] { return !answer.isEmpty(); }, kWaitMs);
        return answer;
    }
    QString audit() const
    {
        QFile file(auditPath);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
};

} // namespace

// Two game servers, each with its garrisond, sharing one ban list on a PostgreSQL server: a
// ban issued on one keeps the player off both, a timed one ends, a lifted one lets him back.
class TestSharedBans : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    PostgresServer m_postgres;
    Site m_eu;
    Site m_us;

    bool startSite(Site& site, const QString& name)
    {
        garrison::sim::SimSettings settings = SimFixture::frozenSettings();
        settings.players = 0;
        settings.logFile = m_dir.filePath(name + QStringLiteral("-games_mp.log"));
        site.sim = std::make_unique<SimFixture>(settings);
        if (!site.sim->start()) {
            return false;
        }
        QDir(m_dir.path()).mkdir(name);
        const QString conf = m_dir.filePath(name + QStringLiteral("/garrisond.conf"));
        const garrison::HistoryConnection db = m_postgres.connection();
        QFile file(conf);
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral("rcon_password = %1\nserver_port = %2\ngame_log = %3\n"
                                  "server_name = %4\nallow_plaintext = true\n"
                                  "health_interval = 0s\n"
                                  "ban_database = postgresql://%5@%6:%7/%8\n")
                       .arg(site.sim->password())
                       .arg(site.sim->port())
                       .arg(settings.logFile, name, db.user, db.host)
                       .arg(db.port)
                       .arg(db.database)
                       .toUtf8());
        file.close();
        DaemonConfig config;
        QString error;
        if (!DaemonConfig::load(conf, &config, &error)) {
            qWarning() << error;
            return false;
        }
        site.auditPath = config.auditLogPath;
        site.daemon = std::make_unique<DaemonServer>(config);
        return site.daemon->start(QHostAddress::LocalHost, 0);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
            QSKIP("The Qt PostgreSQL driver is missing (Debian package libqt6sql6-psql).");
        }
        const QString failure = m_postgres.start();
        if (failure.startsWith(QLatin1String("no PostgreSQL"))) {
            QSKIP(qPrintable(failure));
        }
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QVERIFY(startSite(m_eu, QStringLiteral("eu1")));
        QVERIFY(startSite(m_us, QStringLiteral("us2")));
        for (Site* site : {&m_eu, &m_us}) {
            const garrisond::BanStore& bans = site->daemon->bans();
            QTRY_VERIFY_WITH_TIMEOUT(!bans.isLoading() && bans.isReachable(), kWaitMs);
        }
    }
    void cleanupTestCase()
    {
        m_eu.daemon.reset();
        m_us.daemon.reset();
    }

    // Banned on one server while on both: kicked on both, on the other within a second of
    // the ban, with what he said as evidence, and kept off at his next join.
    void banReachesTheOtherServer()
    {
        const int slot = m_us.join(QStringLiteral("Cheater"), 4242);
        const int euSlot = m_eu.join(QStringLiteral("Cheater"), 4242);
        m_us.sim->console().world().say(slot, QStringLiteral("^1aimbot ftw"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_us.daemon->enforcer().evidence("4242").isEmpty(), kWaitMs);

        QElapsedTimer sinceBan;
        sinceBan.start();
        QCOMPARE(m_us.ask(QStringLiteral("addban {\"guid\":\"4242\",\"reason\":\"aim\\\"bot; "
                                         "quit\"}")),
                 "BANADDED 1\n");
        QTRY_VERIFY_WITH_TIMEOUT(!m_eu.has(QStringLiteral("Cheater")), 1000);
        qInfo("kicked on the other server %lld ms after the ban", sinceBan.elapsed());
        QVERIFY(!m_us.has(QStringLiteral("Cheater")));
        QVERIFY(m_eu.sim->answered().contains(QStringLiteral("clientkick %1").arg(euSlot)));
        // The reason reaches the player without ending the console command.
        QVERIFY(m_eu.sim->answered().contains(
            QStringLiteral("tell %1 ^1You are banned^7: aimbot quit^7 (permanently)").arg(euSlot)));
        QTRY_VERIFY_WITH_TIMEOUT(
            m_eu.audit().contains(QStringLiteral("kept-out slot=%1 guid=4242").arg(euSlot)),
            kWaitMs);

        QElapsedTimer sinceJoin;
        sinceJoin.start();
        m_eu.join(QStringLiteral("Cheater"), 4242);
        QTRY_VERIFY_WITH_TIMEOUT(!m_eu.has(QStringLiteral("Cheater")), 1000);
        qInfo("kicked %lld ms after the join line", sinceJoin.elapsed());

        const QByteArray list = m_eu.ask(QStringLiteral("getbans"));
        const QJsonObject ban = QJsonDocument::fromJson(list.split('\n').value(1)).object();
        QCOMPARE(ban["by"].toString(), "alice");
        QCOMPARE(ban["names"].toArray(), QJsonArray{"Cheater"});
        QVERIFY2(ban["evidence"].toArray().first().toString().endsWith("Cheater: ^1aimbot ftw"),
                 list.constData());
    }

    // A timed ban keeps the player out until it ends, a lifted one not at all. Each check
    // that he stays is closed by the join of a banned player after him: once that one is
    // kicked, the line before it was read.
    void timedAndLiftedBans()
    {
        const QDateTime until = QDateTime::currentDateTimeUtc().addSecs(2);
        QCOMPARE(m_us.ask(QStringLiteral("addban {\"guid\":\"777\",\"until\":\"%1\"}")
                              .arg(until.toString(Qt::ISODate))),
                 "BANADDED 2\n");
        QCOMPARE(m_us.ask(QStringLiteral("addban {\"address\":\"198.51.100.0/24\"}")),
                 "BANADDED 3\n");
        QTRY_VERIFY_WITH_TIMEOUT(m_eu.daemon->bans().size() == 3, 1000);
        m_eu.join(QStringLiteral("Hasty"), 777);
        QTRY_VERIFY_WITH_TIMEOUT(!m_eu.has(QStringLiteral("Hasty")), 1000);
        QTRY_VERIFY_WITH_TIMEOUT(QDateTime::currentDateTimeUtc() > until, kWaitMs);
        m_eu.join(QStringLiteral("Hasty"), 777);
        m_eu.join(QStringLiteral("Ranged"), 55, QStringLiteral("198.51.100.20"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_eu.has(QStringLiteral("Ranged")), kWaitMs);
        QVERIFY(m_eu.has(QStringLiteral("Hasty")));

        QCOMPARE(m_eu.ask(QStringLiteral("liftban {\"id\":1,\"note\":\"appeal\"}")),
                 "BANCHANGED 1\n");
        QTRY_VERIFY_WITH_TIMEOUT(m_us.daemon->bans().find(1)->lifted, 1000);
        m_us.join(QStringLiteral("Cheater"), 4242);
        m_us.join(QStringLiteral("Ranged"), 56, QStringLiteral("198.51.100.21"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_us.has(QStringLiteral("Ranged")), kWaitMs);
        QVERIFY(m_us.has(QStringLiteral("Cheater")));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestSharedBans)
#include "TestSharedBans.moc"
