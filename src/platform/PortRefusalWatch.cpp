#include "PortRefusalWatch.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <utility>

#ifndef Q_OS_WIN
#include <array>
#include <cerrno>
#include <cstring>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace garrison {

#ifdef Q_OS_WIN

PortRefusalWatch::PortRefusalWatch(QUdpSocket& socket, QObject* parent)
    : QObject(parent), m_socket(socket)
{
    connect(&m_socket, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) {
                m_refused = m_refused || error == QAbstractSocket::ConnectionRefusedError;
            });
}

void PortRefusalWatch::watch()
{
    m_refused = false;
}

bool PortRefusalWatch::takeRefusal()
{
    // The reset waits in the socket until something reads: a look at the next datagram
    // brings it out when no datagram was read since.
    if (!m_refused && m_socket.hasPendingDatagrams()) {
        const qint64 size = m_socket.pendingDatagramSize();
        if (size <= 0) {
            m_socket.receiveDatagram(0);
        }
    }
    return std::exchange(m_refused, false);
}

#else

PortRefusalWatch::PortRefusalWatch(QUdpSocket& socket, QObject* parent)
    : QObject(parent), m_socket(socket)
{}

void PortRefusalWatch::watch()
{
    m_refused = false;
    const int on = 1;
    const int socket = static_cast<int>(m_socket.socketDescriptor());
    if (m_socket.peerAddress().protocol() == QAbstractSocket::IPv6Protocol) {
        ::setsockopt(socket, SOL_IPV6, IPV6_RECVERR, &on, sizeof on);
    } else {
        ::setsockopt(socket, SOL_IP, IP_RECVERR, &on, sizeof on);
    }
}

bool PortRefusalWatch::takeRefusal()
{
    std::array<char, 512> control{};
    char byte = 0;
    iovec buffer{&byte, 1};
    msghdr message{};
    message.msg_iov = &buffer;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    const int socket = static_cast<int>(m_socket.socketDescriptor());
    if (::recvmsg(socket, &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) {
        return false;
    }
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header;
         header = CMSG_NXTHDR(&message, header)) {
        if ((header->cmsg_level == SOL_IP && header->cmsg_type == IP_RECVERR) ||
            (header->cmsg_level == SOL_IPV6 && header->cmsg_type == IPV6_RECVERR)) {
            sock_extended_err error{};
            std::memcpy(&error, CMSG_DATA(header), sizeof error);
            if (error.ee_errno == ECONNREFUSED) {
                return true;
            }
        }
    }
    return false;
}

#endif

} // namespace garrison
