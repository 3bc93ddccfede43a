#include "AppController.h"

#include "app/MainWindow.h"
#include "app/ReaderWindow.h"
#include "app/UconSetup.h"
#include "bans/DaemonBanSource.h"
#include "daemon/DaemonRequests.h"
#include "history/History.h"
#include "login/LoginWindow.h"
#include "platform/Dialogs.h"
#include "platform/ProcessControl.h"
#include "rcon/DaemonEcho.h"
#include "serverlist/ServerListWindow.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <optional>

namespace garrison {

// One main window and the login window that serves it. A daemon session's commands are echoed
// through its own login window's daemon link, which lives as long as that session (the window
// is only hidden).
struct AppController::Seat final : DaemonEcho, DaemonRequests {
    std::unique_ptr<MainWindow> main;
    QPointer<LoginWindow> login;
    // A grant that came before the daemon's RCON password, or before its word on where the game
    // server is: the session starts when they are in.
    struct Grant {
        QString level;
        QString daemonHost;
        QString serverHost;
        QString serverPort;
    };
    std::optional<Grant> grantAwaiting;
    bool pageRestored = false;

    // Shows a window: the program goes on while one does.
    bool showsWindow() const
    {
        return (main && main->isVisible()) || (login && login->isVisible());
    }
    // Its main window has no session running: a login may fill it.
    bool waiting() const { return !main || !main->session().rcon().isOpen(); }

    void echoCommand(const QString& command) override
    {
        if (login) {
            login->daemonLink().echoCommand(command);
        }
    }
    std::optional<Failure> sendRequest(const QString& message) override
    {
        if (!login) {
            return Failure{DaemonLink::kLinkLost, QStringLiteral("There is no daemon link.")};
        }
        return login->daemonLink().sendRequest(message);
    }
    void armLog() override
    {
        if (login) {
            login->daemonLink().armLog();
        }
    }
};

AppController::AppController(std::unique_ptr<Dialogs> dialogs, QObject* parent)
    : QObject(parent), m_dialogs(std::move(dialogs)), m_quit([] { QCoreApplication::quit(); })
{
    connect(&m_termination, &TerminationWatcher::terminationRequested, this,
            &AppController::endProgram);
}

AppController::~AppController()
{
    for (const std::unique_ptr<Seat>& seat : m_seats) {
        delete seat->login.data();
    }
}

LoginWindow* AppController::loginWindow() const
{
    return m_current ? m_current->login.data() : nullptr;
}

MainWindow* AppController::mainWindow() const
{
    return m_current ? m_current->main.get() : nullptr;
}

QList<MainWindow*> AppController::mainWindows() const
{
    QList<MainWindow*> windows;
    for (const std::unique_ptr<Seat>& seat : m_seats) {
        if (seat->main) {
            windows.append(seat->main.get());
        }
    }
    return windows;
}

AppController::Seat& AppController::newSeat()
{
    m_seats.push_back(std::make_unique<Seat>());
    return *m_seats.back();
}

AppController::Seat* AppController::seatOf(const MainWindow* main) const
{
    for (const std::unique_ptr<Seat>& seat : m_seats) {
        if (seat->main.get() == main) {
            return seat.get();
        }
    }
    return nullptr;
}

LoginWindow& AppController::showLoginWindow()
{
    return showLoginFor(m_current ? *m_current : newSeat());
}

LoginWindow& AppController::showNewLogin()
{
    // A login window already open for a new window is brought forward rather than doubled.
    const auto unused = std::find_if(m_seats.begin(), m_seats.end(),
                                     [](const std::unique_ptr<Seat>& seat) { return !seat->main; });
    return showLoginFor(unused != m_seats.end() ? **unused : newSeat());
}

LoginWindow& AppController::showLoginFor(Seat& seat)
{
    m_current = &seat;
    if (!seat.login) {
        auto* login = new LoginWindow(*m_dialogs);
        seat.login = login;
        login->setAttribute(Qt::WA_DeleteOnClose);
        Seat* const at = &seat;
        connect(login, &LoginWindow::uconIdentityPrepared, this,
                [this, at](const UconIdentity& identity) {
                    ensureMainWindow(*at).keepUconIdentity(identity);
                });
        connect(login, &LoginWindow::directLoginRequested, this,
                [this, at](const QString& host, const QString& port, const QString& password) {
                    startDirectSession(*at, host, port, password);
                });
        connect(login, &LoginWindow::quitRequested, this, [this, at] { leave(*at); });
        connect(login, &LoginWindow::serverListRequested, this, [this] { showServerList(); });
        // An open list shows a profile as soon as it is saved.
        connect(login, &LoginWindow::profileSaved, this, [this] {
            if (m_serverList && m_serverList->isVisible()) {
                m_serverList->reload();
            }
        });
        connect(login, &LoginWindow::daemonAccessGranted, this,
                [this, at](const QString& level, const QString& daemonHost, const QString& host,
                           const QString& port) {
                    startDaemonSession(*at, level, daemonHost, host, port);
                });
        connect(login, &LoginWindow::rconPasswordArrived, this,
                [this, at](const QString& password) {
                    ensureMainWindow(*at).setRconPassword(password);
                    resumeGrant(*at);
                });
        connect(&login->daemonLink(), &DaemonLink::serverAddressSettled, this,
                [this, at] { resumeGrant(*at); });
        connect(login, &LoginWindow::daemonLogArrived, this,
                [this, at](const QString& log) { ensureMainWindow(*at).reader().showText(log); });
        connect(login, &LoginWindow::daemonLinkLost, this, [this, at] { endDaemonSession(*at); });
        connect(
            &login->daemonLink(), &DaemonLink::serverStateReceived, this,
            [this, at](const QString& report) { ensureMainWindow(*at).showServerState(report); });
        // A new login's grant replaces one that was still waiting for its password.
        connect(&login->daemonLink(), &DaemonLink::loginSent, this,
                [at] { at->grantAwaiting.reset(); });
    }
    seat.login->show();
    seat.login->raise();
    seat.login->activateWindow();
    return *seat.login;
}

MainWindow& AppController::ensureMainWindow(Seat& seat)
{
    if (!seat.main) {
        if (!m_history) {
            m_history = std::make_shared<History>();
            m_history->openFromSettings();
        }
        seat.main = std::make_unique<MainWindow>(*m_dialogs, m_history);
        MainWindow* const main = seat.main.get();
        connect(main, &MainWindow::serverListRequested, this, [this] { showServerList(); });
        connect(main, &MainWindow::loginWindowRequested, this, [this, main] {
            if (Seat* seat = seatOf(main)) {
                showLoginFor(*seat);
            }
        });
        connect(main, &MainWindow::newLoginRequested, this, [this] { showNewLogin(); });
        connect(main, &MainWindow::exitRequested, this, [this, main] {
            if (Seat* seat = seatOf(main)) {
                leave(*seat);
            }
        });
        main->session().rcon().setDaemonEcho(&seat);
        main->setDaemonRequests(&seat);
    }
    return *seat.main;
}

bool AppController::startDirectSession(const QString& host, const QString& port,
                                       const QString& password)
{
    Seat* seat = m_current && m_current->waiting() ? m_current : nullptr;
    if (!seat) {
        const auto waiting =
            std::find_if(m_seats.begin(), m_seats.end(),
                         [](const std::unique_ptr<Seat>& each) { return each->waiting(); });
        seat = waiting != m_seats.end() ? waiting->get() : &newSeat();
    }
    return startDirectSession(*seat, host, port, password);
}

bool AppController::startDirectSession(Seat& seat, const QString& host, const QString& port,
                                       const QString& password)
{
    m_current = &seat;
    MainWindow& main = ensureMainWindow(seat);
    main.takeLoginValues(host, port, password);
    main.IdentDaemon(QStringLiteral("0"));
    // A failed Connect has shown its error and the login window: the user corrects the fields
    // there, so neither window changes further.
    if (!main.Connect()) {
        return false;
    }
    main.show();
    if (seat.login) {
        seat.login->close();
    }
    restoreLastPageOnce(seat);
    return true;
}

void AppController::startDaemonSession(Seat& seat, const QString& level, const QString& daemonHost,
                                       const QString& serverHost, const QString& serverPort)
{
    // Only the password this link's daemon handed out will do: one kept from an earlier
    // session may belong to another server.
    const std::optional<QString> password =
        seat.login ? seat.login->daemonLink().rconPassword() : std::nullopt;
    const bool serverMissing = serverHost.isEmpty() || serverPort.isEmpty();
    if (!password ||
        (serverMissing && seat.login && seat.login->daemonLink().serverAddressPending())) {
        seat.grantAwaiting = Seat::Grant{level, daemonHost, serverHost, serverPort};
        return;
    }
    m_current = &seat;
    MainWindow& main = ensureMainWindow(seat);
    main.setRconPassword(*password);
    // The login window has what the daemon told of its game server where the user typed nothing.
    main.takeDaemonGrant(level, daemonHost,
                         serverHost.isEmpty() && seat.login ? seat.login->serverHost() : serverHost,
                         serverPort.isEmpty() && seat.login ? seat.login->serverPort()
                                                            : serverPort);
    main.setDaemonUser(seat.login ? seat.login->userName() : QString());
    // The bans of a daemon session are the daemon's, asked for over the login window's link;
    // the source lives as long as that window.
    if (seat.login) {
        auto* bans = seat.login->findChild<DaemonBanSource*>(QString(), Qt::FindDirectChildrenOnly);
        if (bans == nullptr) {
            bans = new DaemonBanSource(seat.login->daemonLink(), seat.login);
        }
        main.setDaemonBanSource(bans);
    }
    main.IdentDaemon(QStringLiteral("1"));
    if (!main.Connect()) {
        return;
    }
    main.show();
    if (seat.login) {
        seat.login->hide();
        DaemonLink& link = seat.login->daemonLink();
        connect(&link, &DaemonLink::eventReceived, &main.session(), &ServerSession::takeGameEvent,
                Qt::UniqueConnection);
        link.requestEvents();
    }
    restoreLastPageOnce(seat);
}

void AppController::resumeGrant(Seat& seat)
{
    if (const std::optional<Seat::Grant> grant = std::exchange(seat.grantAwaiting, {})) {
        startDaemonSession(seat, grant->level, grant->daemonHost, grant->serverHost,
                           grant->serverPort);
    }
}

void AppController::restoreLastPageOnce(Seat& seat)
{
    if (std::exchange(seat.pageRestored, true)) {
        return;
    }
    // After the login has unwound: the chat page's first visit waits between its steps.
    QTimer::singleShot(0, seat.main.get(), [main = seat.main.get()] { main->restoreLastPage(); });
}

void AppController::endDaemonSession(Seat& seat)
{
    seat.grantAwaiting.reset();
    if (seat.main) {
        seat.main->Disconnect();
    }
    // Both windows would otherwise be hidden, leaving the user with nothing on screen.
    showLoginFor(seat);
}

void AppController::leave(Seat& seat)
{
    const bool others =
        std::any_of(m_seats.begin(), m_seats.end(), [&seat](const std::unique_ptr<Seat>& each) {
            return each.get() != &seat && each->showsWindow();
        });
    if (!others) {
        endProgram();
        return;
    }
    if (seat.main) {
        seat.main->uconSetup().endRelay();
    }
    removeSeat(seat);
}

void AppController::removeSeat(Seat& seat)
{
    if (m_current == &seat) {
        m_current = nullptr;
    }
    const auto at =
        std::find_if(m_seats.begin(), m_seats.end(),
                     [&seat](const std::unique_ptr<Seat>& each) { return each.get() == &seat; });
    std::unique_ptr<Seat> gone = std::move(*at);
    m_seats.erase(at);
    // Either window may be inside its own handler: both go once it has returned.
    if (gone->login) {
        gone->login->hide();
        gone->login->deleteLater();
    }
    if (gone->main) {
        // Nothing it may still send goes through the daemon link of a pair that is gone.
        gone->main->session().rcon().cancelDeferral();
        gone->main->session().rcon().setDaemonEcho(nullptr);
        gone->main->setDaemonRequests(nullptr);
        gone->main->hide();
        gone->main.release()->deleteLater();
    }
}

ServerListWindow& AppController::showServerList()
{
    if (!m_serverList) {
        m_serverList = std::make_unique<ServerListWindow>(*m_dialogs);
        // A login from the list goes to the login window waiting for a session; while every
        // window has a server, to a new one.
        const auto loginWindow = [this]() -> LoginWindow& {
            return m_current && m_current->waiting() ? showLoginWindow() : showNewLogin();
        };
        connect(m_serverList.get(), &ServerListWindow::profileLoginRequested, this,
                [loginWindow](int slot) { loginWindow().loginWithProfile(slot); });
        connect(m_serverList.get(), &ServerListWindow::addressLoginRequested, this,
                [loginWindow](const QString& host, const QString& port) {
                    loginWindow().fillServer(host, port);
                });
    }
    m_serverList->show();
    m_serverList->raise();
    m_serverList->activateWindow();
    return *m_serverList;
}

void AppController::endProgram()
{
    if (!mainWindows().isEmpty()) {
        ProcessControl::KillProcessByName(QStringLiteral("pbucon.exe"));
    }
    m_quit();
}

} // namespace garrison
