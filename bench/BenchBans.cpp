// garrisond with 100,000 bans: the check of a player on his join (and on a status, with his
// address), and reading the list at start.
#include "BanStore.h"
#include "DaemonConfig.h"
#include "DaemonServer.h"
#include "LatencyCounters.h"
#include "SimServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <benchmark/benchmark.h>

using garrison::BanRecord;
using garrisond::BanStore;

namespace {

constexpr int kBans = 100000;

// Waits for the store's answer to a change.
void waitFor(BanStore& store, const QList<BanRecord>& bans)
{
    bool done = false;
    store.addAll(bans, nullptr, [&done](const BanStore::Result&) { done = true; });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
}

// A ban file of kBans bans: mostly guids in both forms, some addresses, a few ranges.
class BanFolder {
public:
    BanFolder()
    {
        BanStore store;
        QString error;
        store.open(path(), std::nullopt, &error);
        QList<BanRecord> bans;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (int i = 0; i < kBans; ++i) {
            BanRecord ban;
            if (i % 10 == 9) {
                ban.address =
                    QStringLiteral("10.%1.%2.%3").arg(i >> 16).arg((i >> 8) & 255).arg(i & 255);
            } else if (i % 1000 == 998) {
                ban.address = QStringLiteral("172.%1.0.0").arg(16 + i % 16);
                ban.prefixLength = 16;
            } else {
                ban.guid = i % 2 == 0 ? QString::number(100000000 + i)
                                      : QStringLiteral("%1").arg(i, 32, 16, QLatin1Char('0'));
            }
            ban.names = {QStringLiteral("^1Player^7%1").arg(i)};
            ban.reason = QStringLiteral("wallhack, seen by three admins");
            ban.issuedBy = QStringLiteral("alice");
            ban.issuedAt = now;
            if (i % 3 == 0) {
                ban.until = now.addDays(30);
            }
            bans.append(ban);
        }
        waitFor(store, bans);
        QFile config(configPath());
        config.open(QIODevice::WriteOnly);
        config.write("rcon_password = secret\nallow_plaintext = true\n");
    }
    QString path() const { return m_dir.filePath(QStringLiteral("garrisond-bans.sqlite")); }
    QString configPath() const { return m_dir.filePath(QStringLiteral("garrisond.conf")); }

private:
    QTemporaryDir m_dir;
};

BanFolder& folder()
{
    static BanFolder bans;
    return bans;
}

void BM_OpenBans(benchmark::State& state)
{
    for (auto _ : state) {
        BanStore store;
        QString error;
        if (!store.open(folder().path(), std::nullopt, &error) || store.size() != kBans) {
            state.SkipWithError(qPrintable(error));
        }
    }
}
BENCHMARK(BM_OpenBans)->Unit(benchmark::kMillisecond)->Iterations(3);

// garrisond's start: until it listens, and until the list is read and enforced.
void BM_GarrisondStart(benchmark::State& state)
{
    garrisond::DaemonConfig config;
    QString error;
    garrisond::DaemonConfig::load(folder().configPath(), &config, &error);
    double enforcingMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        garrisond::DaemonServer daemon(config);
        if (!daemon.start(QHostAddress(QHostAddress::LocalHost), 0)) {
            state.SkipWithError(qPrintable(daemon.errorString()));
            break;
        }
        state.PauseTiming();
        QEventLoop loop;
        QObject::connect(&daemon.bans(), &BanStore::loaded, &loop, &QEventLoop::quit);
        if (daemon.bans().isLoading()) {
            loop.exec();
        }
        enforcingMs += static_cast<double>(clock.nsecsElapsed()) / 1e6;
        if (daemon.bans().size() != kBans) {
            state.SkipWithError("the list was not read");
        }
        state.ResumeTiming();
    }
    state.counters["enforcing_ms"] =
        benchmark::Counter(enforcingMs, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_GarrisondStart)->Unit(benchmark::kMillisecond)->Iterations(3);

// A banned player's join line written by a simulated server on a thread of its own, to the
// player gone from it: garrisond reads the line, tells him and kicks him (50 joins).
void BM_JoinToKick(benchmark::State& state)
{
    QTemporaryDir dir;
    garrison::sim::SimSettings settings;
    settings.players = 0;
    settings.tickMs = 0;
    settings.logFile = dir.filePath(QStringLiteral("games_mp.log"));
    QThread thread;
    auto* sim = new garrison::sim::SimServer(settings);
    sim->moveToThread(&thread);
    thread.start();
    quint16 port = 0;
    QMetaObject::invokeMethod(
        sim, [&] { port = sim->start(QHostAddress(QHostAddress::LocalHost), 0); },
        Qt::BlockingQueuedConnection);
    QFile file(dir.filePath(QStringLiteral("garrisond.conf")));
    file.open(QIODevice::WriteOnly);
    file.write(QStringLiteral("rcon_password = %1\nserver_port = %2\ngame_log = %3\n"
                              "allow_plaintext = true\nhealth_interval = 0s\n")
                   .arg(settings.password)
                   .arg(port)
                   .arg(settings.logFile)
                   .toUtf8());
    file.close();
    garrisond::DaemonConfig config;
    QString error;
    garrisond::DaemonConfig::load(file.fileName(), &config, &error);
    garrisond::DaemonServer daemon(config);
    daemon.start(QHostAddress(QHostAddress::LocalHost), 0);
    while (daemon.bans().isLoading()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    BanRecord ban;
    ban.guid = QStringLiteral("4242");
    ban.reason = QStringLiteral("aimbot");
    ban.issuedAt = QDateTime::currentDateTimeUtc();
    waitFor(daemon.bans(), {ban});
    const auto present = [&] {
        bool found = false;
        QMetaObject::invokeMethod(
            sim,
            [&] {
                const auto& players = sim->console().world().players();
                found = std::any_of(players.cbegin(), players.cend(),
                                    [](const auto& player) { return player.guid == 4242; });
            },
            Qt::BlockingQueuedConnection);
        return found;
    };
    QList<double> latencies;
    for (auto _ : state) {
        QElapsedTimer clock;
        QMetaObject::invokeMethod(
            sim,
            [&] {
                clock.start();
                sim->console().world().joinNow(QStringLiteral("Cheater"), 4242,
                                               QStringLiteral("203.0.113.9"), 28960);
            },
            Qt::BlockingQueuedConnection);
        while (present() && clock.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        latencies.append(seconds * 1000);
    }
    reportLatencies(state, latencies);
    QMetaObject::invokeMethod(
        sim, [sim] { delete sim; }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}
BENCHMARK(BM_JoinToKick)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

// The longest the event loop stands still over 7 s (the connect timeout and a retry after it)
// while the shared ban database takes the connection and never answers.
void BM_StallWhileDatabaseHangs(benchmark::State& state)
{
    QTcpServer database;
    database.listen(QHostAddress::LocalHost, 0);
    garrison::HistoryConnection shared;
    shared.kind = garrison::HistoryConnection::Kind::Postgres;
    shared.host = QStringLiteral("127.0.0.1");
    shared.port = database.serverPort();
    shared.database = QStringLiteral("bans");
    shared.user = QStringLiteral("garrison");
    QTemporaryDir dir;
    for (auto _ : state) {
        BanStore store;
        QString error;
        store.open(dir.filePath(QStringLiteral("copy.sqlite")), shared, &error);
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        qint64 longest = 0;
        while (clock.elapsed() < 7000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        }
        state.counters["max_stall_ms"] = static_cast<double>(longest);
    }
}
BENCHMARK(BM_StallWhileDatabaseHangs)->Unit(benchmark::kMillisecond)->Iterations(1);

// A join line names the guid only; a status adds the address, which the ranges are tried on.
void BM_CheckOnJoin(benchmark::State& state)
{
    BanStore store;
    QString error;
    store.open(folder().path(), std::nullopt, &error);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const bool withAddress = state.range(0) != 0;
    int kept = 0;
    qint64 i = 0;
    for (auto _ : state) {
        // Every other player is banned.
        const QString guid = QString::number(100000000 + (i++ % (2 * kBans)));
        kept += store
                    .keepingOut(guid, withAddress ? QStringLiteral("192.0.2.44:28960") : QString(),
                                QStringLiteral("eu1"), now)
                    .has_value();
    }
    benchmark::DoNotOptimize(kept);
    state.SetLabel(withAddress ? "guid and address" : "guid");
}
BENCHMARK(BM_CheckOnJoin)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
