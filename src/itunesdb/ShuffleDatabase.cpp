#include "ShuffleDatabase.h"
#include "ByteReader.h"
#include "FileImage.h"
#include "ParseiTunesDB.h"
#include "PlayCounts.h"

#include <NativePath.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cstring>

namespace corvanel::itunesdb {

namespace {

// The 1st and 2nd generation's layout (big-endian, 24-bit numbers).
constexpr qsizetype FixedHeader = 18;
constexpr qsizetype FixedHeaderLengthAt = 6;
constexpr qsizetype FixedEntry = 558;
constexpr qsizetype FixedFileTypeAt = 27;
constexpr qsizetype FixedPathAt = 33;
constexpr qsizetype FixedPathBytes = 522;

// The 3rd and 4th generation's chunks (little-endian).
constexpr qsizetype ChunkedHeader = 0x30;
constexpr qsizetype TrackHeaderOffsetAt = 0x24;
constexpr qsizetype PlaylistHeaderOffsetAt = 0x28;
constexpr qsizetype ListCountAt = 8;      // of "hths", "hphs" and "lphs"
constexpr qsizetype OffsetsAt = 20;       // of "hths" and "hphs"
constexpr qsizetype TrackFileTypeAt = 20; // of "rths"
constexpr qsizetype TrackPathAt = 24;
constexpr qsizetype TrackPathBytes = 256;
constexpr qsizetype PlaylistTypeAt = 24; // of "lphs"
constexpr qsizetype PlaylistTracksAt = 44;

// A song list is a few hundred kilobytes; anything far larger is not one.
constexpr qint64 LargestList = qint64(64) << 20;

class ListReader
{
public:
    explicit ListReader(QByteArrayView bytes) : m_in(bytes) {}

    std::expected<ShuffleList, QString> read()
    {
        if (m_in.fits(0, 4) && std::memcmp(m_in.data(), "bdhs", 4) == 0)
            readChunked();
        else if (m_in.fits(0, FixedHeader) && be24(FixedHeaderLengthAt) == FixedHeader)
            readFixed();
        else
            return std::unexpected(QStringLiteral("the file is not an iPod shuffle song list"));
        if (!m_fatal.isEmpty())
            return std::unexpected(m_fatal);
        m_list.damage = m_problems.join(QStringLiteral("; "));
        return std::move(m_list);
    }

private:
    uint32_t be24(qsizetype at) const
    {
        const auto *p = reinterpret_cast<const unsigned char *>(m_in.data() + at);
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    bool tagAt(qsizetype at, const char *tag, qsizetype length) const
    {
        return m_in.fits(at, length) && std::memcmp(m_in.data() + at, tag, 4) == 0;
    }
    // The file offset stored at `at`; -1 when `at` is past the file.
    qsizetype offsetAt(qsizetype at) const
    {
        return m_in.fits(at, 4) ? static_cast<qsizetype>(m_in.uint32At(at)) : qsizetype(-1);
    }

    void problem(const QString &text)
    {
        if (m_problems.size() < 5 && !m_problems.contains(text))
            m_problems << text;
    }

    // Stored paths use "/"; the program's form uses "\" like the database's locations.
    static QString storedForm(QString path)
    {
        path.replace(QLatin1Char('/'), QLatin1Char('\\'));
        if (!path.isEmpty() && !path.startsWith(QLatin1Char('\\')))
            path.prepend(QLatin1Char('\\'));
        return path;
    }

    void addTrack(QString path, int32_t fileType, int position)
    {
        if (path.isEmpty()) {
            problem(QStringLiteral("song %1 has no path").arg(position + 1));
            return;
        }
        m_list.tracks.push_back({storedForm(std::move(path)), fileType});
    }

    void readFixed()
    {
        m_list.layout = ShuffleList::Layout::Fixed;
        m_list.declaredTracks = static_cast<int>(be24(0));
        for (int i = 0; i < m_list.declaredTracks; ++i) {
            const qsizetype at = FixedHeader + qsizetype(i) * FixedEntry;
            if (!m_in.fits(at, FixedEntry)) {
                problem(QStringLiteral("the list ends after %1 of its %2 songs").arg(i).arg(m_list.declaredTracks));
                return;
            }
            if (be24(at) != FixedEntry) {
                problem(QStringLiteral("entry %1 is not a song entry; the rest was not read").arg(i + 1));
                return;
            }
            const auto *units = m_in.data() + at + FixedPathAt;
            qsizetype length = 0;
            while (length < FixedPathBytes / 2 && (units[2 * length] || units[2 * length + 1]))
                ++length;
            addTrack(decodeITunesString(units, length * 2), static_cast<int32_t>(be24(at + FixedFileTypeAt)), i);
        }
    }

    void readChunked()
    {
        m_list.layout = ShuffleList::Layout::Chunked;
        if (!m_in.fits(0, ChunkedHeader)) {
            m_fatal = QStringLiteral("the song list's header is cut short");
            return;
        }
        m_list.declaredTracks = m_in.int32At(12);
        const qsizetype trackHeader = offsetAt(TrackHeaderOffsetAt);
        if (!tagAt(trackHeader, "hths", OffsetsAt)) {
            m_fatal = QStringLiteral("the song list has no track table");
            return;
        }
        readTracks(trackHeader);
        const qsizetype playlistHeader = offsetAt(PlaylistHeaderOffsetAt);
        if (tagAt(playlistHeader, "hphs", OffsetsAt))
            readPlaylists(playlistHeader);
        else if (playlistHeader != 0)
            problem(QStringLiteral("the playlist table is missing"));
    }

    void readTracks(qsizetype header)
    {
        const uint32_t count = m_in.uint32At(header + ListCountAt);
        // Each track record takes its own bytes: more than the file can hold is not believed.
        const uint32_t most = static_cast<uint32_t>(m_in.size() / (TrackPathAt + TrackPathBytes));
        for (uint32_t i = 0; i < count; ++i) {
            const qsizetype record = offsetAt(header + OffsetsAt + qsizetype(i) * 4);
            if (record < 0 || i >= most) {
                problem(QStringLiteral("the track table ends after %1 of its %2 songs").arg(i).arg(count));
                return;
            }
            if (!tagAt(record, "rths", TrackPathAt + TrackPathBytes)) {
                problem(QStringLiteral("song %1 is not a track record").arg(i + 1));
                m_positions.push_back(-1);
                continue;
            }
            const char *text = m_in.data() + record + TrackPathAt;
            const auto length = static_cast<qsizetype>(::strnlen(text, TrackPathBytes));
            const auto before = m_list.tracks.size();
            addTrack(QString::fromUtf8(text, length), m_in.int32At(record + TrackFileTypeAt), static_cast<int>(i));
            m_positions.push_back(m_list.tracks.size() > before ? static_cast<int32_t>(before) : -1);
        }
    }

    void readPlaylists(qsizetype header)
    {
        const uint32_t count = m_in.uint32At(header + ListCountAt);
        // Playlist entries cannot outnumber the file's 4-byte words, however the records overlap.
        qint64 budget = m_in.size() / 4;
        for (uint32_t p = 0; p < count && budget > 0; ++p) {
            const qsizetype record = offsetAt(header + OffsetsAt + qsizetype(p) * 4);
            if (record < 0) {
                problem(QStringLiteral("the playlist table ends after %1 of its %2 playlists").arg(p).arg(count));
                return;
            }
            if (!tagAt(record, "lphs", PlaylistTracksAt)) {
                problem(QStringLiteral("playlist %1 is not a playlist record").arg(p + 1));
                continue;
            }
            ShuffleList::Playlist playlist;
            playlist.type = m_in.int32At(record + PlaylistTypeAt);
            const uint32_t entries = m_in.uint32At(record + ListCountAt);
            for (uint32_t e = 0; e < entries && budget > 0; ++e, --budget) {
                const qsizetype at = record + PlaylistTracksAt + qsizetype(e) * 4;
                if (!m_in.fits(at, 4)) {
                    problem(QStringLiteral("playlist %1 is cut short").arg(p + 1));
                    break;
                }
                const uint32_t position = m_in.uint32At(at);
                if (position < m_positions.size() && m_positions[position] >= 0)
                    playlist.tracks.push_back(m_positions[position]);
                else
                    problem(QStringLiteral("playlist %1 names a song the list does not hold").arg(p + 1));
            }
            m_list.playlists.push_back(std::move(playlist));
        }
    }

    ByteReader m_in;
    ShuffleList m_list;
    std::vector<int32_t> m_positions; // track table position -> index in m_list.tracks, or -1
    QStringList m_problems;
    QString m_fatal;
};

QString fileTypeName(int32_t type)
{
    switch (type) {
    case 2:
        return QStringLiteral("AAC audio file");
    case 4:
        return QStringLiteral("WAV audio file");
    default:
        return QStringLiteral("MPEG audio file");
    }
}

// A song read from its file's tags, or one that keeps what the list says when that fails.
Song songOf(const ShuffleList::Track &track, NativePathResolver &resolver, LoadReport &report)
{
    const QString native = resolver.resolve(track.storedPath);
    const QFileInfo info(native);
    if (!native.isEmpty() && info.isFile()) {
        if (std::optional<Song> song = songFromFile(MusicFile{track.storedPath, QFile::encodeName(native)}))
            return std::move(*song);
    }
    report.add(info.isFile() ? LoadProblem::Kind::TagsUnreadable : LoadProblem::Kind::SongFileUnreadable,
               track.storedPath);
    Song song;
    song.Path = track.storedPath;
    song.Title = QFileInfo(track.storedPath.section(QLatin1Char('\\'), -1)).completeBaseName();
    song.FileType = fileTypeName(track.fileType);
    song.FileSize = info.isFile() ? static_cast<double>(info.size()) : 0.0;
    return song;
}

QString playlistName(const ShuffleList::Playlist &playlist, int &numbered)
{
    switch (static_cast<ShuffleList::PlaylistType>(playlist.type)) {
    case ShuffleList::PlaylistType::Podcasts:
        return QStringLiteral("Podcasts");
    case ShuffleList::PlaylistType::Audiobooks:
        return QStringLiteral("Audiobooks");
    default:
        return QStringLiteral("Playlist %1").arg(++numbered);
    }
}

void addPlaylists(const ShuffleList &list, MusicLibrary &library)
{
    const QString name = folderIpodName(library.iPodDrive);
    library.iPodName = name;
    clsPlayList &master = library.addPlaylist();
    master.Name = QStringLiteral(":: ") + name + QStringLiteral(" ::");
    for (const Song &song : library.Songs)
        master.SongIDs.AddItem(songIdText(song.SongID));
    int numbered = 0;
    for (const ShuffleList::Playlist &playlist : list.playlists) {
        if (playlist.type == int32_t(ShuffleList::PlaylistType::Master))
            continue; // the master above lists every song
        clsPlayList &added = library.addPlaylist();
        added.Name = playlistName(playlist, numbered);
        for (const int32_t track : playlist.tracks)
            added.SongIDs.AddItem(songIdText(library.Songs[static_cast<std::size_t>(track)].SongID));
    }
}

} // namespace

QString shuffleLayoutName(ShuffleList::Layout layout)
{
    return layout == ShuffleList::Layout::Chunked ? QStringLiteral("bdhs") : QStringLiteral("1G/2G");
}

std::expected<ShuffleList, QString> parseShuffleList(QByteArrayView bytes)
{
    return ListReader(bytes).read();
}

std::expected<ShuffleList, QString> readShuffleList(const QString &path)
{
    if (QFileInfo(path).size() > LargestList)
        return std::unexpected(QStringLiteral("the file is far too large to be an iPod shuffle song list"));
    const std::optional<FileImage> image = FileImage::read(path);
    if (!image)
        return std::unexpected(QStringLiteral("the file cannot be read"));
    return parseShuffleList(image->bytes().first(std::min<qsizetype>(image->bytes().size(), LargestList)));
}

LoadReport loadShuffleList(const ShuffleList &list, MusicLibrary &library, const ScanControl &control)
{
    LoadReport report;
    report.isDatabase = true;
    report.source.chosen = SourceKind::ITunesSd;
    const QString drive = library.iPodDrive;
    library.clear();
    library.iPodDrive = drive;
    if (control.status)
        control.status(QString::fromUtf16(ShuffleListStatus));
    if (!list.damage.isEmpty())
        report.add(LoadProblem::Kind::DatabaseUnreadable, list.damage);

    NativePathResolver resolver(drive);
    const auto total = static_cast<qint64>(list.tracks.size());
    library.Songs.reserve(list.tracks.size());
    for (const ShuffleList::Track &track : list.tracks) {
        if (control.cancelled()) {
            library.clear();
            library.iPodDrive = drive;
            report.cancelled = true;
            return report;
        }
        Song &song = library.Songs.emplace_back(songOf(track, resolver, report));
        song.SongID = static_cast<double>(library.Songs.size());
        if (control.progress)
            control.progress(static_cast<qint64>(library.Songs.size()), total);
    }
    library.SongCount = static_cast<int32_t>(library.Songs.size());
    addPlaylists(list, library);
    LoadShuffleStats(resolver.resolve(QStringLiteral("\\iPod_Control\\iTunes")),
                     list.layout == ShuffleList::Layout::Chunked, library, 0, report);

    if (control.status)
        control.status(QString::fromUtf16(LoadingIntoProgramStatus));
    buildIndexes(library, report);
    return report;
}

} // namespace corvanel::itunesdb
