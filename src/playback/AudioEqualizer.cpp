#include "AudioEqualizer.h"

#include <cmath>
#include <numbers>

namespace corvanel::playback {

namespace audio {

PeakingCoefficients peakingBand(float centre, float bandwidthSemitones, float gainDb, int rate)
{
    const double a = std::pow(10.0, double(gainDb) / 40.0);
    const double w0 = 2.0 * std::numbers::pi * double(centre) / double(rate);
    const double octaves = double(bandwidthSemitones) / 12.0;
    const double sinW0 = std::sin(w0);
    const double alpha = sinW0 * std::sinh(std::numbers::ln2 / 2.0 * octaves * w0 / sinW0);
    const double cosW0 = std::cos(w0);
    const double a0 = 1.0 + alpha / a;
    PeakingCoefficients c;
    c.b0 = float((1.0 + alpha * a) / a0);
    c.b1 = float(-2.0 * cosW0 / a0);
    c.b2 = float((1.0 - alpha * a) / a0);
    c.a1 = float(-2.0 * cosW0 / a0);
    c.a2 = float((1.0 - alpha / a) / a0);
    return c;
}

void PeakingFilter::process(float *samples, int frames, int channels)
{
    for (int ch = 0; ch < channels && ch < 2; ++ch) {
        History h = m_state[size_t(ch)];
        float *p = samples + ch;
        for (int i = 0; i < frames; ++i, p += channels) {
            const float x = *p;
            const float y = m_c.b0 * x + m_c.b1 * h.x1 + m_c.b2 * h.x2 - m_c.a1 * h.y1 - m_c.a2 * h.y2;
            h.x2 = h.x1;
            h.x1 = x;
            h.y2 = h.y1;
            // Keeps denormals out of the feedback path when the input falls silent.
            h.y1 = std::fabs(y) < 1e-20f ? 0.0f : y;
            *p = y;
        }
        m_state[size_t(ch)] = h;
    }
}

} // namespace audio

} // namespace corvanel::playback
