// The sound engine, driven through its offline output: every frame the test pulls is a frame played.
#include "AudioEncoders.h"
#include "EngineTestFiles.h"
#include "FSound.h"
#include "IpodBuilder.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvanel;
using namespace corvanel::playback;

using namespace enginetest;

namespace {

class EngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND_NONREALTIME));
        ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    }
    void TearDown() override
    {
        FSOUND_Close();
        FSOUND_SetOutput(FSOUND_OUTPUT_DEVICE);
    }

    QString file(const QString &name) const { return dir.filePath(name); }

    std::vector<float> render(int frames)
    {
        std::vector<float> out(size_t(frames) * 2);
        EXPECT_EQ(FSOUND_Offline_Render(out.data(), frames), frames);
        return out;
    }

    // Renders until the channel ends (bounded); returns the frames rendered.
    int64_t renderToEnd(int channel, int64_t limit)
    {
        int64_t total = 0;
        while (FSOUND_IsPlaying(channel) == 1 && total < limit) {
            render(4096);
            total += 4096;
        }
        return total;
    }

    int load(const QString &path) { return FSOUND_Sample_Load(-1, QFile::encodeName(path).constData(), 0x130, 0, 0); }

    bool writeMp3(const QString &path, const std::vector<int16_t> &stereo, mkipod::Mp3Rate rate)
    {
        QByteArray bytes;
        QString error;
        return mkipod::encodeMp3(stereo, &bytes, &error, rate) && writeFile(path, bytes);
    }

    // Writes the samples as a WAV file in the test folder and loads it.
    int loadWav(const QString &name, const std::vector<int16_t> &pcm, int channels = 2, int rate = 44100)
    {
        EXPECT_TRUE(writeWav(file(name), pcm, channels, rate));
        const int sample = load(file(name));
        EXPECT_NE(sample, 0) << FSOUND_GetError();
        return sample;
    }

    QTemporaryDir dir;
};

TEST_F(EngineTest, PlaysMp3AacAndWavToTheirExactEnd)
{
    using Kind = mkipod::AudioSpec::Kind;
    for (const auto &[kind, name] :
         {std::pair{Kind::Mp3, "song.mp3"}, {Kind::Aac, "song.m4a"}, {Kind::Wav, "song.wav"}}) {
        SCOPED_TRACE(name);
        const QString path = file(name);
        ASSERT_TRUE(mkipod::writeAudio(path, {kind, 3, 7}));
        const Decoded reference = decodeWhole(path);
        ASSERT_GT(reference.frames(), 44100 * 2);

        const int sample = load(path);
        ASSERT_NE(sample, 0) << FSOUND_GetError();
        // The song's own length: encoder delay and padding are not part of it (a plain decode of
        // the AAC file keeps the padding of its last packet).
        EXPECT_EQ(FSOUND_Sample_WaitForLength(sample, 10000), 3u * 44100);

        const int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
        ASSERT_NE(channel, 0);
        const std::vector<float> first = render(44100);
        EXPECT_EQ(FSOUND_GetCurrentPosition(channel), 44100u);
        EXPECT_GT(std::min(rms(first, 0), rms(first, 1)), 0.01) << "both sides sound";
        // The stereo output is the file's own samples at full volume.
        for (size_t i = 0; i < 2000; ++i)
            ASSERT_NEAR(first[20000 + i], reference.samples[20000 + i], 1e-4) << i;

        renderToEnd(channel, 10 * 44100);
        EXPECT_EQ(FSOUND_IsPlaying(channel), 0);
        EXPECT_EQ(FSOUND_GetCurrentPosition(channel), 3u * 44100);
        // An ended channel stays ended: resuming it does not restart it.
        EXPECT_TRUE(FSOUND_SetPaused(channel, false));
        render(4096);
        EXPECT_EQ(FSOUND_IsPlaying(channel), 0);
        FSOUND_Sample_Free(sample);
    }
}

TEST_F(EngineTest, PositionFollowsFramesPulledAndPauseFreezesIt)
{
    const int channel = FSOUND_PlaySound(FSOUND_FREE, loadWav("tone.wav", tone(440, 5, 0.5, 2)));
    ASSERT_NE(channel, 0);
    for (int frames : {1, 1000, 4095, 4097, 12345}) {
        const unsigned before = FSOUND_GetCurrentPosition(channel);
        render(frames);
        EXPECT_EQ(FSOUND_GetCurrentPosition(channel), before + unsigned(frames));
    }

    ASSERT_TRUE(FSOUND_SetPaused(channel, true));
    EXPECT_TRUE(FSOUND_GetPaused(channel));
    const unsigned paused = FSOUND_GetCurrentPosition(channel);
    const std::vector<float> silence = render(20000);
    EXPECT_EQ(FSOUND_GetCurrentPosition(channel), paused);
    EXPECT_EQ(FSOUND_IsPlaying(channel), 1);
    EXPECT_EQ(rms(silence, 0), 0.0);

    ASSERT_TRUE(FSOUND_SetPaused(channel, false));
    const std::vector<float> resumed = render(1000);
    EXPECT_EQ(FSOUND_GetCurrentPosition(channel), paused + 1000);
    EXPECT_GT(rms(resumed, 0), 0.1);
}

TEST_F(EngineTest, SeeksLandWithinTenMillisecondsOnEveryKindOfMp3)
{
    // A fifth of a second of silence first, as many songs have: the first frame's bitrate is then far
    // below the average, and a duration guessed from it is badly wrong.
    std::vector<int16_t> music(2 * 8820, 0);
    const std::vector<int16_t> song = mkipod::synthesizeMusic(20, 3);
    music.insert(music.end(), song.begin(), song.end());
    for (const auto &[kind, name] : {std::pair{mkipod::Mp3Rate::Constant, "cbr.mp3"},
                                     {mkipod::Mp3Rate::Variable, "vbr.mp3"},
                                     {mkipod::Mp3Rate::VariableWithoutInfo, "vbr-noxing.mp3"}}) {
        SCOPED_TRACE(name);
        const QString path = file(name);
        ASSERT_TRUE(writeMp3(path, music, kind));
        const Decoded reference = decodeWhole(path);
        ASSERT_EQ(reference.channels, 2);

        const int sample = load(path);
        ASSERT_NE(sample, 0);
        // Exact even where the header's duration is far off (VBR without a Xing frame).
        EXPECT_EQ(int64_t(FSOUND_Sample_WaitForLength(sample, 10000)), reference.frames());
        if (kind == mkipod::Mp3Rate::VariableWithoutInfo) {
            EXPECT_GT(std::abs(reference.headerFrames - reference.frames()), 44100)
                << "the header was expected to mislead";
        }

        const int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
        ASSERT_NE(channel, 0);
        render(2000);
        for (unsigned target : {10000u, 30000u, 220500u, 441000u, 661500u, 12000u, 860000u}) {
            SCOPED_TRACE(target);
            ASSERT_TRUE(FSOUND_SetCurrentPosition(channel, target));
            EXPECT_EQ(FSOUND_GetCurrentPosition(channel), target);
            const int n = 4096;
            const std::vector<float> got = render(n);
            EXPECT_EQ(FSOUND_GetCurrentPosition(channel), target + unsigned(n));

            // Where in the whole decode does the rendered block fit best?
            int64_t bestOffset = 0;
            double bestError = 1e30;
            for (int64_t offset = -1500; offset <= 1500; ++offset) {
                const int64_t start = int64_t(target) + offset;
                if (start < 0 || start + n > reference.frames())
                    continue;
                double error = 0;
                for (int i = 0; i < n && error < bestError; i += 2)
                    error += std::abs(got[size_t(i) * 2] - reference.samples[size_t(start + i) * 2]);
                if (error < bestError) {
                    bestError = error;
                    bestOffset = offset;
                }
            }
            // Within 10 ms is the promise; the frame index makes it exact.
            EXPECT_EQ(bestOffset, 0) << "landed " << bestOffset << " frames away";
            EXPECT_LT(bestError / (n / 2), 0.01);
        }
        FSOUND_Sample_Free(sample);
    }
}

TEST_F(EngineTest, VolumeScalesAllChannelsAndIsClamped)
{
    const int sample = loadWav("tone.wav", tone(440, 3, 0.5, 2));
    const int a = FSOUND_PlaySound(FSOUND_FREE, sample);
    ASSERT_TRUE(FSOUND_SetVolume(FSOUND_ALL, 255));
    const double full = rms(render(8192), 0);
    ASSERT_GT(full, 0.3);
    ASSERT_TRUE(FSOUND_SetVolume(FSOUND_ALL, 64));
    EXPECT_EQ(FSOUND_GetVolume(0), 64);
    EXPECT_EQ(FSOUND_GetVolume(a), 64);
    EXPECT_NEAR(rms(render(8192), 0) / full, 64.0 / 255.0, 0.01);

    // A channel started later takes the volume last set for all.
    const int b = FSOUND_PlaySound(FSOUND_FREE, sample);
    EXPECT_EQ(FSOUND_GetVolume(b), 64);

    EXPECT_TRUE(FSOUND_SetVolume(FSOUND_ALL, 300));
    EXPECT_EQ(FSOUND_GetVolume(0), 255);
    EXPECT_TRUE(FSOUND_SetVolume(FSOUND_ALL, -20));
    EXPECT_EQ(FSOUND_GetVolume(0), 0);
    EXPECT_EQ(rms(render(4096), 0), 0.0);
    EXPECT_EQ(FSOUND_GetCurrentPosition(a), FSOUND_GetCurrentPosition(b) + 8192 * 2);
}

TEST_F(EngineTest, EqualiserBoostsItsBandByTheGainSet)
{
    ASSERT_TRUE(writeWav(file("4k.wav"), tone(4000, 4, 0.1, 2), 2));
    ASSERT_TRUE(writeWav(file("150.wav"), tone(150, 4, 0.1, 2), 2));
    auto measure = [&](const QString &path, float gain) {
        const int sample = load(path);
        const int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
        const int fx = FSOUND_FX_Enable(channel, FSOUND_FX_PARAMEQ);
        EXPECT_GE(fx, 1);
        EXPECT_TRUE(FSOUND_FX_SetParamEQ(fx, 4000, 12, gain));
        const double level = rms(render(44100), 0, 4096);
        FSOUND_Sample_Free(sample);
        return level;
    };
    const double flat = measure(file("4k.wav"), 0);
    EXPECT_NEAR(flat, 0.1 / std::sqrt(2.0), 0.002);
    EXPECT_NEAR(20 * std::log10(measure(file("4k.wav"), 12) / flat), 12.0, 0.5);
    EXPECT_NEAR(20 * std::log10(measure(file("4k.wav"), -12) / flat), -12.0, 0.5);
    // Two octaves below the band the boost has faded.
    const double low = measure(file("150.wav"), 0);
    EXPECT_NEAR(20 * std::log10(measure(file("150.wav"), 12) / low), 0.0, 1.0);

    // Enabling the equaliser again on a channel names the one it has: the boost never stacks.
    const int sample = load(file("4k.wav"));
    const int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
    const int fx = FSOUND_FX_Enable(channel, FSOUND_FX_PARAMEQ);
    EXPECT_EQ(FSOUND_FX_Enable(channel, FSOUND_FX_PARAMEQ), fx);
    EXPECT_EQ(FSOUND_FX_Enable(channel, FSOUND_FX_PARAMEQ), fx);
    EXPECT_TRUE(FSOUND_FX_SetParamEQ(fx, 4000, 12, 10));
    EXPECT_NEAR(20 * std::log10(rms(render(44100), 0, 4096) / flat), 10.0, 0.5);
    EXPECT_TRUE(FSOUND_FX_SetParamEQ(fx, 4000, 12, 0));
    EXPECT_NEAR(20 * std::log10(rms(render(44100), 0, 4096) / flat), 0.0, 0.2);
    FSOUND_Sample_Free(sample);

    EXPECT_FALSE(FSOUND_FX_SetParamEQ(0, 4000, 12, 3));
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_FX_Enable(12345, FSOUND_FX_PARAMEQ), -1);
}

TEST_F(EngineTest, SpectrumPeaksInTheToneBand)
{
    ASSERT_NE(FSOUND_PlaySound(FSOUND_FREE, loadWav("1k.wav", tone(1000, 2, 0.9, 1), 1)), 0);
    const int unit = FSOUND_DSP_GetFFTUnit();
    ASSERT_NE(unit, 0);
    const float *off = FSOUND_DSP_GetSpectrum();
    ASSERT_NE(off, nullptr);
    EXPECT_EQ(*std::max_element(off, off + 512), 0.0f);

    ASSERT_TRUE(FSOUND_DSP_SetActive(unit, true));
    render(8192);
    const float *bands = FSOUND_DSP_GetSpectrum();
    const auto peak = std::max_element(bands, bands + 512) - bands;
    EXPECT_EQ(peak, std::lround(1000.0 * 1024 / 44100));
    EXPECT_GT(bands[peak], 0.7f);
    EXPECT_LE(bands[peak], 1.0f);
    EXPECT_LT(bands[100], 0.01f);
    EXPECT_LT(bands[2], 0.01f);

    // A mono file plays on both sides.
    const std::vector<float> out = render(4096);
    EXPECT_NEAR(rms(out, 0), rms(out, 1), 1e-6);
}

TEST_F(EngineTest, StereoStaysStereoAndOtherRatesAreResampled)
{
    std::vector<int16_t> left = tone(440, 2, 0.5, 2);
    for (size_t i = 1; i < left.size(); i += 2)
        left[i] = 0;
    int sample = loadWav("left.wav", left);
    int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
    std::vector<float> out = render(8192);
    EXPECT_GT(rms(out, 0), 0.3);
    EXPECT_EQ(rms(out, 1), 0.0);
    FSOUND_Sample_Free(sample);

    sample = loadWav("48k.wav", tone(1000, 2, 0.5, 2, 48000), 2, 48000);
    EXPECT_EQ(FSOUND_Sample_WaitForLength(sample, 10000), 96000u);
    channel = FSOUND_PlaySound(FSOUND_FREE, sample);
    out = render(44100);
    EXPECT_NEAR(double(FSOUND_GetCurrentPosition(channel)), 48000.0, 1.0);
    EXPECT_NEAR(rms(out, 0, 1000), 0.5 / std::sqrt(2.0), 0.01);
    renderToEnd(channel, 5 * 44100);
    EXPECT_EQ(FSOUND_IsPlaying(channel), 0);
}

TEST_F(EngineTest, BadFilesFailWithTheirCodes)
{
    ASSERT_TRUE(writeFile(file("empty.mp3"), {}));
    ASSERT_TRUE(
        writeFile(file("notes.mp3"), QByteArray("These are not the songs you are looking for.\n").repeated(200)));
    std::mt19937 random(5);
    QByteArray junk(200000, '\0');
    for (char &c : junk)
        c = char(random());
    ASSERT_TRUE(writeFile(file("junk.m4a"), junk));
    // A WAV header that promises data the file does not have.
    ASSERT_TRUE(writeWav(file("header.wav"), tone(440, 1, 0.5, 2), 2));
    QFile::resize(file("header.wav"), 44);
    // An AAC file whose sample data is overwritten: its first frame does not decode.
    ASSERT_TRUE(mkipod::writeAudio(file("broken.m4a"), {mkipod::AudioSpec::Kind::Aac, 2, 1}));
    QByteArray aac = readFile(file("broken.m4a"));
    const qsizetype mdat = aac.indexOf("mdat");
    ASSERT_GT(mdat, 0);
    for (qsizetype i = mdat + 4; i < aac.size() && i < mdat + 40000; ++i)
        aac[i] = char(0xff);
    ASSERT_TRUE(writeFile(file("broken.m4a"), aac));
    const struct
    {
        const char *name;
        int error, orError;
    } cases[] = {{"missing.mp3", FMOD_ERR_FILE_NOTFOUND, FMOD_ERR_FILE_NOTFOUND},
                 {"empty.mp3", FMOD_ERR_FILE_FORMAT, FMOD_ERR_FILE_FORMAT},
                 {"notes.mp3", FMOD_ERR_FILE_FORMAT, FMOD_ERR_FILE_FORMAT},
                 {"junk.m4a", FMOD_ERR_FILE_FORMAT, FMOD_ERR_FILE_BAD},
                 {"header.wav", FMOD_ERR_FILE_BAD, FMOD_ERR_FILE_BAD},
                 {"broken.m4a", FMOD_ERR_FILE_FORMAT, FMOD_ERR_FILE_BAD}};
    for (const auto &c : cases) {
        EXPECT_EQ(load(file(c.name)), 0) << c.name;
        const int error = FSOUND_GetError();
        EXPECT_TRUE(error == c.error || error == c.orError) << c.name << ": " << error;
    }

    // The contents decide, not the name: a WAV called .mp3 and an MP3 called .m4a both play.
    ASSERT_TRUE(mkipod::writeAudio(file("wav-named.mp3"), {mkipod::AudioSpec::Kind::Wav, 1, 2}));
    ASSERT_TRUE(mkipod::writeAudio(file("mp3-named.m4a"), {mkipod::AudioSpec::Kind::Mp3, 1, 2}));
    for (const char *name : {"wav-named.mp3", "mp3-named.m4a"}) {
        const int s = load(file(name));
        EXPECT_NE(s, 0) << name;
        const int c = FSOUND_PlaySound(FSOUND_FREE, s);
        EXPECT_GT(rms(render(8192), 0), 0.001) << name;
        EXPECT_EQ(FSOUND_IsPlaying(c), 1);
        FSOUND_Sample_Free(s);
    }
}

TEST_F(EngineTest, TruncatedAndVanishingFilesJustEnd)
{
    ASSERT_TRUE(mkipod::writeAudio(file("cut.mp3"), {mkipod::AudioSpec::Kind::Mp3, 10, 4}));
    const qint64 size = QFileInfo(file("cut.mp3")).size();
    QFile::resize(file("cut.mp3"), size / 2);
    int sample = load(file("cut.mp3"));
    ASSERT_NE(sample, 0);
    int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
    const int64_t played = renderToEnd(channel, 20 * 44100);
    EXPECT_EQ(FSOUND_IsPlaying(channel), 0);
    EXPECT_NEAR(double(played), 5.0 * 44100, 0.5 * 44100);
    FSOUND_Sample_Free(sample);

    // The iPod is unplugged mid-song: the file shrinks under the decoder, then disappears.
    ASSERT_TRUE(mkipod::writeAudio(file("unplugged.mp3"), {mkipod::AudioSpec::Kind::Mp3, 30, 5}));
    sample = load(file("unplugged.mp3"));
    channel = FSOUND_PlaySound(FSOUND_FREE, sample);
    render(44100);
    QFile::resize(file("unplugged.mp3"), 2000);
    QFile::remove(file("unplugged.mp3"));
    renderToEnd(channel, 40 * 44100);
    EXPECT_EQ(FSOUND_IsPlaying(channel), 0);
    EXPECT_LT(FSOUND_GetCurrentPosition(channel), 10u * 44100);
    EXPECT_FALSE(FSOUND_SetCurrentPosition(channel, 1000));
    // A new playback of the vanished file fails as a value.
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, sample), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_PLAY);
    FSOUND_Sample_Free(sample);
}

// A source that stops answering mid-song, as an iPod pulled out of its socket does: a pipe whose
// writer keeps it open and sends nothing more.
TEST_F(EngineTest, AStalledSourceNeverHoldsUpTheCaller)
{
    const QString pipe = file("stalled.wav");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    struct Writer
    {
        int fd;
        ~Writer() { ::close(fd); }
    } writer{::open(QFile::encodeName(pipe).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC)};
    ASSERT_GE(writer.fd, 0);
    // A header that promises ten seconds, and one of them (less than a channel buffers), all in the
    // pipe at once; then the writer falls silent with the pipe still open.
    ASSERT_TRUE(writeWav(file("whole.wav"), tone(440, 10, 0.3, 2), 2));
    QFile whole(file("whole.wav"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray start = whole.read(44 + 4 * 44100);
    ASSERT_GE(::fcntl(writer.fd, F_SETPIPE_SZ, 1 << 18), start.size());
    ASSERT_EQ(::write(writer.fd, start.constData(), size_t(start.size())), start.size());

    // The writer stays silent to the end, so every call below that returns did so without
    // waiting for the source; one that waited would hang the test.
    const int sample = load(pipe);
    ASSERT_NE(sample, 0) << FSOUND_GetError();
    // The count of the whole file cannot finish; the length is the container's guess.
    EXPECT_LE(FSOUND_Sample_GetLength(sample), 10u * 44100);
    const int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
    ASSERT_NE(channel, 0);
    // Every byte sent has been read: the readers now wait on the empty pipe.
    int waiting = 1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return ::ioctl(writer.fd, FIONREAD, &waiting) == 0 && waiting == 0; }, 10000));

    FSOUND_Sample_Free(sample);
    EXPECT_EQ(FSOUND_IsPlaying(channel), 0);
    FSOUND_Close(); // every reader lets go
}

TEST_F(EngineTest, HandlesChannelsAndStopping)
{
    const int sample = loadWav("tone.wav", tone(440, 2, 0.5, 2));
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, sample + 100), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_IsPlaying(0), 0);
    EXPECT_EQ(FSOUND_IsPlaying(-3), 0);
    EXPECT_EQ(FSOUND_GetCurrentPosition(0), 0u);
    EXPECT_EQ(FSOUND_Sample_GetLength(0), 0u);

    std::vector<int> channels;
    for (int i = 0; i < 32; ++i) {
        channels.push_back(FSOUND_PlaySound(FSOUND_FREE, sample));
        ASSERT_NE(channels.back(), 0);
    }
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, sample), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_CHANNEL_ALLOC);
    EXPECT_EQ(std::set<int>(channels.begin(), channels.end()).size(), 32u);

    ASSERT_TRUE(FSOUND_StopSound(channels[3]));
    EXPECT_EQ(FSOUND_IsPlaying(channels[3]), 0);
    const int reused = FSOUND_PlaySound(FSOUND_FREE, sample);
    ASSERT_NE(reused, 0);
    EXPECT_NE(reused, channels[3]);
    EXPECT_EQ(FSOUND_IsPlaying(channels[3]), 0);
    EXPECT_EQ(FSOUND_IsPlaying(reused), 1);

    ASSERT_TRUE(FSOUND_StopSound(FSOUND_ALL));
    for (int c : channels)
        EXPECT_EQ(FSOUND_IsPlaying(c), 0);
    EXPECT_EQ(rms(render(4096), 0), 0.0);

    const int again = FSOUND_PlaySound(FSOUND_FREE, sample);
    FSOUND_Sample_Free(sample);
    EXPECT_EQ(FSOUND_IsPlaying(again), 0);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, sample), 0);
}

TEST(EngineDevice, InitFailsWithoutADeviceAndRunsOnTheDummyDriver)
{
    FSOUND_Close();
    EXPECT_EQ(FSOUND_Sample_Load(-1, "/nonexistent.mp3", 0, 0, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);

    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(FSOUND_Init(44100, 32, 0));
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INIT);

    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    EXPECT_FALSE(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND_NONREALTIME));
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_BUSY);
    QTemporaryDir dir;
    ASSERT_TRUE(writeWav(dir.filePath("tone.wav"), tone(440, 3, 0.5, 2), 2));
    const int sample = FSOUND_Sample_Load(-1, QFile::encodeName(dir.filePath("tone.wav")).constData(), 0x130, 0, 0);
    ASSERT_NE(sample, 0);
    const int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
    ASSERT_NE(channel, 0);
    FSOUND_SetVolume(FSOUND_ALL, 200);
    EXPECT_TRUE(QTest::qWaitFor([&] { return FSOUND_GetCurrentPosition(channel) > 0; }, 5000));
    EXPECT_EQ(FSOUND_IsPlaying(channel), 1);
    FSOUND_StopSound(FSOUND_ALL);
    FSOUND_Close();
}

} // namespace
