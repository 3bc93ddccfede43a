// The daemon's side of one health check: an RCON "status" request to the game server on
// loopback and the reading of its reply. The simulated server answers on a thread of its own,
// so the CPU column is the daemon's cost per query (the target is under 1 ms).
#include "RconChannel.h"
#include "SimServer.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <benchmark/benchmark.h>

using garrisond::RconChannel;
using namespace garrison::sim;

namespace {

class ServerThread {
public:
    explicit ServerThread(int players)
    {
        SimSettings settings;
        settings.players = players;
        settings.tickMs = 0;
        m_server = new SimServer(settings);
        m_server->moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            m_server,
            [this] { m_port = m_server->start(QHostAddress(QHostAddress::LocalHost), 0); },
            Qt::BlockingQueuedConnection);
    }
    ~ServerThread()
    {
        QMetaObject::invokeMethod(
            m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    quint16 port() const { return m_port; }

private:
    QThread m_thread;
    SimServer* m_server = nullptr;
    quint16 m_port = 0;
};

// Sends "status" and runs the event loop until `datagrams` replies came; false on a timeout.
bool query(RconChannel& channel, int datagrams, int* replies)
{
    QEventLoop loop;
    *replies = 0;
    const QMetaObject::Connection counted =
        QObject::connect(&channel, &RconChannel::replied, &loop, [&] {
            if (++*replies >= datagrams) {
                loop.quit();
            }
        });
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    channel.send(QStringLiteral("status"));
    if (*replies < datagrams) {
        loop.exec();
    }
    QObject::disconnect(counted);
    return *replies >= datagrams;
}

void healthCheck(benchmark::State& state)
{
    ServerThread server(static_cast<int>(state.range(0)));
    RconChannel channel;
    channel.configure(QStringLiteral("secret"), server.port());
    // How many datagrams a status reply takes at this number of players.
    int datagrams = 0;
    query(channel, 1000, &datagrams);
    if (datagrams == 0) {
        state.SkipWithError("no reply");
        return;
    }
    int replies = 0;
    for (auto _ : state) {
        if (!query(channel, datagrams, &replies)) {
            state.SkipWithError("a reply went missing");
            break;
        }
    }
    state.counters["datagrams"] = datagrams;
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(healthCheck)->Arg(8)->Arg(64);

} // namespace
