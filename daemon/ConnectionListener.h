#pragma once

#include <QTcpServer>

namespace garrisond {

// Accepts TCP connections as QSslSocket (plain QTcpSocket with allow_plaintext), so that a
// connection counts against the limits from its first moment, before any handshake; the
// session that takes it starts the handshake.
class ConnectionListener : public QTcpServer {
    Q_OBJECT

public:
    using QTcpServer::QTcpServer;
    void setPlaintext(bool plaintext) { m_plaintext = plaintext; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    bool m_plaintext = false;
};

} // namespace garrisond
