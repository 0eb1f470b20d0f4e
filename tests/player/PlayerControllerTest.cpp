// The player's rules without a window: continuous play down a list, through the engine's
// offline output.
#include "WindowFixture.h"

#include "FSound.h"
#include "IpodBuilder.h"
#include "PlayerController.h"

#include <QSignalSpy>

namespace {

TEST(PlayerController, PlaysDownTheListAndStopsAfterTheLastRow)
{
    QTemporaryDir ipod;
    QDir().mkpath(ipod.filePath("iPod_Control/Music/F00"));
    for (int i = 1; i <= 2; ++i)
        ASSERT_TRUE(mkipod::writeAudio(ipod.filePath(QStringLiteral("iPod_Control/Music/F00/S%1.mp3").arg(i)),
                                       {mkipod::AudioSpec::Kind::Mp3, 1, i}));
    auto library =
        buildLibrary({{1, "One", "Ana", "First", "Pop", 1, 1000}, {2, "Two", "Ana", "First", "Pop", 2, 1000}});
    library->iPodDrive = ipod.path();
    corvanel::RecordingDialogs dialogs;
    corvanel::ScopedDialogs scoped(dialogs);
    SongCatalog catalog(*library);
    SongTableModel songs(catalog);
    songs.setSongs({0, 1});
    int selected = 0;
    PlayerController::Hooks hooks;
    hooks.selectedRow = [&] { return selected; };
    PlayerController player(*library, songs, hooks);
    QObject::connect(&player, &PlayerController::rowRequested, [&](int row) { selected = row; });
    QSignalSpy titles(&player, &PlayerController::nowPlaying);
    QSignalSpy shown(&player, &PlayerController::playingShown);
    QSignalSpy stopped(&player, &PlayerController::stopped);

    ASSERT_TRUE(FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND_NONREALTIME));
    ASSERT_TRUE(player.InitSoundEngine());
    player.picPlay_Click();
    ASSERT_EQ(titles.count(), 1);
    EXPECT_EQ(titles.last().at(0).value<PlayerController::NowPlaying>().title, "One");
    EXPECT_TRUE(shown.last().at(0).toBool());
    std::vector<float> block(8820 * 2);
    for (int tick = 0; tick < 40 && player.Playing; ++tick) {
        FSOUND_Offline_Render(block.data(), 8820);
        player.tmrCheckfMod_Timer();
    }
    EXPECT_FALSE(player.Playing) << "continuous play ends after the last row";
    EXPECT_EQ(stopped.count(), 1);
    ASSERT_EQ(titles.count(), 2);
    EXPECT_EQ(titles.last().at(0).value<PlayerController::NowPlaying>().title, "Two");
    EXPECT_EQ(selected, 1) << "the selection stays on the last row";
    EXPECT_EQ(dialogs.count(), 0u);
    player.closeEngine();
    FSOUND_SetOutput(FSOUND_OUTPUT_DEVICE);
}

} // namespace
