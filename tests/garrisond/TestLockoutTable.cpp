#include "LockoutTable.h"
#include "TestMain.h"

using garrisond::LockoutTable;

class TestLockoutTable : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each event is "<f|s><seconds> <account> <address>": a failed or successful login that many
    // seconds after the start. The table locks an address after 5 failures and an account after 8,
    // for 300 s. The check asks about "<seconds> <account> <address>".
    void locksOut_data()
    {
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("check");
        QTest::addColumn<bool>("locked");
        const auto repeat = [](int times, const QString& event) {
            QStringList events;
            for (int i = 0; i < times; ++i) {
                events.append(event.arg(i));
            }
            return events;
        };
        const QStringList five = repeat(5, QStringLiteral("f%1 bob 192.0.2.7"));
        const QStringList four = repeat(4, QStringLiteral("f%1 bob 192.0.2.7"));
        QTest::newRow("four failures") << four << "4 bob 192.0.2.7" << false;
        QTest::newRow("five failures") << five << "5 bob 192.0.2.7" << true;
        QTest::newRow("locked for every account") << five << "5 alice 192.0.2.7" << true;
        QTest::newRow("still locked before the end") << five << "303 bob 192.0.2.7" << true;
        QTest::newRow("free at the end") << five << "304 bob 192.0.2.7" << false;
        QTest::newRow("other address free") << five << "5 bob 192.0.2.8" << false;
        QTest::newRow("own success clears own failures")
            << four + QStringList{"s4 bob 192.0.2.7", "f5 bob 192.0.2.7"} << "6 bob 192.0.2.7"
            << false;
        QTest::newRow("other account's success clears nothing")
            << four + QStringList{"s4 alice 192.0.2.7", "f5 bob 192.0.2.7"} << "6 bob 192.0.2.7"
            << true;
        QTest::newRow("old failures are forgotten")
            << four + QStringList{"f400 bob 192.0.2.7"} << "401 bob 192.0.2.7" << false;
        QTest::newRow("spread out but each close to the last")
            << QStringList{"f0 a 192.0.2.7", "f200 b 192.0.2.7", "f400 c 192.0.2.7",
                           "f600 d 192.0.2.7", "f800 e 192.0.2.7"}
            << "801 bob 192.0.2.7" << true;
        QTest::newRow("count starts again after a lock")
            << five + QStringList{"f310 bob 192.0.2.7"} << "311 bob 192.0.2.7" << false;
        QTest::newRow("one IPv6 /64 is one address")
            << repeat(5, QStringLiteral("f%1 bob 2001:db8:1:2::%1")) << "5 bob 2001:db8:1:2:ffff::9"
            << true;
        QTest::newRow("another /64 is another address")
            << repeat(5, QStringLiteral("f%1 bob 2001:db8:1:2::%1")) << "5 bob 2001:db8:1:3::1"
            << false;
        QTest::newRow("account guessed from many addresses")
            << repeat(8, QStringLiteral("f%1 bob 198.51.100.%1")) << "8 bob 203.0.113.1" << true;
        QTest::newRow("account lock spares its known address")
            << QStringList{"s0 bob 203.0.113.1"} +
                   repeat(8, QStringLiteral("f%1 bob 198.51.100.%1"))
            << "8 bob 203.0.113.1" << false;
        QTest::newRow("unknown names lock no account")
            << repeat(8, QStringLiteral("f%1  198.51.100.%1")) << "8  203.0.113.1" << false;
    }
    void locksOut()
    {
        QFETCH(QStringList, events);
        QFETCH(QString, check);
        QFETCH(bool, locked);
        const QDateTime start = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        LockoutTable table({5, 8, std::chrono::seconds(300)});
        for (const QString& event : std::as_const(events)) {
            const QStringList parts = event.split(QLatin1Char(' '));
            const QDateTime when = start.addSecs(parts.at(0).mid(1).toInt());
            const QString key = LockoutTable::addressKey(parts.at(2));
            if (parts.at(0).startsWith(QLatin1Char('f'))) {
                table.recordFailure(key, parts.at(1), when);
            } else {
                table.recordSuccess(key, parts.at(1), when);
            }
        }
        const QStringList parts = check.split(QLatin1Char(' '));
        QCOMPARE(table.isLocked(LockoutTable::addressKey(parts.at(2)), parts.at(1),
                                start.addSecs(parts.at(0).toInt())),
                 locked);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestLockoutTable)
#include "TestLockoutTable.moc"
