// The players list: the dialog, its storage, the submenu and the programs' names.
#include "LibraryBuilder.h"
#include "PlayerTestSupport.h"

#include "ExternalPlayers.h"
#include "Options.h"
#include "ProductName.h"
#include "RecordingDialogs.h"
#include "frmDefaultPlayer.h"
#include "frmMain.h"
#include "frmMenus.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class PlayersTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        corvanel::setDialogs(&dialogs);
        openOptionsStore()->clear();
        library = buildLibrary({{1, "Uno", "Ana", "First", "Pop", 1}});
    }
    void TearDown() override { corvanel::setDialogs(nullptr); }

    static QStringList captions(frmMain &window)
    {
        QStringList out;
        for (const QAction *entry : window.menus().playerEntries())
            out << entry->text();
        return out;
    }
    static std::vector<bool> marks(frmMain &window)
    {
        std::vector<bool> out;
        for (const QAction *entry : window.menus().playerEntries())
            out.push_back(entry->isChecked());
        return out;
    }

    corvanel::RecordingDialogs dialogs;
    std::unique_ptr<MusicLibrary> library;
};

TEST_F(PlayersTest, NoPlayersStoredLeavesOnlyTheCheckedDefault)
{
    frmMain window(*library);
    EXPECT_EQ(captions(window), QStringList{"[Default Player]"});
    EXPECT_EQ(marks(window), std::vector<bool>{true});
    EXPECT_EQ(window.PlayerCount, 0);
    EXPECT_TRUE(window.DefaultPlayer.isEmpty());
    // The features are in place: their items and buttons are usable.
    for (const char *name : {"mnuAddPlayer", "mnuOpenInDefaultAsPlaylist", "mnuDefault", "mnuInExternal",
                             "mnuCheckForMissing", "mnuCheckForDuplicates"}) {
        EXPECT_FALSE(window.menus().pendingItems().contains(name)) << name;
        EXPECT_TRUE(window.menus().item(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(window.cmdOpen->isEnabled());
    EXPECT_TRUE(window.cmdMakeM3u->isEnabled());
}

TEST_F(PlayersTest, DialogStoresItsRowsOnClose)
{
    storePlayerSettings({"/opt/old/one", "/opt/old/two", "/opt/old/three"}, "/opt/old/two");
    int reloads = 0;
    frmDefaultPlayer dialog([&] { ++reloads; });
    EXPECT_EQ(dialog.windowTitle(), "Players");
    EXPECT_EQ(dialog.lblCaption->text(), "Corvanel");
    EXPECT_EQ(dialog.lblText->text(), "Please Select External Players:");
    EXPECT_EQ(dialog.cmdAdd->text(), "Add");
    EXPECT_EQ(dialog.cmdRemovePlayer->text(), "Remove");
    EXPECT_EQ(dialog.players(), (QStringList{"/opt/old/one", "/opt/old/two", "/opt/old/three"}));

    dialogs.programAnswers = {QString("/opt/new/player with space"), std::nullopt};
    dialog.cmdAdd->click();
    dialog.cmdAdd->click(); // cancelled: nothing added, nothing said
    ASSERT_EQ(dialogs.count(corvanel::DialogCall::Kind::Program), 2u);
    EXPECT_EQ(dialogs.calls[0].title, "Select Media Player");
    EXPECT_EQ(dialogs.calls[0].initial, QCoreApplication::applicationDirPath());
    EXPECT_EQ(dialogs.count(corvanel::DialogCall::Kind::Message), 0u);

    dialog.lstPlayers->setCurrentRow(0);
    dialog.cmdRemovePlayer->click();
    dialog.lstPlayers->clearSelection();
    dialog.cmdRemovePlayer->click(); // no selected row: nothing removed
    EXPECT_EQ(dialog.players(), (QStringList{"/opt/old/two", "/opt/old/three", "/opt/new/player with space"}));

    dialog.show();
    dialog.close();
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(playerSetting("Count"), "3");
    EXPECT_EQ(playerSetting("Player1"), "/opt/old/two");
    EXPECT_EQ(playerSetting("Player2"), "/opt/old/three");
    EXPECT_EQ(playerSetting("Player3"), "/opt/new/player with space");
    EXPECT_EQ(playerSetting("DefaultPlayer"), "/opt/old/two") << "still listed, so still chosen";

    // Escape is another way of closing; a dialog shown again loads afresh.
    dialog.show();
    EXPECT_EQ(dialog.players().size(), 3);
    dialog.lstPlayers->setCurrentRow(2);
    dialog.cmdRemovePlayer->click();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(reloads, 2);
    EXPECT_EQ(playerSetting("Count"), "2");
    EXPECT_EQ(playerSetting("Player3"), std::nullopt);
}

TEST_F(PlayersTest, AddNewPlayerFromTheMenuRebuildsTheSubmenu)
{
    frmMain window(*library);
    window.show();
    dialogs.programAnswers = {QString("/opt/players/alpha"), QString("/opt/players/beta")};
    bool sawDialog = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<frmDefaultPlayer *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        sawDialog = true;
        EXPECT_EQ(dialog->parentWidget(), &window);
        dialog->cmdAdd->click();
        dialog->cmdAdd->click();
        // The close image.
        const QPoint centre = dialog->imgClose->rect().center();
        QMouseEvent press(QEvent::MouseButtonPress, centre, dialog->imgClose->mapToGlobal(centre), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, centre, dialog->imgClose->mapToGlobal(centre), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(dialog->imgClose, &press);
        QApplication::sendEvent(dialog->imgClose, &release);
    });
    window.menus().item("mnuAddPlayer")->trigger();
    ASSERT_TRUE(sawDialog);
    EXPECT_EQ(captions(window), (QStringList{"[Default Player]", "/opt/players/alpha", "/opt/players/beta"}));
    EXPECT_EQ(marks(window), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(window.PlayerCount, 2);

    // Choosing a player stores it and moves the mark; "[Default Player]" deletes the choice.
    window.menus().playerEntries()[2]->trigger();
    EXPECT_EQ(playerSetting("DefaultPlayer"), "/opt/players/beta");
    EXPECT_EQ(window.DefaultPlayer, "/opt/players/beta");
    EXPECT_EQ(marks(window), (std::vector<bool>{false, false, true}));
    window.menus().playerEntries()[2]->trigger(); // choosing it again keeps the mark
    EXPECT_EQ(marks(window), (std::vector<bool>{false, false, true}));
    window.menus().playerEntries()[0]->trigger();
    EXPECT_EQ(playerSetting("DefaultPlayer"), std::nullopt);
    EXPECT_TRUE(window.DefaultPlayer.isEmpty());
    EXPECT_EQ(marks(window), (std::vector<bool>{true, false, false}));

    // The double click on the logo closes the dialog as well.
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<frmDefaultPlayer *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->lstPlayers->setCurrentRow(0);
        dialog->cmdRemovePlayer->click();
        QTest::mouseDClick(dialog->imgPod, Qt::LeftButton);
        if (dialog->isVisible())
            dialog->reject();
    });
    window.mnuAddPlayer_Click();
    EXPECT_EQ(captions(window), (QStringList{"[Default Player]", "/opt/players/beta"}));
}

TEST_F(PlayersTest, TwoRowsWithTheSamePathAreBothChecked)
{
    storePlayerSettings({"/opt/same/player", "/opt/other", "/opt/same/player"}, "/opt/same/player");
    frmMain window(*library);
    EXPECT_EQ(window.PlayerCount, 3);
    EXPECT_EQ(marks(window), (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(window.menus().playerEntries()[1]->data().toString(), "/opt/same/player");

    // A chosen path that is no longer listed checks nothing.
    storePlayerSettings({"/opt/other"}, "/opt/gone");
    window.LoadPlayers();
    EXPECT_EQ(marks(window), (std::vector<bool>{false, false}));
    EXPECT_EQ(window.DefaultPlayer, "/opt/gone");
}

TEST_F(PlayersTest, RemovingEveryPlayerDeletesTheKeysAndTheChoice)
{
    storePlayerSettings({"/opt/a", "/opt/b", "/opt/c"}, "/opt/b");
    frmMain window(*library);
    ASSERT_EQ(marks(window), (std::vector<bool>{false, false, true, false}));
    frmDefaultPlayer dialog([&] { window.LoadPlayers(); }, &window);
    dialog.show();
    while (dialog.lstPlayers->count() > 0) {
        dialog.lstPlayers->setCurrentRow(0);
        dialog.cmdRemovePlayer->click();
    }
    dialog.close();
    EXPECT_EQ(playerSetting("Count"), "0");
    for (const char *key : {"Player1", "Player2", "Player3", "DefaultPlayer"})
        EXPECT_EQ(playerSetting(key), std::nullopt) << key;
    EXPECT_EQ(captions(window), QStringList{"[Default Player]"});
    EXPECT_EQ(marks(window), std::vector<bool>{true});
}

TEST_F(PlayersTest, RemovingTheChosenPlayerFallsBackToTheDefault)
{
    storePlayerSettings({"/opt/a", "/opt/b"}, "/opt/b");
    frmMain window(*library);
    frmDefaultPlayer dialog([&] { window.LoadPlayers(); }, &window);
    dialog.show();
    dialog.lstPlayers->setCurrentRow(1);
    dialog.cmdRemovePlayer->click();
    dialog.close();
    EXPECT_EQ(playerSetting("Count"), "1");
    EXPECT_EQ(playerSetting("Player2"), std::nullopt);
    EXPECT_EQ(playerSetting("DefaultPlayer"), std::nullopt);
    EXPECT_EQ(captions(window), (QStringList{"[Default Player]", "/opt/a"}));
    EXPECT_EQ(marks(window), (std::vector<bool>{true, false}));
}

TEST_F(PlayersTest, UnusableCountMeansNoPlayers)
{
    QSettings store = corvanel::settingsStore();
    store.setValue("Player/Count", "lots");
    store.setValue("Player/Player1", "/opt/a");
    store.sync();
    EXPECT_EQ(players::storedCount(), 0);
    store.setValue("Player/Count", "40000"); // beyond 16 bits
    store.sync();
    EXPECT_EQ(players::storedCount(), 0);
    store.setValue("Player/Count", "2"); // a missing key gives an empty row
    store.sync();
    EXPECT_EQ(players::storedPlayers(), (QStringList{"/opt/a", ""}));
}

// Programs and their desktop entries in a temporary data folder.
class ProductNameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = dir.path();
        for (const char *sub : {"bin", "home/applications", "share/applications/kde", "other/applications"})
            QDir().mkpath(root + "/" + sub);
        for (const char *program : {"vlc", "audacious", "mpv", "plainplayer", "hiddenonly", "shadowed"})
            ASSERT_TRUE(writeFile(root + "/bin/" + program, "#!/bin/sh\n", true));
        QFile::link(root + "/bin/mpv", root + "/bin/mpv-link");
        const QString apps = root + "/share/applications/";
        writeFile(apps + "vlc.desktop", ("[Desktop Entry]\nType=Application\nName=VLC media player\n"
                                         "Name[de]=VLC Medienwiedergabe\nGenericName=Media player\n"
                                         "Exec=" +
                                         root +
                                         "/bin/vlc --started-from-file %U\n"
                                         "[Desktop Action new]\nName=Not this one\nExec=other\n")
                                            .toUtf8());
        // A bare program name is looked up in PATH.
        writeFile(apps + "audacious.desktop",
                  "[Desktop Entry]\nType=Application\nName = Audacious\nExec=audacious %U\n");
        // Quoted, behind env, in a subfolder (id "kde-mpv.desktop").
        writeFile(apps + "kde/mpv.desktop", ("[Desktop Entry]\nType=Application\nName=mpv Media Player\n"
                                             "Exec=env LC_ALL=C \"" +
                                             root + "/bin/mpv\" --player-operation-mode=pseudo-gui -- %U\n")
                                                .toUtf8());
        // Hidden entries do not count; NoDisplay ones only when nothing shown matches.
        writeFile(apps + "a-hidden.desktop", ("[Desktop Entry]\nType=Application\nName=Deleted\nHidden=true\n"
                                              "Exec=" +
                                              root + "/bin/plainplayer\n")
                                                 .toUtf8());
        writeFile(apps + "b-nodisplay.desktop", ("[Desktop Entry]\nType=Application\nName=Helper\nNoDisplay=true\n"
                                                 "Exec=" +
                                                 root + "/bin/vlc --helper\n")
                                                    .toUtf8());
        writeFile(apps + "hiddenonly.desktop", ("[Desktop Entry]\nType=Application\nName=Only Hidden\nNoDisplay=true\n"
                                                "Exec=" +
                                                root + "/bin/hiddenonly\n")
                                                   .toUtf8());
        // The same id in the user's own folder wins over the system's.
        writeFile(apps + "shadowed.desktop", ("[Desktop Entry]\nType=Application\nName=System Shadowed\n"
                                              "Exec=" +
                                              root + "/bin/shadowed\n")
                                                 .toUtf8());
        writeFile(root + "/home/applications/shadowed.desktop",
                  ("[Desktop Entry]\nType=Application\nName=User Shadowed\nExec=" + root + "/bin/shadowed\n").toUtf8());
        // Not an application.
        writeFile(root + "/other/applications/link.desktop",
                  ("[Desktop Entry]\nType=Link\nName=A Link\nExec=" + root + "/bin/plainplayer\n").toUtf8());
    }

    QTemporaryDir dir;
    QString root;
};

TEST_F(ProductNameTest, NamesComeFromTheEntryThatRunsTheProgram)
{
    const ScopedEnv home("XDG_DATA_HOME", (root + "/home").toUtf8());
    const ScopedEnv dirs("XDG_DATA_DIRS", (root + "/share:" + root + "/other").toUtf8());
    const ScopedEnv path("PATH", (root + "/bin:/usr/bin:/bin").toUtf8());
    const ScopedEnv lang("LANGUAGE", "");

    EXPECT_EQ(GetProductName(root + "/bin/vlc"), "VLC media player");
    EXPECT_EQ(GetProductName(root + "/bin/audacious"), "Audacious");
    EXPECT_EQ(GetProductName(root + "/bin/mpv"), "mpv Media Player");
    EXPECT_EQ(GetProductName(root + "/bin/mpv-link"), "mpv Media Player") << "a link runs the same program";
    EXPECT_EQ(GetProductName(root + "/bin/../bin/vlc"), "VLC media player");
    EXPECT_EQ(GetProductName(root + "/bin/hiddenonly"), "Only Hidden");
    EXPECT_EQ(GetProductName(root + "/bin/shadowed"), "User Shadowed");
    EXPECT_EQ(GetProductName(root + "/bin/plainplayer"), "") << "only a hidden entry and a link name it";
    EXPECT_EQ(GetProductName(root + "/bin/missing"), "");
    EXPECT_EQ(GetProductName(""), "");

    FileInfo info;
    info.CompanyName = "stale";
    ASSERT_EQ(GetFileInfo(root + "/bin/vlc", info), 1);
    EXPECT_EQ(info.ProductName, "VLC media player");
    EXPECT_EQ(info.FileDescription, "Media player");
    EXPECT_EQ(info.InternalName, "vlc.desktop");
    EXPECT_EQ(info.OriginalFileName, "vlc");
    EXPECT_EQ(info.CompanyName, "");
    ASSERT_EQ(GetFileInfo(root + "/bin/mpv", info), 1);
    EXPECT_EQ(info.InternalName, "kde-mpv.desktop");
    EXPECT_EQ(GetFileInfo(root + "/bin/plainplayer", info), 2);
    EXPECT_EQ(info.ProductName, "");

    // The submenu shows the names, and the path where there is none.
    clearPlayerSettings();
    openOptionsStore()->clear();
    storePlayerSettings({root + "/bin/vlc", root + "/bin/plainplayer", root + "/bin/audacious"});
    auto library = buildLibrary({{1, "Uno", "Ana", "First", "Pop", 1}});
    corvanel::RecordingDialogs dialogs;
    const corvanel::ScopedDialogs scoped(dialogs);
    frmMain window(*library);
    QStringList captions;
    for (const QAction *entry : window.menus().playerEntries())
        captions << entry->text();
    EXPECT_EQ(captions, (QStringList{"[Default Player]", "VLC media player", root + "/bin/plainplayer", "Audacious"}));
    EXPECT_EQ(window.menus().playerEntries()[3]->data().toString(), root + "/bin/audacious");
}

TEST(ExecLine, QuotingRulesOfDesktopEntries)
{
    EXPECT_EQ(splitExecLine("vlc --started-from-file %U"), (QStringList{"vlc", "--started-from-file", "%U"}));
    EXPECT_EQ(splitExecLine("\"/opt/My Player/run\" \"a \\\"b\\\" \\$c\\\\\"  %f"),
              (QStringList{"/opt/My Player/run", "a \"b\" $c\\", "%f"}));
    EXPECT_EQ(splitExecLine("  spaced\targs \"\" "), (QStringList{"spaced", "args", ""}));
    EXPECT_EQ(splitExecLine(""), QStringList{});
}

} // namespace
