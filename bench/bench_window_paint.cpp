// The main window's own painting while a song plays with the analyser on: the 200 ms tick
// repaints the time labels and bars (parts of the window), a screen jump or an expose the
// whole window. Baseline, side by side: the background made anew on each paint (the tiled
// backdrop and the frame edges), as the window used to paint it. Ours copies it from a
// picture made once per size and scale factor.
#include "AnalyserView.h"
#include "BenchLibrary.h"
#include "EmbeddedPlayer.h"
#include "SkinFrame.h"
#include "frmBack.h"
#include "frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cstdio>

using namespace corvanel;
using namespace corvanel::app;
using namespace corvanel::playback;
using namespace corvanel::skin;

namespace {

constexpr QSize kWindow(1180, 760);

// The exposed parts a playing tick repaints: the elapsed and remaining labels.
QRect tickRect()
{
    return QRect(330, 600, 260, 40);
}

void paintAnew(QPainter &painter, const QRect &exposed)
{
    painter.save();
    painter.setClipRect(exposed);
    const frmBack back(1.0);
    PaintBack(painter, QRect(QPoint(0, 0), kWindow), back.backgroundTile());
    paintFrameEdges(painter, QRect(QPoint(0, 0), kWindow));
    painter.restore();
}

template <typename Paint> double medianMicroseconds(Paint &&paint, int rounds)
{
    std::vector<double> times;
    QImage target(kWindow, QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < rounds; ++i) {
        QPainter painter(&target);
        QElapsedTimer clock;
        clock.start();
        paint(painter);
        times.push_back(double(clock.nsecsElapsed()) / 1000.0);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void BM_TickBackgroundAnew(benchmark::State &state)
{
    QImage target(kWindow, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&target);
        paintAnew(painter, tickRect());
    }
}
BENCHMARK(BM_TickBackgroundAnew)->Unit(benchmark::kMicrosecond);

void BM_TickBackgroundCached(benchmark::State &state)
{
    QImage target(kWindow, QImage::Format_ARGB32_Premultiplied);
    BackdropCache cache;
    for (auto _ : state) {
        QPainter painter(&target);
        cache.paint(painter, tickRect(), kWindow, 1.0);
    }
}
BENCHMARK(BM_TickBackgroundCached)->Unit(benchmark::kMicrosecond);

// The real window with the analyser running: one tick's repaint of the labels' area.
void BM_MainWindowTickRepaint(benchmark::State &state)
{
    const mkipod::Database db = mkipod::makeLargeDatabase(2000, 10);
    auto library = libraryFromDatabase(db, QStringLiteral("/nonexistent"));
    frmMain window(*library);
    window.resize(kWindow);
    window.show();
    QApplication::processEvents();
    const QLabel *elapsed = window.player().lblElapsed;
    const QRect labels(elapsed->mapTo(&window, QPoint(0, 0)), QSize(window.player().width(), elapsed->height()));
    for (auto _ : state) {
        window.repaint(labels);
        window.player().PicSpectrum->repaint();
    }
}
BENCHMARK(BM_MainWindowTickRepaint)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // Side by side in this run: a tick's part and the whole window, background anew vs copied.
    BackdropCache cache;
    const QRect whole(QPoint(0, 0), kWindow);
    const double tickAnew = medianMicroseconds([](QPainter &p) { paintAnew(p, tickRect()); }, 200);
    const double tickCached = medianMicroseconds([&](QPainter &p) { cache.paint(p, tickRect(), kWindow, 1.0); }, 200);
    const double wholeAnew = medianMicroseconds([&](QPainter &p) { paintAnew(p, whole); }, 50);
    const double wholeCached = medianMicroseconds([&](QPainter &p) { cache.paint(p, whole, kWindow, 1.0); }, 50);
    std::printf("window background, one tick's part: %.1f us made anew, %.1f us copied: ratio %.3f\n", tickAnew,
                tickCached, tickCached / tickAnew);
    std::printf("window background, whole window:    %.1f us made anew, %.1f us copied: ratio %.3f\n", wholeAnew,
                wholeCached, wholeCached / wholeAnew);
    return 0;
}
