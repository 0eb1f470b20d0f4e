#include "AnalyserBands.h"
#include "FSound.h"

#include <algorithm>
#include <cmath>

namespace corvanel::playback {

namespace {
constexpr int32_t kWidths32[32] = {1, 1, 1, 1, 1,  2,  2,  2,  2,  3,  3,  4,  4,  5,  5,  6,
                                   6, 8, 8, 9, 10, 11, 12, 14, 15, 17, 18, 20, 21, 24, 25, 27};
constexpr int32_t kWidths16[16] = {2, 2, 3, 4, 5, 7, 9, 11, 14, 17, 21, 30, 35, 40, 50, 60};
} // namespace

int32_t vis_GetSpectrumCount(int32_t a, int32_t Width)
{
    if (Width == 32 && a >= 0 && a < 32)
        return kWidths32[a];
    if (Width == 16 && a >= 0 && a < 16)
        return kWidths16[a];
    return 0;
}

void vis_SimplifySpectrum(const float *In, int inCount, float *Out, int outCount, SpectrumState &state)
{
    const int upper = outCount - 1;
    if (upper < 15)
        return;
    const int grouping = upper >= 31 ? 32 : 16;
    double *peaks = grouping == 32 ? state.BandPeak32.data() : state.BandPeak16.data();
    int k = 0;
    for (int i = 0; i <= upper; ++i) {
        const int32_t n = vis_GetSpectrumCount(i, grouping);
        double sum = 0;
        for (int32_t j = 0; j < n; ++j, ++k)
            if (k < inCount)
                sum += In[k];
        float v = 0.0f;
        if (sum > 0 && i < grouping) {
            double value = std::sqrt(sum);
            double &peak = peaks[i];
            if (value > peak)
                peak = value;
            value = peak > 0 ? value / peak : 0;
            v = static_cast<float>(value);
        }
        Out[i] = v;
    }
}

int CopySpectrum(float *Values, int count)
{
    const float *spectrum = FSOUND_DSP_GetSpectrum();
    const int n = std::min(count, 512);
    if (!spectrum) {
        std::fill(Values, Values + n, 0.0f);
        return n;
    }
    std::copy(spectrum, spectrum + n, Values);
    return n;
}

float advanceSpectrum(const float *magnitudes401, SpectrumState &state, std::array<float, 32> &bands)
{
    vis_SimplifySpectrum(magnitudes401, 401, bands.data(), 32, state);
    float bass = 0;
    for (int i = 0; i < 32; ++i) {
        float &level = state.BandLevel[static_cast<std::size_t>(i)];
        const float band = bands[static_cast<std::size_t>(i)];
        // Bars rise fast and fall slowly.
        level = band > level ? (3 * band + level) / 4 : (3 * level + band) / 4;
        if (i < 8)
            bass += band;
    }
    return bass / 8;
}

} // namespace corvanel::playback
