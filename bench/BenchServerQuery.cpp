#include "SimServer.h"
#include "rcon/ServerQuery.h"

#include <QEventLoop>
#include <QMutex>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

using garrison::QueriedServer;
using garrison::ServerQuery;
using namespace garrison::sim;

namespace {

// Simulated servers on loopback ports, all on one second thread with its own event loop, as
// other processes would be. Each remembers from which ports it was asked.
class SimFleet {
public:
    explicit SimFleet(int count)
    {
        SimSettings settings;
        settings.players = 12;
        settings.tickMs = 0;
        // The benchmark asks again every few milliseconds on the list's own clock.
        settings.queryBurst = 0;
        for (int i = 0; i < count; ++i) {
            settings.seed = static_cast<quint32>(i + 1);
            auto* server = new SimServer(settings);
            server->moveToThread(&m_thread);
            QObject::connect(server, &SimServer::queryAnswered, server,
                             [this](const QString&, const QHostAddress&, quint16 port) {
                                 const QMutexLocker lock(&m_mutex);
                                 m_sourcePorts.insert(port);
                             });
            m_servers.push_back(server);
        }
        m_thread.start();
        for (SimServer* server : m_servers) {
            quint16 port = 0;
            QMetaObject::invokeMethod(
                server, [&] { port = server->start(QHostAddress(QHostAddress::LocalHost), 0); },
                Qt::BlockingQueuedConnection);
            m_ports.push_back(port);
        }
    }
    ~SimFleet()
    {
        for (SimServer* server : m_servers) {
            QMetaObject::invokeMethod(
                server, [server] { delete server; }, Qt::BlockingQueuedConnection);
        }
        m_thread.quit();
        m_thread.wait();
    }
    const std::vector<quint16>& ports() const { return m_ports; }
    qsizetype sourcePortCount()
    {
        const QMutexLocker lock(&m_mutex);
        return m_sourcePorts.size();
    }

private:
    QThread m_thread;
    std::vector<SimServer*> m_servers;
    std::vector<quint16> m_ports;
    QMutex m_mutex;
    QSet<quint16> m_sourcePorts;
};

// One round of the server list: from the refresh until every row holds its server's answers
// (host name, map and the players from getstatus).
void fullRound(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    SimFleet fleet(count);
    qint64 clock = 0;
    ServerQuery query;
    query.setClock([&clock] { return clock; });
    for (const quint16 port : fleet.ports()) {
        query.addServer(QStringLiteral("127.0.0.1"), port);
    }
    int finished = 0;
    QEventLoop loop;
    QObject::connect(&query, &ServerQuery::queryFinished, &loop, [&] {
        if (++finished == count) {
            loop.quit();
        }
    });
    for (auto _ : state) {
        finished = 0;
        clock += ServerQuery::kMinimumIntervalMs;
        query.refresh();
        loop.exec();
    }
    int filled = 0;
    for (int row = 0; row < query.count(); ++row) {
        const QueriedServer& server = query.server(row);
        filled += server.answered() && server.playersKnown && !server.map.isEmpty() &&
                  server.players.size() == 12;
    }
    if (filled != count) {
        state.SkipWithError("a row was left unfilled");
    }
    state.counters["rows_filled"] = filled;
    state.counters["sockets"] = static_cast<double>(fleet.sourcePortCount());
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(fullRound)->Arg(10)->Arg(100)->UseRealTime()->Unit(benchmark::kMillisecond);

// A list opened on servers it has never asked: from adding them until every row is filled.
void firstFill(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    SimFleet fleet(count);
    int unfilled = 0;
    for (auto _ : state) {
        ServerQuery query;
        int finished = 0;
        QEventLoop loop;
        QObject::connect(&query, &ServerQuery::queryFinished, &loop, [&] {
            if (++finished == count) {
                loop.quit();
            }
        });
        for (const quint16 port : fleet.ports()) {
            query.addServer(QStringLiteral("127.0.0.1"), port);
        }
        query.start();
        loop.exec();
        for (int row = 0; row < count; ++row) {
            unfilled += !query.server(row).playersKnown;
        }
    }
    if (unfilled > 0) {
        state.SkipWithError("a row was left unfilled");
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(firstFill)->Arg(100)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
