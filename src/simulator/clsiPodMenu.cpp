#include "clsiPodMenu.h"

#include "SettingsStore.h"
#include "SimulatorMenus.h"

#include <QColor>
#include <QStringList>

namespace corvanel::simulator {

using namespace corvanel::platform;

namespace {

using List = BrowserLink::List;

// Only the exact text "True" turns an entry of the top menu on.
bool settingOn(const char *key)
{
    return corvanel::platform::getSetting(QStringLiteral("iPodInterface"), QLatin1String(key),
                                          QStringLiteral("False")) == QLatin1String("True");
}

QStringList topEntries()
{
    QStringList entries{QStringLiteral("Playlists"), QStringLiteral("Browse")};
    if (settingOn("MainMenuArtists"))
        entries << QStringLiteral("Artists");
    if (settingOn("MainMenuGenres"))
        entries << QStringLiteral("Genres");
    entries << QStringLiteral("Sleep") << QStringLiteral("Quit Corvanel") << QStringLiteral("Backlight");
    return entries;
}

QStringList songEntries(const BrowserLink &browser)
{
    QStringList entries;
    const int rows = browser.songCount();
    entries.reserve(rows);
    for (int row = 0; row < rows; ++row)
        entries << browser.songTitle(row);
    return entries;
}

} // namespace

clsiPodMenu::clsiPodMenu(SimulatorMenus &menus) : m_menus(menus) {}

clsiPodMenu::~clsiPodMenu() = default;

bool clsiPodMenu::isNamed(const char *name) const
{
    const QString &own = MyName.isEmpty() ? QStringLiteral("ipod") : MyName;
    return own.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

QStringList clsiPodMenu::playlistEntries()
{
    // The whole library and the On-The-Go list are left out, wherever the sorted list has them.
    BrowserLink &browser = m_menus.browser();
    browser.SelectOneVal(List::Source, 0);
    const QStringList sources = browser.entries(List::Source);
    m_sourceRows = browser.playlistSources();
    QStringList entries;
    for (const int row : std::as_const(m_sourceRows))
        entries << sources.value(row);
    return entries;
}

void clsiPodMenu::InitMenu(clsiPodMenu *FromMenu, const QString &Name)
{
    ParentMenu = FromMenu;
    MyName = Name;
    FillTitle();
    FillMenu();
}

void clsiPodMenu::FillMenu()
{
    BrowserLink &browser = m_menus.browser();
    QStringList entries;
    if (isNamed("ipod"))
        entries = topEntries();
    else if (isNamed("playlists"))
        entries = playlistEntries();
    else if (isNamed("listsongs"))
        entries = songEntries(browser);
    else if (isNamed("artists"))
        entries = browser.entries(List::Artist);
    else if (isNamed("albums"))
        entries = browser.entries(List::Album);
    else if (isNamed("genres"))
        entries = browser.entries(List::Genre);
    else if (isNamed("browse"))
        entries = {QStringLiteral("Artists"), QStringLiteral("Albums"), QStringLiteral("Songs"),
                   QStringLiteral("Genres")};
    m_menus.MenuList.setEntries(entries);
    if (!entries.isEmpty())
        m_menus.MenuList.setHighlighted(0);
}

void clsiPodMenu::FillTitle()
{
    if (MyName.isEmpty())
        MyName = QStringLiteral("ipod");
    if (isNamed("ipod")) {
        m_menus.setTitle(QStringLiteral("iPod"));
        return;
    }
    // The entry chosen to come here, unless that was "[All]": then the menu's own name.
    const QString chosen = ParentMenu ? ParentMenu->CurOption : QString();
    if (chosen.compare(QLatin1String("[all]"), Qt::CaseInsensitive) == 0 && !isNamed("listsongs"))
        m_menus.setTitle(MyName.left(1).toUpper() + MyName.mid(1));
    else
        m_menus.setTitle(chosen);
}

void clsiPodMenu::SelectOption(const QString &TheOption)
{
    if (TheOption.isEmpty())
        return;
    CurPos = m_menus.MenuList.highlighted();
    CurOption = m_menus.MenuList.text();
    BrowserLink &browser = m_menus.browser();
    // The menus made of browser entries act on the highlighted entry, whatever the option says
    // (a held menu button's "Sleep" too); with nothing highlighted there is nothing to act on.
    const bool entryMenu =
        isNamed("playlists") || isNamed("listsongs") || isNamed("artists") || isNamed("albums") || isNamed("genres");
    if (entryMenu && CurPos < 0)
        return;
    if (isNamed("playlists")) {
        if (CurPos >= m_sourceRows.size())
            return;
        browser.SelectOneVal(List::Source, m_sourceRows[CurPos]);
        openSubmenu(QStringLiteral("listsongs"));
    } else if (isNamed("listsongs")) {
        browser.playSong(CurPos);
        m_menus.requestNowPlaying();
    } else if (isNamed("artists")) {
        browser.SelectOneVal(List::Artist, CurPos);
        openSubmenu(QStringLiteral("albums"));
    } else if (isNamed("albums")) {
        browser.SelectOneVal(List::Album, CurPos);
        openSubmenu(QStringLiteral("listsongs"));
    } else if (isNamed("genres")) {
        browser.SelectOneVal(List::Genre, CurPos);
        openSubmenu(QStringLiteral("artists"));
    } else {
        chooseByName(TheOption);
    }
}

void clsiPodMenu::chooseByName(const QString &TheOption)
{
    const QString option = TheOption.toLower();
    if (option == QLatin1String("sleep")) {
        m_menus.requestClose();
    } else if (option == QLatin1String("quit corvanel")) {
        BrowserLink &browser = m_menus.browser();
        m_menus.requestClose();
        browser.closeBrowser();
    } else if (option == QLatin1String("backlight")) {
        m_menus.MenuList.setBackColor(QColor(201, 209, 212));
    } else if (option == QLatin1String("browse") || option == QLatin1String("genres") ||
               option == QLatin1String("artists") || option == QLatin1String("albums")) {
        openSubmenu(option);
    } else if (option == QLatin1String("songs")) {
        openSubmenu(QStringLiteral("listsongs"));
    } else if (option == QLatin1String("playlists")) {
        openSubmenu(QStringLiteral("Playlists"));
    }
}

void clsiPodMenu::openSubmenu(const QString &Name)
{
    // The previous submenu and everything below it go; this menu is the one shown.
    ChildMenu = std::make_unique<clsiPodMenu>(m_menus);
    ChildMenu->InitMenu(this, Name);
    m_menus.CurrentMenu = ChildMenu.get();
}

void clsiPodMenu::GoToParent()
{
    clsiPodMenu *parent = ParentMenu ? ParentMenu : this;
    m_menus.CurrentMenu = parent;
    parent->FillMenu();
    // A remembered position the refilled list no longer has leaves the first entry highlighted.
    m_menus.MenuList.setHighlighted(parent->CurPos);
    parent->FillTitle();
}

bool clsiPodMenu::opensMenu(const QString &option) const
{
    if (isNamed("listsongs"))
        return false;
    if (isNamed("playlists") || isNamed("artists") || isNamed("albums") || isNamed("genres"))
        return true;
    const QString name = option.toLower();
    for (const char *opens : {"browse", "genres", "artists", "albums", "songs", "playlists"})
        if (name == QLatin1String(opens))
            return true;
    return false;
}

} // namespace corvanel::simulator
