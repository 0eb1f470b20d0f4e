#include "AudioAnalyser.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace corvanel::playback {

namespace audio {

struct AudioAnalyser::Plan
{
    kiss_fftr_cfg cfg = nullptr;
    std::array<kiss_fft_scalar, kSpectrumSize> in{};
    std::array<kiss_fft_cpx, kSpectrumBands + 1> out{};
    ~Plan() { kiss_fftr_free(cfg); }
};

AudioAnalyser::AudioAnalyser() : m_plan(std::make_unique<Plan>())
{
    m_plan->cfg = kiss_fftr_alloc(kSpectrumSize, 0, nullptr, nullptr);
    // A Hann window keeps a tone's energy in its own bands instead of smearing it over all of them.
    for (int i = 0; i < kSpectrumSize; ++i)
        m_window[size_t(i)] = float(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / (kSpectrumSize - 1)));
}

AudioAnalyser::~AudioAnalyser() = default;

void AudioAnalyser::compute(const std::array<float, kSpectrumSize> &samples, std::array<float, kSpectrumBands> &bands)
{
    if (!m_plan->cfg) {
        bands.fill(0.0f);
        return;
    }
    for (size_t i = 0; i < samples.size(); ++i)
        m_plan->in[i] = samples[i] * m_window[i];
    kiss_fftr(m_plan->cfg, m_plan->in.data(), m_plan->out.data());
    // A sine of amplitude A gives |X| = A * N/2 * 0.5 (the window's mean) in its band.
    constexpr float scale = 4.0f / float(kSpectrumSize);
    for (size_t k = 0; k < bands.size(); ++k) {
        const float m = std::hypot(m_plan->out[k].r, m_plan->out[k].i) * scale;
        bands[k] = std::clamp(m, 0.0f, 1.0f);
    }
}

} // namespace audio

} // namespace corvanel::playback
