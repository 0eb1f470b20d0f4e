// The embedded player in the main window, with real files. The engine renders offline: the
// test pulls the frames that are played and runs the player's timer itself, so every step is
// exact and nothing waits on the clock.
#include "WindowFixture.h"

#include "../engine/EngineTestFiles.h"

#include "EmbeddedPlayer.h"
#include "FSound.h"
#include "IpodBuilder.h"
#include "PlayerController.h"
#include "frmEQ.h"
#include "mdlEQ.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

using namespace corvanel::playback;

namespace {

// The songs' files, made once for all the tests of the program.
QString ipod()
{
    static QTemporaryDir dir;
    if (!QFile::exists(dir.filePath("iPod_Control/Music/F00/T4K-2.wav"))) {
        QDir().mkpath(dir.filePath("iPod_Control/Music/F00"));
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(mkipod::writeAudio(dir.filePath(QStringLiteral("iPod_Control/Music/F00/S%1.mp3").arg(i + 1)),
                                           {mkipod::AudioSpec::Kind::Mp3, 2, i}));
        for (const char *name : {"T4K.wav", "T4K-2.wav"})
            EXPECT_TRUE(enginetest::writeWav(dir.filePath(QStringLiteral("iPod_Control/Music/F00/") + name),
                                             enginetest::tone(4000, 3, 0.1, 2), 2));
    }
    return dir.path();
}

class PlayerTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND_NONREALTIME);
        auto songs =
            buildLibrary({{1, "One", "Ana", "First", "Pop", 1, 2000},
                          {2, "Two", "Ana", "First", "Pop", 2, 2000},
                          {3, "Three", "Ana", "First", "Pop", 3, 2000},
                          {4, "Four", "Ana", "First", "Pop", 4, 2000, "\\iPod_Control\\Music\\F00\\S4.m4a"},
                          {5, "Gone", "Ana", "First", "Pop", 5, 2000, "\\iPod_Control\\Music\\F00\\none.mp3"},
                          {6, "Tone", "Zed", "Tones", "Test", 1, 3000, "\\iPod_Control\\Music\\F00\\T4K.wav"},
                          {7, "Escape", "Zed", "Tones", "Test", 2, 3000, "\\iPod_Control\\..\\..\\T4K.wav"},
                          {8, "Tone again", "Zed", "Tones", "Test", 3, 3000, "\\iPod_Control\\Music\\F00\\T4K-2.wav"}});
        songs->iPodDrive = ipod();
        songs->Songs[3].FileType = "Protected AAC audio file";
        player = &open(std::move(songs)).player();
        player->tmrCheckfMod->stop(); // the test runs the timer's step itself
    }
    void TearDown() override
    {
        window.reset();
        FSOUND_SetOutput(FSOUND_OUTPUT_DEVICE);
    }

    void selectRow(int row) { window->selectSongRow(row); }
    std::vector<float> play(int frames)
    {
        std::vector<float> out(size_t(frames) * 2);
        FSOUND_Offline_Render(out.data(), frames);
        return out;
    }
    // Plays in steps of the timer (about 200 ms of sound each) until the condition holds, at most
    // `seconds` of sound.
    bool playUntil(const std::function<bool()> &condition, int seconds = 20)
    {
        for (int step = 0; step < seconds * 5 && !condition(); ++step) {
            play(8820);
            player->tmrCheckfMod_Timer();
        }
        return condition();
    }
    // The level of the song now playing, past the filter's settling, in dB against `reference`.
    double decibels(double reference) { return 20 * std::log10(enginetest::rms(play(22050), 0, 4096) / reference); }

    EmbeddedPlayer *player = nullptr;
};

TEST_F(PlayerTest, PlayPauseAndResumeTheSameFile)
{
    selectRow(0);
    player->picPlay_Click();
    ASSERT_NE(player->controller().CurrentChannel, 0) << dialogs.count();
    EXPECT_TRUE(player->controller().Playing);
    EXPECT_TRUE(player->picPause->isVisibleTo(window.get()));
    EXPECT_TRUE(window->menus().item("mnuPause")->isEnabled());
    EXPECT_EQ(window->lblTitle->text(), "One");
    EXPECT_EQ(window->lblTime->text(), "Length: 0:02");
    EXPECT_EQ(window->nowPlayingLength(), "2000") << "the Jump tag";
    EXPECT_EQ(window->menus().item("mnuNow")->text(), "Ana - One");

    const int channel = player->controller().CurrentChannel;
    const int sample = player->controller().CurrentSample;
    player->picPause_Click();
    EXPECT_EQ(FSOUND_IsPlaying(channel), 1) << "a paused channel still counts as playing";
    EXPECT_TRUE(player->picPlay->isVisibleTo(window.get()));
    const unsigned paused = FSOUND_GetCurrentPosition(channel);
    play(4410);
    EXPECT_EQ(FSOUND_GetCurrentPosition(channel), paused);

    player->picPlay_Click(); // the same row: resumed, not restarted
    EXPECT_EQ(player->controller().CurrentSample, sample);
    EXPECT_EQ(player->controller().CurrentChannel, channel);
    EXPECT_GE(FSOUND_GetCurrentPosition(channel), paused);

    // Another row while paused starts it from its beginning.
    player->picPause_Click();
    selectRow(1);
    player->picPlay_Click();
    EXPECT_NE(player->controller().CurrentSample, sample);
    EXPECT_EQ(window->lblTitle->text(), "Two");
}

TEST_F(PlayerTest, ContinuousPlayWalksDownTheList)
{
    selectRow(1);
    player->picPlay_Click();
    ASSERT_TRUE(playUntil([&] { return window->lblTitle->text() == "Three"; })) << "the next row follows";
    // Four is an AAC file: refused; then the missing file fails to load, which ends continuous play.
    ASSERT_TRUE(playUntil([&] { return !player->controller().Playing; }));
    ASSERT_EQ(dialogs.count(), 2u);
    EXPECT_EQ(dialogs.calls[0].title, "AAC File Not Supported");
    EXPECT_EQ(dialogs.calls[1].text, "An error occured opening the sample!\r\nFile not found");
    EXPECT_EQ(window->selectedSongRow(), 4);
    EXPECT_EQ(player->controller().CurrentChannel, 0);
    const int position = player->PicPosition->shapeWidth();
    player->PicPosition_MouseDown(position + 20); // nothing left to move
    EXPECT_EQ(player->PicPosition->shapeWidth(), position);
}

TEST_F(PlayerTest, NextAndPreviousAtTheEndsStopInsteadOfWrapping)
{
    selectRow(2);
    player->picPlay_Click();
    player->picPrev_Click();
    EXPECT_EQ(window->selectedSongRow(), 1);
    EXPECT_EQ(window->lblTitle->text(), "Two");

    selectRow(0);
    player->picPrev_Click();
    EXPECT_FALSE(player->controller().Playing);
    EXPECT_EQ(window->selectedSongRow(), 0) << "the selection stays";

    // With nothing selected, Next starts from the first row.
    window->lstSong->selectionModel()->clear();
    player->picNext_Click();
    EXPECT_EQ(window->selectedSongRow(), 0);
    EXPECT_EQ(window->lblTitle->text(), "One");

    selectRow(window->songModel().rowCount() - 1);
    player->controller().Playing = true;
    player->picNext_Click();
    EXPECT_FALSE(player->controller().Playing);
    EXPECT_EQ(FSOUND_IsPlaying(player->controller().CurrentChannel), 0);
}

TEST_F(PlayerTest, RefusedSongsTellTheUserOrGoToTheExternalPlayer)
{
    struct Refused
    {
        int row;
        const char *title, *handedOver;
    };
    const ScopedShell scoped(shell);
    // An AAC file, and a path that would leave the iPod (an error of the start itself).
    for (const Refused &song :
         {Refused{3, "AAC File Not Supported", "S4.m4a"}, Refused{6, "Error in playing file", nullptr}}) {
        SCOPED_TRACE(song.row);
        dialogs.clear();
        window->menus().item("mnuUnsupportedFiles")->setChecked(false);
        selectRow(song.row);
        player->OpenInEmbedded();
        ASSERT_EQ(dialogs.count(), 1u);
        EXPECT_EQ(dialogs.last().title, song.title);
        EXPECT_EQ(player->controller().CurrentChannel, 0);
        EXPECT_EQ(window->lblTitle->text(), "");
        EXPECT_EQ(window->lblArtist->text(), "");

        // With "Force Unsupported" the song goes to the external player instead, which is handed
        // nothing outside the iPod.
        shell.clear();
        window->menus().item("mnuUnsupportedFiles")->setChecked(true);
        player->OpenInEmbedded();
        EXPECT_EQ(dialogs.count(), 1u);
        ASSERT_EQ(shell.count(), song.handedOver ? 1u : 0u);
        if (song.handedOver) {
            EXPECT_TRUE(shell.last().target.endsWith(song.handedOver));
        }
    }
}

TEST_F(PlayerTest, EqualiserSoundsTheSameAfterAnyNumberOfPauses)
{
    selectRow(5);
    player->picPlay_Click();
    const double flat = enginetest::rms(play(22050), 0, 4096);
    ASSERT_GT(flat, 0.05);
    player->picPause_Click();
    selectRow(5);
    player->controller().equaliser().BassGain = 10;
    player->picPlay_Click(); // resumed: the gain reaches the channel
    EXPECT_NEAR(decibels(flat), 10.0, 0.5);
    for (int i = 0; i < 2; ++i) {
        player->picPause_Click();
        player->picPlay_Click();
    }
    window->lstSong_DblClick(); // a double click on the playing row resumes it too
    EXPECT_NEAR(decibels(flat), 10.0, 0.5) << "never a second filter";
    frmEQ eq(player->controller().equaliser());
    eq.picBass_MouseMove(149); // back to 0 dB
    EXPECT_NEAR(decibels(flat), 0.0, 0.2);
    eq.picBass_MouseMove(249); // +10 dB
    EXPECT_NEAR(decibels(flat), 10.0, 0.5);

    // The song ends: the old song's effect is forgotten, a slider press keeps its gain for the
    // next song and shows nothing.
    player->controller().Playing = false; // no continuous play: the song just ends
    ASSERT_TRUE(playUntil([&] { return FSOUND_IsPlaying(player->controller().CurrentChannel) != 1; }));
    eq.picBass_MouseMove(199);
    EXPECT_EQ(player->controller().equaliser().EQEffect, 0);
    EXPECT_FLOAT_EQ(player->controller().equaliser().BassGain, 5.0f);
    EXPECT_EQ(dialogs.count(), 0u);
    selectRow(7);
    player->picPlay_Click();
    EXPECT_NEAR(decibels(flat), 5.0, 0.5);
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST_F(PlayerTest, AnOpenBoxHoldsOnlyContinuousPlay)
{
    selectRow(2);
    player->picPlay_Click();
    QDialog box(window.get());
    box.setModal(true);
    box.show();
    ASSERT_NE(QApplication::activeModalWidget(), nullptr);
    // The bars and times keep moving while the box is open...
    play(48000);
    FSOUND_SetVolume(FSOUND_ALL, 100);
    player->tmrCheckfMod_Timer();
    EXPECT_EQ(player->picVolume->tag, "100");
    EXPECT_EQ(player->lblElapsed->text(), "0:01");
    EXPECT_GT(player->PicPosition->shapeWidth(), 0);
    // ...but the end of the song waits for the answer before the next one starts.
    for (int i = 0; i < 20; ++i) {
        play(8820);
        player->tmrCheckfMod_Timer();
    }
    EXPECT_EQ(window->lblTitle->text(), "Three");
    box.close();
    ASSERT_TRUE(playUntil([&] { return window->lblTitle->text() == "Tone" || !player->controller().Playing; }, 2));
}

TEST(PlayerTexts, RemainingTimeErrorsAndHandEditedColours)
{
    EXPECT_EQ(remainingText("4:05", "1:10"), "-2:55");
    EXPECT_EQ(remainingText("4:05", "1:03"), "-3:02"); // borrows a minute
    EXPECT_EQ(remainingText("0:00", "0:00"), "-0:00");
    EXPECT_EQ(remainingText("", "1:00"), "");
    EXPECT_EQ(spectrumColorFromText("255"), 255u);
    EXPECT_EQ(spectrumColorFromText("&H7F"), 0x7Fu);
    EXPECT_EQ(spectrumColorFromText("16777215"), 0xFFFFFFu);
    for (const char *bad : {"-1", "16777216", "1e30", "-1e30", "blue", "", "12.5", "nan"})
        EXPECT_EQ(spectrumColorFromText(bad), 16711680u) << bad;
}

} // namespace
