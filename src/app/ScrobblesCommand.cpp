#include "ScrobblesCommand.h"

#include "ExtractCommand.h"
#include "LibraryJson.h"
#include "LoadReport.h"
#include "MusicLibrary.h"
#include "NativePath.h"
#include "PlayHistoryExport.h"

#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace corvanel::app {

using namespace corvanel::history;

namespace {

struct ScrobblesArguments
{
    ListenFormat format = ListenFormat::ScrobblerLog;
    bool all = false;
    QString path;
};

std::optional<ScrobblesArguments> parseArguments(const QStringList &words, QString &error)
{
    ScrobblesArguments arguments;
    for (qsizetype i = 1; i < words.size(); ++i) {
        const QString &word = words.at(i);
        if (word == QLatin1String("--all")) {
            arguments.all = true;
        } else if (word == QLatin1String("--format")) {
            const auto format = i + 1 < words.size() ? listenFormatNamed(words.at(i + 1)) : std::nullopt;
            if (!format) {
                error = QStringLiteral("--format needs scrobbler-log, listenbrainz or csv");
                return std::nullopt;
            }
            arguments.format = *format;
            ++i;
        } else if (arguments.path.isEmpty()) {
            arguments.path = word;
        } else {
            error = QStringLiteral("--scrobbles takes one PATH");
            return std::nullopt;
        }
    }
    if (arguments.path.isEmpty()) {
        error = QStringLiteral("--scrobbles needs a PATH (an iPod folder or an iTunesDB file)");
        return std::nullopt;
    }
    return arguments;
}

QString databaseFileOf(const QString &path, const QString &iPodDrive)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return info.absoluteFilePath();
    return NativePathResolver(iPodDrive).resolve(QStringLiteral("\\iPod_Control\\iTunes\\iTunesDB"));
}

bool writeStandardOutput(const QByteArray &bytes)
{
    return std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) ==
               static_cast<size_t>(bytes.size()) &&
           std::fflush(stdout) == 0 && !std::ferror(stdout);
}

void printSummary(const PendingExport &pending)
{
    std::fprintf(stderr, "corvanel: %zu plays exported", pending.listens.size());
    if (pending.alreadyExported)
        std::fprintf(stderr, "; %d exported before and left out (--all repeats them)", pending.alreadyExported);
    if (pending.undated)
        std::fprintf(stderr, "; %d without a time left out", pending.undated);
    std::fputc('\n', stderr);
    if (!pending.ledger)
        std::fputs("corvanel: warning: this iPod has neither a FirewireGuid nor a database id; no record of the "
                   "export is kept\n",
                   stderr);
}

} // namespace

int scrobblesCommand(const QStringList &words)
{
    QString error;
    const std::optional<ScrobblesArguments> arguments = parseArguments(words, error);
    if (!arguments) {
        std::fprintf(stderr, "corvanel: %s\n", qPrintable(error));
        return 2;
    }
    MusicLibrary &library = theLibrary();
    LoadReport report;
    std::optional<QString> failure = loadLibraryAt(arguments->path, library, report);
    if (!failure)
        failure = loadFailure(library, report);
    if (failure) {
        std::fprintf(stderr, "corvanel: %s: %s\n", qPrintable(arguments->path), qPrintable(*failure));
        return 2;
    }
    ExportOptions options;
    options.format = arguments->format;
    options.all = arguments->all;
    options.clientVersion = QStringLiteral(CORVANEL_VERSION_TEXT);
    options.ledgerKey = PlayLedger::keyFor(library.iPodDrive, databaseFileOf(arguments->path, library.iPodDrive));
    const PendingExport pending = pendingExport(library, options);
    if (!completeExport(pending, options, writeStandardOutput, &error)) {
        std::fprintf(stderr, "corvanel: %s\n", qPrintable(error));
        return 1;
    }
    printSummary(pending);
    return 0;
}

} // namespace corvanel::app
