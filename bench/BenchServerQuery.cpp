#include "SimServer.h"
#include "platform/Dialogs.h"
#include "rcon/ServerQuery.h"
#include "serverlist/SavedServers.h"
#include "serverlist/ServerListModel.h"
#include "serverlist/ServerListWindow.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QMutex>
#include <QSet>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

using garrison::QueriedServer;
using garrison::ServerQuery;
using namespace garrison;
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
                                 ++m_answered;
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
    // getinfo and getstatus answered, by all servers together.
    qint64 answered()
    {
        const QMutexLocker lock(&m_mutex);
        return m_answered;
    }

private:
    QThread m_thread;
    std::vector<SimServer*> m_servers;
    std::vector<quint16> m_ports;
    QMutex m_mutex;
    QSet<quint16> m_sourcePorts;
    qint64 m_answered = 0;
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

class NoDialogs final : public Dialogs {
public:
    BoxAnswer message(const QString&, const QString&, BoxIcon, BoxButtons) override
    {
        return BoxAnswer::Ok;
    }
    QString input(const QString&, const QString&, const QString&) override { return {}; }
    QString openFile(const QString&, const QString&, const QString&) override { return {}; }
};

// How late a timer of a short interval fires: the longest time the event loop was kept from
// anything else.
class StallMeter {
public:
    static constexpr int kIntervalMs = 2;

    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kIntervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longestNs = std::max(m_longestNs, m_since.nsecsElapsed());
            m_since.start();
        });
    }
    void start()
    {
        m_longestNs = 0;
        m_since.start();
        m_timer.start();
    }
    double longestStallMs() const { return std::max(0.0, double(m_longestNs) / 1e6 - kIntervalMs); }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longestNs = 0;
};

// The server list window on 100 added addresses, sorted by ping so that rows move as answers
// come: the first round from opening it, then round after round. Every row must be filled by
// the first round, from one socket; the window's event loop must never wait long.
void serverListWindow(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    SimFleet fleet(count);
    QList<SavedServers::Address> addresses;
    for (const quint16 port : fleet.ports()) {
        addresses.append({QStringLiteral("127.0.0.1"), port});
    }
    SavedServers::saveAddedAddresses(addresses);

    NoDialogs dialogs;
    ServerListWindow window(dialogs);
    ServerListModel& model = window.model();
    qint64 clock = 0;
    model.query().setClock([&clock] { return clock; });
    window.resize(1000, 700);
    window.findChild<QTableView*>(QStringLiteral("tblServers"))
        ->sortByColumn(ServerListModel::Ping, Qt::AscendingOrder);
    int finished = 0;
    QEventLoop loop;
    QObject::connect(&model.query(), &ServerQuery::queryFinished, &loop, [&] {
        if (++finished == count) {
            loop.quit();
        }
    });
    const auto filledRows = [&] {
        int filled = 0;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QueriedServer& server = model.server(row);
            filled += server.answered() && server.playersKnown && server.players.size() == 12;
        }
        return filled;
    };

    StallMeter meter;
    meter.start();
    QElapsedTimer firstRound;
    firstRound.start();
    window.show();
    loop.exec();
    const double firstRoundMs = double(firstRound.nsecsElapsed()) / 1e6;
    const int filledByFirstRound = filledRows();
    const qint64 queriesOfFirstRound = fleet.answered();
    double longest = meter.longestStallMs();
    for (auto _ : state) {
        finished = 0;
        clock += ServerQuery::kMinimumIntervalMs;
        meter.start();
        model.query().refresh();
        loop.exec();
        longest = std::max(longest, meter.longestStallMs());
    }
    if (filledByFirstRound != count || queriesOfFirstRound != 2 * count || filledRows() != count) {
        state.SkipWithError("a row was not filled by its round");
    }
    state.counters["rows_filled_first_round"] = filledByFirstRound;
    state.counters["first_round_ms"] = firstRoundMs;
    state.counters["longest_stall_ms"] = longest;
    state.counters["sockets"] = static_cast<double>(fleet.sourcePortCount());
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(serverListWindow)->Arg(100)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
