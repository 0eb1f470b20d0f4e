#pragma once
// The spectrum of the latest mixed output: a 1024-point FFT, 512 magnitudes, lowest band first.
#include <array>
#include <memory>

namespace corvanel::playback {

namespace audio {

inline constexpr int kSpectrumSize = 1024;
inline constexpr int kSpectrumBands = kSpectrumSize / 2;

class AudioAnalyser
{
public:
    AudioAnalyser();
    ~AudioAnalyser();
    AudioAnalyser(const AudioAnalyser &) = delete;
    AudioAnalyser &operator=(const AudioAnalyser &) = delete;

    // samples: the last kSpectrumSize mono samples, oldest first. The result is scaled so that a
    // full-scale sine peaks near 1; values are clamped to 0..1.
    void compute(const std::array<float, kSpectrumSize> &samples, std::array<float, kSpectrumBands> &bands);

private:
    struct Plan;
    std::unique_ptr<Plan> m_plan;
    std::array<float, kSpectrumSize> m_window{};
};

} // namespace audio

} // namespace corvanel::playback
