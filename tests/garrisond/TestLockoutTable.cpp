#include "LockoutTable.h"
#include "TestMain.h"

using garrisond::LockoutTable;

// Each event: "f<seconds>" a failure, "s<seconds>" a success, at that many seconds after the
// start; the table allows 5 failures and locks for 300 s.
class TestLockoutTable : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void locksAfterFiveFailures_data();
    void locksAfterFiveFailures();
    void addressesAreApart();
};

void TestLockoutTable::locksAfterFiveFailures_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("checkAt");
    QTest::addColumn<bool>("locked");
    QTest::newRow("four failures") << QStringList{"f0", "f1", "f2", "f3"} << 4 << false;
    QTest::newRow("five failures") << QStringList{"f0", "f1", "f2", "f3", "f4"} << 5 << true;
    QTest::newRow("still locked before the end")
        << QStringList{"f0", "f1", "f2", "f3", "f4"} << 303 << true;
    QTest::newRow("free at the end") << QStringList{"f0", "f1", "f2", "f3", "f4"} << 304 << false;
    QTest::newRow("success resets the count")
        << QStringList{"f0", "f1", "f2", "f3", "s4", "f5"} << 6 << false;
    QTest::newRow("old failures are forgotten")
        << QStringList{"f0", "f1", "f2", "f3", "f400"} << 401 << false;
    QTest::newRow("spread out but each close to the last")
        << QStringList{"f0", "f200", "f400", "f600", "f800"} << 801 << true;
    QTest::newRow("count starts again after a lock")
        << QStringList{"f0", "f1", "f2", "f3", "f4", "f310"} << 311 << false;
}

void TestLockoutTable::locksAfterFiveFailures()
{
    QFETCH(QStringList, events);
    QFETCH(int, checkAt);
    QFETCH(bool, locked);
    const QString address = QStringLiteral("192.0.2.7");
    const QDateTime start = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    LockoutTable table(5, std::chrono::seconds(300));
    for (const QString& event : events) {
        const QDateTime when = start.addSecs(event.mid(1).toInt());
        if (event.startsWith(QLatin1Char('f'))) {
            table.recordFailure(address, when);
        } else {
            table.recordSuccess(address);
        }
    }
    QCOMPARE(table.isLocked(address, start.addSecs(checkAt)), locked);
}

void TestLockoutTable::addressesAreApart()
{
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    LockoutTable table(5, std::chrono::seconds(60));
    bool lockedNow = false;
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(lockedNow, false);
        lockedNow = table.recordFailure(QStringLiteral("10.0.0.1"), now);
    }
    QVERIFY(lockedNow);
    QVERIFY(table.isLocked(QStringLiteral("10.0.0.1"), now));
    QVERIFY(!table.isLocked(QStringLiteral("10.0.0.2"), now));
}

GARRISON_TEST_GUILESS_MAIN(TestLockoutTable)
#include "TestLockoutTable.moc"
