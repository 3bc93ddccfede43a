#include "ConnectionListener.h"

#include <QSslSocket>
#include <unistd.h>

namespace garrisond {

void ConnectionListener::incomingConnection(qintptr descriptor)
{
    QTcpSocket* socket = m_plaintext ? new QTcpSocket(this) : new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(static_cast<int>(descriptor));
        return;
    }
    // Every answer is one write: Nagle's algorithm would only hold the answer to a login until
    // the client acknowledges the handshake's last segment, up to its delayed-ACK time.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    addPendingConnection(socket);
}

} // namespace garrisond
