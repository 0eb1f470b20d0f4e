// The library read from the songs' own tags, the files the database does not know, and the
// walk's and the reader's defences against what an iPod's disk may hold.
#include "TagScan.h"
#include "AudioEncoders.h"
#include "DemoIpod.h"
#include "ExtractNames.h"
#include "IpodBuilder.h"
#include "LibraryJson.h"
#include "MusicFolderWalk.h"
#include "ParseiTunesDB.h"
#include "SongExtractor.h"
#include "TagReader.h"
#include "TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvanel;
using namespace corvanel::itunesdb;

namespace {

// The demo iPod in a folder whose name has a space, as the master playlist is named after it.
const QString &demo()
{
    return demoIpod(QStringLiteral("Demo Pod"));
}

// Writes a file by the bytes of its name, which need not be UTF-8; folders are made on the way.
bool writeRaw(const QByteArray &path, const QByteArray &bytes)
{
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1))
        ::mkdir(path.left(slash).constData(), 0700);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const bool written = fd >= 0 && ::write(fd, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
    return fd >= 0 && ::close(fd) == 0 && written;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    return writeRaw(QFile::encodeName(path), bytes);
}

// Folders nested below `top` until their full name is longer than the system opens (root
// opens any folder it may name), made relative to their parents.
void nestTooDeep(const QString &top)
{
    QDir().mkpath(top);
    int fd = ::open(QFile::encodeName(top).constData(), O_DIRECTORY);
    const QByteArray name(250, 'd');
    for (int depth = 0; depth < 17 && fd >= 0; ++depth) {
        ::mkdirat(fd, name.constData(), 0700);
        const int next = ::openat(fd, name.constData(), O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    if (fd >= 0)
        ::close(fd);
}

QByteArray randomBytes(qsizetype size)
{
    QRandomGenerator random(7);
    QByteArray bytes(size, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

// A short silent MP3 with an ID3 tag of these values; `frames` long, with the encoder's Info
// frame (which states the length) or without it.
QByteArray taggedMp3(const mkipod::SongTags &tags, int frames = 8, bool infoFrame = true)
{
    QByteArray body;
    QString error;
    EXPECT_TRUE(mkipod::encodeMp3(std::vector<int16_t>(2 * 1152 * std::size_t(frames), 0), &body, &error))
        << error.toStdString();
    if (!infoFrame) // 128 kbit/s at 44.1 kHz: 417 bytes a frame, and the padding byte
        body.remove(0, 417 + ((body.at(2) >> 1) & 1));
    return mkipod::buildId3Tag(tags) + body;
}

// An ID3v2.3 tag holding nothing but a picture of `size` bytes, as songs with cover art carry.
QByteArray pictureTag(qsizetype size)
{
    const QByteArray body = QByteArray("\0image/png\0\x03\0", 13) + QByteArray(size, '\x11');
    QByteArray tag("ID3\x03\0\0", 6);
    const qsizetype frame = 10 + body.size();
    for (const int shift : {21, 14, 7, 0})
        tag += char((frame >> shift) & 0x7f);
    tag += "APIC";
    for (const int shift : {24, 16, 8, 0})
        tag += char((body.size() >> shift) & 0xff);
    return tag + QByteArray(2, '\0') + body;
}

class TagScanTest : public ::testing::Test
{
protected:
    // A copy of the demo iPod that the test may change.
    QString demoCopy()
    {
        const QString root = dir.filePath(QStringLiteral("IPOD"));
        EXPECT_TRUE(copyTree(demo(), root));
        return root;
    }
    // QDir removes neither names that are not UTF-8 nor folders nested past the longest name.
    ~TagScanTest() override { QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), dir.path()}); }

    QTemporaryDir dir;
};

TEST_F(TagScanTest, DemoWithoutItsDatabaseGivesTheDatabasesSongs)
{
    MusicLibrary database;
    database.iPodDrive = demo();
    ASSERT_TRUE(ParseiTunesDB(demo() + "/iPod_Control/iTunes/iTunesDB", database).isDatabase);

    MusicLibrary scanned;
    scanned.iPodDrive = demo();
    std::vector<std::pair<qint64, qint64>> progress;
    ScanControl control;
    control.progress = [&](qint64 done, qint64 total) { progress.emplace_back(done, total); };
    const LoadReport report = scanLibraryFromTags(scanned, control);
    EXPECT_TRUE(report.problems.empty());
    EXPECT_TRUE(report.fromTags);
    ASSERT_EQ(scanned.SongCount, database.SongCount);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(qint64(26), qint64(26)));

    QHash<QString, const Song *> byPath;
    for (const Song &song : database.Songs)
        byPath.insert(song.Path.toLower(), &song);
    for (int32_t i = 0; i < scanned.SongCount; ++i) {
        const Song &song = scanned.Songs[static_cast<std::size_t>(i)];
        SCOPED_TRACE(song.Path.toStdString());
        EXPECT_EQ(song.SongID, i + 1);
        const Song *known = byPath.value(song.Path.toLower());
        ASSERT_NE(known, nullptr);
        EXPECT_EQ(song.Title, known->Title);
        EXPECT_EQ(song.Artist, known->Artist);
        EXPECT_EQ(song.Album, known->Album);
        EXPECT_EQ(song.Genre, known->Genre);
        EXPECT_EQ(song.TrackNumber, known->TrackNumber);
        EXPECT_EQ(song.FileType, known->FileType);
        EXPECT_NEAR(song.Length, known->Length, 50);
        EXPECT_EQ(song.FileSize, known->FileSize);
    }
    // One master playlist named after the iPod's folder, holding every song, and the indexes.
    ASSERT_EQ(scanned.PlaylistCount, 1);
    EXPECT_EQ(scanned.iPodName, "Demo Pod");
    EXPECT_EQ(scanned.Playlists[0]->Name, ":: Demo Pod ::");
    EXPECT_EQ(scanned.Playlists[0]->SongIDs.ListCount(), 26);
    EXPECT_EQ(scanned.SongIndex.size(), 26);
    ASSERT_NE(scanned.Library, nullptr);
    EXPECT_EQ(scanned.GetSongInfo("26", InfoTitle).value(), scanned.Songs.back().Title);
}

// The app's rescue tests cover each kind of damage; without song files there is nothing to read instead.
TEST_F(TagScanTest, AnUnusableDatabaseCallsForTheTagsOnlyWhenThereAreSongFiles)
{
    auto helps = [](const QString &root) {
        MusicLibrary library;
        library.iPodDrive = root;
        const LoadReport report = ParseiTunesDB(root + "/iPod_Control/iTunes/iTunesDB", library);
        return tagScanCanHelp(library, report);
    };
    const QString root = demoCopy();
    ASSERT_TRUE(mkipod::damageDatabase(root, mkipod::DatabaseDamage::Emptied));
    EXPECT_TRUE(helps(root));
    ASSERT_TRUE(QDir(root + "/iPod_Control/Music").removeRecursively());
    QDir().mkpath(root + "/iPod_Control/Music/F00");
    EXPECT_FALSE(helps(root));
}

TEST_F(TagScanTest, OrphanedFilesAreListedAndBecomeOneSourceBeforeOnTheGo)
{
    const QString root = demoCopy();
    QStringList written;
    QString error;
    ASSERT_TRUE(mkipod::addExtraSongs(root, 3, &error, &written)) << error.toStdString();
    ASSERT_TRUE(writeRaw(QFile::encodeName(root) + "/iPod_Control/Music/F00/NOISE\xff.mp3", QByteArray(20000, 'Z')));
    MusicLibrary library;
    library.iPodDrive = root;
    ParseiTunesDB(root + "/iPod_Control/iTunes/iTunesDB", library);
    const int32_t databaseSongs = library.SongCount;

    OrphanScan orphans = findOrphanedSongs(library);
    ASSERT_EQ(orphans.songs.size(), 3u);
    QStringList paths;
    qint64 bytes = 0;
    for (const Song &song : orphans.songs) {
        paths << song.Path;
        bytes += static_cast<qint64>(song.FileSize);
    }
    QStringList expected;
    for (const QString &file : written)
        expected << "\\" + QString(file).replace('/', '\\');
    expected.sort(Qt::CaseInsensitive);
    EXPECT_EQ(paths, expected);
    // The file that gives no song is named with its size, which the total includes.
    ASSERT_EQ(orphans.unreadable.size(), 1u);
    EXPECT_EQ(orphans.unreadable[0].path, QString::fromUtf8("\\iPod_Control\\Music\\F00\\NOISE\uFFFD.mp3"));
    EXPECT_EQ(orphans.unreadable[0].size, 20000);
    EXPECT_EQ(orphans.totalBytes, bytes + 20000);
    const QByteArray json = orphansToJson(library, orphans);
    EXPECT_TRUE(json.contains("\"total_size\": " + QByteArray::number(bytes + 20000)));
    EXPECT_TRUE(json.contains("\"unreadable_files\": [\n  {\"path\": \"\\\\iPod_Control\\\\Music\\\\F00\\\\NOISE"));

    addNotInDatabase(library, std::move(orphans.songs));
    ASSERT_EQ(library.SongCount, databaseSongs + 3);
    const int count = library.PlaylistCount;
    EXPECT_EQ(library.Playlists[static_cast<std::size_t>(count) - 2]->Name, "[Not in Database]");
    EXPECT_EQ(library.Playlists[static_cast<std::size_t>(count) - 1]->Name, "On-The-Go");
    QSet<double> ids;
    for (const Song &song : library.Songs)
        ids.insert(song.SongID);
    EXPECT_EQ(ids.size(), library.SongCount) << "every added song has an id of its own";
    for (const QString &id : library.Playlists[static_cast<std::size_t>(count) - 2]->SongIDs.items())
        EXPECT_GE(library.indexOf(id).value_or(-1), databaseSongs);

    // The files are still not in the database; adding them a second time changes nothing.
    OrphanScan again = findOrphanedSongs(library);
    EXPECT_EQ(again.songs.size(), 3u);
    addNotInDatabase(library, std::move(again.songs));
    EXPECT_EQ(library.SongCount, databaseSongs + 3);
    EXPECT_EQ(library.PlaylistCount, count);
}

TEST_F(TagScanTest, HostileTagsAreCleanedAndCut)
{
    const QString hugeArtist = QString(100 * 1024, QLatin1Char('a'));
    // A surrogate pair straddling the cut: it goes whole.
    const QString longAlbum = QString(MaxTagCharacters - 1, QLatin1Char('b')) + QString::fromUtf8("😀");
    ASSERT_TRUE(writeBytes(dir.filePath("pod/iPod_Control/Music/F00/ABCD.mp3"),
                           taggedMp3({QStringLiteral("Bad\x01Title\x1b[31m\x7f"), hugeArtist, longAlbum,
                                      QStringLiteral("../../etc"), 7, 0})));
    ASSERT_TRUE(writeBytes(dir.filePath("pod/iPod_Control/Music/F01/DOTS.mp3"),
                           taggedMp3({QStringLiteral(".."), {}, {}, {}, 0, 0})));
    MusicLibrary library;
    library.iPodDrive = dir.filePath("pod");
    const LoadReport report = scanLibraryFromTags(library);
    ASSERT_EQ(library.SongCount, 2);
    const Song &bad = library.Songs[0];
    EXPECT_EQ(bad.Title, "BadTitle[31m");
    EXPECT_EQ(bad.Artist.size(), MaxTagCharacters);
    EXPECT_EQ(bad.Album, QString(MaxTagCharacters - 1, QLatin1Char('b')));
    EXPECT_EQ(bad.Genre, "../../etc") << "kept as text; extraction's path rules deal with it";
    EXPECT_EQ(bad.TrackNumber, 7);
    EXPECT_EQ(library.Songs[1].Title, "..");
    EXPECT_EQ(library.Songs[1].Artist, "No Artist");
    EXPECT_EQ(library.Songs[1].Genre, "No Genre");
    EXPECT_TRUE(report.problems.empty());

    // Extraction's path rules hold for tag values as for the database's.
    const QString out = dir.filePath("deep/out");
    extract::SongExtractor extractor(library);
    extractor.AddSongs({0, 1});
    const std::optional<QString> failed = extractor.extractNow(out, extract::kDefaultFormat);
    EXPECT_EQ(failed, std::nullopt) << failed.value_or(QString()).toStdString();
    EXPECT_EQ(QDir(dir.filePath("deep")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"out"});
    int files = 0;
    for (QDirIterator it(out, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext(); it.next())
        ++files;
    EXPECT_EQ(files, 2);
}

TEST_F(TagScanTest, FilesThatGiveNoSongAreNamedAndPassedBy)
{
    const QString music = dir.filePath("pod/iPod_Control/Music");
    ASSERT_TRUE(writeBytes(music + "/F00/NOISE.mp3", QByteArray(20000, '\x5a')));
    ASSERT_TRUE(writeBytes(music + "/F00/RANDOM.mp3", randomBytes(200 * 1024)));
    ASSERT_TRUE(writeBytes(music + "/F00/TEXT.m4a", "just some text, not a movie\n"));
    ASSERT_TRUE(writeBytes(music + "/F00/EMPTY.wav", QByteArray()));
    ASSERT_TRUE(writeBytes(music + "/F00/NOTES.txt", "not a song name at all"));
    ASSERT_TRUE(writeBytes(music + "/F00/._GOOD.mp3", "resource fork"));
    ASSERT_TRUE(writeBytes(music + "/F01/GOOD.mp3", taggedMp3({"Good", "A", "B", "C", 1, 0})));
    ASSERT_EQ(::mkfifo(QFile::encodeName(music + "/F00/PIPE.mp3").constData(), 0600), 0);
    // 2 GB of zeros that take no disk: only its start is read.
    QFile zeros(music + "/F00/ZEROS.mp3");
    ASSERT_TRUE(zeros.open(QIODevice::WriteOnly) && zeros.resize(qint64(2) << 30));
    zeros.close();
    // Real songs whose names are not UTF-8: a song's path could not lead back to them.
    ASSERT_TRUE(writeRaw(QFile::encodeName(music) + "/F02/BAD\xff.mp3", taggedMp3({"Bad", "A", "B", "C", 1, 0})));
    ASSERT_TRUE(writeRaw(QFile::encodeName(music) + "/F0\xfe/GOOD.mp3", taggedMp3({"Bad", "A", "B", "C", 1, 0})));
    nestTooDeep(music + "/F03");

    MusicLibrary library;
    library.iPodDrive = dir.filePath("pod");
    const LoadReport report = scanLibraryFromTags(library);
    ASSERT_EQ(library.SongCount, 1);
    EXPECT_EQ(library.Songs[0].Title, "Good");
    QStringList unreadable;
    for (const char *name : {"F00\\EMPTY.wav", "F00\\NOISE.mp3", "F00\\RANDOM.mp3", "F00\\TEXT.m4a", "F00\\ZEROS.mp3",
                             "F02\\BAD\uFFFD.mp3", "F0\uFFFD\\GOOD.mp3"})
        unreadable << "\\iPod_Control\\Music\\" + QString::fromUtf8(name);
    EXPECT_EQ(QStringList(report.unreadableFiles.begin(), report.unreadableFiles.end()), unreadable);
    EXPECT_EQ(report.count(LoadProblem::Kind::TagsUnreadable), unreadable.size());
    ASSERT_EQ(report.unopenableFolders.size(), 1u);
    EXPECT_TRUE(report.unopenableFolders[0].startsWith("\\iPod_Control\\Music\\F03\\ddd"));
    ASSERT_EQ(report.problems.size(), 1u) << "one kind, one box";
    EXPECT_EQ(readTagsFromBytes(QByteArray(4096, '\0'), u"X.mp3"), std::nullopt);
}

TEST_F(TagScanTest, Mp3sBehindLargeTagsStillRead)
{
    // With the Info frame the length is stated; without it, it is estimated from the first frames.
    for (const bool infoFrame : {true, false}) {
        SCOPED_TRACE(infoFrame);
        const QByteArray song = pictureTag(3 << 20) + taggedMp3({"Cover", "A", "B", "C", 1, 0}, 40, infoFrame);
        const std::optional<FileTags> tags = readTagsFromBytes(song, u"A.mp3");
        ASSERT_NE(tags, std::nullopt);
        EXPECT_EQ(tags->title, "Cover");
        EXPECT_NEAR(tags->lengthMs, 40 * 1152 * 1000 / 44100, 60);
    }
}

TEST_F(TagScanTest, SizesAFileNamesDoNotMakeFFmpegTakeGigabytes)
{
    // A WAV whose INFO list claims 2 GB and one of whose entries claims 775 MB.
    const QByteArray wav = QByteArray::fromBase64(
        "UklGRu4JAABXQVZFZm10IBAAAAABAAEAQB8AAIA+AAACABAATElTVGIAAIBJTkZPSXd3d3d3d3d3d3d3d0FSVAcAAABBcnRpc3QAAElHTl"
        "IFAAAAUm9jawAASU5BTQcAAACxPFBm9v///wAAAEQGAAAAQWxidW0ASVBSOS4yNy4xMDAAZGF0YaIPCmuL+g==");
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    readTagsFromBytes(wav, u"A.wav");
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 400 * 1024) << "kilobytes more at the peak";
}

TEST_F(TagScanTest, WalkStaysInsideTheIpodAndEndsOnLinkLoops)
{
    const QString pod = dir.filePath("pod");
    const QString musicFolder = pod + "/iPod_Control/Music";
    ASSERT_TRUE(writeBytes(musicFolder + "/F00/ABCD.mp3", taggedMp3({"Inside", "A", "B", "C", 1, 0})));
    ASSERT_TRUE(writeBytes(dir.filePath("outside/SECRET.mp3"), taggedMp3({"Outside", "A", "B", "C", 1, 0})));
    auto link = [](const QString &target, const QString &at) {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(at).constData()), 0);
    };
    link("..", musicFolder + "/F00/loop");               // a folder that contains itself
    link(musicFolder + "/F00", musicFolder + "/F01");    // the same folder twice
    link(dir.filePath("outside"), musicFolder + "/F02"); // out of the iPod
    link(dir.filePath("outside/SECRET.mp3"), musicFolder + "/F00/LINK.mp3");
    link(musicFolder + "/F00/ABCD.mp3", musicFolder + "/F00/SAME.mp3"); // one file under two names

    const MusicListing listing = listMusicFiles(pod);
    ASSERT_TRUE(listing.musicFolderFound);
    ASSERT_EQ(listing.files.size(), 1u);
    EXPECT_EQ(listing.files[0].storedPath, "\\iPod_Control\\Music\\F00\\ABCD.mp3");
    EXPECT_EQ(listing.refused, 2);

    // Folder names are matched without regard to case; a Music folder outside the iPod is refused.
    const QString other = dir.filePath("other");
    ASSERT_TRUE(writeBytes(other + "/IPOD_CONTROL/music/f07/X.MP3", taggedMp3({"Caps", "A", "B", "C", 1, 0})));
    const MusicListing caps = listMusicFiles(other);
    ASSERT_EQ(caps.files.size(), 1u);
    EXPECT_EQ(caps.files[0].storedPath, "\\IPOD_CONTROL\\music\\f07\\X.MP3");
    const QString linked = dir.filePath("linked");
    QDir().mkpath(linked + "/iPod_Control");
    link(musicFolder, linked + "/iPod_Control/Music");
    EXPECT_FALSE(listMusicFiles(linked).musicFolderFound);
}

TEST_F(TagScanTest, CancelledScanLeavesNoLibrary)
{
    const QString pod = dir.filePath("pod");
    for (const char *name : {"F00/A.mp3", "F01/B.mp3", "F02/C.mp3"})
        ASSERT_TRUE(writeBytes(pod + "/iPod_Control/Music/" + name, taggedMp3({name, "A", "B", "C", 1, 0})));
    MusicLibrary library;
    library.iPodDrive = pod;
    const std::atomic<bool> cancel{true};
    ScanControl control;
    control.cancel = &cancel;
    const LoadReport report = scanLibraryFromTags(library, control);
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(library.SongCount, 0);
    EXPECT_EQ(library.PlaylistCount, 0);
    EXPECT_EQ(library.iPodDrive, pod);
    EXPECT_TRUE(findOrphanedSongs(library, control).cancelled);
}

} // namespace
