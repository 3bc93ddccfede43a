#include "rcon/PlayerGridModel.h"
#include "support/TestMain.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace garrison;

namespace {

PlayerRow player(const QString& name, const QString& slot)
{
    return PlayerRow{{name, "   10", "  48", "1234567890", slot, "192.0.2.10:28960"}};
}

} // namespace

class TestPlayerGridModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rowsCellsAndClearing()
    {
        PlayerGridModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        const QList<PlayerRow> rows{player("Nickname^7     ", "  0"), player("bot0", " 17")};
        model.setRows(rows);
        QCOMPARE(resets.size(), 1);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.data(model.index(0, PlayerRow::Name)).toString(), "Nickname^7     ");
        QCOMPARE(model.data(model.index(1, PlayerRow::Slot)).toString(), " 17");
        QCOMPARE(model.data(model.index(1, PlayerRow::Address)).toString(), "192.0.2.10:28960");
        QCOMPARE(model.row(1), rows.at(1));
        QCOMPARE(model.row(2), PlayerRow{});
        QCOMPARE(model.row(-1), PlayerRow{});
        QVERIFY(!model.index(0, 0).flags().testFlag(Qt::ItemIsEditable));

        // Clearing the cells keeps the rows, in one change.
        model.setRows({player("a", "  1"), player("b", "  2"), player("c", "  3")});
        QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
        model.clearCells();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.at(0).at(0).toModelIndex(), model.index(0, 0));
        QCOMPARE(changes.at(0).at(1).toModelIndex(), model.index(2, 5));
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(model.row(row), PlayerRow{});
        }
        model.setRows({});
        QCOMPARE(model.rowCount(), 0);
        model.clearCells();
        QCOMPARE(changes.size(), 1);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestPlayerGridModel)
#include "TestPlayerGridModel.moc"
