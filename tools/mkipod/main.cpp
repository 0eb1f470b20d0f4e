// mkipod: makes iPod folders for tests, benchmarks and the demo.
#include "IpodBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStringList>
#include <cstdio>

namespace {

const char *const kUsage =
    "Usage:\n"
    "  mkipod demo OUTDIR\n"
    "      The demo iPod: songs with generated music (MP3, AAC and WAV), playlists,\n"
    "      an On-The-Go list and a podcast.\n"
    "  mkipod large OUTDIR --tracks N --playlists P [--files] [--layout itunes7|legacy|libgpod]\n"
    "      A large library of N tracks and P playlists; --files also writes a small\n"
    "      song file for every track (in Music/F00..F49).\n"
    "  mkipod --help\n";

int usageError(const QString &message)
{
    std::fprintf(stderr, "mkipod: %s\n\n%s", qPrintable(message), kUsage);
    return 2;
}

bool parseCount(const QString &text, int *value)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 0)
        return false;
    *value = n;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty())
        return usageError(QStringLiteral("a command is missing"));
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    const QString command = args[0];
    if (args.size() < 2)
        return usageError(QStringLiteral("the output folder is missing"));
    const QString out = QDir(args[1]).absolutePath();
    QElapsedTimer timer;
    timer.start();
    QString error;

    if (command == QLatin1String("demo")) {
        if (args.size() > 2)
            return usageError(QStringLiteral("unexpected argument \"%1\"").arg(args[2]));
        std::printf("Making the demo iPod in %s ...\n", qPrintable(out));
        std::fflush(stdout);
        if (!mkipod::makeDemoIpod(out, &error)) {
            std::fprintf(stderr, "mkipod: %s\n", qPrintable(error));
            return 1;
        }
    } else if (command == QLatin1String("large")) {
        int tracks = -1;
        int playlists = 0;
        bool files = false;
        mkipod::Layout layout = mkipod::Layout::ITunes7;
        for (qsizetype i = 2; i < args.size(); ++i) {
            const QString &a = args[i];
            const bool hasValue = i + 1 < args.size();
            if (a == QLatin1String("--tracks") && hasValue) {
                if (!parseCount(args[++i], &tracks))
                    return usageError(QStringLiteral("--tracks needs a number of 0 or more, not \"%1\"").arg(args[i]));
            } else if (a == QLatin1String("--playlists") && hasValue) {
                if (!parseCount(args[++i], &playlists))
                    return usageError(
                        QStringLiteral("--playlists needs a number of 0 or more, not \"%1\"").arg(args[i]));
            } else if (a == QLatin1String("--files")) {
                files = true;
            } else if (a == QLatin1String("--layout") && hasValue) {
                const QString v = args[++i].toLower();
                if (v == QLatin1String("itunes7"))
                    layout = mkipod::Layout::ITunes7;
                else if (v == QLatin1String("legacy"))
                    layout = mkipod::Layout::Legacy;
                else if (v == QLatin1String("libgpod"))
                    layout = mkipod::Layout::Libgpod;
                else
                    return usageError(QStringLiteral("unknown layout \"%1\"").arg(args[i]));
            } else {
                return usageError(QStringLiteral("unexpected argument \"%1\"").arg(a));
            }
        }
        if (tracks < 0)
            return usageError(QStringLiteral("--tracks is missing"));
        std::printf("Making a library of %d tracks and %d playlists in %s ...\n", tracks, playlists, qPrintable(out));
        std::fflush(stdout);
        if (!mkipod::makeLargeIpod(out, tracks, playlists, files, layout, &error)) {
            std::fprintf(stderr, "mkipod: %s\n", qPrintable(error));
            return 1;
        }
    } else {
        return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
    }
    std::printf("Done in %.2f s.\n", double(timer.elapsed()) / 1000.0);
    return 0;
}
