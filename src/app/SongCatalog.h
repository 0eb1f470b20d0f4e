#pragma once
// What the browser knows of every song, worked out once after loading so that a click
// or a keystroke on a large library costs no string building.
#include "MusicLibrary.h"

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace corvanel::app {

using namespace corvanel::library;

class SongCatalog
{
public:
    static constexpr int ColumnCount = 11;
    enum Column {
        ColTrack,
        ColTitle,
        ColArtist,
        ColAlbum,
        ColGenre,
        ColPath,
        ColType,
        ColSongId,
        ColLengthMs,
        ColFileSize,
        ColLength
    };

    explicit SongCatalog(const MusicLibrary &library);
    // Takes in the songs added to the library since (they come after every song it knows).
    void extend();
    // Starts again from the library as it now is (after it was read anew).
    void rebuild();

    const MusicLibrary &library() const { return m_library; }
    int songCount() const { return static_cast<int>(m_rows.size()); }

    // The text of a song-list column for a song.
    const QString &text(int32_t song, int column) const
    {
        return m_rows[static_cast<std::size_t>(song)].texts[static_cast<std::size_t>(column)];
    }
    static QString heading(int column);

    // Case-folded value ids: equal ids mean equal without regard to case.
    int32_t genreKey(int32_t song) const { return m_rows[static_cast<std::size_t>(song)].genreKey; }
    int32_t artistKey(int32_t song) const { return m_rows[static_cast<std::size_t>(song)].artistKey; }
    int32_t albumKey(int32_t song) const { return m_rows[static_cast<std::size_t>(song)].albumKey; }
    int32_t keyCount() const { return static_cast<int32_t>(m_keyTexts.size()); }
    // The key of a text, or -1 when no song has that value.
    int32_t keyOf(const QString &text) const;

    // Position of a song in the order artist, album, track text (equal keys share a rank).
    uint32_t browseRank(int32_t song) const { return m_rows[static_cast<std::size_t>(song)].browseRank; }
    // Position of a song by one column's text, worked out on first use.
    const std::vector<uint32_t> &columnRanks(int column) const;

    // True when every word occurs, without regard to case, inside one of columns 1 to 10.
    bool matchesAllWords(int32_t song, const std::vector<QString> &lowerWords) const;

private:
    struct Row
    {
        std::array<QString, ColumnCount> texts;
        QString searchText; // lower-cased columns 1 to 10, joined by a separator
        int32_t genreKey = -1;
        int32_t artistKey = -1;
        int32_t albumKey = -1;
        uint32_t browseRank = 0;
    };
    int32_t internKey(const QString &value);

    const MusicLibrary &m_library;
    std::vector<Row> m_rows;
    QHash<QString, int32_t> m_keys; // lower-cased value -> key
    std::vector<QString> m_keyTexts;
    mutable std::array<std::vector<uint32_t>, ColumnCount> m_columnRanks;
};

} // namespace corvanel::app
