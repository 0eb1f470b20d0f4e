// The copy loop on an iPod folder: names, collisions, progress, failures and stopping.
#include "SongExtractor.h"
#include "ArtworkWriter.h"
#include "ExtractFixture.h"
#include "ExtractNames.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvanel::extract;

namespace {

class ExtractTest : public ExtractFixture
{
protected:
    // Runs the background loop to its end; the signal that ended it.
    QString runInBackground(SongExtractor &extractor, const QString &destination,
                            const QString &format = kDefaultFormat)
    {
        QSignalSpy finished(&extractor, &SongExtractor::finished);
        QSignalSpy failed(&extractor, &SongExtractor::failed);
        QSignalSpy stopped(&extractor, &SongExtractor::stopped);
        extractor.StartExtract(destination, format);
        const auto ended = [&] { return finished.count() + failed.count() + stopped.count() > 0; };
        EXPECT_TRUE(QTest::qWaitFor(ended, 10000));
        EXPECT_FALSE(extractor.running());
        if (!failed.isEmpty())
            return failed.first().first().toString();
        return finished.isEmpty() ? (stopped.isEmpty() ? QStringLiteral("hung") : QStringLiteral("stopped"))
                                  : QStringLiteral("finished");
    }
};

} // namespace

TEST_F(ExtractTest, SongsLandInTheTemplatesFolders)
{
    const int rock = addSong("ABCD.mp3", "rock", "Song: One", 1, "Me/You", "First", "Rock");
    const int bare = addSong("NOEXT", "raw", "Bare", 0, QString());
    const int sneaky = addSong("EVIL.m4a", "evil", "..", 2, "..", "../../etc", ".");
    SongExtractor extractor(library);
    extractor.AddSongs({rock, bare, rock, sneaky, bare});
    EXPECT_EQ(extractor.rows(), (QStringList{"Me/You - Song: One", " - Bare", ".. - .."}));
    QSignalSpy destination(&extractor, &SongExtractor::destinationChanged);
    EXPECT_EQ(runInBackground(extractor, out.path()), QStringLiteral("finished"));
    EXPECT_EQ(destination.count(), 1);
    EXPECT_EQ(destination.first().first().toString(), out.path() + QLatin1Char('/'));
    EXPECT_EQ(filesOut(),
              (QStringList{"Rock/MeYou/First/01 - Song One.mp3",
                           "Unknown Genre/Unknown Artist/Unknown Album/00 - Bare.dat", "_/_/....etc/02 - ...m4a"}));
    EXPECT_EQ(read(QStringLiteral("Rock/MeYou/First/01 - Song One.mp3")), QByteArray("rock"));
}

TEST_F(ExtractTest, SongsOfOneRunNeverOverwriteEachOther)
{
    QFile before(out.filePath(QStringLiteral("Same.mp3")));
    ASSERT_TRUE(before.open(QIODevice::WriteOnly) && before.write("from an earlier run") > 0);
    before.close();
    std::vector<int32_t> songs;
    for (const char *content : {"one", "two", "three"})
        songs.push_back(addSong(QString::fromLatin1(content) + ".mp3", content, "Same"));
    songs.push_back(addSong("four.mp3", "four", "SAME"));
    SongExtractor extractor(library);
    extractor.AddSongs(songs);
    EXPECT_FALSE(extractor.extractNow(out.path(), QStringLiteral("[title]")));
    EXPECT_EQ(filesOut(), (QStringList{"SAME (4).mp3", "Same (2).mp3", "Same (3).mp3", "Same.mp3"}));
    // A file from before the run is replaced; the run's own files are not.
    EXPECT_EQ(read(QStringLiteral("Same.mp3")), QByteArray("one"));
    EXPECT_EQ(read(QStringLiteral("Same (3).mp3")), QByteArray("three"));
    EXPECT_EQ(read(QStringLiteral("SAME (4).mp3")), QByteArray("four"));
}

TEST_F(ExtractTest, ListsOfOneAndOfNone)
{
    const int only = addSong("ONLY.mp3", QByteArray(300000, 'x'), "Only", 3);
    SongExtractor extractor(library);
    extractor.AddSongs({only});
    QSignalSpy progress(&extractor, &SongExtractor::progress);
    EXPECT_EQ(runInBackground(extractor, out.path() + QLatin1Char('/')), QStringLiteral("finished"));
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.first().at(1).toInt(), 1);
    EXPECT_EQ(read(QStringLiteral("Unknown Genre/A/Unknown Album/03 - Only.mp3")).size(), 300000);

    extractor.removeRows({0, 0});
    EXPECT_TRUE(extractor.songs().empty());
    QDir(out.path()).removeRecursively();
    EXPECT_EQ(runInBackground(extractor, out.path()), QStringLiteral("finished"));
    EXPECT_FALSE(QFileInfo::exists(out.path()));
}

TEST_F(ExtractTest, FailuresStopWithTheErrorAndNoPartialFile)
{
    const int good = addSong("GOOD.mp3", "good", "Good");
    const int missing = addSong("GONE.mp3", QByteArray(), "Gone");
    const int after = addSong("AFTER.mp3", "after", "After");
    SongExtractor extractor(library);
    extractor.AddSongs({good, missing, after});
    EXPECT_EQ(runInBackground(extractor, out.path(), QStringLiteral("[title]")),
              QStringLiteral("There was an error during the extract process!\nError 2: No such file or directory"));
    // What was copied before the failure stays; nothing after it is written.
    EXPECT_EQ(filesOut(), QStringList{"Good.mp3"});

    // A folder nobody may write to; root is made to obey it for this thread.
    QDir(out.path()).removeRecursively();
    QDir().mkpath(out.path());
    ASSERT_EQ(::chmod(QFile::encodeName(out.path()).constData(), 0555), 0);
    ::chmod(QFile::encodeName(ipod.path()).constData(), 0755);
    const bool root = ::geteuid() == 0;
    if (root)
        ::setfsuid(65534);
    extractor.AddSongs({good});
    const std::optional<QString> error = extractor.extractNow(out.path(), QStringLiteral("[title]"));
    if (root)
        ::setfsuid(0);
    ::chmod(QFile::encodeName(out.path()).constData(), 0755);
    EXPECT_EQ(error, QStringLiteral("There was an error during the extract process!\nError 13: Permission denied"));
    EXPECT_TRUE(filesOut().isEmpty());
}

TEST_F(ExtractTest, StoppingLeavesNothingHalfWritten)
{
    std::vector<int32_t> songs;
    for (int i = 0; i < 40; ++i)
        songs.push_back(addSong(QStringLiteral("BIG%1.mp3").arg(i), QByteArray(4 << 20, char('a' + i % 26)),
                                QStringLiteral("Big %1").arg(i)));
    SongExtractor extractor(library);
    extractor.AddSongs(songs);
    QObject::connect(&extractor, &SongExtractor::progress, &extractor, [&](double position) {
        if (position >= 1.0)
            extractor.stop();
    });
    EXPECT_EQ(runInBackground(extractor, out.path(), QStringLiteral("[title]")), QStringLiteral("stopped"));
    const QStringList files = filesOut();
    EXPECT_LT(files.size(), 40);
    for (const QString &file : files) {
        EXPECT_FALSE(file.startsWith(QLatin1Char('.'))) << qPrintable(file);
        EXPECT_EQ(QFileInfo(out.filePath(file)).size(), 4 << 20) << qPrintable(file);
    }
}

TEST_F(ExtractTest, AWriteProtectedFileIsNeverReplaced)
{
    const int song = addSong("KEEP.mp3", "new bytes", "Keep");
    QFile kept(out.filePath(QStringLiteral("Keep.mp3")));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly) && kept.write("kept bytes") > 0);
    kept.close();
    // Root may write anything, so the rule is the mode bits, as for everyone else.
    ASSERT_EQ(::chmod(QFile::encodeName(kept.fileName()).constData(), 0444), 0);
    SongExtractor extractor(library);
    extractor.AddSongs({song});
    EXPECT_EQ(extractor.extractNow(out.path(), QStringLiteral("[title]")),
              QStringLiteral("There was an error during the extract process!\nError 13: Permission denied"));
    EXPECT_EQ(read(QStringLiteral("Keep.mp3")), QByteArray("kept bytes"));
    EXPECT_EQ(filesOut(), QStringList{"Keep.mp3"}) << "no temporary file is left";

    ASSERT_EQ(::chmod(QFile::encodeName(kept.fileName()).constData(), 0644), 0);
    EXPECT_FALSE(extractor.extractNow(out.path(), QStringLiteral("[title]")));
    EXPECT_EQ(read(QStringLiteral("Keep.mp3")), QByteArray("new bytes"));
}

TEST_F(ExtractTest, NothingIsEverWrittenIntoTheIpod)
{
    const int song = addSong("F1.mp3", "the song", "F1");
    const QString songFile = ipod.filePath(QStringLiteral("iPod_Control/Music/F00/F1.mp3"));
    const QString music = ipod.filePath(QStringLiteral("iPod_Control/Music"));
    ASSERT_TRUE(QFile::link(music, out.filePath(QStringLiteral("ToMusic"))));
    ASSERT_TRUE(QFile::link(ipod.path(), out.filePath(QStringLiteral("ToIpod"))));
    ASSERT_EQ(::link(QFile::encodeName(songFile).constData(), QFile::encodeName(out.filePath("F1.mp3")).constData()),
              0);
    const QString refused = QStringLiteral("Songs cannot be extracted into the iPod itself");
    const struct
    {
        QString destination, format, error;
    } cases[] = {
        {ipod.path(), "iPod_Control/Music/F00/[title]", refused},
        {music + "/", "[title]", refused},
        {out.filePath("ToIpod"), "[title]", refused},
        {"  ", "[title]", "Please choose a folder to extract the songs to."},
        // A template that leads back onto the iPod through a link below the destination.
        {out.path(), "ToMusic\\F00\\[title]", "is on the iPod itself."},
        {out.path(), "[artist]\\..\\ToMusic\\F00\\[title]", ""}, // ".." is no way out: it becomes "_"
        // Another name of the very song file.
        {out.path(), "[title]", "is the song's own file on the iPod."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(c.destination + " " + c.format));
        SongExtractor extractor(library);
        extractor.AddSongs({song});
        const std::optional<QString> error = extractor.extractNow(c.destination, c.format);
        EXPECT_EQ(error.value_or(QString()).contains(c.error), true) << qPrintable(error.value_or("none"));
        EXPECT_EQ(error.has_value(), !c.error.isEmpty());
        QFile stored(songFile);
        ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
        EXPECT_EQ(stored.readAll(), QByteArray("the song"));
        EXPECT_EQ(QDir(ipod.filePath("iPod_Control/Music/F00")).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"F1.mp3"});
    }
    EXPECT_EQ(read("A/_/ToMusic/F00/F1.mp3"), QByteArray("the song"));

    // The window's way: the copy fails before it starts.
    SongExtractor extractor(library);
    extractor.AddSongs({song});
    EXPECT_TRUE(runInBackground(extractor, ipod.path()).startsWith(refused));
}

TEST_F(ExtractTest, EachFolderGetsTheCoverOfItsFirstSongWithOneOnce)
{
    // Album X: a song without a cover, then two with covers; Y: one with a cover; Z: a cover and
    // a cover.jpg of the user's own; W: no cover at all.
    const std::pair<const char *, uint32_t> songs[] = {{"X", 0}, {"X", 1}, {"X", 2}, {"Y", 2}, {"Z", 1}, {"W", 0}};
    std::vector<int32_t> indexes;
    for (const auto &[album, image] : songs) {
        indexes.push_back(addSong(QStringLiteral("S%1.mp3").arg(indexes.size()), "x",
                                  QStringLiteral("T%1").arg(indexes.size()), 0, "A", album));
        library.Songs.back().ArtworkId = image;
    }
    const auto thumb = [](int pattern, int side) {
        return mkipod::CoverThumb(side == 200 ? 1029 : 1028, side, side, mkipod::coverPixels(pattern, side, side));
    };
    ASSERT_TRUE(mkipod::writeArtwork(ipod.path(), {{1, 0, {thumb(1, 100), thumb(1, 200)}}, {2, 0, {thumb(2, 100)}}}));
    for (const bool covers : {true, false}) {
        QTemporaryDir dest;
        ASSERT_TRUE(writeFile(dest.filePath(QStringLiteral("Z/cover.jpg")), "mine"));
        SongExtractor extractor(library);
        extractor.setCovers(covers);
        extractor.AddSongs(indexes);
        ASSERT_EQ(runInBackground(extractor, dest.path(), QStringLiteral("[album]\\[title]")), "finished");
        const auto size = [&](const char *album) {
            return QImage(dest.filePath(QStringLiteral("%1/cover.jpg").arg(QLatin1String(album)))).size();
        };
        EXPECT_EQ(size("X"), covers ? QSize(200, 200) : QSize(0, 0)) << "the first song with a cover, largest size";
        EXPECT_EQ(size("Y"), covers ? QSize(100, 100) : QSize(0, 0));
        EXPECT_FALSE(QFile::exists(dest.filePath(QStringLiteral("W/cover.jpg"))));
        EXPECT_EQ(readFile(dest.filePath(QStringLiteral("Z/cover.jpg"))), QByteArray("mine"));
        EXPECT_EQ(QDir(dest.filePath(QStringLiteral("X"))).entryList(QDir::Files | QDir::Hidden).size(), covers ? 4 : 3)
            << "no temporary file is left";
    }
}
