#include "DaemonServer.h"

#include "ClientSession.h"
#include "DaemonMessage.h"
#include "LogTail.h"
#include "SecretFile.h"
#include "ServerUser.h"
#include "WatchState.h"

#include <QFileInfo>
#include <QSslSocket>
#include <QSysInfo>
#include <QTcpSocket>
#include <algorithm>
#include <map>
#include <unistd.h>
#include <utility>

namespace garrisond {

namespace {

constexpr qsizetype kNamedAdditions = 5;

QString plainAddress(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

LockoutTable::Limits limitsOf(const DaemonConfig& config)
{
    return {config.lockoutFailures, config.lockoutAccountFailures, config.lockoutDuration};
}

} // namespace

DaemonServer::DaemonServer(DaemonConfig config, QObject* parent)
    : QObject(parent), m_config(std::move(config)), m_accounts(m_config.accountsPath),
      m_lockout(limitsOf(m_config)), m_clock([] { return QDateTime::currentDateTimeUtc(); })
{
    m_game.setClock([this] { return now(); });
    m_game.configure(m_config);
    m_notices.configure(m_config);
    m_enforcer.setClock([this] { return now(); });
    m_enforcer.configure(m_config);
    m_gameEvents.addSink(&m_enforcer);
    connect(&m_game.watch(), &ServerWatch::replyText, &m_enforcer, &BanEnforcer::takeStatus);
    connect(&m_enforcer, &BanEnforcer::keptOut, this, &DaemonServer::keptOut);
    connect(&m_bans, &BanStore::changed, this, &DaemonServer::bansChanged);
    connect(&m_bans, &BanStore::loaded, this, [this](const QString& error) {
        if (!error.isEmpty()) {
            Q_EMIT warning(QStringLiteral("the bans are not enforced: ") + error);
        }
        m_enforcer.recheckAll();
    });
    connect(&m_bans, &BanStore::warning, this, [this](const QString& text) {
        audit(QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("ban-database"), text);
        Q_EMIT warning(text);
    });
    connect(&m_game, &GameServerControl::audited, this, &DaemonServer::audit);
    connect(&m_notices, &OperatorNotices::warning, this, &DaemonServer::warning);
    connect(&m_game, &GameServerControl::warning, this, &DaemonServer::warning);
    connect(&m_game, &GameServerControl::serverEvent, this, [this](const QByteArray& line) {
        for (ClientSession* session : std::as_const(m_sessions)) {
            session->takeServerEvent(line);
        }
    });
    connect(&m_audit, &AuditTrail::warning, this, &DaemonServer::warning);
    m_reloadTimer.setSingleShot(true);
    m_reloadTimer.setInterval(100);
    m_loginQueue.setFailuresPerSecond(m_config.loginFailuresPerSecond);
    m_accountsReader.setMaxThreadCount(1);
    connect(&m_server, &QTcpServer::newConnection, this, &DaemonServer::acceptConnections);
    connect(&m_reloadTimer, &QTimer::timeout, this, [this] {
        rewatch();
        reload();
    });
    connect(&m_loginQueue, &LoginQueue::checked, this, &DaemonServer::passwordChecked);
    m_gameEvents.setClock([this] { return now(); });
    connect(&m_gameEvents, &GameEvents::problem, this, &DaemonServer::warning);
    connect(&m_gameEvents, &GameEvents::skipped, this, [this](qint64 bytes) {
        audit(QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("log-skipped"),
              QStringLiteral("%1 bytes of the game log left unread: it grew faster than it "
                             "could be read")
                  .arg(bytes));
    });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { m_reloadTimer.start(); });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
            [this] { m_reloadTimer.start(); });
}

DaemonServer::~DaemonServer()
{
    m_gameEvents.removeSink(&m_enforcer);
    m_accountsReader.waitForDone();
    const QList<ClientSession*> sessions = std::exchange(m_sessions, {});
    for (ClientSession* session : sessions) {
        session->disconnect(this);
        delete session;
    }
    m_audit.finish();
}

bool DaemonServer::start(const QHostAddress& address, quint16 port)
{
    if (m_config.allowPlaintext && !address.isLoopback()) {
        m_error = QStringLiteral("allow_plaintext is for tests on the loopback address only; "
                                 "%1 is not one: remove allow_plaintext")
                      .arg(address.toString());
        return false;
    }
    QStringList secrets{m_config.filePath, m_config.accountsPath, m_config.auditLogPath,
                        WatchState::pathBeside(m_config.accountsPath), m_config.banFilePath()};
    if (!m_config.allowPlaintext && !m_config.tlsFilesNamed) {
        secrets << m_config.certificatePath << m_config.keyPath;
    }
    for (int n = 1; n < m_config.auditLogFiles; ++n) {
        secrets.append(m_config.auditLogPath + QLatin1Char('.') + QString::number(n));
    }
    // Every file is checked before any is touched: a daemon that refuses to start changes
    // nothing.
    QStringList notes;
    if (!SecretFile::secure(secrets, &notes, &m_error)) {
        return false;
    }
    for (const QString& line : std::as_const(notes)) {
        Q_EMIT warning(line);
    }
    if (!m_accounts.load(&m_error)) {
        return false;
    }
    // Without its ban file (a full disk) garrisond still serves its administrators. A long
    // list is read meanwhile; the players who came in the meantime are checked then.
    m_bans.openInBackground(m_config.banFilePath(), m_config.sharedBanDatabase());
    // A skip that cannot be read is lost, which restarts the server as scheduled: no reason not
    // to serve.
    QList<QDateTime> skipped;
    QString stateError;
    if (WatchState::load(WatchState::pathBeside(m_config.accountsPath), &skipped, &stateError)) {
        m_game.watch().restoreSkippedRestarts(skipped);
    } else {
        Q_EMIT warning(QStringLiteral("skipped restarts not restored: ") + stateError);
    }
    if (!m_config.allowPlaintext && !loadIdentity(&m_error)) {
        return false;
    }
    m_server.setPlaintext(m_config.allowPlaintext);
    if (!m_config.serverUser.isEmpty()) {
        const std::optional<ServerUser> user = ServerUser::find(m_config.serverUser, &m_error);
        if (!user || !user->canSwitch(&m_error)) {
            return false;
        }
        if (user->uid() == ::geteuid()) {
            Q_EMIT warning(QStringLiteral("server_user %1 is garrisond's own user: the game "
                                          "server can change garrisond's files")
                               .arg(user->name()));
        }
        m_game.process().setUser(*user);
    }
    if (!m_server.listen(address, port)) {
        m_error = m_server.errorString();
        return false;
    }
    refreshDecoy();
    configureGameEvents();
    audit(QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("listening"),
          address.toString() + QLatin1Char(' ') + QString::number(m_server.serverPort()));
    return true;
}

bool DaemonServer::loadIdentity(QString* error)
{
    bool made = false;
    std::optional<TlsIdentity> identity = TlsIdentity::load(m_config, &made, error);
    if (!identity) {
        return false;
    }
    // Clients are asked to trust a new identity: whoever made it, the audit log says when.
    if (made) {
        Q_EMIT warning(QStringLiteral("made a new key and certificate, %1 and %2")
                           .arg(m_config.keyPath, m_config.certificatePath));
        audit(QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("certificate-made"),
              identity->fingerprint());
    } else if (m_identity && m_identity->fingerprint() != identity->fingerprint()) {
        audit(QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("certificate-changed"),
              identity->fingerprint());
    }
    if (m_config.tlsFilesNamed && TlsIdentity::isReadableByOthers(m_config.keyPath)) {
        const QString text =
            QStringLiteral("the TLS key %1 is readable by every user of this machine: make it "
                           "readable by garrisond's user or group only")
                .arg(m_config.keyPath);
        Q_EMIT warning(text);
        audit(QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("key-readable"),
              m_config.keyPath);
    }
    m_identity = std::move(identity);
    return true;
}

void DaemonServer::watchFiles()
{
    rewatch();
}

void DaemonServer::rewatch()
{
    // Editors replace files by renaming, which ends the watch of the old file: the folders are
    // watched too, and the files are added again whenever they exist.
    QStringList wanted;
    for (const QString& path : {m_config.filePath, m_config.accountsPath}) {
        if (path.isEmpty()) {
            continue;
        }
        wanted.append(QFileInfo(path).absolutePath());
        if (QFileInfo::exists(path)) {
            wanted.append(path);
        }
    }
    wanted.removeDuplicates();
    QStringList missing;
    for (const QString& path : std::as_const(wanted)) {
        if (!m_watcher.files().contains(path) && !m_watcher.directories().contains(path)) {
            missing.append(path);
        }
    }
    if (!missing.isEmpty()) {
        m_watcher.addPaths(missing);
    }
}

bool DaemonServer::reload()
{
    bool ok = true;
    QString error;
    if (!m_config.filePath.isEmpty()) {
        DaemonConfig fresh;
        if (!DaemonConfig::load(m_config.filePath, &fresh, &error, DaemonConfig::Purpose::Reload)) {
            ok = false;
        } else if (fresh.rconPassword.isEmpty() && !m_config.rconPassword.isEmpty()) {
            error = m_config.filePath + QStringLiteral(" has no rcon_password");
            ok = false;
        } else {
            if (fresh.serverUser != m_config.serverUser) {
                Q_EMIT warning(QStringLiteral("server_user is read at start only: the game "
                                              "server runs as before until garrisond restarts"));
                fresh.serverUser = m_config.serverUser;
            }
            if (fresh.allowPlaintext != m_config.allowPlaintext) {
                Q_EMIT warning(QStringLiteral("allow_plaintext is read at start only"));
                fresh.allowPlaintext = m_config.allowPlaintext;
            }
            applyConfig(fresh);
            // A renewed certificate (from an ACME client, say) serves the next connections.
            if (!m_config.allowPlaintext && !loadIdentity(&error)) {
                Q_EMIT warning(QStringLiteral("certificate not reloaded, the running one stays "
                                              "in force: ") +
                               error);
                ok = false;
            }
        }
        if (!ok) {
            Q_EMIT warning(QStringLiteral("configuration not reloaded, the running one stays in "
                                          "force: ") +
                           error);
        }
    }
    reloadAccounts();
    return ok;
}

void DaemonServer::reloadAccounts()
{
    const quint64 reading = ++m_accountsReading;
    m_accountsReader.start([this, reading, path = m_config.accountsPath] {
        AccountStore fresh(path);
        QString error;
        const bool read = fresh.load(&error);
        QMetaObject::invokeMethod(
            this,
            [this, reading, read, fresh = std::move(fresh), error = std::move(error)] {
                if (reading != m_accountsReading) {
                    return; // a later reading follows, and it says what the file holds now
                }
                if (read) {
                    applyAccounts(fresh);
                } else {
                    Q_EMIT warning(
                        QStringLiteral("accounts not reloaded, the running ones stay in force: ") +
                        error);
                }
                Q_EMIT reloaded();
            },
            Qt::QueuedConnection);
    });
}

void DaemonServer::applyConfig(const DaemonConfig& fresh)
{
    const bool rconChanged = fresh.rconPassword != m_config.rconPassword;
    const bool accountsMoved = fresh.accountsPath != m_config.accountsPath;
    const bool banDatabaseChanged = accountsMoved || fresh.banDatabase != m_config.banDatabase;
    m_config = fresh;
    m_lockout.configure(limitsOf(m_config));
    m_audit.configure(m_config);
    m_loginQueue.setFailuresPerSecond(m_config.loginFailuresPerSecond);
    if (m_server.isListening()) {
        configureGameEvents();
    }
    if (accountsMoved) {
        rewatch();
    }
    m_game.configure(m_config);
    m_notices.configure(m_config);
    m_enforcer.configure(m_config);
    if (banDatabaseChanged) {
        m_bans.openInBackground(m_config.banFilePath(), m_config.sharedBanDatabase());
    }
    if (rconChanged) {
        audit(QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("rcon-password-changed"));
        notifyLoggedIn(DaemonMessage::rconChangedNotice());
    }
}

void DaemonServer::applyAccounts(const AccountStore& fresh)
{
    QStringList added;
    for (const Account& account : fresh.accounts()) {
        if (m_accounts.find(account.name) == nullptr) {
            added.append(account.name);
        }
    }
    m_accounts = fresh;
    refreshDecoy();
    // Each notice is a box on every client, and each audit line a write: a file replaced with
    // thousands of new accounts is announced by count.
    for (const QString& name : added.first(std::min(added.size(), kNamedAdditions))) {
        audit(QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("account-added"), name);
        if (added.size() <= kNamedAdditions) {
            notifyLoggedIn(DaemonMessage::accountAddedNotice(name, m_accounts.find(name)->levels));
        }
    }
    if (added.size() > kNamedAdditions) {
        audit(QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("account-added"),
              QStringLiteral("and %1 more").arg(added.size() - kNamedAdditions));
        notifyLoggedIn(DaemonMessage::accountsAddedNotice(added.size()));
    }
    const QList<ClientSession*> sessions = m_sessions;
    for (ClientSession* session : sessions) {
        if (!session->isLoggedIn()) {
            continue;
        }
        const Account* account = m_accounts.find(session->account());
        if (account == nullptr) {
            session->refuseAndClose(DaemonMessage::accountRemovedRefusal(session->account()),
                                    QStringLiteral("account removed"));
        } else if (!account->levels.contains(session->level())) {
            session->refuseAndClose(
                DaemonMessage::levelRemovedRefusal(session->account(), session->level()),
                QStringLiteral("level removed"));
        }
    }
}

void DaemonServer::refreshDecoy()
{
    std::map<int, int> counts;
    for (const Account& account : m_accounts.accounts()) {
        ++counts[account.password.iterations()];
    }
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](auto a, auto b) { return a.second < b.second; });
    const int iterations = most == counts.end() ? m_config.passwordIterations : most->first;
    if (!m_decoy || m_decoy->iterations() != iterations) {
        m_decoy = PasswordHash::create(QString(), iterations);
    }
}

void DaemonServer::notifyLoggedIn(const QByteArray& notice)
{
    for (ClientSession* session : std::as_const(m_sessions)) {
        // Only logged-in clients learn about accounts and passwords.
        if (session->isLoggedIn()) {
            session->sendNotice(notice);
        }
    }
}

bool DaemonServer::admit(const QString& address)
{
    QList<ConnectionAdmission::Waiting> waiting;
    QList<ClientSession*> sessions;
    for (ClientSession* session : std::as_const(m_sessions)) {
        if (!session->isLoggedIn() && !session->isClosing()) {
            waiting.append(
                {session->addressKey(), session->ageMs(), false, session->hasLoginPending()});
            sessions.append(session);
        }
    }
    // Only a full daemon needs to know who has spoken, which asks the kernel.
    if (waiting.size() >= m_config.maxAnonymous) {
        for (qsizetype i = 0; i < waiting.size(); ++i) {
            waiting[i].heard = sessions.at(i)->hasBeenHeard();
        }
    }
    const ConnectionAdmission::Decision decision = ConnectionAdmission::decide(
        waiting, addressKey(address), {m_config.maxAnonymous, m_config.maxAnonymousPerAddress});
    if (decision.closing >= 0) {
        sessions.at(decision.closing)->close(QStringLiteral("crowded out"));
    }
    return decision.admitted;
}

void DaemonServer::acceptConnections()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        const QString address = plainAddress(socket->peerAddress());
        if (!admit(address)) {
            audit(address, QStringLiteral("-"), QStringLiteral("refused-connection"),
                  QStringLiteral("too many connections"));
            const QSslConfiguration tls = tlsConfiguration();
            m_admission.turnAway(socket, m_identity ? &tls : nullptr);
            continue;
        }
        auto* session = new ClientSession(socket, address, *this);
        m_sessions.append(session);
        connect(session, &ClientSession::closed, this, [this, session] {
            m_sessions.removeOne(session);
            session->deleteLater();
            Q_EMIT sessionClosed();
        });
        audit(session->address(), session->who(), QStringLiteral("connected"));
        Q_EMIT sessionOpened();
    }
}

void DaemonServer::requestLogin(ClientSession* session, const std::optional<LoginRequest>& request)
{
    const QString& address = session->address();
    const Account* account = request ? m_accounts.find(request->user) : nullptr;
    const QString accountName = account ? account->name : QString();
    const QString claimed = DaemonMessage::describeLogin(request);
    if (m_lockout.isLocked(session->addressKey(), accountName, now())) {
        audit(address, QStringLiteral("-"), QStringLiteral("login-locked-out"), claimed);
        m_notices.notifyRefusal(
            address, claimed,
            QStringLiteral("A login from %1 (%2) was refused: locked out").arg(address, claimed));
        answerLogin(session, LoginOutcome::LockedOut, request);
        return;
    }
    if (!request) {
        answerLogin(session, refuse(address, QString(), claimed), request);
        return;
    }
    const quint64 id = ++m_lastLoginId;
    if (!m_loginQueue.enqueue(id, account ? account->password : *m_decoy, request->password)) {
        audit(address, QStringLiteral("-"), QStringLiteral("login-busy"), claimed);
        answerLogin(session, LoginOutcome::Busy, request);
        return;
    }
    m_pendingLogins.insert(id, PendingLogin{session, *request, address});
}

void DaemonServer::passwordChecked(quint64 id, bool matches)
{
    const PendingLogin pending = m_pendingLogins.take(id);
    const LoginRequest& request = pending.request;
    // The accounts may have been reloaded while the password was being checked.
    const Account* account = m_accounts.find(request.user);
    const QString claimed = DaemonMessage::describeLogin(request);
    LoginOutcome outcome = LoginOutcome::Granted;
    if (!matches || account == nullptr || !account->levels.contains(request.level)) {
        outcome = refuse(pending.address, account ? account->name : QString(), claimed);
    } else {
        outcome = makeRoom(*account, pending.address, claimed);
        if (outcome == LoginOutcome::Granted) {
            m_lockout.recordSuccess(addressKey(pending.address), account->name, now());
            audit(pending.address, request.user + QLatin1Char('/') + request.level,
                  QStringLiteral("login"));
            if (isAdministrator(account->name) &&
                m_config.loginNotices == DaemonConfig::LoginNotices::All) {
                notifyLogin(account->name, request.level, pending.address);
            }
        }
    }
    if (pending.session) {
        answerLogin(pending.session, outcome, request);
    }
}

bool DaemonServer::loginNoticeWaits(const QString& account) const
{
    return m_config.loginNotices == DaemonConfig::LoginNotices::Interactive &&
           isAdministrator(account);
}

bool DaemonServer::isAdministrator(const QString& account) const
{
    const Account* found = m_accounts.find(account);
    return found != nullptr && (found->levels.contains(QLatin1String("admin")) ||
                                found->levels.contains(QLatin1String("poweradmin")));
}

// An account is held to its own number of sessions, and all of them to max_clients. Other
// accounts' sessions never keep an administrator out: when every place is taken, the idlest
// session of another account makes room, an administrator's only when no one else's is left. A
// reserve of places would still shut out the administrator after the reserve, and stand empty
// for everyone else meanwhile.
DaemonServer::LoginOutcome DaemonServer::makeRoom(const Account& account, const QString& address,
                                                  const QString& claimed)
{
    int loggedIn = 0;
    int own = 0;
    ClientSession* idlest = nullptr;
    bool idlestIsAdministrator = false;
    for (ClientSession* session : std::as_const(m_sessions)) {
        if (!session->isLoggedIn() || session->isClosing()) {
            continue;
        }
        ++loggedIn;
        if (session->account() == account.name) {
            ++own;
            continue;
        }
        const bool administrator = isAdministrator(session->account());
        if (idlest == nullptr || (idlestIsAdministrator && !administrator) ||
            (administrator == idlestIsAdministrator && session->idleMs() > idlest->idleMs())) {
            idlest = session;
            idlestIsAdministrator = administrator;
        }
    }
    if (own >= m_config.maxSessionsPerAccount) {
        audit(address, QStringLiteral("-"), QStringLiteral("login-session-limit"), claimed);
        return LoginOutcome::AccountFull;
    }
    if (loggedIn < m_config.maxClients) {
        return LoginOutcome::Granted;
    }
    if (!isAdministrator(account.name) || idlest == nullptr) {
        audit(address, QStringLiteral("-"), QStringLiteral("login-too-many-sessions"), claimed);
        return LoginOutcome::TooManySessions;
    }
    idlest->refuseAndClose(DaemonMessage::madeRoomRefusal(),
                           QStringLiteral("made room for an administrator"));
    return LoginOutcome::Granted;
}

DaemonServer::LoginOutcome DaemonServer::refuse(const QString& address, const QString& account,
                                                const QString& claimed)
{
    m_loginQueue.recordFailure();
    const bool locked = m_lockout.recordFailure(addressKey(address), account, now());
    audit(address, QStringLiteral("-"), QStringLiteral("login-refused"), claimed);
    if (!locked) {
        return LoginOutcome::Refused;
    }
    audit(address, QStringLiteral("-"), QStringLiteral("locked-out"),
          QStringLiteral("%1 s").arg(m_config.lockoutDuration.count()));
    m_notices.notifyRefusal(
        address, claimed,
        QStringLiteral("Logins from %1 are locked out for %2 s after failed logins (the "
                       "last: %3)")
            .arg(address)
            .arg(m_config.lockoutDuration.count())
            .arg(claimed));
    return LoginOutcome::LockedOut;
}

void DaemonServer::answerLogin(ClientSession* session, LoginOutcome outcome,
                               const std::optional<LoginRequest>& request)
{
    session->loginAnswered(outcome, request);
}

uid_t DaemonServer::refusedLogOwner() const
{
    const std::optional<ServerUser>& user = m_game.process().user();
    return user && user->uid() != ::geteuid() ? ::geteuid() : LogTail::kAnyOwner;
}

void DaemonServer::banRequest(const DaemonMessage& message, const QString& address,
                              const QString& who, const QString& account, const QString& level,
                              QObject* context, const std::function<void(const QByteArray&)>& reply)
{
    m_banRequests.answer(message, {account, level, m_config.banLevels, m_config.serverDirectory},
                         now(), context,
                         [this, address, who, reply](const BanRequests::Answer& answer) {
                             audit(address, who, answer.event, answer.detail);
                             reply(answer.bytes);
                         });
}

void DaemonServer::bansChanged(const QList<qint64>& ids)
{
    m_enforcer.recheck(ids);
    for (ClientSession* session : std::as_const(m_sessions)) {
        if (session->followsBans() && m_config.banLevels.contains(session->level())) {
            session->sendNotice(BanRequests::changedNotice());
        }
    }
}

void DaemonServer::keptOut(const garrison::BanRecord& ban, const BanEnforcer::Player& player)
{
    const QString who = player.name.isEmpty() ? player.guid : player.name;
    audit(QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("kept-out"),
          QStringLiteral("slot=%1 guid=%2 address=%3 name=%4 ban=%5 reason=%6")
              .arg(player.slot)
              .arg(player.guid, player.address.isEmpty() ? QStringLiteral("-") : player.address,
                   player.name)
              .arg(ban.id)
              .arg(ban.reason.left(80)));
    m_notices.notify(
        QStringLiteral("kept-out"),
        QStringLiteral("%1 was kept out of %2 by ban %3: %4")
            .arg(GameEvents::withoutColours(who), m_config.notificationName())
            .arg(ban.id)
            .arg(ban.reason.isEmpty() ? QStringLiteral("no reason given") : ban.reason),
        QJsonObject{{QStringLiteral("ban"), ban.id},
                    {QStringLiteral("guid"), player.guid},
                    {QStringLiteral("name"), player.name},
                    {QStringLiteral("slot"), player.slot},
                    {QStringLiteral("reason"), ban.reason}});
}

void DaemonServer::configureGameEvents()
{
    m_gameEvents.configure(m_config.gameLogPath, m_config.alertWords, m_config.reportCommand,
                           refusedLogOwner());
}

} // namespace garrisond
