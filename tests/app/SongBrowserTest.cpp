// The browser's rules without any window: what the simulator and the main window rely on.
#include "LibraryBuilder.h"

#include "RecordingDialogs.h"
#include "SongBrowser.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class SongBrowserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        library = buildLibrary({{1, "Help!", "The Beatles", "Help!", "Rock", 1, 139000},
                                {2, "So What", "Miles Davis", "Kind of Blue", "Jazz", 1, 562000},
                                {3, "Take Five", "Dave Brubeck", "Time Out", "jazz", 3, 324000},
                                {4, "Paranoid", "Black Sabbath", "Paranoid", "rock", 7, 170000},
                                {5, "Clair de Lune", "Debussy", "", "Classical", 0, 245000}},
                               {{"Chill", {2, 5}}});
        catalog = std::make_unique<SongCatalog>(*library);
        model = std::make_unique<SongTableModel>(*catalog);
        browser = std::make_unique<SongBrowser>(*library, *catalog, *model);
        browser->load();
    }
    QStringList titles() const
    {
        QStringList out;
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->text(r, SongCatalog::ColTitle);
        return out;
    }
    int row(SongBrowser::Level level, const QString &text) const
    {
        return static_cast<int>(browser->list(level).rows.indexOf(text));
    }

    corvanel::RecordingDialogs dialogs;
    corvanel::ScopedDialogs scoped{dialogs};
    std::unique_ptr<MusicLibrary> library;
    std::unique_ptr<SongCatalog> catalog;
    std::unique_ptr<SongTableModel> model;
    std::unique_ptr<SongBrowser> browser;
};

TEST_F(SongBrowserTest, LoadRunsTheWholeCascadeOnAll)
{
    EXPECT_EQ(browser->list(SongBrowser::Source).rows, (QStringList{":: Test iPod ::", "Chill"}));
    EXPECT_EQ(browser->list(SongBrowser::Genre).rows, (QStringList{"[All]", "Classical", "Jazz", "Rock"}));
    EXPECT_EQ(browser->list(SongBrowser::Album).rows,
              (QStringList{"[All]", "Help!", "Kind of Blue", "Paranoid", "Time Out"}));
    for (auto level : {SongBrowser::Genre, SongBrowser::Artist, SongBrowser::Album})
        EXPECT_EQ(browser->list(level).current, 0);
    EXPECT_EQ(titles().size(), 5);
    EXPECT_EQ(browser->selectedSongRow(), 0);
}

TEST_F(SongBrowserTest, CtrlClickAfterAllMakesTheSelectedRowsTheFilter)
{
    const int all = 0, rock = row(SongBrowser::Genre, "Rock");
    browser->setSelection(SongBrowser::Genre, {all, rock}, rock);
    EXPECT_EQ(titles(), (QStringList{"Paranoid", "Help!"})) << "Rock passes rock; [All] is only a row now";
    browser->setSelection(SongBrowser::Genre, {all, rock}, all);
    EXPECT_EQ(titles().size(), 5) << "[All] as the current row: no filter";
    EXPECT_TRUE(SongBrowser::IsSelectedInList(browser->list(SongBrowser::Genre), "ROCK"));
    EXPECT_FALSE(SongBrowser::IsSelectedInList(browser->list(SongBrowser::Genre), "Roc"));
}

TEST_F(SongBrowserTest, SearchNarrowsRebuildsAndIsClearedByAClick)
{
    QSignalSpy texts(browser.get(), &SongBrowser::searchTextChanged);
    browser->txtSearch_Change("jazz");
    browser->txtSearch_Change("jazz five");
    EXPECT_EQ(titles(), (QStringList{"Take Five"}));
    browser->txtSearch_Change("jazz");
    EXPECT_EQ(titles().size(), 2) << "deleting rebuilds from the selection";
    browser->click(SongBrowser::Album);
    EXPECT_TRUE(browser->searchText().isEmpty());
    ASSERT_EQ(texts.count(), 1);
    EXPECT_EQ(texts.last().at(0).toString(), "");
    EXPECT_EQ(titles().size(), 5);
}

TEST_F(SongBrowserTest, JumpFallsBackToTheWholeLibraryAndOutsideCallersSelectRows)
{
    browser->SelectOneVal(SongBrowser::Source, row(SongBrowser::Source, "Chill"));
    EXPECT_EQ(titles().size(), 2);
    QSignalSpy focus(browser.get(), &SongBrowser::songsFocusRequested);
    browser->cmdJump_Click("170000"); // Paranoid is not in Chill
    EXPECT_EQ(browser->list(SongBrowser::Source).current, 0);
    EXPECT_EQ(titles(), (QStringList{"Paranoid"}));
    EXPECT_EQ(browser->searchText(), "170000");
    EXPECT_EQ(focus.count(), 1);

    // A heading click sorts only with a selected row.
    browser->click(SongBrowser::Album);
    browser->setSelectedSongRow(-1);
    browser->lstSong_ColumnClick(SongCatalog::ColTitle);
    EXPECT_EQ(model->sortColumn(), SongCatalog::ColArtist);
    browser->setSelectedSongRow(0);
    browser->lstSong_ColumnClick(SongCatalog::ColTitle);
    EXPECT_EQ(titles().first(), "Clair de Lune");
}

} // namespace
