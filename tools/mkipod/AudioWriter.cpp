// Generated music (chords, a melody, a bass line and drums) encoded as MP3, AAC or WAV.
#include "AudioEncoders.h"
#include "IpodBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace mkipod {
namespace {

// splitmix64: a small generator whose sequence is the same on every platform.
class Random
{
public:
    explicit Random(uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    uint64_t next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % uint64_t(n)); }
    float unit() { return float(next() >> 40) / float(1u << 24); }
    float noise() { return unit() * 2.0f - 1.0f; }

private:
    uint64_t m_state;
};

constexpr int kTableBits = 12;
constexpr int kTableSize = 1 << kTableBits;

const std::array<float, kTableSize> &sineTable()
{
    static const std::array<float, kTableSize> table = [] {
        std::array<float, kTableSize> t{};
        for (int i = 0; i < kTableSize; ++i)
            t[size_t(i)] = float(std::sin(2.0 * std::numbers::pi * i / kTableSize));
        return t;
    }();
    return table;
}

float midiToHz(int note)
{
    return 440.0f * std::pow(2.0f, float(note - 69) / 12.0f);
}

struct Voice
{
    std::array<float, 4> harmonics; // amplitude of partials 1..4
    float attack;                   // seconds
    float decay;                    // per second, exponential
    float sustain;                  // level the decay settles on
};

constexpr Voice kLead{{1.0f, 0.45f, 0.25f, 0.12f}, 0.01f, 3.0f, 0.35f};
constexpr Voice kPad{{1.0f, 0.5f, 0.33f, 0.25f}, 0.25f, 0.6f, 0.6f};
constexpr Voice kBass{{1.0f, 0.6f, 0.15f, 0.05f}, 0.005f, 4.0f, 0.4f};

class Mixer
{
public:
    explicit Mixer(size_t frames) : m_left(frames, 0.0f), m_right(frames, 0.0f) {}

    void tone(double startSec, double lengthSec, float hz, float amp, float pan, const Voice &v)
    {
        const auto &table = sineTable();
        const size_t start = size_t(startSec * kSampleRate);
        size_t len = size_t(lengthSec * kSampleRate);
        if (start >= m_left.size())
            return;
        len = std::min(len, m_left.size() - start);
        const uint32_t step = uint32_t(double(hz) / kSampleRate * 4294967296.0);
        const float gl = amp * (1.0f - pan) * 0.5f;
        const float gr = amp * (1.0f + pan) * 0.5f;
        const size_t attack = std::max<size_t>(1, size_t(v.attack * kSampleRate));
        const size_t release = std::min<size_t>(len / 2, size_t(0.02 * kSampleRate));
        const float decayPerSample = std::exp(-v.decay / kSampleRate);
        float level = 1.0f - v.sustain;
        uint32_t phase = 0;
        for (size_t i = 0; i < len; ++i) {
            float env = i < attack ? float(i) / float(attack) : v.sustain + level;
            if (i >= attack)
                level *= decayPerSample;
            if (i + release >= len && release > 0)
                env *= float(len - i) / float(release);
            float s = 0.0f;
            for (size_t h = 0; h < v.harmonics.size(); ++h)
                s += v.harmonics[h] * table[(phase * uint32_t(h + 1)) >> (32 - kTableBits)];
            phase += step;
            m_left[start + i] += s * env * gl;
            m_right[start + i] += s * env * gr;
        }
    }

    void kick(double startSec)
    {
        const auto &table = sineTable();
        const size_t start = size_t(startSec * kSampleRate);
        const size_t len = std::min(size_t(0.35 * kSampleRate), m_left.size() - std::min(start, m_left.size()));
        uint32_t phase = 0;
        for (size_t i = 0; i < len; ++i) {
            const float t = float(i) / kSampleRate;
            const float hz = 45.0f + 90.0f * std::exp(-t * 28.0f);
            phase += uint32_t(hz / kSampleRate * 4294967296.0f);
            const float s = table[phase >> (32 - kTableBits)] * std::exp(-t * 9.0f) * 0.9f;
            m_left[start + i] += s;
            m_right[start + i] += s;
        }
    }

    void snare(double startSec, Random &rng)
    {
        const auto &table = sineTable();
        const size_t start = size_t(startSec * kSampleRate);
        const size_t len = std::min(size_t(0.22 * kSampleRate), m_left.size() - std::min(start, m_left.size()));
        const uint32_t step = uint32_t(185.0 / kSampleRate * 4294967296.0);
        uint32_t phase = 0;
        for (size_t i = 0; i < len; ++i) {
            const float t = float(i) / kSampleRate;
            const float s = rng.noise() * std::exp(-t * 16.0f) * 0.32f +
                            table[phase >> (32 - kTableBits)] * std::exp(-t * 30.0f) * 0.25f;
            phase += step;
            m_left[start + i] += s * 0.9f;
            m_right[start + i] += s;
        }
    }

    void hat(double startSec, float amp, Random &rng)
    {
        const size_t start = size_t(startSec * kSampleRate);
        const size_t len = std::min(size_t(0.06 * kSampleRate), m_left.size() - std::min(start, m_left.size()));
        float previous = 0.0f;
        for (size_t i = 0; i < len; ++i) {
            const float t = float(i) / kSampleRate;
            const float n = rng.noise();
            const float s = (n - previous) * std::exp(-t * 70.0f) * amp; // first difference: a crude high-pass
            previous = n;
            m_left[start + i] += s;
            m_right[start + i] += s * 0.8f;
        }
    }

    std::vector<int16_t> finish()
    {
        const size_t frames = m_left.size();
        const size_t fadeIn = std::min(frames, size_t(0.01 * kSampleRate));
        const size_t fadeOut = std::min(frames, size_t(0.6 * kSampleRate));
        float peak = 1e-6f;
        for (size_t i = 0; i < frames; ++i)
            peak = std::max({peak, std::abs(m_left[i]), std::abs(m_right[i])});
        const float gain = 0.85f * 32767.0f / peak;
        std::vector<int16_t> out(frames * 2);
        for (size_t i = 0; i < frames; ++i) {
            float g = gain;
            if (i < fadeIn)
                g *= float(i) / float(fadeIn);
            if (i + fadeOut > frames)
                g *= float(frames - i) / float(fadeOut);
            out[2 * i] = int16_t(std::lround(std::clamp(m_left[i] * g, -32767.0f, 32767.0f)));
            out[2 * i + 1] = int16_t(std::lround(std::clamp(m_right[i] * g, -32767.0f, 32767.0f)));
        }
        return out;
    }

private:
    std::vector<float> m_left;
    std::vector<float> m_right;
};

// The tags' "LIST" chunk sits between "fmt " and "data"; every chunk has an even size.
QByteArray wavBytes(const std::vector<int16_t> &pcm, const SongTags &tags)
{
    const uint32_t dataBytes = uint32_t(pcm.size() * 2);
    const QByteArray info = buildInfoList(tags);
    QByteArray out;
    out.reserve(44 + info.size() + qsizetype(dataBytes));
    auto u32 = [&](uint32_t v) {
        const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        out.append(b, 4);
    };
    auto u16 = [&](uint16_t v) {
        const char b[2] = {char(v), char(v >> 8)};
        out.append(b, 2);
    };
    out.append("RIFF", 4);
    u32(36 + uint32_t(info.size()) + dataBytes);
    out.append("WAVEfmt ", 8);
    u32(16);
    u16(1); // PCM
    u16(2);
    u32(kSampleRate);
    u32(kSampleRate * 4);
    u16(4);
    u16(16);
    out.append(info);
    out.append("data", 4);
    u32(dataBytes);
    for (int16_t s : pcm)
        u16(uint16_t(s));
    return out;
}

} // namespace

std::vector<int16_t> synthesizeMusic(int seconds, int seed)
{
    Random rng(uint64_t(uint32_t(seed)) + 1);
    const size_t frames = size_t(std::max(0, seconds)) * kSampleRate;
    Mixer mix(frames);

    static constexpr int major[] = {0, 2, 4, 5, 7, 9, 11};
    static constexpr int minor[] = {0, 2, 3, 5, 7, 8, 10};
    static constexpr int majorProgressions[][4] = {{0, 4, 5, 3}, {0, 5, 3, 4}, {0, 3, 4, 4}, {0, 3, 0, 4}};
    static constexpr int minorProgressions[][4] = {{0, 5, 2, 6}, {0, 3, 4, 0}, {0, 6, 5, 4}, {0, 5, 6, 4}};

    const bool isMinor = rng.below(2) == 1;
    const int *scale = isMinor ? minor : major;
    const int *progression = isMinor ? minorProgressions[rng.below(4)] : majorProgressions[rng.below(4)];
    const int root = 45 + rng.below(10); // A2 .. F#3
    const double beat = 60.0 / (84 + rng.below(56));
    const double bar = 4 * beat;
    const bool swing = rng.below(3) == 0;

    // Scale degree (any integer) to a MIDI note above root.
    auto note = [&](int degree) {
        const int octave = degree >= 0 ? degree / 7 : -((-degree + 6) / 7);
        const int d = degree - octave * 7;
        return root + 12 * octave + scale[d];
    };

    int melodyDegree = 14 + rng.below(5);
    const double total = double(seconds);
    for (int b = 0; b * bar < total; ++b) {
        const double t0 = b * bar;
        const int chord = progression[b % 4];

        // Pad: the chord's triad, held for the bar.
        for (int k = 0; k < 3; ++k)
            mix.tone(t0, bar, midiToHz(note(chord + 2 * k + 7)), 0.10f, -0.4f + 0.4f * float(k), kPad);

        // Bass: root and fifth in eighth notes.
        for (int e = 0; e < 8; ++e) {
            const int degree = (e % 4 == 3) ? chord + 4 : chord;
            mix.tone(t0 + e * beat / 2, beat / 2 * 0.9, midiToHz(note(degree) - 12), e % 2 == 0 ? 0.42f : 0.3f, 0.0f,
                     kBass);
        }

        // Melody: a walk over the scale that lands on chord tones on the beat.
        double t = t0;
        while (t < t0 + bar - 1e-9) {
            const double length = (rng.below(3) == 0 ? beat : beat / 2);
            const bool onBeat = std::fmod(t - t0, beat) < 1e-6;
            if (rng.below(8) != 0) {
                melodyDegree += rng.below(5) - 2;
                melodyDegree = std::clamp(melodyDegree, 10, 22);
                if (onBeat) {
                    const int rel = ((melodyDegree - chord) % 7 + 7) % 7;
                    if (rel != 0 && rel != 2 && rel != 4)
                        melodyDegree += (rel == 1 || rel == 3 || rel == 5) ? -1 : 1;
                }
                mix.tone(t, length * 0.95, midiToHz(note(melodyDegree)), 0.32f, 0.3f, kLead);
            }
            t += length;
        }

        // Drums: kick on 1 and 3, snare on 2 and 4, hi-hat on every eighth.
        for (int q = 0; q < 4; ++q) {
            const double tq = t0 + q * beat;
            if (q % 2 == 0)
                mix.kick(tq);
            else
                mix.snare(tq, rng);
            if (q == 3 && rng.below(2) == 0)
                mix.kick(tq + beat / 2);
            mix.hat(tq, 0.12f, rng);
            mix.hat(tq + beat * (swing ? 0.66 : 0.5), 0.07f, rng);
        }
    }
    return mix.finish();
}

bool writeAudio(const QString &path, const AudioSpec &spec, QString *error)
{
    return writeAudio(path, spec, SongTags{}, error);
}

bool writeAudio(const QString &path, const AudioSpec &spec, const SongTags &tags, QString *error)
{
    try {
        if (spec.seconds <= 0 || spec.seconds > 3600) {
            if (error)
                *error = QStringLiteral("Audio length out of range: %1 s").arg(spec.seconds);
            return false;
        }
        const std::vector<int16_t> pcm = synthesizeMusic(spec.seconds, spec.seed);
        QString message;
        QByteArray bytes;
        switch (spec.kind) {
        case AudioSpec::Kind::Wav:
            bytes = wavBytes(pcm, tags);
            break;
        case AudioSpec::Kind::Mp3:
            if (!encodeMp3(pcm, &bytes, &message)) {
                if (error)
                    *error = message;
                return false;
            }
            bytes.prepend(buildId3Tag(tags)); // the Info frame stays the first frame after the tag
            break;
        case AudioSpec::Kind::Aac:
            if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
                if (error)
                    *error = QStringLiteral("Cannot create the folder of %1").arg(path);
                return false;
            }
            // The MP4 muxer seeks back to write its index, so it writes the file itself.
            if (!encodeAacFile(pcm, path, tags, &message)) {
                if (error)
                    *error = message;
                return false;
            }
            return true;
        }
        if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
            if (error)
                *error = QStringLiteral("Cannot create the folder of %1").arg(path);
            return false;
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
            if (error)
                *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
            return false;
        }
        return true;
    } catch (const std::exception &e) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, QString::fromLocal8Bit(e.what()));
        return false;
    } catch (...) {
        if (error)
            *error = QStringLiteral("Cannot write %1").arg(path);
        return false;
    }
}

} // namespace mkipod
