// One analyser frame at the window's real size (269 x 56): the band work and the painting.
// Budget: 1 ms a frame (the display redraws every 10 ms).
#include "AnalyserView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace corvanel;
using namespace corvanel::playback;

namespace {
void BM_DrawSpectrum(benchmark::State &state)
{
    AnalyserView view;
    view.resize(269, 56);
    QImage target(view.size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<float> magnitudes(401);
    int frame = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < magnitudes.size(); ++i)
            magnitudes[i] = static_cast<float>(0.5 + 0.5 * std::sin(0.05 * static_cast<double>(i + frame)));
        ++frame;
        view.DrawSpectrum(magnitudes.data());
        view.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_DrawSpectrum)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
} // namespace

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("budget: DrawSpectrum <= 1 ms a frame (median above)\n");
    return 0;
}
