#include "SongBrowser.h"

#include "Dialogs.h"
#include "NumberText.h"
#include "TagScan.h"
#include "WaitCursor.h"

#include <QSet>

#include <algorithm>

namespace corvanel::app {

using namespace corvanel::platform;

namespace {
const QString kAll = QStringLiteral("[All]");
} // namespace

QStringList SongBrowser::FilterList::selectedRows() const
{
    QStringList out;
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (selected[static_cast<std::size_t>(i)])
            out << rows[i];
    return out;
}

SongBrowser::SongBrowser(MusicLibrary &library, const SongCatalog &catalog, SongTableModel &songs, QObject *parent)
    : QObject(parent), m_library(library), m_catalog(catalog), m_songs(songs)
{
}

void SongBrowser::load()
{
    PlaylistNames.Clear();
    for (int32_t i = 1; i < m_library.PlaylistCount; ++i)
        PlaylistNames.AddItem(m_library.Playlists[static_cast<std::size_t>(i)]->Name);
    PlaylistNames.BuBBleSort();
    placeNotInDatabase();
    FilterList &sources = m_lists[Source];
    sources.rows.clear();
    if (m_library.PlaylistCount > 0)
        sources.rows << m_library.Playlists[0]->Name;
    sources.rows << QStringList(PlaylistNames.items().begin(), PlaylistNames.items().end());
    sources.selected.assign(static_cast<std::size_t>(sources.rows.size()), 0);
    sources.current = -1;
    findPlaylistRows();
    emit listChanged(Source);
    SelectOneVal(Source, 0);
}

void SongBrowser::placeNotInDatabase()
{
    // The files the database does not know come just before the On-The-Go list.
    const int extra = PlaylistNames.LinearSearch(QString::fromUtf16(corvanel::itunesdb::NotInDatabaseName), 1);
    if (extra < 0)
        return;
    PlaylistNames.RemoveItem(extra);
    const int onTheGo = PlaylistNames.LinearSearch(QStringLiteral("On-The-Go"), 1);
    std::vector<QString> names = PlaylistNames.items();
    names.insert(onTheGo >= 0 ? names.begin() + onTheGo : names.end(),
                 QString::fromUtf16(corvanel::itunesdb::NotInDatabaseName));
    PlaylistNames.Clear();
    for (QString &name : names)
        PlaylistNames.AddItem(std::move(name));
}

void SongBrowser::findPlaylistRows()
{
    // Row 0 is the whole library. The On-The-Go list sits wherever its name sorts; a playlist of
    // the database with the same name lists the same songs, so either row stands for both.
    const QStringList &rows = m_lists[Source].rows;
    const auto onTheGo = std::find_if(m_library.Playlists.begin(), m_library.Playlists.end(),
                                      [](const auto &playlist) { return playlist->onTheGo; });
    const qsizetype onTheGoRow = onTheGo != m_library.Playlists.end() ? rows.lastIndexOf((*onTheGo)->Name) : -1;
    m_playlistRows.clear();
    for (qsizetype row = 1; row < rows.size(); ++row)
        if (row != onTheGoRow)
            m_playlistRows.push_back(static_cast<int>(row));
}

void SongBrowser::setSelection(Level level, const std::vector<int> &selectedRows, int current)
{
    FilterList &list = m_lists[level];
    list.selected.assign(static_cast<std::size_t>(list.rows.size()), 0);
    for (const int row : selectedRows)
        if (row >= 0 && row < list.rows.size())
            list.selected[static_cast<std::size_t>(row)] = 1;
    list.current = current >= 0 && current < list.rows.size() ? current : -1;
    runLevel(level);
}

void SongBrowser::click(Level level)
{
    runLevel(level);
}

void SongBrowser::SelectOneVal(Level level, int Val)
{
    FilterList &list = m_lists[level];
    list.selected.assign(static_cast<std::size_t>(list.rows.size()), 0);
    list.current = -1;
    if (Val >= 0 && Val < list.rows.size()) {
        list.selected[static_cast<std::size_t>(Val)] = 1;
        list.current = Val;
    }
    emit listChanged(level);
    runLevel(level);
}

bool SongBrowser::IsSelectedInList(const FilterList &list, const QString &Text)
{
    for (const QString &row : list.selectedRows())
        if (row.size() == Text.size() && row.compare(Text, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void SongBrowser::runLevel(Level level)
{
    switch (level) {
    case Source:
        lstSource_Click();
        break;
    case Genre:
        lstGenre_Click();
        break;
    case Artist:
        lstArtist_Click();
        break;
    case Album:
        lstAlbum_Click();
        break;
    }
}

bool SongBrowser::showsAll(Level level) const
{
    const FilterList &list = m_lists[level];
    return list.current >= 0 && list.rows[list.current] == kAll;
}

std::vector<char> SongBrowser::selectedKeys(Level level) const
{
    // Keys are case-folded, so a selected "rock" passes "Rock" and "ROCK" alike.
    std::vector<char> selected(static_cast<std::size_t>(m_catalog.keyCount()), 0);
    for (const QString &row : m_lists[level].selectedRows())
        if (const int32_t key = m_catalog.keyOf(row); key >= 0)
            selected[static_cast<std::size_t>(key)] = 1;
    return selected;
}

void SongBrowser::fillList(Level level, const clsList &names)
{
    FilterList &list = m_lists[level];
    list.rows.clear();
    list.rows.reserve(names.ListCount() + 1);
    list.rows.append(kAll);
    for (const QString &name : names.items())
        list.rows.append(name);
    list.selected.assign(static_cast<std::size_t>(list.rows.size()), 0);
    list.current = -1;
}

void SongBrowser::lstSource_Click()
{
    const WaitCursor wait;
    GenreNames.Clear();
    SourceSongs.clear();
    QSet<QString> chosen;
    for (const QString &row : m_lists[Source].selectedRows())
        chosen.insert(row.toLower());
    std::vector<char> listed(static_cast<std::size_t>(m_catalog.keyCount()), 0);
    for (int32_t p = 0; p < m_library.PlaylistCount; ++p) {
        const clsPlayList &playlist = *m_library.Playlists[static_cast<std::size_t>(p)];
        if (!chosen.contains(playlist.Name.toLower()))
            continue;
        for (const QString &id : playlist.SongIDs.items()) {
            // A track id the library does not hold is skipped; the rest of the playlist is listed.
            const auto index = m_library.indexOf(id);
            if (!index)
                continue;
            SourceSongs.push_back(*index);
            const int32_t key = m_catalog.genreKey(*index);
            if (!listed[static_cast<std::size_t>(key)]) {
                listed[static_cast<std::size_t>(key)] = 1;
                GenreNames.AddItem(m_library.Songs[static_cast<std::size_t>(*index)].Genre);
            }
        }
    }
    GenreNames.BuBBleSort();
    fillList(Genre, GenreNames);
    SelectOneVal(Genre, 0);
}

void SongBrowser::runFilterLevel(Level level, const std::vector<int32_t> &walked, std::vector<int32_t> &passing,
                                 int32_t (SongCatalog::*filterKey)(int32_t) const,
                                 int32_t (SongCatalog::*collectKey)(int32_t) const, int collectColumn, bool skipEmpty,
                                 clsList &names)
{
    const WaitCursor wait;
    names.Clear();
    passing.clear();
    passing.reserve(walked.size());
    const bool all = showsAll(level);
    const std::vector<char> selected = all ? std::vector<char>() : selectedKeys(level);
    std::vector<char> listed(static_cast<std::size_t>(m_catalog.keyCount()), 0);
    for (const int32_t song : walked) {
        if (!all && !selected[static_cast<std::size_t>((m_catalog.*filterKey)(song))])
            continue;
        passing.push_back(song);
        const int32_t key = (m_catalog.*collectKey)(song);
        if (listed[static_cast<std::size_t>(key)])
            continue;
        const QString &value = m_catalog.text(song, collectColumn);
        if (skipEmpty && value.isEmpty())
            continue;
        listed[static_cast<std::size_t>(key)] = 1;
        names.AddItem(value);
    }
    names.BuBBleSort();
    fillList(static_cast<Level>(level + 1), names);
}

void SongBrowser::lstGenre_Click()
{
    runFilterLevel(Genre, SourceSongs, GenreSongs, &SongCatalog::genreKey, &SongCatalog::artistKey,
                   SongCatalog::ColArtist, false, ArtistNames);
    SelectOneVal(Artist, 0);
}

void SongBrowser::lstArtist_Click()
{
    runFilterLevel(Artist, GenreSongs, ArtistSongs, &SongCatalog::artistKey, &SongCatalog::albumKey,
                   SongCatalog::ColAlbum, true, AlbumNames);
    SelectOneVal(Album, 0);
}

void SongBrowser::lstAlbum_Click()
{
    const WaitCursor wait;
    if (!m_searchRebuild && !m_searchText.isEmpty()) {
        setSearchText(QString());
        SearchLength = 0;
    }
    const bool all = showsAll(Album);
    const std::vector<char> selected = all ? std::vector<char>() : selectedKeys(Album);
    std::vector<int32_t> rows;
    rows.reserve(ArtistSongs.size());
    for (const int32_t song : ArtistSongs)
        if (all || selected[static_cast<std::size_t>(m_catalog.albumKey(song))])
            rows.push_back(song);
    m_songs.setSongs(std::move(rows));
    m_songs.sortForBrowsing();
    emit songsChanged();
    emit sortChanged(SongCatalog::ColArtist, Qt::AscendingOrder);
    // More than one row: the first is selected; a single row is not.
    selectSongRow(m_songs.rowCount() > 1 ? 0 : -1);
}

void SongBrowser::selectSongRow(int row)
{
    m_selectedSong = row;
    emit songRowSelected(row);
}

void SongBrowser::setSearchText(const QString &text)
{
    m_searchText = text;
    emit searchTextChanged(text);
}

void SongBrowser::askScreenJump()
{
    const auto answer = corvanel::platform::dialogs().input(
        QStringLiteral("Screen Jump!"), QStringLiteral("What amount would you like to modify the screen jump to?"),
        QString());
    if (!answer)
        return;
    const std::optional<int64_t> value = corvanel::platform::wholeInteger(*answer);
    if (value && *value >= -32768 && *value <= 32767)
        emit screenJumpChosen(static_cast<int16_t>(*value));
    else
        corvanel::platform::dialogs().inform(QStringLiteral("Screen Jump!"),
                                             QStringLiteral("Please enter a whole number from -32768 to 32767."));
}

void SongBrowser::txtSearch_Change(const QString &text)
{
    m_searchText = text;
    if (text.toLower() == QLatin1String("screenjump")) {
        askScreenJump();
        // Emptying the box is a change of its own.
        setSearchText(QString());
        txtSearch_Change(QString());
        return;
    }
    if (text.size() < SearchLength) {
        // Characters were removed: start again from the whole selection, then filter.
        m_searchRebuild = true;
        lstAlbum_Click();
        m_searchRebuild = false;
    }
    SearchLength = static_cast<int>(text.size());
    if (text.isEmpty())
        return;
    std::vector<QString> words;
    for (const QString &word : text.split(QLatin1Char(' ')))
        words.push_back(word.toLower());

    const int selectedRow = m_selectedSong;
    int newSelectedRow = -1;
    int row = 0, kept = 0;
    const int left = m_songs.keepRows([&](int32_t song) {
        const bool keep = m_catalog.matchesAllWords(song, words);
        if (row == selectedRow && keep)
            newSelectedRow = kept;
        kept += keep ? 1 : 0;
        ++row;
        return keep;
    });
    emit songsChanged();
    if (newSelectedRow >= 0 && newSelectedRow < left && m_selectedSong != newSelectedRow)
        selectSongRow(newSelectedRow);
}

void SongBrowser::cmdJump_Click(const QString &nowPlayingLength)
{
    auto type = [this](const QString &text) {
        if (text == m_searchText)
            return;
        setSearchText(text);
        txtSearch_Change(text);
    };
    type(nowPlayingLength);
    if (m_songs.rowCount() == 0) {
        SelectOneVal(Source, 0);
        type(nowPlayingLength);
    }
    emit songsFocusRequested();
}

void SongBrowser::lstSong_ColumnClick(int column)
{
    if (m_selectedSong < 0) {
        emit sortChanged(m_songs.sortColumn(), m_songs.sortOrder());
        return;
    }
    Qt::SortOrder order = m_songs.sortOrder();
    if (column == m_songs.sortColumn())
        order = order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_songs.sortByColumn(column, order);
    emit sortChanged(column, order);
}

} // namespace corvanel::app
