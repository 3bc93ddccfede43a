// A long evening in-process, with the real windows: the relay log tail on a big log, a flood
// of reply datagrams, and the memory after two hours of a busy server. Each benchmark reports
// the longest time the window's event loop had to wait (longest_stall_ms) beside its totals.
#include "app/MainWindow.h"
#include "app/ReaderWindow.h"
#include "control/ChatPage.h"
#include "platform/AllocatorTrim.h"
#include "platform/AppFolder.h"
#include "platform/ConsoleBox.h"
#include "platform/Dialogs.h"
#include "rcon/RconClient.h"
#include "ucon/RelayLogWorker.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QUdpSocket>
#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace garrison;

namespace {

class NoDialogs final : public Dialogs {
public:
    BoxAnswer message(const QString&, const QString&, BoxIcon, BoxButtons) override
    {
        return BoxAnswer::Ok;
    }
    QString input(const QString&, const QString&, const QString&) override { return {}; }
    QString openFile(const QString&, const QString&, const QString&) override { return {}; }
};

// Relay log lines of about 60 bytes, every tenth a chat line with the UCON marker.
QByteArray relayLines(int first, int count, std::mt19937& random)
{
    std::uniform_int_distribution<int> number(0, 99999);
    QByteArray bytes;
    for (int i = first; i < first + count; ++i) {
        if (i % 10 == 3) {
            bytes += "Chat\xFAPlayer" + QByteArray::number(i % 64) + ": gg, nice round " +
                     QByteArray::number(number(random)) + "\r\n";
        } else {
            bytes += "PunkBuster Server: Player Guid Computed " +
                     QByteArray::number(number(random)) + " (slot #" + QByteArray::number(i % 64) +
                     ") ok\r\n";
        }
    }
    return bytes;
}

void appendFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        file.write(bytes);
    }
}

// Runs the event loop until done() or the time is up; returns the longest single turn.
template <typename Done> double runLoop(Done done, int timeoutMs)
{
    QElapsedTimer total;
    total.start();
    qint64 longest = 0;
    while (!done() && total.elapsed() < timeoutMs) {
        QElapsedTimer turn;
        turn.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        longest = std::max(longest, turn.nsecsElapsed());
    }
    return double(longest) / 1e6;
}

struct Tail {
    QTemporaryDir folder;
    QString path;
    std::unique_ptr<NoDialogs> dialogs = std::make_unique<NoDialogs>();
    std::unique_ptr<MainWindow> main;
    std::unique_ptr<RelayLogWorker> worker;

    explicit Tail(int lines)
    {
        AppFolder::setOverride(folder.path());
        path = AppFolder::filePath(QStringLiteral("pbucon.log"));
        std::mt19937 random(20240601u);
        for (int at = 0; at < lines; at += 10000) {
            appendFile(path, relayLines(at, std::min(10000, lines - at), random));
        }
        main = std::make_unique<MainWindow>(*dialogs);
        main->resize(1000, 700);
        main->show();
        main->showPage(MainWindow::Page::Chat);
        worker = std::make_unique<RelayLogWorker>();
        QObject::connect(worker.get(), &RelayLogWorker::logFiltered, &main->chatPage(),
                         &ChatPage::setTranscript);
        QObject::connect(worker.get(), &RelayLogWorker::logChanged, &main->chatPage(),
                         &ChatPage::showLogChange);
    }
    ~Tail() { AppFolder::setOverride(QString()); }

    // One tick with its slices; the longest turn of the event loop meanwhile.
    double tick()
    {
        QElapsedTimer first;
        first.start();
        worker->Timer1_Timer();
        const double firstMs = double(first.nsecsElapsed()) / 1e6;
        return std::max(firstMs, runLoop([this] { return !worker->catchingUp(); }, 120000));
    }
};

qint64 peakResidentBytes();
void resetPeakResident();

void tailFirstRead(benchmark::State& state)
{
    double longest = 0;
    qint64 bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Tail tail(int(state.range(0)));
        bytes = QFile(tail.path).size();
        resetPeakResident();
        state.ResumeTiming();
        longest = std::max(longest, tail.tick());
        state.counters["peak_rss_MiB"] = double(peakResidentBytes()) / (1024 * 1024);
        if (tail.main->chatPage().transcript() != tail.worker->Text7()) {
            state.SkipWithError("the chat box differs from the filtered log");
        }
        state.counters["incremental"] = tail.worker->tail().incremental() ? 1 : 0;
    }
    state.counters["longest_stall_ms"] = longest;
    state.counters["file_MB"] = double(bytes) / 1e6;
}

// A log with a blank line is filtered whole at every change, on another thread: the window
// only takes the result.
void tailWholeLog(benchmark::State& state)
{
    double longest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Tail tail(int(state.range(0)));
        appendFile(tail.path, "\r\n\r\n");
        state.ResumeTiming();
        longest = std::max(longest, tail.tick());
        if (tail.worker->tail().incremental() ||
            tail.main->chatPage().transcript() != tail.worker->Text7()) {
            state.SkipWithError("the log was not filtered whole, or the chat box differs");
        }
    }
    state.counters["longest_stall_ms"] = longest;
}

void tailAppend(benchmark::State& state)
{
    Tail tail(int(state.range(0)));
    tail.tick();
    std::mt19937 random(7);
    int next = int(state.range(0));
    double longest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        appendFile(tail.path, relayLines(next, int(state.range(1)), random));
        next += int(state.range(1));
        state.ResumeTiming();
        longest = std::max(longest, tail.tick());
    }
    if (tail.main->chatPage().transcript() != tail.worker->Text7()) {
        state.SkipWithError("the chat box differs from the filtered log");
    }
    state.counters["longest_stall_ms"] = longest;
    state.counters["incremental"] = tail.worker->tail().incremental() ? 1 : 0;
}

// A server that answers the first datagram with a flood of 1 KB replies, from its own thread.
void floodOfReplies(benchmark::State& state)
{
    const int count = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        const int server = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length);
        std::thread sender([server, count] {
            char request[512];
            sockaddr_in client{};
            socklen_t clientLength = sizeof client;
            // "status", then the command whose replies these are.
            for (int i = 0; i < 2; ++i) {
                ::recvfrom(server, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&client),
                           &clientLength);
            }
            QByteArray reply("\xFF\xFF\xFF\xFFprint\n");
            reply += QByteArray(1024 - reply.size() - 8, 'x');
            for (int i = 0; i < count; ++i) {
                const QByteArray datagram = reply + QByteArray::number(i).rightJustified(7) + "\n";
                ::sendto(server, datagram.constData(), size_t(datagram.size()), 0,
                         reinterpret_cast<sockaddr*>(&client), clientLength);
            }
        });
        NoDialogs dialogs;
        MainWindow main(dialogs);
        main.show();
        main.showPage(MainWindow::Page::Terminal);
        int received = 0;
        quint64 lost = 0;
        QObject::connect(&main.session().rcon(), &RconClient::datagramsLost, &main,
                         [&lost](quint64 count) { lost += count; });
        QElapsedTimer clock;
        qint64 lastMs = 0;
        QObject::connect(&main.session().rcon(), &RconClient::datagramReceived, &main, [&] {
            ++received;
            lastMs = clock.elapsed();
        });
        main.takeLoginValues(QStringLiteral("127.0.0.1"), QString::number(ntohs(address.sin_port)),
                             QStringLiteral("pw"));
        main.Connect();
        state.ResumeTiming();
        clock.start();
        main.Send(QStringLiteral("pb_sv_plist"));
        const double longest =
            runLoop([&] { return quint64(received) + lost >= quint64(count); }, 20000);
        state.PauseTiming();
        sender.join();
        // Whatever is still on its way.
        runLoop([&] { return quint64(received) + lost >= quint64(count); }, 500);
        ::close(server);
        state.counters["longest_stall_ms"] = longest;
        state.counters["received"] = received;
        state.counters["lost_counted"] = double(lost);
        state.counters["last_handled_ms"] = double(lastMs);
        state.ResumeTiming();
    }
}

// The daemon's log of a long evening (50 MB) put into the reader window.
void readerBigLog(benchmark::State& state)
{
    std::mt19937 random(3);
    QByteArray bytes;
    for (int at = 0; bytes.size() < state.range(0) * 1000 * 1000; at += 10000) {
        bytes += relayLines(at, 10000, random);
    }
    const QString log = QString::fromLatin1(bytes);
    for (auto _ : state) {
        state.PauseTiming();
        ReaderWindow reader;
        reader.resize(800, 600);
        state.ResumeTiming();
        QElapsedTimer first;
        first.start();
        reader.showText(log);
        double longest = double(first.nsecsElapsed()) / 1e6;
        ConsoleBox& box = reader.Text1();
        const qsizetype shownSize = log.size() - log.count(QLatin1Char('\r'));
        longest = std::max(
            longest,
            runLoop([&] { return box.document()->characterCount() - 1 >= shownSize; }, 600000));
        state.counters["longest_stall_ms"] = longest;
    }
    state.counters["log_MB"] = double(log.size()) / 1e6;
}

// The peak resident size since resetPeakResident(), from the kernel's high-water mark.
qint64 peakResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').constFirst().toLongLong() * 1024;
        }
    }
    return 0;
}

void resetPeakResident()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) {
        clear.write("5");
    }
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

QByteArray statusReply(int players, int round)
{
    QByteArray text = "\xFF\xFF\xFF\xFFprint\nmap: mp_castle\n"
                      "num score ping guid                             name            lastmsg "
                      "address               qport rate\n"
                      "--- ----- ---- -------------------------------- --------------- ------- "
                      "--------------------- ----- -----\n";
    for (int slot = 0; slot < players; ++slot) {
        text += QByteArray::number(slot).rightJustified(3) + " " +
                QByteArray::number((slot * 7 + round) % 300).rightJustified(5) + " " +
                QByteArray::number(40 + slot).rightJustified(4) + " " +
                QByteArray::number(1000000 + slot).rightJustified(32, '0') + " ^1Player" +
                QByteArray::number(slot).leftJustified(8) + "^7 " +
                QByteArray::number(slot % 100).rightJustified(7) + " 198.51.100." +
                QByteArray::number(slot) + ":28960 " + QByteArray::number(1000 + slot) + " 25000\n";
    }
    return text + "\n";
}

// Two hours of a busy evening, fast-forwarded: status every 15 s (64 players), 100 chat lines a
// minute in the relay log (with nine PunkBuster lines each) tailed every 5 s, and 10 MB of
// other replies. Resident memory after the first and after the second hour.
void sessionMemory(benchmark::State& state)
{
    for (auto _ : state) {
        Tail tail(0);
        QUdpSocket server;
        server.bind(QHostAddress::LocalHost);
        tail.main->takeLoginValues(QStringLiteral("127.0.0.1"), QString::number(server.localPort()),
                                   QStringLiteral("pw"));
        tail.main->Connect();
        runLoop([&] { return server.hasPendingDatagrams(); }, 2000);
        QHostAddress client;
        quint16 clientPort = 0;
        server.readDatagram(nullptr, 0, &client, &clientPort);
        std::mt19937 random(11);
        const QByteArray other = "\xFF\xFF\xFF\xFFprint\n" + QByteArray(1400, 'r') + "\n";
        qint64 otherBytes = 0;
        int lines = 0;
        double longest = 0;
        const int seconds = int(state.range(0)) * 60;
        for (int second = 5; second <= seconds; second += 5) {
            if (second % 15 == 0) {
                tail.main->Send(QStringLiteral("status"));
                const QByteArray status = statusReply(64, second);
                for (qsizetype at = 0; at < status.size(); at += 1400) {
                    server.writeDatagram(status.mid(at, 1400), client, clientPort);
                }
            }
            const qint64 otherDue = qint64(second) * 10'000'000 / (2 * 3600);
            if (otherDue > otherBytes) {
                tail.main->Send(QStringLiteral("pb_sv_plist"));
            }
            for (; otherBytes < otherDue; otherBytes += other.size()) {
                server.writeDatagram(other, client, clientPort);
            }
            // 100 chat lines and 900 PunkBuster lines a minute.
            constexpr int kLinesPerTick = 1000 / 12;
            appendFile(tail.path, relayLines(lines, kLinesPerTick, random));
            lines += kLinesPerTick;
            longest = std::max(longest, tail.tick());
            longest = std::max(longest, runLoop([] { return false; }, 5));
            // What the program's AllocatorTrim does once a minute of its real time.
            if (second % 60 == 0) {
                AllocatorTrim::trim();
            }
            if (second == seconds / 2) {
                state.counters["rss_MiB_half"] = double(residentBytes()) / (1024 * 1024);
            }
        }
        state.counters["rss_MiB_end"] = double(residentBytes()) / (1024 * 1024);
        state.counters["longest_stall_ms"] = longest;
        state.counters["relay_lines"] = lines;
    }
}

} // namespace

BENCHMARK(tailFirstRead)->Arg(400000)->Iterations(1)->Unit(benchmark::kMillisecond);
// About 1 GB of log: a few minutes, and as much free disk space.
BENCHMARK(tailFirstRead)->Arg(17'000'000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(tailWholeLog)->Arg(400000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(tailAppend)->Args({400000, 1000})->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(floodOfReplies)->Arg(20000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(readerBigLog)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(sessionMemory)->Arg(120)->Iterations(1)->Unit(benchmark::kSecond);
