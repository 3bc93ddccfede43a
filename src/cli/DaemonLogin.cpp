#include "DaemonLogin.h"

#include "cli/CommandLine.h"
#include "login/DaemonPins.h"

#include <QEventLoop>
#include <QTimer>

namespace garrison::cli {

namespace {
constexpr int kWinsockHostNotFound = 11001;
} // namespace

DaemonLogin::Result DaemonLogin::logIn(const Account& account, int timeoutMs,
                                       const TrustQuestion& askTrust)
{
    m_account = account;
    m_link.setCredentialsSource([this] {
        return DaemonLink::Credentials{m_account.user, m_account.password, m_account.level};
    });
    const QString where = account.host + QLatin1Char(':') + account.port;
    Result result;
    QEventLoop loop;
    const auto finish = [&](Result finished) {
        result = std::move(finished);
        loop.quit();
    };
    QObject context;
    QObject::connect(&m_link, &DaemonLink::rconPasswordReceived, &context,
                     [&](const QString& password) {
                         // The daemon notifies people's logins, not every scripted call; an
                         // older daemon records this as an unknown message. The password's
                         // request is answered, so the two cannot run together.
                         m_link.send(QStringLiteral("client garrison-rcon"));
                         finish({password, {}, kReplyReceived});
                     });
    QObject::connect(&m_link, &DaemonLink::refused, &context, [&](const QString& reason) {
        finish({std::nullopt,
                QStringLiteral("the daemon at %1 refuses the login of %2 as %3: %4")
                    .arg(where, account.user, account.level, reason),
                kBadPassword});
    });
    QObject::connect(
        &m_link, &DaemonLink::linkFailed, &context, [&](int number, const QString& description) {
            finish({std::nullopt, QStringLiteral("daemon at %1: %2").arg(where, description),
                    number == kWinsockHostNotFound ? kHostNotFound : kNoAnswer});
        });
    QObject::connect(&m_link, &DaemonLink::linkLost, &context, [&] {
        finish({std::nullopt, QStringLiteral("the daemon at %1 closed the link").arg(where),
                kNoAnswer});
    });
    QObject::connect(
        &m_link, &DaemonLink::certificateUntrusted, &context,
        [&](const QString& presented, const QString& pinned) {
            if (pinned.isEmpty() && askTrust && askTrust(presented)) {
                DaemonPins::pin(account.store, account.slot, account.host, account.port, presented);
                m_link.login(account.host, account.port, presented);
                return;
            }
            finish({std::nullopt,
                    pinned.isEmpty()
                        ? QStringLiteral(
                              "the daemon at %1 shows a certificate not trusted yet, SHA-256 %2. "
                              "Compare it with what \"garrisond --show-fingerprint\" prints on the "
                              "server; then trust it by running garrison-rcon on a terminal, or "
                              "by logging in once with GARRISON")
                              .arg(where, presented)
                        : QStringLiteral(
                              "the daemon at %1 shows another certificate than the trusted one, "
                              "so garrison-rcon did not log in (someone may be posing as the "
                              "daemon). Trusted: SHA-256 %2; shown now: SHA-256 %3. If its "
                              "administrator made a new one, choose \"Forget the Daemon's "
                              "Certificate\" in GARRISON's login window and log in once there")
                              .arg(where, pinned, presented),
                    kUntrustedDaemon});
        });
    QTimer::singleShot(timeoutMs, &context, [&] {
        finish({std::nullopt,
                QStringLiteral("the daemon at %1 did not grant the login within %2 s")
                    .arg(where)
                    .arg(timeoutMs / 1000.0),
                kNoAnswer});
    });
    m_link.login(account.host, account.port,
                 DaemonPins::pinned(account.store, account.slot, account.host, account.port));
    loop.exec();
    if (!result.rconPassword) {
        m_link.close();
    }
    return result;
}

void DaemonLogin::echo(const QString& command)
{
    if (m_link.isConnected()) {
        m_link.echoCommand(command);
    }
}

void DaemonLogin::close(int timeoutMs)
{
    QSslSocket& socket = m_link.Winsock1();
    if (socket.state() == QAbstractSocket::UnconnectedState) {
        return;
    }
    QEventLoop loop;
    QObject::connect(&socket, &QAbstractSocket::disconnected, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState) {
        loop.exec();
    }
    m_link.close();
}

} // namespace garrison::cli
