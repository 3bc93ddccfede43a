#pragma once

#include "RelayIni.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUdpSocket>

namespace garrison::relay {

// Listens on the ini's own address, announces itself to the server and appends every console
// line the server sends to the log, CR LF ended; datagrams from any other address or port are
// dropped. Its own status lines carry no UCON marker, so the
// program that tails the log filters them out.
class Relay : public QObject {
    Q_OBJECT

public:
    static constexpr int kHelloIntervalMs = 3000;

    Relay(const RelayIni& ini, const QString& logPath, QObject* parent = nullptr);

    // False when the server cannot be resolved or no port can be bound; errorString() says why.
    bool start();
    QString errorString() const { return m_error; }
    quint16 localPort() const { return m_socket.localPort(); }

private:
    void sendHello();
    bool fromServer(const QHostAddress& sender, quint16 senderPort) const;
    void readPending();
    void log(const QByteArray& line);

    RelayIni m_ini;
    QString m_logPath;
    QUdpSocket m_socket;
    QTimer m_helloTimer;
    QHostAddress m_server;
    QByteArray m_buffer;
    QString m_error;
    bool m_welcomed = false;
    bool m_strangerLogged = false;
};

} // namespace garrison::relay
