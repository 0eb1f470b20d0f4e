// The analyser's band tables, its per-band peak scaling and its drawing.
#include "AnalyserBands.h"
#include "AnalyserView.h"

#include <QImage>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

using namespace corvanel;
using namespace corvanel::playback;

TEST(Spectrum, BandTablesCoverTheirValues)
{
    int sum32 = 0, sum16 = 0;
    for (int a = 0; a < 32; ++a)
        sum32 += vis_GetSpectrumCount(a, 32);
    for (int a = 0; a < 16; ++a)
        sum16 += vis_GetSpectrumCount(a, 16);
    EXPECT_EQ(sum32, 288);
    EXPECT_EQ(sum16, 310);
    EXPECT_EQ(vis_GetSpectrumCount(32, 32), 0);
    EXPECT_EQ(vis_GetSpectrumCount(-1, 32), 0);
    EXPECT_EQ(vis_GetSpectrumCount(3, 24), 0);
}

TEST(Spectrum, EachBandIsScaledAgainstItsOwnLoudestValue)
{
    SpectrumState state;
    std::vector<float> in(401, 0.0f);
    float out[32];
    in[0] = 0.25f; // band 0: one value
    in[5] = 0.04f; // band 5: values 5 and 6
    in[6] = 0.05f;
    vis_SimplifySpectrum(in.data(), 401, out, 32, state);
    EXPECT_FLOAT_EQ(out[0], 1.0f) << "the first loud frame is its own maximum";
    EXPECT_FLOAT_EQ(out[5], 1.0f);
    EXPECT_FLOAT_EQ(out[1], 0.0f);
    EXPECT_DOUBLE_EQ(state.BandPeak32[0], 0.5);
    EXPECT_NEAR(state.BandPeak32[5], 0.3, 1e-6);

    in[0] = 0.0625f; // sqrt = 0.25, half of the peak
    vis_SimplifySpectrum(in.data(), 401, out, 32, state);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_DOUBLE_EQ(state.BandPeak32[0], 0.5) << "maxima never decay";

    // Values past 287 are not used by 32 bands.
    SpectrumState fresh;
    std::vector<float> tail(401, 0.0f);
    tail[300] = 1.0f;
    vis_SimplifySpectrum(tail.data(), 401, out, 32, fresh);
    EXPECT_FLOAT_EQ(std::accumulate(out, out + 32, 0.0f), 0.0f);

    // Sixteen bands use their own peaks; fewer than sixteen outputs do nothing.
    float sixteen[16];
    vis_SimplifySpectrum(in.data(), 401, sixteen, 16, state);
    EXPECT_GT(state.BandPeak16[0], 0.0);
    float few[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    vis_SimplifySpectrum(in.data(), 401, few, 8, state);
    EXPECT_FLOAT_EQ(few[0], 7.0f);
}

TEST(Spectrum, BarsRiseFastFallSlowlyAndSilenceDecays)
{
    AnalyserView view;
    view.resize(269, 60);
    std::vector<float> loud(401, 0.5f);
    view.DrawSpectrum(loud.data());
    EXPECT_FLOAT_EQ(view.state().BandLevel[0], 0.75f); // (3 x 1 + 0) / 4
    std::vector<float> silence(401, 0.0f);
    const float rise = view.DrawSpectrum(silence.data());
    EXPECT_FLOAT_EQ(rise, 0.0f);
    EXPECT_FLOAT_EQ(view.state().BandLevel[0], 0.5625f); // falls by a quarter
    EXPECT_EQ(AnalyserView::barWidth(269), 8);

    view.setColorValue(0x0000FF); // red in the lowest byte
    QImage image(view.size(), QImage::Format_RGB32);
    view.render(&image);
    EXPECT_EQ(QColor(image.pixel(2, 59)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(image.pixel(2, 0)), QColor(0, 0, 0));
    EXPECT_EQ(AnalyserView::fromColor(QColor(0, 0, 255)), 16711680u);
}
