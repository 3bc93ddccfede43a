#include "FakeDialogs.h"
#include "SimFixture.h"
#include "TestMain.h"
#include "app/MainWindow.h"
#include "app/TellWindow.h"
#include "history/History.h"
#include "history/HistoryConnection.h"
#include "history/HistoryPage.h"
#include "history/HistoryQueries.h"
#include "players/PlayerMenu.h"
#include "players/PlayerSortModel.h"
#include "players/PlayersPage.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>

using namespace garrison;
using garrison::test::FakeDialogs;
using garrison::test::SimFixture;

// The whole program against the simulated server: what the grid shows and what the player
// menu does ends up in the history and on the History page.
class TestHistoryPage : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;
    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<MainWindow> m_main;

    template <typename T> T* child(const char* name)
    {
        T* found = m_main->findChild<T*>(QLatin1String(name));
        [&] { QVERIFY2(found, name); }();
        return found;
    }
    QString serverKey() const { return QStringLiteral("127.0.0.1:%1").arg(m_sim->port()); }
    // Selects the first grid row with a guid, a human player, through the user's sort order.
    PlayerRow selectHuman()
    {
        for (int row = 0; row < m_main->gridModel().rowCount(); ++row) {
            const PlayerRow player = m_main->gridModel().row(row);
            if (!player[PlayerRow::Slot].trimmed().isEmpty() &&
                player[PlayerRow::Guid].trimmed().size() > 1) {
                PlayersPage& page = m_main->playersPage();
                page.grid().setCurrentIndex(
                    page.sortModel().mapFromSource(m_main->gridModel().index(row, 0)));
                return player;
            }
        }
        return {};
    }

private Q_SLOTS:
    void init()
    {
        m_sim = std::make_unique<SimFixture>();
        QVERIFY(m_sim->start());
        m_dialogs = std::make_unique<FakeDialogs>();
        setHistoryKeepDays(45);
        m_main = std::make_unique<MainWindow>(*m_dialogs);
        connectMain();
    }
    void cleanup()
    {
        m_main.reset();
        m_dialogs.reset();
        m_sim.reset();
    }
    void connectMain()
    {
        m_main->takeLoginValues(QStringLiteral("127.0.0.1"), QString::number(m_sim->port()),
                                m_sim->password());
        m_main->IdentDaemon(QStringLiteral("0"));
        QVERIFY(m_main->Connect());
        m_main->show();
        QTRY_VERIFY_WITH_TIMEOUT(!selectHuman()[PlayerRow::Guid].isEmpty(), 5000);
    }

    void kickAndWarningAppearInTheRecord()
    {
        QCOMPARE(m_main->history().state(), History::State::Recording);
        const PlayerRow player = selectHuman();
        QVERIFY(m_main->historyText(player).startsWith(QStringLiteral("First seen ")));
        // The grid's name tool tip carries the same note below the name.
        const QModelIndex name = m_main->playersPage().grid().currentIndex();
        QVERIFY(name.data(Qt::ToolTipRole).toString().contains(QLatin1String("\nFirst seen ")));

        m_main->playerMenu().entry(QStringLiteral("warnplayerz"))->trigger();
        m_main->tellWindow().findChild<QLineEdit*>(QStringLiteral("Text1"))->setText("no camping");
        m_main->tellWindow().findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        m_main->playerMenu().entry(QStringLiteral("kickplay"))->trigger();

        m_main->playerMenu().entry(QStringLiteral("historyz"))->trigger();
        QCOMPARE(m_main->currentPage(), MainWindow::Page::History);
        const std::optional<qint64> shown = m_main->historyPage().currentPlayer();
        QVERIFY(shown);
        const PlayerRecord record = *m_main->history().queries()->record(*shown);
        QCOMPARE(record.guid, player[PlayerRow::Guid].trimmed());
        QCOMPARE(record.actions.size(), 2);
        const PlayerAction& kick = record.actions[0];
        QCOMPARE(kick.command, QStringLiteral("kick ") + player[PlayerRow::Name]);
        QCOMPARE(kick.actor, QStringLiteral("rcon"));
        QCOMPARE(kick.serverKey, serverKey());
        QCOMPARE(kick.slot, player[PlayerRow::Slot].trimmed());
        QCOMPARE(record.actions[1].reason, QStringLiteral("no camping"));
        QCOMPARE(child<QTreeWidget>("lstActions")->topLevelItemCount(), 2);
        // GARRISON_SCREENSHOTS=folder keeps a picture of the page for the README.
        if (const QString shots = qEnvironmentVariable("GARRISON_SCREENSHOTS"); !shots.isEmpty()) {
            child<QTabWidget>("tabs")->setCurrentIndex(3);
            child<QLineEdit>("txtSearch")->setText(player[PlayerRow::Name].trimmed().left(3));
            m_main->resize(1000, 640);
            m_main->grab().save(shots + QStringLiteral("/history-page.png"));
            child<QTabWidget>("tabs")->setCurrentIndex(5);
            m_main->grab().save(shots + QStringLiteral("/history-chart.png"));
        }

        // Exported as the administrator would pass it on.
        const QString file = test::scratchFolder() + QStringLiteral("/record.csv");
        m_main->historyPage().setSaveFileChooser([&](const QString&) { return file; });
        child<QPushButton>("cmdExportRecord")->click();
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QVERIFY(csv.readAll().contains("kick " + player[PlayerRow::Name].toUtf8()));
    }

    // A history that cannot be used costs nothing but the history.
    void damagedHistoryLeavesTheServerAdministered()
    {
        m_main.reset();
        const QString path = HistoryConnection::defaultSqlitePath();
        QFile::rename(path, path + QStringLiteral(".good"));
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
        QFile garbage(path);
        QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(4096, 'Z')));
        garbage.close();

        m_main = std::make_unique<MainWindow>(*m_dialogs);
        connectMain();
        selectHuman();
        m_main->playerMenu().entry(QStringLiteral("kickplay"))->trigger();
        QVERIFY(m_main->rcon().LastCommand().startsWith(QStringLiteral("kick ")));
        m_main->playerMenu().entry(QStringLiteral("historyz"))->trigger();
        QCOMPARE(m_main->history().state(), History::State::Off);
        QVERIFY(child<QLabel>("lblState")->text().contains(QStringLiteral("cannot be used")));
        QVERIFY(m_dialogs->calls.isEmpty());
        // That the file stays as it was is TestHistoryDatabase::filesAreLeftAsTheyAre's.
        m_main.reset();
        QFile::remove(path);
        QFile::rename(path + QStringLiteral(".good"), path);
    }

    void searchAsYouTypeFromThePageButton()
    {
        child<QToolButton>("Image12")->click();
        QCOMPARE(m_main->currentPage(), MainWindow::Page::History);
        QCOMPARE(child<QSpinBox>("spnKeepDays")->value(), 45);
        const PlayerRow player = selectHuman();
        const QString name = player[PlayerRow::Name].trimmed();
        auto* results = child<QTreeWidget>("lstResults");
        QTest::keyClicks(child<QLineEdit>("txtSearch"), name.right(3).toUpper());
        QVERIFY(results->topLevelItemCount() >= 1);
        results->setCurrentItem(results->topLevelItem(0));
        QVERIFY(child<QLabel>("lblPlayer")->text().contains(QStringLiteral("first seen")));
        QVERIFY(child<QTreeWidget>("lstSessions")->topLevelItemCount() >= 1);
    }
};

GARRISON_TEST_MAIN(TestHistoryPage)
#include "TestHistoryPage.moc"
