// The log filters on relay logs like the ones the tail reads every five seconds: the fast
// filter against the literal one, and a whole tail tick (read the file, filter it).

#include "LiteralLogFilter.h"
#include "platform/AnsiText.h"
#include "ucon/LogFilter.h"
#include "ucon/RelayLogReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <random>

using namespace garrison;

namespace {

const std::vector<std::string> kWords = {
    "Player",  "Guid",      "Computed", "slot",  "Auth",    "Rate",     "Recent",   "SS",
    "Server",  "Update",    "Master",   "Query", "Sent",    "Received", "Lost",     "Connection",
    "kicked",  "violation", "GAME",     "cvar",  "check",   "passed",   "restored", "client",
    "version", "OK",        "(W)",      "ping",  "Address", "Status",   "Power",    "Name",
    "Alpha",   "Bravo",     "Charlie",  "Delta", "Echo",    "Foxtrot",  "Golf",     "Hotel"};

// Relay log bytes: lines of about lineLength bytes, every tenth with the UCON marker, all
// ended by CR LF as the relay writes them.
QByteArray relayLog(int lines, int lineLength)
{
    std::mt19937 random(20240601u + unsigned(lines));
    std::uniform_int_distribution<std::size_t> word(0, kWords.size() - 1);
    std::uniform_int_distribution<int> number(0, 99999);
    std::string log;
    for (int i = 0; i < lines; ++i) {
        std::string line = i % 10 == 3 ? "\xFA"
                                         "PB UCON \"admin\"@192.0.2.7: say "
                                       : "PunkBuster Server: ";
        while (int(line.size()) < lineLength - 8) {
            line += kWords[word(random)];
            line += ' ';
            line += std::to_string(number(random));
            line += ' ';
        }
        log += line;
        log += "\r\n";
    }
    return QByteArray::fromStdString(log);
}

const QString& rawText(int lines)
{
    static std::map<int, QString> cache;
    auto it = cache.find(lines);
    if (it == cache.end()) {
        it = cache.emplace(lines, RelayLogReader::fromFileContent(fromAnsi(relayLog(lines, 52))))
                 .first;
    }
    return it->second;
}

void fastMasterParse(benchmark::State& state)
{
    const QString& raw = rawText(int(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(LogFilter::MasterParse(raw));
    }
    state.counters["bytes"] = double(raw.size());
}

void literalMasterParse(benchmark::State& state)
{
    const QString& raw = rawText(int(state.range(0)));
    QString result;
    for (auto _ : state) {
        result = literal::MasterParse(raw);
        benchmark::DoNotOptimize(result);
    }
    if (result != LogFilter::MasterParse(raw)) {
        state.SkipWithError("the fast filter gives another text");
    }
}

// A tail tick on a file of about 2 MB: read, decode, rebuild the lines, filter.
void tailTick(benchmark::State& state)
{
    const int lines = int(state.range(0));
    const int lineLength = int(state.range(1));
    QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(QStringLiteral("pbucon.log"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(relayLog(lines, lineLength)) < 0) {
        state.SkipWithError("cannot write the log");
        return;
    }
    file.close();
    for (auto _ : state) {
        const std::optional<QString> raw = RelayLogReader::ReadRelayLog(path);
        benchmark::DoNotOptimize(LogFilter::MasterParse(raw.value_or(QString())));
    }
    state.counters["fileBytes"] = double(QFileInfo(path).size());
}

} // namespace

BENCHMARK(fastMasterParse)->Arg(1000)->Arg(8000)->Arg(32767)->Unit(benchmark::kMillisecond);
BENCHMARK(literalMasterParse)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond);
// About twenty seconds a run: one is enough.
BENCHMARK(literalMasterParse)->Arg(32767)->Iterations(1)->Unit(benchmark::kSecond);
// 2 MB of 52-byte lines is more than 32767 lines, which the removal steps pass through;
// 32767 lines of 64 bytes is the longest log they filter.
BENCHMARK(tailTick)->Args({40000, 52})->Args({32767, 64})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
