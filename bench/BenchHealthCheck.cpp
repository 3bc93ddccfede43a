// The daemon's side of one health check: an RCON "status" request to the game server on
// loopback and the reading of its reply. The simulated server answers on a thread of its own,
// so the CPU column is the daemon's cost per query (the target is under 1 ms).
#include "RconChannel.h"
#include "SimServerThread.h"

#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

using garrisond::RconChannel;
using namespace garrison::sim;

namespace {

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
    garrison::bench::SimServerThread server(static_cast<int>(state.range(0)));
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
