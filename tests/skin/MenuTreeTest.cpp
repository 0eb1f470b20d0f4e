#include "frmMenus.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

enum Mark : unsigned {
    None = 0,
    Checked = 1,  // checked at start
    Disabled = 2, // disabled by design
    Pending = 4,  // disabled until its feature is wired up
    Separator = 8,
    Checkable = 16,
};

struct Row
{
    const char *name;
    const char *caption;
    unsigned marks;
};

struct MenuRows
{
    const char *menu;
    const char *title;
    std::vector<Row> rows;
};

// The whole tree, menu by menu, items in order; submenus are listed as menus of their own.
const std::vector<MenuRows> kTree = {
    {"mnuIcon",
     "&MainIcon",
     {{"mnuRestore", "&Restore", Disabled},
      {"mnuMove", "&Move", Disabled},
      {"mnuSize", "&Size", Disabled},
      {"mnuMinimize", "M&inimize", None},
      {"mnuMaximize", "M&aximize", Disabled},
      {"sep2", "", Separator},
      {"mnuClose", "&Close", None}}},
    {"mnuFIle",
     "&File",
     {{"mnuOpenInDefaultAsPlaylist", "Open as &Playlist", Pending},
      {"mnuDefault", "Open in &Default", Pending},
      {"mnuExit", "&Exit", None}}},
    {"mnuOptions",
     "&Options",
     {{"mnuTrayMin", "&Minimize to Tray", None},
      {"mnuSpectrum", "&Spectrum Analyser", Pending | Checkable},
      {"mnuSpecColor", "Spectrum Analyser Color", Pending},
      {"mnuPlayIn", "&External Player", None},
      {"mnuDblClick", "&Double Click Action", None},
      {"mnuUnsupportedFiles", "&Force Unsupported to External Player", Pending | Checkable},
      {"mnuEject", "E&ject on Corvanel Close", Checkable}}},
    {"mnuTrayMin",
     "&Minimize to Tray",
     {{"mnuTrayMinYes", "&Yes", Checked | Checkable}, {"mnuTrayMinNo", "&No", Checkable}}},
    {"mnuPlayIn",
     "&External Player",
     {{"mnuPlayer", "[Default Player]", Checked | Checkable}, {"mnuAddPlayer", "Add New Player...", Pending}}},
    {"mnuDblClick",
     "&Double Click Action",
     {{"mnuEmbedded", "Open In &Embedded", Checked | Checkable}, {"mnuDefaultOpen", "Open In E&xternal", Checkable}}},
    {"mnuExtras",
     "&Extras",
     {{"mnuHacks", "&iPod Hacks", Pending},
      {"mnuPowerSave", "Power Save Mode", Pending},
      {"mnuiPodInfo", "iPod Information", Pending},
      {"seperator", "", Separator},
      {"mnuCheckForMissing", "Check for &Missing Files", Pending},
      {"mnuCheckForDuplicates", "Check For &Duplicates", Pending},
      {"aseperator", "", Separator},
      {"mnuEjectAndClose", "Eject iPod and close Corvanel", Pending},
      {"sep4", "", Separator},
      {"mnuCopyToiPod", "&Copy Corvanel to iPod", Pending},
      {"asep", "", Separator},
      {"mnuiPod", "iPod I&nterface", Pending}}},
    {"mnuHelp",
     "&Help",
     {{"mnuUpdate", "Get Latest Version", Pending},
      {"mnuWebsite", "&Website - Halvetra", None},
      {"sep1", "", Separator},
      {"mnuAbout", "&About", None}}},
    {"mnuPopup",
     "Popup",
     {{"mnuNowPlaying", "Now Playing", Disabled},
      {"mnuNow", "", Disabled},
      {"wowsep", "", Separator},
      {"mnuShow", "&Show", None},
      {"mnuPlay", "&Play >", Pending},
      {"mnuPause", "P&ause ||", Disabled},
      {"mnuPrev", "P&revious <<", Pending},
      {"mnuNext", "&Next >>", Pending}}},
    {"mnuAFile",
     "AFile",
     {{"mnuDouble", "Play File", Pending},
      {"mnuInEmbedded", "Open In Embedded", Pending},
      {"mnuInExternal", "Open In External", Pending},
      {"aseperator2", "", Separator},
      {"mnuExtract", "Extract", Pending},
      {"anotehrsep", "", Separator},
      {"mnuInfo", "View Information", None},
      {"mnuShowFile", "Show File", None}}},
};

QString readOption(const QString &key)
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Corvanel"),
                       QStringLiteral("Corvanel"));
    return settings.value(QStringLiteral("Options/") + key).toString();
}

} // namespace

TEST(MenuTree, EveryMenuHoldsItsItemsInOrderWithTheirInitialState)
{
    frmMenus menus;
    EXPECT_EQ(menus.menuNames(),
              QStringList({"mnuIcon", "mnuFIle", "mnuOptions", "mnuExtras", "mnuHelp", "mnuPopup", "mnuAFile"}));
    QStringList pending;
    for (const MenuRows &expected : kTree) {
        SCOPED_TRACE(expected.menu);
        QMenu *menu = menus.menu(QString::fromUtf8(expected.menu));
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName(), QString::fromUtf8(expected.menu));
        EXPECT_EQ(menu->title(), QString::fromUtf8(expected.title));
        const QList<QAction *> actions = menu->actions();
        ASSERT_EQ(actions.size(), static_cast<qsizetype>(expected.rows.size()));
        for (size_t i = 0; i < expected.rows.size(); ++i) {
            const Row &row = expected.rows[i];
            SCOPED_TRACE(row.name);
            QAction *action = actions[static_cast<qsizetype>(i)];
            EXPECT_EQ(action->objectName(), QString::fromUtf8(row.name));
            EXPECT_EQ(action->isSeparator(), (row.marks & Separator) != 0);
            if (row.marks & Separator)
                continue;
            EXPECT_EQ(action->text(), QString::fromUtf8(row.caption));
            EXPECT_EQ(action->isCheckable(), (row.marks & Checkable) != 0);
            EXPECT_EQ(action->isChecked(), (row.marks & Checked) != 0);
            EXPECT_EQ(action->isEnabled(), (row.marks & (Disabled | Pending)) == 0);
            if (row.marks & Pending)
                pending.append(QString::fromUtf8(row.name));
            // The name lookup finds the same item; a submenu entry leads to its menu.
            EXPECT_EQ(menus.item(QString::fromUtf8(row.name)), action);
            if (QMenu *sub = action->menu()) {
                EXPECT_EQ(sub, menus.menu(QString::fromUtf8(row.name)));
            }
        }
    }
    QStringList listed = menus.pendingItems();
    listed.sort();
    pending.sort();
    EXPECT_EQ(listed, pending);
    EXPECT_EQ(menus.item("mnuNoSuchItem"), nullptr);
    EXPECT_EQ(menus.menu("mnuNoSuchMenu"), nullptr);
}

TEST(MenuTree, MarkAvailableEnablesOnlyPendingItemsOnce)
{
    frmMenus menus;
    EXPECT_TRUE(menus.markAvailable("mnuHacks"));
    EXPECT_TRUE(menus.mnuHacks->isEnabled());
    EXPECT_FALSE(menus.pendingItems().contains("mnuHacks"));
    EXPECT_FALSE(menus.markAvailable("mnuHacks"));
    // Items disabled by design are not features waiting to land.
    EXPECT_FALSE(menus.markAvailable("mnuRestore"));
    EXPECT_FALSE(menus.mnuRestore->isEnabled());
    EXPECT_FALSE(menus.markAvailable("mnuPause"));
    EXPECT_FALSE(menus.mnuPause->isEnabled());
}

TEST(MenuTree, OptionPairsKeepExactlyTheChosenItemChecked)
{
    frmMenus menus;
    menus.mnuTrayMinNo->trigger();
    EXPECT_TRUE(menus.mnuTrayMinNo->isChecked());
    EXPECT_FALSE(menus.mnuTrayMinYes->isChecked());
    menus.mnuTrayMinNo->trigger(); // choosing it again keeps it
    EXPECT_TRUE(menus.mnuTrayMinNo->isChecked());
    menus.mnuTrayMinYes->trigger();
    EXPECT_TRUE(menus.mnuTrayMinYes->isChecked());
    EXPECT_FALSE(menus.mnuTrayMinNo->isChecked());

    menus.mnuDefaultOpen->trigger();
    EXPECT_TRUE(menus.mnuDefaultOpen->isChecked());
    EXPECT_FALSE(menus.mnuEmbedded->isChecked());
    menus.mnuEmbedded->trigger();
    menus.mnuEmbedded->trigger();
    EXPECT_TRUE(menus.mnuEmbedded->isChecked());
    EXPECT_FALSE(menus.mnuDefaultOpen->isChecked());

    // Stored settings may check both; choosing one clears the other.
    menus.mnuEmbedded->setChecked(true);
    menus.mnuDefaultOpen->setChecked(true);
    menus.mnuDefaultOpen->trigger();
    EXPECT_TRUE(menus.mnuDefaultOpen->isChecked());
    EXPECT_FALSE(menus.mnuEmbedded->isChecked());

    menus.mnuEject->trigger();
    EXPECT_TRUE(menus.mnuEject->isChecked());
    menus.mnuEject->trigger();
    EXPECT_FALSE(menus.mnuEject->isChecked());
}

TEST(MenuTree, ForceUnsupportedIsStoredTheMomentItToggles)
{
    frmMenus menus;
    ASSERT_TRUE(menus.markAvailable("mnuUnsupportedFiles"));
    menus.mnuUnsupportedFiles->trigger();
    EXPECT_TRUE(menus.mnuUnsupportedFiles->isChecked());
    EXPECT_EQ(readOption("ForceUnsupported"), "True");
    menus.mnuUnsupportedFiles->trigger();
    EXPECT_FALSE(menus.mnuUnsupportedFiles->isChecked());
    EXPECT_EQ(readOption("ForceUnsupported"), "False");
    // Ejecting at close is saved with the other options at window unload, not here.
    menus.mnuEject->trigger();
    EXPECT_TRUE(readOption("mnuEjectOnClose").isEmpty());
}

TEST(MenuTree, PlayAndPauseHandOverTheEnabledStateAfterTheirWork)
{
    frmMenus menus;
    ASSERT_TRUE(menus.markAvailable("mnuPlay"));
    bool playEnabledDuringWork = false;
    QObject::connect(&menus, &frmMenus::playRequested, [&] { playEnabledDuringWork = menus.mnuPlay->isEnabled(); });
    QSignalSpy pauses(&menus, &frmMenus::pauseRequested);

    menus.mnuPlay->trigger();
    EXPECT_TRUE(playEnabledDuringWork);
    EXPECT_FALSE(menus.mnuPlay->isEnabled());
    EXPECT_TRUE(menus.mnuPause->isEnabled());

    menus.mnuPause->trigger();
    EXPECT_EQ(pauses.count(), 1);
    EXPECT_TRUE(menus.mnuPlay->isEnabled());
    EXPECT_FALSE(menus.mnuPause->isEnabled());
}

TEST(MenuTree, PlayerEntriesGoBetweenTheDefaultAndAddNewPlayer)
{
    frmMenus menus;
    QSignalSpy chosen(&menus, &frmMenus::playerChosen);
    QAction *vlc = menus.addPlayerEntry("VLC media player", "/usr/bin/vlc");
    menus.addPlayerEntry("/usr/bin/mpv", "/usr/bin/mpv");
    ASSERT_EQ(menus.playerEntries().size(), 3);
    EXPECT_EQ(menus.playerEntries().front(), menus.item("mnuPlayer"));
    EXPECT_EQ(vlc->objectName(), "mnuPlayer");
    EXPECT_EQ(vlc->data().toString(), "/usr/bin/vlc");
    const QList<QAction *> shown = menus.mnuPlayIn->actions();
    ASSERT_EQ(shown.size(), 4);
    EXPECT_EQ(shown[1], vlc);
    EXPECT_EQ(shown.back(), menus.mnuAddPlayer);

    vlc->trigger();
    menus.item("mnuPlayer")->trigger();
    ASSERT_EQ(chosen.count(), 2);
    EXPECT_EQ(chosen[0][0].toInt(), 1);
    EXPECT_EQ(chosen[1][0].toInt(), 0);

    menus.removePlayerEntries();
    EXPECT_EQ(menus.playerEntries().size(), 1);
    EXPECT_EQ(menus.mnuPlayIn->actions().size(), 2);
}
