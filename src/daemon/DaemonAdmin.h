#pragma once

#include <QString>
#include <functional>

namespace garrison {

class CommandSender;
class DaemonRequests;
class Dialogs;

// Starting and stopping the game server and fetching its log, in a daemon session. Direct
// sessions are told that they need the daemon, except for stopping, which is a console command.
// In a daemon session the Admin page also shows the daemon's watch over the game server: its
// state, skipping the next daily restart, and restarting it now.
class DaemonAdmin {
public:
    DaemonAdmin(CommandSender& sender, Dialogs& dialogs, std::function<QString()> daemonFlag);

    // The link of the current daemon session; none outside one.
    void setRequests(DaemonRequests* requests) { m_requests = requests; }

    void startServer();
    void getLog();
    void stopServer();
    // The answer comes later, as a server state report. False outside a daemon session, without a
    // box: the page asks whenever it is shown.
    bool requestServerState();
    void skipRestart();
    // Asks first; the daemon warns the players before it restarts.
    void restartNow();

private:
    bool inDaemonMode() const;
    bool request(const QString& message);

    CommandSender& m_sender;
    Dialogs& m_dialogs;
    std::function<QString()> m_daemonFlag;
    DaemonRequests* m_requests = nullptr;
};

} // namespace garrison
