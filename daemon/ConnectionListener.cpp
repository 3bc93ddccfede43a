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
    addPendingConnection(socket);
}

} // namespace garrisond
