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
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                m_times[run.benchmark_name()] = {run.GetAdjustedRealTime() * millisecondsPer(run.time_unit),
                                                 run.GetAdjustedCPUTime() * millisecondsPer(run.time_unit)};
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

// One line per comparison. The verdict uses CPU time (user + system), which other work on
// a shared machine disturbs less than wall time.
inline void printRatio(const SummaryReporter &reporter, const char *label, const char *ours, const char *baseName,
                       const char *base, double target)
{
    const auto o = reporter.times(ours);
    const auto b = reporter.times(base);
    if (!o || !b || b->cpuMs <= 0 || b->wallMs <= 0)
        return;
    const double ratio = o->cpuMs / b->cpuMs;
    std::printf("%s: ours %.2f ms, %s %.2f ms, ratio %.3f (wall: %.2f / %.2f ms = %.3f); target <= %.2f: %s\n", label,
                o->cpuMs, baseName, b->cpuMs, ratio, o->wallMs, b->wallMs, o->wallMs / b->wallMs, target,
                ratio <= target ? "met" : "NOT met");
}
