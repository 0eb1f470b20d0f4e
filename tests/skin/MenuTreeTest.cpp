// The menus: what a chosen item does in the main window, and the rules of the menus themselves
// (option pairs, the stored option).
#include "WindowFixture.h"

#include <QMenu>

namespace {

class MenuItems : public WindowFixture
{
protected:
    void SetUp() override
    {
        open({{1, "Uno", "Ana", "First", "Pop", 1, 245000}, {2, "Dos", "Ana", "First", "Pop", 2, 61000}}).show();
    }
    void choose(const char *item) { window->menus().item(item)->trigger(); }
};

// The song items show the selected song only; the help items need none.
TEST_F(MenuItems, SongAndHelpItems)
{
    const ScopedShell scoped(shell);
    ASSERT_EQ(window->selectedSongRow(), 0);
    choose("mnuInfo");
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "Song Information");
    EXPECT_EQ(dialogs.last().text, "Title: Uno\r\nArtist: Ana\r\nAlbum: First\r\nLength: 4:05\r\n"
                                   "Path: \\iPod_Control\\Music\\F00\\S1.mp3");
    choose("mnuShowFile");
    ASSERT_EQ(shell.count(), 1u);
    EXPECT_EQ(shell.last().kind, RecordingShell::Call::Kind::ShowInFileManager);
    EXPECT_EQ(shell.last().target, "/nonexistent-ipod/iPod_Control/Music/F00/S1.mp3");

    window->lstSong->selectionModel()->clear();
    choose("mnuInfo");
    choose("mnuShowFile");
    choose("mnuAbout");
    ASSERT_EQ(dialogs.count(), 2u);
    EXPECT_EQ(dialogs.last().title, "Halvetra : Corvanel - Play Music From iPod Anywhere!");
    choose("mnuWebsite");
    ASSERT_EQ(shell.count(), 2u);
    EXPECT_EQ(shell.last().kind, RecordingShell::Call::Kind::OpenDocument);
}

TEST_F(MenuItems, WindowItemsMinimiseRestoreAndClose)
{
    ASSERT_TRUE(window->menus().item("mnuTrayMinYes")->isChecked());
    choose("mnuMinimize");
    QCoreApplication::processEvents();
    if (!window->trayAvailable()) {
        EXPECT_TRUE(window->isMinimized());
        EXPECT_TRUE(window->isVisible()) << "never hidden without a tray to come back from";
    }
    choose("mnuShow");
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(window->isVisible());

    for (const char *item : {"mnuExit", "mnuClose"}) {
        open({{1, "Uno", "Ana", "First", "Pop"}}).show();
        openOptionsStore()->clear();
        choose(item);
        EXPECT_FALSE(window->isVisible()) << item;
        EXPECT_TRUE(openOptionsStore()->contains("Options/Volume")) << item << ": the options are written";
    }
}

TEST(MenuTree, OptionPairsKeepExactlyTheChosenItemChecked)
{
    frmMenus menus;
    for (const auto &[a, b] :
         {std::pair{menus.mnuTrayMinYes, menus.mnuTrayMinNo}, {menus.mnuEmbedded, menus.mnuDefaultOpen}}) {
        SCOPED_TRACE(a->objectName().toStdString());
        // Stored settings may check both; choosing one clears the other, choosing it again keeps it.
        a->setChecked(true);
        b->setChecked(true);
        for (QAction *chosen : {b, b, a, a}) {
            chosen->trigger();
            EXPECT_TRUE(chosen->isChecked());
            EXPECT_FALSE((chosen == a ? b : a)->isChecked());
        }
    }
    menus.mnuEject->trigger();
    EXPECT_TRUE(menus.mnuEject->isChecked());
    menus.mnuEject->trigger();
    EXPECT_FALSE(menus.mnuEject->isChecked());
}

TEST(MenuTree, ForceUnsupportedIsStoredTheMomentItToggles)
{
    openOptionsStore()->clear(); // nothing left from the window tests before
    frmMenus menus;
    auto stored = [](const char *key) { return getSetting("Options", key); };
    menus.mnuUnsupportedFiles->trigger();
    EXPECT_TRUE(menus.mnuUnsupportedFiles->isChecked());
    EXPECT_EQ(stored("ForceUnsupported"), "True");
    menus.mnuUnsupportedFiles->trigger();
    EXPECT_FALSE(menus.mnuUnsupportedFiles->isChecked());
    EXPECT_EQ(stored("ForceUnsupported"), "False");
    // Ejecting at close is saved with the other options at window unload, not here.
    menus.mnuEject->trigger();
    EXPECT_TRUE(stored("mnuEjectOnClose").isEmpty());
}

} // namespace
