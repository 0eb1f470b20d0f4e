#include "frmMain.h"

#include "EmbeddedPlayer.h"
#include "PlayerController.h"

#include "SongBrowser.h"
#include "SongSizePass.h"
#include "frmLoadingDB.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QTreeView>
#include <array>
#include <memory>

// The browser's side of the main window: its lists, search box and song list forward to the
// SongBrowser and show what it emits.

namespace corvanel::app {

void frmMain::connectBrowser()
{
    m_browser = new SongBrowser(m_library, *m_catalog, *m_model, this);
    for (int level = 0; level < SongBrowser::kLevels; ++level)
        connectFilterList(static_cast<SongBrowser::Level>(level));
    connect(m_browser, &SongBrowser::listChanged, this, &frmMain::showList);
    connect(m_browser, &SongBrowser::screenJumpChosen, this,
            [this](int16_t amount) { m_player->controller().ScreenJump = amount; });
    connect(m_browser, &SongBrowser::songRowSelected, this, &frmMain::showSelectedSongRow);
    connect(m_browser, &SongBrowser::searchTextChanged, this, [this](const QString &text) {
        const QSignalBlocker blocker(txtSearch);
        txtSearch->setText(text);
    });
    connect(m_browser, &SongBrowser::sortChanged, this, [this](int column, Qt::SortOrder order) {
        lstSong->header()->setSortIndicator(column, order);
        if (const int row = selectedSongRow(); row >= 0)
            lstSong->scrollTo(m_model->index(row, 0));
    });
    connect(m_browser, &SongBrowser::songsFocusRequested, this, [this] { lstSong->setFocus(); });
    connect(lstSong->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { m_browser->setSelectedSongRow(selectedSongRow()); });
}

QListWidget *frmMain::filterList(SongBrowser::Level level) const
{
    const std::array<QListWidget *, SongBrowser::kLevels> lists{lstSource, lstGenre, lstArtist, lstAlbum};
    return lists[static_cast<std::size_t>(level)];
}

void frmMain::connectFilterList(SongBrowser::Level level)
{
    // A list's level runs on every click. A click that changes the selection runs it through
    // the selection change; a click on the row that is already selected changes nothing, and
    // runs it on release (so the search is cleared and the songs rebuilt, as on any click).
    QListWidget *list = filterList(level);
    list->viewport()->installEventFilter(this);
    connect(list, &QListWidget::itemSelectionChanged, this, [this, list, level] {
        ++m_filterRuns;
        std::vector<int> rows;
        for (const QModelIndex &index : list->selectionModel()->selectedIndexes())
            rows.push_back(index.row());
        m_browser->setSelection(level, rows, list->currentRow());
    });
    connect(list, &QAbstractItemView::clicked, this, [this, level] {
        if (m_filterRuns == m_filterRunsAtPress)
            m_browser->click(level);
    });
}

void frmMain::showList(SongBrowser::Level level)
{
    QListWidget *widget = filterList(level);
    const SongBrowser::FilterList &list = m_browser->list(level);
    const QSignalBlocker blocker(widget);
    bool same = widget->count() == list.rows.size();
    for (int i = 0; same && i < widget->count(); ++i)
        same = widget->item(i)->text() == list.rows[i];
    if (!same) {
        widget->clear();
        widget->addItems(list.rows);
    }
    widget->clearSelection();
    for (std::size_t i = 0; i < list.selected.size(); ++i)
        if (list.selected[i] && static_cast<int>(i) != list.current)
            widget->item(static_cast<int>(i))->setSelected(true);
    if (list.current >= 0)
        widget->setCurrentRow(list.current, list.selected[static_cast<std::size_t>(list.current)]
                                                ? QItemSelectionModel::Select
                                                : QItemSelectionModel::NoUpdate);
}

void frmMain::showSelectedSongRow(int row)
{
    lstSong->selectionModel()->clear();
    if (row >= 0 && row < m_model->rowCount())
        lstSong->selectionModel()->setCurrentIndex(m_model->index(row, 0),
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool frmMain::IsSelectedInList(const QListWidget *list, const QString &Text)
{
    for (const QListWidgetItem *item : list->selectedItems())
        if (item->text().size() == Text.size() && item->text().compare(Text, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void frmMain::SelectOneVal(QListWidget *InList, int Val)
{
    for (int level = 0; level < SongBrowser::kLevels; ++level)
        if (filterList(static_cast<SongBrowser::Level>(level)) == InList)
            m_browser->SelectOneVal(static_cast<SongBrowser::Level>(level), Val);
}

void frmMain::lstSource_Click()
{
    m_browser->click(SongBrowser::Source);
}

void frmMain::lstGenre_Click()
{
    m_browser->click(SongBrowser::Genre);
}

void frmMain::lstArtist_Click()
{
    m_browser->click(SongBrowser::Artist);
}

void frmMain::lstAlbum_Click()
{
    m_browser->click(SongBrowser::Album);
}

int frmMain::selectedSongRow() const
{
    const QModelIndexList rows = lstSong->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void frmMain::txtSearch_Change()
{
    m_browser->txtSearch_Change(txtSearch->text());
}

void frmMain::imgClearSearch_Click()
{
    txtSearch->clear();
}

void frmMain::cmdJump_Click()
{
    m_browser->cmdJump_Click(m_nowPlayingLength);
}

void frmMain::lstSong_ColumnClick(int column)
{
    m_browser->lstSong_ColumnClick(column);
}

void frmMain::finishSongDetails()
{
    if (m_catalog->searchPending()) {
        // The worker has its own copy of what it reads and writes into a result of its own.
        auto sources = std::make_shared<const std::vector<SongCatalog::SearchSource>>(m_catalog->searchSources());
        auto made = std::make_shared<SongCatalog::SearchTexts>();
        m_searchTexts = new ScanTask(this);
        connect(m_searchTexts, &ScanTask::finished, this,
                [this, made] { m_catalog->adoptSearchTexts(std::move(*made)); });
        m_searchTexts->start([sources, made](const ScanControl &) { *made = SongCatalog::makeSearchTexts(*sources); });
    }
    if (m_catalog->sizesPending()) {
        m_sizes = new SongSizePass(m_library, this);
        connect(m_sizes, &SongSizePass::measured, this, &frmMain::songSizesMeasured);
        m_sizes->start();
    }
}

void frmMain::songSizesMeasured(int32_t count, const corvanel::itunesdb::LoadReport &problems)
{
    m_catalog->refreshFileSizes(count);
    m_model->columnChanged(SongCatalog::ColFileSize);
    if (m_model->sortColumn() == SongCatalog::ColFileSize)
        m_model->sortByColumn(SongCatalog::ColFileSize, m_model->sortOrder());
    // A song file that is missing is reported as the load reports it.
    reportLoadProblems(problems);
}

} // namespace corvanel::app
