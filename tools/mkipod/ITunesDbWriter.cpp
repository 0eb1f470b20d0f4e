// The iTunesDB, OTGPlaylistInfo, Preferences and SysInfo files as iTunes and libgpod write them.
#include "ByteWriter.h"
#include "IpodBuilder.h"

#include <QSet>
#include <QStringList>
#include <algorithm>
#include <bit>
#include <map>
#include <numeric>
#include <tuple>

namespace mkipod {
namespace {

// 2008-09-09 00:00 UTC in Mac time (seconds since 1904-01-01): every timestamp derives from
// it so that the same input always gives the same bytes.
constexpr uint32_t kMacTime = 3303763200u;
constexpr uint64_t kDatabaseId = 0x5C1E2D3A4B6F7081ull;
constexpr uint64_t kPersistentId = 0x3E7A11C05D2B9F64ull;

enum DataSetType : uint32_t { Tracks = 1, Playlists = 2, PodcastPlaylists = 3, Albums = 4, SmartPlaylists = 5 };

enum MhodType : uint32_t {
    Title = 1,
    Location = 2,
    Album = 3,
    Artist = 4,
    Genre = 5,
    FileType = 6,
    Comment = 8,
    PodcastUrl = 15,
    PodcastRss = 16,
    SmartPrefs = 50,
    SmartRules = 51,
    LibraryIndex = 52,
    LibraryJumpTable = 53,
    PlaylistPosition = 100,
    AlbumAlbum = 200,
    AlbumArtist = 201,
    AlbumSortArtist = 202,
};

uint32_t mhitHeaderLength(Layout layout)
{
    switch (layout) {
    case Layout::Legacy:
        return 0x9C;
    case Layout::Libgpod:
        return 0xF4;
    case Layout::ITunes7:
        break;
    }
    return 0x248;
}

uint32_t mhypHeaderLength(Layout layout)
{
    return layout == Layout::Legacy ? 0x6C : 0xB8;
}

uint64_t playlistId(size_t index)
{
    return 0x2B5D000000000000ull + (uint64_t(index) + 1) * 0x00010F0A3C5B1ull;
}

// The 4-character type marker, stored so that it reads "MP3 " as a big-endian number.
uint32_t fileTypeMarker(const Track &t)
{
    QString kind;
    if (t.location) {
        const QString loc = t.location->toLower();
        if (loc.endsWith(QLatin1String(".m4a")) || loc.endsWith(QLatin1String(".m4p")) ||
            loc.endsWith(QLatin1String(".aac")))
            kind = QStringLiteral("M4A ");
        else if (loc.endsWith(QLatin1String(".wav")))
            kind = QStringLiteral("WAV ");
    }
    if (kind.isEmpty() && t.fileType) {
        if (t.fileType->contains(QLatin1String("AAC")))
            kind = QStringLiteral("M4A ");
        else if (t.fileType->contains(QLatin1String("WAV")))
            kind = QStringLiteral("WAV ");
    }
    if (kind.isEmpty())
        kind = QStringLiteral("MP3 ");
    const QByteArray k = kind.toLatin1();
    return (uint32_t(uint8_t(k[0])) << 24) | (uint32_t(uint8_t(k[1])) << 16) | (uint32_t(uint8_t(k[2])) << 8) |
           uint8_t(k[3]);
}

// A string object: 24-byte header, then position 1, the byte length L, 1 (UTF-16), 0, and L bytes
// of UTF-16LE without a terminator, so total length = 40 + L.
void writeStringMhod(ByteWriter &w, uint32_t type, const QString &s)
{
    const qsizetype at = w.beginRecord("mhod", 0x18);
    w.set32(at + 12, type);
    w.append32(1);
    w.append32(uint32_t(s.size() * 2));
    w.append32(1);
    w.append32(0);
    w.appendUtf16Le(s);
    w.endRecord(at);
}

// Podcast addresses: UTF-8 right after the 24-byte header, total length = 24 + bytes.
void writeUtf8Mhod(ByteWriter &w, uint32_t type, const QString &s)
{
    const qsizetype at = w.beginRecord("mhod", 0x18);
    w.set32(at + 12, type);
    w.appendBytes(s.toUtf8());
    w.endRecord(at);
}

// The per-item position object of a playlist entry (total length 0x2C).
void writePositionMhod(ByteWriter &w, uint32_t position)
{
    const qsizetype at = w.beginRecord("mhod", 0x18);
    w.set32(at + 12, PlaylistPosition);
    w.append32(position);
    w.appendZeros(16);
    w.endRecord(at);
}

// The playlist view settings object that follows a playlist's title (total length 0x288):
// a column table (id, width, sort direction) in an otherwise empty block.
void writePlaylistViewMhod(ByteWriter &w)
{
    const qsizetype at = w.beginRecord("mhod", 0x18);
    w.set32(at + 12, PlaylistPosition);
    w.appendZeros(0x288 - 0x18);
    struct Column
    {
        uint16_t id, width;
    };
    static constexpr Column columns[] = {{0x02, 200}, {0x03, 60}, {0x04, 160}, {0x05, 160}, {0x07, 90}};
    w.set16(at + 0x28, 0);
    w.set16(at + 0x2A, uint16_t(std::size(columns)));
    qsizetype c = at + 0x30;
    for (const Column &col : columns) {
        w.set16(c, col.id);
        w.set16(c + 2, col.width);
        c += 0x10;
    }
    w.endRecord(at);
}

// Smart playlist settings: live update, check rules, no limit, match any item.
void writeSmartPrefsMhod(ByteWriter &w)
{
    const qsizetype at = w.beginRecord("mhod", 0x18);
    w.set32(at + 12, SmartPrefs);
    w.append8(1); // live update
    w.append8(1); // check rules
    w.append8(0); // check limits
    w.append8(3); // limit type: songs
    w.append8(2); // limit sort: random
    w.appendZeros(3);
    w.append32(25); // limit value
    w.appendZeros(0x60 - 0x18 - 12);
    w.endRecord(at);
}

// Smart playlist rules, the only big-endian part of the file: an "SLst" block of 136 bytes and
// one rule "year is greater than 1990" (field 7, action 0x10, a 0x44-byte integer operand).
void writeSmartRulesMhod(ByteWriter &w)
{
    const qsizetype at = w.beginRecord("mhod", 0x18);
    w.set32(at + 12, SmartRules);
    const qsizetype slst = w.size();
    w.appendBytes("SLst", 4);
    w.append32be(0x00010001);
    w.append32be(1); // rules
    w.append32be(0); // match all
    w.appendZeros(136 - (w.size() - slst));
    w.append32be(0x07); // field: year
    w.append32be(0x10); // action: is greater than
    w.appendZeros(44);
    w.append32be(0x44);
    w.append64be(1990); // from value
    w.append64be(0);    // from date
    w.append64be(1);    // from units
    w.append64be(1990); // to value
    w.append64be(0);    // to date
    w.append64be(1);    // to units
    w.appendZeros(20);
    w.endRecord(at);
}

QString sortKey(const std::optional<QString> &s)
{
    if (!s)
        return {};
    QString k = s->toCaseFolded();
    if (k.startsWith(QLatin1String("the ")))
        k.remove(0, 4);
    return k;
}

// The master playlist's library indexes: for each sort order a type 52 object listing the track
// positions (0-based, file order) sorted by that order, and a type 53 jump table of first letters.
// Their offset 28 is an entry count, not a string length.
struct LibraryIndexes
{
    QByteArray bytes;
    uint32_t objects = 0;
};

LibraryIndexes buildLibraryIndexes(const std::vector<Track> &tracks)
{
    ByteWriter w(qsizetype(tracks.size()) * 40 + 1024);
    struct Keys
    {
        QString title, album, artist, genre;
        int32_t track;
    };
    std::vector<Keys> keys;
    keys.reserve(tracks.size());
    for (const Track &t : tracks)
        keys.push_back({sortKey(t.title), sortKey(t.album), sortKey(t.artist), sortKey(t.genre), t.trackNumber});

    enum : uint32_t { ByTitle = 0x03, ByAlbum = 0x04, ByArtist = 0x05, ByGenre = 0x07, ByComposer = 0x12 };
    static constexpr uint32_t orders[] = {ByTitle, ByAlbum, ByArtist, ByGenre, ByComposer};

    auto less = [&](uint32_t order, uint32_t a, uint32_t b) {
        const Keys &x = keys[a];
        const Keys &y = keys[b];
        switch (order) {
        case ByAlbum:
            return std::tie(x.album, x.track, x.title, x.artist) < std::tie(y.album, y.track, y.title, y.artist);
        case ByArtist:
            return std::tie(x.artist, x.album, x.track, x.title) < std::tie(y.artist, y.album, y.track, y.title);
        case ByGenre:
            return std::tie(x.genre, x.artist, x.album, x.track) < std::tie(y.genre, y.artist, y.album, y.track);
        default:
            return std::tie(x.title, x.artist, x.album, x.track) < std::tie(y.title, y.artist, y.album, y.track);
        }
    };
    auto leadKey = [&](uint32_t order, uint32_t i) -> const QString & {
        switch (order) {
        case ByAlbum:
            return keys[i].album;
        case ByArtist:
            return keys[i].artist;
        case ByGenre:
            return keys[i].genre;
        default:
            return keys[i].title;
        }
    };

    uint32_t written = 0;
    std::vector<uint32_t> idx(tracks.size());
    for (uint32_t order : orders) {
        std::iota(idx.begin(), idx.end(), 0u);
        std::stable_sort(idx.begin(), idx.end(), [&](uint32_t a, uint32_t b) { return less(order, a, b); });

        qsizetype at = w.beginRecord("mhod", 0x18);
        w.set32(at + 12, LibraryIndex);
        w.append32(order);
        w.append32(uint32_t(idx.size()));
        w.appendZeros(40);
        for (uint32_t i : idx)
            w.append32(i);
        w.endRecord(at);
        ++written;

        struct Jump
        {
            char16_t letter;
            uint32_t start, count;
        };
        std::vector<Jump> jumps;
        for (uint32_t n = 0; n < idx.size(); ++n) {
            const QString &k = leadKey(order, idx[n]);
            const char16_t letter = k.isEmpty() ? u' ' : k.at(0).toUpper().unicode();
            if (jumps.empty() || jumps.back().letter != letter)
                jumps.push_back({letter, n, 0});
            ++jumps.back().count;
        }
        at = w.beginRecord("mhod", 0x18);
        w.set32(at + 12, LibraryJumpTable);
        w.append32(order);
        w.append32(uint32_t(jumps.size()));
        w.appendZeros(8);
        for (const Jump &j : jumps) {
            w.append16(j.letter);
            w.append16(0);
            w.append32(j.start);
            w.append32(j.count);
        }
        w.endRecord(at);
        ++written;
    }
    return {w.take(), written};
}

} // namespace

uint32_t lastPlayedOf(const Track &t)
{
    return t.playCount > 0 ? kMacTime + uint32_t(t.id % 86400) + 86400 : 0;
}

uint32_t lastSkippedOf(const Track &t)
{
    return t.skipCount > 0 ? kMacTime + uint32_t(t.id % 86400) + 2 * 86400 : 0;
}

namespace {

void writeTrack(ByteWriter &w, const Track &t, Layout layout)
{
    const uint32_t header = mhitHeaderLength(layout);
    const qsizetype at = w.beginRecord("mhit", header);
    const bool aac = fileTypeMarker(t) == 0x4D344120u;
    const bool mp3 = fileTypeMarker(t) == 0x4D503320u;
    const uint32_t added = kMacTime + uint32_t(t.id % 86400);
    w.set32(at + 16, uint32_t(t.id));
    w.set32(at + 20, 1); // visible
    w.set32(at + 24, fileTypeMarker(t));
    w.set8(at + 28, 0); // constant bit rate
    w.set8(at + 29, mp3 ? 1 : 0);
    w.set8(at + 30, 0); // not a compilation
    w.set8(at + 31, uint8_t(t.rating));
    w.set32(at + 32, added + 3600); // modified
    w.set32(at + 36, uint32_t(t.sizeBytes));
    w.set32(at + 40, uint32_t(t.lengthMs));
    w.set32(at + 44, uint32_t(t.trackNumber));
    w.set32(at + 48, uint32_t(t.totalTracks));
    w.set32(at + 52, uint32_t(t.year));
    w.set32(at + 56, uint32_t(t.bitrate));
    w.set32(at + 60, uint32_t(t.sampleRate) << 16);
    w.set32(at + 80, uint32_t(t.playCount));
    w.set32(at + 84, uint32_t(t.playCount));
    w.set32(at + 88, lastPlayedOf(t));
    w.set32(at + 92, 1); // disc 1 of 1
    w.set32(at + 96, 1);
    w.set32(at + 104, added); // added
    w.set64(at + 112, trackDbid(t.id));
    w.set32(at + 136, std::bit_cast<uint32_t>(float(t.sampleRate)));
    if (header >= 0xF4) {
        if (t.podcast) {
            w.set8(at + 165, 1);                       // skip when shuffling
            w.set8(at + 166, 1);                       // remember playback position
            w.set8(at + 178, t.playCount > 0 ? 1 : 2); // played / unplayed mark
        }
        w.set32(at + 156, uint32_t(t.skipCount));
        w.set32(at + 160, lastSkippedOf(t));
        w.set64(at + 168, trackDbid(t.id));
        const uint64_t samples = uint64_t(t.lengthMs) * uint64_t(t.sampleRate) / 1000u;
        w.set64(at + 188, samples);
        w.set32(at + 208, t.podcast ? 4 : 1); // media type: podcast / audio
    }
    if (header >= 0x148 && aac)
        w.set32(at + 248, 0); // gapless data: none
    if (t.artworkId != 0 && header >= 0x164) {
        w.set16(at + 124, 1);           // one image
        w.set8(at + 164, 1);            // has artwork
        w.set32(at + 352, t.artworkId); // the ArtworkDB image
    }

    uint32_t count = 0;
    auto str = [&](uint32_t type, const std::optional<QString> &s) {
        if (s) {
            writeStringMhod(w, type, *s);
            ++count;
        }
    };
    str(Title, t.title);
    str(Location, t.location);
    str(Album, t.album);
    str(Artist, t.artist);
    str(Genre, t.genre);
    str(FileType, t.fileType);
    str(Comment, t.comment);
    if (t.podcastUrl) {
        writeUtf8Mhod(w, PodcastUrl, *t.podcastUrl);
        ++count;
    }
    if (t.podcastRss) {
        writeUtf8Mhod(w, PodcastRss, *t.podcastRss);
        ++count;
    }
    w.set32(at + 12, count);
    w.endRecord(at);
}

struct PlaylistContext
{
    Layout layout;
    uint32_t dataSet;
    const std::vector<Track> *tracks;
    uint32_t *nextItemId;
    const LibraryIndexes *indexes; // the master's sort indexes, built once for both playlist data sets
};

void writeItem(ByteWriter &w, const PlaylistContext &ctx, int32_t trackId, uint32_t position, uint32_t groupRef)
{
    const qsizetype at = w.beginRecord("mhip", 0x4C);
    w.set32(at + 12, 1);
    w.set32(at + 20, (*ctx.nextItemId)++);
    w.set32(at + 24, uint32_t(trackId));
    w.set32(at + 28, kMacTime + position);
    w.set32(at + 32, groupRef);
    writePositionMhod(w, position);
    w.endRecord(at);
}

void writePlaylist(ByteWriter &w, const PlaylistContext &ctx, const Playlist &pl, size_t index)
{
    const qsizetype at = w.beginRecord("mhyp", mhypHeaderLength(ctx.layout));
    w.set8(at + 20, pl.master ? 1 : 0);
    w.set32(at + 24, kMacTime + uint32_t(index) * 60);
    w.set64(at + 28, playlistId(index));
    w.set16(at + 40, 1); // string objects
    w.set16(at + 42, pl.podcastFlag ? 1 : 0);
    w.set32(at + 44, pl.master ? 5 : 1); // sort order
    if (ctx.dataSet == SmartPlaylists && ctx.layout != Layout::Legacy)
        w.set16(at + 0x50, uint16_t(index + 1)); // built-in list kind

    uint32_t mhods = 0;
    writeStringMhod(w, Title, pl.name);
    ++mhods;
    if (pl.smart) {
        writeSmartPrefsMhod(w);
        writeSmartRulesMhod(w);
        mhods += 2;
    }
    writePlaylistViewMhod(w);
    ++mhods;
    if (pl.master && ctx.indexes) {
        w.appendBytes(ctx.indexes->bytes);
        mhods += ctx.indexes->objects;
    }

    uint32_t items = 0;
    if (pl.podcastFlag && ctx.dataSet == PodcastPlaylists) {
        // The podcast view groups episodes under one header item per show (the album).
        std::map<int32_t, const Track *> byId;
        for (const Track &t : *ctx.tracks)
            byId.emplace(t.id, &t);
        std::vector<QString> shows;
        std::vector<std::vector<int32_t>> episodes;
        for (int32_t id : pl.trackIds) {
            const auto it = byId.find(id);
            const QString show = (it != byId.end() && it->second->album) ? *it->second->album : QString();
            auto s = std::find(shows.begin(), shows.end(), show);
            if (s == shows.end()) {
                shows.push_back(show);
                episodes.emplace_back();
                s = shows.end() - 1;
            }
            episodes[size_t(s - shows.begin())].push_back(id);
        }
        uint32_t position = 0;
        for (size_t s = 0; s < shows.size(); ++s) {
            const uint32_t groupId = (*ctx.nextItemId)++;
            const qsizetype h = w.beginRecord("mhip", 0x4C);
            w.set32(h + 12, 1);
            w.set32(h + 16, 0x100); // podcast group header
            w.set32(h + 20, groupId);
            w.set32(h + 28, kMacTime);
            writeStringMhod(w, Title, shows[s]);
            w.endRecord(h);
            ++items;
            for (int32_t id : episodes[s]) {
                writeItem(w, ctx, id, position++, groupId);
                ++items;
            }
        }
    } else {
        uint32_t position = 0;
        for (int32_t id : pl.trackIds) {
            writeItem(w, ctx, id, position++, 0);
            ++items;
        }
    }
    w.set32(at + 12, mhods);
    w.set32(at + 16, items);
    w.endRecord(at);
}

void writePlaylistDataSet(ByteWriter &w, const Database &db, uint32_t type, const std::vector<Playlist> &lists,
                          uint32_t *nextItemId, const LibraryIndexes *indexes)
{
    const qsizetype ds = w.beginRecord("mhsd", 0x60);
    w.set32(ds + 12, type);
    const qsizetype list = w.beginRecord("mhlp", 0x5C);
    w.set32(list + 8, uint32_t(lists.size()));
    const PlaylistContext ctx{db.layout, type, &db.tracks, nextItemId, indexes};
    for (size_t i = 0; i < lists.size(); ++i)
        writePlaylist(w, ctx, lists[i], i);
    w.endRecord(ds);
}

void writeTrackDataSet(ByteWriter &w, const Database &db)
{
    const qsizetype ds = w.beginRecord("mhsd", 0x60);
    w.set32(ds + 12, Tracks);
    const qsizetype list = w.beginRecord("mhlt", 0x5C);
    w.set32(list + 8, uint32_t(db.tracks.size()));
    for (const Track &t : db.tracks)
        writeTrack(w, t, db.layout);
    w.endRecord(ds);
}

QString sortArtist(const QString &artist)
{
    return artist.startsWith(QLatin1String("The "), Qt::CaseInsensitive) ? artist.mid(4) : artist;
}

// One album item per distinct album and artist, in the order of their first track.
void writeAlbumDataSet(ByteWriter &w, const Database &db)
{
    std::vector<std::pair<QString, QString>> albums;
    QSet<QString> seen;
    for (const Track &t : db.tracks) {
        if (!t.album)
            continue;
        const QString artist = t.artist.value_or(QString());
        const QString key = *t.album + QChar(0x1F) + artist;
        if (!seen.contains(key)) {
            seen.insert(key);
            albums.emplace_back(*t.album, artist);
        }
    }
    const qsizetype ds = w.beginRecord("mhsd", 0x60);
    w.set32(ds + 12, Albums);
    const qsizetype list = w.beginRecord("mhla", 0x5C);
    w.set32(list + 8, uint32_t(albums.size()));
    uint32_t albumId = 0x5A00;
    for (const auto &[album, artist] : albums) {
        const qsizetype at = w.beginRecord("mhia", 0x58);
        w.set32(at + 16, albumId);
        w.set64(at + 20, trackDbid(int32_t(albumId)) ^ 0x51ull);
        w.set32(at + 28, 2);
        ++albumId;
        uint32_t mhods = 0;
        writeStringMhod(w, AlbumAlbum, album);
        ++mhods;
        if (!artist.isEmpty()) {
            writeStringMhod(w, AlbumArtist, artist);
            writeStringMhod(w, AlbumSortArtist, sortArtist(artist));
            mhods += 2;
        }
        w.set32(at + 12, mhods);
        w.endRecord(at);
    }
    w.endRecord(ds);
}

} // namespace

uint64_t trackDbid(int32_t id)
{
    return 0x7A3C000000000000ull ^ (uint64_t(uint32_t(id)) * 0x9E3779B97F4A7C15ull);
}

QByteArray buildITunesDb(const Database &db)
{
    try {
        const std::vector<Playlist> &podcastLists = db.podcastPlaylists.empty() ? db.playlists : db.podcastPlaylists;
        qsizetype items = 0;
        for (const Playlist &p : db.playlists)
            items += qsizetype(p.trackIds.size());
        ByteWriter w(qsizetype(db.tracks.size()) * 1100 + items * 2 * 0x78 + 65536);
        const bool legacy = db.layout == Layout::Legacy;
        const qsizetype at = w.beginRecord("mhbd", legacy ? 0x68 : 0xBC);
        w.set32(at + 12, 1);
        w.set32(at + 16, db.version);
        w.set64(at + 24, kDatabaseId);
        w.set32(at + 32, 2);
        w.setBytes(at + 0x46, "en", 2);
        w.set64(at + 0x48, kPersistentId);

        int32_t maxId = 0;
        for (const Track &t : db.tracks)
            maxId = std::max(maxId, t.id);
        uint32_t nextItemId = uint32_t(maxId) + 1000;

        uint32_t dataSets = 0;
        switch (db.layout) {
        case Layout::Legacy:
            writeTrackDataSet(w, db);
            writePlaylistDataSet(w, db, Playlists, db.playlists, &nextItemId, nullptr);
            dataSets = 2;
            break;
        case Layout::Libgpod:
            writeTrackDataSet(w, db);
            writePlaylistDataSet(w, db, PodcastPlaylists, podcastLists, &nextItemId, nullptr);
            writePlaylistDataSet(w, db, Playlists, db.playlists, &nextItemId, nullptr);
            dataSets = 3;
            break;
        case Layout::ITunes7: {
            const LibraryIndexes indexes = buildLibraryIndexes(db.tracks);
            writeAlbumDataSet(w, db);
            writeTrackDataSet(w, db);
            writePlaylistDataSet(w, db, PodcastPlaylists, podcastLists, &nextItemId, &indexes);
            writePlaylistDataSet(w, db, Playlists, db.playlists, &nextItemId, &indexes);
            writePlaylistDataSet(w, db, SmartPlaylists, db.smartPlaylists, &nextItemId, nullptr);
            dataSets = 5;
            break;
        }
        }
        w.set32(at + 20, dataSets);
        w.endRecord(at);
        return w.take();
    } catch (...) {
        return {};
    }
}

QByteArray buildOnTheGo(const std::vector<int32_t> &songIndexes)
{
    ByteWriter w;
    w.appendBytes("mhpo", 4);
    w.append32(0x14);
    w.append32(4);
    w.append32(uint32_t(songIndexes.size()));
    w.append32(0);
    for (int32_t i : songIndexes)
        w.append32(uint32_t(i));
    return w.take();
}

QByteArray buildPreferences(uint8_t backlight)
{
    // Shuffle (24, 137), repeat (20), equaliser (2272, 2282) and sound check (2838) stay 0.
    QByteArray prefs(2960, '\0');
    prefs[2796] = char(63); // contrast
    prefs[2800] = char(backlight);
    return prefs;
}

QByteArray buildSysInfo(const QString &modelNumber, const QString &serial)
{
    QString model = modelNumber;
    if (!model.startsWith(QLatin1Char('M')) && !model.startsWith(QLatin1Char('x')))
        model.prepend(QLatin1Char('M'));
    const QStringList lines = {
        QStringLiteral("BoardHwName: iPod Q98"),
        QStringLiteral("pszSerialNumber: ") + serial,
        QStringLiteral("ModelNumStr: ") + model,
        QStringLiteral("FirewireGuid: 0x000A27001B5C3E71"),
        QStringLiteral("HddFirmwareRev: BU004A"),
        QStringLiteral("RegionCode: LL(0x0001)"),
        QStringLiteral("PolicyFlags: 0x00000000"),
        QStringLiteral("buildID: 0x06138000 (6.1.3)"),
        QStringLiteral("visibleBuildID: 0x01138000 (1.1.3)"),
        QStringLiteral("boot2Version: 0x00020000 (2.0.0)"),
        QStringLiteral("bootLoaderImageVersion: 0x00010000 (1.0.0)"),
    };
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

} // namespace mkipod
