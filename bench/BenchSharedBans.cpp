// Two game servers, each with its garrisond, sharing their bans on a PostgreSQL server of the
// benchmark's own: the time from a ban added on one garrisond to the kick of the player by the
// other (LISTEN/NOTIFY, the other's read of the change, its tell and clientkick).
#include "DaemonConfig.h"
#include "DaemonServer.h"
#include "LatencyCounters.h"
#include "PostgresServer.h"
#include "SimFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <memory>

using garrison::BanRecord;
using garrison::test::PostgresServer;
using garrison::test::SimFixture;
using garrisond::BanStore;
using garrisond::DaemonConfig;
using garrisond::DaemonServer;

namespace {

// Runs the event loop until `done` or the time is up; whether it was done.
template <typename Done> bool waitUntil(Done done, qint64 ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

struct Site {
    std::unique_ptr<SimFixture> sim;
    std::unique_ptr<DaemonServer> daemon;

    bool has(qint32 guid) const
    {
        const auto& players = sim->console().world().players();
        return std::any_of(players.cbegin(), players.cend(),
                           [guid](const auto& player) { return player.guid == guid; });
    }
};

QString startSite(Site& site, const QString& name, const QTemporaryDir& dir,
                  const garrison::HistoryConnection& database)
{
    garrison::sim::SimSettings settings = SimFixture::frozenSettings();
    settings.players = 0;
    settings.logFile = dir.filePath(name + QStringLiteral("-games_mp.log"));
    site.sim = std::make_unique<SimFixture>(settings);
    if (!site.sim->start()) {
        return QStringLiteral("the simulated server did not start");
    }
    QDir(dir.path()).mkdir(name);
    QFile file(dir.filePath(name + QStringLiteral("/garrisond.conf")));
    file.open(QIODevice::WriteOnly);
    file.write(QStringLiteral("rcon_password = %1\nserver_port = %2\ngame_log = %3\n"
                              "server_name = %4\nallow_plaintext = true\nhealth_interval = 0s\n"
                              "ban_database = postgresql://%5@%6:%7/%8\n")
                   .arg(site.sim->password())
                   .arg(site.sim->port())
                   .arg(settings.logFile, name, database.user, database.host)
                   .arg(database.port)
                   .arg(database.database)
                   .toUtf8());
    file.close();
    DaemonConfig config;
    QString error;
    if (!DaemonConfig::load(file.fileName(), &config, &error)) {
        return error;
    }
    site.daemon = std::make_unique<DaemonServer>(config);
    if (!site.daemon->start(QHostAddress(QHostAddress::LocalHost), 0)) {
        return site.daemon->errorString();
    }
    const BanStore& bans = site.daemon->bans();
    if (!waitUntil([&bans] { return !bans.isLoading() && bans.isReachable(); }, 10000)) {
        return QStringLiteral("garrisond did not reach the database");
    }
    return {};
}

void BM_BanToKickOnTheOtherServer(benchmark::State& state)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        state.SkipWithError("the Qt PostgreSQL driver is missing");
        return;
    }
    PostgresServer postgres;
    QTemporaryDir dir;
    Site eu;
    Site us;
    QString failure = postgres.start();
    if (failure.isEmpty()) {
        failure = startSite(eu, QStringLiteral("eu1"), dir, postgres.connection());
    }
    if (failure.isEmpty()) {
        failure = startSite(us, QStringLiteral("us2"), dir, postgres.connection());
    }
    if (!failure.isEmpty()) {
        state.SkipWithError(qPrintable(failure));
        return;
    }
    QList<double> latencies;
    qint32 guid = 5000;
    for (auto _ : state) {
        state.PauseTiming();
        ++guid;
        // On the second server, and known there, before the first bans him.
        us.sim->console().world().joinNow(QStringLiteral("Cheater"), guid,
                                          QStringLiteral("203.0.113.9"), 28960);
        waitUntil([] { return false; }, 150);
        if (!us.has(guid)) {
            state.SkipWithError("the player did not join the second server");
            break;
        }
        BanRecord ban;
        ban.guid = QString::number(guid);
        ban.reason = QStringLiteral("aimbot");
        ban.issuedBy = QStringLiteral("alice");
        ban.issuedAt = QDateTime::currentDateTimeUtc();
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        eu.daemon->bans().addAll({ban}, nullptr, [](const BanStore::Result&) {});
        const bool kicked = waitUntil([&] { return !us.has(guid); }, 5000);
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        if (!kicked) {
            state.SkipWithError("the other server did not kick the player within 5 s");
            break;
        }
        latencies.append(seconds * 1000);
    }
    reportLatencies(state, latencies);
    eu.daemon.reset();
    us.daemon.reset();
}
BENCHMARK(BM_BanToKickOnTheOtherServer)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace
