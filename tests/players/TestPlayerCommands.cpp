#include "TestMain.h"
#include "TextRows.h"
#include "players/PlayerCommands.h"

using namespace garrison;
using garrison::test::addTextRows;

class TestPlayerCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void punkBusterSlotIsLeadingNumberPlusOne_data()
    {
        addTextRows({"slot", "expected"}, {{"0", "  0", "1"},
                                           {"11", " 11", "12"},
                                           {"blanks around", " 3 ", "4"},
                                           {"no number", "x", "1"},
                                           {"empty", "", "1"},
                                           {"only blanks", "   ", "1"},
                                           {"number then letters", "12ab", "13"},
                                           {"leading zeros", "007", "8"},
                                           {"negative", "-5", "-4"},
                                           {"number after letters", "a5", "1"},
                                           {"inner blank ends the number", "1 2", "2"},
                                           {"tab is not trimmed", "\t3", "1"},
                                           {"non-latin digits", "\u0663", "1"}});
    }
    void punkBusterSlotIsLeadingNumberPlusOne()
    {
        QFETCH(QString, slot);
        QFETCH(QString, expected);
        QCOMPARE(PlayerCommands::punkBusterSlot(slot), expected);
    }

    void hugeSlotStaysAPositiveNumber()
    {
        bool isNumber = false;
        const qlonglong value =
            PlayerCommands::punkBusterSlot(QString(40, QLatin1Char('9'))).toLongLong(&isNumber);
        QVERIFY(isNumber);
        QVERIFY(value > 0);
    }

    void reportHasSixLines_data()
    {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QString>("report");
        // A whole player row is the menu's report row (TestPlayerMenu).
        const QString head =
            QStringLiteral("Player Report : Created on 12-04-2026 at 13:05:09\r\n");
        QTest::newRow("score keeps trailing blanks, negative score")
            << QStringList{"a", "  -3 ", "", "", "", ""}
            << head + "Slot:\r\nPlayer Name: a\r\nHash: \r\nCurrent Score: -3 \r\nIP Address : ";
        QTest::newRow("missing cells")
            << QStringList{}
            << head + "Slot:\r\nPlayer Name: \r\nHash: \r\nCurrent Score: \r\nIP Address : ";
    }
    void reportHasSixLines()
    {
        QFETCH(QStringList, cells);
        QFETCH(QString, report);
        QCOMPARE(PlayerCommands(cells).report(QDateTime(QDate(2026, 12, 4), QTime(13, 5, 9))),
                 report);
    }

    void reportClockIsZeroPadded()
    {
        const QString report =
            PlayerCommands({}).report(QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5)));
        QVERIFY(report.startsWith(QStringLiteral("Player Report : Created on 01-02-2027 at "
                                                 "03:04:05\r\n")));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestPlayerCommands)
#include "TestPlayerCommands.moc"
