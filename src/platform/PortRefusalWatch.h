#pragma once

#include <QObject>

class QUdpSocket;

namespace garrison {

// Tells whether a connected UDP socket's peer answered "port unreachable": nothing listens
// there, and waiting out the timeout would only repeat it. Linux queues that answer where only
// this watch reads it (Qt takes the socket's pending error while it looks for datagrams and
// drops it); Windows reports it as a connection reset when the next datagram is read, which
// QUdpSocket passes on as ConnectionRefusedError.
class PortRefusalWatch : public QObject {
    Q_OBJECT

public:
    explicit PortRefusalWatch(QUdpSocket& socket, QObject* parent = nullptr);

    // After every connect: a new connection starts with no refusal.
    void watch();
    // Whether a refusal came since watch() or the last call that said so.
    bool takeRefusal();

private:
    QUdpSocket& m_socket;
    bool m_refused = false;
};

} // namespace garrison
