#include "ClientSession.h"

#include "AccountStore.h"
#include "DaemonServer.h"
#include "LoginRequest.h"
#include "WireText.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <algorithm>

namespace garrisond {

namespace {

const QString kGetRconPass = QStringLiteral("getrconpass");
const QString kGetLog = QStringLiteral("getlog");
const QString kStartServer = QStringLiteral("startserver");

// Refusals are never a level word and never begin with a notice prefix.
const QByteArray kRefused = "DENIED Wrong user name, password or level";
const QByteArray kLockedOut = "DENIED Too many failed logins from this address, try again later";
const QByteArray kLoginFirst = "DENIED Log in first";

QString plainAddress(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

} // namespace

ClientSession::ClientSession(QTcpSocket* socket, DaemonServer& server)
    : m_socket(socket), m_server(server), m_address(plainAddress(socket->peerAddress()))
{
    m_socket->setParent(this);
    // A full buffer holds one byte more than any accepted message, so an oversized one shows.
    m_socket->setReadBufferSize(kMaxMessageBytes + 1);
    m_sinceLastSend.start();
    m_noticeTimer.setSingleShot(true);
    m_loginTimer.setSingleShot(true);
    connect(m_socket, &QTcpSocket::readyRead, this, &ClientSession::readMessages);
    connect(m_socket, &QTcpSocket::disconnected, this, &ClientSession::finish);
    connect(&m_noticeTimer, &QTimer::timeout, this, &ClientSession::sendNextNotice);
    connect(&m_loginTimer, &QTimer::timeout, this,
            [this] { close(QStringLiteral("login timeout")); });
    m_loginTimer.start(std::chrono::milliseconds(m_server.config().loginTimeout));
}

QString ClientSession::who() const
{
    return isLoggedIn() ? m_account + QLatin1Char('/') + m_level : QStringLiteral("-");
}

void ClientSession::readMessages()
{
    while (!m_closing && m_socket->bytesAvailable() > 0) {
        if (m_socket->bytesAvailable() > kMaxMessageBytes) {
            abortConnection(QStringLiteral("message over 64 KiB"));
            return;
        }
        handleMessage(m_socket->readAll());
    }
}

void ClientSession::handleMessage(const QByteArray& message)
{
    if (WireText::hasControlBytes(message)) {
        abortConnection(QStringLiteral("control bytes in a message"));
        return;
    }
    const QString text = WireText::decode(message);
    if (isLoggedIn()) {
        handleSessionMessage(text);
        return;
    }
    // A split oversized message must not pass as many small ones before a login.
    m_bytesBeforeLogin += message.size();
    if (m_bytesBeforeLogin > kMaxMessageBytes) {
        abortConnection(QStringLiteral("over 64 KiB before a login"));
        return;
    }
    if (text == kGetRconPass || text == kGetLog || text == kStartServer) {
        m_server.audit(m_address, who(), QStringLiteral("refused-before-login"), text);
        send(kLoginFirst);
        return;
    }
    handleLogin(text);
}

void ClientSession::handleLogin(const QString& message)
{
    const auto request = LoginRequest::parse(message);
    switch (m_server.login(request, m_address)) {
    case DaemonServer::LoginOutcome::Granted:
        m_account = request->user;
        m_level = request->level;
        m_loginTimer.stop();
        m_holdNotices = true;
        send(WireText::encode(m_level));
        break;
    case DaemonServer::LoginOutcome::Refused:
        send(kRefused);
        break;
    case DaemonServer::LoginOutcome::LockedOut:
        send(kLockedOut);
        break;
    }
}

void ClientSession::handleSessionMessage(const QString& message)
{
    if (message == kGetRconPass) {
        m_server.audit(m_address, who(), kGetRconPass);
        send(m_server.rconPasswordAnswer());
    } else if (message == kGetLog) {
        m_server.audit(m_address, who(), kGetLog);
        send(m_server.logAnswer());
    } else if (message == kStartServer) {
        // The client expects no answer; one could be taken as an awaited log.
        m_server.startGameServer(m_address, who());
    } else {
        const QString prefix = m_account + QStringLiteral(" - ");
        if (message.startsWith(prefix)) {
            m_server.audit(m_address, who(), QStringLiteral("command"), message.mid(prefix.size()));
        } else {
            m_server.audit(m_address, who(), QStringLiteral("message"), message);
        }
    }
    if (m_holdNotices) {
        m_holdNotices = false;
        scheduleNotices();
    }
}

void ClientSession::send(const QByteArray& answer)
{
    if (m_closing) {
        return;
    }
    m_socket->write(answer);
    m_sinceLastSend.restart();
    if (m_noticeTimer.isActive()) {
        m_noticeTimer.start(kNoticeGapMs);
    }
}

void ClientSession::sendNotice(const QByteArray& message)
{
    m_pendingNotices.append(message);
    scheduleNotices();
}

void ClientSession::scheduleNotices()
{
    if (m_holdNotices || m_pendingNotices.isEmpty() || m_noticeTimer.isActive()) {
        return;
    }
    const qint64 wait = std::max<qint64>(0, kNoticeGapMs - m_sinceLastSend.elapsed());
    m_noticeTimer.start(static_cast<int>(wait));
}

void ClientSession::sendNextNotice()
{
    if (m_holdNotices || m_pendingNotices.isEmpty()) {
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

void ClientSession::finish()
{
    if (!m_closing) {
        m_server.audit(m_address, who(), QStringLiteral("disconnected"));
    }
    m_closing = true;
    m_noticeTimer.stop();
    m_loginTimer.stop();
    if (!m_finished) {
        m_finished = true;
        Q_EMIT closed();
    }
}

} // namespace garrisond
