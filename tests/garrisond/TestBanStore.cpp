#include "BanStore.h"
#include "PostgresServer.h"
#include "TestMain.h"

#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QTemporaryDir>

using garrison::BanRecord;
using garrison::test::PostgresServer;
using garrisond::BanStore;

namespace {

const QDateTime kNow = QDateTime(QDate(2026, 12, 7), QTime(20, 0), Qt::UTC);

BanRecord ban(const QString& reason, const QString& guid, const QString& address = QString())
{
    BanRecord record;
    record.reason = reason;
    record.guid = guid;
    if (!address.isEmpty()) {
        BanRecord::parseAddress(address, &record.address, &record.prefixLength);
    }
    record.names = {QStringLiteral("^1Bad^7Guy")};
    record.issuedBy = QStringLiteral("alice");
    record.issuedAt = kNow.addDays(-1);
    return record;
}

// The store's answer to a change that `ask` makes with a context and a callback.
template <typename Ask> BanStore::Result answer(Ask ask)
{
    QObject context;
    std::optional<BanStore::Result> result;
    ask(&context, [&result](const BanStore::Result& given) { result = given; });
    if (!QTest::qWaitFor([&result] { return result.has_value(); }, 5000)) {
        return {0, 0, QStringLiteral("no answer")};
    }
    return *result;
}

BanStore::Result add(BanStore& store, const BanRecord& record)
{
    return answer([&](QObject* context, auto done) { store.add(record, context, done); });
}

BanStore::Result lift(BanStore& store, qint64 id)
{
    return answer([&](QObject* context, auto done) {
        store.lift(id, QStringLiteral("carol"), QStringLiteral("appeal granted"), kNow, context,
                   done);
    });
}

} // namespace

class TestBanStore : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    // Each row asks the store just filled and the same file opened afresh: the index in
    // memory and the columns on disk both have to hold every kind of ban.
    void keepingOut_data()
    {
        QTest::addColumn<QString>("guid");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("reason"); // of the ban that keeps the player out; empty: none

        QTest::newRow("digits") << "1234567"
                                << ""
                                << "eu1"
                                << "digits";
        QTest::newRow("hex in capitals") << "0123456789ABCDEF0123456789ABCDEF"
                                         << ""
                                         << "eu1"
                                         << "hex";
        QTest::newRow("address with port") << "1"
                                           << "192.0.2.7:28960"
                                           << "eu1"
                                           << "address";
        QTest::newRow("mapped address") << ""
                                        << "[::ffff:192.0.2.7]:28960"
                                        << "eu1"
                                        << "address";
        QTest::newRow("in range") << ""
                                  << "198.51.100.200:500"
                                  << "eu1"
                                  << "range";
        QTest::newRow("next to range") << ""
                                       << "198.51.101.1:500"
                                       << "eu1"
                                       << "";
        QTest::newRow("in v6 range") << ""
                                     << "[2001:db8:0:ff::5]:28960"
                                     << "eu1"
                                     << "range6";
        QTest::newRow("expired") << "555"
                                 << ""
                                 << "eu1"
                                 << "";
        QTest::newRow("lifted") << "666"
                                << ""
                                << "eu1"
                                << "";
        QTest::newRow("its server") << "777"
                                    << ""
                                    << "EU1"
                                    << "eu only";
        QTest::newRow("another server") << "777"
                                        << ""
                                        << "us2"
                                        << "";
        QTest::newRow("edited to end") << "888"
                                       << ""
                                       << "eu1"
                                       << "";
        QTest::newRow("guid of another ban's digits") << "12345678"
                                                      << ""
                                                      << "eu1"
                                                      << "";
    }
    void keepingOut()
    {
        QFETCH(QString, guid);
        QFETCH(QString, address);
        QFETCH(QString, server);
        QFETCH(QString, reason);
        const QString file = path(QStringLiteral("bans.sqlite"));
        if (!QFile::exists(file)) {
            BanStore store;
            QString error;
            QVERIFY2(store.open(file, std::nullopt, &error), qPrintable(error));
            QCOMPARE(QFile::permissions(file) & (QFile::ReadGroup | QFile::WriteGroup |
                                                 QFile::ReadOther | QFile::WriteOther),
                     QFile::Permissions());
            BanRecord expired = ban("expired", "555");
            expired.until = kNow.addSecs(-1);
            BanRecord onlyEu = ban("eu only", "777");
            onlyEu.servers = {QStringLiteral("eu1")};
            for (const BanRecord& record :
                 {ban("digits", "1234567"), ban("hex", "0123456789abcdef0123456789abcdef"),
                  ban("address", "", "192.0.2.7"), ban("range", "", "198.51.100.0/24"),
                  ban("range6", "", "2001:db8::/48"), expired, ban("lifted", "666"), onlyEu}) {
                const BanStore::Result added = add(store, record);
                QVERIFY2(added.error.isEmpty(), qPrintable(added.error));
            }
            const qint64 lifted = store.keepingOut("666", {}, "eu1", kNow)->id;
            QVERIFY(lift(store, lifted).error.isEmpty());
            BanRecord edited = ban("edited", "888");
            edited.id = add(store, edited).id;
            edited.until = kNow.addSecs(-60);
            QVERIFY(answer([&](QObject* context, auto done) {
                        store.edit(edited, context, done);
                    }).error.isEmpty());
            QCOMPARE(store.size(), 9);
        }
        BanStore store;
        QString error;
        QVERIFY2(store.open(file, std::nullopt, &error), qPrintable(error));
        const std::optional<BanRecord> found = store.keepingOut(guid, address, server, kNow);
        QCOMPARE(found ? found->reason : QString(), reason);
        if (found) {
            QCOMPARE(found->names, QStringList{"^1Bad^7Guy"});
            QCOMPARE(found->issuedAt, kNow.addDays(-1));
        }
    }

    void refusesWhatItCannotKeep()
    {
        BanStore store;
        QString error;
        QVERIFY(store.open(path(QStringLiteral("refusals.sqlite")), std::nullopt, &error));
        QCOMPARE(add(store, ban(QString(10000, u'x'), "1")).error,
                 "the reason has 10000 characters; at most 300");
        QCOMPARE(lift(store, 99).error, "there is no ban 99");
        QCOMPARE(store.size(), 0);
    }

    // Two garrisonds on one PostgreSQL: a change reaches the other within a second; while the
    // database is away both keep enforcing (one of them after a restart, from its copy), and
    // what changed meanwhile is caught up when it is back.
    void sharedThroughPostgres()
    {
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
            QSKIP("The Qt PostgreSQL driver is missing (Debian package libqt6sql6-psql).");
        }
        PostgresServer server;
        const QString failure = server.start();
        if (failure.startsWith(QLatin1String("no PostgreSQL"))) {
            QSKIP(qPrintable(failure));
        }
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        BanStore first;
        BanStore second;
        QString error;
        QVERIFY2(first.open(path("first.sqlite"), server.connection(), &error), qPrintable(error));
        QVERIFY2(second.open(path("second.sqlite"), server.connection(), &error),
                 qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(first.isReachable() && second.isReachable(), 5000);

        const BanStore::Result added = add(first, ban("shared", "4242"));
        QVERIFY2(added.id > 0, qPrintable(added.error));
        const qint64 id = added.id;
        QTRY_VERIFY_WITH_TIMEOUT(
            second.keepingOut("4242", {}, "eu1", QDateTime::currentDateTimeUtc()), 1000);

        server.stop();
        QSignalSpy away(&second, &BanStore::warning);
        QVERIFY(add(first, ban("while away", "4343")).error.contains("ban database"));
        QVERIFY(!first.isReachable());
        QVERIFY(add(first, ban("while away", "4343")).error.contains("until it is back"));
        QVERIFY(second.open(path("second.sqlite"), server.connection(), &error));
        QVERIFY(!second.isReachable());
        QVERIFY(second.keepingOut("4242", {}, "eu1", QDateTime::currentDateTimeUtc()));

        QVERIFY(server.resume());
        QTRY_VERIFY_WITH_TIMEOUT(first.isReachable(), BanStore::kRetryMs * 3);
        QVERIFY(lift(first, id).error.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(
            !second.keepingOut("4242", {}, "eu1", QDateTime::currentDateTimeUtc()),
            BanStore::kRetryMs * 3);
        QCOMPARE(second.find(id)->liftNote, "appeal granted");
        first.close();
        second.close();
    }
};

GARRISON_TEST_GUILESS_MAIN(TestBanStore)
#include "TestBanStore.moc"
