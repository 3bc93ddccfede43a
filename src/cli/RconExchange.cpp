#include "RconExchange.h"

#include "platform/SocketDrops.h"
#include "rcon/RconDatagram.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QTimer>
#include <QVariant>

namespace garrison::cli {

RconExchange::RconExchange(QHostAddress address, quint16 port, QString password, int timeoutMs,
                           int paceMs)
    : m_address(std::move(address)), m_port(port), m_password(std::move(password)),
      m_timeoutMs(timeoutMs), m_paceMs(paceMs)
{}

std::optional<QHostAddress> RconExchange::resolve(const QString& host)
{
    const QHostAddress literal(host);
    if (!literal.isNull()) {
        return literal;
    }
    const QHostInfo info = QHostInfo::fromName(host);
    for (const QHostAddress& address : info.addresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            return address;
        }
    }
    if (!info.addresses().isEmpty()) {
        return info.addresses().constFirst();
    }
    return std::nullopt;
}

// Connected to the one server, so that datagrams from anywhere else never count as replies.
bool RconExchange::open(QString* error)
{
    connectSocket();
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        *error = m_socket.errorString();
        return false;
    }
    return true;
}

void RconExchange::connectSocket()
{
    m_socket.abort();
    m_socket.connectToHost(m_address, m_port);
    if (m_socket.state() == QAbstractSocket::ConnectedState) {
        m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                                 QVariant(kReceiveBuffer));
        // A closed port shows at once instead of after the timeout.
        m_refusals.watch();
    }
}

// Datagrams that came late for an earlier command; a server that never stops sending gets no
// more of our time than one reply's worth.
void RconExchange::discardLate()
{
    qsizetype discarded = 0;
    while (discarded < kMaxReplyBytes && m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram late = m_socket.receiveDatagram();
        if (!late.isValid()) {
            break;
        }
        discarded += late.data().size() + 1;
    }
}

void RconExchange::waitForPace()
{
    if (!m_sinceLastSend.isValid() || m_sinceLastSend.elapsed() >= m_paceMs) {
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(m_paceMs - static_cast<int>(m_sinceLastSend.elapsed()), &loop,
                       &QEventLoop::quit);
    loop.exec();
}

RconExchange::Reply RconExchange::ask(const QString& command)
{
    waitForPace();
    discardLate();
    // A refused command before leaves the socket unconnected; this one tries again.
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        connectSocket();
    }
    const std::optional<quint64> dropsBefore = SocketDrops::count(m_socket.socketDescriptor());
    const QByteArray request = RconDatagram::request(m_password, command);
    if (m_socket.write(request) < 0) {
        m_socket.write(request);
    }
    m_sinceLastSend.start();
    const QDeadlineTimer deadline(m_timeoutMs);

    Reply reply;
    QEventLoop loop;
    QTimer quiet;
    quiet.setSingleShot(true);
    QObject::connect(&quiet, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QUdpSocket::readyRead, &loop, [&] {
        while (m_socket.hasPendingDatagrams()) {
            // After the timeout only silence may end the reply.
            if (deadline.hasExpired()) {
                reply.outcome = Reply::Outcome::Unfinished;
                loop.quit();
                return;
            }
            const QNetworkDatagram datagram = m_socket.receiveDatagram();
            if (!datagram.isValid()) {
                return;
            }
            reply.datagrams += datagram.data();
            ++reply.datagramCount;
            if (reply.datagrams.size() > kMaxReplyBytes) {
                reply.outcome = Reply::Outcome::TooLong;
                loop.quit();
                return;
            }
            reply.outcome = Reply::Outcome::Answered;
            quiet.start(kQuietMs);
        }
    });
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, [&] {
        // A reply under way gets its quiet time to end.
        if (reply.datagramCount == 0) {
            loop.quit();
        }
    });
    QTimer refusalCheck;
    refusalCheck.setInterval(kRefusalCheckMs);
    QObject::connect(&refusalCheck, &QTimer::timeout, &loop, [&] {
        if (reply.datagramCount == 0 && m_refusals.takeRefusal()) {
            reply.outcome = Reply::Outcome::Refused;
            loop.quit();
        }
    });
    refusalCheck.start();
    timeout.start(m_timeoutMs);
    loop.exec();
    QObject::disconnect(&m_socket, nullptr, &loop, nullptr);
    const std::optional<quint64> dropsAfter = SocketDrops::count(m_socket.socketDescriptor());
    if (dropsBefore && dropsAfter && *dropsAfter > *dropsBefore) {
        reply.lost = *dropsAfter - *dropsBefore;
    }
    return reply;
}

} // namespace garrison::cli
