#pragma once

#include <QList>
#include <QPointer>
#include <QSslConfiguration>
#include <QString>

class QTcpSocket;

namespace garrisond {

// Which connections that have not logged in yet may stay when another one comes. Every address
// (an IPv6 client by its network, see addressKey) is held to a number of them, and all of them
// to another. When every place is taken, the address with the most connections gives up its
// oldest one, so that each address keeps one place through its handshake and login before any
// address has a second: an address that opens connection after connection only replaces its
// own. When each address has just one, the oldest connection that has not said a byte gives
// way, then the oldest one past the handshake and login window; while all are within it, the
// newcomer is turned away. A connection whose password is being checked never gives way.
class ConnectionAdmission {
public:
    // IPv6 clients may use any address of their network: a /56 is a common home allocation.
    static constexpr int kDefaultIpv6PrefixBits = 56;
    // Time that a client far away needs for the handshake and its login.
    static constexpr qint64 kLoginWindowMs = 5000;

    struct Limits {
        int total = 64;
        int perAddress = 4;
    };
    // One waiting connection, as the decision sees it.
    struct Waiting {
        QString key;
        qint64 ageMs = 0;
        bool heard = false;    // it has sent something
        bool checking = false; // its password is being checked
    };
    struct Decision {
        bool admitted = false;
        qsizetype closing = -1; // the waiting connection that gives way, or -1
    };

    // The address itself for IPv4, the network of its first `ipv6PrefixBits` bits for IPv6.
    static QString addressKey(const QString& address, int ipv6PrefixBits = kDefaultIpv6PrefixBits);
    // `waiting` oldest first; `key` the newcomer's.
    static Decision decide(const QList<Waiting>& waiting, const QString& key, const Limits& limits);

    // Tells a refused connection why within a few seconds (after the TLS handshake, when
    // `tls` is not null), or drops it untold when many are being told already, so that
    // refusals cannot use up the processor in handshakes.
    void turnAway(QTcpSocket* socket, const QSslConfiguration* tls);

private:
    QList<QPointer<QTcpSocket>> m_turningAway;
};

} // namespace garrisond
