#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QUdpSocket>

namespace garrison::test {

// A UDP socket on 127.0.0.1 that plays the game server: it records every datagram and can
// answer the last sender.
class UdpPeer : public QObject {
    Q_OBJECT

public:
    struct Datagram {
        QByteArray data;
        QHostAddress sender;
        quint16 senderPort = 0;
    };

    explicit UdpPeer(QObject* parent = nullptr);

    quint16 port() const { return m_socket.localPort(); }
    QString portText() const { return QString::number(port()); }
    const QList<Datagram>& received() const { return m_received; }
    QByteArray lastData() const { return m_received.value(m_received.size() - 1).data; }
    // Waits (bounded) until at least count datagrams have arrived.
    bool waitFor(int count, int timeoutMs = 5000);
    void clear() { m_received.clear(); }

    // Answers the sender of the last datagram, as a server does.
    void reply(const QByteArray& data);
    // The reply header followed by text.
    static QByteArray replyDatagram(const QByteArray& text);

private:
    QUdpSocket m_socket;
    QList<Datagram> m_received;
};

} // namespace garrison::test
