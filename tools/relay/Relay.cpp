#include "Relay.h"

#include "RelayWire.h"

#include <QFile>
#include <QHostInfo>
#include <QNetworkInterface>

namespace garrison::relay {

namespace {

QHostAddress resolve(const QString& host)
{
    const QHostAddress address(host);
    if (!address.isNull()) {
        return address;
    }
    const QList<QHostAddress> found = QHostInfo::fromName(host).addresses();
    for (const QHostAddress& candidate : found) {
        if (candidate.protocol() == QAbstractSocket::IPv4Protocol) {
            return candidate;
        }
    }
    return found.isEmpty() ? QHostAddress() : found.constFirst();
}

// The ini names this machine's address; anything else (a stale or foreign address) would make
// the bind fail, so the relay then stays on loopback.
QHostAddress listenAddress(const QString& configured)
{
    const QHostAddress address(configured);
    if (!address.isNull() && QNetworkInterface::allAddresses().contains(address)) {
        return address;
    }
    return QHostAddress(QHostAddress::LocalHost);
}

} // namespace

Relay::Relay(const RelayIni& ini, const QString& logPath, QObject* parent)
    : QObject(parent), m_ini(ini), m_logPath(logPath), m_socket(this), m_helloTimer(this)
{
    m_buffer.resize(65536);
    connect(&m_socket, &QUdpSocket::readyRead, this, &Relay::readPending);
    connect(&m_helloTimer, &QTimer::timeout, this, &Relay::sendHello);
}

bool Relay::start()
{
    m_server = resolve(m_ini.serverHost);
    if (m_server.isNull()) {
        m_error = QStringLiteral("cannot resolve the server %1").arg(m_ini.serverHost);
        log("Relay cannot resolve " + m_ini.serverHost.toLatin1());
        return false;
    }
    const QHostAddress address = listenAddress(m_ini.myAddress);
    if (!m_socket.bind(address, m_ini.myPort)) {
        // Another relay may hold the port; any port will do for the server's answers.
        log("Relay port " + QByteArray::number(m_ini.myPort) + " is busy");
        if (!m_socket.bind(address, 0)) {
            m_error = m_socket.errorString();
            log("Relay cannot listen: " + m_error.toLatin1());
            return false;
        }
    }
    log("Relay started on " + address.toString().toLatin1() + ':' +
        QByteArray::number(m_socket.localPort()));
    sendHello();
    m_helloTimer.start(kHelloIntervalMs);
    return true;
}

void Relay::sendHello()
{
    m_socket.writeDatagram(RelayWire::hello(m_ini.login, m_ini.password), m_server,
                           m_ini.serverPort);
}

// Only the server's own datagrams count: anybody can send a datagram to the relay's port, and
// a line taken from a stranger would reach the administrator's chat page as the server's.
bool Relay::fromServer(const QHostAddress& sender, quint16 senderPort) const
{
    return senderPort == m_ini.serverPort &&
           sender.isEqual(m_server, QHostAddress::TolerantConversion);
}

void Relay::readPending()
{
    while (m_socket.hasPendingDatagrams()) {
        QHostAddress sender;
        quint16 senderPort = 0;
        const qint64 size =
            m_socket.readDatagram(m_buffer.data(), m_buffer.size(), &sender, &senderPort);
        if (size < 0) {
            continue;
        }
        if (!fromServer(sender, senderPort)) {
            if (!m_strangerLogged) {
                m_strangerLogged = true;
                log("Relay ignores datagrams from " + sender.toString().toLatin1() + ':' +
                    QByteArray::number(senderPort) + ": only the server's are read");
            }
            continue;
        }
        const QByteArrayView datagram(m_buffer.constData(), size);
        if (RelayWire::isWelcome(datagram)) {
            if (!m_welcomed) {
                m_welcomed = true;
                m_helloTimer.stop();
                log("Connected to server " + m_ini.serverHost.toLatin1() + ':' +
                    QByteArray::number(m_ini.serverPort));
            }
            continue;
        }
        const QList<QByteArray> lines = RelayWire::lines(datagram);
        for (const QByteArray& line : lines) {
            log(line);
        }
    }
}

void Relay::log(const QByteArray& line)
{
    // Opened for every line, so that the reader never meets a file held open between lines.
    QFile file(m_logPath);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        file.write(line + "\r\n");
    }
}

} // namespace garrison::relay
