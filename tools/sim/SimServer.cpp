#include "SimServer.h"

#include "SimQuery.h"
#include "SimRedirectBuffer.h"
#include "SimRequest.h"

#include <QUdpSocket>

namespace garrison::sim {

SimServer::SimServer(const SimSettings& settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_console(settings, this),
      m_uconFeed(m_console.punkBuster()), m_tickTimer(this),
      m_queryLimit(settings.queryBurst, settings.queryPeriodMs)
{
    m_clock.start();
    m_receiveBuffer.resize(65536);
    connect(&m_console, &SimConsole::gameLogLine, this, &SimServer::log);
    connect(&m_console, &SimConsole::chatLine, this, &SimServer::chatLine);
    connect(&m_console, &SimConsole::punkBusterLine, this, &SimServer::punkBusterLine);
    connect(&m_console, &SimConsole::punkBusterLine, this,
            [this](const QString& line) { streamToRelays(SimUconFeed::punkBusterLine(line)); });
    connect(&m_console, &SimConsole::chatLine, this,
            [this](int, const QString& name, const QString& text) {
                streamToRelays(SimUconFeed::chatLine(name, text));
            });
    connect(&m_tickTimer, &QTimer::timeout, this, [this] { tick(m_tickTimer.interval()); });
}

SimServer::~SimServer() = default;

quint16 SimServer::start(const QHostAddress& address, quint16 port)
{
    stop();
    m_error.clear();
    if (!m_settings.logFile.isEmpty() && !m_log.isOpen() && !m_log.open(m_settings.logFile)) {
        m_error = QStringLiteral("cannot write the log %1: %2")
                      .arg(m_settings.logFile, m_log.errorString());
        return 0;
    }
    auto* socket = new QUdpSocket(this);
    if (!socket->bind(address, port)) {
        m_error = socket->errorString();
        delete socket;
        return 0;
    }
    m_socket = socket;
    m_address = address;
    m_port = m_socket->localPort();
    connect(m_socket, &QUdpSocket::readyRead, this, &SimServer::readPending);
    m_console.begin();
    if (m_settings.tickMs > 0) {
        m_tickTimer.start(m_settings.tickMs);
    }
    return m_port;
}

void SimServer::stop()
{
    m_tickTimer.stop();
    if (m_socket != nullptr) {
        m_socket->close();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
}

bool SimServer::isListening() const
{
    return m_socket != nullptr;
}

void SimServer::tick(int ms)
{
    m_console.tick(ms);
}

void SimServer::readPending()
{
    while (m_socket != nullptr && m_socket->hasPendingDatagrams()) {
        QHostAddress from;
        quint16 fromPort = 0;
        const qint64 size = m_socket->readDatagram(m_receiveBuffer.data(), m_receiveBuffer.size(),
                                                   &from, &fromPort);
        if (size < 0) {
            continue;
        }
        handle(QByteArrayView(m_receiveBuffer.constData(), size), from, fromPort);
    }
}

void SimServer::handle(QByteArrayView datagram, const QHostAddress& from, quint16 fromPort)
{
    if (SimUconFeed::isHello(datagram)) {
        const bool accepted = m_uconFeed.accept(datagram, from, fromPort);
        if (accepted) {
            send({SimUconFeed::welcome()}, from, fromPort);
        }
        Q_EMIT relayAnnounced(accepted);
        return;
    }
    if (const std::optional<SimQuery> query = SimQuery::parse(datagram)) {
        if (!m_queryLimit.allow(from, m_clock.elapsed())) {
            Q_EMIT queryDropped(query->word());
            return;
        }
        send({query->answer(m_console)}, from, fromPort);
        Q_EMIT queryAnswered(query->word(), from, fromPort);
        return;
    }
    const std::optional<SimRequest> request = SimRequest::parse(datagram);
    if (!request) {
        Q_EMIT datagramIgnored();
        return;
    }
    if (m_settings.cooldownMs > 0 && m_lastAccepted.isValid() &&
        m_lastAccepted.elapsed() < m_settings.cooldownMs) {
        Q_EMIT requestDropped(request->command);
        return;
    }
    m_lastAccepted.start();

    const QString peer = QStringLiteral("%1:%2").arg(from.toString()).arg(fromPort);
    if (m_settings.password.isEmpty()) {
        send({SimRedirectBuffer::datagram(
                 u"The server must set 'rcon_password' for clients to use 'rcon'.\n")},
             from, fromPort);
        Q_EMIT requestAnswered(request->command, 1);
        return;
    }
    if (request->password != m_settings.password) {
        log(QStringLiteral("Bad rcon from %1: %2").arg(peer, request->command));
        send({SimRedirectBuffer::datagram(u"Invalid password.\n")}, from, fromPort);
        Q_EMIT requestAnswered(request->command, 1);
        return;
    }
    log(QStringLiteral("Rcon from %1: %2").arg(peer, request->command));
    const QList<QByteArray> reply = m_console.execute(request->command);
    send(reply, from, fromPort);
    if (m_console.isShutDown()) {
        stop();
        Q_EMIT finished();
        return;
    }
    Q_EMIT requestAnswered(request->command, static_cast<int>(reply.size()));
}

void SimServer::send(const QList<QByteArray>& datagrams, const QHostAddress& to, quint16 toPort)
{
    for (const QByteArray& datagram : datagrams) {
        m_socket->writeDatagram(datagram, to, toPort);
    }
}

void SimServer::streamToRelays(const QByteArray& datagram)
{
    if (m_socket == nullptr) {
        return;
    }
    for (const SimUconFeed::Relay& relay : m_uconFeed.relays()) {
        m_socket->writeDatagram(datagram, relay.address, relay.port);
    }
}

void SimServer::log(const QString& line)
{
    m_log.write(m_console.world().now(), line);
}

} // namespace garrison::sim
