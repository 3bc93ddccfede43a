#include "HistoryGenerator.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryKeys.h"
#include "history/HistoryQueries.h"
#include "history/HistoryRecorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace garrison;

namespace {

HistoryConnection sqliteAt(const QString& path)
{
    HistoryConnection connection;
    connection.path = path;
    return connection;
}

// Recording one status reply of a full server, players already known (the usual case).
void RecordFullStatus(benchmark::State& state)
{
    QTemporaryDir dir;
    HistoryDatabase database(sqliteAt(dir.filePath(QStringLiteral("record.sqlite"))));
    if (database.open() != HistoryDatabase::State::Ready) {
        state.SkipWithError("cannot open the history");
        return;
    }
    HistoryRecorder recorder(database);
    HistoryTime at = 1'765'000'000;
    int round = 0;
    const QList<PlayerRow> rows = HistoryGenerator::fullStatus();
    recorder.recordStatus(QStringLiteral("bench:28960"), QStringLiteral("Bench"), rows, at);
    for (auto _ : state) {
        at += 60;
        ++round;
        if (!recorder.recordStatus(QStringLiteral("bench:28960"), QStringLiteral("Bench"), rows,
                                   at)) {
            state.SkipWithError("recording failed");
            return;
        }
    }
    state.counters["players"] = static_cast<double>(rows.size());
}
BENCHMARK(RecordFullStatus)->Unit(benchmark::kMillisecond);

// The same with 64 players never seen before in each reply (a map change on a busy server).
void RecordFullStatusNewPlayers(benchmark::State& state)
{
    QTemporaryDir dir;
    HistoryDatabase database(sqliteAt(dir.filePath(QStringLiteral("record.sqlite"))));
    if (database.open() != HistoryDatabase::State::Ready) {
        state.SkipWithError("cannot open the history");
        return;
    }
    HistoryRecorder recorder(database);
    HistoryTime at = 1'765'000'000;
    QList<PlayerRow> rows = HistoryGenerator::fullStatus();
    qint64 guid = 1'100'000'000;
    for (auto _ : state) {
        state.PauseTiming();
        for (PlayerRow& row : rows) {
            row[PlayerRow::Guid] = QString::number(++guid);
            row[PlayerRow::Name] = HistoryGenerator::name(static_cast<quint32>(guid));
        }
        at += 60;
        state.ResumeTiming();
        recorder.recordStatus(QStringLiteral("bench:28960"), QStringLiteral("Bench"), rows, at);
    }
}
BENCHMARK(RecordFullStatusNewPlayers)->Unit(benchmark::kMillisecond);

// A history of 1,000,000 name rows, made once and kept next to the benchmark.
HistoryDatabase& millionNames()
{
    static std::unique_ptr<HistoryDatabase> database;
    if (!database) {
        const QString path = QDir(QCoreApplication::applicationDirPath())
                                 .filePath(QStringLiteral("bench-history-1m.sqlite"));
        const bool fresh = !QFileInfo::exists(path);
        database = std::make_unique<HistoryDatabase>(sqliteAt(path));
        database->open();
        if (fresh) {
            HistoryGenerator::Shape shape;
            shape.players = 500'000;
            shape.namesPerPlayer = 2;
            shape.addressesPerPlayer = 1;
            shape.sessionsPerPlayer = 1;
            shape.countEveryMinutes = 0;
            HistoryGenerator::fill(*database, shape);
        }
    }
    return *database;
}

void SearchNameFragment(benchmark::State& state)
{
    HistoryDatabase& database = millionNames();
    HistoryQueries queries(database);
    QStringList fragments;
    for (quint32 number = 7; number < 7 + 50; ++number) {
        const QString plain = HistoryKeys::plainName(HistoryGenerator::name(number * 7919));
        fragments.append(plain.mid(1, static_cast<int>(state.range(0))));
    }
    qsizetype found = 0;
    qsizetype index = 0;
    for (auto _ : state) {
        found += queries.search(fragments[index++ % fragments.size()]).size();
    }
    state.counters["names"] = 1'000'000;
    state.counters["hits/search"] =
        static_cast<double>(found) / static_cast<double>(state.iterations());
    state.counters["index"] = database.hasFragmentIndex() ? 1 : 0;
}
BENCHMARK(SearchNameFragment)->Arg(2)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);

void OpenHeavyRecord(benchmark::State& state)
{
    QTemporaryDir dir;
    HistoryDatabase database(sqliteAt(dir.filePath(QStringLiteral("heavy.sqlite"))));
    database.open();
    const qint64 id = HistoryGenerator::heavyPlayer(database, 500, 2000, 100);
    HistoryQueries queries(database);
    for (auto _ : state) {
        const std::optional<PlayerRecord> record = queries.record(id);
        if (!record || record->sessions.size() != 2000) {
            state.SkipWithError("record incomplete");
            return;
        }
        benchmark::DoNotOptimize(record->names.size());
    }
}
BENCHMARK(OpenHeavyRecord)->Unit(benchmark::kMillisecond);

} // namespace
