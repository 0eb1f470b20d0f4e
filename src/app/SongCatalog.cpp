#include "SongCatalog.h"
#include "TimeText.h"

#include <algorithm>
#include <numeric>

namespace corvanel::app {

namespace {
// Joins the searchable columns; a word containing it is checked column by column.
constexpr QChar kSeparator(0x1F);

QString sizeText(double bytes)
{
    return QString::number(static_cast<qint64>(bytes / 1024.0)) + QStringLiteral(" kb");
}

std::vector<uint32_t> ranksOf(std::vector<int32_t> order, auto less, auto equal)
{
    std::stable_sort(order.begin(), order.end(), less);
    std::vector<uint32_t> ranks(order.size());
    uint32_t rank = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && !equal(order[i - 1], order[i]))
            rank = static_cast<uint32_t>(i);
        ranks[static_cast<std::size_t>(order[i])] = rank;
    }
    return ranks;
}
} // namespace

SongCatalog::SongCatalog(const MusicLibrary &library) : m_library(library)
{
    extend();
}

void SongCatalog::rebuild()
{
    m_rows.clear();
    m_keys.clear();
    m_keyTexts.clear();
    for (std::vector<uint32_t> &ranks : m_columnRanks)
        ranks.clear();
    extend();
}

void SongCatalog::extend()
{
    const std::size_t first = m_rows.size();
    const auto count = static_cast<std::size_t>(m_library.SongCount);
    m_rows.resize(count);
    for (std::size_t i = first; i < count; ++i) {
        const Song &song = m_library.Songs[i];
        Row &row = m_rows[i];
        row.texts[ColTrack] = song.TrackNumber != 0 ? TwoDigits(song.TrackNumber) : QStringLiteral("  ");
        row.texts[ColTitle] = song.Title;
        row.texts[ColArtist] = song.Artist;
        row.texts[ColAlbum] = song.Album;
        row.texts[ColGenre] = song.Genre;
        row.texts[ColPath] = song.Path;
        row.texts[ColType] = song.FileType;
        row.texts[ColSongId] = songIdText(song.SongID);
        row.texts[ColLengthMs] = QString::number(song.Length);
        row.texts[ColFileSize] = sizeText(song.FileSize);
        row.texts[ColLength] = ConvertToTime(song.Length);
        QString search;
        for (int c = ColTitle; c < ColumnCount; ++c) {
            if (c > ColTitle)
                search += kSeparator;
            search += row.texts[static_cast<std::size_t>(c)];
        }
        row.searchText = search.toLower();
        row.genreKey = internKey(song.Genre);
        row.artistKey = internKey(song.Artist);
        row.albumKey = internKey(song.Album);
    }

    // The song list's order: artist, then album, then the track text, without regard to case.
    std::vector<int32_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::vector<QString> track(count);
    for (std::size_t i = 0; i < count; ++i)
        track[i] = m_rows[i].texts[ColTrack];
    auto cmp = [this, &track](int32_t a, int32_t b) {
        const Row &x = m_rows[static_cast<std::size_t>(a)];
        const Row &y = m_rows[static_cast<std::size_t>(b)];
        if (int c = m_keyTexts[static_cast<std::size_t>(x.artistKey)].compare(
                m_keyTexts[static_cast<std::size_t>(y.artistKey)]);
            c != 0)
            return c;
        if (int c = m_keyTexts[static_cast<std::size_t>(x.albumKey)].compare(
                m_keyTexts[static_cast<std::size_t>(y.albumKey)]);
            c != 0)
            return c;
        return track[static_cast<std::size_t>(a)].compare(track[static_cast<std::size_t>(b)]);
    };
    const auto ranks = ranksOf(
        order, [&](int32_t a, int32_t b) { return cmp(a, b) < 0; },
        [&](int32_t a, int32_t b) { return cmp(a, b) == 0; });
    for (std::size_t i = 0; i < count; ++i)
        m_rows[i].browseRank = ranks[i];
    for (auto &columnRanks : m_columnRanks)
        columnRanks.clear();
}

int32_t SongCatalog::internKey(const QString &value)
{
    const QString folded = value.toLower();
    auto it = m_keys.constFind(folded);
    if (it != m_keys.constEnd())
        return *it;
    const auto key = static_cast<int32_t>(m_keyTexts.size());
    m_keys.insert(folded, key);
    m_keyTexts.push_back(folded);
    return key;
}

int32_t SongCatalog::keyOf(const QString &text) const
{
    return m_keys.value(text.toLower(), -1);
}

const std::vector<uint32_t> &SongCatalog::columnRanks(int column) const
{
    auto &ranks = m_columnRanks[static_cast<std::size_t>(column)];
    if (ranks.size() != m_rows.size()) {
        std::vector<QString> keys(m_rows.size());
        for (std::size_t i = 0; i < m_rows.size(); ++i)
            keys[i] = m_rows[i].texts[static_cast<std::size_t>(column)].toLower();
        std::vector<int32_t> order(m_rows.size());
        std::iota(order.begin(), order.end(), 0);
        ranks = ranksOf(
            order,
            [&](int32_t a, int32_t b) { return keys[static_cast<std::size_t>(a)] < keys[static_cast<std::size_t>(b)]; },
            [&](int32_t a, int32_t b) {
                return keys[static_cast<std::size_t>(a)] == keys[static_cast<std::size_t>(b)];
            });
    }
    return ranks;
}

bool SongCatalog::matchesAllWords(int32_t song, const std::vector<QString> &lowerWords) const
{
    const Row &row = m_rows[static_cast<std::size_t>(song)];
    for (const QString &word : lowerWords) {
        if (word.isEmpty())
            continue;
        if (!word.contains(kSeparator)) {
            if (!row.searchText.contains(word))
                return false;
            continue;
        }
        bool found = false;
        for (int c = ColTitle; c < ColumnCount && !found; ++c)
            found = row.texts[static_cast<std::size_t>(c)].toLower().contains(word);
        if (!found)
            return false;
    }
    return true;
}

QString SongCatalog::heading(int column)
{
    static const char *const headings[ColumnCount] = {"Track",           "Title",     "Artist",         "Album",
                                                      "Genre",           "Path",      "Type Of Song",   "iTunes SongID",
                                                      "Length Of Track", "File Size", "Length Of Track"};
    return QString::fromLatin1(headings[column]);
}

} // namespace corvanel::app
