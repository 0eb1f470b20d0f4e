// The embedded player in the main window, with real files and the engine on the dummy driver.
#include "../app/LibraryBuilder.h"

#include "EmbeddedPlayer.h"
#include "FSound.h"
#include "IpodBuilder.h"
#include "RecordingDialogs.h"
#include "Shell.h"
#include "frmMain.h"
#include "frmMenus.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

class PlayerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        QDir().mkpath(s_dir->filePath("iPod_Control/Music/F00"));
        QString error;
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(mkipod::writeAudio(s_dir->filePath(QStringLiteral("iPod_Control/Music/F00/S%1.mp3").arg(i + 1)),
                                           {mkipod::AudioSpec::Kind::Mp3, 2, i}, &error))
                << error.toStdString();
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    void SetUp() override
    {
        corvanel::setDialogs(&dialogs);
        library = buildLibrary({{1, "One", "Ana", "First", "Pop", 1, 2000},
                                {2, "Two", "Ana", "First", "Pop", 2, 2000},
                                {3, "Three", "Ana", "First", "Pop", 3, 2000},
                                {4, "Four", "Ana", "First", "Pop", 4, 2000, "\\iPod_Control\\Music\\F00\\S4.m4a"},
                                {5, "Gone", "Ana", "First", "Pop", 5, 2000, "\\iPod_Control\\Music\\F00\\none.mp3"}});
        library->iPodDrive = s_dir->path();
        library->Songs[3].FileType = QStringLiteral("AAC audio file");
        window = std::make_unique<frmMain>(*library);
        player = &window->player();
    }
    void TearDown() override
    {
        window.reset();
        corvanel::setDialogs(nullptr);
    }

    void selectRow(int row) { window->selectSongRow(row); }
    // Runs the 200 ms timer until the condition holds or the time is up.
    bool waitFor(const std::function<bool()> &condition, int milliseconds = 8000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!condition() && clock.elapsed() < milliseconds)
            QTest::qWait(20);
        return condition();
    }

    static QTemporaryDir *s_dir;
    corvanel::RecordingDialogs dialogs;
    std::unique_ptr<MusicLibrary> library;
    std::unique_ptr<frmMain> window;
    EmbeddedPlayer *player = nullptr;
};
QTemporaryDir *PlayerTest::s_dir = nullptr;

TEST_F(PlayerTest, PlayPauseAndResumeTheSameFile)
{
    selectRow(0);
    player->picPlay_Click();
    ASSERT_NE(player->CurrentChannel, 0) << dialogs.count();
    EXPECT_TRUE(player->Playing);
    EXPECT_TRUE(player->picPause->isVisibleTo(window.get()));
    EXPECT_FALSE(player->picPlay->isVisibleTo(window.get()));
    EXPECT_EQ(window->lblTitle->text(), "One");
    EXPECT_EQ(window->lblArtist->text(), "Ana");
    EXPECT_EQ(window->lblTime->text(), "Length: 0:02");
    EXPECT_EQ(window->nowPlayingLength(), "2000") << "the Jump tag";
    EXPECT_EQ(window->menus().item("mnuNow")->text(), "Ana - One");
    EXPECT_FALSE(window->menus().item("mnuPlay")->isEnabled());
    EXPECT_TRUE(window->menus().item("mnuPause")->isEnabled());

    const int channel = player->CurrentChannel;
    const int sample = player->CurrentSample;
    player->picPause_Click();
    EXPECT_EQ(FSOUND_IsPlaying(channel), 1) << "a paused channel still counts as playing";
    EXPECT_TRUE(player->picPlay->isVisibleTo(window.get()));
    const unsigned paused = FSOUND_GetCurrentPosition(channel);
    QTest::qWait(100);
    EXPECT_EQ(FSOUND_GetCurrentPosition(channel), paused);

    player->picPlay_Click();   // the same row: resumed, not restarted
    EXPECT_EQ(player->CurrentSample, sample);
    EXPECT_EQ(player->CurrentChannel, channel);
    EXPECT_GE(FSOUND_GetCurrentPosition(channel), paused);

    // Another row while paused starts it from its beginning.
    player->picPause_Click();
    selectRow(1);
    player->picPlay_Click();
    EXPECT_NE(player->CurrentSample, sample);
    EXPECT_EQ(window->lblTitle->text(), "Two");
}

TEST_F(PlayerTest, ContinuousPlayWalksDownTheList)
{
    selectRow(1);
    player->picPlay_Click();
    ASSERT_TRUE(waitFor([&] { return window->lblTitle->text() == "Three"; })) << "the next row follows";
    // Four is an AAC file: refused; then the missing file fails to load, which ends continuous play.
    ASSERT_TRUE(waitFor([&] { return !player->Playing; }));
    ASSERT_EQ(dialogs.count(), 2u);
    EXPECT_EQ(dialogs.calls[0].title, "AAC File Not Supported");
    EXPECT_EQ(dialogs.calls[1].text, "An error occured opening the sample!\r\nFile not found");
    EXPECT_EQ(window->selectedSongRow(), 4);
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
    EXPECT_FALSE(player->Playing);
    EXPECT_EQ(window->selectedSongRow(), 0) << "the selection stays";

    // With nothing selected, Next starts from the first row.
    window->lstSong->selectionModel()->clear();
    player->picNext_Click();
    EXPECT_EQ(window->selectedSongRow(), 0);
    EXPECT_EQ(window->lblTitle->text(), "One");

    selectRow(window->songModel().rowCount() - 1);
    player->Playing = true;
    player->picNext_Click();
    EXPECT_FALSE(player->Playing);
    EXPECT_EQ(FSOUND_IsPlaying(player->CurrentChannel), 0);
}

TEST_F(PlayerTest, AacRuleBothWays)
{
    selectRow(3);
    player->OpenInEmbedded();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "AAC File Not Supported");
    EXPECT_EQ(dialogs.last().text, "This song is an AAC file which the embedded player is not capable of playing. "
                                   "Please try using the Default Player.");
    EXPECT_EQ(player->CurrentChannel, 0);

    corvanel::RecordingShell shell;
    corvanel::ScopedShell scoped(shell);
    window->menus().item("mnuUnsupportedFiles")->setChecked(true);
    player->OpenInEmbedded();
    EXPECT_EQ(dialogs.count(), 1u);
    ASSERT_EQ(shell.count(), 1u) << "handed to the external player";
    EXPECT_TRUE(shell.last().target.endsWith("S4.m4a"));
}

TEST_F(PlayerTest, FailedLoadTellsTheUserAndLeavesNothingToSeek)
{
    selectRow(4);
    player->Playing = true;
    player->OpenInEmbedded();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().text, "An error occured opening the sample!\r\nFile not found");
    EXPECT_FALSE(player->Playing);
    EXPECT_EQ(player->CurrentChannel, 0);
    player->PicPosition_MouseDown(10);   // nothing to move
    EXPECT_EQ(player->PicPosition->shapeWidth(), 0);
}

TEST_F(PlayerTest, VolumeBarsFollowTheirFormulas)
{
    EXPECT_EQ(window->volume(), 200);
    EXPECT_EQ(FSOUND_GetVolume(0), 200);
    player->picVolume->resize(100, 10);
    player->picVolume_MouseDown(49);   // width 50 of 100
    EXPECT_EQ(FSOUND_GetVolume(0), 127);
    player->picSpecVolume->resize(8, 56);
    player->picSpecVolume_MouseDown(200);   // below the bar: the lowest unit
    EXPECT_EQ(player->picSpecVolume->shapeTop(), 55);
    EXPECT_EQ(FSOUND_GetVolume(0), 9);
    player->setVolume(255);
    player->tmrCheckfMod_Timer();
    EXPECT_EQ(player->picVolume->shapeWidth(), 101) << "full volume fills the bar plus one";
    EXPECT_EQ(player->picSpecVolume->shapeHeight(), 56);
    EXPECT_EQ(window->volume(), 255);
}

TEST(PlayerTexts, RemainingTimeBorrowsAMinute)
{
    EXPECT_EQ(remainingText("4:05", "1:10"), "-2:55");
    EXPECT_EQ(remainingText("4:05", "1:03"), "-3:02");
    EXPECT_EQ(remainingText("0:00", "0:00"), "-0:00");
    EXPECT_EQ(remainingText("", "1:00"), "");
    EXPECT_EQ(FModErrorText(9), "File not found");
    EXPECT_EQ(FModErrorText(12), "Not enough memory ");
    EXPECT_EQ(FModErrorText(20), "Unknown error");
    EXPECT_EQ(FModErrorText(-1), "Unknown error");
}

} // namespace
