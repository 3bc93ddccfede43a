// Four servers administered at once: four main windows (offscreen) in one process, each on its
// own session with a simulated server of 64 moving players, all refreshing the grid by
// themselves. Reports the longest time the one event loop, and so any window, went without a
// turn (longest_stall_ms), measured by a 1 ms timer, and how many status tables came back.
#include "SimServer.h"
#include "app/MainWindow.h"
#include "history/History.h"
#include "platform/AppFolder.h"
#include "platform/Dialogs.h"
#include "players/PlayersPage.h"
#include "session/ServerSession.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

using namespace garrison;

namespace {

constexpr int kSessions = 4;
constexpr int kPlayers = 64;
// Far shorter than a user would choose, to keep every session busy.
constexpr int kRefreshMs = 1000;

class NoDialogs final : public Dialogs {
public:
    BoxAnswer message(const QString&, const QString&, BoxIcon, BoxButtons) override
    {
        return BoxAnswer::Ok;
    }
    QString input(const QString&, const QString&, const QString&) override { return {}; }
    QString openFile(const QString&, const QString&, const QString&) override { return {}; }
};

void FourSessionsWithAutomaticRefresh(benchmark::State& state)
{
    const int seconds = static_cast<int>(state.range(0));
    // Settings, the history and the relay's folder of a run of their own.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    AppFolder::setOverride(home.path());
    NoDialogs dialogs;

    for (auto _ : state) {
        std::vector<std::unique_ptr<sim::SimServer>> servers;
        std::vector<std::unique_ptr<MainWindow>> windows;
        auto history = std::make_shared<History>();
        history->openFromSettings();
        qint64 tables = 0;
        for (int i = 0; i < kSessions; ++i) {
            sim::SimSettings settings;
            settings.seed = static_cast<quint32>(i + 1);
            settings.players = kPlayers;
            servers.push_back(std::make_unique<sim::SimServer>(settings));
            const quint16 port = servers.back()->start(QHostAddress(QHostAddress::LocalHost), 0);
            windows.push_back(std::make_unique<MainWindow>(dialogs, history));
            MainWindow& window = *windows.back();
            // Each status table replaces the grid's rows (an empty one clears them at the start).
            QObject::connect(&window.session().gridModel(), &QAbstractItemModel::modelReset,
                             &window, [&tables] { ++tables; });
            window.takeLoginValues(QStringLiteral("127.0.0.1"), QString::number(port),
                                   settings.password);
            window.IdentDaemon(QStringLiteral("0"));
            window.show();
            window.Connect();
            window.findChild<QCheckBox*>(QStringLiteral("chkAutoRefresh"))->setChecked(true);
            window.playersPage().refreshTimer().setInterval(kRefreshMs);
        }

        QElapsedTimer sinceTick;
        qint64 longestNs = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.callOnTimeout([&] {
            longestNs = std::max(longestNs, sinceTick.nsecsElapsed());
            sinceTick.start();
        });
        QElapsedTimer run;
        run.start();
        sinceTick.start();
        ticker.start(1);
        while (run.elapsed() < seconds * 1000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                            50);
        }
        ticker.stop();

        int shownPlayers = 0;
        for (const std::unique_ptr<MainWindow>& window : windows) {
            shownPlayers += window->session().gridModel().rowCount();
        }
        state.counters["longest_stall_ms"] = static_cast<double>(longestNs) / 1e6;
        state.counters["tables"] = static_cast<double>(tables);
        state.counters["rows_shown"] = shownPlayers;
        windows.clear();
    }
    AppFolder::setOverride({});
}

} // namespace

BENCHMARK(FourSessionsWithAutomaticRefresh)
    ->Arg(20)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();
