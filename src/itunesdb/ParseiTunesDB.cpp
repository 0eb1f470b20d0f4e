#include "ParseiTunesDB.h"
#include "CompressedDatabase.h"
#include "FileImage.h"
#include "OnTheGo.h"
#include "PlayCounts.h"

#include <QFileInfo>

#include <thread>

#ifndef CORVANEL_CONTACT
#define CORVANEL_CONTACT "support@halvetra.net"
#endif

namespace corvanel::itunesdb {

QString unknownTagWarningText()
{
    return QStringLiteral("For some reason, extra information unknown in the iTunesDB file was found. This may be "
                          "due to a newer version of iTunesDB or because your iTunesDB is corrupted. Please contact ") +
           QStringLiteral(CORVANEL_CONTACT) +
           QStringLiteral(", and we will try to fix the program accordingly, or make sure your iTunesDB is not "
                          "corrupted.");
}

void buildSongIndex(MusicLibrary &library, LoadReport &report)
{
    library.SongIndex.clear();
    library.SongIndex.reserve(library.SongCount);
    for (int32_t i = 0; i < library.SongCount; ++i) {
        QString key = songIdText(library.Songs[static_cast<std::size_t>(i)].SongID);
        auto it = library.SongIndex.find(key);
        if (it != library.SongIndex.end())
            report.add(LoadProblem::Kind::DuplicateTrackId, key);
        else
            library.SongIndex.insert(std::move(key), i);
    }
}

void buildIndexes(MusicLibrary &library, LoadReport &report)
{
    buildSongIndex(library, report);
    library.Library = std::make_unique<clsLibrary>(library);
    if (const auto filled = library.Library->FillMiniDatabase(); !filled)
        report.add(LoadProblem::Kind::PlaylistIdMissing, filled.error().message);
}

namespace {

// What a walk may add to a library, to give it back.
struct LibraryMark
{
    explicit LibraryMark(const MusicLibrary &library)
        : songs(library.Songs.size()), playlists(library.Playlists.size()), name(library.iPodName)
    {
    }
    void restore(MusicLibrary &library) const
    {
        library.Songs.erase(library.Songs.begin() + static_cast<std::ptrdiff_t>(songs), library.Songs.end());
        library.SongCount = static_cast<int32_t>(songs);
        library.Playlists.erase(library.Playlists.begin() + static_cast<std::ptrdiff_t>(playlists),
                                library.Playlists.end());
        library.PlaylistCount = static_cast<int32_t>(playlists);
        library.iPodName = name;
    }

    std::size_t songs;
    std::size_t playlists;
    QString name;
};

// Walks a compressed database while it is being inflated. A stream that turns out to be damaged
// gives nothing: what was walked from it is given back, and the report says why.
void walkCompressed(QByteArrayView file, const QString &path, MusicLibrary &library, LoadReport &report,
                    const LoadProgress &progress)
{
    report.source.chosen = SourceKind::ITunesCdb;
    const auto unreadable = [&](const InflateError &error) {
        report.add(LoadProblem::Kind::DatabaseUnreadable, path + QStringLiteral(": ") + error.message);
    };
    auto inflating = InflatingDatabase::start(file);
    if (!inflating)
        return unreadable(inflating.error());
    InflatingDatabase &database = **inflating;
    LoadProgress walked;
    if (progress)
        walked = [&](qint64, qint64) { progress(database.compressedRead(), database.compressedSize()); };
    const LibraryMark mark(library);
    LoadReport walk = report;
    // Databases shrink about five times: the guess only sizes the walk's caches.
    walkITunesDb(database, file.size() * 5, library, walk, walked);
    if (const std::expected<FileImage, InflateError> whole = database.finish(); !whole) {
        mark.restore(library);
        return unreadable(whole.error());
    }
    report = std::move(walk);
}

} // namespace

LoadReport ParseiTunesDB(const QString &DBFile, MusicLibrary &library,
                         const std::function<void(const QString &status)> &status, const LoadProgress &progress,
                         SongFileSizes sizes, const std::function<void()> &alongside)
{
    LoadReport report;
    report.source.chosen = SourceKind::ITunesDb;
    // A private copy in memory: the iPod's file is closed before the walk starts.
    std::optional<FileImage> image = FileImage::read(DBFile);
    if (!image)
        report.add(LoadProblem::Kind::CopyFailed, DBFile);
    const QByteArrayView bytes = image ? image->bytes() : QByteArrayView();
    const int32_t first = library.SongCount;
    if (isCompressedDatabase(bytes))
        walkCompressed(bytes, DBFile, library, report, progress);
    else
        walkITunesDb(bytes, library, nullptr, report, progress);
    image.reset();
    if (!report.isDatabase)
        return report;
    if (sizes == SongFileSizes::Measure) {
        NativePathResolver resolver(library.iPodDrive);
        measureFileSizes(library, first, resolver, report, progress);
    }

    // The counts change the songs, so they are merged before anything runs beside the load.
    LoadPlayCounts(QFileInfo(DBFile).absolutePath(), library, first, report);

    // The songs are complete: what else needs only them runs beside the steps that follow.
    std::thread beside;
    if (alongside)
        beside = std::thread(alongside);
    LoadOnTheGo(library, report);
    if (status)
        status(QString::fromUtf16(LoadingIntoProgramStatus));
    buildIndexes(library, report);
    if (beside.joinable())
        beside.join();
    return report;
}

} // namespace corvanel::itunesdb
