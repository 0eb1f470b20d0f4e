// Extraction of 200 songs of 5 MB each, through the extraction window, against `cp -r` of the
// same files, side by side in the same run and with the same warm page cache (every source is
// read once before the first copy). Each timed copy starts with the file system's writeback
// done (syncfs), so that no copy pays for the one before it, is timed until its own files are
// on the disk (syncfs again), and the two take turns at going first. Targets: throughput at
// least 0.95 of cp's; the window's thread never stalls for more than 16.7 ms (a 1 ms heartbeat
// timer measures its gaps).
#include "Median.h"
#include "MusicLibrary.h"
#include "RecordingDialogs.h"
#include "SettingsStore.h"
#include "SongExtractor.h"
#include "StallMeter.h"
#include "frmExtract.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using namespace corvanel;
using namespace corvanel::extract;
using namespace corvanel::library;
using namespace corvanel::platform;

namespace {

constexpr int kSongs = 200;
constexpr qint64 kSongBytes = 5LL << 20;
constexpr int kPairs = 6;

bool makeSources(const QString &root, MusicLibrary &library)
{
    library.iPodDrive = root;
    QByteArray block(1 << 20, '\0');
    for (int i = 0; i < kSongs; ++i) {
        const QString folder = QStringLiteral("iPod_Control/Music/F%1").arg(i % 20, 2, 10, QLatin1Char('0'));
        QDir(root).mkpath(folder);
        const QString name = QStringLiteral("S%1.mp3").arg(i, 3, 10, QLatin1Char('0'));
        QFile file(root + QLatin1Char('/') + folder + QLatin1Char('/') + name);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        for (qint64 written = 0; written < kSongBytes; written += block.size()) {
            block.fill(char(i + written / block.size()));
            if (file.write(block) != block.size())
                return false;
        }
        Song &song = library.addSong();
        song.Title = QStringLiteral("Song %1").arg(i);
        song.Artist = QStringLiteral("Artist %1").arg(i % 12);
        song.Album = QStringLiteral("Album %1").arg(i % 30);
        song.Genre = QStringLiteral("Genre %1").arg(i % 5);
        song.TrackNumber = i % 14 + 1;
        song.Path =
            QLatin1Char('\\') + QString(folder).replace(QLatin1Char('/'), QLatin1Char('\\')) + QLatin1Char('\\') + name;
    }
    return true;
}

void readAll(const QString &root)
{
    QProcess::execute(QStringLiteral("sh"),
                      {QStringLiteral("-c"), QStringLiteral("cat %1/iPod_Control/Music/*/* > /dev/null").arg(root)});
}

struct WindowRun
{
    double seconds = 0;
    double longestStallMs = 0;
    double stallAtMs = 0;
    bool ok = false;
};

WindowRun extractThroughWindow(const MusicLibrary &library, const QString &destination)
{
    WindowRun run;
    corvanel::extract::frmExtract window(library);
    std::vector<int32_t> all(kSongs);
    for (int i = 0; i < kSongs; ++i)
        all[static_cast<size_t>(i)] = i;
    window.AddSongs(all);
    corvanel::platform::saveSetting(QStringLiteral("Options"), QStringLiteral("ExtractDIR"), destination);
    window.show();
    QApplication::processEvents();
    StallMeter meter;
    QObject::connect(&window.extractor(), &corvanel::extract::SongExtractor::finished, [&] { run.ok = true; });
    window.cmdExtract->click();
    while (window.isVisible())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    meter.tick();
    run.seconds = meter.elapsedMs() / 1e3;
    run.longestStallMs = meter.longestMs();
    run.stallAtMs = meter.atMs();
    return run;
}

// The longest gap of the same heartbeat with the window open and idle for as long: what the
// machine itself costs the window's thread, with no extraction running.
double idleStallMs(double seconds)
{
    QWidget idle;
    idle.show();
    StallMeter meter;
    while (meter.elapsedMs() < seconds * 1e3)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    meter.tick();
    return meter.longestMs();
}

double copyWithCp(const QString &root, const QString &destination)
{
    QElapsedTimer clock;
    clock.start();
    const int status = QProcess::execute(
        QStringLiteral("cp"), {QStringLiteral("-r"), root + QStringLiteral("/iPod_Control/Music"), destination});
    return status == 0 ? double(clock.nsecsElapsed()) / 1e9 : -1;
}

// "median (min to max)" of a series.
void printSpread(const char *label, const std::vector<double> &values)
{
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    std::printf("  %s %.3f (%.3f to %.3f)", label, median(values), *low, *high);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir work;
    MusicLibrary library;
    const QString sources = work.filePath(QStringLiteral("ipod"));
    if (!work.isValid() || !makeSources(sources, library)) {
        std::fprintf(stderr, "cannot write the source songs\n");
        return 1;
    }
    corvanel::platform::RecordingDialogs dialogs;
    corvanel::platform::setDialogs(&dialogs);
    readAll(sources);
    const int filesystem = ::open(QFile::encodeName(work.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (filesystem < 0) {
        std::fprintf(stderr, "cannot open the work folder\n");
        return 1;
    }
    // Seconds until everything written to the work folder's file system is on the disk.
    const auto settle = [filesystem] {
        QElapsedTimer clock;
        clock.start();
        ::syncfs(filesystem);
        return double(clock.nsecsElapsed()) / 1e9;
    };
    std::vector<double> ours, cp, ratios, stalls, idleStalls;
    for (int pair = 0; pair < kPairs; ++pair) {
        const QString outOurs = work.filePath(QStringLiteral("ours%1").arg(pair));
        const QString outCp = work.filePath(QStringLiteral("cp%1").arg(pair));
        const bool oursFirst = pair % 2 == 0;
        WindowRun run;
        double cpSeconds = -1;
        for (int turn = 0; turn < 2; ++turn) {
            settle();
            // Each copy is timed until its files are on the disk, so that none leaves its
            // writing to the next one.
            if ((turn == 0) == oursFirst) {
                run = extractThroughWindow(library, outOurs);
                run.seconds += settle();
            } else {
                cpSeconds = copyWithCp(sources, outCp);
                cpSeconds = cpSeconds < 0 ? cpSeconds : cpSeconds + settle();
            }
        }
        if (!run.ok || cpSeconds < 0) {
            std::fprintf(stderr, "a copy failed\n");
            return 1;
        }
        ours.push_back(run.seconds);
        cp.push_back(cpSeconds);
        ratios.push_back(cpSeconds / run.seconds);
        stalls.push_back(run.longestStallMs);
        idleStalls.push_back(idleStallMs(run.seconds));
        std::printf("  pair %d (%s first): ours %.3f s, cp %.3f s, longest stall %.1f ms at %.0f ms\n", pair + 1,
                    oursFirst ? "ours" : "cp", run.seconds, cpSeconds, run.longestStallMs, run.stallAtMs);
        QDir(outOurs).removeRecursively();
        QDir(outCp).removeRecursively();
    }
    ::close(filesystem);
    corvanel::platform::setDialogs(nullptr);
    const double megabytes = double(kSongs) * double(kSongBytes) / double(1 << 20);
    std::printf("extract: %d songs, %.0f MB, median of %d pairs (min to max)\n", kSongs, megabytes, kPairs);
    printSpread("ours ", ours);
    std::printf(" s, %.0f MB/s\n", megabytes / median(ours));
    printSpread("cp -r", cp);
    std::printf(" s, %.0f MB/s\n", megabytes / median(cp));
    printSpread("throughput ratio ours/cp of each pair:", ratios);
    std::printf(" (target >= 0.95)\n");
    std::printf("  longest window stall: %.1f ms (target <= 16.7 ms); the idle window on this machine: %.1f ms\n",
                *std::max_element(stalls.begin(), stalls.end()),
                *std::max_element(idleStalls.begin(), idleStalls.end()));
    return 0;
}
