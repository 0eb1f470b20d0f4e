#pragma once
// Sound files for the engine, player and mkipod tests: tones, a WAV writer, and a plain reference
// decode. The tone, WAV and level helpers need nothing beyond Qt; the decode needs FFmpeg.
#include <QDataStream>
#include <QFile>
#include <QString>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace enginetest {

// Interleaved 16-bit samples of a sine in every channel.
inline std::vector<int16_t> tone(double hz, double seconds, double amplitude, int channels, int rate = 44100)
{
    const auto frames = size_t(seconds * rate);
    std::vector<int16_t> pcm(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2.0 * std::numbers::pi * hz * double(i) / rate);
        for (int c = 0; c < channels; ++c)
            pcm[i * size_t(channels) + size_t(c)] = int16_t(std::lround(v * 32767.0));
    }
    return pcm;
}

inline bool writeWav(const QString &path, const std::vector<int16_t> &pcm, int channels, int rate = 44100)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&f);
    out.setByteOrder(QDataStream::LittleEndian);
    const auto bytes = quint32(pcm.size() * 2);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + bytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(channels) << quint32(rate) << quint32(rate * channels * 2)
        << quint16(channels * 2) << quint16(16);
    out.writeRawData("data", 4);
    out << bytes;
    return out.writeRawData(reinterpret_cast<const char *>(pcm.data()), int(bytes)) == int(bytes);
}

// The RMS level of one channel of interleaved stereo, from frame `from` on.
inline double rms(const std::vector<float> &stereo, int channel, size_t from = 0)
{
    double sum = 0;
    size_t n = 0;
    for (size_t i = from * 2 + size_t(channel); i < stereo.size(); i += 2, ++n)
        sum += double(stereo[i]) * stereo[i];
    return n ? std::sqrt(sum / double(n)) : 0.0;
}

// Marks the sound of an MP4 file as FairPlay-protected, as a song bought from iTunes is: its
// "mp4a" sample entry becomes "drms". The bytes stay as they were, so only the mark tells.
inline bool markProtected(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = f.readAll();
    const qsizetype entry = bytes.indexOf("mp4a");
    return entry > 0 && f.seek(entry) && f.write("drms", 4) == 4;
}

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
