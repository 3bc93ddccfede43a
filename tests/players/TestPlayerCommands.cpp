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

    // toLongLong() gives 0 for anything but a number.
    void hugeSlotStaysAPositiveNumber()
    {
        QVERIFY(PlayerCommands::punkBusterSlot(QString(40, u'9')).toLongLong() > 0);
    }

    // A whole player row is the menu's report row (TestPlayerMenu).
    void reportHasSixLines_data()
    {
        addTextRows(
            {"cells", "time", "report"},
            {{"score keeps trailing blanks, negative score", "a|  -3 ||||", "2026-12-04T13:05:09",
              "Player Report : Created on 12-04-2026 at 13:05:09\r\nSlot:\r\nPlayer Name: "
              "a\r\nHash: \r\nCurrent Score: -3 \r\nIP Address : "},
             {"missing cells, clock zero-padded", "", "2027-01-02T03:04:05",
              "Player Report : Created on 01-02-2027 at 03:04:05\r\nSlot:\r\nPlayer Name: "
              "\r\nHash: \r\nCurrent Score: \r\nIP Address : "}});
    }
    void reportHasSixLines()
    {
        QFETCH(QString, cells);
        QFETCH(QString, time);
        QFETCH(QString, report);
        QCOMPARE(PlayerCommands(cells.isEmpty() ? QStringList() : cells.split(u'|'))
                     .report(QDateTime::fromString(time, Qt::ISODate)),
                 report);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestPlayerCommands)
#include "TestPlayerCommands.moc"
