#pragma once
// The program's whole menu tree. The form is never shown: each top-level menu appears as a
// pop-up (label menu bar, window icon, song list, tray icon). Items find each other by
// objectName, which is the item's name; separators are named actions as well.
#include <QHash>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QAction;
class QMenu;

namespace corvanel::app {

class frmMenus : public QObject
{
    Q_OBJECT

public:
    explicit frmMenus(QObject *parent = nullptr);
    ~frmMenus() override;

    frmMenus(const frmMenus &) = delete;
    frmMenus &operator=(const frmMenus &) = delete;

    // A menu or submenu by name (mnuIcon, mnuFIle, ..., mnuTrayMin); nullptr when unknown.
    QMenu *menu(const QString &name) const;
    // An item by name, separators and submenu entries included; for mnuPlayer entry 0.
    QAction *item(const QString &name) const;
    // The top-level menus in the order of the tree.
    QStringList menuNames() const;

    // Shows a top-level menu as a pop-up with its top-left corner at global.
    void popup(const QString &name, const QPoint &global);

    // The external players submenu: entry 0 is "[Default Player]"; more are added after it,
    // before "Add New Player...". tag is the player's path.
    QAction *addPlayerEntry(const QString &caption, const QString &tag = QString());
    // Removes entries from the highest index down to 1; entry 0 stays.
    void removePlayerEntries();
    QList<QAction *> playerEntries() const;

    // Top-level menus.
    QMenu *mnuIcon = nullptr;
    QMenu *mnuFIle = nullptr;
    QMenu *mnuOptions = nullptr;
    QMenu *mnuExtras = nullptr;
    QMenu *mnuHelp = nullptr;
    QMenu *mnuPopup = nullptr;
    QMenu *mnuAFile = nullptr;
    // Submenus.
    QMenu *mnuTrayMin = nullptr;
    QMenu *mnuPlayIn = nullptr;
    QMenu *mnuDblClick = nullptr;

    // mnuIcon
    QAction *mnuRestore = nullptr;
    QAction *mnuMove = nullptr;
    QAction *mnuSize = nullptr;
    QAction *mnuMinimize = nullptr;
    QAction *mnuMaximize = nullptr;
    QAction *mnuClose = nullptr;
    // mnuFIle
    QAction *mnuOpenInDefaultAsPlaylist = nullptr;
    QAction *mnuDefault = nullptr;
    QAction *mnuExit = nullptr;
    // mnuOptions
    QAction *mnuTrayMinYes = nullptr;
    QAction *mnuTrayMinNo = nullptr;
    QAction *mnuSpectrum = nullptr;
    QAction *mnuSpecColor = nullptr;
    QAction *mnuAddPlayer = nullptr;
    QAction *mnuEmbedded = nullptr;
    QAction *mnuDefaultOpen = nullptr;
    QAction *mnuUnsupportedFiles = nullptr;
    QAction *mnuEject = nullptr;
    QAction *mnuNotify = nullptr;
    // mnuExtras
    QAction *mnuHacks = nullptr;
    QAction *mnuPowerSave = nullptr;
    QAction *mnuiPodInfo = nullptr;
    QAction *mnuCheckForMissing = nullptr;
    QAction *mnuCheckForDuplicates = nullptr;
    QAction *mnuCheckForNotInDatabase = nullptr;
    QAction *mnuExportPlays = nullptr;
    QAction *mnuCheckup = nullptr;
    QAction *mnuEjectAndClose = nullptr;
    QAction *mnuCopyToiPod = nullptr;
    QAction *mnuiPod = nullptr;
    // mnuHelp
    QAction *mnuUpdate = nullptr;
    QAction *mnuWebsite = nullptr;
    QAction *mnuAbout = nullptr;
    // mnuPopup
    QAction *mnuNowPlaying = nullptr;
    QAction *mnuNow = nullptr;
    QAction *mnuShow = nullptr;
    QAction *mnuPlay = nullptr;
    QAction *mnuPause = nullptr;
    QAction *mnuPrev = nullptr;
    QAction *mnuNext = nullptr;
    // mnuAFile
    QAction *mnuDouble = nullptr;
    QAction *mnuInEmbedded = nullptr;
    QAction *mnuInExternal = nullptr;
    QAction *mnuExtract = nullptr;
    QAction *mnuInfo = nullptr;
    QAction *mnuShowFile = nullptr;

signals:
    // "&Play >" chosen: the player starts; afterwards Play is disabled and Pause enabled.
    void playRequested();
    // "P&ause ||" chosen: the player pauses; afterwards Pause is disabled and Play enabled.
    void pauseRequested();
    // A player entry chosen; index 0 is "[Default Player]".
    void playerChosen(int index);

private:
    void build();
    void connectBuiltIns();
    QMenu *addTopMenu(const QString &name, const QString &title);
    QMenu *addSubmenu(QMenu *parent, const QString &name, const QString &title);
    QAction *addItem(QMenu *parent, const QString &name, const QString &caption);
    QAction *addCheckItem(QMenu *parent, const QString &name, const QString &caption, bool checked);
    void addSeparator(QMenu *parent, const QString &name);
    void onPlayerTriggered(QAction *entry);
    void onForceUnsupported();
    void onPlay();
    void onPause();

    std::vector<std::unique_ptr<QMenu>> m_topMenus;
    QStringList m_menuOrder;
    QHash<QString, QMenu *> m_menus;
    QHash<QString, QAction *> m_items;
    QList<QAction *> m_players;
};

} // namespace corvanel::app
