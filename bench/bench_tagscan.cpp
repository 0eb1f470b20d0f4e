// The tag scan over 32,767 small tagged song files (mkipod's large iPod with --files --tags),
// warm cache, side by side in the same run with:
// - ffprobe -show_format on a sample of 500 of the same files, one process per file, scaled
//   to a per-file time (target: the scan at least 20 times faster per file);
// - a bare loop that lists the folders with readdir, opens each file and reads its first 64 KB
//   (target: the scan at most 3 times its time).
// Then the loading window's longest stall while it scans (target: at most 16.7 ms).
#include "IpodBuilder.h"
#include "MusicFolderWalk.h"
#include "RecordingDialogs.h"
#include "StallMeter.h"
#include "TagScan.h"
#include "frmLoadingDB.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

using namespace corvanel;
using namespace corvanel::itunesdb;

namespace {

constexpr int kFiles = 32767;
constexpr int kSample = 500;
constexpr int kRounds = 3;

double best(const std::vector<double> &values)
{
    return *std::min_element(values.begin(), values.end());
}

// Seconds for one full scan of the library from its tags.
double scanOnce(const QString &root, int32_t *songs)
{
    MusicLibrary library;
    library.iPodDrive = root;
    QElapsedTimer clock;
    clock.start();
    scanLibraryFromTags(library);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    *songs = library.SongCount;
    return seconds;
}

// Reads the first 64 KB of every file below `folder`, found with readdir alone; the bytes read.
qint64 readFolder(const QByteArray &folder, std::vector<char> &buffer)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return 0;
    qint64 total = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const QByteArray path = folder + '/' + entry->d_name;
        if (entry->d_type == DT_DIR) {
            total += readFolder(path, buffer);
            continue;
        }
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        total += got > 0 ? got : 0;
        ::close(fd);
    }
    ::closedir(dir);
    return total;
}

// Seconds for the least any scan must do: list the Music folders, open each file and read
// its first 64 KB.
double bareLoop(const QString &root)
{
    std::vector<char> buffer(64 * 1024);
    QElapsedTimer clock;
    clock.start();
    const qint64 total = readFolder(QFile::encodeName(root + QStringLiteral("/iPod_Control/Music")), buffer);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    return total > 0 ? seconds : -1;
}

// Seconds per file for ffprobe -show_format over every n-th file.
double ffprobePerFile(const std::vector<MusicFile> &files)
{
    const std::size_t step = std::max<std::size_t>(1, files.size() / kSample);
    int runs = 0;
    QElapsedTimer clock;
    clock.start();
    for (std::size_t i = 0; i < files.size() && runs < kSample; i += step, ++runs) {
        QProcess probe;
        probe.setStandardOutputFile(QProcess::nullDevice());
        probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"),
                                                QStringLiteral("-show_format"), QFile::decodeName(files[i].fileName)});
        if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
            return -1;
    }
    return double(clock.nsecsElapsed()) / 1e9 / runs;
}

// The loading window reading the tags, as at start-up after "Yes": its longest stall.
double windowStallMs(const QString &root, double *seconds)
{
    MusicLibrary library;
    library.iPodDrive = root;
    app::frmLoadingDB window(library);
    bool done = false;
    window.setOnLoaded([&] { done = true; });
    window.show();
    QApplication::processEvents();
    StallMeter meter;
    window.LoadTags();
    while (!done)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    meter.tick();
    *seconds = meter.elapsedMs() / 1e3;
    return meter.longestMs();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir work;
    const QString root = work.filePath(QStringLiteral("IPOD"));
    QString error;
    std::printf("making %d tagged files ...\n", kFiles);
    std::fflush(stdout);
    if (!work.isValid() || !mkipod::makeLargeIpod(root, kFiles, 0, {mkipod::Layout::ITunes7, true, true}, &error)) {
        std::fprintf(stderr, "cannot make the iPod: %s\n", qPrintable(error));
        return 1;
    }
    const std::vector<MusicFile> files = listMusicFiles(root).files;
    if (files.size() != std::size_t(kFiles)) {
        std::fprintf(stderr, "found %zu files, not %d\n", files.size(), kFiles);
        return 1;
    }
    QProcess version;
    version.setStandardOutputFile(QProcess::nullDevice());
    version.start(QStringLiteral("ffprobe"), {QStringLiteral("-version")});
    if (!version.waitForFinished(10000) || version.exitCode() != 0) {
        std::fprintf(stderr, "ffprobe is missing (Debian package ffmpeg)\n");
        return 1;
    }
    bareLoop(root); // warms the cache

    std::vector<double> ours, bare, probes;
    for (int round = 0; round < kRounds; ++round) {
        int32_t songs = 0;
        ours.push_back(scanOnce(root, &songs));
        bare.push_back(bareLoop(root));
        probes.push_back(ffprobePerFile(files));
        if (songs != kFiles || bare.back() < 0 || probes.back() < 0) {
            std::fprintf(stderr, "round %d failed: %d songs read\n", round + 1, songs);
            return 1;
        }
        std::printf("  round %d: scan %.3f s, bare loop %.3f s, ffprobe %.2f ms per file\n", round + 1, ours.back(),
                    bare.back(), probes.back() * 1e3);
    }
    corvanel::platform::RecordingDialogs dialogs;
    corvanel::platform::setDialogs(&dialogs);
    std::vector<double> stalls;
    double windowSeconds = 0;
    for (int round = 0; round < kRounds; ++round)
        stalls.push_back(windowStallMs(root, &windowSeconds));
    corvanel::platform::setDialogs(nullptr);

    const double oursPerFile = best(ours) / kFiles;
    std::printf("tag scan: %d files, best of %d rounds\n", kFiles, kRounds);
    std::printf("  ours      %.3f s  %.1f us per file\n", best(ours), oursPerFile * 1e6);
    std::printf("  bare loop %.3f s  %.1f us per file (readdir, open, read 64 KB)\n", best(bare),
                best(bare) / kFiles * 1e6);
    std::printf("  ffprobe   %.2f ms per file (%d of the files)\n", best(probes) * 1e3, kSample);
    std::printf("  speed ratio ffprobe/ours per file: %.0f (target >= 20)\n", best(probes) / oursPerFile);
    std::printf("  time ratio ours/bare loop: %.2f (target <= 3)\n", best(ours) / best(bare));
    std::printf("  longest loading-window stall while scanning: %.1f ms (target <= 16.7 ms), scan %.2f s\n",
                best(stalls), windowSeconds);
    return 0;
}
