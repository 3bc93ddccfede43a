#include "ConnectionAdmission.h"
#include "LockoutTable.h"
#include "TestMain.h"
#include "TextRows.h"

using garrisond::LockoutTable;

class TestLockoutTable : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Events, separated by "|", are "<f|s><seconds> <account> <address>": a failed or successful
    // login that many seconds after the start; "5x " before one repeats it five times, %1 being
    // 0 to 4. The table locks an address after 5 failures and an account after 8, for 300 s. The
    // check asks about "<seconds> <account> <address>"; "yes" if locked.
    void locksOut_data()
    {
        garrison::test::addTextRows(
            {"events", "check", "locked"},
            {{"four failures", "4x f%1 bob 192.0.2.7", "4 bob 192.0.2.7", ""},
             {"five failures", "5x f%1 bob 192.0.2.7", "5 bob 192.0.2.7", "yes"},
             {"locked for every account", "5x f%1 bob 192.0.2.7", "5 alice 192.0.2.7", "yes"},
             {"still locked before the end", "5x f%1 bob 192.0.2.7", "303 bob 192.0.2.7", "yes"},
             {"free at the end", "5x f%1 bob 192.0.2.7", "304 bob 192.0.2.7", ""},
             {"other address free", "5x f%1 bob 192.0.2.7", "5 bob 192.0.2.8", ""},
             {"own success clears own failures",
              "4x f%1 bob 192.0.2.7|s4 bob 192.0.2.7|f5 bob 192.0.2.7", "6 bob 192.0.2.7", ""},
             {"other account's success clears nothing",
              "4x f%1 bob 192.0.2.7|s4 alice 192.0.2.7|f5 bob 192.0.2.7", "6 bob 192.0.2.7", "yes"},
             {"old failures are forgotten", "4x f%1 bob 192.0.2.7|f400 bob 192.0.2.7",
              "401 bob 192.0.2.7", ""},
             {"spread out but each close to the last",
              "f0 a 192.0.2.7|f200 b 192.0.2.7|f400 c 192.0.2.7|f600 d 192.0.2.7|f800 e 192.0.2.7",
              "801 bob 192.0.2.7", "yes"},
             {"count starts again after a lock", "5x f%1 bob 192.0.2.7|f310 bob 192.0.2.7",
              "311 bob 192.0.2.7", ""},
             {"one IPv6 /56 is one address", "5x f%1 bob 2001:db8:1:2::%1",
              "5 bob 2001:db8:1:3f:ffff::9", "yes"},
             {"another /56 is another address", "5x f%1 bob 2001:db8:1:2::%1",
              "5 bob 2001:db8:1:102::1", ""},
             {"account guessed from many addresses", "8x f%1 bob 198.51.100.%1",
              "8 bob 203.0.113.1", "yes"},
             {"account lock spares its known address",
              "s0 bob 203.0.113.1|8x f%1 bob 198.51.100.%1", "8 bob 203.0.113.1", ""},
             {"unknown names lock no account", "8x f%1  198.51.100.%1", "8  203.0.113.1", ""}});
    }
    void locksOut()
    {
        QFETCH(QString, events);
        QFETCH(QString, check);
        QFETCH(QString, locked);
        const QDateTime start = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        LockoutTable table({5, 8, std::chrono::seconds(300)});
        for (const QString& event : events.split(u'|')) {
            const bool repeated = event.at(0).isDigit();
            for (int i = 0; i < (repeated ? event.section(u'x', 0, 0).toInt() : 1); ++i) {
                const QStringList parts =
                    (repeated ? event.section(u' ', 1).arg(i) : event).split(u' ');
                const QDateTime when = start.addSecs(parts.at(0).mid(1).toInt());
                const QString key = garrisond::ConnectionAdmission::addressKey(parts.at(2));
                if (parts.at(0).startsWith(u'f')) {
                    table.recordFailure(key, parts.at(1), when);
                } else {
                    table.recordSuccess(key, parts.at(1), when);
                }
            }
        }
        const QStringList parts = check.split(u' ');
        QCOMPARE(table.isLocked(garrisond::ConnectionAdmission::addressKey(parts.at(2)),
                                parts.at(1), start.addSecs(parts.at(0).toInt())),
                 !locked.isEmpty());
    }
};

GARRISON_TEST_GUILESS_MAIN(TestLockoutTable)
#include "TestLockoutTable.moc"
