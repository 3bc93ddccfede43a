#pragma once

#include "SimConsole.h"
#include "SimGameLog.h"
#include "SimRateLimit.h"
#include "SimSettings.h"
#include "SimUconFeed.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

class QUdpSocket;

namespace garrison::sim {

// The simulated game server on a UDP port: takes remote-console requests, answers them with the
// console's reply datagrams, runs the player simulation on a timer and writes the server log.
class SimServer : public QObject {
    Q_OBJECT

public:
    static constexpr quint16 kDefaultPort = 28960;

    explicit SimServer(const SimSettings& settings, QObject* parent = nullptr);
    ~SimServer() override;

    // The bound port (the system's choice for port 0), or 0 when it cannot listen.
    quint16 start(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost),
                  quint16 port = kDefaultPort);
    void stop();
    bool isListening() const;
    QHostAddress address() const { return m_address; }
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }

    // Moves the simulation on; what the timer calls, and what tests call instead of waiting.
    void tick(int ms);
    SimConsole& console() { return m_console; }
    const SimUconFeed& uconFeed() const { return m_uconFeed; }
    const SimSettings& settings() const { return m_settings; }

Q_SIGNALS:
    // After all reply datagrams of one request have been sent (also "Invalid password.").
    void requestAnswered(const QString& command, int datagrams);
    // A datagram that is not a remote-console request.
    void datagramIgnored();
    // A request that came within the cooldown.
    void requestDropped(const QString& command);
    // "getinfo" or "getstatus" answered, and from where it came.
    void queryAnswered(const QString& query, const QHostAddress& from, quint16 fromPort);
    // A query beyond the per-address rate limit: no answer.
    void queryDropped(const QString& query);
    // "Quit" or "killserver" ended the server; it no longer listens.
    void finished();
    void chatLine(int slot, const QString& name, const QString& text);
    void punkBusterLine(const QString& line);
    // A UCON relay said hello; accepted ones receive the console from now on.
    void relayAnnounced(bool accepted);

private:
    void readPending();
    void handle(QByteArrayView datagram, const QHostAddress& from, quint16 fromPort);
    void send(const QList<QByteArray>& datagrams, const QHostAddress& to, quint16 toPort);
    void log(const QString& line);
    void streamToRelays(const QByteArray& datagram);

    // Members are also children, so that moveToThread() takes them along.
    SimSettings m_settings;
    SimConsole m_console;
    SimGameLog m_log;
    SimUconFeed m_uconFeed;
    QUdpSocket* m_socket = nullptr;
    QTimer m_tickTimer;
    QElapsedTimer m_lastAccepted;
    SimRateLimit m_queryLimit;
    QElapsedTimer m_clock;
    QByteArray m_receiveBuffer;
    QHostAddress m_address;
    quint16 m_port = 0;
    QString m_error;
};

} // namespace garrison::sim
