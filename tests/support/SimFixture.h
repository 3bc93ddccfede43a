#pragma once

#include "SimServer.h"
#include "SimSettings.h"
#include "rcon/PlayerRow.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QStringList>
#include <QTest>
#include <QUdpSocket>
#include <memory>
#include <optional>

namespace garrison {

// A grid row in a failed comparison, its cells separated by "|".
inline char* toString(const PlayerRow& row)
{
    return QTest::toString(QStringList(row.cells.begin(), row.cells.end()).join(u'|'));
}

} // namespace garrison

namespace garrison::test {

// A simulated game server inside the test process, on 127.0.0.1 and a free port, with a
// private client socket for talking to it. Players stand still: no simulation timer runs.
class SimFixture {
public:
    static constexpr int kTimeoutMs = 5000;

    // Password "secret", seed 1, 8 players, no simulation timer.
    static sim::SimSettings frozenSettings();
    // A frozen server as the server list sees it, that answers every public query at once.
    static sim::SimSettings listedSettings(const char* map, const char* gametype, int players,
                                           const char* joinPassword);

    explicit SimFixture(const sim::SimSettings& settings = frozenSettings());
    ~SimFixture();

    // On the given port, or a free one; false when nothing could be bound (the server's
    // errorString() says why).
    bool start(quint16 port = 0);
    quint16 port() const { return m_port; }
    QString password() const { return m_server->settings().password; }
    sim::SimServer& server() { return *m_server; }
    sim::SimConsole& console() { return m_server->console(); }
    // Every command the server answered, in order, whoever sent it.
    const QStringList& answered() const { return m_answered; }
    // The players now on the server, as the player grid shows them.
    QList<PlayerRow> gridRows();

    // Sends one request with the fixture's password and returns every reply datagram, header
    // included; empty when none came within the time.
    QList<QByteArray> rcon(const QString& command, int timeoutMs = kTimeoutMs);

    // Raw traffic on the client socket, for malformed requests.
    void sendRaw(const QByteArray& datagram);
    // Sends a connectionless query and returns the answer; nothing when the server drops or
    // ignores the datagram.
    std::optional<QByteArray> query(const QByteArray& datagram, int timeoutMs = kTimeoutMs);

private:
    std::unique_ptr<sim::SimServer> m_server;
    QUdpSocket m_client;
    quint16 m_port = 0;
    QStringList m_answered;
};

} // namespace garrison::test
