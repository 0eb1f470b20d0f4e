// The duplicate check, the missing-file check and the playlist file on 32,767 songs.
// Baselines, run side by side in the same process:
//   duplicates: comparing every song with every other and looking for "[j]" in a mark text,
//               the check as first written (budget: ours <= 20 ms);
//   missing:    a bare stat() loop over the same, already built, file names (budget: ratio <= 1.2);
//   playlist:   no baseline, budget 30 ms for writing the whole list.
#include "BenchLibrary.h"
#include "IpodBuilder.h"
#include "LibraryChecks.h"
#include "Median.h"
#include "MusicLibrary.h"
#include "PlaylistFile.h"
#include "SongCatalog.h"
#include "SongTableModel.h"
#include "StallMeter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <vector>

using namespace corvanel;
using namespace corvanel::app;
using namespace corvanel::library;

namespace {

constexpr int kSongs = 32767;

QTemporaryDir &ipodFolder()
{
    static QTemporaryDir dir;
    return dir;
}

// The large library; when withDuplicates is set, every tenth song takes the title, artist
// and album of an earlier one.
std::unique_ptr<MusicLibrary> largeLibrary(bool withDuplicates)
{
    auto library = libraryFromDatabase(mkipod::makeLargeDatabase(kSongs, 200), ipodFolder().path());
    if (!withDuplicates)
        return library;
    uint32_t pick = 12345;
    for (std::size_t index = 10; index < library->Songs.size(); index += 10) {
        pick = pick * 1103515245u + 12345u;
        const Song &earlier = library->Songs[(pick >> 8) % index];
        Song &song = library->Songs[index];
        song.Title = earlier.Title;
        song.Artist = earlier.Artist;
        song.Album = earlier.Album;
    }
    return library;
}

const MusicLibrary &duplicatesLibrary()
{
    static const auto library = largeLibrary(true);
    return *library;
}

const MusicLibrary &presentLibrary()
{
    static const auto library = largeLibrary(false);
    return *library;
}

CheckResult literalDuplicates(const MusicLibrary &library)
{
    CheckResult result;
    QString marks;
    const auto n = static_cast<int>(library.Songs.size());
    for (int i = 0; i < n; ++i) {
        const Song &a = library.Songs[static_cast<std::size_t>(i)];
        for (int j = 0; j < n; ++j) {
            if (j == i)
                continue;
            const Song &b = library.Songs[static_cast<std::size_t>(j)];
            if (b.Title == a.Title && b.Artist == a.Artist && b.Album == a.Album &&
                !marks.contains(QLatin1Char('[') + QString::number(j) + QLatin1Char(']'))) {
                ++result.count;
                marks += QLatin1Char('[') + QString::number(i) + QLatin1Char(']');
                result.report += QStringLiteral("\r\n") + a.Artist + QStringLiteral(" - ") + a.Title;
            }
        }
    }
    return result;
}

std::map<std::string, std::vector<double>> &timings()
{
    static std::map<std::string, std::vector<double>> all;
    return all;
}

template <typename F> void timed(benchmark::State &state, const char *name, F &&work)
{
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        timings()[name].push_back(seconds * 1000.0);
    }
}

void BM_DuplicatesGrouped(benchmark::State &state)
{
    const MusicLibrary &library = duplicatesLibrary();
    int64_t count = 0;
    timed(state, "duplicates.ours", [&] { count = findDuplicates(library).count; });
    state.counters["duplicates"] = static_cast<double>(count);
}

void BM_DuplicatesLiteral(benchmark::State &state)
{
    const MusicLibrary &library = duplicatesLibrary();
    int64_t count = 0;
    timed(state, "duplicates.literal", [&] { count = literalDuplicates(library).count; });
    state.counters["duplicates"] = static_cast<double>(count);
}

void BM_MissingOurs(benchmark::State &state)
{
    const MusicLibrary &library = presentLibrary();
    int64_t missing = 0;
    timed(state, "missing.ours", [&] { missing = findMissing(library).count; });
    state.counters["missing"] = static_cast<double>(missing);
}

void BM_MissingBareStat(benchmark::State &state)
{
    const MusicLibrary &library = presentLibrary();
    std::vector<std::string> names;
    names.reserve(library.Songs.size());
    for (const Song &song : library.Songs) {
        QString path = song.Path;
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        names.push_back(QFile::encodeName(library.iPodDrive + path).toStdString());
    }
    int64_t missing = 0;
    timed(state, "missing.stat", [&] {
        missing = 0;
        for (const std::string &name : names) {
            struct stat info
            {
            };
            if (::stat(name.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
                ++missing;
        }
        benchmark::DoNotOptimize(missing);
    });
    state.counters["missing"] = static_cast<double>(missing);
}

// The check as the window runs it: on its worker, while the window's thread keeps ticking.
// Returns the time until the report arrived and the longest gap between two ticks.
struct BackgroundRun
{
    double totalMs = 0;
    double longestStallMs = 0;
};

BackgroundRun missingInBackground(const MusicLibrary &library)
{
    BackgroundRun run;
    QEventLoop loop;
    MissingFilesCheck check;
    QObject::connect(&check, &MissingFilesCheck::finished, &loop, &QEventLoop::quit);
    StallMeter meter;
    check.start(library);
    loop.exec();
    meter.tick();
    run.totalMs = meter.elapsedMs();
    run.longestStallMs = meter.longestMs();
    return run;
}

void BM_MissingInBackground(benchmark::State &state)
{
    const MusicLibrary &library = presentLibrary();
    for (auto _ : state) {
        const BackgroundRun run = missingInBackground(library);
        timings()["missing.background"].push_back(run.totalMs);
        timings()["missing.stall"].push_back(run.longestStallMs);
        state.SetIterationTime(run.totalMs / 1000.0);
    }
}

void BM_PlaylistFile(benchmark::State &state)
{
    const MusicLibrary &library = presentLibrary();
    const SongCatalog catalog(library);
    SongTableModel rows(catalog);
    std::vector<int32_t> all(static_cast<std::size_t>(library.SongCount));
    for (int32_t i = 0; i < library.SongCount; ++i)
        all[static_cast<std::size_t>(i)] = i;
    rows.setSongs(std::move(all));
    rows.sortForBrowsing();
    qint64 bytes = 0;
    timed(state, "m3u", [&] {
        const auto written = writeM3u(library.iPodDrive, rows);
        if (!written) {
            state.SkipWithError(written.error().toStdString().c_str());
            return;
        }
        bytes = QFile(*written).size();
        QFile::remove(*written);
    });
    state.counters["rows"] = rows.rowCount();
    state.counters["bytes"] = static_cast<double>(bytes);
}

} // namespace

BENCHMARK(BM_DuplicatesGrouped)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_DuplicatesLiteral)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_MissingBareStat)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_MissingOurs)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_MissingInBackground)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_PlaylistFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QString error;
    if (!ipodFolder().isValid() || !mkipod::makeLargeIpod(ipodFolder().path(), kSongs, 200, true, &error)) {
        std::fprintf(stderr, "cannot make the large iPod: %s\n", qPrintable(error));
        return 1;
    }
    // Warm the caches the way a second run of the check would find them.
    (void)findMissing(presentLibrary());
    (void)duplicatesLibrary();

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double ours = median(timings()["duplicates.ours"]);
    const double literal = median(timings()["duplicates.literal"]);
    const double missing = median(timings()["missing.ours"]);
    const double stat = median(timings()["missing.stat"]);
    const double m3u = median(timings()["m3u"]);
    const double background = median(timings()["missing.background"]);
    const std::vector<double> &stalls = timings()["missing.stall"];
    const double stall = stalls.empty() ? 0 : *std::max_element(stalls.begin(), stalls.end());
    std::printf("\n%d songs, medians:\n", kSongs);
    if (ours > 0 && literal > 0)
        std::printf("duplicates (10%% duplicated): ours %.2f ms, literal double loop %.1f ms, %.0fx faster "
                    "(budget: ours <= 20 ms: %s)\n",
                    ours, literal, literal / ours, ours <= 20 ? "met" : "MISSED");
    if (missing > 0 && stat > 0)
        std::printf("missing files (all present): ours %.2f ms, bare stat loop %.2f ms, ratio %.2f "
                    "(budget <= 1.2: %s)\n",
                    missing, stat, missing / stat, missing / stat <= 1.2 ? "met" : "MISSED");
    if (background > 0 && stat > 0)
        std::printf("missing files off the window's thread: %.2f ms until the report, ratio %.2f to the bare stat "
                    "loop (budget <= 1.2: %s); longest stall of the window's thread %.2f ms over %zu runs "
                    "(budget <= 16.7 ms: %s)\n",
                    background, background / stat, background / stat <= 1.2 ? "met" : "MISSED", stall, stalls.size(),
                    stall <= 16.7 ? "met" : "MISSED");
    if (m3u > 0)
        std::printf("playlist file of %d rows: %.2f ms (budget <= 30 ms: %s)\n", kSongs, m3u,
                    m3u <= 30 ? "met" : "MISSED");
    return 0;
}
