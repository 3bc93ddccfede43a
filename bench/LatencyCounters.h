#pragma once

#include <QList>
#include <algorithm>
#include <benchmark/benchmark.h>

// Reports a distribution of latencies in milliseconds as the benchmark's counters: min,
// median, p90 and max.
inline void reportLatencies(benchmark::State& state, QList<double> milliseconds)
{
    if (milliseconds.isEmpty()) {
        return;
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    state.counters["min_ms"] = milliseconds.first();
    state.counters["median_ms"] = milliseconds.at(milliseconds.size() / 2);
    state.counters["p90_ms"] = milliseconds.at(milliseconds.size() * 9 / 10);
    state.counters["max_ms"] = milliseconds.last();
}
