// The analyser: each band against its own loudest value, bars that rise fast and fall slowly,
// and the bars drawn in the chosen colour.
#include "AnalyserBands.h"
#include "AnalyserView.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace corvanel;
using namespace corvanel::playback;

TEST(Spectrum, EachBandIsScaledAgainstItsOwnLoudestValue)
{
    SpectrumState state;
    std::vector<float> in(401, 0.0f);
    float out[32];
    in[0] = 0.25f;
    in[5] = 0.01f; // a far quieter band
    vis_SimplifySpectrum(in.data(), 401, out, 32, state);
    EXPECT_FLOAT_EQ(out[0], 1.0f) << "the first loud frame is its own maximum";
    EXPECT_FLOAT_EQ(out[5], 1.0f);
    EXPECT_FLOAT_EQ(out[1], 0.0f);
    in[0] = 0.0625f; // quieter than before: lower, against the loudest that stays
    vis_SimplifySpectrum(in.data(), 401, out, 32, state);
    EXPECT_LT(out[0], 1.0f);
    EXPECT_GT(out[0], 0.0f);
}

TEST(Spectrum, BarsRiseFastAndFallSlowlyToNothing)
{
    SpectrumState state;
    std::array<float, 32> bands{};
    const std::vector<float> loud(401, 0.5f), silence(401, 0.0f);
    advanceSpectrum(loud.data(), state, bands);
    for (const float level : state.BandLevel)
        EXPECT_GE(level, 0.7f) << "one loud frame lifts a bar most of the way";
    for (int frame = 0; frame < 40; ++frame) {
        const std::array<float, 32> before = state.BandLevel;
        EXPECT_EQ(advanceSpectrum(silence.data(), state, bands), 0.0f);
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_LT(state.BandLevel[i], before[i]);
            EXPECT_GE(state.BandLevel[i], 0.7f * before[i]) << "a silent frame takes a small part only";
        }
    }
    EXPECT_LT(*std::max_element(state.BandLevel.begin(), state.BandLevel.end()), 0.01f);
}

TEST(Spectrum, BarsAreDrawnFromTheBottomInTheStoredColour)
{
    AnalyserView view;
    view.resize(269, 60);
    std::vector<float> loud(401, 0.5f);
    view.DrawSpectrum(loud.data());
    view.setColorValue(0x0000FF); // red in the lowest byte
    QImage image(view.size(), QImage::Format_RGB32);
    view.render(&image);
    EXPECT_EQ(QColor(image.pixel(2, 59)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(image.pixel(2, 0)), QColor(0, 0, 0));
    EXPECT_EQ(AnalyserView::fromColor(QColor(0, 0, 255)), 16711680u);
}
