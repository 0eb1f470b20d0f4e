// The main window as a whole: options kept between runs, the boxes it shows, its shutdown.
#include "LibraryBuilder.h"

#include "Options.h"
#include "RecordingDialogs.h"
#include "Shell.h"
#include "frmMain.h"
#include "frmMenus.h"

#include "FSound.h"
#include "TrayIcon.h"
#include <QAction>
#include <QCoreApplication>
#include <QGroupBox>
#include <QSettings>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        corvanel::setDialogs(&dialogs);
        openOptionsStore()->clear();
        library =
            buildLibrary({{1, "Uno", "Ana", "First", "Pop", 1, 245000}, {2, "Dos", "Ana", "First", "Pop", 2, 61000}},
                         {}, QStringLiteral("Pocket"));
    }
    void TearDown() override { corvanel::setDialogs(nullptr); }

    bool checked(frmMain &window, const char *name) { return window.menus().item(QLatin1String(name))->isChecked(); }

    corvanel::RecordingDialogs dialogs;
    std::unique_ptr<MusicLibrary> library;
};

TEST_F(MainWindowTest, FirstRunDefaultsReplaceTheDesignMarks)
{
    frmMain window(*library);
    EXPECT_TRUE(checked(window, "mnuDefaultOpen"));
    EXPECT_FALSE(checked(window, "mnuEmbedded"));
    EXPECT_TRUE(checked(window, "mnuTrayMinYes"));
    EXPECT_FALSE(checked(window, "mnuTrayMinNo"));
    EXPECT_FALSE(checked(window, "mnuEject"));
    EXPECT_EQ(window.volume(), 200);
    EXPECT_EQ(window.fraNow->title(), "Currently Playing from Pocket");
    EXPECT_EQ(window.windowTitle(), "Corvanel");
}

TEST_F(MainWindowTest, OptionsPersistAcrossTwoInstances)
{
    {
        frmMain first(*library);
        first.menus().item("mnuTrayMinNo")->trigger();
        first.menus().item("mnuEmbedded")->trigger();
        first.menus().item("mnuEject")->trigger();
        first.setVolume(300); // clamped to the engine's range
        first.close();
    }
    {
        auto store = openOptionsStore();
        store->beginGroup("Options");
        EXPECT_EQ(store->value("mnuMinToTrayNO").toString(), "True");
        EXPECT_EQ(store->value("mnuMinToTray").toString(), "False");
        EXPECT_EQ(store->value("mnuEmbedded").toString(), "True");
        EXPECT_EQ(store->value("mnuDefaultOpen").toString(), "False");
        EXPECT_EQ(store->value("Volume").toString(), "255");
        EXPECT_EQ(store->value("mnuEjectOnClose").toString(), "True");
    }
    frmMain second(*library);
    EXPECT_TRUE(checked(second, "mnuTrayMinNo"));
    EXPECT_FALSE(checked(second, "mnuTrayMinYes"));
    EXPECT_TRUE(checked(second, "mnuEmbedded"));
    EXPECT_FALSE(checked(second, "mnuDefaultOpen"));
    EXPECT_TRUE(checked(second, "mnuEject"));
    EXPECT_EQ(second.volume(), 255);
}

TEST_F(MainWindowTest, UnreadableValuesKeepTheDesignMarks)
{
    {
        auto store = openOptionsStore();
        store->beginGroup("Options");
        store->setValue("mnuEmbedded", "perhaps");
        store->setValue("mnuDefaultOpen", "-1");
        store->setValue("Volume", "loud");
        store->setValue("mnuMinToTray", "0");
    }
    frmMain window(*library);
    EXPECT_TRUE(checked(window, "mnuEmbedded")) << "design-time mark kept";
    EXPECT_TRUE(checked(window, "mnuDefaultOpen"));
    EXPECT_FALSE(checked(window, "mnuTrayMinYes"));
    EXPECT_EQ(window.volume(), 200);
}

TEST_F(MainWindowTest, ShutdownSavesTheOptionsClosesTheEngineAndRemovesTheTrayIcon)
{
    frmMain window(*library);
    window.show();
    window.setVolume(77);
    ASSERT_NE(window.findChild<TrayIcon *>(), nullptr);
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(openOptionsStore()->value("Options/Volume").toString(), "77") << "saved while the volume was known";
    EXPECT_EQ(FSOUND_DSP_GetFFTUnit(), 0) << "the sound engine is closed";
    EXPECT_EQ(window.findChild<TrayIcon *>(), nullptr) << "the tray icon is gone";
}

TEST_F(MainWindowTest, SongInformationAboutAndShowFile)
{
    frmMain window(*library);
    corvanel::RecordingShell shell;
    corvanel::ScopedShell scoped(shell);
    ASSERT_EQ(window.selectedSongRow(), 0);
    window.mnuInfo_Click();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "Song Information");
    EXPECT_EQ(dialogs.last().icon, corvanel::MessageIcon::Information);
    EXPECT_EQ(dialogs.last().text, "Title: Uno\r\nArtist: Ana\r\nAlbum: First\r\nLength: 4:05\r\n"
                                   "Path: \\iPod_Control\\Music\\F00\\S1.mp3");

    window.mnuAbout_Click();
    EXPECT_EQ(dialogs.last().title, "Halvetra : Corvanel - Play Music From iPod Anywhere!");
    EXPECT_TRUE(dialogs.last().text.startsWith("Corvanel version: "));

    window.mnuShowFile_Click();
    ASSERT_EQ(shell.count(), 1u);
    EXPECT_EQ(shell.last().kind, corvanel::RecordingShell::Call::Kind::ShowInFileManager);
    EXPECT_EQ(shell.last().target, "/nonexistent-ipod/iPod_Control/Music/F00/S1.mp3");

    window.mnuWebsite_Click();
    EXPECT_EQ(shell.last().kind, corvanel::RecordingShell::Call::Kind::OpenDocument);

    // Without a selected row neither acts.
    window.lstSong->selectionModel()->clear();
    window.mnuInfo_Click();
    window.mnuShowFile_Click();
    EXPECT_EQ(dialogs.count(), 2u);
    EXPECT_EQ(shell.count(), 2u);
}

TEST_F(MainWindowTest, MinimisingNeverHidesTheWindowWithoutATray)
{
    frmMain window(*library);
    window.show();
    ASSERT_TRUE(window.menus().item("mnuTrayMinYes")->isChecked());
    window.showMinimized();
    QCoreApplication::processEvents();
    if (!window.trayAvailable()) {
        EXPECT_TRUE(window.isVisible());
    }
    window.mnuShow_Click();
    EXPECT_FALSE(window.isMinimized());
}

} // namespace
