#pragma once

#include "login/LoginWindow.h"
#include "platform/AllocatorTrim.h"
#include "platform/TerminationWatcher.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

namespace garrison {

class Dialogs;
class History;
class LoginWindow;
class MainWindow;
class ServerListWindow;

// Owns the program's windows and carries values between them. Each main window administers one
// server and is served by one login window: the login window hands the session to its main
// window here, and the main window asks for its login window here. Several pairs may be open
// at once; the program ends with the last of their windows, or when the system asks it to end.
class AppController : public QObject {
    Q_OBJECT

public:
    explicit AppController(std::unique_ptr<Dialogs> dialogs, QObject* parent = nullptr);
    ~AppController() override;

    // Shows the login window of the pair last in use: the one of a daemon session that is still
    // open, or a fresh one.
    LoginWindow& showLoginWindow();
    // Shows a login window for a session in a new main window.
    LoginWindow& showNewLogin();

    // The login window and the main window of the pair last in use; null while it has none.
    LoginWindow* loginWindow() const;
    MainWindow* mainWindow() const;
    // Every main window, in the order they were opened.
    QList<MainWindow*> mainWindows() const;
    // The one server list, opened from the login windows and the main windows; logging in from
    // it goes through a login window: the one waiting for a session, or a new one.
    ServerListWindow& showServerList();
    Dialogs& dialogs() { return *m_dialogs; }

    // A direct session with the server at host:port: in the main window that waits for a
    // session (its own was logged out or never began), else in a new one. False when it could
    // not start; the error has been shown.
    bool startDirectSession(const QString& host, const QString& port, const QString& password);

    // What ending the program means; tests replace it to stay alive.
    void setQuit(std::function<void()> quit) { m_quit = std::move(quit); }

private:
    struct Seat;

    Seat& newSeat();
    Seat* seatOf(const MainWindow* main) const;
    LoginWindow& showLoginFor(Seat& seat);
    MainWindow& ensureMainWindow(Seat& seat);
    bool startDirectSession(Seat& seat, const QString& host, const QString& port,
                            const QString& password);
    void startDaemonSession(Seat& seat, const QString& level, const QString& daemonHost,
                            const QString& serverHost, const QString& serverPort);
    // A grant that waited goes on once what it waited for is in.
    void resumeGrant(Seat& seat);
    void endDaemonSession(Seat& seat);
    // The main window's exit or its close, or the login window's Quit: the program ends with the
    // last pair that shows a window; before that only this pair goes.
    void leave(Seat& seat);
    void removeSeat(Seat& seat);
    void endProgram();
    // A main window's first session opens on the page shown last.
    void restoreLastPageOnce(Seat& seat);

    std::unique_ptr<Dialogs> m_dialogs;
    std::shared_ptr<History> m_history;
    std::vector<std::unique_ptr<Seat>> m_seats;
    Seat* m_current = nullptr;
    std::unique_ptr<ServerListWindow> m_serverList;
    std::function<void()> m_quit;
    AllocatorTrim m_allocatorTrim;
    // SIGTERM and the like end the program as the last window's Exit does.
    TerminationWatcher m_termination;
};

} // namespace garrison
