#include "AppController.h"

#include "app/MainWindow.h"
#include "login/LoginWindow.h"
#include "platform/Dialogs.h"
#include "platform/ProcessControl.h"

#include <QApplication>

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
}

void AppController::endProgram()
{
    if (m_main) {
        ProcessControl::KillProcessByName(QStringLiteral("pbucon.exe"));
    }
    m_quit();
}

} // namespace garrison
