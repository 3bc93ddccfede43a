#include "ClientSession.h"

#include "AccountStore.h"
#include "DaemonServer.h"
#include "WireText.h"

#include <QSslSocket>
#include <QTcpSocket>
#include <algorithm>
#include <sys/socket.h>
#include <utility>

namespace garrisond {

namespace {

// Refusals are never a level word and never begin with a notice prefix: the client takes them
// as an unexpected answer, which changes nothing in a running session.
const QByteArray kRefused = "DENIED Wrong user name, password or level";
const QByteArray kLockedOut = "DENIED Too many failed logins, try again later";
const QByteArray kBusy = "DENIED The daemon is busy, try again later";
const QByteArray kTooManySessions = "DENIED Too many users are logged in, try again later";
const QByteArray kLoginFirst = "DENIED Log in first";
const QByteArray kStartNeedsAdmin =
    "DENIED Starting the game server needs the level admin or poweradmin";
const QByteArray kWatchNeedsAdmin =
    "DENIED The game server's state and restarts need the level admin or poweradmin";

} // namespace

ClientSession::ClientSession(QTcpSocket* socket, const QString& address, DaemonServer& server)
    : m_socket(socket), m_server(server), m_address(address),
      m_addressKey(server.addressKey(address))
{
    m_age.start();
    m_socket->setParent(this);
    // A full buffer holds one byte more than any accepted message, so an oversized one shows.
    m_socket->setReadBufferSize(DaemonMessage::kMaxMessageBytes + 1);
    m_sinceLastSend.start();
    m_noticeTimer.setSingleShot(true);
    m_loginTimer.setSingleShot(true);
    m_quietTimer.setSingleShot(true);
    m_quietTimer.setInterval(DaemonMessage::kQuietGapMs);
    connect(m_socket, &QTcpSocket::readyRead, this, [this] {
        m_heard = true;
        readMessages();
    });
    const auto drained = [this] {
        if (m_answerOutstanding && unsentBytes() == 0) {
            m_answerOutstanding = false;
            m_sinceLastSend.restart();
            flushEvents();
        }
        if (m_socket->bytesAvailable() > 0 && !outputFull()) {
            readMessages();
        }
    };
    connect(m_socket, &QTcpSocket::bytesWritten, this, drained);
    connect(m_socket, &QTcpSocket::disconnected, this, &ClientSession::finish);
    connect(&m_noticeTimer, &QTimer::timeout, this, &ClientSession::sendNextNotice);
    connect(&m_quietTimer, &QTimer::timeout, this, [this] {
        // Bytes left unread while reading was held back mean that the client did not pause.
        if (m_socket->bytesAvailable() > 0) {
            readMessages();
        } else if (!m_closing && !m_loginPending) {
            takeMessages(true);
        }
    });
    connect(&m_loginTimer, &QTimer::timeout, this,
            [this] { close(QStringLiteral("login timeout")); });
    m_loginTimer.start(std::chrono::milliseconds(m_server.config().loginTimeout));
    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        const std::chrono::seconds idle = m_server.config().idleTimeout;
        refuseAndClose(DaemonMessage::idleRefusal(idle),
                       QStringLiteral("idle for %1 s").arg(idle.count()));
    });
    m_sinceMessage.start();
    m_eventTimer.setSingleShot(true);
    connect(&m_eventTimer, &QTimer::timeout, this, &ClientSession::flushEvents);
    m_loginNoticeTimer.setSingleShot(true);
    m_loginNoticeTimer.setInterval(kLoginNoticeWaitMs);
    connect(&m_loginNoticeTimer, &QTimer::timeout, this, [this] { settleLoginNotice(true); });
    if (auto* tls = qobject_cast<QSslSocket*>(m_socket)) {
        // The login timer, running already, bounds the handshake too.
        m_handshaking = true;
        connect(tls, &QSslSocket::encryptedBytesWritten, this, drained);
        // The handshake answers only what the client sent.
        connect(tls, &QSslSocket::encryptedBytesWritten, this, [this] { m_heard = true; });
        connect(tls, &QSslSocket::encrypted, this, [this] {
            m_handshaking = false;
            readMessages();
        });
        connect(tls, &QAbstractSocket::errorOccurred, this,
                [this](QAbstractSocket::SocketError error) {
                    if (m_handshaking && error != QAbstractSocket::RemoteHostClosedError) {
                        refuseHandshake(m_socket->errorString());
                    }
                });
        tls->setSslConfiguration(m_server.tlsConfiguration());
        tls->startServerEncryption();
    }
}

ClientSession::~ClientSession()
{
    if (m_events) {
        m_server.gameEvents().removeSink(this);
    }
}

bool ClientSession::hasBeenHeard() const
{
    const auto* tls = qobject_cast<const QSslSocket*>(m_socket);
    if (m_heard || m_socket->bytesAvailable() > 0 || (tls && tls->encryptedBytesToWrite() > 0)) {
        return true;
    }
    char byte = 0;
    return ::recv(static_cast<int>(m_socket->socketDescriptor()), &byte, 1,
                  MSG_PEEK | MSG_DONTWAIT) > 0;
}

QString ClientSession::who() const
{
    return isLoggedIn() ? m_account + QLatin1Char('/') + m_level : QStringLiteral("-");
}

// A TLS socket encrypts at once what is written: the bytes that wait for the client are the
// encrypted ones.
qint64 ClientSession::unsentBytes() const
{
    const auto* tls = qobject_cast<const QSslSocket*>(m_socket);
    return m_socket->bytesToWrite() + (tls ? tls->encryptedBytesToWrite() : 0);
}

bool ClientSession::outputFull() const
{
    return unsentBytes() > m_server.config().sendBufferBytes;
}

void ClientSession::readMessages()
{
    if (m_closing || m_handshaking || m_loginPending || m_banPending || outputFull() ||
        m_socket->bytesAvailable() == 0) {
        return;
    }
    // The socket holds at most one byte more than a message, and m_gathered at most a message.
    m_gathered += m_socket->readAll();
    m_quietTimer.start();
    takeMessages(false);
}

void ClientSession::takeMessages(bool quiet)
{
    const QList<QByteArray> messages = DaemonMessage::takeWhole(&m_gathered, m_account, quiet);
    for (const QByteArray& message : messages) {
        if (m_closing) {
            return;
        }
        if (message.size() > DaemonMessage::kMaxMessageBytes) {
            abortConnection(QStringLiteral("message over 64 KiB"));
            return;
        }
        handleMessage(message);
    }
    if (m_gathered.size() > DaemonMessage::kMaxMessageBytes) {
        abortConnection(QStringLiteral("message over 64 KiB"));
    }
}

void ClientSession::handleMessage(const QByteArray& bytes)
{
    const DaemonMessage message = DaemonMessage::parse(bytes, m_account);
    if (message.kind == DaemonMessage::Kind::Rejected) {
        abortConnection(QStringLiteral("control bytes in a message"));
        return;
    }
    if (isLoggedIn()) {
        handleSessionMessage(message);
        return;
    }
    // A split oversized message must not pass as many small ones before a login.
    m_bytesBeforeLogin += bytes.size();
    if (m_bytesBeforeLogin > DaemonMessage::kMaxMessageBytes) {
        abortConnection(QStringLiteral("over 64 KiB before a login"));
        return;
    }
    if (message.kind != DaemonMessage::Kind::Login) {
        m_server.audit(m_address, who(), QStringLiteral("refused-before-login"), message.text);
        send(kLoginFirst);
        return;
    }
    m_loginPending = true;
    m_server.requestLogin(this, message.login);
}

void ClientSession::loginAnswered(DaemonServer::LoginOutcome outcome,
                                  const std::optional<LoginRequest>& request)
{
    using Outcome = DaemonServer::LoginOutcome;
    m_loginPending = false;
    switch (outcome) {
    case Outcome::Granted:
        m_account = request->user;
        m_level = request->level;
        m_loginTimer.stop();
        m_holdNotices = true;
        send(WireText::encode(m_level));
        noteActivity();
        if (m_server.loginNoticeWaits(m_account)) {
            m_loginNoticeDue = true;
            m_loginNoticeTimer.start();
        }
        break;
    case Outcome::Refused:
        send(kRefused);
        break;
    case Outcome::LockedOut:
        send(kLockedOut);
        break;
    case Outcome::Busy:
        send(kBusy);
        break;
    case Outcome::TooManySessions:
        send(kTooManySessions);
        break;
    case Outcome::AccountFull:
        send(DaemonMessage::sessionLimitRefusal(m_server.config().maxSessionsPerAccount));
        break;
    }
    // What came while the password was being checked is read now; the socket's signal has
    // been spent already. Queued, because the answer may come from inside readMessages().
    QMetaObject::invokeMethod(this, &ClientSession::readMessages, Qt::QueuedConnection);
}

void ClientSession::noteActivity()
{
    m_sinceMessage.restart();
    if (m_server.config().idleTimeout.count() > 0) {
        m_idleTimer.start(std::chrono::milliseconds(m_server.config().idleTimeout));
    } else {
        m_idleTimer.stop();
    }
}

void ClientSession::handleSessionMessage(const DaemonMessage& message)
{
    using Kind = DaemonMessage::Kind;
    noteActivity();
    if (m_loginNoticeDue && message.kind != Kind::GetRconPass) {
        settleLoginNotice(message.kind != Kind::CommandLine);
    }
    switch (message.kind) {
    case Kind::GetRconPass:
        m_server.audit(m_address, who(), message.text);
        send(m_server.rconPasswordAnswer());
        break;
    case Kind::GetLog:
        m_server.audit(m_address, who(), message.text);
        send(m_server.logAnswer());
        break;
    case Kind::GetEvents:
        m_server.audit(m_address, who(), message.text);
        startEvents();
        break;
    case Kind::ServerAddress:
        m_server.audit(m_address, who(), message.text);
        send(m_server.serverAddressAnswer());
        break;
    case Kind::CommandLine:
        m_server.audit(m_address, who(), QStringLiteral("client"), QStringLiteral("garrison-rcon"));
        break;
    case Kind::StartServer:
        if (DaemonMessage::mayStartServer(m_level)) {
            // The client expects no answer; one could be taken as an awaited log.
            m_server.startGameServer(m_address, who());
        } else {
            m_server.audit(m_address, who(), QStringLiteral("refused-request"), message.text);
            send(kStartNeedsAdmin);
        }
        break;
    case Kind::ServerState:
    case Kind::SkipRestart:
    case Kind::RestartNow:
        if (DaemonMessage::mayStartServer(m_level)) {
            // Kept apart from other answers like a notice: the client gathers it until a pause,
            // and must not take it for the end of a log.
            sendNotice(m_server.watchRequest(message.kind, m_address, who()));
        } else {
            m_server.audit(m_address, who(), QStringLiteral("refused-request"), message.text);
            send(kWatchNeedsAdmin);
        }
        break;
    case Kind::GetBans:
    case Kind::AddBan:
    case Kind::EditBan:
    case Kind::LiftBan:
    case Kind::ImportBans:
    case Kind::GetEngineBans:
        // A client that reads the bans understands the notice of their changes.
        m_followsBans = m_followsBans || message.kind == Kind::GetBans;
        // A change is answered once the ban database has it; nothing more is read meanwhile,
        // so that answers keep the order of the requests.
        m_banPending = true;
        m_server.banRequest(message, m_address, who(), m_account, m_level, this,
                            [this](const QByteArray& answer) { banAnswered(answer); });
        break;
    case Kind::GetBanReasons:
        m_server.audit(m_address, who(), message.text);
        send(m_server.banReasonsAnswer(m_level));
        break;
    case Kind::Echo:
        // The game server has the command already (the client holds the RCON password): a
        // stop from a level whose Admin page is closed can only be pointed out.
        m_server.audit(m_address, who(),
                       DaemonMessage::isStopCommand(message.command) &&
                               !DaemonMessage::mayStartServer(m_level)
                           ? QStringLiteral("command-above-level")
                           : QStringLiteral("command"),
                       message.command);
        m_server.commandEchoed(m_address, who(), message.command);
        break;
    default:
        m_server.audit(m_address, who(), QStringLiteral("message"), message.text);
        break;
    }
    if (m_holdNotices) {
        m_holdNotices = false;
        scheduleNotices();
        flushEvents();
    }
}

void ClientSession::send(const QByteArray& answer)
{
    if (m_closing || m_socket->state() != QAbstractSocket::ConnectedState) {
        return;
    }
    // Reading stops at send_buffer_bytes, so only notices can pile up past twice that.
    if (unsentBytes() > 2 * m_server.config().sendBufferBytes) {
        abortConnection(QStringLiteral("answers left unread"));
        return;
    }
    m_socket->write(answer);
    m_sinceLastSend.restart();
    m_answerOutstanding = true;
    if (m_noticeTimer.isActive()) {
        m_noticeTimer.start(kNoticeGapMs);
    }
}

void ClientSession::banAnswered(const QByteArray& answer)
{
    m_banPending = false;
    send(answer);
    scheduleNotices();
    // Queued, because the answer may come from inside readMessages().
    QMetaObject::invokeMethod(this, &ClientSession::readMessages, Qt::QueuedConnection);
}

void ClientSession::sendNotice(const QByteArray& message)
{
    m_pendingNotices.append(message);
    scheduleNotices();
}

void ClientSession::scheduleNotices()
{
    if (m_holdNotices || m_banPending || m_pendingNotices.isEmpty() || m_noticeTimer.isActive()) {
        return;
    }
    const qint64 wait = std::max<qint64>(0, kNoticeGapMs - m_sinceLastSend.elapsed());
    m_noticeTimer.start(static_cast<int>(wait));
}

void ClientSession::sendNextNotice()
{
    // A notice just before an awaited answer would reach the client in the same read.
    if (m_holdNotices || m_banPending || m_pendingNotices.isEmpty()) {
        return;
    }
    send(m_pendingNotices.takeFirst());
    scheduleNotices();
}

void ClientSession::close(const QString& reason)
{
    if (m_closing) {
        return;
    }
    m_server.audit(m_address, who(), QStringLiteral("closed"), reason);
    m_closing = true;
    m_socket->disconnectFromHost();
    if (m_socket->state() == QAbstractSocket::UnconnectedState) {
        finish();
    }
}

void ClientSession::refuseAndClose(const QByteArray& refusal, const QString& reason)
{
    // Until "getrconpass" is answered the client would take any answer as the RCON password.
    if (!m_holdNotices) {
        send(refusal);
    }
    close(reason);
}

void ClientSession::abortConnection(const QString& reason)
{
    if (m_closing) {
        return;
    }
    m_server.audit(m_address, who(), QStringLiteral("dropped"), reason);
    m_closing = true;
    m_socket->abort();
    if (m_socket->state() == QAbstractSocket::UnconnectedState) {
        finish();
    }
}

// Whatever the client sent is not read, and it gets no answer: a client that sends its login
// in plain text must not learn whether it was right.
void ClientSession::refuseHandshake(const QString& error)
{
    if (m_closing) {
        return;
    }
    m_server.audit(m_address, who(), QStringLiteral("refused-no-tls"),
                   QStringLiteral("no TLS handshake (a client speaking plain text?): ") + error);
    m_closing = true;
    m_socket->abort();
    if (m_socket->state() == QAbstractSocket::UnconnectedState) {
        finish();
    }
}

void ClientSession::finish()
{
    // A command that the client echoed just before it left is recorded all the same.
    if (!m_closing && isLoggedIn()) {
        m_gathered += m_socket->readAll();
        takeMessages(true);
    }
    if (!m_closing) {
        m_server.audit(m_address, who(), QStringLiteral("disconnected"));
    }
    m_closing = true;
    if (m_loginNoticeDue) {
        settleLoginNotice(true);
    }
    if (std::exchange(m_events, false)) {
        m_server.gameEvents().removeSink(this);
    }
    m_eventTimer.stop();
    m_noticeTimer.stop();
    m_loginTimer.stop();
    m_idleTimer.stop();
    m_quietTimer.stop();
    if (!m_finished) {
        m_finished = true;
        Q_EMIT closed();
    }
}

void ClientSession::settleLoginNotice(bool person)
{
    m_loginNoticeDue = false;
    m_loginNoticeTimer.stop();
    if (person) {
        m_server.notifyLogin(m_account, m_level, m_address);
    }
}

void ClientSession::startEvents()
{
    m_serverEvents = true;
    const DaemonConfig& config = m_server.config();
    if (config.gameLogPath.isEmpty()) {
        queueEventLine(GameEvent::refusedLine(QStringLiteral("no game log is configured")));
    } else if (!config.eventLevels.contains(m_level)) {
        queueEventLine(GameEvent::refusedLine(
            QStringLiteral("the game log's events are not open to the level %1").arg(m_level)));
    } else {
        if (!std::exchange(m_events, true)) {
            m_server.gameEvents().addSink(this);
        }
        queueEventLine(GameEvent::streamLine(m_level));
    }
}

void ClientSession::takeEvent(const GameEvent& event)
{
    // The configuration may have closed the stream to this level since it was opened.
    if (GameEvent::isFor(event.kind, m_level) && m_server.config().eventLevels.contains(m_level)) {
        queueEventLine(event.toWire());
    }
}

void ClientSession::takeServerEvent(const QByteArray& line)
{
    if (m_serverEvents && DaemonMessage::mayStartServer(m_level)) {
        queueEventLine(line);
    }
}

void ClientSession::queueEventLine(const QByteArray& line)
{
    if (m_closing) {
        return;
    }
    if (m_pendingEvents.size() + line.size() > kMaxPendingEventBytes) {
        ++m_eventsLost;
        return;
    }
    m_pendingEvents += line;
    // Events of one read of the log leave together.
    if (!m_eventTimer.isActive()) {
        m_eventTimer.start(0);
    }
}

void ClientSession::flushEvents()
{
    if (m_closing || (m_pendingEvents.isEmpty() && m_eventsLost == 0)) {
        return;
    }
    if (m_holdNotices || m_answerOutstanding) {
        return; // the client's next message, or the answer leaving, flushes them
    }
    const qint64 sinceAnswer = m_sinceLastSend.elapsed();
    if (sinceAnswer < kNoticeGapMs) {
        m_eventTimer.start(static_cast<int>(kNoticeGapMs - sinceAnswer));
        return;
    }
    if (outputFull()) {
        m_eventsLost += m_pendingEvents.count('\n');
        m_pendingEvents.clear();
        m_eventTimer.start(kNoticeGapMs);
        return;
    }
    if (m_eventsLost > 0) {
        m_pendingEvents.prepend(GameEvent::lostLine(std::exchange(m_eventsLost, 0)));
    }
    m_socket->write(std::exchange(m_pendingEvents, QByteArray()));
}

} // namespace garrisond
