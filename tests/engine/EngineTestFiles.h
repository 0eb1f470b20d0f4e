#pragma once
// Sound files for the engine tests: tones, WAV and MP3 writers, and a plain reference decode.
#include <QString>
#include <cstdint>
#include <vector>

namespace enginetest {

// Interleaved 16-bit samples of a sine in every channel.
std::vector<int16_t> tone(double hz, double seconds, double amplitude, int channels, int rate = 44100);

bool writeWav(const QString &path, const std::vector<int16_t> &pcm, int channels, int rate = 44100);

enum class Mp3Kind { Cbr, VbrXing, VbrNoXing };
// 44100 Hz stereo MP3 through LAME.
bool writeMp3(const QString &path, const std::vector<int16_t> &stereo, Mp3Kind kind);

// A whole file decoded by FFmpeg the ordinary way: interleaved floats at the file's own rate.
struct Decoded
{
    std::vector<float> samples;
    int channels = 0;
    int rate = 0;
    int64_t headerFrames = -1; // the container's idea of the duration (what a player trusting it shows)
    int64_t frames() const { return channels ? int64_t(samples.size()) / channels : 0; }
};
Decoded decodeWhole(const QString &path);

} // namespace enginetest
