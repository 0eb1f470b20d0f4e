// Baselines, measured side by side in one run:
//  - the walk of a 20,000-track iTunesDB (read + walk) against libgpod's itdb_parse_file of
//    the same file, written by libgpod itself;
//  - the same library as an iTunesCDB (read + inflate + walk) against that plain walk;
//  - the whole load of a 32,767-track iPod whose song files all exist, and its file-size
//    step against a bare stat() loop over the same files;
//  - that load with a Play Counts file (an entry with plays for every song) beside the
//    database against the same load without one.
#include <CompressedDatabase.h>
#include <FileImage.h>
#include <IpodBuilder.h>
#include <ParseiTunesDB.h>
#include <iTunesDBReader.h>

// glib's headers use identifiers Qt defines as macros.
#undef signals
#include <gpod/itdb.h>

#include "SideBySide.h"
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
constexpr int Repeats = 5; // runs of each side of a comparison; the fastest counts

QString g_libgpodDb;                    // written by libgpod
QString g_compressedDb;                 // the same, compressed as an iTunesCDB
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

// Reading the compressed file and walking it while it inflates, until the inflating has ended.
void BM_CompressedWalk(benchmark::State &state)
{
    int songs = 0;
    for (auto _ : state) {
        const auto image = FileImage::read(g_compressedDb);
        auto inflating = InflatingDatabase::start(image->bytes());
        if (!inflating) {
            state.SkipWithError(qPrintable(inflating.error().message));
            return;
        }
        MusicLibrary library;
        LoadReport report;
        walkITunesDb(**inflating, image->bytes().size() * 5, library, report);
        if (const auto whole = (*inflating)->finish(); !whole) {
            state.SkipWithError(qPrintable(whole.error().message));
            return;
        }
        songs = library.SongCount;
        benchmark::DoNotOptimize(library.Songs.data());
    }
    state.counters["songs"] = songs;
}

// The whole load of the same library from each file, on an iPod folder without song files.
void BM_LoadFile(benchmark::State &state, const QString *file)
{
    QTemporaryDir drive;
    for (auto _ : state) {
        MusicLibrary library;
        library.iPodDrive = drive.path();
        benchmark::DoNotOptimize(ParseiTunesDB(*file, library).isDatabase);
    }
}

void BM_Inflate(benchmark::State &state)
{
    const QByteArray bytes = readWhole(g_compressedDb);
    for (auto _ : state)
        benchmark::DoNotOptimize(inflateDatabase(bytes)->bytes().size());
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
    g_compressedDb = work.filePath(QStringLiteral("iTunesCDB"));
    {
        QFile compressed(g_compressedDb);
        const QByteArray bytes = mkipod::compressITunesDb(readWhole(g_libgpodDb));
        if (bytes.isEmpty() || !compressed.open(QIODevice::WriteOnly) || compressed.write(bytes) != bytes.size())
            return 1;
        std::printf("compressed as an iTunesCDB: %lld bytes\n", static_cast<long long>(bytes.size()));
    }

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

    benchmark::RegisterBenchmark("reader/ours_walk_20000", BM_OurWalk)
        ->MeasureProcessCPUTime()
        ->Repetitions(Repeats)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("compressed/ours_cdb_20000", BM_CompressedWalk)
        ->MeasureProcessCPUTime()
        ->Repetitions(Repeats)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("detail/walk_in_memory_20000", BM_OurWalkInMemory)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("detail/inflate_20000", BM_Inflate)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("load/cdb_ParseiTunesDB_20000", BM_LoadFile, &g_compressedDb)
        ->MeasureProcessCPUTime()
        ->Repetitions(Repeats)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("load/plain_ParseiTunesDB_20000", BM_LoadFile, &g_libgpodDb)
        ->MeasureProcessCPUTime()
        ->Repetitions(Repeats)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("detail/read_whole_file", BM_ReadWhole)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("reader/libgpod_itdb_parse_file_20000", BM_LibgpodParse)
        ->Repetitions(Repeats)
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
    // The compressed database inflates on a second thread while the walk reads it: judged on
    // wall time, the fastest of the repeated runs of each side.
    printRatio(reporter, "compressed", "compressed/ours", "plain walk", "reader/ours_walk", 1.5, Verdict::Wall);
    printRatio(reporter, "compressed, whole load", "load/cdb", "plain load", "load/plain", 1.5, Verdict::Wall);
    printRatio(reporter, "file sizes", "sizes/ours", "bare stat", "sizes/bare", 1.2);
    printRatio(reporter, "play counts", "counts/", "without them", "load/ParseiTunesDB", 1.10);
    if (const auto load = reporter.times("load/ParseiTunesDB"))
        std::printf("load: ParseiTunesDB of %d tracks, %d playlists, every file present: %.2f ms CPU, %.2f ms wall\n",
                    LargeTracks, LargePlaylists, load->cpuMs, load->wallMs);
    return 0;
}
