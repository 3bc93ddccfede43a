#include "DaemonAdmin.h"

#include "daemon/DaemonRequests.h"
#include "platform/Dialogs.h"
#include "rcon/CommandSender.h"

namespace garrison {

namespace {
constexpr int kLinkLost = 40006;
} // namespace

DaemonAdmin::DaemonAdmin(CommandSender& sender, Dialogs& dialogs,
                         std::function<QString()> daemonFlag)
    : m_sender(sender), m_dialogs(dialogs), m_daemonFlag(std::move(daemonFlag))
{}

bool DaemonAdmin::inDaemonMode() const
{
    return m_daemonFlag() == QLatin1String("1");
}

bool DaemonAdmin::request(const QString& message)
{
    const std::optional<DaemonRequests::Failure> failure =
        m_requests ? m_requests->sendRequest(message)
                   : DaemonRequests::Failure{kLinkLost, QStringLiteral("There is no daemon link.")};
    if (!failure) {
        return true;
    }
    m_dialogs.message(QStringLiteral("Error: ") + failure->description,
                      QStringLiteral("Error nº ") + QString::number(failure->number),
                      BoxIcon::Critical);
    return false;
}

void DaemonAdmin::startServer()
{
    if (!inDaemonMode()) {
        m_dialogs.message(QStringLiteral("You need to be on Daemon mode to start server!"),
                          kProgramCaption, BoxIcon::Information);
        return;
    }
    if (request(QStringLiteral("startserver"))) {
        m_dialogs.message(QStringLiteral("Server should be starting up!"),
                          QStringLiteral("Start Server"), BoxIcon::None);
    }
}

void DaemonAdmin::getLog()
{
    if (!inDaemonMode()) {
        m_dialogs.message(QStringLiteral("You need to be on Daemon mode to get logs!"),
                          kProgramCaption, BoxIcon::Information);
        return;
    }
    if (m_requests) {
        m_requests->armLog();
    }
    if (request(QStringLiteral("getlog"))) {
        m_dialogs.message(QStringLiteral("Getting Log"), QStringLiteral("Log"), BoxIcon::None);
    }
}

void DaemonAdmin::stopServer()
{
    if (m_dialogs.message(QStringLiteral("Are you sure you want to CLOSE the server?"),
                          QStringLiteral("Close Server"), BoxIcon::None,
                          BoxButtons::YesNo) == BoxAnswer::Yes) {
        m_sender.Send(QStringLiteral("killserver"));
    }
}

bool DaemonAdmin::requestServerState()
{
    return inDaemonMode() && m_requests &&
           !m_requests->sendRequest(QStringLiteral("serverstate")).has_value();
}

void DaemonAdmin::skipRestart()
{
    if (inDaemonMode()) {
        request(QStringLiteral("skiprestart"));
    }
}

void DaemonAdmin::restartNow()
{
    if (!inDaemonMode()) {
        return;
    }
    if (m_dialogs.message(QStringLiteral("Restart the game server now? The daemon warns the "
                                         "players first."),
                          QStringLiteral("Restart now"), BoxIcon::Question,
                          BoxButtons::YesNo) == BoxAnswer::Yes) {
        request(QStringLiteral("restartnow"));
    }
}

} // namespace garrison
