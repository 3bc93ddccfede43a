#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QString>
#include <QUdpSocket>
#include <optional>

namespace garrison::cli {

// One command, one reply, over the remote console's datagrams: the command line's use of the
// engine. A reply may span several datagrams; they are gathered until the server stays quiet.
class RconExchange {
public:
    // After the first datagram of a reply, the rest come back to back; this much silence ends
    // the reply.
    static constexpr int kQuietMs = 250;
    static constexpr int kRefusalCheckMs = 50;

    struct Reply {
        enum class Outcome { Answered, NoAnswer, Refused };
        Outcome outcome = Outcome::NoAnswer;
        QByteArray datagrams; // every datagram of the reply, in order, headers included
        int datagramCount = 0;
    };

    RconExchange(QHostAddress address, quint16 port, QString password, int timeoutMs, int paceMs);

    bool open(QString* error);
    // Sends the command no sooner than the pace after the one before, and waits for its reply.
    // Datagrams that arrived late for an earlier command are dropped first.
    Reply ask(const QString& command);

    // Host names resolve to their first IPv4 address, else the first address.
    static std::optional<QHostAddress> resolve(const QString& host);

private:
    void waitForPace();
    void watchForRefusal();
    bool portUnreachable();

    QUdpSocket m_socket;
    QHostAddress m_address;
    quint16 m_port;
    QString m_password;
    int m_timeoutMs;
    int m_paceMs;
    QElapsedTimer m_sinceLastSend;
};

} // namespace garrison::cli
