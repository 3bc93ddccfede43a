#include "AppController.h"

#include "app/MainWindow.h"
#include "app/ReaderWindow.h"
#include "login/LoginWindow.h"
#include "platform/Dialogs.h"
#include "platform/ProcessControl.h"

#include <QApplication>
#include <QTimer>

namespace garrison {

AppController::AppController(std::unique_ptr<Dialogs> dialogs, QObject* parent)
    : QObject(parent), m_dialogs(std::move(dialogs)), m_quit([] { QCoreApplication::quit(); })
{}

AppController::~AppController()
{
    delete m_login.data();
}

LoginWindow& AppController::showLoginWindow()
{
    if (!m_login) {
        m_login = new LoginWindow(*m_dialogs);
        m_login->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_login, &LoginWindow::uconIdentityPrepared, this,
                [this](const UconIdentity& identity) {
                    ensureMainWindow().keepUconIdentity(identity);
                });
        connect(m_login, &LoginWindow::directLoginRequested, this,
                &AppController::startDirectSession);
        connect(m_login, &LoginWindow::quitRequested, this, &AppController::endProgram);
        connect(m_login, &LoginWindow::daemonAccessGranted, this,
                &AppController::startDaemonSession);
        connect(m_login, &LoginWindow::rconPasswordArrived, this, [this](const QString& password) {
            ensureMainWindow().setRconPassword(password);
            if (const std::optional<Grant> grant = std::exchange(m_grantAwaitingPassword, {})) {
                startDaemonSession(grant->level, grant->daemonHost, grant->serverHost,
                                   grant->serverPort);
            }
        });
        connect(m_login, &LoginWindow::daemonLogArrived, this,
                [this](const QString& log) { ensureMainWindow().reader().showText(log); });
        connect(m_login, &LoginWindow::daemonLinkLost, this, &AppController::endDaemonSession);
        connect(&m_login->daemonLink(), &DaemonLink::serverStateReceived, this,
                [this](const QString& report) { ensureMainWindow().showServerState(report); });
        // A new login's grant replaces one that was still waiting for its password.
        connect(&m_login->daemonLink(), &DaemonLink::loginSent, this,
                [this] { m_grantAwaitingPassword.reset(); });
    }
    m_login->show();
    m_login->raise();
    m_login->activateWindow();
    return *m_login;
}

MainWindow& AppController::ensureMainWindow()
{
    if (!m_main) {
        m_main = std::make_unique<MainWindow>(*m_dialogs);
        connect(m_main.get(), &MainWindow::loginWindowRequested, this,
                [this] { showLoginWindow(); });
        connect(m_main.get(), &MainWindow::exitRequested, this, &AppController::endProgram);
        m_main->rcon().setDaemonEcho(this);
        m_main->setDaemonRequests(this);
    }
    return *m_main;
}

void AppController::startDirectSession(const QString& host, const QString& port,
                                       const QString& password)
{
    MainWindow& main = ensureMainWindow();
    main.takeLoginValues(host, port, password);
    main.IdentDaemon(QStringLiteral("0"));
    // A failed Connect has shown its error and the login window: the user corrects the fields
    // there, so neither window changes further.
    if (!main.Connect()) {
        return;
    }
    main.show();
    if (m_login) {
        m_login->close();
    }
    restoreLastPageOnce();
}

void AppController::startDaemonSession(const QString& level, const QString& daemonHost,
                                       const QString& serverHost, const QString& serverPort)
{
    // Only the password this link's daemon handed out will do: one kept from an earlier
    // session may belong to another server.
    const std::optional<QString> password =
        m_login ? m_login->daemonLink().rconPassword() : std::nullopt;
    if (!password) {
        m_grantAwaitingPassword = Grant{level, daemonHost, serverHost, serverPort};
        return;
    }
    MainWindow& main = ensureMainWindow();
    main.setRconPassword(*password);
    main.takeDaemonGrant(level, daemonHost, serverHost, serverPort);
    main.setDaemonUser(m_login ? m_login->userName() : QString());
    main.IdentDaemon(QStringLiteral("1"));
    if (!main.Connect()) {
        return;
    }
    main.show();
    if (m_login) {
        m_login->hide();
    }
    restoreLastPageOnce();
}

void AppController::restoreLastPageOnce()
{
    if (m_pageRestored) {
        return;
    }
    m_pageRestored = true;
    // After the login has unwound: the chat page's first visit waits between its steps.
    QTimer::singleShot(0, m_main.get(), [main = m_main.get()] { main->restoreLastPage(); });
}

void AppController::endDaemonSession()
{
    m_grantAwaitingPassword.reset();
    if (m_main) {
        m_main->Disconnect();
    }
    // Both windows would otherwise be hidden, leaving the user with nothing on screen.
    showLoginWindow();
}

void AppController::echoCommand(const QString& command)
{
    if (m_login) {
        m_login->daemonLink().echoCommand(command);
    }
}

std::optional<DaemonRequests::Failure> AppController::sendRequest(const QString& message)
{
    if (!m_login) {
        return Failure{DaemonLink::kLinkLost, QStringLiteral("There is no daemon link.")};
    }
    return m_login->daemonLink().sendRequest(message);
}

void AppController::armLog()
{
    if (m_login) {
        m_login->daemonLink().armLog();
    }
}

void AppController::endProgram()
{
    if (m_main) {
        ProcessControl::KillProcessByName(QStringLiteral("pbucon.exe"));
    }
    m_quit();
}

} // namespace garrison
