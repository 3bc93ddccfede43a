// Takes the README's pictures of the real windows: the server list, the sorted player grid after
// a copy, the terminal with a recalled command, the settings page. Run it through
// scripts/screenshots, which picks the scale (QT_SCALE_FACTOR) and the palette.

#include "SimConsole.h"
#include "SimServer.h"
#include "app/AppController.h"
#include "app/MainWindow.h"
#include "app/launch.h"
#include "bans/BanListWindow.h"
#include "bans/BanSource.h"
#include "login/ConnectionProfiles.h"
#include "login/LoginWindow.h"
#include "platform/HostSystem.h"
#include "players/PlayerMenu.h"
#include "players/PlayerSortModel.h"
#include "players/PlayersPage.h"
#include "serverlist/SavedServers.h"
#include "serverlist/ServerListModel.h"
#include "serverlist/ServerListWindow.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <QTableView>
#include <QTextStream>
#include <QTimer>
#include <QToolButton>
#include <QUdpSocket>
#include <functional>

using namespace garrison;

namespace {

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

void settle(int ms)
{
    waitUntil([] { return false; }, ms);
}

void pressKey(QWidget* widget, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QCoreApplication::sendEvent(widget, &release);
}

// A dark desktop palette that, like many, leaves the link colour at its default blue.
QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x2A, 0x2E, 0x32));
    palette.setColor(QPalette::WindowText, QColor(0xEF, 0xF0, 0xF1));
    palette.setColor(QPalette::Base, QColor(0x1B, 0x1E, 0x20));
    palette.setColor(QPalette::AlternateBase, QColor(0x23, 0x26, 0x29));
    palette.setColor(QPalette::Text, QColor(0xEF, 0xF0, 0xF1));
    palette.setColor(QPalette::Button, QColor(0x31, 0x36, 0x3B));
    palette.setColor(QPalette::ButtonText, QColor(0xEF, 0xF0, 0xF1));
    palette.setColor(QPalette::ToolTipBase, QColor(0x31, 0x36, 0x3B));
    palette.setColor(QPalette::ToolTipText, QColor(0xEF, 0xF0, 0xF1));
    palette.setColor(QPalette::PlaceholderText, QColor(0x9A, 0x9E, 0xA2));
    palette.setColor(QPalette::Highlight, QColor(0x3D, 0xAE, 0xE9));
    palette.setColor(QPalette::HighlightedText, QColor(0xFC, 0xFC, 0xFC));
    palette.setColor(QPalette::Light, QColor(0x40, 0x45, 0x4A));
    palette.setColor(QPalette::Midlight, QColor(0x38, 0x3C, 0x41));
    palette.setColor(QPalette::Mid, QColor(0x20, 0x23, 0x26));
    palette.setColor(QPalette::Dark, QColor(0x18, 0x1A, 0x1C));
    palette.setColor(QPalette::Shadow, QColor(0x10, 0x11, 0x12));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6E, 0x71, 0x75));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6E, 0x71, 0x75));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x6E, 0x71, 0x75));
    return palette;
}

bool save(QWidget& window, const QString& path)
{
    settle(300);
    const bool saved = window.grab().save(path);
    QTextStream(stdout) << (saved ? "wrote " : "could not write ") << path << '\n';
    return saved;
}

} // namespace

int main(int argc, char* argv[])
{
    garrison::HostSystem::prepareDisplay();
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        QTextStream(stderr)
            << "usage: garrison-screenshots FOLDER SUFFIX [--dark] [--native-style]\n";
        return 2;
    }
    const QDir folder(arguments.at(1));
    const QString suffix = arguments.at(2);
    // The README's pictures look alike on every desktop; --native-style shows the system's own.
    if (!arguments.contains(QStringLiteral("--native-style"))) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    }
    if (arguments.contains(QStringLiteral("--dark"))) {
        QApplication::setPalette(darkPalette());
    }

    sim::SimSettings settings;
    settings.password = QStringLiteral("demo");
    settings.players = 10;
    settings.seed = 7;
    settings.tickMs = 0;
    sim::SimServer server(settings);
    const quint16 port = server.start();
    if (port == 0) {
        QTextStream(stderr) << "the simulator could not start\n";
        return 1;
    }

    server.console().reply(QStringLiteral("sv_hostname ^1Garrison ^7Demo"));

    AppController& controller = launch();
    LoginWindow& login = *controller.loginWindow();
    login.findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("127.0.0.1"));
    login.findChild<QLineEdit*>(QStringLiteral("Text5"))->setText(QString::number(port));
    login.findChild<QLineEdit*>(QStringLiteral("Text6"))->setText(settings.password);
    bool ok = save(login, folder.filePath(QStringLiteral("login-%1.png").arg(suffix)));

    // The server list, opened from the login window: the demo server and another saved as
    // profiles, a saved server that is down, and an added address.
    sim::SimSettings clanSettings = settings;
    clanSettings.map = QStringLiteral("mp_dome");
    clanSettings.gametype = QStringLiteral("sd");
    clanSettings.players = 16;
    clanSettings.joinPassword = QStringLiteral("clan");
    sim::SimServer clan(clanSettings);
    sim::SimSettings publicSettings = settings;
    publicSettings.map = QStringLiteral("mp_makin");
    publicSettings.gametype = QStringLiteral("dm");
    publicSettings.players = 22;
    sim::SimServer open(publicSettings);
    open.console().reply(QStringLiteral("sv_hostname ^3Sunny ^5Days ^7DM"));
    QUdpSocket down;
    const quint16 clanPort = clan.start(QHostAddress(QHostAddress::LocalHost), 0);
    const quint16 openPort = open.start(QHostAddress(QHostAddress::LocalHost), 0);
    if (clanPort == 0 || openPort == 0 || !down.bind(QHostAddress::LocalHost, 0)) {
        QTextStream(stderr) << "the server list's servers could not start\n";
        return 1;
    }
    const auto saveProfile = [](int slot, quint16 serverPort, const QString& name) {
        ProfileFields fields;
        fields.serverAddress = QStringLiteral("127.0.0.1");
        fields.serverPort = QString::number(serverPort);
        ConnectionProfiles::save(slot, fields, name);
    };
    saveProfile(1, port, QStringLiteral("Demo server"));
    saveProfile(2, clanPort, QStringLiteral("Clan war (passworded)"));
    saveProfile(3, down.localPort(), QStringLiteral("Old box"));
    SavedServers::saveAddedAddresses({{QStringLiteral("127.0.0.1"), openPort}});
    login.findChild<QPushButton*>(QStringLiteral("cmdServerList"))->click();
    ServerListWindow& list = controller.showServerList();
    list.model().query().setReplyTimeoutMs(1000);
    list.resize(900, 440);
    const auto settled = [&] {
        for (int row = 0; row < list.model().rowCount(); ++row) {
            if (list.model().server(row).state == QueriedServer::State::Asking) {
                return false;
            }
        }
        return list.model().rowCount() == 4;
    };
    if (!waitUntil(settled, 10000)) {
        QTextStream(stderr) << "the server list did not fill\n";
        return 1;
    }
    auto* servers = list.findChild<QTableView*>(QStringLiteral("tblServers"));
    servers->setCurrentIndex(servers->model()->index(1, 0));
    servers->setFocus();
    ok = save(list, folder.filePath(QStringLiteral("serverlist-%1.png").arg(suffix))) && ok;
    list.close();

    // A dialog: the name asked for a new profile, taken while it is open, then cancelled.
    QTimer::singleShot(500, [&] {
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ok = save(*box, folder.filePath(QStringLiteral("dialog-%1.png").arg(suffix))) && ok;
            box->reject();
        }
    });
    login.findChild<QAction*>(QStringLiteral("ss9"))->trigger();
    login.findChild<QPushButton*>(QStringLiteral("Command1"))->click();

    MainWindow& main = *controller.mainWindow();
    main.resize(900, 520);
    main.showPage(MainWindow::Page::Players);
    auto* host = main.findChild<QLabel*>(QStringLiteral("Label6"));
    if (!waitUntil([&] { return host->text() != QLatin1String("loading..."); }, 10000)) {
        QTextStream(stderr) << "no answer from the simulator\n";
        return 1;
    }

    QTableView& grid = main.playersPage().grid();
    grid.sortByColumn(2, Qt::AscendingOrder);
    const PlayerSortModel& sorted = main.playersPage().sortModel();
    grid.setCurrentIndex(sorted.index(1, 0));
    main.playerMenu().entry(QStringLiteral("copyipz"))->trigger();
    ok = save(main, folder.filePath(QStringLiteral("players-%1.png").arg(suffix))) && ok;

    main.findChild<QToolButton*>(QStringLiteral("Image10"))->click();
    auto* commandLine = main.findChild<QLineEdit*>(QStringLiteral("Text7"));
    for (const QString& command : {QStringLiteral("sv_hostname"), QStringLiteral("g_gametype"),
                                   QStringLiteral("sv_maxclients")}) {
        commandLine->setText(command);
        pressKey(commandLine, Qt::Key_Return);
        settle(400);
    }
    commandLine->clear();
    pressKey(commandLine, Qt::Key_Up);
    pressKey(commandLine, Qt::Key_Up);
    commandLine->setFocus();
    ok = save(main, folder.filePath(QStringLiteral("terminal-%1.png").arg(suffix))) && ok;

    main.findChild<QToolButton*>(QStringLiteral("Image7"))->click();
    // The server's values beside the fields, read one after the other.
    auto* lastValue = main.findChild<QLabel*>(QStringLiteral("now_scr_teambalance"));
    waitUntil([&] { return !lastValue->text().isEmpty(); }, 15000);
    main.Send(QStringLiteral("sv_voice"));
    settle(600);
    ok = save(main, folder.filePath(QStringLiteral("settings-%1.png").arg(suffix))) && ok;

    // The ban list: bans of this session's history, a timed one, a range, one lifted.
    if (BanSource* source = main.banSource()) {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const auto ban = [&](const QString& name, const QString& guid, const QString& address,
                             const QString& reason, std::optional<QDateTime> until) {
            BanRecord record;
            record.names = QStringList{name};
            record.guid = guid;
            BanRecord::parseAddress(address, &record.address, &record.prefixLength);
            record.reason = reason;
            record.until = until;
            record.issuedBy = QStringLiteral("rcon");
            record.issuedAt = now;
            source->add(record);
            settle(150);
        };
        ban(QStringLiteral("^1Wall^7Hacker"), QStringLiteral("0123456789abcdef0123456789abcdef"),
            {}, QStringLiteral("Wallhack"), std::nullopt);
        ban(QStringLiteral("Spawn^3Camper"), QStringLiteral("3141592"), {},
            QStringLiteral("Spawn camping, after two warnings"), now.addDays(7));
        ban(QStringLiteral("Flooder"), {}, QStringLiteral("100.64.12.0/24"),
            QStringLiteral("Chat flood from a whole range"), now.addDays(1));
        main.openBanList();
        main.banList().resize(1000, 360);
        ok = save(main.banList(), folder.filePath(QStringLiteral("banlist-%1.png").arg(suffix))) &&
             ok;
    }

    // Not through the exit button: that ends every relay process on the machine.
    return ok ? 0 : 1;
}
