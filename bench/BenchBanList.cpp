#include "bans/BanEnforcer.h"
#include "bans/BanTableModel.h"

#include <QRandomGenerator>
#include <benchmark/benchmark.h>

using namespace garrison;

namespace {

constexpr int kBans = 100000;

// A large community's list: names, guids of both forms, a tenth by address (a few ranges),
// reasons from the usual templates, some timed, some lifted.
QList<BanRecord> manyBans()
{
    static const QStringList reasons{
        QStringLiteral("Aimbot"), QStringLiteral("Wallhack"), QStringLiteral("Team killing"),
        QStringLiteral("Abusive language in the chat"), QStringLiteral("Ban evasion")};
    QRandomGenerator random(35);
    const QDateTime start = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
    QList<BanRecord> bans;
    bans.reserve(kBans);
    for (int index = 0; index < kBans; ++index) {
        BanRecord ban;
        ban.id = index + 1;
        ban.names = {QStringLiteral("^%1Player%2").arg(index % 10).arg(index)};
        if (index % 10 == 0) {
            ban.address =
                QStringLiteral("10.%1.%2.0").arg(index / 65536 % 256).arg(index / 256 % 256);
            ban.prefixLength = index % 30 == 0 ? 24 : -1;
        } else if (index % 2 == 0) {
            ban.guid = QString::number(random.bounded(1000000000));
        } else {
            ban.guid = QString::number(random.generate64(), 16).rightJustified(16, u'0') +
                       QString::number(random.generate64(), 16).rightJustified(16, u'0');
        }
        ban.reason = reasons.at(index % reasons.size());
        ban.issuedBy = index % 3 == 0 ? QStringLiteral("rcon") : QStringLiteral("alice");
        ban.issuedAt = start.addSecs(index * 60);
        if (index % 4 == 0) {
            ban.until = ban.issuedAt.addDays(7);
        }
        ban.lifted = index % 17 == 0;
        bans.append(ban);
    }
    return bans;
}

// One keystroke in the ban list's search over 100,000 bans, the table sorted by date as the
// window opens: filtering and sorting what is left.
void BanListSearch(benchmark::State& state)
{
    BanTableModel model;
    model.setBans(manyBans());
    BanFilterModel filter;
    filter.setBanModel(&model);
    filter.setFilter(BanTableModel::Filter::All);
    filter.sort(BanTableModel::When, Qt::DescendingOrder);
    const QStringList typed{QStringLiteral("player12"), QStringLiteral("wallhack"),
                            QStringLiteral("10.1."), QStringLiteral("zzz")};
    int round = 0;
    int shown = 0;
    for (auto _ : state) {
        filter.setSearch(typed.at(round++ % typed.size()));
        shown = filter.rowCount();
        benchmark::DoNotOptimize(shown);
    }
    state.counters["bans"] = kBans;
}
BENCHMARK(BanListSearch)->Unit(benchmark::kMillisecond);

// Clearing the search: every ban comes back, sorted.
void BanListSearchCleared(benchmark::State& state)
{
    BanTableModel model;
    model.setBans(manyBans());
    BanFilterModel filter;
    filter.setBanModel(&model);
    filter.setFilter(BanTableModel::Filter::All);
    filter.sort(BanTableModel::When, Qt::DescendingOrder);
    for (auto _ : state) {
        state.PauseTiming();
        filter.setSearch(QStringLiteral("player1"));
        state.ResumeTiming();
        filter.setSearch(QString());
        benchmark::DoNotOptimize(filter.rowCount());
    }
}
BENCHMARK(BanListSearchCleared)->Unit(benchmark::kMillisecond);

// A direct session's check of a full server's status against 100,000 bans.
void StatusCheck(benchmark::State& state)
{
    BanEnforcer enforcer;
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'710'000'000, Qt::UTC);
    enforcer.setBans(manyBans(), now);
    QList<PlayerRow> rows;
    for (int slot = 0; slot < 64; ++slot) {
        PlayerRow row;
        row[PlayerRow::Name] = QStringLiteral("Someone%1").arg(slot);
        row[PlayerRow::Slot] = QString::number(slot);
        row[PlayerRow::Guid] = QString::number(2000000000 + slot);
        row[PlayerRow::Address] = QStringLiteral("192.0.2.%1:28960").arg(slot);
        rows.append(row);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(enforcer.check(rows, {QStringLiteral("bench:28960")}, now));
    }
    state.counters["players"] = 64;
}
BENCHMARK(StatusCheck)->Unit(benchmark::kMicrosecond);

} // namespace
