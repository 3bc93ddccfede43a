#include "TestMain.h"
#include "TextRows.h"
#include "platform/ColourContrast.h"
#include "players/GameColours.h"
#include "players/PlayerSortModel.h"
#include "rcon/PlayerGridModel.h"

using namespace garrison;
using garrison::test::addTextRows;

// The player grid's order and the names' colours, through the proxy the grid shows.
class TestPlayerSortModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void namesSplitIntoColourRuns_data()
    {
        // runs: code:text, separated by |
        addTextRows({"name", "runs", "toolTip"},
                    {{"no code is white", "Nickname", "7:Nickname", "Nickname"},
                     {"two colours", "^1Red^7Baron", "1:Red|7:Baron", "RedBaron"},
                     {"code at the end", "Nickname^7     ", "7:Nickname|7:     ", "Nickname"},
                     {"codes in a row", "^1^2x", "2:x", "x"},
                     {"black", "^0Shadow", "0:Shadow", "Shadow"},
                     {"not a colour code", "a^8b^^1c", "7:a^8b^|1:c", "a^8b^c"},
                     {"lone caret at the end", "x^", "7:x^", "x^"},
                     {"only codes", "^1^2", "", ""},
                     {"residue row", "               ", "7:               ", ""}});
    }
    void namesSplitIntoColourRuns()
    {
        QFETCH(QString, name);
        QFETCH(QString, runs);
        QFETCH(QString, toolTip);
        QStringList shown;
        for (const GameColours::Run& run : GameColours::runs(name)) {
            shown << QString::number(run.code) + ':' + run.text;
        }
        QCOMPARE(shown.join('|'), runs);

        PlayerGridModel grid;
        grid.setRows({PlayerRow{{name}}});
        PlayerSortModel sorted;
        sorted.setSourceModel(&grid);
        // The cell keeps its codes for commands and copies; the tool tip shows the name.
        QCOMPARE(sorted.index(0, PlayerRow::Name).data().toString(), name);
        QCOMPARE(sorted.index(0, PlayerRow::Name).data(Qt::ToolTipRole).toString(), toolTip);
    }

    void everyColourReadsOnTheNameCells()
    {
        for (unsigned int cell : {GameColours::kNameCell, GameColours::kAlternateNameCell}) {
            for (int code = 0; code < 8; ++code) {
                const unsigned int shown = GameColours::shownOn(code, cell);
                QVERIFY2(ColourContrast::ratio(shown, cell) >= 4.5,
                         qPrintable(QString::number(code)));
                // Light colours stay exactly the game's.
                if (ColourContrast::ratio(GameColours::rgb(code), cell) >= 4.5) {
                    QCOMPARE(shown, GameColours::rgb(code));
                }
            }
        }
    }

    // Cells and the order shown are split at "|"; "down" sorts downwards.
    void columnsSortAsTheyRead_data()
    {
        addTextRows(
            {"column", "order", "cells", "sorted"},
            {{"names without codes, any case, numbers in them", "name", "up",
              "^1Zed|alpha|^7Bravo^3|Player10|Player2", "alpha|^7Bravo^3|Player2|Player10|^1Zed"},
             {"empty names last, also downwards", "name", "down", "|b|^2|a", "b|a||^2"},
             {"scores as numbers", "score", "up", "10|9|-3|100", "-3|9|10|100"},
             {"padded slots", "slot", "up", " 10|  2||  1", "  1|  2| 10|"},
             {"pings before connecting players", "ping", "up", "CNCT|48|999|ZMBI|5",
              "5|48|999|CNCT|ZMBI"},
             {"pings downwards, empty still last", "ping", "down", "|CNCT|48|5", "CNCT|48|5|"},
             {"guids longer than any integer", "guid", "up",
              "123456789012345678901||999|123456789012345678900",
              "999|123456789012345678900|123456789012345678901|"},
             {"addresses by their numbers, names after", "address", "up",
              "192.0.2.10:28960|loopback|1.2.3|10.0.0.2:28960|bot|192.0.2.9:28961|192.0.2.9:500",
              "10.0.0.2:28960|192.0.2.9:500|192.0.2.9:28961|192.0.2.10:28960|1.2.3|bot|loopback"}});
    }
    void columnsSortAsTheyRead()
    {
        QFETCH(QString, column);
        QFETCH(QString, order);
        QFETCH(QString, cells);
        QFETCH(QString, sorted);
        // In the order of PlayerRow's columns.
        const int index =
            QStringList{"name", "score", "ping", "guid", "slot", "address"}.indexOf(column);
        QList<PlayerRow> rows;
        for (const QString& cell : cells.split('|')) {
            PlayerRow row;
            row[index] = cell;
            rows.append(row);
        }
        PlayerGridModel grid;
        PlayerSortModel sortModel;
        sortModel.setSourceModel(&grid);
        sortModel.sort(index, order == "down" ? Qt::DescendingOrder : Qt::AscendingOrder);
        // Every refresh replaces the rows; the order holds.
        grid.setRows(rows);
        QStringList shown;
        for (int row = 0; row < sortModel.rowCount(); ++row) {
            shown << sortModel.index(row, index).data().toString();
        }
        QCOMPARE(shown, sorted.split('|'));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestPlayerSortModel)
#include "TestPlayerSortModel.moc"
