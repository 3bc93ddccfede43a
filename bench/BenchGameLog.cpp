// garrisond's game log: lines parsed per second, lines per second through the whole path of
// the events (read, parse, events, one client's event lines), the start on a log of a
// gigabyte (no full read: the time and the memory it takes), and the latency from a line
// written to the log to the chat page of a GARRISON logged in through garrisond.
#include "AccountStore.h"
#include "DaemonConfig.h"
#include "DaemonServer.h"
#include "GameEventSink.h"
#include "GameEvents.h"
#include "GameLogParser.h"
#include "PasswordHash.h"
#include "control/ChatPage.h"
#include "login/DaemonLink.h"
#include "platform/Dialogs.h"
#include "session/ServerSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <memory>

using namespace garrisond;

namespace {

// A minute of a busy server: chat, kills and damage, joins and quits, as the engine writes
// them.
QByteArrayList sampleLines()
{
    QByteArrayList lines;
    for (int i = 0; i < 1000; ++i) {
        const QByteArray n = QByteArray::number(i % 32);
        const QByteArray stamp = ' ' + QByteArray::number(i / 60) + ':' +
                                 QByteArray::number(i % 60).rightJustified(2, '0') + ' ';
        switch (i % 10) {
        case 0:
            lines.append(stamp + "say;2310346615;" + n + ";^1Red^7Baron;\x15gg all, nice round " +
                         n);
            break;
        case 1:
            lines.append(stamp + "sayteam;2310346616;" + n + ";Sgt Pepper;rush the bridge");
            break;
        case 2:
            lines.append(stamp + "J;2310346617;" + n + ";NewRecruit");
            break;
        case 3:
            lines.append(stamp + "Q;2310346617;" + n + ";NewRecruit");
            break;
        case 4:
        case 5:
        case 6:
            lines.append(stamp + "D;111;" + n +
                         ";axis;Victim;222;3;allies;Killer;mp40_mp;35;"
                         "MOD_PISTOL_BULLET;torso_upper");
            break;
        default:
            lines.append(stamp + "K;111;" + n +
                         ";axis;Victim;222;3;allies;Killer;m1garand_mp;100;"
                         "MOD_RIFLE_BULLET;head");
        }
    }
    return lines;
}

// The chat page asks nothing here.
struct NoDialogs : garrison::Dialogs {
    garrison::BoxAnswer message(const QString&, const QString&, garrison::BoxIcon,
                                garrison::BoxButtons) override
    {
        return garrison::BoxAnswer::Ok;
    }
    QString input(const QString&, const QString&, const QString&) override { return {}; }
    QString openFile(const QString&, const QString&, const QString&) override { return {}; }
};

long rssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

void BM_ParseLines(benchmark::State& state)
{
    const QByteArrayList lines = sampleLines();
    GameLogParser parser;
    for (auto _ : state) {
        for (const QByteArray& line : lines) {
            benchmark::DoNotOptimize(parser.parse(line));
        }
    }
    state.SetItemsProcessed(state.iterations() * lines.size());
}
BENCHMARK(BM_ParseLines);

struct Counter : GameEventSink {
    qint64 bytes = 0;
    void takeEvent(const GameEvent& event) override { bytes += event.toWire().size(); }
};

// From the file to the event lines one client would be sent.
void BM_FollowAndRaiseEvents(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("games_mp.log"));
    QFile log(path);
    log.open(QIODevice::WriteOnly);
    GameEvents events;
    events.configure(path, {QStringLiteral("hack")}, QStringLiteral("!report"));
    Counter counter;
    events.addSink(&counter);
    const QByteArray chunk = sampleLines().join('\n') + '\n';
    for (auto _ : state) {
        log.write(chunk);
        log.flush();
        events.follower().poll();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
    state.counters["event_bytes"] = double(counter.bytes);
}
BENCHMARK(BM_FollowAndRaiseEvents);

// A log of 1 GiB at start: following it begins at its end.
void BM_StartOnGigabyteLog(benchmark::State& state)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("games_mp.log"));
    if (QFileInfo(path).size() < (qint64(1) << 30)) {
        QFile log(path);
        log.open(QIODevice::WriteOnly);
        const QByteArray chunk = sampleLines().join('\n') + '\n';
        while (log.size() < (qint64(1) << 30)) {
            log.write(chunk);
        }
    }
    const long before = rssKiB();
    long most = before;
    for (auto _ : state) {
        GameEvents events;
        events.configure(path, {}, QStringLiteral("!report"));
        events.follower().poll();
        most = std::max(most, rssKiB());
        benchmark::DoNotOptimize(events.follower().position());
    }
    state.counters["log_bytes"] = double(QFileInfo(path).size());
    state.counters["rss_growth_kib"] = double(most - before);
}
BENCHMARK(BM_StartOnGigabyteLog)->Unit(benchmark::kMicrosecond);

// garrisond and GARRISON in this process over the loopback: a chat line appended to the log,
// until the chat page shows it.
void BM_LineToChatPage(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("games_mp.log"));
    QFile log(logPath);
    log.open(QIODevice::WriteOnly);
    QFile conf(dir.filePath(QStringLiteral("garrisond.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write("rcon_password = pw\npbkdf2_iterations = 1000\ngame_log = games_mp.log\n");
    conf.close();
    DaemonConfig config;
    QString error;
    if (!DaemonConfig::load(conf.fileName(), &config, &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    AccountStore accounts(config.accountsPath);
    accounts.load(&error);
    accounts.put({QStringLiteral("alice"),
                  PasswordHash::create(QStringLiteral("alicepw"), 1000),
                  {QStringLiteral("mp")}});
    accounts.save(&error);
    DaemonServer daemon(config);
    daemon.start(QHostAddress::LocalHost, 0);

    NoDialogs dialogs;
    garrison::ServerSession session;
    garrison::ChatPage chat(session, dialogs);
    QObject::connect(&session, &garrison::ServerSession::gameChat, &chat,
                     [&chat](const garrison::DaemonEvent& event) {
                         chat.showGameChat(event.at(), event.teamChat(),
                                           event.value(QStringLiteral("name")),
                                           event.value(QStringLiteral("text")));
                     });
    garrison::DaemonLink link;
    link.setCredentialsSource([] {
        return garrison::DaemonLink::Credentials{QStringLiteral("alice"), QStringLiteral("alicepw"),
                                                 QStringLiteral("mp")};
    });
    QObject::connect(&link, &garrison::DaemonLink::eventReceived, &session,
                     &garrison::ServerSession::takeGameEvent);
    QEventLoop loop;
    QObject::connect(&link, &garrison::DaemonLink::eventReceived, &loop, &QEventLoop::quit);
    QObject::connect(&link, &garrison::DaemonLink::rconPasswordReceived, &link,
                     &garrison::DaemonLink::requestEvents);
    link.login(QStringLiteral("127.0.0.1"), QString::number(daemon.serverPort()),
               daemon.fingerprint());
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec(); // the stream's first line
    if (!link.isConnected()) {
        state.SkipWithError("no link to garrisond");
        return;
    }
    QObject::disconnect(&link, &garrison::DaemonLink::eventReceived, &loop, &QEventLoop::quit);
    int said = 0;
    double worstMs = 0;
    for (auto _ : state) {
        const QString text = QStringLiteral("line %1").arg(++said);
        QElapsedTimer timer;
        timer.start();
        log.write("  1:00 say;1;1;Bob;" + text.toUtf8() + '\n');
        log.flush();
        while (!chat.gameChatText().endsWith(text) && timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        worstMs = std::max(worstMs, double(timer.nsecsElapsed()) / 1e6);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    state.counters["worst_ms"] = worstMs;
}
BENCHMARK(BM_LineToChatPage)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

} // namespace
