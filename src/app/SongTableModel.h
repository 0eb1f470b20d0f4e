#pragma once
// The song list's rows: one song each (a song can be listed twice), the catalog's eleven text
// columns and then the play-history ones.
#include "HistoryColumns.h"
#include "SongCatalog.h"

#include <QAbstractTableModel>
#include <functional>
#include <vector>

namespace corvanel::app {

class SongTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit SongTableModel(const SongCatalog &catalog, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Replaces every row.
    void setSongs(std::vector<int32_t> songs);
    // Keeps only the rows whose song passes; returns how many rows are left.
    int keepRows(const std::function<bool(int32_t song)> &keep);
    // The texts of one column changed for every row.
    void columnChanged(int column);
    // Stable sort of the current rows by one column's text, or by the browse order.
    void sortByColumn(int column, Qt::SortOrder order);
    void sortForBrowsing();

    int32_t songAt(int row) const { return m_songs[static_cast<std::size_t>(row)]; }
    const std::vector<int32_t> &songs() const { return m_songs; }
    QString text(int row, int column) const;
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

private:
    void reorder(const std::function<bool(int32_t, int32_t)> &less);
    void sortByHistory(int column, Qt::SortOrder order);

    const SongCatalog &m_catalog;
    std::vector<int32_t> m_songs;
    int m_sortColumn = SongCatalog::ColArtist;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace corvanel::app
