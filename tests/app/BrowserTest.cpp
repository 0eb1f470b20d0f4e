// The browser driven through its widgets, as a user drives it.
#include "LibraryBuilder.h"

#include "RecordingDialogs.h"
#include "ScreenJump.h"
#include "frmMain.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

std::vector<SongRow> sampleSongs()
{
    return {
        {101, "Help!", "The Beatles", "Help!", "Rock", 1, 139000},
        {102, "Yesterday", "The Beatles", "Help!", "Rock", 13, 125000},
        {103, "Something", "The Beatles", "Abbey Road", "Rock", 2, 182000},
        {104, "So What", "Miles Davis", "Kind of Blue", "Jazz", 1, 562000},
        {105, "Blue in Green", "Miles Davis", "Kind of Blue", "Jazz", 3, 337000},
        {106, "Take Five", "Dave Brubeck", "Time Out", "jazz", 3, 324000},
        {107, "Clair de Lune", "Debussy", "", "Classical", 0, 245000},
        {108, "Paranoid", "Black Sabbath", "Paranoid", "rock", 7, 170000},
    };
}

class BrowserTest : public ::testing::Test
{
protected:
    void open(std::unique_ptr<MusicLibrary> library)
    {
        m_library = std::move(library);
        m_window = std::make_unique<frmMain>(*m_library);
    }
    void SetUp() override
    {
        corvanel::setDialogs(&m_dialogs);
        open(buildLibrary(sampleSongs(), {{"Chill", {104, 105, 107}}, {"Mix", {101, 104, 999, 108}}}));
    }
    void TearDown() override
    {
        m_window.reset();
        corvanel::setDialogs(nullptr);
    }

    static QStringList texts(const QListWidget *list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 0; r < m_window->songModel().rowCount(); ++r)
            out << m_window->songModel().text(r, c);
        return out;
    }
    QStringList titles() const { return column(SongCatalog::ColTitle); }

    // A click on a row, optionally with Ctrl, as the user makes it.
    static void click(QListWidget *list, const QString &text, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const auto items = list->findItems(text, Qt::MatchExactly);
        ASSERT_FALSE(items.isEmpty()) << text.toStdString();
        const QRect rect = list->visualItemRect(items.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
    }
    void type(const QString &text) { m_window->txtSearch->setText(text); }

    corvanel::RecordingDialogs m_dialogs;
    std::unique_ptr<MusicLibrary> m_library;
    std::unique_ptr<frmMain> m_window;
};

TEST_F(BrowserTest, LoadListsTheWholeLibrarySortedByArtistAlbumTrack)
{
    EXPECT_EQ(texts(m_window->lstSource), (QStringList{":: Test iPod ::", "Chill", "Mix"}));
    EXPECT_EQ(m_window->lstSource->currentRow(), 0);
    // Case-different genres are listed once, in the spelling met first.
    EXPECT_EQ(texts(m_window->lstGenre), (QStringList{"[All]", "Classical", "Jazz", "Rock"}));
    EXPECT_EQ(texts(m_window->lstArtist),
              (QStringList{"[All]", "Black Sabbath", "Dave Brubeck", "Debussy", "Miles Davis", "The Beatles"}));
    // An empty album is never an album row.
    EXPECT_EQ(texts(m_window->lstAlbum),
              (QStringList{"[All]", "Abbey Road", "Help!", "Kind of Blue", "Paranoid", "Time Out"}));
    EXPECT_EQ(titles(), (QStringList{"Paranoid", "Take Five", "Clair de Lune", "So What", "Blue in Green", "Something",
                                     "Help!", "Yesterday"}));
    EXPECT_EQ(m_window->selectedSongRow(), 0);
    EXPECT_EQ(m_window->songModel().text(0, SongCatalog::ColTrack), "07");
    EXPECT_EQ(m_window->songModel().text(2, SongCatalog::ColTrack), "  ");
    EXPECT_EQ(m_window->songModel().text(2, SongCatalog::ColLength), "4:05");
    EXPECT_EQ(m_window->songModel().text(0, SongCatalog::ColSongId), "108");
    EXPECT_EQ(m_window->songModel().text(0, SongCatalog::ColFileSize), "432 kb");
    EXPECT_TRUE(m_window->lstSong->isColumnHidden(SongCatalog::ColSongId));
    EXPECT_TRUE(m_window->lstSong->isColumnHidden(SongCatalog::ColLengthMs));
    EXPECT_FALSE(m_window->lstSong->isColumnHidden(SongCatalog::ColFileSize));
}

TEST_F(BrowserTest, CascadeFollowsClicksAndCtrlClickAfterAll)
{
    click(m_window->lstGenre, "Jazz");
    // "Jazz" passes "jazz" as well.
    EXPECT_EQ(texts(m_window->lstArtist), (QStringList{"[All]", "Dave Brubeck", "Miles Davis"}));
    EXPECT_EQ(titles(), (QStringList{"Take Five", "So What", "Blue in Green"}));

    click(m_window->lstArtist, "Miles Davis");
    EXPECT_EQ(texts(m_window->lstAlbum), (QStringList{"[All]", "Kind of Blue"}));
    EXPECT_EQ(m_window->lstGenre->currentItem()->text(), "Jazz") << "levels above keep their selection";

    // [All] is selected again; a Ctrl-click on Rock makes the set of selected rows the filter.
    click(m_window->lstGenre, "[All]");
    EXPECT_EQ(titles().size(), 8);
    click(m_window->lstGenre, "Rock", Qt::ControlModifier);
    EXPECT_EQ(m_window->lstGenre->selectedItems().size(), 2);
    EXPECT_EQ(titles(), (QStringList{"Paranoid", "Something", "Help!", "Yesterday"}));

    // Two genres at once.
    click(m_window->lstGenre, "Classical", Qt::ControlModifier);
    EXPECT_EQ(titles().size(), 5);
}

TEST_F(BrowserTest, PlaylistsShareSongsAndSkipMissingIds)
{
    click(m_window->lstSource, "Mix");
    // Id 999 is not in the library: the rest of the playlist is still listed, silently.
    EXPECT_EQ(titles(), (QStringList{"Paranoid", "So What", "Help!"}));
    EXPECT_EQ(m_dialogs.count(), 0u);

    click(m_window->lstSource, "Chill", Qt::ControlModifier);
    QStringList shown = titles();
    EXPECT_EQ(shown.count("So What"), 2) << "a song in two selected playlists is listed twice";
    EXPECT_EQ(shown.size(), 6);
}

TEST_F(BrowserTest, SearchNarrowsAndDeletingRebuilds)
{
    click(m_window->lstGenre, "Rock");
    type("the");
    EXPECT_EQ(titles(), (QStringList{"Something", "Help!", "Yesterday"}));
    type("the  help"); // two spaces: an empty word matches everything
    EXPECT_EQ(titles(), (QStringList{"Help!", "Yesterday"}));
    type("the");
    EXPECT_EQ(titles(), (QStringList{"Something", "Help!", "Yesterday"})) << "deleting rebuilds from the selection";
    EXPECT_EQ(m_window->lstGenre->currentItem()->text(), "Rock");

    type("2:19"); // the shown length of Help!
    EXPECT_EQ(titles(), (QStringList{"Help!"}));
    type("");
    type("s101.mp3"); // the path column is searched
    EXPECT_EQ(titles(), (QStringList{"Help!"}));
    type("");
    type("07"); // the track column is not searched; no other column holds "07"
    EXPECT_TRUE(titles().isEmpty());

    QTest::mouseClick(static_cast<QWidget *>(m_window->imgClearSearch), Qt::LeftButton);
    EXPECT_TRUE(m_window->txtSearch->text().isEmpty());
    EXPECT_EQ(titles().size(), 4);

    // A new selection clears the search.
    type("help");
    click(m_window->lstGenre, "Jazz");
    EXPECT_TRUE(m_window->txtSearch->text().isEmpty());
    EXPECT_EQ(titles().size(), 3);

    // So does a click on the row that is already selected: every click rebuilds.
    type("so");
    ASSERT_EQ(titles(), (QStringList{"So What"}));
    click(m_window->lstAlbum, "[All]");
    EXPECT_TRUE(m_window->txtSearch->text().isEmpty());
    EXPECT_EQ(titles().size(), 3);
    type("blue");
    click(m_window->lstGenre, "Jazz");
    EXPECT_TRUE(m_window->txtSearch->text().isEmpty());
    EXPECT_EQ(titles().size(), 3);
    EXPECT_EQ(texts(m_window->lstArtist), (QStringList{"[All]", "Dave Brubeck", "Miles Davis"}));
}

TEST_F(BrowserTest, ScreenJumpIsAskedForAndStored)
{
    m_dialogs.inputAnswers.push_back(QStringLiteral("250"));
    type("ScreenJump");
    ASSERT_EQ(m_dialogs.count(), 1u);
    EXPECT_EQ(m_dialogs.last().title, "Screen Jump!");
    EXPECT_EQ(m_dialogs.last().text, "What amount would you like to modify the screen jump to?");
    EXPECT_EQ(ScreenJump, 250);
    EXPECT_TRUE(m_window->txtSearch->text().isEmpty());
    EXPECT_EQ(titles().size(), 8);

    // Not a 16-bit whole number: the value stays and the user is told.
    m_dialogs.inputAnswers.push_back(QStringLiteral("99999"));
    type("screenjump");
    EXPECT_EQ(ScreenJump, 250);
    EXPECT_EQ(m_dialogs.last().title, "Screen Jump!");
    EXPECT_TRUE(m_window->txtSearch->text().isEmpty());
    ScreenJump = 0;
}

TEST_F(BrowserTest, HeadingClickSortsAndFlipsOnlyWithASelectedRow)
{
    QHeaderView *header = m_window->lstSong->header();
    auto clickHeading = [&](int c) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(header->sectionViewportPosition(c) + 5, header->height() / 2));
    };
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    clickHeading(SongCatalog::ColTitle);
    EXPECT_EQ(titles(), (QStringList{"Blue in Green", "Clair de Lune", "Help!", "Paranoid", "So What", "Something",
                                     "Take Five", "Yesterday"}));
    EXPECT_EQ(m_window->songModel().text(m_window->selectedSongRow(), SongCatalog::ColTitle), "Paranoid")
        << "the selection follows its song";
    clickHeading(SongCatalog::ColTitle);
    EXPECT_EQ(titles().first(), "Yesterday");
    EXPECT_EQ(m_window->songModel().sortOrder(), Qt::DescendingOrder);

    // Without a selected row the heading does nothing.
    m_window->lstSong->selectionModel()->clear();
    clickHeading(SongCatalog::ColArtist);
    EXPECT_EQ(titles().first(), "Yesterday");
}

TEST_F(BrowserTest, JumpFindsThePlayingSongFromAnywhere)
{
    m_window->setNowPlayingLength(QStringLiteral("562000")); // So What
    click(m_window->lstGenre, "Rock");
    m_window->cmdJump_Click();
    EXPECT_EQ(titles(), (QStringList{"So What"}));
    EXPECT_EQ(m_window->lstSource->currentRow(), 0);
    EXPECT_EQ(m_window->lstGenre->currentItem()->text(), "[All]");
}

TEST_F(BrowserTest, JumpWithNothingPlayedLeavesEveryRow)
{
    m_window->cmdJump_Click();
    EXPECT_TRUE(m_window->txtSearch->text().isEmpty());
    EXPECT_EQ(titles().size(), 8);
}

TEST_F(BrowserTest, EmptyAndOneSongLibraries)
{
    open(buildLibrary({}));
    EXPECT_EQ(texts(m_window->lstGenre), QStringList{"[All]"});
    EXPECT_EQ(texts(m_window->lstArtist), QStringList{"[All]"});
    EXPECT_EQ(texts(m_window->lstAlbum), QStringList{"[All]"});
    EXPECT_EQ(m_window->songModel().rowCount(), 0);
    EXPECT_EQ(m_window->selectedSongRow(), -1);

    open(buildLibrary({{7, "Only", "One", "Single", "Pop", 1, 1000}}));
    EXPECT_EQ(titles(), QStringList{"Only"});
    EXPECT_EQ(m_window->selectedSongRow(), -1) << "a single row is not selected";

    // A file that was not a database leaves no playlist at all.
    auto none = std::make_unique<MusicLibrary>();
    open(std::move(none));
    EXPECT_EQ(m_window->lstSource->count(), 0);
    EXPECT_EQ(texts(m_window->lstGenre), QStringList{"[All]"});
}

} // namespace
