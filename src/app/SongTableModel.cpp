#include "SongTableModel.h"

#include <algorithm>
#include <numeric>

namespace corvanel::app {

SongTableModel::SongTableModel(const SongCatalog &catalog, QObject *parent)
    : QAbstractTableModel(parent), m_catalog(catalog)
{
}

int SongTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_songs.size());
}

int SongTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : HistoryColumns::End;
}

QString SongTableModel::text(int row, int column) const
{
    const int32_t song = songAt(row);
    if (HistoryColumns::holds(column))
        return HistoryColumns::text(m_catalog.library().Songs[static_cast<std::size_t>(song)], column);
    return m_catalog.text(song, column);
}

QVariant SongTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return text(index.row(), index.column());
    return {};
}

QVariant SongTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (HistoryColumns::holds(section))
        return HistoryColumns::heading(section);
    if (section >= 0 && section < SongCatalog::ColumnCount)
        return SongCatalog::heading(section);
    return {};
}

void SongTableModel::setSongs(std::vector<int32_t> songs)
{
    beginResetModel();
    m_songs = std::move(songs);
    endResetModel();
}

int SongTableModel::keepRows(const std::function<bool(int32_t song)> &keep)
{
    std::vector<int32_t> kept;
    kept.reserve(m_songs.size());
    for (int32_t song : m_songs)
        if (keep(song))
            kept.push_back(song);
    if (kept.size() != m_songs.size())
        setSongs(std::move(kept));
    return rowCount();
}

void SongTableModel::columnChanged(int column)
{
    if (!m_songs.empty())
        emit dataChanged(index(0, column), index(rowCount() - 1, column), {Qt::DisplayRole, Qt::ToolTipRole});
}

void SongTableModel::reorder(const std::function<bool(int32_t, int32_t)> &less)
{
    // Rows move with their persistent indexes, so the selection follows its songs.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> order(m_songs.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return less(m_songs[static_cast<std::size_t>(a)], m_songs[static_cast<std::size_t>(b)]);
    });
    std::vector<int> newRowOf(order.size());
    std::vector<int32_t> sorted(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        sorted[i] = m_songs[static_cast<std::size_t>(order[i])];
        newRowOf[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
    }
    m_songs = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(this->index(newRowOf[static_cast<std::size_t>(index.row())], index.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void SongTableModel::sortByColumn(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= HistoryColumns::End)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    if (HistoryColumns::holds(column)) {
        sortByHistory(column, order);
        return;
    }
    const std::vector<uint32_t> &ranks = m_catalog.columnRanks(column);
    if (order == Qt::AscendingOrder)
        reorder([&ranks](int32_t a, int32_t b) {
            return ranks[static_cast<std::size_t>(a)] < ranks[static_cast<std::size_t>(b)];
        });
    else
        reorder([&ranks](int32_t a, int32_t b) {
            return ranks[static_cast<std::size_t>(a)] > ranks[static_cast<std::size_t>(b)];
        });
}

void SongTableModel::sortByHistory(int column, Qt::SortOrder order)
{
    const std::vector<Song> &songs = m_catalog.library().Songs;
    auto key = [&](int32_t song) { return HistoryColumns::sortKey(songs[static_cast<std::size_t>(song)], column); };
    if (order == Qt::AscendingOrder)
        reorder([&key](int32_t a, int32_t b) { return key(a) < key(b); });
    else
        reorder([&key](int32_t a, int32_t b) { return key(a) > key(b); });
}

void SongTableModel::sortForBrowsing()
{
    // Ascending by track, then album, then artist, each stable: artist, album, track in the end.
    // The catalog ranks every song in that order, below its song count: a counting sort by rank
    // is stable and takes one pass.
    m_sortColumn = SongCatalog::ColArtist;
    m_sortOrder = Qt::AscendingOrder;
    std::vector<uint32_t> starts(static_cast<std::size_t>(m_catalog.songCount()) + 1, 0);
    for (const int32_t song : m_songs)
        ++starts[m_catalog.browseRank(song) + 1];
    std::partial_sum(starts.begin(), starts.end(), starts.begin());
    std::vector<int32_t> songs(m_songs.size());
    for (const int32_t song : m_songs)
        songs[starts[m_catalog.browseRank(song)]++] = song;
    setSongs(std::move(songs));
}

} // namespace corvanel::app
