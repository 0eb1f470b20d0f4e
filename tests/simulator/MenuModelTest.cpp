// The simulator's menus over a real main window, without the simulator's own window.
#include "SimulatorFixture.h"

#include "EmbeddedPlayer.h"
#include "PlayerController.h"
#include "SongBrowser.h"

#include <QSignalSpy>

namespace {

const QStringList kTop{"Playlists", "Browse", "Sleep", "Quit Corvanel", "Backlight"};

class MenuModelTest : public SimulatorFixture
{
protected:
    void start(const QString &ipod = fourSourceIpod())
    {
        openIpod(ipod);
        link = std::make_unique<SimulatorLink>(*window);
        menus = std::make_unique<sim::SimulatorMenus>(*link);
        menus->start();
    }
    QStringList shown() const { return menus->MenuList.entries(); }
    sim::clsiPodMenu &current() const { return *menus->CurrentMenu; }
    // Highlights the entry and chooses it, as the select button does.
    void choose(const QString &entry)
    {
        const int at = static_cast<int>(shown().indexOf(entry));
        ASSERT_GE(at, 0) << entry.toStdString() << " in " << shown().join(", ").toStdString();
        menus->MenuList.setHighlighted(at);
        current().SelectOption(menus->MenuList.text());
    }
    void choosePath(const QStringList &path)
    {
        for (const QString &entry : path)
            choose(entry);
    }

    std::unique_ptr<SimulatorLink> link;
    std::unique_ptr<sim::SimulatorMenus> menus;
};

TEST_F(MenuModelTest, TopMenuFollowsTheSettingsExactlyAndOnEveryFill)
{
    const struct
    {
        const char *artists, *genres;
        QStringList expected;
    } cases[] = {
        {nullptr, nullptr, kTop},
        {"True", nullptr, {"Playlists", "Browse", "Artists", "Sleep", "Quit Corvanel", "Backlight"}},
        {nullptr, "True", {"Playlists", "Browse", "Genres", "Sleep", "Quit Corvanel", "Backlight"}},
        {"True", "True", {"Playlists", "Browse", "Artists", "Genres", "Sleep", "Quit Corvanel", "Backlight"}},
        {"TRUE", " true", kTop},
    };
    openIpod(fourSourceIpod());
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 / %2").arg(c.artists, c.genres).toStdString());
        clearInterface();
        if (c.artists)
            setInterface("MainMenuArtists", c.artists);
        if (c.genres)
            setInterface("MainMenuGenres", c.genres);
        SimulatorLink browser(*window);
        sim::SimulatorMenus fresh(browser);
        fresh.start();
        EXPECT_EQ(fresh.MenuList.entries(), c.expected);
        EXPECT_EQ(fresh.MenuList.highlighted(), 0);
        EXPECT_EQ(fresh.title(), "iPod");
    }

    // A setting changed while the simulator is open shows on the next fill of the top menu.
    start();
    setInterface("MainMenuGenres", "True");
    EXPECT_EQ(shown(), kTop);
    choose("Browse");
    current().GoToParent();
    EXPECT_TRUE(shown().contains("Genres"));
}

TEST_F(MenuModelTest, PlaylistsLeaveOutTheLibrary)
{
    start();
    EXPECT_EQ(browserList(SongBrowser::Source), (QStringList{":: Test Pod ::", "Drive", "Evening", "Zzz Last"}));
    window->browser().SelectOneVal(SongBrowser::Source, 3);
    choose("Playlists");
    EXPECT_EQ(browserCurrent(SongBrowser::Source), 0) << "the source list goes back to the library first";
    EXPECT_EQ(shown(), (QStringList{"Drive", "Evening", "Zzz Last"}));
    EXPECT_EQ(menus->title(), "Playlists");

    // Entry 1 here is source 2.
    choose("Evening");
    EXPECT_EQ(browserCurrent(SongBrowser::Source), 2);
    EXPECT_EQ(menus->title(), "Evening");
    EXPECT_EQ(shown(), (QStringList{"Clair de Lune", "Blue Train"})) << "the browser's order: artist, album, track";
}

TEST_F(MenuModelTest, PlaylistsLeaveOutOnTheGoWhereverItSorts)
{
    static QTemporaryDir dir;
    start(writeTestIpod(dir, testDatabase({{"Drive", {5, 6}}, {"Zzz Last", {2}}}), std::vector<int32_t>{0, 1}));
    EXPECT_EQ(browserList(SongBrowser::Source), (QStringList{":: Test Pod ::", "Drive", "On-The-Go", "Zzz Last"}));
    choose("Playlists");
    EXPECT_EQ(shown(), (QStringList{"Drive", "Zzz Last"}));
    choose("Zzz Last");
    EXPECT_EQ(browserCurrent(SongBrowser::Source), 3);
    EXPECT_EQ(shown(), QStringList{"Moment's Notice"});
}

TEST_F(MenuModelTest, EachChoiceFiltersTheBrowserAndTitlesTheNextMenu)
{
    const struct
    {
        QStringList path;
        QString title;
        QStringList entries;
    } cases[] = {
        {{"Browse"}, "Browse", {"Artists", "Albums", "Songs", "Genres"}},
        {{"Browse", "Genres"}, "Genres", {"[All]", "Classical", "Jazz", "Rock"}},
        {{"Browse", "Genres", "Jazz"}, "Jazz", {"[All]", "John Coltrane", "Miles Davis"}},
        {{"Browse", "Genres", "Jazz", "[All]"}, "Albums", {"[All]", "Blue Train", "Kind of Blue"}},
        {{"Browse", "Genres", "Jazz", "[All]", "[All]"},
         "[All]",
         {"Blue Train", "Moment's Notice", "So What", "Freddie Freeloader"}},
        {{"Browse", "Genres", "Rock", "Black Sabbath", "Paranoid"}, "Paranoid", {"Paranoid", "Iron Man"}},
        {{"Browse", "Artists"}, "Artists", {"[All]", "Black Sabbath", "Debussy", "John Coltrane", "Miles Davis"}},
        {{"Browse", "Artists", "Miles Davis"}, "Miles Davis", {"[All]", "Kind of Blue"}},
        {{"Browse", "Albums", "Kind of Blue"}, "Kind of Blue", {"So What", "Freddie Freeloader"}},
        {{"Browse", "Songs"}, "Songs", {}},
        {{"Artists"}, "Artists", {"[All]", "Black Sabbath", "Debussy", "John Coltrane", "Miles Davis"}},
        {{"Genres", "Classical"}, "Classical", {"[All]", "Debussy"}},
    };
    setInterface("MainMenuArtists", "True");
    setInterface("MainMenuGenres", "True");
    start();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.join(" > ").toStdString());
        menus->start(); // back to the top, every browser list on its first entry
        choosePath(c.path);
        EXPECT_EQ(menus->title(), c.title);
        if (c.path.last() == "Songs")
            EXPECT_EQ(shown().size(), 7);
        else
            EXPECT_EQ(shown(), c.entries);
    }
    // The browser itself shows what the menus chose.
    EXPECT_EQ(window->lstGenre->currentItem()->text(), "Classical");
    EXPECT_EQ(titles(), QStringList{"Clair de Lune"});
}

TEST_F(MenuModelTest, SleepClosesOnlyFromTheTopAndBrowse)
{
    start();
    QSignalSpy closing(menus.get(), &sim::SimulatorMenus::closeRequested);
    choosePath({"Browse", "Artists"});
    menus->MenuList.setHighlighted(static_cast<int>(shown().indexOf("Miles Davis")));
    current().SelectOption("Sleep");
    EXPECT_EQ(closing.count(), 0) << "a submenu takes it as a choice of its highlighted entry";
    EXPECT_EQ(menus->title(), "Miles Davis");
    current().GoToParent();
    current().GoToParent();
    current().SelectOption("sleep");
    EXPECT_EQ(closing.count(), 1) << "the Browse menu takes it, in any case";
    EXPECT_TRUE(window->isVisible()) << "only the simulator sleeps";
}

// With the double-click option on the external player, a chosen song goes there; the
// embedded player's way is tried through the simulator's window.
TEST_F(MenuModelTest, ASongGoesToTheExternalPlayerWhenTheOptionSaysSo)
{
    start();
    const ScopedShell scoped(shell);
    window->menus().item("mnuDefaultOpen")->trigger();
    choosePath({"Browse", "Songs", "Iron Man"});
    EXPECT_EQ(window->selectedSongRow(), static_cast<int>(shown().indexOf("Iron Man")));
    ASSERT_EQ(shell.count(), 1u);
    EXPECT_EQ(shell.last().kind, RecordingShell::Call::Kind::OpenDocument);
    EXPECT_TRUE(shell.last().target.endsWith("/iPod_Control/Music/F00/S6.wav")) << shell.last().target.toStdString();
    EXPECT_FALSE(window->player().controller().Playing);
}

} // namespace
