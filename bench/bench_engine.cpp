// The sound engine: how soon a long MP3 sounds (against decoding it whole, as a load-everything
// engine would), resident memory over a 60-minute song, and the mixer's share of real time.
#include "AudioDecoder.h"
#include "FSound.h"
#include "IpodBuilder.h"

#include "SideBySide.h"
#include "StallMeter.h"
#include "TimeUnits.h"
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <lame/lame.h>

#include "AudioSource.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace corvanel;
using namespace corvanel::playback;

namespace {

std::string g_tenMinutes;
std::string g_sixtyMinutes;

// One minute of generated music as CBR MP3 frames without a tag frame; repeating the bytes
// gives a valid longer stream at once.
QByteArray minuteOfMp3()
{
    const std::vector<int16_t> pcm = mkipod::synthesizeMusic(60, 11);
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags *)> gf(lame_init(), lame_close);
    lame_set_in_samplerate(gf.get(), 44100);
    lame_set_num_channels(gf.get(), 2);
    lame_set_VBR(gf.get(), vbr_off);
    lame_set_brate(gf.get(), 128);
    lame_set_quality(gf.get(), 7);
    lame_set_bWriteVbrTag(gf.get(), 0);
    if (lame_init_params(gf.get()) < 0)
        return {};
    std::vector<short> in(pcm.begin(), pcm.end());
    std::vector<unsigned char> out(in.size() + 16384);
    int n = lame_encode_buffer_interleaved(gf.get(), in.data(), int(in.size() / 2), out.data(), int(out.size()));
    if (n < 0)
        return {};
    const int tail = lame_encode_flush(gf.get(), out.data() + n, int(out.size()) - n);
    return tail < 0 ? QByteArray() : QByteArray(reinterpret_cast<const char *>(out.data()), n + tail);
}

bool writeRepeated(const std::string &path, const QByteArray &minute, int minutes)
{
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    for (int i = 0; i < minutes; ++i)
        if (f.write(minute) != minute.size())
            return false;
    return true;
}

double residentMb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// From FSOUND_Sample_Load to the first non-silent frame the mixer delivers.
void BM_TimeToFirstSound(benchmark::State &state)
{
    std::vector<float> block(256 * 2);
    for (auto _ : state) {
        const int sample = FSOUND_Sample_Load(-1, g_tenMinutes.c_str(), 0x130, 0, 0);
        const int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
        bool heard = false;
        for (int i = 0; i < 10000 && !heard && channel; ++i) {
            FSOUND_Offline_Render(block.data(), 256);
            heard = std::any_of(block.begin(), block.end(), [](float v) { return v != 0.0f; });
        }
        state.PauseTiming();
        if (!heard)
            state.SkipWithError("no sound");
        FSOUND_Sample_Free(sample);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TimeToFirstSound)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The baseline: the same file decoded whole into memory before the first frame can play.
void BM_WholeFileDecode(benchmark::State &state)
{
    for (auto _ : state) {
        auto decoder = audio::AudioDecoder::open(g_tenMinutes);
        if (!decoder) {
            state.SkipWithError("open failed");
            break;
        }
        std::vector<float> pcm;
        while ((*decoder)->decode(pcm) == audio::AudioDecoder::Result::Frames) {
        }
        benchmark::DoNotOptimize(pcm.data());
    }
}
BENCHMARK(BM_WholeFileDecode)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Plays the 60-minute song to its end and reports the largest growth of resident memory.
void reportMemory()
{
    std::vector<float> block(4096 * 2);
    const double before = residentMb();
    double peak = before;
    const int sample = FSOUND_Sample_Load(-1, g_sixtyMinutes.c_str(), 0x130, 0, 0);
    const int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
    const unsigned length = FSOUND_Sample_WaitForLength(sample, 60000);
    const auto start = std::chrono::steady_clock::now();
    long blocks = 0;
    while (channel && FSOUND_IsPlaying(channel) == 1) {
        FSOUND_Offline_Render(block.data(), 4096);
        if (++blocks % 64 == 0)
            peak = std::max(peak, residentMb());
    }
    peak = std::max(peak, residentMb());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const unsigned played = FSOUND_GetCurrentPosition(channel);
    FSOUND_Sample_Free(sample);
    const double growth = peak - before;
    std::printf(
        "memory: 60-minute MP3 (%u frames, %u played) rendered in %.1f s; resident %.1f MB before, peak %.1f MB, "
        "growth %.1f MB; target <= 32 MB: %s\n",
        length, played, seconds, before, peak, growth, growth <= 32.0 ? "met" : "NOT met");
}

// Renders 60 s of the long song with the equaliser and the spectrum on; the spectrum is read 30
// times a second, as the display does.
void reportMixer()
{
    std::vector<float> block(1470 * 2);
    const int sample = FSOUND_Sample_Load(-1, g_tenMinutes.c_str(), 0x130, 0, 0);
    const int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
    const int fx = FSOUND_FX_Enable(channel, FSOUND_FX_PARAMEQ);
    FSOUND_FX_SetParamEQ(fx, 4000, 12, 6);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), true);
    FSOUND_Offline_Render(block.data(), 1470);
    const double thread0 = threadCpuSeconds();
    const double process0 = processCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    float sink = 0;
    for (int i = 0; i < 60 * 30; ++i) {
        FSOUND_Offline_Render(block.data(), 1470);
        sink += FSOUND_DSP_GetSpectrum()[10];
    }
    const double mixer = threadCpuSeconds() - thread0;
    const double total = processCpuSeconds() - process0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    benchmark::DoNotOptimize(sink);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), false);
    FSOUND_Sample_Free(sample);
    std::printf("mixer: 60 s of sound with EQ and spectrum: mixer thread %.1f ms CPU = %.4f of real time "
                "(%.2f%%); with decoding %.1f ms CPU = %.4f; wall %.1f ms\n",
                mixer * 1e3, mixer / 60.0, mixer / 60.0 * 100.0, total * 1e3, total / 60.0, wall * 1e3);
}

// The window's thread while a 60-minute MP3 is loaded and counted from a slow device (reads
// slowed to about 1 MB/s, an iPod on USB 1.1): it loads and starts the song, then polls as
// the player's 200 ms tick does until the exact length is known, then frees the song. A 1 ms
// heartbeat on the same thread measures the longest stall. Budget: one frame, 16.7 ms. The
// time spent inside the engine's calls is measured on its own, and the same heartbeat on the
// idle thread for a while after shows what the machine itself costs the thread.
void reportThrottledStalls()
{
    const unsigned exact = unsigned(audio::AudioDecoder::scan(g_sixtyMinutes).frames);
    audio::setReadRateLimit(1000 * 1000);
    QElapsedTimer clock;
    double inEngineMs = 0;
    const auto timed = [&](auto &&calls) {
        const qint64 before = clock.nsecsElapsed();
        calls();
        const double ms = double(clock.nsecsElapsed() - before) / 1e6;
        inEngineMs = std::max(inEngineMs, ms);
        return ms;
    };
    int sample = 0;
    int channel = 0;
    double loadMs = 0;
    double exactAfterMs = -1;
    QTimer tick;
    tick.setInterval(200);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        unsigned length = 0;
        timed([&] {
            FSOUND_GetVolume(0);
            FSOUND_GetCurrentPosition(channel);
            FSOUND_IsPlaying(channel);
            length = FSOUND_Sample_GetLength(sample);
        });
        if (length == exact || clock.elapsed() > 120000) {
            exactAfterMs = double(clock.elapsed());
            tick.stop();
            timed([&] { FSOUND_Sample_Free(sample); });
            QTimer::singleShot(100, QCoreApplication::instance(), &QCoreApplication::quit);
        }
    });
    QTimer::singleShot(50, [&] {
        loadMs = timed([&] {
            sample = FSOUND_Sample_Load(-1, g_sixtyMinutes.c_str(), 0x130, 0, 0);
            channel = FSOUND_PlaySound(FSOUND_FREE, sample);
        });
        tick.start();
    });
    clock.start();
    double longest = 0;
    {
        StallMeter meter;
        QCoreApplication::exec();
        meter.tick();
        longest = meter.longestMs();
    }
    audio::setReadRateLimit(0);
    StallMeter idle;
    QTimer::singleShot(10000, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    idle.tick();
    std::printf("slow device (1 MB/s), 60-minute MP3: load and start %.1f ms, exact length after %.1f s; longest "
                "stall of the window's thread %.2f ms (budget <= 16.7 ms: %s); longest engine call on it %.2f ms; "
                "the idle thread on this machine: %.2f ms\n",
                loadMs, exactAfterMs / 1000.0, longest, longest <= 16.7 && sample != 0 ? "met" : "MISSED", inEngineMs,
                idle.longestMs());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir work;
    const QByteArray minute = minuteOfMp3();
    g_tenMinutes = work.filePath("ten.mp3").toStdString();
    g_sixtyMinutes = work.filePath("sixty.mp3").toStdString();
    if (minute.isEmpty() || !writeRepeated(g_tenMinutes, minute, 10) || !writeRepeated(g_sixtyMinutes, minute, 60)) {
        std::fprintf(stderr, "could not make the MP3 files\n");
        return 1;
    }
    FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND_NONREALTIME);
    if (!FSOUND_Init(44100, 32, 0)) {
        std::fprintf(stderr, "FSOUND_Init failed: %d\n", FSOUND_GetError());
        return 1;
    }

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    printRatio(reporter, "time to first sound: 10-minute MP3", "BM_TimeToFirstSound", "whole-file decode",
               "BM_WholeFileDecode", 0.1, Verdict::Wall);
    for (const std::string *path : {&g_tenMinutes, &g_sixtyMinutes}) {
        const auto start = std::chrono::steady_clock::now();
        const audio::ScanResult scan = audio::AudioDecoder::scan(*path);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("length pass (demux only, no decoding): %lld frames (%.1f min) counted in %.1f ms\n",
                    static_cast<long long>(scan.frames), double(scan.frames) / 44100.0 / 60.0, ms);
    }
    reportMixer();
    reportMemory();
    reportThrottledStalls();
    FSOUND_Close();
    return 0;
}
