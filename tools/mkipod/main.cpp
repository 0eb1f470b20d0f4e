// mkipod: makes iPod folders for tests, benchmarks and the demo.
#include "IpodBuilder.h"
#include "SqliteWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <cstdio>
#include <optional>

namespace {

const char *const kUsage = "Usage:\n"
                           "  mkipod demo OUTDIR [--database KIND] [--extra N] [--model NUMBER]\n"
                           "      The demo iPod: songs with generated music (MP3, AAC and WAV, each file tagged\n"
                           "      with its track's title, artist, album, genre and number), playlists, an\n"
                           "      On-The-Go list and a podcast.\n"
                           "      --database removed  then deletes the iTunesDB (the song files stay);\n"
                           "      --database empty    replaces it with a valid database without tracks;\n"
                           "      --database corrupt  overwrites it with garbage of the same size;\n"
                           "      --database compressed  writes it as iTunesCDB, as a nano 5G or later keeps it,\n"
                           "                          and leaves the iTunesDB empty;\n"
                           "      --database itunessd  makes an iPod shuffle (3rd/4th generation): the song list\n"
                           "                          iTunesSD, with playlists, and no iTunesDB;\n"
                           "      --database itunessd-1g2g  the same in the 1st/2nd generation's layout;\n"
                           "      --database sqlite   writes the library as a nano 6G/7G holds it (SQLite\n"
                           "                          databases in iTunes Library.itlp, an iTunesDB without\n"
                           "                          tracks).\n"
                           "      --extra N           adds N (up to 1000) tagged songs that the database does\n"
                           "                          not list.\n"
                           "      --model NUMBER      writes SysInfo and SysInfoExtended for that model number\n"
                           "                          (e.g. MC293, MC027, MD480); the later databases name a\n"
                           "                          nano 5G (MC027), a shuffle 2G (MA546) or 3G (MC306) by\n"
                           "                          default.\n"
                           "  mkipod compress ITUNESDB ITUNESCDB\n"
                           "      Writes any iTunesDB file as a compressed iTunesCDB file.\n"
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

// `mkipod compress IN OUT`.
int compressCommand(const QStringList &args)
{
    if (args.size() != 3)
        return usageError(QStringLiteral("compress needs the iTunesDB to read and the iTunesCDB to write"));
    QFile in(args[1]);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "mkipod: cannot read %s: %s\n", qPrintable(args[1]), qPrintable(in.errorString()));
        return 1;
    }
    const QByteArray compressed = mkipod::compressITunesDb(in.readAll());
    QFile out(args[2]);
    if (compressed.isEmpty()) {
        std::fprintf(stderr, "mkipod: %s is not an iTunesDB\n", qPrintable(args[1]));
        return 1;
    }
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(compressed) != compressed.size()) {
        std::fprintf(stderr, "mkipod: cannot write %s: %s\n", qPrintable(args[2]), qPrintable(out.errorString()));
        return 1;
    }
    return 0;
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
    if (command == QLatin1String("compress"))
        return compressCommand(args);
    if (args.size() < 2)
        return usageError(QStringLiteral("the output folder is missing"));
    const QString out = QDir(args[1]).absolutePath();
    QElapsedTimer timer;
    timer.start();
    QString error;

    if (command == QLatin1String("demo")) {
        std::optional<mkipod::DatabaseDamage> damage;
        std::optional<mkipod::DatabaseForm> form;
        QString model;
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
                else if (v == QLatin1String("compressed"))
                    form = mkipod::DatabaseForm::Compressed;
                else if (v == QLatin1String("itunessd"))
                    form = mkipod::DatabaseForm::ShuffleChunked;
                else if (v == QLatin1String("itunessd-1g2g"))
                    form = mkipod::DatabaseForm::ShuffleFixed;
                else if (v == QLatin1String("sqlite"))
                    sqlite = true;
                else
                    return usageError(QStringLiteral("--database needs removed, empty, corrupt, compressed, sqlite, "
                                                     "itunessd or itunessd-1g2g, not \"%1\"")
                                          .arg(args[i]));
            } else if (a == QLatin1String("--model") && hasValue) {
                model = args[++i];
            } else if (a == QLatin1String("--extra") && hasValue) {
                if (!parseCount(args[++i], &extra) || extra > mkipod::kMaxExtraSongs)
                    return usageError(QStringLiteral("--extra needs a number from 0 to %1, not \"%2\"")
                                          .arg(mkipod::kMaxExtraSongs)
                                          .arg(args[i]));
            } else if (a == QLatin1String("--database") || a == QLatin1String("--extra") ||
                       a == QLatin1String("--model")) {
                return usageError(QStringLiteral("%1 needs a value").arg(a));
            } else {
                return usageError(QStringLiteral("unexpected argument \"%1\"").arg(a));
            }
        }
        // A later iPod's form names a model of that kind unless told otherwise.
        if (form && model.isEmpty())
            model = *form == mkipod::DatabaseForm::Compressed     ? QStringLiteral("MC027")
                    : *form == mkipod::DatabaseForm::ShuffleFixed ? QStringLiteral("MA546")
                                                                  : QStringLiteral("MC306");
        std::printf("Making the demo iPod in %s ...\n", qPrintable(out));
        std::fflush(stdout);
        // The extra songs first, so that their names are checked against the database's locations.
        if (!mkipod::makeDemoIpod(out, &error) || !mkipod::addExtraSongs(out, extra, &error) ||
            (damage && !mkipod::damageDatabase(out, *damage, &error)) ||
            (form && !mkipod::convertDatabase(out, *form, mkipod::demoDatabase(), &error)) ||
            (sqlite && !mkipod::makeSqliteIpod(out, mkipod::demoDatabase(), &error)) ||
            (!model.isEmpty() && !mkipod::writeModel(out, model, &error))) {
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
