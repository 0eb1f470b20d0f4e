#include "iTunesDBReader.h"

#include "ByteReader.h"
#include "PlayCounts.h"

#include <QSysInfo>

#include <algorithm>
#include <bit>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

namespace corvanel::itunesdb {

namespace {

constexpr uint32_t tagOf(const char (&text)[5])
{
    return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24;
}

constexpr uint32_t TagDatabase = tagOf("mhbd");
constexpr uint32_t TagDataSet = tagOf("mhsd");
constexpr uint32_t TagTrackList = tagOf("mhlt");
constexpr uint32_t TagTrack = tagOf("mhit");
constexpr uint32_t TagDataObject = tagOf("mhod");
constexpr uint32_t TagPlaylistList = tagOf("mhlp");
constexpr uint32_t TagPlaylist = tagOf("mhyp");
constexpr uint32_t TagPlaylistItem = tagOf("mhip");

// Data-set types: only these two are walked.
constexpr int32_t DataSetTracks = 1;
constexpr int32_t DataSetPlaylists = 2;

// Data-object types of the track section.
enum : int32_t {
    ObjectTitle = 1,
    ObjectLocation = 2,
    ObjectAlbum = 3,
    ObjectArtist = 4,
    ObjectGenre = 5,
    ObjectFileType = 6
};

// Fixed offsets of the fields read.
constexpr qsizetype HeaderLengthAt = 4;
constexpr qsizetype TotalLengthAt = 8;
constexpr qsizetype DataSetTypeAt = 12;
constexpr qsizetype TrackCountAt = 8; // of "mhlt"; only a hint for reserving
constexpr qsizetype TrackIdAt = 16;
constexpr qsizetype TrackLengthAt = 40;
constexpr qsizetype TrackNumberAt = 44;
constexpr qsizetype TrackDbidAt = 112;      // 64-bit
constexpr qsizetype TrackArtworkIdAt = 352; // the ArtworkDB image id, in long headers only
// Play history of "mhit"; each is read only when the header holds it.
constexpr qsizetype RatingAt = 31; // one byte
constexpr qsizetype PlayCountAt = 80;
constexpr qsizetype LastPlayedAt = 88;
constexpr qsizetype SkipCountAt = 156;
constexpr qsizetype LastSkippedAt = 160;
constexpr uint8_t MostRating = 100;
constexpr qsizetype ObjectTypeAt = 12;
constexpr qsizetype StringLengthAt = 28;
constexpr qsizetype StringDataAt = 40;
constexpr qsizetype PlaylistItemCountAt = 16; // of "mhyp"; only a hint for reserving
constexpr qsizetype ItemTrackIdAt = 24;

// The smallest records a well-formed file holds; they bound the reserve hints.
constexpr qsizetype MinTrackRecord = 48;
constexpr qsizetype MinItemRecord = 28;

constexpr int ProgressEvery = 4096; // records between progress calls

// UTF-16LE code units to a string, dropping NUL characters and, for locations, turning
// every ":" into a backslash on the way.
QString decodeUnits(const char *data, qsizetype bytes, bool location)
{
    const qsizetype units = bytes / 2;
    QString text(units, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    qFromLittleEndian<quint16>(data, units, out);
    // Plain loops without early exits: the compiler turns them into vector code.
    bool anyNul = false;
    for (qsizetype i = 0; i < units; ++i)
        anyNul |= out[i] == u'\0';
    if (location) {
        for (qsizetype i = 0; i < units; ++i)
            out[i] = out[i] == u':' ? u'\\' : out[i];
    }
    if (anyNul)
        text.remove(QChar(u'\0'));
    return text;
}

// The decimal text of a track id, as QString::number writes it.
QString idText(int32_t id)
{
    char16_t digits[12];
    qsizetype at = 12;
    int64_t value = id;
    const bool negative = value < 0;
    if (negative)
        value = -value;
    do {
        digits[--at] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value);
    if (negative)
        digits[--at] = u'-';
    return QString(reinterpret_cast<const QChar *>(digits + at), 12 - at);
}

class Walker
{
public:
    // `expectedSize` sizes the walk's caches only: the bytes may still be coming.
    Walker(ByteReader bytes, qsizetype expectedSize, MusicLibrary &library, LoadReport &report)
        : m_in(bytes), m_expectedSize(expectedSize), m_library(library), m_report(report)
    {
    }

    void run(const LoadProgress &progress)
    {
        qsizetype pos = 0;
        qint64 records = 0;
        while (m_in.fits(pos, 1)) {
            const qsizetype step = stepAt(pos);
            if (step < 1) {
                // Unknown tag or a record whose lengths do not hold: slide one byte.
                if (m_report.unknownTags < std::numeric_limits<int>::max())
                    ++m_report.unknownTags;
                ++pos;
            } else {
                pos += step;
            }
            if (progress && ++records % ProgressEvery == 0)
                progress(std::min(pos, m_in.size()), m_in.size());
        }
    }

private:
    // The header length of the record at pos when the header lies inside the file, else 0.
    qsizetype headerStep(qsizetype pos) const
    {
        const int32_t length = m_in.int32At(pos + HeaderLengthAt);
        return length >= 1 && m_in.fits(pos, length) ? length : 0;
    }

    // How many records of at least `record` bytes to make room for: the stored count, when
    // that many fit in the bytes from pos, else as many as fit.
    qsizetype roomFor(qsizetype pos, qsizetype count, qsizetype record) const
    {
        if (count <= 0)
            return 0;
        if (m_in.fits(pos, count * record))
            return count;
        return std::max<qsizetype>(m_in.size() - pos, 0) / record;
    }

    // A count stored unsigned, kept within the song's signed field.
    int32_t countAt(qsizetype at) const
    {
        return static_cast<int32_t>(std::min<uint32_t>(m_in.uint32At(at), std::numeric_limits<int32_t>::max()));
    }

    // Handles the record at pos; returns its step, or 0 when it is to be slid over.
    qsizetype stepAt(qsizetype pos)
    {
        if (!m_in.fits(pos, 8))
            return 0;
        switch (m_in.uint32At(pos)) {
        case TagDatabase:
            return headerStep(pos);
        case TagDataSet:
            return dataSet(pos);
        case TagTrackList:
            return trackList(pos);
        case TagTrack:
            return track(pos);
        case TagDataObject:
            return dataObject(pos);
        case TagPlaylistList: {
            const qsizetype step = headerStep(pos);
            if (step)
                m_inPlaylists = true;
            return step;
        }
        case TagPlaylist:
            return playlist(pos);
        case TagPlaylistItem:
            return playlistItem(pos);
        default:
            return 0;
        }
    }

    qsizetype dataSet(qsizetype pos)
    {
        if (!m_in.fits(pos, DataSetTypeAt + 4))
            return 0;
        const int32_t type = m_in.int32At(pos + DataSetTypeAt);
        if (type == DataSetTracks || type == DataSetPlaylists) {
            const qsizetype step = headerStep(pos);
            // A track data set holds tracks whatever came before it.
            if (step && type == DataSetTracks)
                m_inPlaylists = false;
            return step;
        }
        // Album lists, podcast and smart playlist copies and newer sets: stepped over whole.
        const int32_t total = m_in.int32At(pos + TotalLengthAt);
        return total >= 1 && m_in.fits(pos, total) ? total : 0;
    }

    qsizetype trackList(qsizetype pos)
    {
        const qsizetype step = headerStep(pos);
        if (step && m_in.fits(pos, TrackCountAt + 4)) {
            const qsizetype room = roomFor(pos, m_in.int32At(pos + TrackCountAt), MinTrackRecord);
            m_library.Songs.reserve(m_library.Songs.size() + static_cast<std::size_t>(room));
        }
        return step;
    }

    qsizetype track(qsizetype pos)
    {
        const qsizetype step = headerStep(pos);
        if (!step || !m_in.fits(pos, TrackNumberAt + 4))
            return 0;
        Song &song = m_library.addSong();
        song.SongID = m_in.int32At(pos + TrackIdAt);
        song.Length = m_in.int32At(pos + TrackLengthAt);
        song.TrackNumber = m_in.int32At(pos + TrackNumberAt);
        if (step >= TrackDbidAt + 8)
            song.DbId = m_in.uint32At(pos + TrackDbidAt) | uint64_t{m_in.uint32At(pos + TrackDbidAt + 4)} << 32;
        if (step >= TrackArtworkIdAt + 4)
            song.ArtworkId = m_in.uint32At(pos + TrackArtworkIdAt);
        if (step > RatingAt)
            song.Rating = std::min(static_cast<uint8_t>(m_in.data()[pos + RatingAt]), MostRating);
        if (step >= LastPlayedAt + 4) {
            song.PlayCount = countAt(pos + PlayCountAt);
            song.LastPlayed = unixFromMacTime(m_in.uint32At(pos + LastPlayedAt));
        }
        if (step >= LastSkippedAt + 4) {
            song.SkipCount = countAt(pos + SkipCountAt);
            song.LastSkipped = unixFromMacTime(m_in.uint32At(pos + LastSkippedAt));
        }
        return step;
    }

    // The raw string of the data object at pos, when it lies inside the record of `total` bytes.
    std::optional<std::string_view> rawStringOf(qsizetype pos, qsizetype total) const
    {
        if (total < StringDataAt)
            return std::nullopt;
        const int32_t length = m_in.int32At(pos + StringLengthAt);
        if (length < 0 || length > total - StringDataAt)
            return std::nullopt;
        return std::string_view(m_in.data() + pos + StringDataAt, static_cast<std::size_t>(length));
    }

    // Albums, artists, genres and file types repeat from track to track: equal bytes share
    // one string. A small direct-mapped cache keeps the cost of a miss to one hash; a hit is
    // confirmed against the cached text itself (UTF-16LE in memory on this host), not against
    // the earlier bytes of the file, which are long out of the processor's cache.
    QString sharedText(std::string_view raw)
    {
        if constexpr (QSysInfo::ByteOrder != QSysInfo::LittleEndian)
            return decodeUnits(raw.data(), static_cast<qsizetype>(raw.size()), false);
        std::size_t hash = raw.size() * 0x9E3779B97F4A7C15ull;
        const std::size_t sampled = std::min<std::size_t>(raw.size(), 16);
        for (std::size_t i = 0; i < sampled; ++i)
            hash = (hash ^ static_cast<unsigned char>(raw[raw.size() - 1 - i])) * 0x100000001B3ull;
        if (m_shared.empty()) {
            // Sized by the file, so that small files stay cheap to walk.
            const auto wanted = static_cast<std::size_t>(m_expectedSize / 256);
            m_shared.resize(std::clamp<std::size_t>(std::bit_ceil(wanted), MinSharedSlots, MaxSharedSlots));
        }
        SharedSlot &slot = m_shared[(hash >> 20) & (m_shared.size() - 1)];
        if (slot.hash == hash && slot.filled && static_cast<std::size_t>(slot.text.size()) * 2 == raw.size() &&
            std::memcmp(slot.text.constData(), raw.data(), raw.size()) == 0)
            return slot.text;
        QString text = decodeUnits(raw.data(), static_cast<qsizetype>(raw.size()), false);
        // Texts that lost NUL characters or an odd byte are not cached: they could not be confirmed.
        if (static_cast<std::size_t>(text.size()) * 2 == raw.size()) {
            slot.hash = hash;
            slot.filled = true;
            slot.text = text;
        }
        return text;
    }

    qsizetype dataObject(qsizetype pos)
    {
        if (!m_in.fits(pos, ObjectTypeAt + 4))
            return 0;
        const int32_t total = m_in.int32At(pos + TotalLengthAt);
        if (total < 1 || !m_in.fits(pos, total))
            return 0;
        const int32_t type = m_in.int32At(pos + ObjectTypeAt);
        if (m_inPlaylists) {
            if (type == ObjectTitle && !playlistName(pos, total))
                return 0;
            return total;
        }
        if (type < ObjectTitle || type > ObjectFileType)
            return total;
        const auto raw = rawStringOf(pos, total);
        if (!raw)
            return 0;
        // A string before the first track belongs to no song.
        if (m_library.Songs.empty())
            return total;
        Song &song = m_library.Songs.back();
        const auto rawSize = static_cast<qsizetype>(raw->size());
        switch (type) {
        case ObjectTitle:
            song.Title = decodeUnits(raw->data(), rawSize, false);
            break;
        case ObjectLocation:
            song.Path = decodeUnits(raw->data(), rawSize, true);
            break;
        case ObjectAlbum:
            song.Album = sharedText(*raw);
            break;
        case ObjectArtist:
            song.Artist = sharedText(*raw);
            if (song.Artist.isEmpty())
                song.Artist = QStringLiteral("No Artist");
            break;
        case ObjectGenre:
            song.Genre = sharedText(*raw);
            if (song.Genre.isEmpty())
                song.Genre = QStringLiteral("No Genre");
            break;
        case ObjectFileType:
            song.FileType = sharedText(*raw);
            break;
        default:
            break;
        }
        return total;
    }

    bool playlistName(qsizetype pos, qsizetype total)
    {
        const auto raw = rawStringOf(pos, total);
        if (!raw)
            return false;
        QString name = decodeUnits(raw->data(), static_cast<qsizetype>(raw->size()), false);
        if (m_library.Playlists.empty()) {
            m_report.add(LoadProblem::Kind::PlaylistItemWithoutPlaylist,
                         QStringLiteral("playlist name at byte %1").arg(pos));
            return true;
        }
        if (!m_masterNamed) {
            // The first playlist is the master; its name is the iPod's name.
            m_masterNamed = true;
            m_library.iPodName = name;
            name = QStringLiteral(":: ") + name + QStringLiteral(" ::");
        }
        m_library.Playlists.back()->Name = std::move(name);
        return true;
    }

    qsizetype playlist(qsizetype pos)
    {
        const qsizetype step = headerStep(pos);
        if (!step)
            return 0;
        clsPlayList &list = m_library.addPlaylist();
        if (m_in.fits(pos, PlaylistItemCountAt + 4))
            list.SongIDs.reserve(
                static_cast<std::size_t>(roomFor(pos, m_in.int32At(pos + PlaylistItemCountAt), MinItemRecord)));
        return step;
    }

    qsizetype playlistItem(qsizetype pos)
    {
        const qsizetype step = headerStep(pos);
        if (!step || !m_in.fits(pos, ItemTrackIdAt + 4))
            return 0;
        const int32_t id = m_in.int32At(pos + ItemTrackIdAt);
        if (m_library.Playlists.empty())
            m_report.add(LoadProblem::Kind::PlaylistItemWithoutPlaylist, QString::number(id));
        else
            m_library.Playlists.back()->SongIDs.AddItem(idText(id));
        return step;
    }

    ByteReader m_in;
    qsizetype m_expectedSize;
    MusicLibrary &m_library;
    LoadReport &m_report;
    bool m_inPlaylists = false;
    bool m_masterNamed = false;
    struct SharedSlot
    {
        std::size_t hash = 0;
        bool filled = false;
        QString text;
    };
    static constexpr std::size_t MinSharedSlots = 16;
    static constexpr std::size_t MaxSharedSlots = 16384;
    std::vector<SharedSlot> m_shared; // a power of two in size once used
};

} // namespace

QString decodeITunesString(const char *data, qsizetype bytes)
{
    return decodeUnits(data, bytes, false);
}

void walkITunesDb(QByteArrayView bytes, MusicLibrary &library, NativePathResolver *sizes, LoadReport &report,
                  const LoadProgress &progress)
{
    if (bytes.size() < 4 || std::memcmp(bytes.data(), "mhbd", 4) != 0)
        return;
    report.isDatabase = true;
    const int32_t first = library.SongCount;
    Walker(ByteReader(bytes), bytes.size(), library, report).run(progress);
    if (sizes)
        measureFileSizes(library, first, *sizes, report, progress);
}

void walkITunesDb(ByteSource &bytes, qsizetype expectedSize, MusicLibrary &library, LoadReport &report,
                  const LoadProgress &progress)
{
    const ByteReader in(bytes);
    if (!in.fits(0, 4) || std::memcmp(in.data(), "mhbd", 4) != 0)
        return;
    report.isDatabase = true;
    Walker(in, expectedSize, library, report).run(progress);
}

namespace {
// The size of one song's file; 0 for a song without a location, and for a file that cannot be
// measured, which is also counted.
double measureSongFile(NativePathResolver &sizes, const QString &path, LoadReport &report)
{
    if (path.isEmpty())
        return 0;
    if (const auto size = sizes.fileSize(path))
        return static_cast<double>(*size);
    report.add(LoadProblem::Kind::SongFileUnreadable, path);
    return 0;
}
} // namespace

void measureFileSizes(MusicLibrary &library, int32_t first, NativePathResolver &sizes, LoadReport &report,
                      const LoadProgress &progress)
{
    const int32_t count = library.SongCount;
    for (int32_t i = std::max(first, 0); i < count; ++i) {
        Song &song = library.Songs[static_cast<std::size_t>(i)];
        song.FileSize = measureSongFile(sizes, song.Path, report);
        if (progress && (i + 1) % ProgressEvery == 0)
            progress(i + 1, count);
    }
}

std::vector<double> measureSongFiles(const QString &iPodDrive, const std::vector<QString> &paths, LoadReport &report,
                                     const std::atomic<bool> *cancel)
{
    NativePathResolver sizes(iPodDrive);
    std::vector<double> measured(paths.size(), 0.0);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            break;
        measured[i] = measureSongFile(sizes, paths[i], report);
    }
    return measured;
}

} // namespace corvanel::itunesdb
