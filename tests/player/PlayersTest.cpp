// The players list: the dialog, its storage, the submenu and the programs' names.
#include "WindowFixture.h"

#include "ExternalPlayers.h"
#include "ProductName.h"
#include "frmDefaultPlayer.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

using namespace corvanel::playback;

namespace {

class PlayersTest : public WindowFixture
{
protected:
    frmMain &open() { return WindowFixture::open({{1, "Uno", "Ana", "First", "Pop", 1}}); }
    QStringList captions() const
    {
        QStringList out;
        for (const QAction *entry : window->menus().playerEntries())
            out << entry->text();
        return out;
    }
    std::vector<bool> marks() const
    {
        std::vector<bool> out;
        for (const QAction *entry : window->menus().playerEntries())
            out.push_back(entry->isChecked());
        return out;
    }
};

TEST_F(PlayersTest, TheDialogStoresItsRowsHoweverItClosesAndTheSubmenuFollows)
{
    storePlayerSettings({"/opt/old/one", "/opt/old/two"}, "/opt/old/two");
    open().show();
    dialogs.programAnswers = {QString("/opt/new/player with space"), std::nullopt};
    // From the menu: a modal dialog over the window, closed by its caption's close button.
    bool sawDialog = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<frmDefaultPlayer *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        sawDialog = true;
        EXPECT_EQ(dialog->parentWidget(), window.get());
        EXPECT_EQ(dialog->players(), (QStringList{"/opt/old/one", "/opt/old/two"}));
        dialog->cmdAdd->click();
        dialog->cmdAdd->click(); // cancelled: nothing added, nothing said
        dialog->lstPlayers->setCurrentRow(0);
        dialog->cmdRemovePlayer->click();
        dialog->lstPlayers->clearSelection();
        dialog->cmdRemovePlayer->click(); // no selected row: nothing removed
        const QPoint centre = dialog->imgClose->rect().center(), global = dialog->imgClose->mapToGlobal(centre);
        for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, centre, global, Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(dialog->imgClose, &event);
        }
    });
    window->menus().item("mnuAddPlayer")->trigger();
    ASSERT_TRUE(sawDialog);
    ASSERT_EQ(dialogs.count(DialogCall::Kind::Program), 2u);
    EXPECT_EQ(dialogs.calls[0].initial, QCoreApplication::applicationDirPath());
    EXPECT_EQ(dialogs.count(DialogCall::Kind::Message), 0u);
    // The chosen player is still listed, so still chosen.
    EXPECT_EQ(playerSection(), (QStringList{"Count=2", "DefaultPlayer=/opt/old/two", "Player1=/opt/old/two",
                                            "Player2=/opt/new/player with space"}));
    EXPECT_EQ(captions(), (QStringList{"[Default Player]", "/opt/old/two", "/opt/new/player with space"}));
    EXPECT_EQ(marks(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(window->menus().mnuPlayIn->actions().back(), window->menus().mnuAddPlayer) << "the entries go before it";

    // Choosing a player stores it and moves the mark, again keeps it; "[Default Player]" deletes the choice.
    for (int entry : {2, 2}) {
        window->menus().playerEntries()[entry]->trigger();
        EXPECT_EQ(window->DefaultPlayer, "/opt/new/player with space");
        EXPECT_EQ(marks(), (std::vector<bool>{false, false, true}));
    }
    window->menus().playerEntries()[0]->trigger();
    EXPECT_EQ(playerSection(), (QStringList{"Count=2", "Player1=/opt/old/two", "Player2=/opt/new/player with space"}));
    EXPECT_TRUE(window->DefaultPlayer.isEmpty());
    EXPECT_EQ(marks(), (std::vector<bool>{true, false, false}));

    // Removing the chosen player falls back to the default; removing every player leaves a count
    // only. Escape and a double click on the logo close the dialog too.
    window->menus().playerEntries()[1]->trigger();
    frmDefaultPlayer dialog([&] { window->LoadPlayers(); }, window.get());
    const std::function<void()> closings[] = {[&] { QTest::keyClick(&dialog, Qt::Key_Escape); },
                                              [&] { QTest::mouseDClick(dialog.imgPod, Qt::LeftButton); }};
    for (const auto &close : closings) {
        dialog.show();
        dialog.lstPlayers->setCurrentRow(0);
        dialog.cmdRemovePlayer->click();
        close();
        EXPECT_FALSE(dialog.isVisible());
    }
    EXPECT_EQ(playerSection(), QStringList{"Count=0"});
    EXPECT_EQ(captions(), QStringList{"[Default Player]"});
    EXPECT_EQ(marks(), std::vector<bool>{true});
}

// Settings edited by hand: a chosen path no longer listed checks nothing and stays chosen; an
// unusable count means no players.
TEST_F(PlayersTest, HandEditedSettings)
{
    storePlayerSettings({"/opt/other"}, "/opt/gone");
    open();
    EXPECT_EQ(marks(), (std::vector<bool>{false, false}));
    EXPECT_EQ(window->DefaultPlayer, "/opt/gone");

    QSettings store = settingsStore();
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

TEST_F(PlayersTest, NamesComeFromTheDesktopEntryThatRunsTheProgram)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char *program : {"vlc", "audacious", "mpv", "plainplayer", "hiddenonly", "shadowed"})
        ASSERT_TRUE(writeFile(root + "/bin/" + program, "#!/bin/sh\n", true));
    QFile::link(root + "/bin/mpv", root + "/bin/mpv-link");
    // An application entry; "@" stands for the folder of the programs.
    auto entry = [&](const QString &file, QString lines, const char *type = "Application") {
        writeFile(root + "/" + file,
                  "[Desktop Entry]\nType=" + QByteArray(type) + "\n" + lines.replace("@", root + "/bin/").toUtf8());
    };
    entry("share/applications/vlc.desktop", "Name=VLC media player\nName[de]=VLC Medienwiedergabe\n"
                                            "GenericName=Media player\nExec=@vlc --started-from-file %U\n"
                                            "[Desktop Action new]\nName=Not this one\nExec=other\n");
    // A bare program name is looked up in PATH.
    entry("share/applications/audacious.desktop", "Name = Audacious\nExec=audacious %U\n");
    // Quoted, behind env, in a subfolder (id "kde-mpv.desktop").
    entry("share/applications/kde/mpv.desktop",
          "Name=mpv Media Player\nExec=env LC_ALL=C \"@mpv\" --player-operation-mode=pseudo-gui -- %U\n");
    // Hidden entries do not count; NoDisplay ones only when nothing shown matches.
    entry("share/applications/a-hidden.desktop", "Name=Deleted\nHidden=true\nExec=@plainplayer\n");
    entry("share/applications/b-nodisplay.desktop", "Name=Helper\nNoDisplay=true\nExec=@vlc --helper\n");
    entry("share/applications/hiddenonly.desktop", "Name=Only Hidden\nNoDisplay=true\nExec=@hiddenonly\n");
    // The same id in the user's own folder wins over the system's.
    entry("share/applications/shadowed.desktop", "Name=System Shadowed\nExec=@shadowed\n");
    entry("home/applications/shadowed.desktop", "Name=User Shadowed\nExec=@shadowed\n");
    entry("other/applications/link.desktop", "Name=A Link\nExec=@plainplayer\n", "Link");
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
    EXPECT_EQ(info.FileDescription, "Media player");
    EXPECT_EQ(info.InternalName, "vlc.desktop");
    EXPECT_EQ(info.OriginalFileName, "vlc");
    EXPECT_EQ(info.CompanyName, "");
    ASSERT_EQ(GetFileInfo(root + "/bin/mpv", info), 1);
    EXPECT_EQ(info.InternalName, "kde-mpv.desktop");
    EXPECT_EQ(GetFileInfo(root + "/bin/plainplayer", info), 2);
    EXPECT_EQ(info.ProductName, "");

    // The submenu shows the names, and the path where there is none.
    storePlayerSettings({root + "/bin/vlc", root + "/bin/plainplayer", root + "/bin/audacious"});
    open();
    EXPECT_EQ(captions(),
              (QStringList{"[Default Player]", "VLC media player", root + "/bin/plainplayer", "Audacious"}));
    EXPECT_EQ(window->menus().playerEntries()[3]->data().toString(), root + "/bin/audacious");
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
