// garrisond with many accounts: reading the accounts file at start, and a reload, measured by
// its total time and by the longest the daemon's event loop went without turning meanwhile.
#include "AccountStore.h"
#include "DaemonConfig.h"
#include "DaemonServer.h"
#include "PasswordHash.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

using namespace garrisond;

namespace {

// A folder with a configuration and an accounts file of `count` accounts. They share one hash:
// reading does not check passwords, and hashing thousands would dwarf what is measured.
class AccountsFolder {
public:
    explicit AccountsFolder(int count)
    {
        const QString hash = PasswordHash::create(QStringLiteral("pw"), 1000).toString();
        QJsonArray entries;
        for (int i = 0; i < count; ++i) {
            entries.append(QJsonObject{
                {QStringLiteral("name"),
                 QStringLiteral("player%1").arg(i, 6, 10, QLatin1Char('0'))},
                {QStringLiteral("password_hash"), hash},
                {QStringLiteral("levels"), QJsonArray{QStringLiteral("mp")}},
            });
        }
        QFile file(accountsPath());
        file.open(QIODevice::WriteOnly);
        file.write(QJsonDocument(QJsonObject{{QStringLiteral("accounts"), entries}}).toJson());
    }
    QString configPath() const { return m_dir.filePath(QStringLiteral("garrisond.conf")); }
    QString accountsPath() const
    {
        return m_dir.filePath(QStringLiteral("garrisond-accounts.json"));
    }

private:
    QTemporaryDir m_dir;
};

void loadAccounts(benchmark::State& state)
{
    const AccountsFolder folder(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        AccountStore store(folder.accountsPath());
        QString error;
        if (!store.load(&error) || store.accounts().size() != state.range(0)) {
            state.SkipWithError("the accounts were not read");
            return;
        }
    }
}
BENCHMARK(loadAccounts)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond);

// A running daemon re-reads its accounts file; a timer that fires at every turn of the event
// loop tells how long the daemon could not answer anyone meanwhile.
void reloadAccounts(benchmark::State& state)
{
    const AccountsFolder folder(static_cast<int>(state.range(0)));
    DaemonServer server(DaemonConfig::defaults(folder.configPath()));
    if (!server.start(QHostAddress::LocalHost, 0)) {
        state.SkipWithError("the daemon did not start");
        return;
    }
    qint64 longestStall = 0;
    for (auto _ : state) {
        QEventLoop loop;
        QObject::connect(&server, &DaemonServer::reloaded, &loop, &QEventLoop::quit);
        QElapsedTimer sinceTurn;
        QTimer turn;
        QObject::connect(&turn, &QTimer::timeout, [&] {
            longestStall = std::max(longestStall, sinceTurn.nsecsElapsed());
            sinceTurn.restart();
        });
        turn.start(0);
        sinceTurn.start();
        QTimer::singleShot(0, &server, [&] { server.reload(); });
        loop.exec();
    }
    state.counters["stall_ms"] = static_cast<double>(longestStall) / 1e6;
}
BENCHMARK(reloadAccounts)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond);

} // namespace
