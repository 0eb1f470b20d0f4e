#include "TagScan.h"

#include "ParseiTunesDB.h"
#include "TagReader.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <limits>
#include <thread>

namespace corvanel::itunesdb {

namespace {

// Progress goes out at most this often, so that a fast scan does not flood its listener.
constexpr qint64 ProgressIntervalMs = 30;

class ProgressPacer
{
public:
    ProgressPacer(const ScanControl &control, qint64 total) : m_control(control), m_total(total) { m_clock.start(); }
    void step(qint64 done)
    {
        if (!m_control.progress || (done != m_total && m_clock.elapsed() < m_next))
            return;
        m_next = m_clock.elapsed() + ProgressIntervalMs;
        m_control.progress(done, m_total);
    }

private:
    const ScanControl &m_control;
    qint64 m_total;
    QElapsedTimer m_clock;
    qint64 m_next = 0;
};

QString pathKey(const QString &storedPath)
{
    QString key = storedPath.toLower();
    key.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return key;
}

// The songs of the "[Not in Database]" source: they name files, but not from the database.
QSet<QString> notInDatabaseIds(const MusicLibrary &library)
{
    QSet<QString> ids;
    for (const auto &playlist : library.Playlists)
        if (playlist->Name == QString::fromUtf16(NotInDatabaseName))
            for (const QString &id : playlist->SongIDs.items())
                ids.insert(id);
    return ids;
}

void rebuildIndexes(MusicLibrary &library, LoadReport &report)
{
    buildSongIndex(library, report);
    library.Library = std::make_unique<clsLibrary>(library);
    if (const auto filled = library.Library->FillMiniDatabase(); !filled)
        report.add(LoadProblem::Kind::PlaylistIdMissing, filled.error().message);
}

// The songs of the files, in the files' order (nothing where a file cannot be read), read by
// two threads: most of the time goes to libavformat's set-up for each file, not to the disk.
// Nothing when cancelled.
std::optional<std::vector<std::optional<Song>>> readSongs(const std::vector<MusicFile> &files,
                                                          const ScanControl &control)
{
    std::vector<std::optional<Song>> songs(files.size());
    std::atomic<std::size_t> next{0};
    std::atomic<qint64> done{0};
    std::atomic<bool> stop{false};
    auto work = [&] {
        for (std::size_t i = next++; i < files.size() && !stop.load(std::memory_order_relaxed); i = next++) {
            songs[i] = songFromFile(files[i]);
            ++done;
        }
    };
    const auto total = static_cast<qint64>(files.size());
    ProgressPacer pacer(control, total);
    {
        std::jthread helper(work);
        for (std::size_t i = next++; i < files.size(); i = next++) {
            if (control.cancelled()) {
                stop.store(true);
                break;
            }
            songs[i] = songFromFile(files[i]);
            pacer.step(++done);
        }
    }
    if (stop.load() || control.cancelled())
        return std::nullopt;
    pacer.step(total);
    return songs;
}

} // namespace

std::optional<Song> songFromFile(const MusicFile &file)
{
    const std::optional<FileTags> tags = readFileTags(QFile::decodeName(file.fileName));
    if (!tags)
        return std::nullopt;
    Song song;
    song.Title = tags->title;
    if (song.Title.isEmpty()) {
        const QString name = file.storedPath.mid(file.storedPath.lastIndexOf(QLatin1Char('\\')) + 1);
        song.Title = cleanTagText(QFileInfo(name).completeBaseName().toUtf8().constData());
    }
    song.Artist = tags->artist;
    song.Album = tags->album;
    song.Genre = tags->genre;
    song.TrackNumber = tags->trackNumber;
    song.Length = tags->lengthMs;
    song.FileType = tags->fileType;
    song.Path = file.storedPath;
    song.FileSize = static_cast<double>(tags->size);
    return song;
}

LoadReport scanLibraryFromTags(MusicLibrary &library, const ScanControl &control)
{
    LoadReport report;
    report.fromTags = true;
    const QString drive = library.iPodDrive;
    library.clear();
    library.iPodDrive = drive;
    if (control.status)
        control.status(QString::fromUtf16(TagScanStatus));

    const MusicListing listing = listMusicFiles(drive, control.cancel);
    std::optional<std::vector<std::optional<Song>>> songs;
    if (!listing.cancelled)
        songs = readSongs(listing.files, control);
    if (!songs) {
        library.clear();
        library.iPodDrive = drive;
        report.cancelled = true;
        return report;
    }
    library.Songs.reserve(songs->size());
    for (std::size_t i = 0; i < songs->size(); ++i) {
        if (std::optional<Song> &song = (*songs)[i]) {
            song->SongID = static_cast<double>(library.Songs.size() + 1);
            library.Songs.push_back(std::move(*song));
        } else {
            report.add(LoadProblem::Kind::TagsUnreadable, listing.files[i].storedPath);
        }
    }
    library.SongCount = static_cast<int32_t>(library.Songs.size());

    QString name = QFileInfo(drive).fileName();
    if (name.isEmpty())
        name = QStringLiteral("iPod");
    library.iPodName = name;
    clsPlayList &master = library.addPlaylist();
    master.Name = QStringLiteral(":: ") + name + QStringLiteral(" ::");
    master.SongIDs.reserve(library.Songs.size());
    for (const Song &song : library.Songs)
        master.SongIDs.AddItem(songIdText(song.SongID));

    if (control.status)
        control.status(QString::fromUtf16(LoadingIntoProgramStatus));
    rebuildIndexes(library, report);
    return report;
}

bool tagScanCanHelp(const MusicLibrary &library, const LoadReport &report)
{
    if (report.isDatabase && library.SongCount > 0)
        return false;
    // The first song file is enough to know.
    return !listMusicFiles(library.iPodDrive, nullptr, 1).files.empty();
}

OrphanScan findOrphanedSongs(const MusicLibrary &library, const ScanControl &control)
{
    OrphanScan out;
    const QSet<QString> extraIds = notInDatabaseIds(library);
    QSet<QString> known;
    known.reserve(static_cast<qsizetype>(library.Songs.size()));
    for (const Song &song : library.Songs)
        if (!song.Path.isEmpty() && !extraIds.contains(songIdText(song.SongID)))
            known.insert(pathKey(song.Path));

    if (control.status)
        control.status(QString::fromUtf16(TagScanStatus));
    MusicListing listing = listMusicFiles(library.iPodDrive, control.cancel);
    std::erase_if(listing.files, [&](const MusicFile &file) { return known.contains(pathKey(file.storedPath)); });
    std::optional<std::vector<std::optional<Song>>> songs;
    if (!listing.cancelled)
        songs = readSongs(listing.files, control);
    if (!songs) {
        out.cancelled = true;
        return out;
    }
    for (std::size_t i = 0; i < songs->size(); ++i) {
        const MusicFile &file = listing.files[i];
        if (std::optional<Song> &song = (*songs)[i]) {
            out.totalBytes += static_cast<qint64>(song->FileSize);
            out.songs.push_back(std::move(*song));
        } else {
            out.totalBytes += QFileInfo(QFile::decodeName(file.fileName)).size();
            if (out.unreadable++ == 0)
                out.firstUnreadable = file.storedPath;
        }
    }
    return out;
}

void addNotInDatabase(MusicLibrary &library, std::vector<Song> songs)
{
    const QString sourceName = QString::fromUtf16(NotInDatabaseName);
    if (songs.empty() || std::any_of(library.Playlists.begin(), library.Playlists.end(),
                                     [&](const auto &playlist) { return playlist->Name == sourceName; }))
        return;
    QSet<int64_t> used;
    int64_t largest = 0;
    for (const Song &song : library.Songs) {
        used.insert(static_cast<int64_t>(song.SongID));
        largest = std::max(largest, static_cast<int64_t>(song.SongID));
    }
    int64_t next = largest;
    auto nextFreeId = [&] {
        do {
            next = next >= std::numeric_limits<int32_t>::max() ? 1 : next + 1;
        } while (used.contains(next));
        used.insert(next);
        return next;
    };

    auto source = std::make_unique<clsPlayList>();
    source->Name = sourceName;
    for (Song &song : songs) {
        song.SongID = static_cast<double>(nextFreeId());
        source->SongIDs.AddItem(songIdText(song.SongID));
        library.Songs.push_back(std::move(song));
    }
    library.SongCount = static_cast<int32_t>(library.Songs.size());

    // Just before the On-The-Go list, which the load always adds last.
    auto at = library.Playlists.end();
    if (library.Playlists.size() > 1 && library.Playlists.back()->Name == QLatin1String("On-The-Go"))
        --at;
    library.Playlists.insert(at, std::move(source));
    library.PlaylistCount = static_cast<int32_t>(library.Playlists.size());
    LoadReport ignored;
    rebuildIndexes(library, ignored);
}

} // namespace corvanel::itunesdb
