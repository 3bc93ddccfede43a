#include "FakeDialogs.h"
#include "ProgramWindows.h"
#include "app/AppController.h"
#include "app/MainWindow.h"
#include "login/ConnectionProfiles.h"
#include "login/LoginWindow.h"
#include "platform/SettingsStore.h"
#include "players/GameColours.h"
#include "players/PlayerSortModel.h"
#include "rcon/PlayerGridModel.h"
#include "serverlist/SavedServers.h"
#include "serverlist/ServerListWindow.h"
#include "session/ServerSession.h"
#include "support/SimFixture.h"
#include "support/TestMain.h"
#include "support/UdpPeer.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableView>
#include <QTcpServer>

using namespace garrison;
using garrison::test::FakeDialogs;
using garrison::test::SimFixture;
using garrison::test::UdpPeer;

namespace {

constexpr int kWaitMs = 5000;
const QString kLocal = QStringLiteral("127.0.0.1");

QStringList column(const QTableView& view, int column)
{
    QStringList texts;
    for (int row = 0; row < view.model()->rowCount(); ++row) {
        texts.append(GameColours::shownText(view.model()->index(row, column).data().toString()));
    }
    return texts;
}

} // namespace

class TestServerListWindow : public QObject {
    Q_OBJECT

    SimFixture m_alpha{SimFixture::listedSettings("mp_dome", "dm", 3, "")};
    SimFixture m_red{SimFixture::listedSettings("mp_makin", "sd", 0, "letmein")};
    SimFixture m_charlie{SimFixture::listedSettings("mp_castle", "tdm", 12, "")};
    UdpPeer m_silent;
    FakeDialogs m_dialogs;
    std::unique_ptr<ServerListWindow> m_window;

    template <typename T> T* child(const char* name)
    {
        return m_window->findChild<T*>(QLatin1String(name));
    }
    QTableView& servers() { return *child<QTableView>("tblServers"); }
    int rowNamed(const QString& name) { return column(servers(), 0).indexOf(name); }
    void selectRow(const QString& name)
    {
        const int row = rowNamed(name);
        QVERIFY(row >= 0);
        servers().setCurrentIndex(servers().model()->index(row, 0));
    }
    // Every server has answered or been given up.
    void waitForTheRound()
    {
        QTRY_COMPARE_WITH_TIMEOUT(
            column(servers(), ServerListModel::State),
            (QStringList{"answering", "answering", "not answering", "answering"}), kWaitMs);
    }
    // Three profiles, one of them on a silent port, and one whose port is no port.
    void saveProfiles()
    {
        const auto save = [](int slot, const QString& port, const QString& name) {
            ProfileFields fields;
            fields.serverAddress = kLocal;
            fields.serverPort = port;
            ConnectionProfiles::save(slot, fields, name);
        };
        save(1, port(m_charlie), QStringLiteral("Charlie"));
        save(2, port(m_alpha), QStringLiteral("alpha"));
        save(3, QStringLiteral("28a"), QStringLiteral("Broken"));
        save(5, m_silent.portText(), QStringLiteral("Bravo"));
    }
    static QString port(const SimFixture& sim) { return QString::number(sim.port()); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_alpha.start() && m_red.start() && m_charlie.start());
        m_red.console().dvars().set(u"sv_hostname", QStringLiteral("^1Red^7Base"));
        m_charlie.console().dvars().set(u"sv_hostname", QStringLiteral("^2Green^7Keep"));
        saveProfiles();
    }
    void init()
    {
        SavedServers::saveAddedAddresses({{kLocal, m_red.port()}});
        m_dialogs = FakeDialogs();
        m_window = std::make_unique<ServerListWindow>(m_dialogs);
        m_window->model().query().setReplyTimeoutMs(300);
        m_window->show();
    }
    void cleanup() { m_window.reset(); }

    // Three servers that answer and one that does not: all four listed, the silent one said to
    // be so; the profile whose port is no port is named, not listed. The selected server's
    // players are shown below.
    void everyServerIsListed()
    {
        QCOMPARE(m_window->objectName(), QStringLiteral("ServerList"));
        // An address added for the server of a profile is that profile's row.
        SavedServers::saveAddedAddresses({{kLocal, m_red.port()}, {kLocal, m_alpha.port()}});
        m_window->reload();
        waitForTheRound();
        QCOMPARE(column(servers(), ServerListModel::Name),
                 (QStringList{"Charlie", "alpha", "Bravo", "RedBase"}));
        // The player grid's delegate draws the names: none of them is marked as just joined.
        for (int row = 0; row < servers().model()->rowCount(); ++row) {
            QVERIFY(!servers().model()->index(row, 0).data(PlayerSortModel::kJoinedRole).toBool());
        }
        QCOMPARE(column(servers(), ServerListModel::Players),
                 (QStringList{"12/24", "3/24", "", "0/24"}));
        QCOMPARE(column(servers(), ServerListModel::Password),
                 (QStringList{"no", "no", "", "yes"}));
        QTRY_VERIFY_WITH_TIMEOUT(
            child<QLabel>("lblStatus")->text().contains(u"4 servers, 3 answering"), kWaitMs);
        QVERIFY(child<QLabel>("lblStatus")->text().contains(u"Broken (port \"28a\")"));

        selectRow(QStringLiteral("Charlie"));
        auto* players = child<QTableView>("tblPlayers");
        QStringList expected;
        for (const PlayerRow& row : m_charlie.gridRows()) {
            expected.append(GameColours::shownText(row[PlayerRow::Name]));
        }
        QCOMPARE(column(*players, PlayerRow::Name), expected);

        // Paused, or hidden, the list asks nobody.
        ServerQuery& query = m_window->model().query();
        QVERIFY(query.isRunning());
        child<QPushButton>("btnPause")->click();
        QVERIFY(!query.isRunning());
        QVERIFY(child<QLabel>("lblStatus")->text().contains(u"paused"));
        child<QPushButton>("btnPause")->click();
        QVERIFY(query.isRunning());
        m_window->hide();
        QVERIFY(!query.isRunning());
    }

    // Double-click and Enter ask for a login: a profile by its slot, an added address by host
    // and port.
    void choosingARowAsksForTheLogin_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("profile, double-click") << "Charlie" << false;
        QTest::newRow("silent profile, Enter") << "Bravo" << true;
        QTest::newRow("added address, double-click") << "RedBase" << false;
    }
    void choosingARowAsksForTheLogin()
    {
        QFETCH(QString, name);
        QFETCH(bool, byEnter);
        waitForTheRound();
        QSignalSpy profile(m_window.get(), &ServerListWindow::profileLoginRequested);
        QSignalSpy address(m_window.get(), &ServerListWindow::addressLoginRequested);
        const QModelIndex index = servers().model()->index(rowNamed(name), 1);
        if (byEnter) {
            servers().setCurrentIndex(index);
            QTest::keyClick(&servers(), Qt::Key_Return);
        } else {
            // As the system delivers it: a click, then the second press as a double-click.
            const QPoint at = servers().visualRect(index).center();
            QTest::mouseClick(servers().viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(servers().viewport(), Qt::LeftButton, {}, at);
            QTest::mouseRelease(servers().viewport(), Qt::LeftButton, {}, at);
        }
        const QMap<QString, QVariantList> expected = {
            {"Charlie", {1}}, {"Bravo", {5}}, {"RedBase", {kLocal, port(m_red)}}};
        QCOMPARE(profile.size() + address.size(), 1);
        QCOMPARE((profile.isEmpty() ? address : profile).at(0), expected.value(name));
    }

    void sortAndFilter_data()
    {
        QTest::addColumn<int>("sortColumn");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("names");
        const QString none;
        QTest::newRow("name, letter case aside")
            << int(ServerListModel::Name) << false << none
            << QStringList{"alpha", "Bravo", "Charlie", "RedBase"};
        QTest::newRow("players, unknown last")
            << int(ServerListModel::Players) << false << none
            << QStringList{"RedBase", "alpha", "Charlie", "Bravo"};
        QTest::newRow("players descending, unknown still last")
            << int(ServerListModel::Players) << true << none
            << QStringList{"Charlie", "alpha", "RedBase", "Bravo"};
        QTest::newRow("filter by map") << -1 << false << "MP_D" << QStringList{"alpha"};
        QTest::newRow("filter by name, codes aside")
            << -1 << false << "redbase" << QStringList{"RedBase"};
        QTest::newRow("filter a profile by the server's own name")
            << -1 << false << "greenkeep" << QStringList{"Charlie"};
        QTest::newRow("filter by state") << -1 << false << "not answering" << QStringList{"Bravo"};
        QTest::newRow("filter matching nothing") << -1 << false << "zzz" << QStringList{};
    }
    void sortAndFilter()
    {
        QFETCH(int, sortColumn);
        QFETCH(bool, descending);
        QFETCH(QString, filter);
        QFETCH(QStringList, names);
        waitForTheRound();
        if (sortColumn >= 0) {
            servers().sortByColumn(sortColumn,
                                   descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        }
        QTest::keyClicks(child<QLineEdit>("txtFilter"), filter);
        QCOMPARE(column(servers(), ServerListModel::Name), names);
    }

    // What the user types is added and kept for later runs, or refused with the reason and
    // left in the field; a removed address goes back into the field.
    void addingAnAddress_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("listed"); // the new row's address; empty: refused
        QTest::addColumn<QString>("reason");
        QTest::newRow("host and port") << " 127.0.0.2:28961 "
                                       << "127.0.0.2:28961"
                                       << "";
        QTest::newRow("name without port") << "localhost"
                                           << "localhost:28960"
                                           << "";
        QTest::newRow("IPv6 in brackets") << "[::1]:28962"
                                          << "[::1]:28962"
                                          << "";
        QTest::newRow("bare IPv6") << "::1"
                                   << "[::1]:28960"
                                   << "";
        QTest::newRow("nothing") << ""
                                 << ""
                                 << "Type the server's address";
        QTest::newRow("port zero") << "127.0.0.2:0"
                                   << ""
                                   << "\"0\" is no port";
        QTest::newRow("port too big") << "127.0.0.2:65536"
                                      << ""
                                      << "\"65536\" is no port";
        QTest::newRow("port with letters") << "127.0.0.2:28a"
                                           << ""
                                           << "\"28a\" is no port";
        QTest::newRow("empty port") << "127.0.0.2:"
                                    << ""
                                    << "\"\" is no port";
        QTest::newRow("blank in the name") << "my server"
                                           << ""
                                           << "is no host name";
        QTest::newRow("two colons, no IPv6") << "a:1:2"
                                             << ""
                                             << "is no server address";
        QTest::newRow("bracket not closed") << "[::1:28960"
                                            << ""
                                            << "goes in brackets";
    }
    void addingAnAddress()
    {
        QFETCH(QString, typed);
        QFETCH(QString, listed);
        QFETCH(QString, reason);
        auto* field = child<QLineEdit>("txtAddress");
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
        const auto stored = [] {
            return SettingsStore::read(SavedServers::kSection, SavedServers::kAddressesKey);
        };
        const QString before = "127.0.0.1:" + port(m_red);
        if (listed.isEmpty()) {
            QCOMPARE(m_dialogs.calls.size(), 1);
            QVERIFY2(m_dialogs.calls[0].text.contains(reason), qPrintable(m_dialogs.calls[0].text));
            QCOMPARE(field->text(), typed);
            QCOMPARE(servers().model()->rowCount(), 4);
            QCOMPARE(stored(), before);
            return;
        }
        QVERIFY(m_dialogs.calls.isEmpty());
        QCOMPARE(column(servers(), ServerListModel::Address).value(4), listed);
        QCOMPARE(servers().currentIndex().row(), 4);
        QCOMPARE(stored(), before + ' ' + listed);
        // Typed again: listed once.
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(servers().model()->rowCount(), 5);

        // A later window lists it, and Delete takes it off again.
        m_window = std::make_unique<ServerListWindow>(m_dialogs);
        m_window->show();
        QCOMPARE(column(servers(), ServerListModel::Address).value(4), listed);
        servers().setCurrentIndex(servers().model()->index(4, 0));
        QTest::keyClick(&servers(), Qt::Key_Delete);
        QCOMPARE(servers().model()->rowCount(), 4);
        QCOMPARE(stored(), before);
        QCOMPARE(child<QLineEdit>("txtAddress")->text(), listed);
        // Saved profiles stay.
        servers().setCurrentIndex(servers().model()->index(0, 0));
        QTest::keyClick(&servers(), Qt::Key_Delete);
        QCOMPARE(servers().model()->rowCount(), 4);
    }

    // A daemon profile chosen in the list logs in through its daemon, never with the RCON
    // password left in it (an RCON profile's way is the login window's test).
    void daemonProfileLogsInThroughItsDaemon()
    {
        m_window.reset();
        QTcpServer daemon;
        QVERIFY(daemon.listen(QHostAddress::LocalHost));
        ProfileFields fields;
        fields.serverAddress = kLocal;
        fields.serverPort = port(m_alpha);
        fields.rconPassword = m_alpha.password();
        fields.relayPort = QStringLiteral("55555");
        fields.daemonAddress = kLocal;
        fields.daemonPort = QString::number(daemon.serverPort());
        fields.userName = QStringLiteral("alice");
        fields.password = QStringLiteral("alicepw");
        fields.level = QStringLiteral("admin");
        fields.loginType = ConnectionProfiles::kDaemonType;
        ConnectionProfiles::save(7, fields, QStringLiteral("Seven"));
        // Other tests list four servers.
        const auto forget = qScopeGuard([] {
            SettingsStore::write(QStringLiteral("[LOGIN7]"), QStringLiteral("IPAddress"), {});
        });
        AppController controller(std::make_unique<FakeDialogs>());
        controller.setQuit([] {});
        auto* table =
            controller.showServerList().findChild<QTableView*>(QStringLiteral("tblServers"));
        QTRY_VERIFY_WITH_TIMEOUT(column(*table, 0).contains(QStringLiteral("Seven")), kWaitMs);
        const QModelIndex index =
            table->model()->index(column(*table, 0).indexOf(QStringLiteral("Seven")), 0);
        const QPoint at = table->visualRect(index).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(table->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY_WITH_TIMEOUT(daemon.hasPendingConnections(), kWaitMs);
        QVERIFY(controller.loginWindow()->isDaemonMode());
        QVERIFY(controller.mainWindows().isEmpty());
    }

    // A server that stops answering keeps the players it last reported in the list, marked.
    void downServerKeepsItsPlayersMarked()
    {
        auto down =
            std::make_unique<SimFixture>(SimFixture::listedSettings("mp_dome", "dm", 3, ""));
        QVERIFY(down->start());
        down->console().dvars().set(u"sv_hostname", QStringLiteral("DownBase"));
        SavedServers::saveAddedAddresses({{kLocal, down->port()}});
        m_window->reload();
        QTRY_VERIFY_WITH_TIMEOUT(rowNamed(QStringLiteral("DownBase")) >= 0, kWaitMs);
        selectRow(QStringLiteral("DownBase"));
        auto* players = child<QTableView>("tblPlayers");
        QTRY_COMPARE_WITH_TIMEOUT(players->model()->rowCount(), 3, kWaitMs);
        const auto stale = [players] {
            return players->model()->index(0, 0).data(PlayerGridModel::kStaleRole).toBool();
        };
        QVERIFY(!stale());

        down.reset();
        const int row = rowNamed(QStringLiteral("DownBase"));
        QTRY_COMPARE_WITH_TIMEOUT(column(servers(), ServerListModel::State).value(row),
                                  QStringLiteral("not answering"), 3 * kWaitMs);
        QCOMPARE(players->model()->rowCount(), 3);
        QVERIFY(stale());
        QVERIFY(players->toolTip().startsWith(QStringLiteral("Not answering")));
    }

    // A profile saved while the list is open is listed at once.
    void savedProfileIsListedAtOnce()
    {
        m_window.reset();
        const auto forget = qScopeGuard([] {
            SettingsStore::write(QStringLiteral("[LOGIN8]"), QStringLiteral("IPAddress"), {});
        });
        auto dialogs = std::make_unique<FakeDialogs>();
        dialogs->texts.enqueue(QStringLiteral("Eight"));
        AppController controller(std::move(dialogs));
        controller.setQuit([] {});
        LoginWindow& login = controller.showLoginWindow();
        auto* table =
            controller.showServerList().findChild<QTableView*>(QStringLiteral("tblServers"));
        QVERIFY(!column(*table, 0).contains(QStringLiteral("Eight")));
        login.findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(kLocal);
        login.findChild<QLineEdit*>(QStringLiteral("Text5"))->setText(port(m_charlie));
        login.findChild<QAction*>(QStringLiteral("ss8"))->trigger();
        QVERIFY(column(*table, 0).contains(QStringLiteral("Eight")));
    }

    // The login window opens the one list from its button and its menu, and an added
    // address chosen there fills the login window's server and leaves the password to type.
    void theLoginWindowOpensTheListAndTakesItsChoice()
    {
        m_window.reset();
        AppController controller(std::make_unique<FakeDialogs>());
        controller.setQuit([] {});
        LoginWindow& login = controller.showLoginWindow();
        login.findChild<QLineEdit*>(QStringLiteral("Text6"))->setText(QStringLiteral("old"));
        login.findChild<QPushButton*>(QStringLiteral("cmdServerList"))->click();
        QWidget* list = test::visibleWindow("ServerList");
        QVERIFY(list);
        list->close();
        login.findChild<QAction*>(QStringLiteral("actServerList"))->trigger();
        QCOMPARE(test::visibleWindow("ServerList"), list);

        auto* table = list->findChild<QTableView*>(QStringLiteral("tblServers"));
        const int row =
            column(*table, ServerListModel::Address).indexOf("127.0.0.1:" + port(m_red));
        table->setCurrentIndex(table->model()->index(row, 0));
        QTest::keyClick(table, Qt::Key_Return);
        QCOMPARE(login.findChild<QLineEdit*>(QStringLiteral("Text4"))->text(), kLocal);
        QCOMPARE(login.findChild<QLineEdit*>(QStringLiteral("Text5"))->text(), port(m_red));
        auto* password = login.findChild<QLineEdit*>(QStringLiteral("Text6"));
        QVERIFY(password->text().isEmpty());
        QCOMPARE(login.focusWidget(), password);

        // Once that login window's session runs, the next choice opens a login window of its
        // own and leaves the running session alone.
        QVERIFY(controller.startDirectSession(kLocal, port(m_red), m_red.password()));
        QTest::keyClick(table, Qt::Key_Return);
        LoginWindow* next = controller.loginWindow();
        QVERIFY(next && next != &login && next->isVisible());
        QCOMPARE(next->findChild<QLineEdit*>(QStringLiteral("Text5"))->text(), port(m_red));
        QVERIFY(controller.mainWindows().constFirst()->session().rcon().isOpen());
    }
};

GARRISON_TEST_MAIN(TestServerListWindow)
#include "TestServerListWindow.moc"
