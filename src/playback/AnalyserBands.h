#pragma once
// Turning the engine's 512 spectrum magnitudes into the analyser's bars.
#include <array>
#include <cstdint>

namespace corvanel::playback {

// The width of band a in a grouping of 16 or 32 bands; 0 for anything else.
int32_t vis_GetSpectrumCount(int32_t a, int32_t Width);

// What the analyser remembers between frames, all zero when the window is made.
struct SpectrumState
{
    std::array<float, 32> BandLevel{};
    std::array<double, 16> BandPeak16{};
    std::array<double, 32> BandPeak32{};
    float LastBass = 0.0f;
};

// Fills Out[0..outCount) from In[0..inCount): each band is the square root of its summed
// values, scaled against the loudest it has been so far. Fewer than 16 outputs: nothing.
void vis_SimplifySpectrum(const float *In, int inCount, float *Out, int outCount, SpectrumState &state);

// Copies the engine's latest magnitudes, at most 512 of them; returns how many were copied.
int CopySpectrum(float *Values, int count);

// One frame: smooths the bands into BandLevel and returns the bass of the raw bands (mean of
// the first eight). The caller draws BandLevel.
float advanceSpectrum(const float *magnitudes401, SpectrumState &state, std::array<float, 32> &bands);

} // namespace corvanel::playback
