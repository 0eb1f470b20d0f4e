#pragma once
// One menu of the simulator. Menus are made as the user enters them; most take their entries
// from the browser's lists, and choosing an entry sets the matching selection in the browser,
// so that the browser's own filtering decides what the next menu shows.
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace corvanel::simulator {

class SimulatorMenus;

class clsiPodMenu
{
public:
    explicit clsiPodMenu(SimulatorMenus &menus);
    ~clsiPodMenu();
    clsiPodMenu(const clsiPodMenu &) = delete;
    clsiPodMenu &operator=(const clsiPodMenu &) = delete;

    // The menu above; the top menu is its own parent. The parent owns this menu.
    clsiPodMenu *ParentMenu = nullptr;
    // The menu's identifier ("iPod", "playlists", "listsongs", "artists", ...); empty is read
    // as "ipod".
    QString MyName;
    // The highlighted position and text when an entry was last chosen here.
    int CurPos = 0;
    QString CurOption;

    void InitMenu(clsiPodMenu *FromMenu, const QString &Name);
    // Fills the menu list with this menu's entries and highlights the first one.
    void FillMenu();
    void FillTitle();
    // Acts on the chosen entry (the highlighted text, or "Sleep" from a held menu button).
    void SelectOption(const QString &TheOption);
    // Back to the menu above, with its remembered highlight.
    void GoToParent();

    // True when choosing this entry of this menu opens another menu (the screen marks such
    // entries with an arrow).
    bool opensMenu(const QString &option) const;

private:
    QStringList playlistEntries();
    void openSubmenu(const QString &Name);
    void chooseByName(const QString &TheOption);
    bool isNamed(const char *name) const;

    // The submenu opened last; it lives until this menu opens another.
    std::unique_ptr<clsiPodMenu> ChildMenu;
    SimulatorMenus &m_menus;
    // For the playlists menu: the source-list position of each entry.
    QList<int> m_sourceRows;
};

} // namespace corvanel::simulator
