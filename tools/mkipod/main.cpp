// mkipod: makes iPod folders for tests, benchmarks and the demo.
#include "IpodBuilder.h"
#include "SqliteWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStringList>
#include <cstdio>
#include <optional>

namespace {

const char *const kUsage = "Usage:\n"
                           "  mkipod demo OUTDIR [--database removed|empty|corrupt|sqlite] [--extra N]\n"
                           "      The demo iPod: songs with generated music (MP3, AAC and WAV, each file tagged\n"
                           "      with its track's title, artist, album, genre and number), playlists, an\n"
                           "      On-The-Go list and a podcast.\n"
                           "      --database removed  then deletes the iTunesDB (the song files stay);\n"
                           "      --database empty    replaces it with a valid database without tracks;\n"
                           "      --database corrupt  overwrites it with garbage of the same size;\n"
                           "      --database sqlite   writes the library as a nano 6G/7G holds it (SQLite\n"
                           "                          databases in iTunes Library.itlp, an iTunesDB without\n"
                           "                          tracks).\n"
                           "      --extra N           adds N (up to 1000) tagged songs that the database does\n"
                           "                          not list.\n"
                           "  mkipod large OUTDIR --tracks N --playlists P [--files [--tags]]\n"
                           "               [--layout itunes7|legacy|libgpod] [--database sqlite]\n"
                           "      A large library of N tracks and P playlists; --files also writes a small\n"
                           "      song file for every track (in Music/F00..F49), --tags starts each of those\n"
                           "      files with an ID3 tag of its own track; --database sqlite as for the demo.\n"
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
        std::optional<mkipod::DatabaseDamage> damage;
        bool sqlite = false;
        int extra = 0;
        for (qsizetype i = 2; i < args.size(); ++i) {
            const QString &a = args[i];
            const bool hasValue = i + 1 < args.size();
            if (a == QLatin1String("--database") && hasValue) {
                const QString v = args[++i].toLower();
                if (v == QLatin1String("removed"))
                    damage = mkipod::DatabaseDamage::Removed;
                else if (v == QLatin1String("empty"))
                    damage = mkipod::DatabaseDamage::Emptied;
                else if (v == QLatin1String("corrupt"))
                    damage = mkipod::DatabaseDamage::Corrupted;
                else if (v == QLatin1String("sqlite"))
                    sqlite = true;
                else
                    return usageError(
                        QStringLiteral("--database needs removed, empty, corrupt or sqlite, not \"%1\"").arg(args[i]));
            } else if (a == QLatin1String("--extra") && hasValue) {
                if (!parseCount(args[++i], &extra) || extra > mkipod::kMaxExtraSongs)
                    return usageError(QStringLiteral("--extra needs a number from 0 to %1, not \"%2\"")
                                          .arg(mkipod::kMaxExtraSongs)
                                          .arg(args[i]));
            } else if (a == QLatin1String("--database") || a == QLatin1String("--extra")) {
                return usageError(QStringLiteral("%1 needs a value").arg(a));
            } else {
                return usageError(QStringLiteral("unexpected argument \"%1\"").arg(a));
            }
        }
        std::printf("Making the demo iPod in %s ...\n", qPrintable(out));
        std::fflush(stdout);
        // The extra songs first, so that their names are checked against the database's locations.
        if (!mkipod::makeDemoIpod(out, &error) || !mkipod::addExtraSongs(out, extra, &error) ||
            (damage && !mkipod::damageDatabase(out, *damage, &error)) ||
            (sqlite && !mkipod::makeSqliteIpod(out, mkipod::demoDatabase(), &error))) {
            std::fprintf(stderr, "mkipod: %s\n", qPrintable(error));
            return 1;
        }
    } else if (command == QLatin1String("large")) {
        int tracks = -1;
        int playlists = 0;
        mkipod::LargeIpodOptions options;
        bool sqlite = false;
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
                options.files = true;
            } else if (a == QLatin1String("--tags")) {
                options.tags = true;
            } else if (a == QLatin1String("--layout") && hasValue) {
                const QString v = args[++i].toLower();
                if (v == QLatin1String("itunes7"))
                    options.layout = mkipod::Layout::ITunes7;
                else if (v == QLatin1String("legacy"))
                    options.layout = mkipod::Layout::Legacy;
                else if (v == QLatin1String("libgpod"))
                    options.layout = mkipod::Layout::Libgpod;
                else
                    return usageError(QStringLiteral("unknown layout \"%1\"").arg(args[i]));
            } else if (a == QLatin1String("--database") && hasValue) {
                if (args[++i].toLower() != QLatin1String("sqlite"))
                    return usageError(QStringLiteral("--database needs sqlite, not \"%1\"").arg(args[i]));
                sqlite = true;
            } else if (a == QLatin1String("--tracks") || a == QLatin1String("--playlists") ||
                       a == QLatin1String("--layout") || a == QLatin1String("--database")) {
                return usageError(QStringLiteral("%1 needs a value").arg(a));
            } else {
                return usageError(QStringLiteral("unexpected argument \"%1\"").arg(a));
            }
        }
        if (tracks < 0)
            return usageError(QStringLiteral("--tracks is missing"));
        if (options.tags && !options.files)
            return usageError(QStringLiteral("--tags needs --files: the tags are written into the song files"));
        std::printf("Making a library of %d tracks and %d playlists in %s ...\n", tracks, playlists, qPrintable(out));
        std::fflush(stdout);
        if (!mkipod::makeLargeIpod(out, tracks, playlists, options, &error) ||
            (sqlite && !mkipod::makeSqliteIpod(out, mkipod::makeLargeDatabase(tracks, playlists), &error))) {
            std::fprintf(stderr, "mkipod: %s\n", qPrintable(error));
            return 1;
        }
    } else {
        return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
    }
    std::printf("Done in %.2f s.\n", double(timer.elapsed()) / 1000.0);
    return 0;
}
