#pragma once
// The parametric equaliser band: a peaking biquad (Robert Bristow-Johnson's audio EQ cookbook).
#include <array>

namespace corvanel::playback {

namespace audio {

struct PeakingCoefficients
{
    float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0; // normalised by a0
};

// centre in Hz, bandwidth in semitones (twelve to the octave), gain in dB, at the given rate.
PeakingCoefficients peakingBand(float centre, float bandwidthSemitones, float gainDb, int rate);

// One band over up to two interleaved channels; each channel keeps its own history.
class PeakingFilter
{
public:
    void setCoefficients(const PeakingCoefficients &c) { m_c = c; }
    void reset() { m_state = {}; }
    void process(float *samples, int frames, int channels);

private:
    PeakingCoefficients m_c;
    struct History
    {
        float x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    };
    std::array<History, 2> m_state{};
};

} // namespace audio

} // namespace corvanel::playback
