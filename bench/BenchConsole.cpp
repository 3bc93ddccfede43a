// What a reply costs the console: appending one 1,400-byte reply to a console that already
// holds a lot must not cost more the more it holds.
#include "platform/ConsoleBox.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

QString reply()
{
    QString text;
    while (text.size() < 1400) {
        text += QStringLiteral(" 12   150   48 1234567890 Player^7 Name      0 192.0.2.10:28960 "
                               " 1234 25000\r\n");
    }
    text.truncate(1400);
    return text;
}

void appendToFilledConsole(benchmark::State& state)
{
    garrison::ConsoleBox box;
    box.resize(800, 600);
    box.show();
    const QString chunk = reply();
    const qsizetype target = state.range(0) * 1024 * 1024;
    while (box.text().size() < target) {
        box.appendText(chunk);
    }
    QApplication::processEvents();
    for (auto _ : state) {
        box.appendText(chunk);
        box.moveCaretToEnd();
    }
    state.counters["console_MiB"] = double(box.text().size()) / (1024 * 1024);
}
BENCHMARK(appendToFilledConsole)->Arg(0)->Arg(1)->Arg(5)->Unit(benchmark::kMicrosecond);

} // namespace
