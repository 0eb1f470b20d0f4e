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

// The text lower-cased exactly as QString::toLower does, quicker for plain ASCII.
QString foldCase(const QString &text);

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

    // With laterWork, the songs' sizes and search texts are left for later, to be worked out
    // off the window's thread once it is up: the "File Size" texts stay empty until
    // refreshFileSizes, and a search makes each row's text itself until adoptSearchTexts.
    explicit SongCatalog(const MusicLibrary &library, bool laterWork = false);
    // Takes in the songs added to the library since (they come after every song it knows).
    void extend();
    bool sizesPending() const { return m_sizesPendingBelow > 0; }
    // Takes in the measured sizes of songs 0 .. count - 1.
    void refreshFileSizes(int32_t count);

    // What the search texts still to come are made of, copied so that another thread can make
    // them while this catalog is in use.
    struct SearchSource
    {
        std::array<QString, 6> texts; // title, artist, album, genre, path, type
        int64_t id = 0;
        int32_t length = 0;
    };
    struct SearchTexts
    {
        QString block;              // the texts one after the other
        std::vector<uint32_t> ends; // where each song's text ends in the block
    };
    bool searchPending() const { return m_searchPendingBelow > 0; }
    std::vector<SearchSource> searchSources() const;
    static SearchTexts makeSearchTexts(const std::vector<SearchSource> &sources);
    void adoptSearchTexts(SearchTexts texts);

    // Starts again from the library as it now is (after it was read anew).
    void rebuild();

    const MusicLibrary &library() const { return m_library; }
    int songCount() const { return static_cast<int>(m_rows.size()); }

    // The text of a song-list column for a song. The columns made from numbers are written
    // when asked for: a large library would otherwise keep hundreds of thousands of them.
    QString text(int32_t song, int column) const;
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
        QString sizeText; // empty until the size is known
        // Where the row's search text lies: lower-cased columns 1 to 10 but the size, joined
        // by a separator.
        uint32_t searchBlock = 0;
        uint32_t searchAt = 0;
        uint32_t searchLength = 0;
        int32_t genreKey = -1;
        int32_t artistKey = -1;
        int32_t albumKey = -1;
        uint32_t browseRank = 0;
    };
    struct Share;
    void fillRows(std::size_t from, std::size_t to, Share &share);
    void rankForBrowsing();
    int32_t internKey(const QString &value);

    const MusicLibrary &m_library;
    std::vector<Row> m_rows;
    std::vector<QString> m_searchBlocks;
    QHash<QString, int32_t> m_keys;      // lower-cased value -> key
    QHash<QString, int32_t> m_exactKeys; // value as stored -> key
    std::vector<QString> m_keyTexts;
    mutable std::array<std::vector<uint32_t>, ColumnCount> m_columnRanks;
    int32_t m_sizesPendingBelow = 0;  // songs below this one are not measured yet
    int32_t m_searchPendingBelow = 0; // songs below this one have no search text yet
};

} // namespace corvanel::app
