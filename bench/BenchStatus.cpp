#include "rcon/PlayerGridModel.h"
#include "rcon/RconDatagram.h"
#include "rcon/StatusParser.h"
#include "rcon/StatusReply.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <benchmark/benchmark.h>

using namespace garrison;

namespace {

// The reply to "status" from a full 64-player server, as reception leaves it.
QString fullServerStatus()
{
    QByteArray datagram = QByteArrayLiteral("\xFF\xFF\xFF\xFFprint\nmap: mp_castle\n"
                                            "num score ping guid       name            lastmsg "
                                            "address               qport  rate\n"
                                            "--- ----- ---- ---------- --------------- ------- "
                                            "--------------------- ------ -----\n");
    for (int slot = 0; slot < 64; ++slot) {
        const QString name = QStringLiteral("^%1Player%2").arg(slot % 8).arg(slot);
        const QString padding(16 - (name.size() - 2), QLatin1Char(' '));
        datagram += QStringLiteral("%1 %2 %3 %4 %5^7%6%7 %8%9 %10\n")
                        .arg(slot, 3)
                        .arg(slot * 17, 5)
                        .arg(40 + slot, 4)
                        .arg(1000000000 + slot * 7919, 10)
                        .arg(name, padding)
                        .arg(0, 7)
                        .arg(QStringLiteral("198.51.100.%1:28960").arg(slot), -22)
                        .arg(1000 + slot, 6)
                        .arg(25000, 5)
                        .toLatin1();
    }
    datagram += "\n";
    return RconDatagram::cleanReply(datagram);
}

void ParseFullServer(benchmark::State& state)
{
    const QString reply = fullServerStatus();
    PlayerGridModel model;
    for (auto _ : state) {
        StatusParser::StatusTable table = StatusParser::parse(reply);
        benchmark::DoNotOptimize(table.map);
        model.setRows(std::move(table.rows));
    }
    state.counters["rows"] = model.rowCount();
    state.SetBytesProcessed(state.iterations() * reply.size() * 2);
}
BENCHMARK(ParseFullServer)->Unit(benchmark::kMicrosecond);

// The same reply as it arrives: six datagrams cut mid-line, collected until the table is whole
// and parsed once.
void CollectFullServerInSixDatagrams(benchmark::State& state)
{
    const QString reply = fullServerStatus();
    constexpr int kDatagrams = 6;
    QStringList datagrams;
    for (int i = 0; i < kDatagrams; ++i) {
        const qsizetype from = reply.size() * i / kDatagrams;
        datagrams << reply.sliced(from, reply.size() * (i + 1) / kDatagrams - from);
    }
    StatusReply collector;
    PlayerGridModel model;
    qint64 tables = 0;
    QObject::connect(&collector, &StatusReply::tableReady,
                     [&](const StatusParser::StatusTable& table) {
                         ++tables;
                         model.setRows(table.rows);
                     });
    for (auto _ : state) {
        collector.restart();
        for (const QString& datagram : datagrams) {
            collector.append(datagram);
        }
    }
    if (tables != state.iterations() || model.rowCount() != 64) {
        state.SkipWithError("the table was not parsed exactly once per reply");
    }
    state.counters["tables_per_reply"] = double(tables) / double(state.iterations());
    state.counters["rows"] = model.rowCount();
}
BENCHMARK(CollectFullServerInSixDatagrams)->Unit(benchmark::kMicrosecond);

} // namespace
