#include "ExtractCommand.h"

#include "ExtractNames.h"
#include "LibraryJson.h"
#include "LibrarySource.h"
#include "LoadReport.h"
#include "MusicLibrary.h"
#include "NativePath.h"
#include "ParseiTunesDB.h"
#include "SongExtractor.h"
#include "StopSignals.h"
#include "TagScan.h"
#include "mdliPodDetect.h"

#include <QFileInfo>

#include <cstdio>
#include <optional>

#include <unistd.h>

namespace corvanel::app {

using namespace corvanel::extract;
using namespace corvanel::itunesdb;
using namespace corvanel::library;
using namespace corvanel::platform;

namespace {

struct ExtractArguments
{
    bool fromTags = false;
    bool covers = true;
    QString destination;
    QString format = corvanel::extract::kDefaultFormat;
    QString path;
};

std::optional<ExtractArguments> parseArguments(QStringList words, QString &error)
{
    ExtractArguments arguments;
    words = takeFromTags(std::move(words), arguments.fromTags);
    if (words.size() < 2 || words.at(1).isEmpty()) {
        error = QStringLiteral("--extract needs a destination folder");
        return std::nullopt;
    }
    arguments.destination = words.at(1);
    for (qsizetype i = 2; i < words.size(); ++i) {
        if (words.at(i) == QLatin1String("--format")) {
            if (i + 1 >= words.size()) {
                error = QStringLiteral("--format needs a template");
                return std::nullopt;
            }
            arguments.format = words.at(++i);
        } else if (words.at(i) == QLatin1String("--no-covers")) {
            arguments.covers = false;
        } else if (arguments.path.isEmpty()) {
            arguments.path = words.at(i);
        } else {
            error = QStringLiteral("only one PATH may follow --extract DEST");
            return std::nullopt;
        }
    }
    return arguments;
}

// The songs of the master playlist, in its order, then any song a damaged master does not
// list, in the database's order: every song of the library once.
std::vector<int32_t> masterOrder(const MusicLibrary &library)
{
    std::vector<int32_t> songs;
    std::vector<bool> listed(library.Songs.size(), false);
    if (!library.Playlists.empty()) {
        const clsList &ids = library.Playlists.front()->SongIDs;
        for (int i = 0; i < ids.ListCount(); ++i) {
            const auto index = library.indexOf(ids.List(i));
            if (index && !listed[static_cast<size_t>(*index)]) {
                listed[static_cast<size_t>(*index)] = true;
                songs.push_back(*index);
            }
        }
    }
    for (int32_t i = 0; i < static_cast<int32_t>(library.Songs.size()); ++i) {
        if (!listed[static_cast<size_t>(i)])
            songs.push_back(i);
    }
    return songs;
}

// "\r[=====     ] 12/40" on a terminal, "12/40" lines otherwise (at most one per song).
class ProgressPrinter
{
public:
    void operator()(double position, int count)
    {
        const int done = count < 2 ? 0 : static_cast<int>(position);
        if (m_terminal) {
            constexpr int kWidth = 30;
            const int filled = count < 2 ? 0 : static_cast<int>(kWidth * position / (count - 1));
            std::fprintf(stderr, "\r[%s%s] %d/%d", QByteArray(filled, '=').constData(),
                         QByteArray(kWidth - filled, ' ').constData(), done + 1, count);
        } else if (done != m_lastLine) {
            std::fprintf(stderr, "%d/%d\n", done + 1, count);
        }
        m_lastLine = done;
    }
    void end(int count) const
    {
        if (m_terminal)
            std::fputc('\n', stderr);
        std::fprintf(stderr, "%d songs extracted\n", count);
    }

private:
    bool m_terminal = ::isatty(STDERR_FILENO) == 1;
    int m_lastLine = -1;
};

// Names each file and folder the tag scan could not read on a line of its own: their songs are
// not copied. Gives how many there were.
std::size_t printUnread(const QString &iPodDrive, const LoadReport &report)
{
    for (const QString &file : report.unreadableFiles)
        std::fprintf(stderr, "corvanel: not readable as a song: %s\n",
                     qPrintable(NativePathResolver::literal(iPodDrive, file)));
    for (const QString &folder : report.unopenableFolders)
        std::fprintf(stderr, "corvanel: folder could not be opened: %s\n",
                     qPrintable(NativePathResolver::literal(iPodDrive, folder)));
    return report.unreadableFiles.size() + report.unopenableFolders.size();
}

// Why a database load leaves nothing to extract, or nothing when it read songs.
std::optional<QString> nothingToExtract(const MusicLibrary &library, const LoadReport &report)
{
    if (report.fromTags)
        return std::nullopt;
    std::optional<QString> reason = loadFailure(library, report);
    if (!reason && library.SongCount == 0)
        reason = QStringLiteral("the database lists no songs");
    if (reason && tagScanCanHelp(library, report))
        *reason += QStringLiteral(" (--from-tags reads the songs from their own tags)");
    return reason;
}

// The problems of a database load that read songs, as the window shows them in boxes before it
// carries on.
void printLoadWarnings(const LoadReport &report)
{
    if (report.fromTags)
        return;
    for (const LoadProblem &problem : report.problems) {
        const QString more = problem.count > 1 ? QStringLiteral(" (and %1 more)").arg(problem.count - 1) : QString();
        std::fprintf(stderr, "corvanel: warning: %s: %s%s\n", qPrintable(problemKindName(problem.kind)),
                     qPrintable(problem.detail), qPrintable(more));
    }
    if (report.unknownTags > 0)
        std::fprintf(stderr, "corvanel: warning: the database may be damaged: %d bytes were not records it knows\n",
                     report.unknownTags);
}

// Copies the songs with Ctrl+C and SIGTERM stopping the copy between blocks (the unfinished
// file is removed). Returns the exit status.
int copySongs(SongExtractor &extractor, const QString &destination, const QString &format)
{
    const int count = static_cast<int>(extractor.songs().size());
    ProgressPrinter printer;
    const corvanel::platform::StopSignals stop;
    const std::optional<QString> failed = extractor.extractNow(
        destination, format, [&](double position, int total) { printer(position, total); }, &stop.requested());
    if (failed && stop.requested()) {
        std::fprintf(stderr, "\ncorvanel: stopped; the unfinished copy was removed\n");
        return stop.exitStatus();
    }
    if (failed) {
        std::fprintf(stderr, "\n%s\n", qPrintable(*failed));
        return 1;
    }
    printer.end(count);
    return 0;
}

} // namespace

QStringList takeFromTags(QStringList words, bool &fromTags)
{
    fromTags = words.removeAll(QStringLiteral("--from-tags")) > 0;
    return words;
}

std::optional<QString> loadLibraryAt(const QString &path, MusicLibrary &library, LoadReport &report, bool fromTags)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%1: no such file or folder").arg(path);
    QString database;
    if (info.isDir()) {
        library.iPodDrive = info.absoluteFilePath();
        database = corvanel::platform::resolvePathIgnoringCase(library.iPodDrive,
                                                               QStringLiteral("iPod_Control/iTunes/iTunesDB"))
                       .value_or(library.iPodDrive + QStringLiteral("/iPod_Control/iTunes/iTunesDB"));
    } else {
        database = info.absoluteFilePath();
        library.iPodDrive = corvanel::platform::iPodDriveFromDatabasePath(database);
    }
    if (!fromTags) {
        // A folder is an iPod, whose files choose the reader; a file is read as it stands.
        report = info.isDir() ? loadIpodLibrary(library) : ParseiTunesDB(database, library);
        return std::nullopt;
    }
    if (!listMusicFiles(library.iPodDrive, nullptr, 1).musicFolderFound)
        return QStringLiteral("%1: no iPod_Control/Music folder to read songs from").arg(path);
    report = scanLibraryFromTags(library);
    return std::nullopt;
}

int extractCommand(const QStringList &words)
{
    QString error;
    const std::optional<ExtractArguments> arguments = parseArguments(words, error);
    if (!arguments) {
        std::fprintf(stderr, "corvanel: %s\n", qPrintable(error));
        return 2;
    }
    QString path = arguments->path;
    if (path.isEmpty()) {
        path = corvanel::platform::FindiPod();
        if (path == corvanel::platform::noIpodFound) {
            std::fprintf(stderr, "corvanel: %s\n", qPrintable(corvanel::platform::noIpodFound));
            return 2;
        }
    }
    MusicLibrary &library = theLibrary();
    LoadReport report;
    if (const std::optional<QString> failure = loadLibraryAt(path, library, report, arguments->fromTags)) {
        std::fprintf(stderr, "corvanel: %s\n", qPrintable(*failure));
        return 2;
    }
    if (const std::optional<QString> reason = nothingToExtract(library, report)) {
        std::fprintf(stderr, "corvanel: %s: %s\n", qPrintable(path), qPrintable(*reason));
        return 2;
    }
    printLoadWarnings(report);
    corvanel::extract::SongExtractor extractor(library);
    extractor.setCovers(arguments->covers);
    if (const std::optional<QString> refusal = extractor.destinationRefusal(arguments->destination)) {
        std::fprintf(stderr, "corvanel: %s\n", qPrintable(*refusal));
        return 2;
    }
    const std::size_t unread = printUnread(library.iPodDrive, report);
    extractor.AddSongs(masterOrder(library));
    const int status = copySongs(extractor, arguments->destination, arguments->format);
    return status == 0 && unread > 0 ? 1 : status;
}

} // namespace corvanel::app
