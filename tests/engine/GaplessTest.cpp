// Songs that follow each other without a gap: a sound queued on a channel takes over within the
// output block in which the sound before it ends, and each file brings exactly its own samples,
// without the encoder's delay or padding.
#include "AudioDecoder.h"
#include "AudioEncoders.h"
#include "EngineTestFiles.h"
#include "FSound.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

using namespace corvanel::playback;
using namespace enginetest;

namespace {

constexpr double kHz = 440;
constexpr double kAmplitude = 0.5;
// The sine's own largest step from one sample to the next.
const double kSineStep = kAmplitude * 2 * std::numbers::pi * kHz / 44100;

// The boxes from the top of an MP4 file down a path of types: their offsets, outermost first;
// empty when one is missing.
std::vector<qsizetype> boxPath(const QByteArray &mp4, std::initializer_list<const char *> path)
{
    std::vector<qsizetype> chain;
    qsizetype start = 0, end = mp4.size();
    for (const char *type : path) {
        qsizetype at = start;
        while (at + 8 <= end && mp4.mid(at + 4, 4) != type)
            at += std::max<quint32>(8, qFromBigEndian<quint32>(mp4.constData() + at));
        if (at + 8 > end)
            return {};
        chain.push_back(at);
        start = at + 8 + (std::strcmp(type, "meta") == 0 ? 4 : 0); // "meta" has a version and flags
        end = at + qFromBigEndian<quint32>(mp4.constData() + at);
    }
    return chain;
}

QByteArray atom(const char *type, const QByteArray &payload)
{
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(quint32(8 + payload.size()), out.data());
    return out + type + payload;
}

// Rewrites an AAC file as iTunes writes them: no edit list, every packet 1024 samples long in the
// time table, and the delay, padding and length of the song in an iTunSMPB entry.
bool makeITunesStyle(const QString &path, qint64 songSamples)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray mp4 = file.readAll();
    const auto edts = boxPath(mp4, {"moov", "trak", "edts"});
    const auto stts = boxPath(mp4, {"moov", "trak", "mdia", "minf", "stbl", "stts"});
    if (edts.empty() || stts.empty())
        return false;
    mp4.replace(edts.back() + 4, 4, "free");
    const qsizetype table = stts.back() + 16;
    const quint32 entries = qFromBigEndian<quint32>(mp4.constData() + table - 4);
    qint64 packets = 0;
    for (quint32 i = 0; i < entries; ++i)
        packets += qFromBigEndian<quint32>(mp4.constData() + table + 8 * i);
    qToBigEndian<quint32>(1024, mp4.data() + table + 8 * (entries - 1) + 4);
    const qint64 padding = packets * 1024 - 1024 - songSamples;
    const QByteArray smpb = QString::asprintf(" 00000000 00000400 %08llX %016llX 00000000 00000000",
                                              static_cast<long long>(padding), static_cast<long long>(songSamples))
                                .toLatin1();
    const QByteArray entry = atom("----", atom("mean", QByteArray(4, '\0') + "com.apple.iTunes") +
                                              atom("name", QByteArray(4, '\0') + "iTunSMPB") +
                                              atom("data", QByteArray::fromHex("0000000100000000") + smpb));
    // The movie box follows the sound data, so growing it moves no sample.
    const auto ilst = boxPath(mp4, {"moov", "udta", "meta", "ilst"});
    if (ilst.empty() || ilst.front() < mp4.indexOf("mdat"))
        return false;
    mp4.insert(ilst.back() + qFromBigEndian<quint32>(mp4.constData() + ilst.back()), entry);
    for (qsizetype box : ilst)
        qToBigEndian<quint32>(qFromBigEndian<quint32>(mp4.constData() + box) + quint32(entry.size()), mp4.data() + box);
    return file.seek(0) && file.write(mp4) == mp4.size();
}

enum class Coding { Mp3, Aac, ITunesAac };

bool writeSong(const QString &path, const std::vector<int16_t> &pcm, Coding coding)
{
    QString error;
    if (coding == Coding::Mp3) {
        QByteArray mp3;
        QFile file(path);
        return mkipod::encodeMp3(pcm, &mp3, &error) && file.open(QIODevice::WriteOnly) && file.write(mp3) == mp3.size();
    }
    mkipod::SongTags tags;
    tags.title = QStringLiteral("Half"); // an iTunes-style file gets its gapless entry beside the tags
    return mkipod::encodeAacFile(pcm, path, tags, &error) &&
           (coding == Coding::Aac || makeITunesStyle(path, qint64(pcm.size() / 2)));
}

class GaplessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND_NONREALTIME));
        ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    }
    void TearDown() override
    {
        FSOUND_Close();
        FSOUND_SetOutput(FSOUND_OUTPUT_DEVICE);
    }
    int load(const QString &path) { return FSOUND_Sample_Load(-1, QFile::encodeName(path).constData(), 0x130, 0, 0); }

    QTemporaryDir dir;
};

TEST_F(GaplessTest, TwoHalvesOfOneSineJoinWithoutAGap)
{
    // Cut within a frame of either codec, at a zero crossing, where the sine is steepest: each half
    // starts and ends at the level of the silence a codec assumes outside the file. (Cut at a
    // higher level, a codec spreads that step from silence over the first and last few samples,
    // up to 0.11 off here, as it would for any player.) FFmpeg's AAC encoder declares the exact
    // length of this half; for some lengths it declares a few samples less than it was given.
    const std::vector<int16_t> sine = tone(kHz, 4, kAmplitude, 2);
    const size_t cut = 2 * 88200;
    const std::vector<int16_t> first(sine.begin(), sine.begin() + ptrdiff_t(cut)),
        second(sine.begin() + ptrdiff_t(cut), sine.end());
    for (const auto &[coding, suffix] :
         {std::pair{Coding::Mp3, ".mp3"}, {Coding::Aac, ".m4a"}, {Coding::ITunesAac, "-itunes.m4a"}}) {
        SCOPED_TRACE(suffix);
        const QString a = dir.filePath(QStringLiteral("a") + suffix), b = dir.filePath(QStringLiteral("b") + suffix);
        ASSERT_TRUE(writeSong(a, first, coding) && writeSong(b, second, coding));
        const int sampleA = load(a);
        ASSERT_NE(sampleA, 0) << FSOUND_GetError();
        // Each half is exactly its own samples: the encoder's delay and padding are gone.
        ASSERT_EQ(FSOUND_Sample_WaitForLength(sampleA, 10000), cut / 2);

        const int channel = FSOUND_PlaySound(FSOUND_FREE, sampleA);
        const int sampleB = queueSample(channel, QFile::encodeName(b).constData());
        ASSERT_NE(sampleB, 0);
        EXPECT_EQ(queuedSample(channel), sampleB);
        std::vector<float> left;
        std::vector<float> block(2 * 4096);
        while (FSOUND_IsPlaying(channel) == 1 && left.size() < sine.size()) {
            ASSERT_EQ(FSOUND_Offline_Render(block.data(), 4096), 4096);
            for (size_t i = 0; i < block.size(); i += 2)
                left.push_back(block[i]);
        }
        EXPECT_EQ(playingSample(channel), sampleB);
        EXPECT_EQ(queuedSample(channel), 0);
        EXPECT_EQ(FSOUND_GetCurrentPosition(channel), FSOUND_Sample_WaitForLength(sampleB, 10000));
        ASSERT_GE(left.size(), sine.size() / 2);

        // Around the joint: no silence, no step larger than the sine's own, and every sample in
        // its place. Lossy coding moves each sample a little: by up to about 0.011 here (AAC),
        // and MP3 at 128 kbit/s plays this sine 5% softer, so the sound is compared with the sine
        // at the level heard. Where the files meet, a step may exceed the sine's largest by the
        // deviation of two neighbours, 0.006 at most. One sample lost or doubled at the joint
        // would put every later one off by up to a whole step, 0.031.
        const size_t from = cut / 2 - 2048, to = cut / 2 + 2048;
        double heard = 0, meant = 0;
        for (size_t i = from; i < to; ++i) {
            heard += double(left[i]) * left[i];
            meant += double(sine[2 * i]) * sine[2 * i] / (32768.0 * 32768.0);
        }
        const double level = std::sqrt(heard / meant);
        int silence = 0, longestSilence = 0;
        double largestStep = 0, largestError = 0;
        for (size_t i = from; i < to; ++i) {
            silence = std::abs(left[i]) < 1e-4f ? silence + 1 : 0;
            longestSilence = std::max(longestSilence, silence);
            largestStep = std::max(largestStep, double(std::abs(left[i] - left[i - 1])));
            largestError = std::max(largestError, std::abs(left[i] - level * sine[2 * i] / 32768.0));
        }
        EXPECT_LE(longestSilence, 1) << "a sine is near zero for one sample at most";
        EXPECT_LE(largestStep, kSineStep + 0.006);
        EXPECT_LE(largestError, 0.015);
        FSOUND_Sample_Free(sampleA);
        FSOUND_Sample_Free(sampleB);
    }
}

TEST_F(GaplessTest, ProtectedSongsAndFilesThatDoNotOpenAreNotQueued)
{
    // FairPlay marks the sound of a bought song with a "drms" sample entry; a song whose sound
    // data is garbage has packets that the decoder refuses. Neither is a sound this engine plays.
    const QString song = dir.filePath("song.m4a"), bought = dir.filePath("bought.m4p"),
                  garbled = dir.filePath("garbled.m4a");
    ASSERT_TRUE(writeSong(song, tone(kHz, 2, kAmplitude, 2), Coding::Aac));
    ASSERT_TRUE(QFile::copy(song, bought) && markProtected(bought));
    ASSERT_TRUE(QFile::copy(song, garbled));
    {
        QFile file(garbled);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QByteArray mp4 = file.readAll();
        const auto mdat = boxPath(mp4, {"mdat"});
        ASSERT_FALSE(mdat.empty());
        mp4.replace(mdat[0] + 8, qFromBigEndian<quint32>(mp4.constData() + mdat[0]) - 8,
                    QByteArray(qFromBigEndian<quint32>(mp4.constData() + mdat[0]) - 8, '\xff'));
        ASSERT_TRUE(file.seek(0) && file.write(mp4) == mp4.size());
    }
    for (const QString &undecodable : {bought, garbled}) {
        EXPECT_EQ(load(undecodable), 0);
        EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_MEDIAPLAYER);
    }

    // Queued, it leaves the queue and the channel ends as it would have; so does a missing file.
    const int sample = load(song);
    for (const QString &next : {bought, dir.filePath("missing.m4a")}) {
        const int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
        const int queued = queueSample(channel, QFile::encodeName(next).constData());
        ASSERT_NE(queued, 0);
        std::vector<float> block(2 * 4096);
        for (int i = 0; i < 40 && FSOUND_IsPlaying(channel) == 1; ++i)
            FSOUND_Offline_Render(block.data(), 4096);
        EXPECT_EQ(FSOUND_IsPlaying(channel), 0);
        EXPECT_EQ(queuedSample(channel), 0);
        EXPECT_EQ(playingSample(channel), sample);
        FSOUND_Sample_Free(queued);
    }
}

TEST(ITunesGaplessText, GivesTheSongLengthOrNothing)
{
    EXPECT_EQ(audio::itunesSampleCount(" 00000000 00000840 000001CA 00000000003F31F6 00000000 00000000"), 0x3F31F6);
    EXPECT_EQ(audio::itunesSampleCount("0 840 1CA 3F31F6"), 0x3F31F6);
    for (const char *bad : {"", " 00000000 00000840 000001CA", " 0 840 1CA 0", " 0 840 1CA -5", " 0 840 1CA 3F31F6X",
                            " 0 840 1CA 00000000000000003F31F6", " 0 840 1CA FFFFFFFFFFFFFFFF"})
        EXPECT_EQ(audio::itunesSampleCount(bad), -1) << bad;
    EXPECT_EQ(audio::itunesSampleCount(nullptr), -1);
}

} // namespace
