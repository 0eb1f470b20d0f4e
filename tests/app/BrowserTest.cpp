// The browser driven through the window's widgets, as a user drives it.
#include "WindowFixture.h"

#include "EmbeddedPlayer.h"
#include "PlayerController.h"
#include "SongBrowser.h"

#include <QHeaderView>
#include <QSignalSpy>

namespace {

class BrowserTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        open(buildLibrary({{101, "Help!", "The Beatles", "Help!", "Rock", 1, 139000},
                           {102, "Yesterday", "The Beatles", "Help!", "Rock", 13, 125000},
                           {103, "Something", "The Beatles", "Abbey Road", "Rock", 2, 182000},
                           {104, "So What", "Miles Davis", "Kind of Blue", "Jazz", 1, 562000},
                           {105, "Blue in Green", "Miles Davis", "Kind of Blue", "Jazz", 3, 337000},
                           {106, "Take Five", "Dave Brubeck", "Time Out", "jazz", 3, 324000},
                           {107, "Clair de Lune", "Debussy", "", "Classical", 0, 245000},
                           {108, "Paranoid", "Black Sabbath", "Paranoid", "rock", 7, 170000}},
                          {{"Chill", {104, 105, 107}}, {"Mix", {101, 104, 999, 108}}}));
    }
    static void click(QListWidget *list, const QString &text, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const auto items = list->findItems(text, Qt::MatchExactly);
        ASSERT_FALSE(items.isEmpty()) << text.toStdString();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualItemRect(items.first()).center());
    }
    void type(const QString &text) { window->txtSearch->setText(text); }
};

TEST_F(BrowserTest, LoadListsTheWholeLibrarySortedByArtistAlbumTrack)
{
    EXPECT_EQ(texts(window->lstSource), (QStringList{":: Test iPod ::", "Chill", "Mix"}));
    EXPECT_EQ(window->lstSource->currentRow(), 0);
    // Case-different genres are listed once, in the spelling met first.
    EXPECT_EQ(texts(window->lstGenre), (QStringList{"[All]", "Classical", "Jazz", "Rock"}));
    EXPECT_EQ(texts(window->lstArtist),
              (QStringList{"[All]", "Black Sabbath", "Dave Brubeck", "Debussy", "Miles Davis", "The Beatles"}));
    // An empty album is never an album row.
    EXPECT_EQ(texts(window->lstAlbum),
              (QStringList{"[All]", "Abbey Road", "Help!", "Kind of Blue", "Paranoid", "Time Out"}));
    EXPECT_EQ(titles(), (QStringList{"Paranoid", "Take Five", "Clair de Lune", "So What", "Blue in Green", "Something",
                                     "Help!", "Yesterday"}));
    EXPECT_EQ(window->selectedSongRow(), 0);
    EXPECT_EQ(column(SongCatalog::ColTrack).mid(0, 3), (QStringList{"07", "03", "  "}));
    EXPECT_EQ(column(SongCatalog::ColLength)[2], "4:05");
    EXPECT_EQ(column(SongCatalog::ColSongId)[0], "108");
    EXPECT_EQ(column(SongCatalog::ColFileSize)[0], "432 kb");
    EXPECT_TRUE(window->lstSong->isColumnHidden(SongCatalog::ColSongId));
    EXPECT_TRUE(window->lstSong->isColumnHidden(SongCatalog::ColLengthMs));
}

TEST_F(BrowserTest, CascadeFollowsClicksAndCtrlClickAfterAll)
{
    click(window->lstGenre, "Jazz");
    // "Jazz" passes "jazz" as well.
    EXPECT_EQ(texts(window->lstArtist), (QStringList{"[All]", "Dave Brubeck", "Miles Davis"}));
    EXPECT_EQ(titles(), (QStringList{"Take Five", "So What", "Blue in Green"}));

    click(window->lstArtist, "Miles Davis");
    EXPECT_EQ(texts(window->lstAlbum), (QStringList{"[All]", "Kind of Blue"}));
    EXPECT_EQ(window->lstGenre->currentItem()->text(), "Jazz") << "levels above keep their selection";

    // [All] is selected again; a Ctrl-click on Rock makes the set of selected rows the filter.
    click(window->lstGenre, "[All]");
    EXPECT_EQ(titles().size(), 8);
    click(window->lstGenre, "Rock", Qt::ControlModifier);
    EXPECT_EQ(window->lstGenre->selectedItems().size(), 2);
    EXPECT_EQ(titles(), (QStringList{"Paranoid", "Something", "Help!", "Yesterday"}));
    click(window->lstGenre, "Classical", Qt::ControlModifier);
    EXPECT_EQ(titles().size(), 5) << "two genres at once";

    // [All] selected with Rock but current again: no filter.
    SongBrowser &browser = window->browser();
    browser.setSelection(SongBrowser::Genre, {0, 3}, 0);
    EXPECT_EQ(titles().size(), 8);
    EXPECT_TRUE(SongBrowser::IsSelectedInList(browser.list(SongBrowser::Genre), "ROCK"));
    EXPECT_FALSE(SongBrowser::IsSelectedInList(browser.list(SongBrowser::Genre), "Roc"));
}

TEST_F(BrowserTest, PlaylistsShareSongsAndSkipMissingIds)
{
    click(window->lstSource, "Mix");
    // Id 999 is not in the library: the rest of the playlist is still listed, silently.
    EXPECT_EQ(titles(), (QStringList{"Paranoid", "So What", "Help!"}));
    EXPECT_EQ(dialogs.count(), 0u);

    click(window->lstSource, "Chill", Qt::ControlModifier);
    const QStringList shown = titles();
    EXPECT_EQ(shown.count("So What"), 2) << "a song in two selected playlists is listed twice";
    EXPECT_EQ(shown.size(), 6);
}

TEST_F(BrowserTest, SearchNarrowsAndEveryClickClearsIt)
{
    click(window->lstGenre, "Rock");
    type("the");
    EXPECT_EQ(titles(), (QStringList{"Something", "Help!", "Yesterday"}));
    type("the  help"); // two spaces: an empty word matches everything
    EXPECT_EQ(titles(), (QStringList{"Help!", "Yesterday"}));
    type("the");
    EXPECT_EQ(titles().size(), 3) << "deleting rebuilds from the selection";
    QTest::mouseClick(static_cast<QWidget *>(window->imgClearSearch), Qt::LeftButton);
    EXPECT_TRUE(window->txtSearch->text().isEmpty());
    EXPECT_EQ(titles().size(), 4);

    // A new selection clears the search once, and so does a click on the row already
    // selected: every click runs its level again.
    type("help");
    QSignalSpy cleared(&window->browser(), &SongBrowser::searchTextChanged);
    click(window->lstGenre, "Jazz");
    EXPECT_TRUE(window->txtSearch->text().isEmpty());
    EXPECT_EQ(cleared.count(), 1);
    EXPECT_EQ(titles().size(), 3);
    type("so");
    ASSERT_EQ(titles(), (QStringList{"So What"}));
    click(window->lstGenre, "Jazz");
    EXPECT_TRUE(window->txtSearch->text().isEmpty());
    EXPECT_EQ(titles().size(), 3);
    EXPECT_EQ(texts(window->lstArtist), (QStringList{"[All]", "Dave Brubeck", "Miles Davis"}));

    // The shown length and the path are searched; the track column is not.
    for (const auto &[words, found] : {std::pair{"9:22", 1}, {"s104.mp3", 1}, {"03", 0}}) {
        type(words);
        EXPECT_EQ(titles().size(), found) << words;
        type("");
    }
}

TEST_F(BrowserTest, ScreenJumpIsAskedForAndStored)
{
    dialogs.inputAnswers.push_back("250");
    type("ScreenJump");
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "Screen Jump!");
    EXPECT_EQ(dialogs.last().text, "What amount would you like to modify the screen jump to?");
    EXPECT_EQ(window->player().controller().ScreenJump, 250);
    EXPECT_TRUE(window->txtSearch->text().isEmpty());
    EXPECT_EQ(titles().size(), 8);

    // Not a 16-bit whole number: the value stays and the user is told.
    dialogs.inputAnswers.push_back("99999");
    type("screenjump");
    EXPECT_EQ(window->player().controller().ScreenJump, 250);
    ASSERT_EQ(dialogs.count(), 3u);
    EXPECT_EQ(dialogs.last().text, "Please enter a whole number from -32768 to 32767.");
    EXPECT_TRUE(window->txtSearch->text().isEmpty());
}

TEST_F(BrowserTest, HeadingClickSortsAndFlipsOnlyWithASelectedRow)
{
    QHeaderView *header = window->lstSong->header();
    auto clickHeading = [&](int c) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(header->sectionViewportPosition(c) + 5, header->height() / 2));
    };
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    clickHeading(SongCatalog::ColTitle);
    EXPECT_EQ(titles(), (QStringList{"Blue in Green", "Clair de Lune", "Help!", "Paranoid", "So What", "Something",
                                     "Take Five", "Yesterday"}));
    EXPECT_EQ(titles()[window->selectedSongRow()], "Paranoid") << "the selection follows its song";
    clickHeading(SongCatalog::ColTitle);
    EXPECT_EQ(titles().first(), "Yesterday");
    EXPECT_EQ(window->songModel().sortOrder(), Qt::DescendingOrder);

    window->lstSong->selectionModel()->clear();
    clickHeading(SongCatalog::ColArtist);
    EXPECT_EQ(titles().first(), "Yesterday");
}

TEST_F(BrowserTest, JumpFindsThePlayingSongFromAnywhere)
{
    window->cmdJump_Click(); // nothing played yet: every row stays
    EXPECT_TRUE(window->txtSearch->text().isEmpty());
    EXPECT_EQ(titles().size(), 8);

    QSignalSpy focus(&window->browser(), &SongBrowser::songsFocusRequested);
    window->setNowPlayingLength("562000"); // So What
    click(window->lstSource, "Mix");
    click(window->lstGenre, "Rock");
    window->cmdJump_Click();
    EXPECT_EQ(titles(), (QStringList{"So What"}));
    EXPECT_EQ(window->txtSearch->text(), "562000");
    EXPECT_EQ(window->lstSource->currentRow(), 0);
    EXPECT_EQ(window->lstGenre->currentItem()->text(), "[All]");
    EXPECT_EQ(focus.count(), 1);
}

TEST_F(BrowserTest, EmptyAndOneSongLibraries)
{
    open(buildLibrary({}));
    for (const QListWidget *list : {window->lstGenre, window->lstArtist, window->lstAlbum})
        EXPECT_EQ(texts(list), QStringList{"[All]"});
    EXPECT_EQ(window->songModel().rowCount(), 0);
    EXPECT_EQ(window->selectedSongRow(), -1);

    open(buildLibrary({{7, "Only", "One", "Single", "Pop", 1, 1000}}));
    EXPECT_EQ(titles(), QStringList{"Only"});
    EXPECT_EQ(window->selectedSongRow(), -1) << "a single row is not selected";

    // A file that was not a database leaves no playlist at all.
    open(std::make_unique<MusicLibrary>());
    EXPECT_EQ(window->lstSource->count(), 0);
    EXPECT_EQ(texts(window->lstGenre), QStringList{"[All]"});
}

// A large library's search texts are made after the window is up; until then each row makes
// its own, and both ways find what the texts made at once find.
TEST(SongCatalogSearch, TextsMadeLaterFindTheSameSongs)
{
    const auto library = buildLibrary({{101, "Help!", "The Beatles", "Help!", "Rock", 1, 139000},
                                       {2000000000, "So What", "Miles Davis", "Kind of Blue", "Jazz", 1, -5000},
                                       {107, "Clair de Lune", "Debussy", "", "Classical", 0, 245000}});
    const SongCatalog atOnce(*library);
    SongCatalog later(*library, true);
    const auto same = [&](const char *when) {
        for (const std::vector<QString> &words : std::vector<std::vector<QString>>{
                 {"help"}, {"the", "2:19"}, {"2000000000"}, {"-0:05", "-5000"}, {"lune", "4:05"}, {"rock", "jazz"}})
            for (int32_t song = 0; song < 3; ++song)
                EXPECT_EQ(later.matchesAllWords(song, words), atOnce.matchesAllWords(song, words))
                    << when << ' ' << words.front().toStdString() << ' ' << song;
    };
    ASSERT_TRUE(later.searchPending());
    same("before");
    later.adoptSearchTexts(SongCatalog::makeSearchTexts(later.searchSources()));
    EXPECT_FALSE(later.searchPending());
    same("after");
}

} // namespace
