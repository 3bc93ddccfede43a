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

enum class LineEnds { CrLf, Lf, CrLfWithBlankLines };

// Relay log bytes: lines of about lineLength bytes, every tenth with the UCON marker, ended by
// CR LF as the relay writes them (or by bare LFs, or with an empty line now and then).
QByteArray relayLog(int lines, int lineLength, LineEnds ends = LineEnds::CrLf)
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
        log += ends == LineEnds::Lf ? "\n" : "\r\n";
        if (ends == LineEnds::CrLfWithBlankLines && i % 1000 == 999) {
            log += "\r\n";
        }
    }
    return QByteArray::fromStdString(log);
}

const QString& rawText(int lines, LineEnds ends = LineEnds::CrLf)
{
    static std::map<std::pair<int, LineEnds>, QString> cache;
    const auto key = std::make_pair(lines, ends);
    auto it = cache.find(key);
    if (it == cache.end()) {
        const QString content = fromAnsi(relayLog(lines, 52, ends));
        it = cache.emplace(key, RelayLogReader::fromFileContent(content)).first;
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

// Logs that take the slower roads: bare LFs (lines without a final CR, so the lookup rolls
// over every character) and empty lines (whose removal takes every CR from the text).
void fastMasterParseOtherLineEnds(benchmark::State& state)
{
    const QString& raw = rawText(int(state.range(0)), LineEnds(state.range(1)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(LogFilter::MasterParse(raw));
    }
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
BENCHMARK(fastMasterParseOtherLineEnds)
    ->Args({32767, int(LineEnds::Lf)})
    ->Args({32767, int(LineEnds::CrLfWithBlankLines)})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(literalMasterParse)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond);
// About twenty seconds a run: one is enough.
BENCHMARK(literalMasterParse)->Arg(32767)->Iterations(1)->Unit(benchmark::kSecond);
// 2 MB of 52-byte lines is more than 32767 lines, which the removal steps pass through;
// 32767 lines of 64 bytes is the longest log they filter.
BENCHMARK(tailTick)->Args({40000, 52})->Args({32767, 64})->Unit(benchmark::kMillisecond);
