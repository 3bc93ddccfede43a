#pragma once

#include <QString>
#include <functional>

namespace garrison {

class CommandSender;
class DaemonRequests;
class Dialogs;

// Starting and stopping the game server and fetching its log, in a daemon session. Direct
// sessions are told that they need the daemon, except for stopping, which is a console command.
class DaemonAdmin {
public:
    DaemonAdmin(CommandSender& sender, Dialogs& dialogs, std::function<QString()> daemonFlag);

    // The link of the current daemon session; none outside one.
    void setRequests(DaemonRequests* requests) { m_requests = requests; }

    void startServer();
    void getLog();
    void stopServer();

private:
    bool inDaemonMode() const;
    bool request(const QString& message);

    CommandSender& m_sender;
    Dialogs& m_dialogs;
    std::function<QString()> m_daemonFlag;
    DaemonRequests* m_requests = nullptr;
};

} // namespace garrison
