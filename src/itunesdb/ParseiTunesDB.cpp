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
    QByteArrayView bytes = image ? image->bytes() : QByteArrayView();
    if (isCompressedDatabase(bytes)) {
        std::expected<FileImage, InflateError> plain = inflateDatabase(bytes, progress);
        report.source.chosen = SourceKind::ITunesCdb;
        image.reset();
        if (plain)
            image = std::move(*plain);
        else
            report.add(LoadProblem::Kind::DatabaseUnreadable, DBFile + QStringLiteral(": ") + plain.error().message);
        bytes = image ? image->bytes() : QByteArrayView();
    }

    NativePathResolver resolver(library.iPodDrive);
    const int32_t first = library.SongCount;
    walkITunesDb(bytes, library, sizes == SongFileSizes::Measure ? &resolver : nullptr, report, progress);
    image.reset();
    if (!report.isDatabase)
        return report;

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
