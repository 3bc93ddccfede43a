#include "RconClient.h"

#include "platform/AnsiText.h"
#include "platform/SocketDrops.h"
#include "rcon/DaemonEcho.h"
#include "rcon/RconDatagram.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QLocale>
#include <QNetworkDatagram>
#include <QVariant>
#include <utility>

namespace garrison {

namespace {

constexpr int kTickInterval = 1000;
constexpr int kDeferralTarget = 2;
constexpr int kMaxDatagram = 65536;

// The numbers users know from the Windows socket control and the VB runtime.
constexpr int kTypeMismatch = 13;
constexpr int kInvalidPropertyValue = 380;
constexpr int kHostNotFound = 11001;

std::optional<quint16> parsePort(const QString& text, RconClient::Failure& failure)
{
    bool isNumber = false;
    const qlonglong port = text.trimmed().toLongLong(&isNumber);
    if (!isNumber) {
        failure = {kTypeMismatch, QStringLiteral("Type mismatch: the port \"%1\" is not a whole "
                                                 "number.")
                                      .arg(text)};
        return std::nullopt;
    }
    if (port < 1 || port > 65535) {
        failure = {kInvalidPropertyValue,
                   QStringLiteral("Invalid property value: the port %1 is not between 1 and "
                                  "65535.")
                       .arg(port)};
        return std::nullopt;
    }
    return static_cast<quint16>(port);
}

std::optional<QHostAddress> resolve(const QString& host, RconClient::Failure& failure)
{
    const QHostAddress literal(host.trimmed());
    if (!literal.isNull()) {
        return literal;
    }
    const QHostInfo info = QHostInfo::fromName(host.trimmed());
    for (const QHostAddress& address : info.addresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            return address;
        }
    }
    if (!info.addresses().isEmpty()) {
        return info.addresses().constFirst();
    }
    failure = {kHostNotFound, QStringLiteral("Host not found: \"%1\" does not resolve to an "
                                             "address.")
                                  .arg(host)};
    return std::nullopt;
}

} // namespace

RconClient::RconClient(QObject* parent)
    : QObject(parent), m_clock([] { return QDateTime::currentDateTime(); })
{
    m_timer2.setObjectName(QStringLiteral("Timer2"));
    m_timer2.setInterval(kTickInterval);
    connect(&m_timer2, &QTimer::timeout, this, &RconClient::onTimer2);
    connect(&m_socket, &QUdpSocket::readyRead, this, &RconClient::readPending);
    for (QTimer* timer : {&m_reading, &m_handling}) {
        timer->setSingleShot(true);
        timer->setInterval(0);
    }
    connect(&m_reading, &QTimer::timeout, this, &RconClient::readPending);
    connect(&m_handling, &QTimer::timeout, this, &RconClient::handleReceived);
    m_dropCheck.setSingleShot(true);
    m_dropCheck.setInterval(kDropCheckMs);
    connect(&m_dropCheck, &QTimer::timeout, this, &RconClient::checkDrops);
    m_activity.start();
}

std::optional<RconClient::Failure> RconClient::Connect(const QString& host, const QString& portText,
                                                       const QString& password)
{
    close();
    m_password = password;
    Failure failure;
    const std::optional<QHostAddress> address = resolve(host, failure);
    if (!address) {
        return failure;
    }
    const std::optional<quint16> port = parsePort(portText, failure);
    if (!port) {
        return failure;
    }
    m_peer = Peer{*address, *port};
    if (!ensureConnected()) {
        const Failure socketFailure{10000 + static_cast<int>(m_socket.error()),
                                    m_socket.errorString()};
        close();
        return socketFailure;
    }
    Send(QStringLiteral("status"));
    return std::nullopt;
}

void RconClient::close()
{
    m_peer.reset();
    m_socket.abort();
    m_received.clear();
    m_receivedBytes = 0;
    m_queueDrops = 0;
    m_reading.stop();
    m_handling.stop();
    m_dropCheck.stop();
}

void RconClient::renewSocket()
{
    m_socket.abort();
}

bool RconClient::isOpen() const
{
    return m_peer.has_value();
}

// A "port unreachable" answer (the server is not up yet, or restarting) does not end the
// connection; should the socket still have lost it, the next command connects it again.
bool RconClient::ensureConnected()
{
    if (!m_peer) {
        return false;
    }
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        m_socket.abort();
        m_socket.connectToHost(m_peer->address, m_peer->port);
        // Room for a burst of replies while the window is busy (the system caps the size).
        m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                                 QVariant(kReceiveBuffer));
        m_drops = SocketDrops::count(m_socket.socketDescriptor()).value_or(0);
    }
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

QString RconClient::echoLine(const QString& cmd, const QTime& time)
{
    // The system's long time format without a time zone ("13:05:09" or "1:05:09 PM").
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    format = format.trimmed();
    return QStringLiteral("\r\n[") + QLocale::system().toString(time, format) +
           QStringLiteral("] - /") + cmd + QStringLiteral("\r\n");
}

void RconClient::Send(const QString& cmd)
{
    if (m_daemonFlag == QLatin1String("1") && m_daemonEcho) {
        m_daemonEcho->echoCommand(cmd);
    }
    // Replaced before the datagram leaves: a late reply is routed as an answer to this command.
    m_lastCommand = cmd;
    m_activity.restart();
    const QDateTime now = m_clock();
    Q_EMIT commandSent(cmd, now);
    Q_EMIT echoed(echoLine(cmd, now.time()));
    if (ensureConnected()) {
        const QByteArray datagram = RconDatagram::request(m_password, cmd);
        // An earlier "port unreachable" answer is reported by, and fails, the next write;
        // the write after it goes out.
        if (m_socket.write(datagram) < 0) {
            m_socket.write(datagram);
        }
    }
}

void RconClient::WaitSend(const QString& Cmdz)
{
    if (m_daemonFlag == QLatin1String("1") && m_daemonEcho) {
        m_daemonEcho->echoCommand(Cmdz);
    }
    m_tickCounter = QStringLiteral("1");
    m_pendingCommand = Cmdz;
    m_timer2.start();
}

void RconClient::cancelDeferral()
{
    m_timer2.stop();
    m_pendingCommand.clear();
}

void RconClient::onTimer2()
{
    if (tickValue() < kDeferralTarget) {
        advanceTick();
        return;
    }
    m_timer2.stop();
    // Empty before it leaves: whoever reacts to the send may arm the slot anew.
    Send(std::exchange(m_pendingCommand, QString()));
}

void RconClient::readPending()
{
    if (takeFromSocket()) {
        m_reading.start();
    }
    if (!m_received.isEmpty() && !m_handling.isActive()) {
        m_handling.start();
    }
}

bool RconClient::takeFromSocket()
{
    // A handler may have closed the socket.
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        return false;
    }
    int taken = 0;
    for (; taken < kReadBatch && m_socket.hasPendingDatagrams(); ++taken) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        if (!datagram.isValid()) {
            break;
        }
        enqueue(datagram.data());
    }
    if ((taken >= kBurst || m_queueDrops > 0) && !m_dropCheck.isActive()) {
        m_dropCheck.start();
    }
    if (taken == kReadBatch) {
        return true;
    }
    rearmReading();
    return false;
}

// A "port unreachable" answer is announced like a datagram, and the socket announces nothing
// more until a datagram is read: without this read the session would stay deaf for good. The
// read fails on the answer (taking it away) or finds nothing, or finds a reply that came since
// the last look.
void RconClient::rearmReading()
{
    m_spare.resize(kMaxDatagram);
    const qint64 size = m_socket.readDatagram(m_spare.data(), m_spare.size());
    if (size > 0) {
        enqueue(m_spare.left(size));
    }
}

void RconClient::enqueue(const QByteArray& datagram)
{
    if (m_received.size() >= kMaxQueuedDatagrams ||
        m_receivedBytes + datagram.size() > kMaxQueuedBytes) {
        ++m_queueDrops;
        return;
    }
    m_receivedBytes += datagram.size();
    m_received.enqueue(datagram);
}

void RconClient::checkDrops()
{
    quint64 lost = std::exchange(m_queueDrops, 0);
    const std::optional<quint64> drops = SocketDrops::count(m_socket.socketDescriptor());
    if (drops && *drops > m_drops) {
        lost += *drops - m_drops;
        m_drops = *drops;
    }
    if (lost > 0) {
        Q_EMIT datagramsLost(lost);
    }
}

void RconClient::handleReceived()
{
    QElapsedTimer slice;
    slice.start();
    // A handler may close the socket (which empties the queue) or open a modal box, whose
    // event loop hands on the next datagrams: take each from the queue only when it is due.
    while (!m_received.isEmpty() && slice.elapsed() < kHandlingSliceMs) {
        const QByteArray datagram = m_received.dequeue();
        m_receivedBytes -= datagram.size();
        m_activity.restart();
        Q_EMIT datagramReceived(datagram);
        // Keeps the system's buffer empty while the handlers work.
        takeFromSocket();
    }
    if (!m_received.isEmpty()) {
        m_handling.start();
    }
}

} // namespace garrison
