// Baselines, measured side by side in one run:
//  - the walk of a 20,000-track iTunesDB (read + walk) against libgpod's itdb_parse_file of
//    the same file, written by libgpod itself;
//  - the whole load of a 32,767-track iPod whose song files all exist, and its file-size
//    step against a bare stat() loop over the same files;
//  - that load with a Play Counts file (an entry with plays for every song) beside the
//    database against the same load without one.
#include <FileImage.h>
#include <IpodBuilder.h>
#include <ParseiTunesDB.h>
#include <iTunesDBReader.h>

// glib's headers use identifiers Qt defines as macros.
#undef signals
#include <gpod/itdb.h>

#include "TimeUnits.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>

using namespace corvanel;
using namespace corvanel::itunesdb;

namespace {

constexpr int ReaderTracks = 20000;
constexpr int LargeTracks = 32767;
constexpr int LargePlaylists = 200;

QString g_libgpodDb;                    // written by libgpod
QString g_largeRoot;                    // an iPod folder by mkipod
QString g_countedDb;                    // a copy of its iTunesDB with a Play Counts file beside it
MusicLibrary *g_largeLibrary = nullptr; // walked once, for the file-size step
std::vector<std::string> g_nativePaths; // the same songs' files for the bare loop

bool writeLibgpodDatabase(const QString &path)
{
    Itdb_iTunesDB *itdb = itdb_new();
    Itdb_Playlist *master = itdb_playlist_new("Benchmark iPod", FALSE);
    itdb_playlist_set_mpl(master);
    itdb_playlist_add(itdb, master, -1);
    static const char *const genres[] = {"Rock", "Jazz", "Pop", "Electronic", "Classical", "Folk"};
    for (int i = 0; i < ReaderTracks; ++i) {
        Itdb_Track *track = itdb_track_new();
        track->title = g_strdup_printf("Song number %d of the benchmark", i);
        track->artist = g_strdup_printf("Artist %d", i % 1500);
        track->album = g_strdup_printf("Album %d", i % 3000);
        track->genre = g_strdup(genres[i % 6]);
        track->filetype = g_strdup("MPEG audio file");
        track->ipod_path = g_strdup_printf(":iPod_Control:Music:F%02d:S%05d.mp3", i % 50, i);
        track->tracklen = 180000 + i;
        track->track_nr = i % 20 + 1;
        track->size = 4000000 + i;
        track->bitrate = 192;
        track->samplerate = 44100;
        itdb_track_add(itdb, track, -1);
        itdb_playlist_add_track(master, track, -1);
    }
    GError *error = nullptr;
    const gboolean ok = itdb_write_file(itdb, QFile::encodeName(path).constData(), &error);
    if (!ok) {
        std::fprintf(stderr, "libgpod could not write the database: %s\n", error ? error->message : "?");
        g_clear_error(&error);
    }
    itdb_free(itdb);
    return ok;
}

QByteArray readWhole(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void BM_OurWalk(benchmark::State &state)
{
    int songs = 0;
    int unknown = 0;
    for (auto _ : state) {
        const auto image = FileImage::read(g_libgpodDb);
        MusicLibrary library;
        LoadReport report;
        walkITunesDb(image ? image->bytes() : QByteArrayView(), library, nullptr, report);
        songs = library.SongCount;
        unknown = report.unknownTags;
        benchmark::DoNotOptimize(library.Songs.data());
    }
    state.counters["songs"] = songs;
    state.counters["unknown_tags"] = unknown;
}

void BM_OurWalkInMemory(benchmark::State &state)
{
    const QByteArray bytes = readWhole(g_libgpodDb);
    for (auto _ : state) {
        MusicLibrary library;
        LoadReport report;
        walkITunesDb(bytes, library, nullptr, report);
        benchmark::DoNotOptimize(library.Songs.data());
    }
}

void BM_ReadWhole(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(FileImage::read(g_libgpodDb)->bytes().size());
}

void BM_LibgpodParse(benchmark::State &state)
{
    int songs = 0;
    const QByteArray name = QFile::encodeName(g_libgpodDb);
    for (auto _ : state) {
        GError *error = nullptr;
        Itdb_iTunesDB *itdb = itdb_parse_file(name.constData(), &error);
        if (!itdb) {
            state.SkipWithError(error ? error->message : "itdb_parse_file failed");
            g_clear_error(&error);
            return;
        }
        songs = static_cast<int>(itdb_tracks_number(itdb));
        itdb_free(itdb);
    }
    state.counters["songs"] = songs;
}

void BM_ParseiTunesDB(benchmark::State &state, bool withPlayCounts)
{
    const QString dbFile = withPlayCounts ? g_countedDb : g_largeRoot + QStringLiteral("/iPod_Control/iTunes/iTunesDB");
    int songs = 0;
    std::size_t problems = 0;
    for (auto _ : state) {
        MusicLibrary library;
        library.iPodDrive = g_largeRoot;
        const LoadReport report = ParseiTunesDB(dbFile, library);
        songs = library.SongCount;
        problems = report.problems.size();
    }
    state.counters["songs"] = songs;
    state.counters["problems"] = static_cast<double>(problems);
}

void BM_FileSizeStep(benchmark::State &state)
{
    for (auto _ : state) {
        NativePathResolver sizes(g_largeRoot);
        LoadReport report;
        measureFileSizes(*g_largeLibrary, 0, sizes, report);
        if (!report.problems.empty())
            state.SkipWithError("a song file is missing");
    }
    state.counters["files"] = g_largeLibrary->SongCount;
}

void BM_BareStatLoop(benchmark::State &state)
{
    for (auto _ : state) {
        double total = 0;
        for (const std::string &path : g_nativePaths) {
            struct stat info
            {
            };
            if (::stat(path.c_str(), &info) == 0)
                total += static_cast<double>(info.st_size);
        }
        benchmark::DoNotOptimize(total);
    }
    state.counters["files"] = static_cast<double>(g_nativePaths.size());
}

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
void printRatio(const SummaryReporter &reporter, const char *label, const char *ours, const char *baseName,
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

// A copy of the large iPod's database in a folder of its own, with a Play Counts file of 28-byte
// entries, every one with plays, a last-played time and a rating.
bool writeCountedDatabase(const QString &folder)
{
    if (!QDir().mkpath(folder) || !QFile::copy(g_largeRoot + QStringLiteral("/iPod_Control/iTunes/iTunesDB"),
                                               folder + QStringLiteral("/iTunesDB")))
        return false;
    mkipod::PlayCountsFile counts;
    for (int i = 0; i < LargeTracks; ++i)
        counts.entries.push_back({1 + i % 3, mkipod::macTimeOf(1793527200 + i), (i % 6) * 20, i % 2, 0});
    QFile file(folder + QStringLiteral("/Play Counts"));
    g_countedDb = folder + QStringLiteral("/iTunesDB");
    return file.open(QIODevice::WriteOnly) && file.write(mkipod::buildPlayCounts(counts)) > 0;
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    QTemporaryDir work;
    if (!work.isValid())
        return 1;

    g_libgpodDb = work.filePath(QStringLiteral("libgpod-iTunesDB"));
    if (!writeLibgpodDatabase(g_libgpodDb))
        return 1;
    std::printf("libgpod wrote %lld bytes for %d tracks\n", static_cast<long long>(QFileInfo(g_libgpodDb).size()),
                ReaderTracks);

    g_largeRoot = work.filePath(QStringLiteral("large"));
    QString error;
    if (!mkipod::makeLargeIpod(g_largeRoot, LargeTracks, LargePlaylists, true, &error)) {
        std::fprintf(stderr, "mkipod: %s\n", qPrintable(error));
        return 1;
    }
    MusicLibrary large;
    {
        LoadReport report;
        walkITunesDb(readWhole(g_largeRoot + QStringLiteral("/iPod_Control/iTunes/iTunesDB")), large, nullptr, report);
        for (const Song &song : large.Songs)
            g_nativePaths.push_back(
                QFile::encodeName(NativePathResolver::literal(g_largeRoot, song.Path)).toStdString());
    }
    g_largeLibrary = &large;
    if (!writeCountedDatabase(work.filePath(QStringLiteral("counted")))) {
        std::fprintf(stderr, "could not write the Play Counts copy\n");
        return 1;
    }

    benchmark::RegisterBenchmark("reader/ours_walk_20000", BM_OurWalk)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("detail/walk_in_memory_20000", BM_OurWalkInMemory)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("detail/read_whole_file", BM_ReadWhole)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("reader/libgpod_itdb_parse_file_20000", BM_LibgpodParse)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("load/ParseiTunesDB_32767_with_files", BM_ParseiTunesDB, false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("counts/ParseiTunesDB_32767_with_play_counts", BM_ParseiTunesDB, true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("sizes/ours_file_size_step_32767", BM_FileSizeStep)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("sizes/bare_stat_loop_32767", BM_BareStatLoop)->Unit(benchmark::kMillisecond);

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n");
    printRatio(reporter, "reader", "reader/ours", "libgpod", "reader/libgpod", 1.0 / 3.0);
    printRatio(reporter, "file sizes", "sizes/ours", "bare stat", "sizes/bare", 1.2);
    printRatio(reporter, "play counts", "counts/", "without them", "load/", 1.10);
    if (const auto load = reporter.times("load/"))
        std::printf("load: ParseiTunesDB of %d tracks, %d playlists, every file present: %.2f ms CPU, %.2f ms wall\n",
                    LargeTracks, LargePlaylists, load->cpuMs, load->wallMs);
    return 0;
}
