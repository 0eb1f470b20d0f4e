// The browser's rules without a window: what the lists and the song rows become when a
// caller (the window, the simulator) selects rows or types a search.
#include "WindowFixture.h"

#include "SongBrowser.h"

using namespace corvanel;
using namespace corvanel::app;

namespace {

class SongBrowserTest : public ::testing::Test
{
protected:
    SongBrowserTest()
        : library(buildLibrary({{101, "Help!", "The Beatles", "Help!", "Rock", 1},
                                {103, "Something", "The Beatles", "Abbey Road", "Rock", 2},
                                {104, "So What", "Miles Davis", "Kind of Blue", "Jazz", 1},
                                {106, "Take Five", "Dave Brubeck", "Time Out", "jazz", 3},
                                {108, "Paranoid", "Black Sabbath", "Paranoid", "rock", 7}})),
          catalog(*library), songs(catalog), browser(*library, catalog, songs)
    {
        browser.load();
    }
    QStringList titles() const
    {
        QStringList out;
        for (int row = 0; row < songs.rowCount(); ++row)
            out << songs.text(row, SongCatalog::ColTitle);
        return out;
    }
    int row(SongBrowser::Level level, const QString &text) const
    {
        return static_cast<int>(browser.list(level).rows.indexOf(text));
    }

    std::unique_ptr<MusicLibrary> library;
    SongCatalog catalog;
    SongTableModel songs;
    SongBrowser browser;
};

} // namespace

TEST_F(SongBrowserTest, LevelsFilterThoseBelowAndAllShowsEverything)
{
    EXPECT_EQ(browser.list(SongBrowser::Genre).rows, (QStringList{"[All]", "Jazz", "Rock"}));
    const int jazz = row(SongBrowser::Genre, "Jazz");
    browser.setSelection(SongBrowser::Genre, {jazz}, jazz);
    EXPECT_EQ(browser.list(SongBrowser::Artist).rows, (QStringList{"[All]", "Dave Brubeck", "Miles Davis"}));
    EXPECT_EQ(titles(), (QStringList{"Take Five", "So What"}));

    // Ctrl-click after [All]: the selected rows filter; [All] current again shows everything.
    const int rock = row(SongBrowser::Genre, "Rock");
    browser.setSelection(SongBrowser::Genre, {0, rock}, rock);
    EXPECT_EQ(titles(), (QStringList{"Paranoid", "Something", "Help!"}));
    browser.setSelection(SongBrowser::Genre, {0, rock}, 0);
    EXPECT_EQ(titles().size(), 5);

    // SelectOneVal selects only that row and runs the cascade before it returns.
    browser.SelectOneVal(SongBrowser::Artist, row(SongBrowser::Artist, "The Beatles"));
    EXPECT_EQ(browser.list(SongBrowser::Artist).selectedRows(), QStringList{"The Beatles"});
    EXPECT_EQ(browser.list(SongBrowser::Album).rows, (QStringList{"[All]", "Abbey Road", "Help!"}));
    EXPECT_EQ(titles(), (QStringList{"Something", "Help!"}));
}

TEST_F(SongBrowserTest, SearchNarrowsAndDeletingRebuildsFromTheSelection)
{
    const int rock = row(SongBrowser::Genre, "Rock");
    browser.setSelection(SongBrowser::Genre, {rock}, rock);
    browser.txtSearch_Change("the");
    EXPECT_EQ(titles(), (QStringList{"Something", "Help!"}));
    browser.txtSearch_Change("the  help"); // two spaces: an empty word matches everything
    EXPECT_EQ(titles(), QStringList{"Help!"});
    browser.txtSearch_Change("the");
    EXPECT_EQ(titles(), (QStringList{"Something", "Help!"})) << "deleting rebuilds from the selection";
    // The shown length and the path are searched; the track column is not.
    for (const auto &[words, found] : {std::pair{"3:00", 3}, {"s101.mp3", 1}, {"07", 0}}) {
        browser.txtSearch_Change("");
        browser.txtSearch_Change(words);
        EXPECT_EQ(titles().size(), found) << words;
    }
    browser.click(SongBrowser::Genre);
    EXPECT_TRUE(browser.searchText().isEmpty()) << "a click on the selected row clears the search";
    EXPECT_EQ(titles().size(), 3);
}
