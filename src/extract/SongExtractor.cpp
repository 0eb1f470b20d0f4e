#include "SongExtractor.h"

#include "ArtworkLibrary.h"
#include "ExtractNames.h"
#include "FileCopy.h"
#include "FolderContainment.h"
#include "MusicLibrary.h"
#include "NativePath.h"

#include <QElapsedTimer>
#include <QSet>

#include <cerrno>
#include <cstring>

namespace corvanel::extract {

using namespace corvanel::library;
namespace {

// Progress reaches the window about this often, also within one long file.
constexpr qint64 kProgressEveryMs = 40;

// The name to write to: `wanted`, or, when this run has already written a file of that name,
// the first of "name (2).ext", "name (3).ext", ... that it has not. Names are compared without
// regard to case, as the music players' file systems do.
QString unusedName(const QString &wanted, QSet<QString> &written)
{
    QString name = wanted;
    const qsizetype slash = wanted.lastIndexOf(QLatin1Char('/'));
    qsizetype dot = wanted.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash)
        dot = wanted.size();
    for (int n = 2; written.contains(name.toCaseFolded()); ++n)
        name = wanted.left(dot) + QStringLiteral(" (%1)").arg(n) + wanted.mid(dot);
    written.insert(name.toCaseFolded());
    return name;
}

// Gives the folder of `target` the song's cover as "cover.jpg" unless it has one from this run
// or from before. A cover that cannot be written is left out: the songs are what was asked for.
void writeFolderCover(corvanel::itunesdb::ArtworkLibrary &artwork, const Song &song, const QString &target,
                      QSet<QString> &covered)
{
    const QString folder = target.left(target.lastIndexOf(QLatin1Char('/')) + 1);
    if (covered.contains(folder.toCaseFolded()))
        return;
    const QByteArray jpeg = artwork.coverJpeg(song);
    if (jpeg.isEmpty())
        return;
    covered.insert(folder.toCaseFolded());
    writeNewFile(folder + QStringLiteral("cover.jpg"), jpeg);
}

// The text of a failed extraction whose cause has no errno.
QString failureText(const QString &cause)
{
    return QStringLiteral("There was an error during the extract process!\n") + cause;
}

} // namespace

SongExtractor::SongExtractor(const MusicLibrary &library, QObject *parent) : QObject(parent), m_library(library) {}

SongExtractor::~SongExtractor()
{
    m_stop = true;
    join();
}

void SongExtractor::AddSongs(const std::vector<int32_t> &Songs)
{
    m_songs.clear();
    QSet<int32_t> seen;
    for (const int32_t index : Songs) {
        if (index < 0 || index >= static_cast<int32_t>(m_library.Songs.size()) || seen.contains(index))
            continue;
        seen.insert(index);
        m_songs.push_back(index);
    }
}

QStringList SongExtractor::rows() const
{
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(m_songs.size()));
    for (const int32_t index : m_songs) {
        const Song &song = m_library.Songs[static_cast<size_t>(index)];
        rows << song.Artist + QStringLiteral(" - ") + song.Title;
    }
    return rows;
}

void SongExtractor::removeRows(QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (const int row : rows) {
        if (row >= 0 && row < static_cast<int>(m_songs.size()))
            m_songs.erase(m_songs.begin() + row);
    }
}

QString SongExtractor::withTrailingSeparator(const QString &destination)
{
    return destination.endsWith(QLatin1Char('/')) ? destination : destination + QLatin1Char('/');
}

QString SongExtractor::errorText(int error)
{
    return QStringLiteral("There was an error during the extract process!\nError %1: %2")
        .arg(error)
        .arg(QString::fromLocal8Bit(std::strerror(error)));
}

std::vector<Song> SongExtractor::listedSongs() const
{
    std::vector<Song> songs;
    songs.reserve(m_songs.size());
    for (const int32_t index : m_songs)
        songs.push_back(m_library.Songs[static_cast<size_t>(index)]);
    return songs;
}

std::optional<QString> SongExtractor::destinationRefusal(const QString &destination) const
{
    if (destination.trimmed().isEmpty())
        return QStringLiteral("Please choose a folder to extract the songs to.");
    if (corvanel::platform::isSameOrInside(destination, m_library.iPodDrive))
        return QStringLiteral("Songs cannot be extracted into the iPod itself: \"%1\" is on the iPod. Please "
                              "choose a folder on your computer.")
            .arg(destination);
    return std::nullopt;
}

SongExtractor::Outcome SongExtractor::copyLoop(const std::vector<Song> &songs, const QString &destination,
                                               const QString &format, const std::atomic<bool> &stop,
                                               const std::function<void(double)> &progress)
{
    NativePathResolver sources(m_library.iPodDrive);
    std::optional<corvanel::itunesdb::ArtworkLibrary> artwork;
    if (m_covers)
        artwork.emplace(m_library.iPodDrive);
    QSet<QString> written, covered;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    for (size_t i = 0; i < songs.size(); ++i) {
        if (stop)
            return {ECANCELED, true};
        progress(static_cast<double>(i));
        const Song &song = songs[i];
        QString title = song.Title, artist = song.Artist, album = song.Album, genre = song.Genre,
                track = TwoDigits(song.TrackNumber);
        const QString name = MakeFileName(format, title, artist, album, genre, track);
        const QString target = unusedName(destination + name + QLatin1Char('.') + GetFormat(song.Path), written);
        const QString source = sources.resolve(song.Path);
        if (source.isEmpty())
            return {ENOENT};
        // The template or a link below the destination may lead back onto the iPod.
        if (corvanel::platform::isSameOrInside(target, m_library.iPodDrive))
            return {EACCES, false, failureText(QStringLiteral("\"%1\" is on the iPod itself.").arg(target))};
        if (const CopyResult folders = makeFolders(target); !folders)
            return {folders.error};
        const auto onBytes = [&](int64_t done, int64_t total) {
            if (total > 0 && sinceProgress.elapsed() >= kProgressEveryMs) {
                sinceProgress.restart();
                progress(static_cast<double>(i) + static_cast<double>(std::min(done, total)) / total);
            }
        };
        const CopyResult copied = copyFile(source, target, stop, onBytes);
        if (copied.sameFile)
            return {copied.error, false,
                    failureText(QStringLiteral("\"%1\" is the song's own file on the iPod.").arg(target))};
        if (!copied)
            return {copied.error, copied.error == ECANCELED};
        if (artwork)
            writeFolderCover(*artwork, song, target, covered);
    }
    return {};
}

void SongExtractor::StartExtract(const QString &destination, const QString &format)
{
    if (running())
        return;
    if (const std::optional<QString> refusal = destinationRefusal(destination)) {
        emit failed(*refusal);
        return;
    }
    const QString folder = withTrailingSeparator(destination);
    if (folder != destination)
        emit destinationChanged(folder);
    m_stop = false;
    const int count = static_cast<int>(m_songs.size());
    m_worker = std::thread([this, songs = listedSongs(), folder, format, count] {
        const Outcome outcome = copyLoop(songs, folder, format, m_stop, [this, count](double position) {
            QMetaObject::invokeMethod(this, [this, position, count] { emit progress(position, count); });
        });
        QMetaObject::invokeMethod(this, [this, outcome] {
            join();
            if (outcome.stopped)
                emit stopped();
            else if (outcome.error != 0)
                emit failed(outcome.text());
            else
                emit finished();
        });
    });
}

std::optional<QString> SongExtractor::extractNow(const QString &destination, const QString &format,
                                                 const std::function<void(double, int)> &progress,
                                                 const std::atomic<bool> *cancel)
{
    if (std::optional<QString> refusal = destinationRefusal(destination))
        return refusal;
    m_stop = false;
    const int count = static_cast<int>(m_songs.size());
    const Outcome outcome = copyLoop(listedSongs(), withTrailingSeparator(destination), format,
                                     cancel ? *cancel : m_stop, [&](double position) {
                                         if (progress)
                                             progress(position, count);
                                     });
    if (outcome.error != 0)
        return outcome.text();
    return std::nullopt;
}

void SongExtractor::stop()
{
    m_stop = true;
}

void SongExtractor::join()
{
    if (m_worker.joinable() && m_worker.get_id() != std::this_thread::get_id())
        m_worker.join();
}

} // namespace corvanel::extract
