// Targets, each printed as a ratio (measured / target) in one run:
//  - decoding one 320x320 cover from its .ithmb file: <= 2 ms;
//  - the player panel's cover on song changes (cache misses, decoded on the worker): no stall
//    of the window thread over one 60 Hz frame (16.7 ms);
//  - loading 20,000 songs that have covers: <= 1.1 x loading the same songs without (covers are
//    read only when asked for).
#include "Median.h"
#include "StallMeter.h"

#include <ArtworkDecoder.h>
#include <ArtworkLibrary.h>
#include <ArtworkWriter.h>
#include <CoverCache.h>
#include <CoverView.h>
#include <IpodBuilder.h>
#include <ParseiTunesDB.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>

using namespace corvanel;
using namespace corvanel::itunesdb;

namespace {

constexpr int LoadTracks = 20000;
constexpr int PanelCovers = 40;

QTemporaryDir *g_root = nullptr;

QString ipodAt(const QString &name)
{
    return g_root->filePath(name);
}

// An iPod of `tracks` songs; with covers, each song links to a 320x320 and a 56x56 image of its
// album (one of 50 patterns).
bool makeIpod(const QString &root, int tracks, bool covers)
{
    mkipod::Database db = mkipod::makeLargeDatabase(tracks, 20);
    std::vector<mkipod::CoverImage> images;
    if (covers) {
        std::vector<QByteArray> large, small;
        for (int p = 0; p < 50; ++p) {
            large.push_back(mkipod::coverPixels(p, 320, 320));
            small.push_back(mkipod::coverPixels(p, 56, 56));
        }
        for (size_t i = 0; i < db.tracks.size(); ++i) {
            mkipod::Track &t = db.tracks[i];
            t.artworkId = uint32_t(100 + i);
            images.push_back({t.artworkId,
                              mkipod::trackDbid(t.id),
                              {{1060, 320, 320, large[i % 50]}, {1061, 56, 56, small[i % 50]}}});
        }
    }
    QString error;
    const bool ok =
        mkipod::writeIpod(root, db, std::nullopt, &error) && (!covers || mkipod::writeArtwork(root, images, &error));
    if (!ok)
        std::fprintf(stderr, "mkipod: %s\n", qPrintable(error));
    return ok;
}

library::Song songOf(uint32_t artworkId)
{
    library::Song song;
    song.SongID = artworkId;
    song.ArtworkId = artworkId;
    return song;
}

void BM_DecodeCover320(benchmark::State &state)
{
    ArtworkLibrary artwork(ipodAt(QStringLiteral("covers")));
    uint32_t id = 100;
    for (auto _ : state) {
        benchmark::DoNotOptimize(artwork.cover(songOf(id)));
        id = 100 + (id - 99) % PanelCovers;
    }
}
BENCHMARK(BM_DecodeCover320)->Unit(benchmark::kMillisecond);

double loadMs(const QString &root)
{
    library::MusicLibrary library;
    library.iPodDrive = root;
    QElapsedTimer clock;
    clock.start();
    ParseiTunesDB(root + QStringLiteral("/iPod_Control/iTunes/iTunesDB"), library);
    return double(clock.nsecsElapsed()) / 1e6;
}

// Changes the song every 50 ms through covers no cache holds, as a listener skipping would.
double longestPanelStallMs()
{
    CoverCache cache(std::make_shared<ArtworkLibrary>(ipodAt(QStringLiteral("covers"))));
    skin::CoverView view(QStringLiteral("picCover"));
    view.resize(64, 64);
    view.show();
    double current = 0;
    QObject::connect(&cache, &CoverCache::coverReady, &view, [&](double id, const QImage &cover) {
        if (id == current)
            view.setCover(cover);
    });
    StallMeter meter;
    for (int change = 0; change < PanelCovers; ++change) {
        const library::Song song = songOf(uint32_t(100 + change));
        current = song.SongID;
        view.setCover(cache.cached(song));
        cache.request(song);
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 50)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        view.repaint();
    }
    meter.tick();
    return meter.longestMs();
}

} // namespace

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QTemporaryDir root;
    g_root = &root;
    if (!makeIpod(ipodAt(QStringLiteral("covers")), LoadTracks, true) ||
        !makeIpod(ipodAt(QStringLiteral("plain")), LoadTracks, false))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    ArtworkLibrary artwork(ipodAt(QStringLiteral("covers")));
    artwork.database();
    QElapsedTimer clock;
    clock.start();
    for (uint32_t id = 100; id < 100 + PanelCovers; ++id)
        artwork.cover(songOf(id));
    const double decodeMs = double(clock.nsecsElapsed()) / 1e6 / PanelCovers;
    std::printf("decode one 320x320 cover: %.3f ms; target <= 2 ms: ratio %.3f\n", decodeMs, decodeMs / 2.0);

    const double stall = longestPanelStallMs();
    std::printf("player panel, %d song changes: longest window-thread stall %.2f ms; target <= 16.7 ms: ratio %.3f\n",
                PanelCovers, stall, stall / 16.7);

    // Alternated, so that caches and other work on the machine weigh on both alike.
    std::vector<double> withRounds, withoutRounds;
    for (int round = 0; round < 9; ++round) {
        withRounds.push_back(loadMs(ipodAt(QStringLiteral("covers"))));
        withoutRounds.push_back(loadMs(ipodAt(QStringLiteral("plain"))));
    }
    const double withCovers = median(withRounds);
    const double without = median(withoutRounds);
    std::printf("load %d songs: %.1f ms with covers, %.1f ms without: %.3f x; target <= 1.1 x: ratio %.3f\n",
                LoadTracks, withCovers, without, withCovers / without, withCovers / without / 1.1);
    return 0;
}
