#include "rcon/ListPublication.h"
#include "rcon/RconClient.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace garrison;

class TestListPublication : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ticksUntilPublished_data()
    {
        QTest::addColumn<QString>("counter");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<QString>("counterAfter");
        QTest::newRow("left by a deferred send") << "2" << 2 << "3";
        QTest::newRow("already at target") << "3" << 1 << "3";
        QTest::newRow("past target") << "9" << 1 << "9";
        QTest::newRow("just armed deferral") << "1" << 3 << "3";
        QTest::newRow("never set") << "" << 4 << "3";
    }
    void ticksUntilPublished()
    {
        QFETCH(QString, counter);
        QFETCH(int, ticks);
        QFETCH(QString, counterAfter);
        RconClient client;
        ListPublication publication(client);
        publication.Timer3().setInterval(10);
        client.setTickCounter(counter);
        int seen = 0;
        connect(&publication.Timer3(), &QTimer::timeout, this, [&seen] { ++seen; });
        QSignalSpy published(&publication, &ListPublication::published);

        publication.append(QStringLiteral("^3PunkBuster Server: 1 abc\r\n"));
        QVERIFY(published.wait(5000));
        QCOMPARE(seen, ticks);
        QCOMPARE(published.at(0).at(0).toString(), " 1 abc\r\n");
        QVERIFY(!publication.Timer3().isActive());
        QCOMPARE(client.TickCounter(), counterAfter);
        QCOMPARE(publication.ListBuffer(), "^3PunkBuster Server: 1 abc\r\n");

        // A cleared buffer starts a new list.
        publication.clear();
        publication.append(QStringLiteral("new"));
        QVERIFY(published.wait(5000));
        QCOMPARE(published.at(1).at(0).toString(), "new");
    }

    // Two datagrams 300 ms apart: one publication about two seconds after the first.
    void laterDatagramJoinsTheRunningPublication()
    {
        RconClient client;
        ListPublication publication(client);
        client.setTickCounter(QStringLiteral("2"));
        QSignalSpy published(&publication, &ListPublication::published);
        QElapsedTimer clock;
        clock.start();
        publication.append(QStringLiteral("^3PunkBuster Server: Ban List\r\n"));
        int remainingBefore = -1;
        int remainingAfter = -1;
        QTimer::singleShot(300, this, [&] {
            remainingBefore = publication.Timer3().remainingTime();
            publication.append(QStringLiteral("^5PunkBuster Server End of List\r\n"));
            remainingAfter = publication.Timer3().remainingTime();
        });
        QVERIFY(published.wait(6000));
        QVERIFY(remainingAfter <= remainingBefore);
        QVERIFY(clock.elapsed() >= 1900);
        QCOMPARE(published.size(), 1);
        QCOMPARE(published.at(0).at(0).toString(), " Ban List\r\n End of List\r\n");
        QTest::qWait(1200);
        QCOMPARE(published.size(), 1);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestListPublication)
#include "TestListPublication.moc"
