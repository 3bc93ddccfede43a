#pragma once

#include "daemon/DaemonRequests.h"
#include "login/LoginWindow.h"
#include "platform/AllocatorTrim.h"
#include "rcon/DaemonEcho.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

namespace garrison {

class Dialogs;
class LoginWindow;
class MainWindow;
class ServerListWindow;

// Owns the program's windows and carries values between them: the login window hands the
// session to the main window here, and the main window asks for the login window here.
class AppController : public QObject, public DaemonEcho, public DaemonRequests {
    Q_OBJECT

public:
    explicit AppController(std::unique_ptr<Dialogs> dialogs, QObject* parent = nullptr);
    ~AppController() override;

    // Shows the login window: the one of a daemon session that is still open, or a fresh one.
    LoginWindow& showLoginWindow();

    LoginWindow* loginWindow() const { return m_login; }
    // The one server list, opened from the login window and from the main window; logging in
    // from it goes through the login window.
    ServerListWindow& showServerList();
    MainWindow* mainWindow() const { return m_main.get(); }
    Dialogs& dialogs() { return *m_dialogs; }

    // What ending the program means; tests replace it to stay alive.
    void setQuit(std::function<void()> quit) { m_quit = std::move(quit); }

    // The main window's commands are echoed through the login window's daemon link, which
    // lives as long as the daemon session (the window is only hidden).
    void echoCommand(const QString& command) override;
    std::optional<Failure> sendRequest(const QString& message) override;
    void armLog() override;

private:
    MainWindow& ensureMainWindow();
    void startDirectSession(const QString& host, const QString& port, const QString& password);
    void startDaemonSession(const QString& level, const QString& daemonHost,
                            const QString& serverHost, const QString& serverPort);
    void endDaemonSession();
    void endProgram();
    // The first session of a run opens on the page shown last in the previous run.
    void restoreLastPageOnce();

    std::unique_ptr<Dialogs> m_dialogs;
    std::unique_ptr<MainWindow> m_main;
    std::unique_ptr<ServerListWindow> m_serverList;
    QPointer<LoginWindow> m_login;
    std::function<void()> m_quit;
    bool m_pageRestored = false;
    // A grant that came before the daemon's RCON password: the session starts when it arrives.
    struct Grant {
        QString level;
        QString daemonHost;
        QString serverHost;
        QString serverPort;
    };
    std::optional<Grant> m_grantAwaitingPassword;
    AllocatorTrim m_allocatorTrim;
};

} // namespace garrison
