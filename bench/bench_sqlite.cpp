// The nano 6G/7G SQLite library against the iTunesDB of the same 20,000 tracks and 200
// playlists (both made by mkipod into one iPod folder), measured side by side in one run:
//  - the reads proper: the iTunesDB read whole and walked, against the SQLite databases
//    opened and their tables read into the library (target: at most 3 times the walk);
//  - the whole loads, with every song file present and measured, for what a user waits for.
#include <FileImage.h>
#include <IpodBuilder.h>
#include <ParseiTunesDB.h>
#include <SqliteLibrary.h>
#include <SqliteWriter.h>
#include <iTunesDBReader.h>

#include "SideBySide.h"
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>

using namespace corvanel;
using namespace corvanel::itunesdb;

namespace {

constexpr int Tracks = 20000;
constexpr int Playlists = 200;

QString g_root;

QString iTunesDbFile()
{
    return g_root + QStringLiteral("/iPod_Control/iTunes/iTunesDB");
}

void BM_WalkITunesDb(benchmark::State &state)
{
    int songs = 0;
    for (auto _ : state) {
        const auto image = FileImage::read(iTunesDbFile());
        MusicLibrary library;
        LoadReport report;
        walkITunesDb(image ? image->bytes() : QByteArrayView(), library, nullptr, report);
        songs = library.SongCount;
    }
    state.counters["songs"] = songs;
}

void BM_ReadSqlite(benchmark::State &state)
{
    int songs = 0;
    for (auto _ : state) {
        auto libraryDb = openSqliteLibraryFile(g_root, SqliteLibraryFile);
        auto locations = openSqliteLibraryFile(g_root, SqliteLocationsFile);
        if (!libraryDb || !locations) {
            state.SkipWithError("the SQLite library cannot be opened");
            return;
        }
        MusicLibrary library;
        library.iPodDrive = g_root;
        LoadReport report;
        fillFromSqlite(*libraryDb, &*locations, library, report);
        songs = library.SongCount;
    }
    state.counters["songs"] = songs;
}

void BM_LoadITunesDb(benchmark::State &state)
{
    std::size_t problems = 0;
    for (auto _ : state) {
        MusicLibrary library;
        library.iPodDrive = g_root;
        problems = ParseiTunesDB(iTunesDbFile(), library).problems.size();
    }
    state.counters["problems"] = static_cast<double>(problems);
}

void BM_LoadSqlite(benchmark::State &state)
{
    std::size_t problems = 0;
    for (auto _ : state) {
        MusicLibrary library;
        problems = readSqliteLibrary(g_root, library).problems.size();
    }
    state.counters["problems"] = static_cast<double>(problems);
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    g_root = work.filePath(QStringLiteral("nano"));
    QString error;
    if (!mkipod::makeLargeIpod(g_root, Tracks, Playlists, true, &error) ||
        !mkipod::writeSqliteLibrary(g_root, mkipod::makeLargeDatabase(Tracks, Playlists), &error)) {
        std::fprintf(stderr, "mkipod: %s\n", qPrintable(error));
        return 1;
    }

    benchmark::RegisterBenchmark("read/sqlite_20000", BM_ReadSqlite)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("read/itunesdb_walk_20000", BM_WalkITunesDb)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("load/sqlite_20000_with_files", BM_LoadSqlite)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("load/itunesdb_20000_with_files", BM_LoadITunesDb)->Unit(benchmark::kMillisecond);

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n");
    printRatio(reporter, "SQLite library read", "read/sqlite", "iTunesDB walk", "read/itunesdb", 3.0);
    printRatio(reporter, "SQLite library load", "load/sqlite", "iTunesDB load", "load/itunesdb", 3.0);
    return 0;
}
