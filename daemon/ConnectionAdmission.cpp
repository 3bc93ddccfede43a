#include "ConnectionAdmission.h"

#include <QHash>
#include <QHostAddress>
#include <QSslSocket>
#include <QTimer>

namespace garrisond {

namespace {

const QByteArray kTooManyFromAddress = "DENIED Too many connections from this address";
constexpr int kTurnAwayMs = 3000;
constexpr qsizetype kMaxTurningAway = 32;

// The oldest of the connections that `fits`, or -1.
template <typename Fits>
qsizetype oldest(const QList<ConnectionAdmission::Waiting>& waiting, Fits fits)
{
    qsizetype found = -1;
    for (qsizetype i = 0; i < waiting.size(); ++i) {
        if (!waiting.at(i).checking && fits(waiting.at(i)) &&
            (found < 0 || waiting.at(i).ageMs > waiting.at(found).ageMs)) {
            found = i;
        }
    }
    return found;
}

} // namespace

QString ConnectionAdmission::addressKey(const QString& address, int ipv6PrefixBits)
{
    const QHostAddress host(address);
    if (host.protocol() != QAbstractSocket::IPv6Protocol) {
        return address;
    }
    Q_IPV6ADDR bytes = host.toIPv6Address();
    for (int bit = ipv6PrefixBits; bit < 128; ++bit) {
        bytes[bit / 8] &= static_cast<quint8>(~(0x80 >> (bit % 8)));
    }
    return QHostAddress(bytes).toString() + QLatin1Char('/') + QString::number(ipv6PrefixBits);
}

ConnectionAdmission::Decision ConnectionAdmission::decide(const QList<Waiting>& waiting,
                                                          const QString& key, const Limits& limits)
{
    QHash<QString, int> counts;
    for (const Waiting& connection : waiting) {
        ++counts[connection.key];
    }
    if (counts.value(key) >= limits.perAddress) {
        return {};
    }
    if (waiting.size() < limits.total) {
        return {true, -1};
    }
    ++counts[key];
    int busiest = 1;
    for (const Waiting& connection : waiting) {
        if (!connection.checking) {
            busiest = std::max(busiest, counts.value(connection.key));
        }
    }
    qsizetype closing = -1;
    if (busiest > 1) {
        // Of equally busy addresses, one that was so before the newcomer came gives way first.
        closing = oldest(waiting, [&](const Waiting& w) {
            return counts.value(w.key) == busiest && w.key != key;
        });
        if (closing < 0) {
            closing =
                oldest(waiting, [&](const Waiting& w) { return counts.value(w.key) == busiest; });
        }
    } else {
        closing = oldest(waiting, [](const Waiting& w) { return !w.heard; });
        if (closing < 0) {
            closing = oldest(waiting, [](const Waiting& w) { return w.ageMs >= kLoginWindowMs; });
        }
    }
    return {closing >= 0, closing};
}

void ConnectionAdmission::turnAway(QTcpSocket* socket, const QSslConfiguration* tls)
{
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    m_turningAway.removeAll(nullptr);
    if (m_turningAway.size() >= kMaxTurningAway) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_turningAway.append(socket);
    QTimer::singleShot(kTurnAwayMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    auto* secure = qobject_cast<QSslSocket*>(socket);
    if (secure == nullptr || tls == nullptr) {
        socket->write(kTooManyFromAddress);
        socket->disconnectFromHost();
        return;
    }
    QObject::connect(secure, &QSslSocket::encrypted, secure, [secure] {
        secure->write(kTooManyFromAddress);
        secure->disconnectFromHost();
    });
    secure->setSslConfiguration(*tls);
    secure->startServerEncryption();
}

} // namespace garrisond
