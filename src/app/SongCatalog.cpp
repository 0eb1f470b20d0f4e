#include "SongCatalog.h"
#include "TimeText.h"

#include <algorithm>
#include <numeric>
#include <thread>

namespace corvanel::app {

namespace {
// Joins the searchable columns; a word containing it is checked column by column.
constexpr QChar kSeparator(0x1F);
// From this many new songs on, their texts are made by two threads.
constexpr std::size_t kSharedFillRows = 8192;

QString trackText(int32_t trackNumber)
{
    return trackNumber != 0 ? TwoDigits(trackNumber) : QStringLiteral("  ");
}

QString sizeText(double bytes)
{
    return QString::number(static_cast<qint64>(bytes / 1024.0)) + QStringLiteral(" kb");
}

bool isAscii(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// Appends text lower-cased as QString::toLower does. Nearly every tag is plain ASCII, which is
// mapped here directly: Qt's general mapping looks every character up in its tables, and a
// large library has millions of them.
void appendFolded(QString &out, const QString &text)
{
    if (!isAscii(text)) {
        out += text.toLower();
        return;
    }
    const qsizetype at = out.size();
    out.resize(at + text.size());
    QChar *to = out.data() + at;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        *to++ = QChar(u >= u'A' && u <= u'Z' ? char16_t(u + 0x20) : u);
    }
}

// A song's search text: columns 1 to 10 in order, but the size, which may come later and is
// searched on its own (its text has no capitals). The numbers have no capitals either.
void appendSearchText(QString &out, const std::array<const QString *, 6> &texts, int64_t id, int32_t length)
{
    for (const QString *column : texts) {
        if (column != texts.front())
            out += kSeparator;
        appendFolded(out, *column);
    }
    out += kSeparator;
    appendNumber(out, id); // as songIdText writes it
    out += kSeparator;
    appendNumber(out, length);
    out += kSeparator;
    appendTime(out, length);
}

void appendSearchText(QString &out, const Song &song)
{
    appendSearchText(out, {&song.Title, &song.Artist, &song.Album, &song.Genre, &song.Path, &song.FileType},
                     static_cast<int64_t>(song.SongID), song.Length);
}

// The position of each text in the texts' sorted order (compared as QString::compare does).
std::vector<uint32_t> sortedPositions(const std::vector<QString> &texts)
{
    std::vector<uint32_t> order(texts.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return texts[a].compare(texts[b]) < 0; });
    std::vector<uint32_t> position(texts.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        position[order[i]] = static_cast<uint32_t>(i);
    return position;
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

QString foldCase(const QString &text)
{
    if (!isAscii(text))
        return text.toLower();
    QString folded;
    folded.reserve(text.size());
    appendFolded(folded, text);
    return folded;
}

// What one share of the songs gives: their search texts, one after the other in one block, and
// their keys, which are values told apart by where their text lives. The reader makes each
// repeated value once, so songs that share a value mostly share the very string, and songs in
// a row mostly the same one: neither costs any hashing of the text. The songs keep every
// string alive meanwhile.
struct SongCatalog::Share
{
    QString searchBlock;
    QHash<std::pair<const void *, qsizetype>, int32_t> byData;
    std::vector<const QString *> values;           // local key -> one song's text
    std::vector<std::array<int32_t, 3>> localKeys; // genre, artist, album of each song
    std::array<std::pair<const void *, qsizetype>, 3> last{};
    std::array<int32_t, 3> lastKey{-1, -1, -1};

    int32_t localKey(std::size_t field, const QString &value)
    {
        const std::pair<const void *, qsizetype> where{value.constData(), value.size()};
        if (lastKey[field] >= 0 && last[field] == where)
            return lastKey[field];
        auto it = byData.constFind(where);
        if (it == byData.constEnd()) {
            it = byData.insert(where, static_cast<int32_t>(values.size()));
            values.push_back(&value);
        }
        last[field] = where;
        lastKey[field] = *it;
        return *it;
    }
};

SongCatalog::SongCatalog(const MusicLibrary &library, bool laterWork)
    : m_library(library), m_sizesPendingBelow(laterWork ? library.SongCount : 0),
      m_searchPendingBelow(laterWork ? library.SongCount : 0)
{
    extend();
}

void SongCatalog::rebuild()
{
    // A library read anew comes with its sizes, and its texts are made as the rows are.
    m_sizesPendingBelow = 0;
    m_searchPendingBelow = 0;
    m_searchBlocks.clear();
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
    // A row depends on its song alone: a large library is shared out to a second thread. The
    // keys each share found are then made the catalog's, in order.
    std::array<Share, 2> shares;
    std::array<std::size_t, 3> bounds{first, count, count};
    if (count - first >= kSharedFillRows) {
        bounds[1] = first + (count - first) / 2;
        std::thread helper([&] { fillRows(bounds[0], bounds[1], shares[0]); });
        fillRows(bounds[1], bounds[2], shares[1]);
        helper.join();
    } else {
        fillRows(first, count, shares[0]);
    }
    for (std::size_t p = 0; p < shares.size() && bounds[p] < bounds[p + 1]; ++p) {
        std::vector<int32_t> key(shares[p].values.size());
        for (std::size_t k = 0; k < key.size(); ++k)
            key[k] = internKey(*shares[p].values[k]);
        const auto block = static_cast<uint32_t>(m_searchBlocks.size());
        for (std::size_t i = bounds[p]; i < bounds[p + 1]; ++i) {
            const auto &local = shares[p].localKeys[i - bounds[p]];
            Row &row = m_rows[i];
            row.genreKey = key[static_cast<std::size_t>(local[0])];
            row.artistKey = key[static_cast<std::size_t>(local[1])];
            row.albumKey = key[static_cast<std::size_t>(local[2])];
            row.searchBlock = block;
        }
        m_searchBlocks.push_back(std::move(shares[p].searchBlock));
    }
    rankForBrowsing();
    for (auto &columnRanks : m_columnRanks)
        columnRanks.clear();
}

void SongCatalog::fillRows(std::size_t from, std::size_t to, Share &share)
{
    share.localKeys.reserve(to - from);
    if (static_cast<int32_t>(to) > m_searchPendingBelow)
        share.searchBlock.reserve(static_cast<qsizetype>(to - from) * 160);
    for (std::size_t i = from; i < to; ++i) {
        const Song &song = m_library.Songs[i];
        Row &row = m_rows[i];
        if (static_cast<int32_t>(i) >= m_sizesPendingBelow)
            row.sizeText = sizeText(song.FileSize);
        if (static_cast<int32_t>(i) >= m_searchPendingBelow) {
            row.searchAt = static_cast<uint32_t>(share.searchBlock.size());
            appendSearchText(share.searchBlock, song);
            row.searchLength = static_cast<uint32_t>(share.searchBlock.size()) - row.searchAt;
        }
        share.localKeys.push_back(
            {share.localKey(0, song.Genre), share.localKey(1, song.Artist), share.localKey(2, song.Album)});
    }
}

QString SongCatalog::text(int32_t song, int column) const
{
    const Song &s = m_library.Songs[static_cast<std::size_t>(song)];
    switch (column) {
    case ColTrack:
        return trackText(s.TrackNumber);
    case ColTitle:
        return s.Title;
    case ColArtist:
        return s.Artist;
    case ColAlbum:
        return s.Album;
    case ColGenre:
        return s.Genre;
    case ColPath:
        return s.Path;
    case ColType:
        return s.FileType;
    case ColSongId:
        return songIdText(s.SongID);
    case ColLengthMs:
        return QString::number(s.Length);
    case ColFileSize:
        return m_rows[static_cast<std::size_t>(song)].sizeText;
    case ColLength:
        return ConvertToTime(s.Length);
    default:
        return QString();
    }
}

void SongCatalog::rankForBrowsing()
{
    // The song list's order: artist, then album, then the track text, without regard to case.
    // The distinct values are few, so they are sorted once and the songs by their positions.
    const std::vector<uint32_t> keyPosition = sortedPositions(m_keyTexts);
    QHash<int32_t, uint32_t> trackIds;
    std::vector<QString> trackTexts;
    std::vector<uint32_t> trackOf(m_rows.size());
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const int32_t track = m_library.Songs[i].TrackNumber;
        auto it = trackIds.constFind(track);
        if (it == trackIds.constEnd()) {
            it = trackIds.insert(track, static_cast<uint32_t>(trackTexts.size()));
            trackTexts.push_back(trackText(track));
        }
        trackOf[i] = *it;
    }
    const std::vector<uint32_t> trackPosition = sortedPositions(trackTexts);
    std::vector<std::array<uint32_t, 3>> keys(m_rows.size());
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        keys[i] = {keyPosition[static_cast<std::size_t>(m_rows[i].artistKey)],
                   keyPosition[static_cast<std::size_t>(m_rows[i].albumKey)], trackPosition[trackOf[i]]};
    std::vector<int32_t> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    const auto key = [&keys](int32_t song) -> const std::array<uint32_t, 3> & {
        return keys[static_cast<std::size_t>(song)];
    };
    const auto ranks = ranksOf(
        std::move(order), [&](int32_t a, int32_t b) { return key(a) < key(b); },
        [&](int32_t a, int32_t b) { return key(a) == key(b); });
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        m_rows[i].browseRank = ranks[i];
}

void SongCatalog::refreshFileSizes(int32_t count)
{
    count = std::min(count, songCount());
    for (int32_t i = 0; i < count; ++i)
        m_rows[static_cast<std::size_t>(i)].sizeText = sizeText(m_library.Songs[static_cast<std::size_t>(i)].FileSize);
    m_sizesPendingBelow = 0;
    m_columnRanks[ColFileSize].clear();
}

std::vector<SongCatalog::SearchSource> SongCatalog::searchSources() const
{
    std::vector<SearchSource> sources(static_cast<std::size_t>(m_searchPendingBelow));
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const Song &song = m_library.Songs[i];
        sources[i] = {{song.Title, song.Artist, song.Album, song.Genre, song.Path, song.FileType},
                      static_cast<int64_t>(song.SongID),
                      song.Length};
    }
    return sources;
}

SongCatalog::SearchTexts SongCatalog::makeSearchTexts(const std::vector<SearchSource> &sources)
{
    SearchTexts made;
    made.block.reserve(static_cast<qsizetype>(sources.size()) * 160);
    made.ends.reserve(sources.size());
    for (const SearchSource &source : sources) {
        const auto &t = source.texts;
        appendSearchText(made.block, {&t[0], &t[1], &t[2], &t[3], &t[4], &t[5]}, source.id, source.length);
        made.ends.push_back(static_cast<uint32_t>(made.block.size()));
    }
    return made;
}

void SongCatalog::adoptSearchTexts(SearchTexts texts)
{
    const auto count = std::min<std::size_t>(texts.ends.size(), static_cast<std::size_t>(m_searchPendingBelow));
    const auto block = static_cast<uint32_t>(m_searchBlocks.size());
    for (std::size_t i = 0; i < count; ++i) {
        Row &row = m_rows[i];
        row.searchBlock = block;
        row.searchAt = i == 0 ? 0 : texts.ends[i - 1];
        row.searchLength = texts.ends[i] - row.searchAt;
    }
    m_searchBlocks.push_back(std::move(texts.block));
    m_searchPendingBelow = 0;
}

int32_t SongCatalog::internKey(const QString &value)
{
    // Most songs repeat a value exactly as another song has it: that costs one look-up.
    if (auto exact = m_exactKeys.constFind(value); exact != m_exactKeys.constEnd())
        return *exact;
    const QString folded = foldCase(value);
    auto it = m_keys.constFind(folded);
    if (it == m_keys.constEnd()) {
        it = m_keys.insert(folded, static_cast<int32_t>(m_keyTexts.size()));
        m_keyTexts.push_back(folded);
    }
    m_exactKeys.insert(value, *it);
    return *it;
}

int32_t SongCatalog::keyOf(const QString &text) const
{
    return m_keys.value(foldCase(text), -1);
}

const std::vector<uint32_t> &SongCatalog::columnRanks(int column) const
{
    auto &ranks = m_columnRanks[static_cast<std::size_t>(column)];
    if (ranks.size() != m_rows.size()) {
        std::vector<QString> keys(m_rows.size());
        for (std::size_t i = 0; i < m_rows.size(); ++i)
            keys[i] = foldCase(text(static_cast<int32_t>(i), column));
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
    QString made; // a row whose search text is not in yet has it made here
    for (const QString &word : lowerWords) {
        if (word.isEmpty())
            continue;
        if (!word.contains(kSeparator)) {
            if (song < m_searchPendingBelow && made.isEmpty())
                appendSearchText(made, m_library.Songs[static_cast<std::size_t>(song)]);
            const QStringView searchText =
                song < m_searchPendingBelow
                    ? QStringView(made)
                    : QStringView(m_searchBlocks[row.searchBlock]).mid(row.searchAt, row.searchLength);
            if (!searchText.contains(word) && !row.sizeText.contains(word))
                return false;
            continue;
        }
        bool found = false;
        for (int c = ColTitle; c < ColumnCount && !found; ++c)
            found = text(song, c).toLower().contains(word);
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
