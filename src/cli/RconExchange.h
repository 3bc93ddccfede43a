#pragma once

#include "platform/PortRefusalWatch.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QString>
#include <QUdpSocket>
#include <optional>

namespace garrison::cli {

// One command, one reply, over the remote console's datagrams: the command line's use of the
// engine. A reply may span several datagrams; they are gathered until the server stays quiet,
// within bounds that a broken or hostile server cannot stretch: the reply must end within the
// timeout counted from the request, and it may not grow past kMaxReplyBytes.
class RconExchange {
public:
    // After the first datagram of a reply, the rest come back to back; this much silence ends
    // the reply.
    static constexpr int kQuietMs = 250;
    static constexpr int kRefusalCheckMs = 50;
    // A full 64-player status is under 8 KB and a long serverinfo a few KB; even a ban list of
    // tens of thousands of entries (which GARRISON's window keeps up to 8 M characters) stays
    // below this. Only a server that never stops sending reaches it.
    static constexpr qsizetype kMaxReplyBytes = 8 * 1024 * 1024;
    // Room for a long reply while the process is busy (the system caps the size).
    static constexpr int kReceiveBuffer = 4 * 1024 * 1024;

    struct Reply {
        enum class Outcome {
            Answered,
            NoAnswer,
            Refused,
            TooLong,    // cut at kMaxReplyBytes
            Unfinished, // still coming when the timeout was over: cut there
        };
        Outcome outcome = Outcome::NoAnswer;
        QByteArray datagrams; // every datagram of the reply, in order, headers included
        int datagramCount = 0;
        // Datagrams the system dropped meanwhile because its buffer for the socket was full:
        // the reply is incomplete even when it ended as usual.
        quint64 lost = 0;
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
    void connectSocket();
    void discardLate();

    QUdpSocket m_socket;
    QHostAddress m_address;
    quint16 m_port;
    QString m_password;
    int m_timeoutMs;
    int m_paceMs;
    QElapsedTimer m_sinceLastSend;
    PortRefusalWatch m_refusals{m_socket};
};

} // namespace garrison::cli
