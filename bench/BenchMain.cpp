// The main() of every benchmark program: the benchmarks run inside a Qt application, a widget
// one where the program measures windows (offscreen, so that no display is needed).
#include <benchmark/benchmark.h>

#ifdef GARRISON_BENCH_WIDGETS
#include <QApplication>
using BenchApplication = QApplication;
#else
#include <QCoreApplication>
using BenchApplication = QCoreApplication;
#endif

int main(int argc, char** argv)
{
#ifdef GARRISON_BENCH_WIDGETS
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    BenchApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
