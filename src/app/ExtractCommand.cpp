#include "ExtractCommand.h"

#include "ExtractNames.h"
#include "LoadReport.h"
#include "MusicLibrary.h"
#include "NativePath.h"
#include "ParseiTunesDB.h"
#include "SongExtractor.h"
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
        } else if (arguments.path.isEmpty()) {
            arguments.path = words.at(i);
        } else {
            error = QStringLiteral("only one PATH may follow --extract DEST");
            return std::nullopt;
        }
    }
    return arguments;
}

// The songs of the master playlist, in its order.
std::vector<int32_t> masterOrder(const MusicLibrary &library)
{
    std::vector<int32_t> songs;
    if (library.Playlists.empty()) {
        for (int32_t i = 0; i < static_cast<int32_t>(library.Songs.size()); ++i)
            songs.push_back(i);
        return songs;
    }
    const clsList &ids = library.Playlists.front()->SongIDs;
    for (int i = 0; i < ids.ListCount(); ++i) {
        if (const auto index = library.indexOf(ids.List(i)))
            songs.push_back(*index);
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
        report = ParseiTunesDB(database, library);
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
    const std::size_t unread = printUnread(library.iPodDrive, report);
    corvanel::extract::SongExtractor extractor(library);
    extractor.AddSongs(masterOrder(library));
    const int count = static_cast<int>(extractor.songs().size());
    ProgressPrinter printer;
    const std::optional<QString> failed = extractor.extractNow(
        arguments->destination, arguments->format, [&](double position, int total) { printer(position, total); });
    if (failed) {
        std::fprintf(stderr, "\n%s\n", qPrintable(*failed));
        return 1;
    }
    printer.end(count);
    return unread == 0 ? 0 : 1;
}

} // namespace corvanel::app
