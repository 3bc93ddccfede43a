#pragma once

#include "AccountStore.h"
#include "AuditTrail.h"
#include "BanEnforcer.h"
#include "BanRequests.h"
#include "BanStore.h"
#include "ConnectionAdmission.h"
#include "ConnectionListener.h"
#include "DaemonConfig.h"
#include "DaemonMessage.h"
#include "GameEvents.h"
#include "GameServerControl.h"
#include "LockoutTable.h"
#include "LoginQueue.h"
#include "LoginRequest.h"
#include "OperatorNotices.h"
#include "RequestAnswers.h"
#include "TlsIdentity.h"

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QTcpSocket>
#include <QThreadPool>
#include <QTimer>
#include <functional>
#include <optional>

namespace garrisond {

class ClientSession;

// The daemon: accepts clients, checks logins against the accounts, answers the requests,
// records what the clients do, and tells the logged-in clients when an account is added or the
// RCON password changes. Those changes are made by other invocations of garrisond, which edit
// the files; the running daemon sees them through a file watcher (see watchFiles).
class DaemonServer : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    enum class LoginOutcome { Granted, Refused, LockedOut, Busy, TooManySessions, AccountFull };

    explicit DaemonServer(DaemonConfig config, QObject* parent = nullptr);
    ~DaemonServer() override;

    // Reads the accounts file and the TLS certificate (making garrisond's own at the first
    // start) and starts listening; false with errorString() on failure.
    bool start(const QHostAddress& address, quint16 port);
    quint16 serverPort() const { return m_server.serverPort(); }
    QString errorString() const { return m_error; }

    // From now on, changes of the configuration file or the accounts file are reloaded
    // (shortly after they happen, several changes at once count as one).
    void watchFiles();
    // Re-reads both files and the TLS certificate: a new account is announced with "ADDUSER", a new
    // RCON password with "CHANGERCON", and sessions whose account or level went away are told why
    // and closed. A file that cannot be read, or a configuration that is gone, holds no setting or
    // has lost the RCON password, leaves the running state in force with a warning; false then. The
    // configuration is read at once; the accounts file, which may hold tens of thousands of
    // accounts, is read on a worker thread, and reloaded() follows once it is in force or
    // refused.
    bool reload();
    // The next audit record opens the file anew.
    void reopenAuditLog() { m_audit.reopen(); }

    void setClock(Clock clock)
    {
        m_clock = std::move(clock);
        m_game.setClock([this] { return now(); });
        m_enforcer.setClock([this] { return now(); });
    }
    QDateTime now() const { return m_clock(); }
    const DaemonConfig& config() const { return m_config; }
    int sessionCount() const { return static_cast<int>(m_sessions.size()); }
    GameServerProcess& gameServer() { return m_game.process(); }
    ServerWatch& watch() { return m_game.watch(); }
    // Empty while plain text is allowed.
    QString fingerprint() const { return m_identity ? m_identity->fingerprint() : QString(); }
    QSslConfiguration tlsConfiguration() const
    {
        return m_identity ? m_identity->serverConfiguration() : QSslConfiguration();
    }
    // The game log's events; sessions that asked for them, and any other sink, subscribe here.
    GameEvents& gameEvents() { return m_gameEvents; }
    Webhook& webhook() { return m_notices.webhook(); }
    // An address as the limits and lock-outs count it (IPv6 by its network).
    QString addressKey(const QString& address) const
    {
        return ConnectionAdmission::addressKey(address, m_config.ipv6PrefixBits);
    }

    // Used by the sessions. The answer to a login comes later, through the session's
    // loginAnswered(), unless the session is gone by then.
    void requestLogin(ClientSession* session, const std::optional<LoginRequest>& request);
    QByteArray rconPasswordAnswer() const { return RequestAnswers::rconPassword(m_config); }
    QByteArray serverAddressAnswer() const { return RequestAnswers::serverAddress(m_config); }
    QByteArray logAnswer() const { return RequestAnswers::log(m_config, refusedLogOwner()); }
    QByteArray banReasonsAnswer(const QString& level) const
    {
        return RequestAnswers::banReasons(m_config, level);
    }
    void startGameServer(const QString& address, const QString& who) { m_game.start(address, who); }
    // "serverstate", "skiprestart" and "restartnow": the answer, the watch's state.
    QByteArray watchRequest(DaemonMessage::Kind kind, const QString& address, const QString& who)
    {
        return m_game.request(kind, address, who);
    }
    // "getbans", "addban", "editban", "liftban" and "importbans": the answer, audited, given to
    // `reply` at once or, for a change, once the ban list has it (not at all if `context` is
    // gone by then).
    void banRequest(const DaemonMessage& message, const QString& address, const QString& who,
                    const QString& account, const QString& level, QObject* context,
                    const std::function<void(const QByteArray&)>& reply);
    BanStore& bans() { return m_bans; }
    const BanEnforcer& enforcer() const { return m_enforcer; }
    // After a granted login of `account`: whether its notification waits for the session to
    // tell whether a person logged in (notify_logins = interactive, an administrator's account).
    bool loginNoticeWaits(const QString& account) const;
    void notifyLogin(const QString& account, const QString& level, const QString& address)
    {
        m_notices.notifyLogin(account, level, address);
    }
    // After the echo is recorded: a stop is expected, a kick or ban is notified.
    void commandEchoed(const QString& address, const QString& who, const QString& command)
    {
        m_game.commandEchoed(address, who, command);
    }
    // An audit record, summarised as AuditTrail says.
    void audit(const QString& address, const QString& who, const QString& event,
               const QString& detail = QString())
    {
        m_audit.record(address, who, event, detail);
    }
    // Writes the summaries of counted events whose minute is over (all of them with `all`).
    void writeSummaries(bool all = false) { m_audit.writeSummaries(all); }

Q_SIGNALS:
    void sessionOpened();
    void sessionClosed();
    void reloaded();
    // Problems worth the operator's attention (an unreadable file, a failed start).
    void warning(const QString& text);

private:
    struct PendingLogin {
        QPointer<ClientSession> session;
        LoginRequest request;
        QString address;
    };
    void acceptConnections();
    bool loadIdentity(QString* error);
    // A game server of another user cannot make a file of garrisond's: a log that is one is
    // a link to one of garrisond's files.
    uid_t refusedLogOwner() const;
    bool admit(const QString& address);
    void passwordChecked(quint64 id, bool matches);
    void answerLogin(ClientSession* session, LoginOutcome outcome,
                     const std::optional<LoginRequest>& request);
    LoginOutcome refuse(const QString& address, const QString& account, const QString& claimed);
    LoginOutcome makeRoom(const Account& account, const QString& address, const QString& claimed);
    bool isAdministrator(const QString& account) const;
    void refreshDecoy();
    void applyConfig(const DaemonConfig& fresh);
    void applyAccounts(const AccountStore& fresh);
    void notifyLoggedIn(const QByteArray& notice);
    void rewatch();
    void reloadAccounts();
    void configureGameEvents();
    void bansChanged(const QList<qint64>& ids);
    void keptOut(const garrison::BanRecord& ban, const BanEnforcer::Player& player);

    DaemonConfig m_config;
    AccountStore m_accounts;
    LockoutTable m_lockout;
    AuditTrail m_audit{m_config, [this] { return now(); }};
    LoginQueue m_loginQueue;
    QHash<quint64, PendingLogin> m_pendingLogins;
    quint64 m_lastLoginId = 0;
    GameServerControl m_game;
    std::optional<TlsIdentity> m_identity;
    ConnectionListener m_server;
    ConnectionAdmission m_admission;
    GameEvents m_gameEvents;
    OperatorNotices m_notices{m_game, m_gameEvents, [this] { return now(); }};
    BanStore m_bans;
    BanEnforcer m_enforcer{m_bans};
    BanRequests m_banRequests{m_bans, m_enforcer};
    QList<ClientSession*> m_sessions; // oldest first
    QFileSystemWatcher m_watcher;
    QTimer m_reloadTimer;
    Clock m_clock;
    QString m_error;
    // Checked against when the user name is unknown, with the iteration count that most
    // accounts have, so that a refusal takes as long as one for a wrong password.
    std::optional<PasswordHash> m_decoy;
    // Reads the accounts file for reload(); only the latest reading is applied.
    QThreadPool m_accountsReader;
    quint64 m_accountsReading = 0;
};

} // namespace garrisond
