// The browser on a 32,767-song library with real widgets (offscreen): the first full cascade,
// a genre click, a narrowing keystroke and a deleting keystroke. Prints medians against the
// interactive budgets (one 60 Hz frame for a click or a narrowing keystroke, 50 ms otherwise),
// and the program's resident size with that library loaded and shown.
#include "BenchLibrary.h"
#include "IpodBuilder.h"
#include "MusicLibrary.h"
#include "RecordingDialogs.h"
#include "frmMain.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

using namespace corvanel;
using namespace corvanel::app;
using namespace corvanel::library;
using namespace corvanel::platform;

namespace {

std::unique_ptr<MusicLibrary> largeLibrary()
{
    return libraryFromDatabase(mkipod::makeLargeDatabase(32767, 200), QStringLiteral("/nonexistent"));
}

MusicLibrary &bigLibrary()
{
    static std::unique_ptr<MusicLibrary> lib = largeLibrary();
    return *lib;
}

template <typename F> double millisecondsOf(F &&work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Each benchmark reports the median of its manual timings.
void BM_FirstFullCascade(benchmark::State &state)
{
    frmMain window(bigLibrary());
    for (auto _ : state) {
        const double ms = millisecondsOf([&] { window.SelectOneVal(window.lstSource, 0); });
        state.SetIterationTime(ms / 1000.0);
    }
    state.counters["rows"] = window.songModel().rowCount();
}

void BM_GenreClick(benchmark::State &state)
{
    frmMain window(bigLibrary());
    int row = 1;
    for (auto _ : state) {
        const double ms = millisecondsOf([&] { window.SelectOneVal(window.lstGenre, row); });
        state.SetIterationTime(ms / 1000.0);
        row = row % (window.lstGenre->count() - 1) + 1;
    }
    state.counters["rows"] = window.songModel().rowCount();
}

void BM_NarrowingKeystroke(benchmark::State &state)
{
    frmMain window(bigLibrary());
    for (auto _ : state) {
        state.PauseTiming();
        window.txtSearch->clear();
        window.txtSearch->setText(QStringLiteral("s"));
        state.ResumeTiming();
        const double ms = millisecondsOf([&] { window.txtSearch->setText(QStringLiteral("so")); });
        state.SetIterationTime(ms / 1000.0);
    }
    state.counters["rows"] = window.songModel().rowCount();
}

void BM_DeletingKeystroke(benchmark::State &state)
{
    frmMain window(bigLibrary());
    for (auto _ : state) {
        state.PauseTiming();
        window.txtSearch->clear();
        window.txtSearch->setText(QStringLiteral("so"));
        state.ResumeTiming();
        const double ms = millisecondsOf([&] { window.txtSearch->setText(QStringLiteral("s")); });
        state.SetIterationTime(ms / 1000.0);
    }
    state.counters["rows"] = window.songModel().rowCount();
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

BENCHMARK(BM_FirstFullCascade)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_GenreClick)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_NarrowingKeystroke)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_DeletingKeystroke)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    corvanel::platform::RecordingDialogs dialogs;
    corvanel::platform::setDialogs(&dialogs);
    benchmark::Initialize(&argc, argv);

    const long before = residentKiB();
    bigLibrary();
    {
        frmMain window(bigLibrary());
        window.show();
        QCoreApplication::processEvents();
        std::printf("memory: resident %.1f MiB with %d songs loaded and shown (%.1f MiB before loading)\n",
                    residentKiB() / 1024.0, bigLibrary().SongCount, before / 1024.0);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("budgets: first cascade <= 50 ms, genre click and narrowing keystroke <= 16.7 ms, "
                "deleting keystroke <= 50 ms (medians above)\n");
    corvanel::platform::setDialogs(nullptr);
    return 0;
}
