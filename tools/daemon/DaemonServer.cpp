#include "DaemonServer.h"

#include "ClientSession.h"
#include "LogTail.h"
#include "WireText.h"

#include <QFileInfo>
#include <QTcpSocket>
#include <utility>

namespace garrisond {

namespace {

const QByteArray kTooManyClients = "DENIED Too many connections";

} // namespace

DaemonServer::DaemonServer(DaemonConfig config, QObject* parent)
    : QObject(parent), m_config(std::move(config)), m_accounts(m_config.accountsPath),
      m_lockout(m_config.lockoutFailures, m_config.lockoutDuration), m_audit(m_config.auditLogPath),
      m_clock([] { return QDateTime::currentDateTimeUtc(); })
{
    m_reloadTimer.setSingleShot(true);
    m_reloadTimer.setInterval(100);
    connect(&m_server, &QTcpServer::newConnection, this, &DaemonServer::acceptConnections);
    connect(&m_reloadTimer, &QTimer::timeout, this, [this] {
        rewatch();
        reload();
    });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { m_reloadTimer.start(); });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
            [this] { m_reloadTimer.start(); });
}

DaemonServer::~DaemonServer()
{
    const QList<ClientSession*> sessions = std::exchange(m_sessions, {});
    for (ClientSession* session : sessions) {
        session->disconnect(this);
        delete session;
    }
}

bool DaemonServer::start(const QHostAddress& address, quint16 port)
{
    if (!m_accounts.load(&m_error)) {
        return false;
    }
    if (!m_server.listen(address, port)) {
        m_error = m_server.errorString();
        return false;
    }
    audit(address.toString(), QStringLiteral("-"), QStringLiteral("listening"),
          QString::number(m_server.serverPort()));
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
        if (DaemonConfig::load(m_config.filePath, &fresh, &error)) {
            applyConfig(fresh);
        } else {
            Q_EMIT warning(QStringLiteral("configuration not reloaded: ") + error);
            ok = false;
        }
    }
    AccountStore fresh(m_config.accountsPath);
    if (fresh.load(&error)) {
        applyAccounts(fresh);
    } else {
        Q_EMIT warning(QStringLiteral("accounts not reloaded: ") + error);
        ok = false;
    }
    Q_EMIT reloaded();
    return ok;
}

void DaemonServer::applyConfig(const DaemonConfig& fresh)
{
    const bool rconChanged = fresh.rconPassword != m_config.rconPassword;
    const bool accountsMoved = fresh.accountsPath != m_config.accountsPath;
    m_config = fresh;
    m_lockout.configure(m_config.lockoutFailures, m_config.lockoutDuration);
    m_audit.setPath(m_config.auditLogPath);
    if (accountsMoved) {
        rewatch();
    }
    if (rconChanged) {
        audit(QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("rcon-password-changed"));
        notifyLoggedIn(QStringLiteral("CHANGERCON The game server's RCON password was changed on "
                                      "the daemon. Log in again to receive the new one."));
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
    for (const QString& name : std::as_const(added)) {
        const Account* account = m_accounts.find(name);
        audit(QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("account-added"), name);
        notifyLoggedIn(QStringLiteral("ADDUSER The daemon account \"%1\" was added (levels: %2).")
                           .arg(name, account->levels.join(QStringLiteral(", "))));
    }
    const QList<ClientSession*> sessions = m_sessions;
    for (ClientSession* session : sessions) {
        if (!session->isLoggedIn()) {
            continue;
        }
        const Account* account = m_accounts.find(session->account());
        if (account == nullptr || !account->levels.contains(session->level())) {
            session->close(QStringLiteral("account or level removed"));
        }
    }
}

void DaemonServer::notifyLoggedIn(const QString& notice)
{
    const QByteArray wire = WireText::encode(notice);
    for (ClientSession* session : std::as_const(m_sessions)) {
        // Only logged-in clients learn about accounts and passwords.
        if (session->isLoggedIn()) {
            session->sendNotice(wire);
        }
    }
}

void DaemonServer::acceptConnections()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_sessions.size() >= m_config.maxClients) {
            audit(socket->peerAddress().toString(), QStringLiteral("-"),
                  QStringLiteral("refused-connection"), QStringLiteral("too many connections"));
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write(kTooManyClients);
            socket->disconnectFromHost();
            continue;
        }
        auto* session = new ClientSession(socket, *this);
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

DaemonServer::LoginOutcome DaemonServer::login(const std::optional<LoginRequest>& request,
                                               const QString& address)
{
    const QDateTime when = now();
    const QString claimed =
        request ? QStringLiteral("user=%1 level=%2").arg(request->user, request->level)
                : QStringLiteral("malformed");
    if (m_lockout.isLocked(address, when)) {
        audit(address, QStringLiteral("-"), QStringLiteral("login-locked-out"), claimed);
        return LoginOutcome::LockedOut;
    }
    bool granted = false;
    if (request) {
        if (const Account* account = m_accounts.find(request->user)) {
            granted = account->password.matches(request->password) &&
                      account->levels.contains(request->level);
        } else {
            if (!m_decoy) {
                m_decoy = PasswordHash::create(QString(), m_config.passwordIterations);
            }
            m_decoy->matches(request->password);
        }
    }
    if (granted) {
        m_lockout.recordSuccess(address);
        audit(address, request->user + QLatin1Char('/') + request->level, QStringLiteral("login"));
        return LoginOutcome::Granted;
    }
    const bool locked = m_lockout.recordFailure(address, when);
    audit(address, QStringLiteral("-"), QStringLiteral("login-refused"), claimed);
    if (locked) {
        audit(address, QStringLiteral("-"), QStringLiteral("address-locked-out"),
              QStringLiteral("%1 s").arg(m_config.lockoutDuration.count()));
        return LoginOutcome::LockedOut;
    }
    return LoginOutcome::Refused;
}

QByteArray DaemonServer::rconPasswordAnswer() const
{
    return WireText::encode(m_config.rconPassword);
}

QByteArray DaemonServer::logAnswer() const
{
    QByteArray tail;
    QString error;
    if (!LogTail::read(m_config.gameLogPath, m_config.logTailBytes, &tail, &error)) {
        return WireText::encode(QStringLiteral("The game server's log could not be read: ") +
                                error);
    }
    // An empty message would not be sent at all, and the client would take the next one.
    return tail.isEmpty() ? QByteArrayLiteral("The game server's log is empty.") : tail;
}

void DaemonServer::startGameServer(const QString& address, const QString& who)
{
    using Result = GameServerProcess::StartResult;
    const Result result = m_gameServer.start(m_config.serverProgram, m_config.serverArguments,
                                             m_config.serverDirectory);
    QString outcome;
    switch (result) {
    case Result::Started:
        outcome = QStringLiteral("started");
        break;
    case Result::AlreadyRunning:
        outcome = QStringLiteral("already running");
        break;
    case Result::NotConfigured:
        outcome = QStringLiteral("no server_command configured");
        Q_EMIT warning(QStringLiteral("startserver: no server_command configured"));
        break;
    case Result::Failed:
        outcome = QStringLiteral("failed: ") + m_gameServer.errorString();
        Q_EMIT warning(QStringLiteral("startserver: ") + outcome);
        break;
    }
    audit(address, who, QStringLiteral("startserver"), outcome);
}

void DaemonServer::audit(const QString& address, const QString& who, const QString& event,
                         const QString& detail)
{
    if (!m_audit.record(now(), address, who, event, detail)) {
        Q_EMIT warning(QStringLiteral("cannot write the audit log %1: %2")
                           .arg(m_audit.path(), m_audit.errorString()));
    }
}

} // namespace garrisond
