#include "FakeDialogs.h"
#include "SimFixture.h"
#include "TestMain.h"
#include "app/MainWindow.h"
#include "app/TellWindow.h"
#include "app/UconSetup.h"
#include "control/ChatPage.h"
#include "history/History.h"
#include "history/HistoryConnection.h"
#include "history/HistoryPage.h"
#include "history/HistoryQueries.h"
#include "platform/AppFolder.h"
#include "platform/ConsoleBox.h"
#include "platform/SettingsStore.h"
#include "platform/WindowMemory.h"
#include "players/PlayerMenu.h"
#include "players/PlayerSortModel.h"
#include "players/PlayersPage.h"
#include "ucon/RelayLogWorker.h"
#include "ucon/UconIni.h"
#include "ucon/UconPassword.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>
#include <QUdpSocket>

using namespace garrison;
using garrison::test::FakeDialogs;
using garrison::test::SimFixture;

// The main window against the simulated game server on 127.0.0.1: its replies, the
// relay's log reaching the chat page, and the player history.
class TestReplies : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;
    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<MainWindow> m_main;

    void connectWith(const QString& password)
    {
        m_main->takeLoginValues(QStringLiteral("127.0.0.1"), QString::number(m_sim->port()),
                                password);
        m_main->IdentDaemon(QStringLiteral("0"));
        QVERIFY(m_main->Connect());
        m_main->show();
    }
    void connectToHuman()
    {
        connectWith(m_sim->password());
        QTRY_VERIFY_WITH_TIMEOUT(!selectHuman()[PlayerRow::Guid].isEmpty(), 5000);
    }
    template <typename T> T* child(const char* name)
    {
        T* found = m_main->findChild<T*>(QLatin1String(name));
        [&] { QVERIFY2(found, name); }();
        return found;
    }
    // Selects the first grid row with a guid, a human player, through the user's sort order.
    PlayerRow selectHuman()
    {
        for (int row = 0; row < m_main->session().gridModel().rowCount(); ++row) {
            const PlayerRow player = m_main->session().gridModel().row(row);
            if (!player[PlayerRow::Slot].trimmed().isEmpty() &&
                player[PlayerRow::Guid].trimmed().size() > 1) {
                PlayersPage& page = m_main->playersPage();
                page.grid().setCurrentIndex(
                    page.sortModel().mapFromSource(m_main->session().gridModel().index(row, 0)));
                return player;
            }
        }
        return {};
    }

private Q_SLOTS:
    void init()
    {
        // A coloured name, names with blanks, "rate" and "name" in them, a bot, one connecting.
        sim::SimSettings settings = SimFixture::frozenSettings();
        settings.players = 14;
        m_sim = std::make_unique<SimFixture>(settings);
        QVERIFY(m_sim->start());
        m_sim->console().reply(QStringLiteral("sv_hostname ^1Garrison ^7Test"));
        m_dialogs = std::make_unique<FakeDialogs>();
        setHistoryKeepDays(45);
        m_main = std::make_unique<MainWindow>(*m_dialogs);
    }
    void cleanup()
    {
        m_main.reset();
        m_dialogs.reset();
        m_sim.reset();
    }

    void invalidPasswordEndsTheSession()
    {
        QSignalSpy loginRequested(m_main.get(), &MainWindow::loginWindowRequested);
        connectWith(QStringLiteral("wrong"));
        // Recognised in the answer to "status", long before the map would be asked for.
        QTRY_COMPARE_WITH_TIMEOUT(m_dialogs->calls.size(), 1, 1500);
        QCOMPARE(m_dialogs->calls[0].text,
                 QStringLiteral("You have an Invalid password for RCON!"));
        QCOMPARE(m_dialogs->calls[0].caption, QStringLiteral("GARRISON"));
        QCOMPARE(m_dialogs->calls[0].icon, BoxIcon::Critical);
        QCOMPARE(loginRequested.size(), 1);
        QVERIFY(!m_main->isVisible());
    }

    // With the real relay program in the program's folder.
    void kickReachesTheChatBox()
    {
        const QString relayCopy = AppFolder::filePath(QStringLiteral("pbucon.exe"));
        QFile::remove(relayCopy);
        QVERIFY(QFile::copy(QStringLiteral(GARRISON_RELAY_PATH), relayCopy));
        constexpr int kTimeoutMs = 10000;
        const QString relayPort = [] {
            QUdpSocket probe;
            probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
            return QString::number(probe.localPort());
        }();
        const UconIdentity identity =
            UconIdentity::forAddress(QStringLiteral("127.0.0.1"), UconPassword::generate());
        const QString serverPort = QString::number(m_sim->port());
        UconIni::write(AppFolder::path(),
                       UconIni::text(QStringLiteral("127.0.0.1"), serverPort, relayPort, identity));
        m_main->keepUconIdentity(identity);
        m_main->takeLoginValues(QStringLiteral("127.0.0.1"), serverPort, m_sim->password());
        QVERIFY(m_main->Connect());

        // The test's own child, ended when it goes: the test ends exactly the process it started.
        QProcess relay;
        UconSetup& setup = m_main->uconSetup();
        setup.setWait([](int) {});
        setup.worker().setTickInterval(100);
        setup.worker().setStarter(
            [&relay](const QString& program, const QStringList& arguments, const QString& folder) {
                relay.setWorkingDirectory(folder);
                relay.start(program, arguments);
                return relay.waitForStarted(kTimeoutMs);
            });
        m_main->show();
        // As at a start after an evening that ended on the Chat page: the page comes back, and
        // its relay registration leaves the header's replies to the header.
        SettingsStore::write(WindowMemory::kSection, QStringLiteral("LastPage"),
                             QStringLiteral("Chat"));
        m_main->restoreLastPage();
        QTRY_COMPARE_WITH_TIMEOUT(relay.state(), QProcess::Running, kTimeoutMs);
        QCOMPARE(child<QLabel>("Label6")->text(), QStringLiteral("Garrison Test"));
        QCOMPARE(m_main->currentPage(), MainWindow::Page::Chat);
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->server().uconFeed().relays().size(), 1, kTimeoutMs);

        m_sim->rcon(QStringLiteral("pb_sv_kick 1 0 testing"));
        QTRY_VERIFY_WITH_TIMEOUT(
            m_main->chatPage().transcript().contains(
                QStringLiteral("PunkBuster Server - Kick Command Issued (testing) for (slot#1)")),
            kTimeoutMs);
        const QString shown = m_main->chatPage().transcript();
        QVERIFY2(!shown.contains(QStringLiteral("Relay started")), qPrintable(shown));
        QVERIFY2(!shown.contains(QChar(0xFA)), qPrintable(shown));
        QVERIFY(m_main->chatPage().txtsay2().textCursor().atEnd());
        // In the session's own folder, where the relay of another server's session cannot
        // delete it.
        QCOMPARE(setup.worker().folder(),
                 AppFolder::filePath(QStringLiteral("relay-127.0.0.1-") + serverPort));
        QVERIFY(QFile::exists(setup.worker().folder() + QStringLiteral("/pbucon.log")));
    }

    // What the grid shows and what the player menu does ends up in the history and on the
    // History page.
    void kickWarningAndSearchOnTheHistoryPage()
    {
        connectToHuman();
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
        QCOMPARE(kick.serverKey, QStringLiteral("127.0.0.1:%1").arg(m_sim->port()));
        QCOMPARE(kick.slot, player[PlayerRow::Slot].trimmed());
        QCOMPARE(record.actions[1].reason, QStringLiteral("no camping"));
        QCOMPARE(child<QTreeWidget>("lstActions")->topLevelItemCount(), 2);
        // GARRISON_SCREENSHOTS=folder keeps a picture of the page for the README.
        if (const QString shots = qEnvironmentVariable("GARRISON_SCREENSHOTS"); !shots.isEmpty()) {
            child<QTabWidget>("tabs")->setCurrentIndex(3);
            child<QLineEdit>("txtSearch")->setText(player[PlayerRow::Name].trimmed().left(3));
            m_main->resize(1000, 640);
            m_main->grab().save(shots + QStringLiteral("/history-page.png"));
            child<QTabWidget>("tabs")->setCurrentWidget(child<QWidget>("tabCount"));
            m_main->grab().save(shots + QStringLiteral("/history-chart.png"));
        }

        // Exported as the administrator would pass it on.
        const QString file = test::scratchFolder() + QStringLiteral("/record.csv");
        m_main->historyPage().setSaveFileChooser([&](const QString&) { return file; });
        child<QPushButton>("cmdExportRecord")->click();
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QVERIFY(csv.readAll().contains("kick " + player[PlayerRow::Name].toUtf8()));

        // From the page button: the keep-days value, and a search as you type.
        m_main->showPage(MainWindow::Page::Players);
        child<QToolButton>("ImageHistory")->click();
        QCOMPARE(m_main->currentPage(), MainWindow::Page::History);
        QCOMPARE(child<QSpinBox>("spnKeepDays")->value(), 45);
        auto* results = child<QTreeWidget>("lstResults");
        child<QLineEdit>("txtSearch")->clear();
        QTest::keyClicks(child<QLineEdit>("txtSearch"),
                         player[PlayerRow::Name].trimmed().right(3).toUpper());
        QVERIFY(results->topLevelItemCount() >= 1);
        results->setCurrentItem(results->topLevelItem(0));
        QVERIFY(child<QLabel>("lblPlayer")->text().contains(QStringLiteral("first seen")));
        QVERIFY(child<QTreeWidget>("lstSessions")->topLevelItemCount() >= 1);
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
        connectToHuman();
        m_main->playerMenu().entry(QStringLiteral("kickplay"))->trigger();
        QVERIFY(m_main->session().rcon().LastCommand().startsWith(QStringLiteral("kick ")));
        m_main->playerMenu().entry(QStringLiteral("historyz"))->trigger();
        QCOMPARE(m_main->history().state(), History::State::Off);
        QVERIFY(child<QLabel>("lblState")->text().contains(QStringLiteral("cannot be used")));
        QVERIFY(m_dialogs->calls.isEmpty());
        // That the file stays as it was is TestHistoryDatabase::filesAreLeftAsTheyAre's.
        m_main.reset();
        QFile::remove(path);
        QFile::rename(path + QStringLiteral(".good"), path);
    }
};

GARRISON_TEST_MAIN(TestReplies)
#include "TestReplies.moc"
