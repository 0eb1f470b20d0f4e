#include "TagScan.h"

#include "ParseiTunesDB.h"
#include "TagReader.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

#include <sys/stat.h>

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

// Reads the song files while the walk is still finding them: a second thread starts on the
// first file met, and the walking thread joins in once the walk is over. Most of the time goes
// to libavformat's set-up for each file rather than to the disk, so two threads halve it.
class SongReader
{
public:
    struct Result
    {
        std::vector<MusicFile> files;           // in stored-path order
        std::vector<std::optional<Song>> songs; // the same order; nothing where a file cannot be read
        std::vector<QString> unopenableFolders; // as the walk met them
    };

    explicit SongReader(const ScanControl &control) : m_control(control), m_helper([this] { work(false); }) {}
    ~SongReader() { stop(); }
    SongReader(const SongReader &) = delete;
    SongReader &operator=(const SongReader &) = delete;

    // The walking thread hands over a file it has met.
    void add(const MusicFile &file)
    {
        const std::lock_guard lock(m_mutex);
        m_files.push_back(file);
        m_songs.emplace_back();
        m_wake.notify_one();
    }

    // The walk is over: reads what is left, then gives everything in path order. Nothing when
    // the scan was cancelled.
    std::optional<Result> finish(bool walkCancelled)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_walkDone = true;
            m_stop = walkCancelled;
            m_wake.notify_all();
        }
        if (!walkCancelled)
            work(true);
        stop();
        if (walkCancelled || m_control.cancelled())
            return std::nullopt;
        if (m_control.progress)
            m_control.progress(m_done, static_cast<qint64>(m_files.size()));
        Result result;
        result.files.reserve(m_files.size());
        result.songs.reserve(m_files.size());
        for (const std::size_t index : storedPathOrder(m_files)) {
            result.files.push_back(std::move(m_files[index]));
            result.songs.push_back(std::move(m_songs[index]));
        }
        return result;
    }

private:
    void work(bool reporting)
    {
        std::optional<ProgressPacer> pacer;
        for (;;) {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || m_next < m_files.size() || m_walkDone; });
            if (m_stop || m_next >= m_files.size() || m_control.cancelled())
                return;
            const std::size_t index = m_next++;
            const MusicFile file = m_files[index];
            if (reporting && !pacer)
                pacer.emplace(m_control, static_cast<qint64>(m_files.size()));
            lock.unlock();
            std::optional<Song> song = songFromFile(file);
            lock.lock();
            m_songs[index] = std::move(song);
            const qint64 done = ++m_done;
            lock.unlock();
            if (pacer)
                pacer->step(done);
        }
    }
    void stop()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
            m_wake.notify_all();
        }
        if (m_helper.joinable())
            m_helper.join();
    }

    const ScanControl &m_control;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<MusicFile> m_files; // in the order the walk met them
    std::vector<std::optional<Song>> m_songs;
    std::size_t m_next = 0;
    qint64 m_done = 0;
    bool m_walkDone = false;
    bool m_stop = false;
    std::thread m_helper; // last: it starts once everything above is ready
};

// Walks the Music folder and reads every file that `wanted` lets through.
std::optional<SongReader::Result> scanFiles(const QString &drive, const ScanControl &control,
                                            const std::function<bool(const MusicFile &file)> &wanted)
{
    SongReader reader(control);
    MusicListing listing = listMusicFiles(drive, control.cancel, SIZE_MAX, [&](const MusicFile &file) {
        if (wanted(file))
            reader.add(file);
    });
    std::optional<SongReader::Result> read = reader.finish(listing.cancelled || control.cancelled());
    if (read)
        read->unopenableFolders = std::move(listing.unopenableFolders);
    return read;
}

// The size of a file the reader could not read, as the walk or a look of its own gives it.
qint64 sizeOf(const MusicFile &file)
{
    if (file.size >= 0)
        return file.size;
    struct stat info
    {
    };
    return ::stat(file.fileName.constData(), &info) == 0 ? static_cast<qint64>(info.st_size) : 0;
}

} // namespace

std::optional<Song> songFromFile(const MusicFile &file)
{
    // A song's path must lead back to its file when it is played or copied.
    if (!file.pathExact)
        return std::nullopt;
    const std::optional<FileTags> tags = readFileTags(file.fileName);
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

QString folderIpodName(const QString &drive)
{
    const QString name = QFileInfo(drive).fileName();
    return name.isEmpty() ? QStringLiteral("iPod") : name;
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

    std::optional<SongReader::Result> read = scanFiles(drive, control, [](const MusicFile &) { return true; });
    if (!read) {
        library.clear();
        library.iPodDrive = drive;
        report.cancelled = true;
        return report;
    }
    library.Songs.reserve(read->songs.size());
    for (std::size_t i = 0; i < read->songs.size(); ++i) {
        if (std::optional<Song> &song = read->songs[i]) {
            song->SongID = static_cast<double>(library.Songs.size() + 1);
            library.Songs.push_back(std::move(*song));
        } else {
            report.add(LoadProblem::Kind::TagsUnreadable, read->files[i].storedPath);
            report.unreadableFiles.push_back(read->files[i].storedPath);
        }
    }
    report.unopenableFolders = std::move(read->unopenableFolders);
    library.SongCount = static_cast<int32_t>(library.Songs.size());

    const QString name = folderIpodName(drive);
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

namespace {
// The path keys of the songs the database names.
QSet<QString> databasePaths(const MusicLibrary &library)
{
    const QSet<QString> extraIds = notInDatabaseIds(library);
    QSet<QString> known;
    known.reserve(static_cast<qsizetype>(library.Songs.size()));
    for (const Song &song : library.Songs)
        if (!song.Path.isEmpty() && !extraIds.contains(songIdText(song.SongID)))
            known.insert(pathKey(song.Path));
    return known;
}
} // namespace

OrphanScan findOrphanedSongs(const MusicLibrary &library, const ScanControl &control)
{
    OrphanScan out;
    const QSet<QString> known = databasePaths(library);
    if (control.status)
        control.status(QString::fromUtf16(TagScanStatus));
    std::optional<SongReader::Result> read = scanFiles(
        library.iPodDrive, control, [&](const MusicFile &file) { return !known.contains(pathKey(file.storedPath)); });
    if (!read) {
        out.cancelled = true;
        return out;
    }
    for (std::size_t i = 0; i < read->songs.size(); ++i) {
        const MusicFile &file = read->files[i];
        if (std::optional<Song> &song = read->songs[i]) {
            out.totalBytes += static_cast<qint64>(song->FileSize);
            out.songs.push_back(std::move(*song));
        } else {
            out.unreadable.push_back({file.storedPath, sizeOf(file)});
            out.totalBytes += out.unreadable.back().size;
        }
    }
    out.unopenableFolders = std::move(read->unopenableFolders);
    return out;
}

OrphanFiles countOrphanedFiles(const MusicLibrary &library, const ScanControl &control)
{
    OrphanFiles out;
    const QSet<QString> known = databasePaths(library);
    const MusicListing listing = listMusicFiles(library.iPodDrive, control.cancel);
    out.musicFolderFound = listing.musicFolderFound;
    out.cancelled = listing.cancelled;
    const auto total = static_cast<qint64>(listing.files.size());
    qint64 done = 0;
    for (const MusicFile &file : listing.files) {
        if (control.cancelled()) {
            out.cancelled = true;
            break;
        }
        if (control.progress && (++done % 256 == 0 || done == total))
            control.progress(done, total);
        if (known.contains(pathKey(file.storedPath)))
            continue;
        ++out.files;
        out.totalBytes += sizeOf(file);
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
    if (library.Playlists.size() > 1 && library.Playlists.back()->onTheGo)
        --at;
    library.Playlists.insert(at, std::move(source));
    library.PlaylistCount = static_cast<int32_t>(library.Playlists.size());
    LoadReport ignored;
    rebuildIndexes(library, ignored);
}

} // namespace corvanel::itunesdb
