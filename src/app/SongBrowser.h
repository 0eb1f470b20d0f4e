#pragma once
// The browser's rules, without widgets: the source, genre, artist and album levels with
// "[All]" and the Ctrl-click rule, the song rows, the search with its narrowing and rebuild,
// the heading sort and Jump. The main window forwards clicks and keystrokes here and shows
// what this object emits; other callers (the simulator) use SelectOneVal.
#include "MusicLibrary.h"
#include "SongCatalog.h"
#include "SongTableModel.h"
#include "clsList.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

namespace corvanel::app {

using namespace corvanel::library;

class SongBrowser : public QObject
{
    Q_OBJECT
public:
    enum Level { Source, Genre, Artist, Album };
    static constexpr int kLevels = 4;

    // One filter list: its rows, which of them are selected, and the current row (the row
    // last clicked or set; -1 for none).
    struct FilterList
    {
        QStringList rows;
        std::vector<char> selected;
        int current = -1;
        QStringList selectedRows() const;
    };

    SongBrowser(MusicLibrary &library, const SongCatalog &catalog, SongTableModel &songs, QObject *parent = nullptr);

    // Fills the source list and runs the whole cascade once.
    void load();

    const FilterList &list(Level level) const { return m_lists[level]; }
    // The rows of the source list that are playlists of their own: every row but the whole
    // library's and the On-The-Go list's.
    const std::vector<int> &playlistRows() const { return m_playlistRows; }
    // The user changed a list's selection: these rows are selected and `current` is current.
    // The list's level runs, as on every click.
    void setSelection(Level level, const std::vector<int> &selectedRows, int current);
    // Runs a level again with its selection as it is (a click on the selected row).
    void click(Level level);
    // Selects only row Val of the list and runs its level.
    void SelectOneVal(Level level, int Val);
    // True when a selected row has the same length as Text and equals it without regard to case.
    static bool IsSelectedInList(const FilterList &list, const QString &Text);

    // The search box's text changed to `text`.
    void txtSearch_Change(const QString &text);
    const QString &searchText() const { return m_searchText; }
    // Jump: the playing song's length in milliseconds (empty when nothing has played).
    void cmdJump_Click(const QString &nowPlayingLength);
    // A click on a song-list heading: sorts (flipping a repeated column) only with a selected row.
    void lstSong_ColumnClick(int column);

    // The song list's selected row as the view has it (-1 for none).
    void setSelectedSongRow(int row) { m_selectedSong = row; }
    int selectedSongRow() const { return m_selectedSong; }

    std::vector<int32_t> SourceSongs, GenreSongs, ArtistSongs;
    clsList PlaylistNames, GenreNames, ArtistNames, AlbumNames;
    int SearchLength = 0;
    bool ExtractSelectedOnly = false;

signals:
    // A list's rows, selection or current row changed.
    void listChanged(SongBrowser::Level level);
    // The song rows were rebuilt and sorted.
    void songsChanged();
    // The browser selects this song row (-1: none).
    void songRowSelected(int row);
    // The browser changed the search text itself (cleared it, or Jump put a length in).
    void searchTextChanged(const QString &text);
    // The song list's sort changed.
    void sortChanged(int column, Qt::SortOrder order);
    // A new screen-jump amount was typed in (the word "screenjump" in the search box).
    void screenJumpChosen(int16_t amount);
    // Jump is done: the keyboard goes to the song list.
    void songsFocusRequested();

private:
    void placeNotInDatabase();
    void findPlaylistRows();
    void lstSource_Click();
    void lstGenre_Click();
    void lstArtist_Click();
    void lstAlbum_Click();
    void runLevel(Level level);
    void runFilterLevel(Level level, const std::vector<int32_t> &walked, std::vector<int32_t> &passing,
                        int32_t (SongCatalog::*filterKey)(int32_t) const,
                        int32_t (SongCatalog::*collectKey)(int32_t) const, int collectColumn, bool skipEmpty,
                        clsList &names);
    void fillList(Level level, const clsList &names);
    bool showsAll(Level level) const;
    std::vector<char> selectedKeys(Level level) const;
    void selectSongRow(int row);
    void setSearchText(const QString &text);
    void askScreenJump();

    MusicLibrary &m_library;
    const SongCatalog &m_catalog;
    SongTableModel &m_songs;
    std::array<FilterList, kLevels> m_lists;
    std::vector<int> m_playlistRows;
    QString m_searchText;
    bool m_searchRebuild = false; // the song level was started by the search itself
    int m_selectedSong = -1;
};

} // namespace corvanel::app
