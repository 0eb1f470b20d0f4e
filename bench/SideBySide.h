#pragma once
// A console reporter that keeps each benchmark's times, and the one-line comparison of ours
// against a baseline that the benchmarks print after their runs.
#include "TimeUnits.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Keeps each benchmark's wall and CPU time per iteration for the summary.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    struct Times
    {
        double wallMs = 0;
        double cpuMs = 0;
    };

    void ReportRuns(const std::vector<Run> &runs) override
    {
        // Of repeated runs the fastest is kept: other work on the machine only ever adds time.
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations <= 0)
                continue;
            const Times times{run.GetAdjustedRealTime() * millisecondsPer(run.time_unit),
                              run.GetAdjustedCPUTime() * millisecondsPer(run.time_unit)};
            const auto [kept, first] = m_times.try_emplace(run.benchmark_name(), times);
            if (!first && times.wallMs < kept->second.wallMs)
                kept->second = times;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::optional<Times> times(const std::string &prefix) const
    {
        for (const auto &[name, value] : m_times)
            if (name.rfind(prefix, 0) == 0)
                return value;
        return std::nullopt;
    }

private:
    std::map<std::string, Times> m_times;
};

// What a comparison's verdict is judged on. CPU time (user + system) is disturbed less than
// wall time by other work on a shared machine; wall time is what counts for work that is
// spread over threads on purpose. Such benchmarks measure the whole process's CPU time, so
// that the line shows the work done as well as the waiting saved.
enum class Verdict { Cpu, Wall };

// One line per comparison.
inline void printRatio(const SummaryReporter &reporter, const char *label, const char *ours, const char *baseName,
                       const char *base, double target, Verdict on = Verdict::Cpu)
{
    const auto o = reporter.times(ours);
    const auto b = reporter.times(base);
    if (!o || !b || b->cpuMs <= 0 || b->wallMs <= 0)
        return;
    const double cpu = o->cpuMs / b->cpuMs;
    const double wall = o->wallMs / b->wallMs;
    const double ratio = on == Verdict::Cpu ? cpu : wall;
    if (on == Verdict::Cpu)
        std::printf("%s: ours %.2f ms, %s %.2f ms, ratio %.3f (wall: %.2f / %.2f ms = %.3f)", label, o->cpuMs, baseName,
                    b->cpuMs, ratio, o->wallMs, b->wallMs, wall);
    else
        std::printf("%s: ours %.2f ms, %s %.2f ms wall, ratio %.3f (CPU: %.2f / %.2f ms = %.3f)", label, o->wallMs,
                    baseName, b->wallMs, ratio, o->cpuMs, b->cpuMs, cpu);
    std::printf("; target <= %.2f: %s\n", target, ratio <= target ? "met" : "NOT met");
}
