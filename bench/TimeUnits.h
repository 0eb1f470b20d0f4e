#pragma once
// Google Benchmark's time units in milliseconds, for the reporters that print our ratios.
#include <benchmark/benchmark.h>

inline double millisecondsPer(benchmark::TimeUnit unit)
{
    switch (unit) {
    case benchmark::kNanosecond:
        return 1e-6;
    case benchmark::kMicrosecond:
        return 1e-3;
    case benchmark::kMillisecond:
        return 1;
    case benchmark::kSecond:
        return 1e3;
    }
    return 1;
}
