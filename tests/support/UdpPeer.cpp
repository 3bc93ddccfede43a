#include "UdpPeer.h"

#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QTest>

namespace garrison::test {

UdpPeer::UdpPeer(QObject* parent) : QObject(parent)
{
    m_socket.bind(QHostAddress::LocalHost, 0);
    connect(&m_socket, &QUdpSocket::readyRead, this, [this] {
        while (m_socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = m_socket.receiveDatagram();
            if (!datagram.isValid()) {
                break;
            }
            m_received.append({datagram.data(), datagram.senderAddress(),
                               static_cast<quint16>(datagram.senderPort())});
        }
    });
}

bool UdpPeer::waitFor(int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_received.size() < count && !deadline.hasExpired()) {
        QTest::qWait(5);
    }
    return m_received.size() >= count;
}

void UdpPeer::reply(const QByteArray& data)
{
    if (m_received.isEmpty()) {
        return;
    }
    const Datagram& last = m_received.constLast();
    m_socket.writeDatagram(data, last.sender, last.senderPort);
}

QByteArray UdpPeer::replyDatagram(const QByteArray& text)
{
    return QByteArrayLiteral("\xFF\xFF\xFF\xFFprint\n") + text;
}

} // namespace garrison::test
