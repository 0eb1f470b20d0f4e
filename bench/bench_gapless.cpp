// Continuous play without gaps. Two files that are the two halves of one sine play one after the
// other, the second queued on the first's channel; the joint is measured against the sine's own
// largest step and against starting the second song at the player's next 200 ms tick, as
// continuous play did before. And how soon a 10-minute AAC song sounds, against decoding it whole.
#include "AudioDecoder.h"
#include "AudioEncoders.h"
#include "FSound.h"
#include "IpodBuilder.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

using namespace corvanel::playback;

namespace {

constexpr int kRate = 44100;

constexpr double kAmplitude = 0.5;
constexpr int kTickFrames = kRate / 5; // the player's timer, in frames of sound
constexpr int kBlock = 1024;           // the output device's block

std::vector<int16_t> sine(double hz, int frames)
{
    std::vector<int16_t> pcm(size_t(frames) * 2);
    for (int i = 0; i < frames; ++i)
        pcm[2 * size_t(i)] = pcm[2 * size_t(i) + 1] =
            int16_t(std::lround(kAmplitude * std::sin(2 * std::numbers::pi * hz * i / kRate) * 32767));
    return pcm;
}

bool writeSong(const QString &path, const std::vector<int16_t> &pcm, bool mp3)
{
    QString error;
    if (!mp3)
        return mkipod::encodeAacFile(pcm, path, {}, &error);
    QByteArray bytes;
    QFile file(path);
    return mkipod::encodeMp3(pcm, &bytes, &error) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

int load(const QString &path)
{
    return FSOUND_Sample_Load(-1, QFile::encodeName(path).constData(), 0x130, 0, 0);
}

// The left channel of the two songs played one after the other: the second queued on the first's
// channel, or (the way before) loaded and started at the first tick that finds the first one over.
std::vector<float> playPair(const QString &a, const QString &b, bool queued)
{
    std::vector<float> left;
    std::vector<float> block(2 * kBlock);
    const int first = load(a);
    int channel = FSOUND_PlaySound(FSOUND_FREE, first);
    const int second = queued ? queueSample(channel, QFile::encodeName(b).constData()) : load(b);
    bool started = queued;
    while (left.size() < 20u * kRate) {
        if (left.size() % kTickFrames < kBlock && FSOUND_IsPlaying(channel) != 1) {
            if (started)
                break;
            channel = FSOUND_PlaySound(FSOUND_FREE, second);
            started = true;
        }
        FSOUND_Offline_Render(block.data(), kBlock);
        for (int i = 0; i < kBlock; ++i)
            left.push_back(block[2 * size_t(i)]);
    }
    FSOUND_Sample_Free(first);
    FSOUND_Sample_Free(second);
    return left;
}

struct Joint
{
    int silence = 0; // the longest run of samples below 1e-4
    double step = 0; // the largest step from one sample to the next
};

Joint measure(const std::vector<float> &left, int cut)
{
    Joint joint;
    int run = 0;
    for (int i = cut - 4096; i < cut + 4096 && size_t(i) < left.size(); ++i) {
        run = std::abs(left[size_t(i)]) < 1e-4f ? run + 1 : 0;
        joint.silence = std::max(joint.silence, run);
        joint.step = std::max(joint.step, double(std::abs(left[size_t(i)] - left[size_t(i) - 1])));
    }
    return joint;
}

// The joint at a zero crossing of a 440 Hz sine, where it is steepest; and, with 440.3 Hz, at a
// level of -0.29, where each half starts or ends with a step from the silence a codec assumes
// outside the file: lossy coding spreads that step over a few samples at each end, for any player.
void reportJoints(const QTemporaryDir &work, double hz)
{
    // A cut within a frame of either codec. (FFmpeg's AAC encoder declares a few samples less than
    // it was given for some lengths, 77777 for one; 88200 it declares exactly.)
    constexpr int kFrames = 4 * kRate, kCut = 88200;
    const std::vector<int16_t> pcm = sine(hz, kFrames);
    const std::vector<int16_t> head(pcm.begin(), pcm.begin() + 2 * kCut), tail(pcm.begin() + 2 * kCut, pcm.end());
    std::vector<float> original(static_cast<size_t>(kFrames));
    for (int i = 0; i < kFrames; ++i)
        original[size_t(i)] = pcm[2 * size_t(i)] / 32768.0f;
    const Joint own = measure(original, kCut);
    for (const bool mp3 : {true, false}) {
        const QString suffix = mp3 ? QStringLiteral(".mp3") : QStringLiteral(".m4a");
        const QString a = work.filePath("head" + suffix), b = work.filePath("tail" + suffix);
        if (!writeSong(a, head, mp3) || !writeSong(b, tail, mp3)) {
            std::printf("could not encode the halves\n");
            return;
        }
        const Joint queued = measure(playPair(a, b, true), kCut);
        const Joint ticked = measure(playPair(a, b, false), kCut);
        std::printf("joint of two halves of a %.1f Hz sine at %+.2f, %s: longest run below 1e-4 %d samples (the "
                    "sine's own: %d; target: no more; started at the next tick instead: %d), largest step %.4f "
                    "against the sine's own %.4f, ratio %.3f (next tick: %.4f)\n",
                    hz, original[kCut],
                    mp3 ? "MP3 (LAME, delay and padding in its Info frame)" : "AAC (MP4, edit list)", queued.silence,
                    own.silence, ticked.silence, queued.step, own.step, queued.step / own.step, ticked.step);
    }
}

template <typename Work> double medianMs(int runs, Work work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::nth_element(ms.begin(), ms.begin() + ptrdiff_t(ms.size() / 2), ms.end());
    return ms[ms.size() / 2];
}

// From FSOUND_Sample_Load to the first frame of sound the mixer gives, for a 10-minute AAC song,
// against decoding the whole file before the first frame can play.
void reportFirstSound(const QTemporaryDir &work)
{
    const std::string path = work.filePath("ten.m4a").toStdString();
    QString error;
    if (!mkipod::encodeAacFile(mkipod::synthesizeMusic(600, 11), QString::fromStdString(path), {}, &error)) {
        std::printf("could not make the 10-minute AAC file: %s\n", qPrintable(error));
        return;
    }
    std::vector<float> block(2 * 256);
    const double first = medianMs(15, [&] {
        const int sample = FSOUND_Sample_Load(-1, path.c_str(), 0x130, 0, 0);
        const int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
        bool heard = false;
        for (int i = 0; i < 10000 && !heard && channel; ++i) {
            FSOUND_Offline_Render(block.data(), 256);
            heard = std::any_of(block.begin(), block.end(), [](float v) { return v != 0.0f; });
        }
        FSOUND_Sample_Free(sample);
    });
    const double whole = medianMs(3, [&] {
        auto decoder = audio::AudioDecoder::open(path);
        std::vector<float> pcm;
        while (decoder && (*decoder)->decode(pcm) == audio::AudioDecoder::Result::Frames) {
        }
        benchmark::DoNotOptimize(pcm.data());
    });
    std::printf("time to first sound: 10-minute AAC, streaming %.2f ms, whole-file decode %.2f ms, ratio %.4f; "
                "target <= 0.1: %s\n",
                first, whole, first / whole, first / whole <= 0.1 ? "met" : "NOT met");
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    QTemporaryDir work;
    FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND_NONREALTIME);
    if (!work.isValid() || !FSOUND_Init(44100, 32, 0)) {
        std::fprintf(stderr, "cannot start: %d\n", FSOUND_GetError());
        return 1;
    }
    reportJoints(work, 440.0);
    reportJoints(work, 440.3);
    reportFirstSound(work);
    FSOUND_Close();
    return 0;
}
