#include "MusicLibrary.h"
#include "QtDialogs.h"
#include "Shell.h"
#include "TerminationSignals.h"
#include "frmInit.h"
#include "mdliPodDetect.h"

#include "ExtractCommand.h"
#include "IpodCheckup.h"
#include "LibraryJson.h"
#include "LoadReport.h"
#include "ParseiTunesDB.h"
#include "ScrobblesCommand.h"
#include "TagScan.h"

#include <QApplication>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

using namespace corvanel;
using namespace corvanel::app;
using namespace corvanel::itunesdb;
using namespace corvanel::library;
using namespace corvanel::platform;

namespace {
const char *kUsage = "Usage: corvanel [FOLDER | ITUNESDB] [screenjump]\n"
                     "       corvanel --print-library [--from-tags] PATH\n"
                     "       corvanel --orphans PATH\n"
                     "       corvanel --scrobbles [--format FORMAT] [--all] PATH\n"
                     "       corvanel --check-up PATH\n"
                     "       corvanel --extract DEST [--format TEMPLATE] [--from-tags] [--no-covers] [PATH]\n"
                     "\n"
                     "Browse and play the music on an iPod that is mounted as a disk.\n"
                     "\n"
                     "  FOLDER                the folder the iPod is mounted on, e.g. /media/you/IPOD\n"
                     "  ITUNESDB              the full path of an iTunesDB file\n"
                     "  (nothing)             find a mounted iPod by itself\n"
                     "  --print-library PATH  read the library of PATH (an iPod folder or an iTunesDB file),\n"
                     "                        print it as JSON and exit (2 when nothing could be read)\n"
                     "  --extract DEST        copy every song of the library (of PATH, or of the iPod found)\n"
                     "                        into the folder DEST, in the master playlist's order, under\n"
                     "                        names made by --format (default:\n"
                     "                        \"[genre]\\[artist]\\[album]\\[track number] - [title]\");\n"
                     "                        each folder given songs with a cover also gets that cover\n"
                     "                        as cover.jpg (an existing one is kept);\n"
                     "                        progress goes to stderr; exits 0 when every song is copied,\n"
                     "                        1 when a copy fails, 2 when the library cannot be read or\n"
                     "                        DEST is on the iPod, 130 or 143 on Ctrl+C or SIGTERM\n"
                     "  --no-covers           with --extract: write no cover.jpg\n"
                     "  --from-tags           with --print-library or --extract: read the songs from their\n"
                     "                        own tags under iPod_Control/Music instead of the database\n"
                     "  --orphans PATH        print the song files of the iPod at PATH that its database\n"
                     "                        does not list, as JSON, and exit\n"
                     "  --scrobbles PATH      print the plays the iPod at PATH recorded since its last sync\n"
                     "                        that were not exported before, for a scrobbling service;\n"
                     "                        --format scrobbler-log (default, an Audioscrobbler 1.1 log),\n"
                     "                        listenbrainz (a ListenBrainz import) or csv; --all includes\n"
                     "                        the plays exported before\n"
                     "  --check-up PATH       look the iPod at PATH over without changing it: which database\n"
                     "                        it holds and uses, damage, the checksum its model wants, songs\n"
                     "                        without files and files without songs, Play Counts, space and\n"
                     "                        model; prints the findings as JSON, worst first, and exits 1\n"
                     "                        when one is an error, 2 when PATH is not there\n"
                     "  --version             print the version and exit\n"
                     "  --help                print this text and exit\n";

int printLibrary(const QString &path, bool fromTags)
{
    MusicLibrary &library = theLibrary();
    LoadReport report;
    if (const std::optional<QString> failure = loadLibraryAt(path, library, report, fromTags)) {
        std::fprintf(stderr, "corvanel: %s\n", qPrintable(*failure));
        return 2;
    }
    ArtworkLibrary artwork(library.iPodDrive);
    const QByteArray json = libraryToJson(library, report, &artwork);
    std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
    std::fputc('\n', stdout);
    // The document names the problem too; the status tells a script that nothing was read.
    if (const std::optional<QString> failure = loadFailure(library, report)) {
        std::fprintf(stderr, "corvanel: %s: %s\n", qPrintable(path), qPrintable(*failure));
        return 2;
    }
    return 0;
}

int printOrphans(const QString &path)
{
    MusicLibrary &library = theLibrary();
    LoadReport report;
    if (const std::optional<QString> failure = loadLibraryAt(path, library, report)) {
        std::fprintf(stderr, "corvanel: %s\n", qPrintable(*failure));
        return 2;
    }
    if (!listMusicFiles(library.iPodDrive, nullptr, 1).musicFolderFound) {
        std::fprintf(stderr, "corvanel: %s: no iPod_Control/Music folder\n", qPrintable(path));
        return 2;
    }
    if (library.iPodName.isEmpty())
        library.iPodName = folderIpodName(library.iPodDrive);
    const QByteArray json = orphansToJson(library, findOrphanedSongs(library));
    std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
    return 0;
}
int printCheckup(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        std::fprintf(stderr, "corvanel: %s: no such file or folder\n", qPrintable(path));
        return 2;
    }
    const QString folder =
        info.isDir() ? info.absoluteFilePath() : corvanel::platform::iPodDriveFromDatabasePath(info.absoluteFilePath());
    ScanControl control;
    control.status = [](const QString &status) { std::fprintf(stderr, "%s\n", qPrintable(status)); };
    const corvanel::checkup::CheckupReport report = corvanel::checkup::IpodCheckup(folder).run(control);
    const QByteArray json = corvanel::checkup::checkupToJson(report);
    std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
    const bool error = std::any_of(report.findings.begin(), report.findings.end(), [](const auto &finding) {
        return finding.severity == corvanel::checkup::Severity::Error;
    });
    return error ? 1 : 0;
}
} // namespace

int main(int argc, char *argv[])
{
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    if (words.contains(QLatin1String("--help")) || words.contains(QLatin1String("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (words.contains(QLatin1String("--version"))) {
        std::printf("corvanel %s\n", CORVANEL_VERSION_TEXT);
        return 0;
    }
    if (!words.isEmpty() && words.first() == QLatin1String("--extract")) {
        QCoreApplication app(argc, argv);
        return extractCommand(words);
    }
    if (!words.isEmpty() && words.first() == QLatin1String("--print-library")) {
        bool fromTags = false;
        const QStringList rest = takeFromTags(words, fromTags);
        if (rest.size() != 2) {
            std::fputs("corvanel: --print-library needs one PATH\n", stderr);
            return 2;
        }
        QCoreApplication app(argc, argv);
        return printLibrary(rest.at(1), fromTags);
    }
    if (!words.isEmpty() && words.first() == QLatin1String("--scrobbles")) {
        QCoreApplication app(argc, argv);
        return scrobblesCommand(words);
    }
    if (!words.isEmpty() && words.first() == QLatin1String("--check-up")) {
        if (words.size() != 2) {
            std::fputs("corvanel: --check-up needs one PATH\n", stderr);
            return 2;
        }
        QCoreApplication app(argc, argv);
        return printCheckup(words.at(1));
    }
    if (!words.isEmpty() && words.first() == QLatin1String("--orphans")) {
        if (words.size() != 2) {
            std::fputs("corvanel: --orphans needs one PATH\n", stderr);
            return 2;
        }
        QCoreApplication app(argc, argv);
        return printOrphans(words.at(1));
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Corvanel"));
    QApplication::setApplicationName(QStringLiteral("Corvanel"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANEL_VERSION_TEXT));
    corvanel::platform::QtDialogs dialogs;
    corvanel::platform::setDialogs(&dialogs);
    corvanel::platform::DesktopShell desktop;
    corvanel::platform::setShell(&desktop);
    // Ctrl+C, logout and the Updater's SIGTERM close the windows as the close button does (the
    // main window saves the settings and closes the sound engine), then the program ends.
    corvanel::platform::TerminationSignals termination;
    QObject::connect(&termination, &corvanel::platform::TerminationSignals::received, &app, [] {
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    });

    // The command line is the whole text after the program's name.
    auto *init = new frmInit(theLibrary(), words.join(QLatin1Char(' ')));
    init->setAttribute(Qt::WA_DeleteOnClose);
    if (!init->start())
        return 0;
    const auto instance = init->takeInstanceLock();
    init->show();
    const int code = QApplication::exec();
    corvanel::platform::setDialogs(nullptr);
    corvanel::platform::setShell(nullptr);
    return code;
}
