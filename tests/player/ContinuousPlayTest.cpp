// Continuous play from one song into the next without a gap, the song opened ahead for it, and
// the songs the embedded player refuses. The player runs without a window over the offline
// engine: the test pulls the frames that are played and runs the player's timer itself.
#include "WindowFixture.h"

#include "../engine/EngineTestFiles.h"
#include "DemoIpod.h"

#include "AudioDecoder.h"
#include "AudioDisposer.h"
#include "AudioEncoders.h"
#include "AudioEngine.h"
#include "FSound.h"
#include "ParseiTunesDB.h"
#include "PlayerController.h"

#include <numeric>

using namespace corvanel::playback;

namespace {

// Three AAC songs of two seconds of tone each, and a bought one that only its mark protects.
QString songFolder()
{
    static QTemporaryDir dir;
    static const bool made = [] {
        QDir().mkpath(dir.filePath("iPod_Control/Music/F00"));
        QString error;
        for (int i = 1; i <= 3; ++i) {
            const QString path = dir.filePath(QStringLiteral("iPod_Control/Music/F00/A%1.m4a").arg(i));
            if (!mkipod::encodeAacFile(enginetest::tone(220.0 * i, 2, 0.3, 2), path, {}, &error))
                return false;
        }
        return QFile::copy(dir.filePath("iPod_Control/Music/F00/A1.m4a"),
                           dir.filePath("iPod_Control/Music/F00/P.m4a")) &&
               enginetest::markProtected(dir.filePath("iPod_Control/Music/F00/P.m4a"));
    }();
    EXPECT_TRUE(made);
    return dir.path();
}

class ContinuousPlayTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND_NONREALTIME)); }
    void TearDown() override
    {
        player.reset();
        FSOUND_SetOutput(FSOUND_OUTPUT_DEVICE);
    }

    void open(std::unique_ptr<MusicLibrary> songs)
    {
        library = std::move(songs);
        catalog = std::make_unique<SongCatalog>(*library);
        model = std::make_unique<SongTableModel>(*catalog);
        std::vector<int32_t> all(size_t(library->SongCount));
        std::iota(all.begin(), all.end(), 0);
        model->setSongs(all);
        PlayerController::Hooks hooks;
        hooks.selectedRow = [this] { return selected; };
        hooks.forceUnsupported = [this] { return force; };
        player = std::make_unique<PlayerController>(*library, *model, hooks);
        QObject::connect(player.get(), &PlayerController::rowRequested, [this](int row) { selected = row; });
        QObject::connect(player.get(), &PlayerController::nowPlaying,
                         [this](const PlayerController::NowPlaying &song) { titles << song.title; });
        QObject::connect(player.get(), &PlayerController::externalRequested, [this] { ++handedOver; });
        ASSERT_TRUE(player->InitSoundEngine());
    }
    void openTones()
    {
        auto songs =
            buildLibrary({{1, "One", "Ana", "Tones", "Test", 1, 2000, "\\iPod_Control\\Music\\F00\\A1.m4a"},
                          {2, "Two", "Ana", "Tones", "Test", 2, 2000, "\\iPod_Control\\Music\\F00\\A2.m4a"},
                          {3, "Three", "Ana", "Tones", "Test", 3, 2000, "\\iPod_Control\\Music\\F00\\A3.m4a"},
                          {4, "Bought", "Ana", "Tones", "Test", 4, 2000, "\\iPod_Control\\Music\\F00\\P.m4a"}});
        songs->iPodDrive = songFolder();
        for (int32_t i = 0; i < songs->SongCount; ++i)
            songs->Songs[size_t(i)].FileType = QStringLiteral("AAC audio file");
        open(std::move(songs));
    }

    std::vector<float> render(int frames)
    {
        std::vector<float> out(size_t(frames) * 2);
        EXPECT_EQ(FSOUND_Offline_Render(out.data(), frames), frames);
        return out;
    }
    // About 200 ms of sound, then the timer's step; returns the sound.
    std::vector<float> tick()
    {
        std::vector<float> out = render(8820);
        player->tmrCheckfMod_Timer();
        return out;
    }
    // Channels in the engine and decoders in the process, once what was let go is gone.
    std::pair<size_t, int> inUse()
    {
        audio::disposer().drain(std::chrono::seconds(5));
        return {audio::engine().allChannels().size(), audio::AudioDecoder::openCount()};
    }

    corvanel::platform::RecordingDialogs dialogs;
    corvanel::platform::ScopedDialogs scoped{dialogs};
    std::unique_ptr<MusicLibrary> library;
    std::unique_ptr<SongCatalog> catalog;
    std::unique_ptr<SongTableModel> model;
    std::unique_ptr<PlayerController> player;
    int selected = 0;
    bool force = false;
    int handedOver = 0;
    QStringList titles;
};

TEST_F(ContinuousPlayTest, EverySongOfTheDemoPlaysAacIncluded)
{
    auto demo = std::make_unique<MusicLibrary>();
    demo->iPodDrive = demoIpod();
    corvanel::itunesdb::ParseiTunesDB(demo->iPodDrive + "/iPod_Control/iTunes/iTunesDB", *demo);
    open(std::move(demo));
    int aac = 0;
    for (selected = 0; selected < model->rowCount(); ++selected) {
        const QString title = model->text(selected, SongCatalog::ColTitle);
        aac += model->text(selected, SongCatalog::ColType) == "AAC audio file";
        player->OpenInEmbedded();
        ASSERT_NE(player->CurrentChannel, 0) << title.toStdString();
        EXPECT_GT(enginetest::rms(render(22050), 0), 0.001) << title.toStdString();
    }
    EXPECT_GE(aac, 8);
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST_F(ContinuousPlayTest, TheNextSongFollowsWithoutAGapAndTheLabelsFollowIt)
{
    openTones();
    player->picPlay_Click();
    const int channel = player->CurrentChannel;
    std::vector<float> sound = tick();
    // Less than a few seconds are left: the next row's song is opened ahead, no more.
    const int32_t ahead = player->preOpenedSample();
    ASSERT_NE(ahead, 0);
    render(256);
    EXPECT_EQ(inUse(), std::make_pair(size_t(1), 2));

    int ticks = 1;
    for (; titles.size() < 2 && ticks < 20; ++ticks) {
        const std::vector<float> more = tick();
        sound.insert(sound.end(), more.begin(), more.end());
    }
    EXPECT_EQ(titles, QStringList({"One", "Two"}));
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(player->CurrentChannel, channel) << "the same channel goes on";
    EXPECT_EQ(player->CurrentSample, ahead);
    EXPECT_EQ(FSOUND_IsPlaying(channel), 1);
    EXPECT_EQ(ticks * 8820 + 256 - 88200, int(FSOUND_GetCurrentPosition(channel)))
        << "the song changed within the last tick, exactly where the first one ended";
    int silence = 0, longest = 0;
    for (size_t i = 0; i < sound.size(); i += 2) {
        silence = std::abs(sound[i]) < 1e-4f ? silence + 1 : 0;
        longest = std::max(longest, silence);
    }
    EXPECT_LE(longest, 1);

    // The last row's song is protected: opened ahead, it fails without a word; its turn says
    // why it does not play, and play stops after it.
    for (int i = 0; i < 40 && player->Playing; ++i)
        tick();
    EXPECT_EQ(titles, QStringList({"One", "Two", "Three"}));
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "AAC File Not Supported");
    EXPECT_FALSE(player->Playing);
    EXPECT_EQ(selected, 3);
}

TEST_F(ContinuousPlayTest, AProtectedSongIsRefusedAndThePlayingOneGoesOn)
{
    openTones();
    player->picPlay_Click();
    const int channel = player->CurrentChannel;
    selected = 3; // typed as a plain AAC song: only its file tells
    player->OpenInEmbedded();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "AAC File Not Supported");
    EXPECT_EQ(dialogs.last().text, "This song is an AAC file which the embedded player is not capable of playing. "
                                   "Please try using the Default Player.");
    EXPECT_EQ(player->CurrentChannel, channel);
    EXPECT_EQ(FSOUND_GetPaused(channel), false);
    EXPECT_GT(enginetest::rms(render(4096), 0), 0.1);

    force = true;
    player->OpenInEmbedded();
    EXPECT_EQ(handedOver, 1);
    EXPECT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(titles, QStringList({"One"}));
}

TEST_F(ContinuousPlayTest, EveryWayOfLeavingTheSongCancelsTheOneOpenedAhead)
{
    openTones();
    const struct
    {
        const char *name;
        std::function<void()> act;
        size_t channels;
    } cases[] = {
        {"pause", [&] { player->picPause_Click(); }, 1},
        {"seek", [&] { player->seekTo(0.5); }, 1},
        {"another song",
         [&] {
             selected = 2;
             player->picPlay_Click();
         },
         1},
        {"another row selected",
         [&] {
             selected = 2;
             player->songListChanged();
         },
         1},
        {"list change",
         [&] {
             model->setSongs({0, 2, 1, 3});
         },
         1},
        {"stop: back past the first row", [&] { player->picPrev_Click(); }, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        model->setSongs({0, 1, 2, 3});
        selected = 0;
        player->picPlay_Click();
        tick();
        ASSERT_NE(player->preOpenedSample(), 0);
        c.act();
        EXPECT_EQ(player->preOpenedSample(), 0);
        EXPECT_EQ(queuedSample(player->CurrentChannel), 0);
        // One song's channel and decoder, or none when all sound stopped.
        EXPECT_EQ(inUse(), std::make_pair(c.channels, int(c.channels)));
    }
    EXPECT_EQ(dialogs.count(), 0u);
}

} // namespace
