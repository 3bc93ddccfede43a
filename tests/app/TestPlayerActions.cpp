#include "MainWindowFixture.h"
#include "SimFixture.h"
#include "TestMain.h"
#include "UdpPeer.h"
#include "app/MainWindow.h"
#include "control/ChatPage.h"
#include "players/PlayerMenu.h"
#include "players/PlayerSortModel.h"
#include "players/PlayersPage.h"
#include "players/ToolsMenu.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableView>

using namespace garrison;
using garrison::test::UdpPeer;

// The menus and small windows as the main window wires them, against a loopback server.
class TestPlayerActions : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MainWindowFixture> m_fixture;
    MainWindow* m_main = nullptr;
    UdpPeer* m_peer = nullptr;

    QMenu& playerMenu() { return m_main->playerMenu().menuz(); }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<test::MainWindowFixture>();
        m_main = m_fixture->main.get();
        m_peer = m_fixture->peer.get();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
        QVERIFY(m_fixture->connect());
    }
    void cleanup() { m_fixture.reset(); }

    // Against the simulator: the grid sorted by a header click, the menu on a row that the sort
    // moved, and the address found on the clipboard.
    void copyIpPutsTheAddressUnderTheMouseOnTheClipboard()
    {
        test::SimFixture sim;
        QVERIFY(sim.start());
        QTableView& view = m_main->playersPage().grid();
        view.setModel(&m_main->playersPage().sortModel());
        m_main->takeLoginValues(QStringLiteral("127.0.0.1"), QString::number(sim.port()),
                                sim.password());
        QVERIFY(m_main->Connect());
        // The map query follows the whole status reply.
        QTRY_COMPARE_WITH_TIMEOUT(m_main->rcon().LastCommand(), QStringLiteral("mapname"), 5000);

        QHeaderView& header = *view.horizontalHeader();
        QTest::mouseClick(
            header.viewport(), Qt::LeftButton, {},
            QPoint(header.sectionViewportPosition(PlayerRow::Address) + 4, header.height() / 2));
        QCOMPARE(header.sortIndicatorSection(), int(PlayerRow::Address));
        const QSortFilterProxyModel& sorted = m_main->playersPage().sortModel();
        int moved = -1;
        for (int row = 0; row < sorted.rowCount() && moved < 0; ++row) {
            if (sorted.mapToSource(sorted.index(row, 0)).row() != row &&
                !sorted.index(row, PlayerRow::Address).data().toString().isEmpty()) {
                moved = row;
            }
        }
        QVERIFY(moved >= 0);
        const QString address = sorted.index(moved, PlayerRow::Address).data().toString();

        QGuiApplication::clipboard()->clear();
        QSignalSpy said(m_main, &MainWindow::statusMessage);
        const QPoint point = view.visualRect(sorted.index(moved, PlayerRow::Name)).center();
        QTest::mousePress(view.viewport(), Qt::RightButton, {}, point);
        QTest::mouseRelease(view.viewport(), Qt::RightButton, {}, point);
        QVERIFY(playerMenu().isVisible());
        m_main->playerMenu().entry(QStringLiteral("copyipz"))->trigger();
        playerMenu().hide();

        QCOMPARE(QGuiApplication::clipboard()->text(), address);
        QCOMPARE(said.size(), 1);
        QVERIFY(said[0][0].toString().contains(address));
    }

    void toolsLabelOpensTheToolsMenu()
    {
        QTest::mouseClick(m_main->findChild<QLabel*>(QStringLiteral("Label97")), Qt::LeftButton);
        QVERIFY(m_main->toolsMenu().toolsz().isVisible());
        m_main->toolsMenu().toolsz().hide();
    }

    // What is said and logged is TestChatPage's table; here it reaches the server.
    void chatGoesOutAsSay()
    {
        m_main->showPage(MainWindow::Page::Chat);
        auto* input = m_main->findChild<QLineEdit*>(QStringLiteral("txtsay1"));
        input->clear();
        QTest::keyClicks(input, QStringLiteral(" hello "));
        QTest::keyClick(input, Qt::Key_Return);
        QVERIFY(m_peer->waitFor(2));
        QCOMPARE(m_peer->lastData(), m_fixture->request(QStringLiteral("say hello")));
    }
};

GARRISON_TEST_MAIN(TestPlayerActions)
#include "TestPlayerActions.moc"
