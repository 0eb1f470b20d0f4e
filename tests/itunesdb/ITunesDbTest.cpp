#include "RecordWriter.h"

#include <FileImage.h>
#include <LibraryJson.h>
#include <ParseiTunesDB.h>
#include <TestFiles.h>
#include <TestPaths.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace corvanel;
using namespace corvanel::itunesdb;

using testdb::sampleDatabase;
using Kind = LoadProblem::Kind;

namespace {

// Every playlist as "name (number of ids)", joined by " | ".
std::string playlistsOf(const MusicLibrary &library)
{
    QStringList out;
    for (const auto &playlist : library.Playlists)
        out << QString("%1 (%2)").arg(playlist->Name).arg(playlist->SongIDs.ListCount());
    return out.join(" | ").toStdString();
}

// `want` is "id|title|artist|album|genre|path|file type|track|length"; "*" matches anything.
void expectSong(const Song &song, const char *want)
{
    const QStringList got = {songIdText(song.SongID),
                             song.Title,
                             song.Artist,
                             song.Album,
                             song.Genre,
                             song.Path,
                             song.FileType,
                             QString::number(song.TrackNumber),
                             QString::number(song.Length)};
    const QStringList expected = QString::fromUtf8(want).split('|');
    ASSERT_EQ(expected.size(), got.size());
    for (qsizetype i = 0; i < got.size(); ++i) {
        if (expected[i] != "*") {
            EXPECT_EQ(got[i].toStdString(), expected[i].toStdString()) << i;
        }
    }
    EXPECT_EQ(song.FileSize, 0.0);
}

const QString kDatabase = "iPod_Control/iTunes/iTunesDB";

// Parses a database on the drive, as the program does.
LoadReport load(const QTemporaryDir &drive, MusicLibrary &library, const QString &file = kDatabase)
{
    library.iPodDrive = drive.path();
    return ParseiTunesDB(drive.filePath(file), library);
}

} // namespace

TEST(RealDatabases, GiveTheKnownLibraries)
{
    CORVANEL_REQUIRE_FIXTURES();
    const struct
    {
        const char *file;
        int songs;
        const char *iPodName;
        const char *playlists;
        std::vector<const char *> firstSongs;
    } cases[] = {
        {"iTunesDB-podcasts-v73",
         142,
         "this is the name of the ipod",
         ":: this is the name of the ipod :: (142) | 00-mgmt-congratulations-2010-ftd (9) | 00-mgmt-mgmt-2013 (10) | "
         "Podcasts (3)",
         {"23255|Stratosphere|Digitalism|ILYD|Electronic|\\iPod_Control\\Music\\F12\\SFEG.mp3|MPEG audio file|1|180288",
          "23261|2 Hearts|Digitalism|*|*|*|*|2|236832"}},
        {"iTunesDB-otg-mac-v73",
         133,
         "Geoffrey",
         ":: Geoffrey :: (133) | On-The-Go 1 (2) | On-The-Go 2 (0)",
         {"95756|Awaken the Dreamers|All Shall Perish|||\\iPod_Control\\Music\\F02\\NQMG.mp3|*|0|278883"}},
        {"iTunesDB-shuffle-v2a",
         123,
         "G:",
         ":: G: :: (123)",
         {"300|Follow You Follow Me|Genesis|...And Then There Were Three|Progressive Rock|"
          "\\iPod_Control\\Music\\f02\\Genesis - Follow You Follow Me.mp3|*|0|238695",
          "301|Everything's Coming Our Way|Carlos Santana|*||*|*|11|*"}},
        {"iTunesDB-empty-cjk-v73",
         0,
         "\u201cAdministrator\u201d\u7684 iPod",
         ":: \u201cAdministrator\u201d\u7684 iPod :: (0)",
         {}},
        {"iTunesDB-libgpod-v0d", 0, "Nicks iPod", ":: Nicks iPod :: (0) | Podcasts (0)", {}},
    };
    for (const auto &want : cases) {
        SCOPED_TRACE(want.file);
        QTemporaryDir drive;
        MusicLibrary library;
        library.iPodDrive = drive.path();
        const LoadReport report = ParseiTunesDB(fixturePath(QStringLiteral("ipod/") + want.file), library);

        EXPECT_TRUE(report.isDatabase);
        EXPECT_EQ(report.unknownTags, 0);
        EXPECT_EQ(library.SongCount, want.songs);
        EXPECT_EQ(library.SongIndex.size(), want.songs);
        EXPECT_EQ(library.iPodName, QString::fromUtf8(want.iPodName));
        ASSERT_EQ(playlistsOf(library), want.playlists);
        // The master lists every song, each by an id the index knows.
        for (const QString &id : library.Playlists[0]->SongIDs.items())
            EXPECT_TRUE(library.SongIndex.contains(id)) << id.toStdString();
        for (std::size_t i = 0; i < want.firstSongs.size(); ++i) {
            SCOPED_TRACE(want.firstSongs[i]);
            ASSERT_LT(int(i), library.SongCount);
            expectSong(library.Songs[i], want.firstSongs[i]);
            const QString title = QString::fromUtf8(want.firstSongs[i]).section('|', 1, 1);
            EXPECT_EQ(library.GetSongInfo(songIdText(library.Songs[i].SongID), InfoTitle).value(), title);
        }
        ASSERT_NE(library.Library, nullptr);

        // The song files are not there: one problem kind, counted once per song.
        if (want.songs > 0) {
            ASSERT_EQ(report.problems.size(), 1u);
            EXPECT_EQ(report.problems[0].kind, Kind::SongFileUnreadable);
            EXPECT_EQ(report.problems[0].count, want.songs);
        } else {
            EXPECT_TRUE(report.problems.empty());
        }
    }
}

TEST(GeneratedDatabases, AllLayoutsGiveTheSameLibrary)
{
    QByteArray reference;
    for (const auto layout : {mkipod::Layout::ITunes7, mkipod::Layout::Legacy, mkipod::Layout::Libgpod}) {
        SCOPED_TRACE(int(layout));
        const auto w = testdb::walk(mkipod::buildITunesDb(sampleDatabase(layout)));
        EXPECT_TRUE(w->report.isDatabase);
        EXPECT_EQ(w->report.unknownTags, 0);
        EXPECT_TRUE(w->report.problems.empty());
        const QByteArray json = libraryToJson(w->library, w->report);
        if (reference.isEmpty())
            reference = json;
        else
            EXPECT_EQ(json, reference);
    }
    // Empty artist and genre take their defaults; a missing object gives an empty text.
    const QJsonObject root = QJsonDocument::fromJson(reference).object();
    EXPECT_EQ(root["ipod_name"].toString(), "Pod");
    const QJsonArray songs = root["songs"].toArray();
    ASSERT_EQ(songs.size(), 3);
    const auto song = [](int index, int id, const QString &title, const char *artist, const char *album,
                         const char *genre, const char *path, const char *fileType, int track, int length) {
        return QJsonObject{{"index", index},
                           {"id", id},
                           {"title", title},
                           {"artist", artist},
                           {"album", album},
                           {"genre", genre},
                           {"path", path},
                           {"filetype", fileType},
                           {"track", track},
                           {"size", 0},
                           {"length", length},
                           {"play_count", 0},
                           {"skip_count", 0},
                           {"rating", 0},
                           {"last_played", QJsonValue::Null},
                           {"artwork", QJsonValue::Null}};
    };
    EXPECT_EQ(songs[0].toObject(), song(0, 101, "First \"quoted\" song", "No Artist", "Album A", "No Genre",
                                        "\\iPod_Control\\Music\\F00\\AAAA.mp3", "MPEG audio file", 3, 245000));
    EXPECT_EQ(songs[1].toObject(), song(1, 202, QString::fromUtf8("\u6f22\u5b57 \U0001F3B5 caf\u00e9"), "Artist B", "",
                                        "", "\\iPod_Control\\Music\\F01\\BBBB.m4a", "AAC audio file", 1, 1000));
    EXPECT_EQ(songs[2].toObject(), song(2, -5, "", "", "", "", "", "", 0, 7));
    const QJsonArray playlists = root["playlists"].toArray();
    ASSERT_EQ(playlists.size(), 4);
    const QStringList names = {":: Pod ::", "Mix", "Smart", "Casts"};
    const QJsonArray ids[] = {{"101", "202", "-5"}, {"202", "101"}, {"101"}, {"202"}};
    for (int p = 0; p < 4; ++p) {
        EXPECT_EQ(playlists[p].toObject()["name"].toString(), names[p]);
        EXPECT_EQ(playlists[p].toObject()["ids"].toArray(), ids[p]);
    }
}

TEST(GeneratedDatabases, SongFilesOnDiskGiveTheirSizes)
{
    QTemporaryDir drive;
    ASSERT_TRUE(mkipod::writeIpod(drive.path(), sampleDatabase(mkipod::Layout::ITunes7), std::nullopt));
    ASSERT_TRUE(writeFile(mkipod::localPath(drive.path(), ":iPod_Control:Music:F00:AAAA.mp3"), QByteArray(1111, 'x')));
    // The second song's folder and name differ in case on disk.
    QDir(drive.filePath("iPod_Control/Music")).rmdir("F01");
    ASSERT_TRUE(writeFile(drive.filePath("iPod_Control/Music/f01/bbbb.M4A"), QByteArray(2222, 'x')));

    MusicLibrary library;
    library.iPodDrive = drive.path();
    std::vector<QString> statuses;
    const LoadReport report =
        ParseiTunesDB(drive.filePath(kDatabase), library, [&](const QString &status) { statuses.push_back(status); });
    ASSERT_EQ(library.SongCount, 3);
    EXPECT_EQ(library.Songs[0].FileSize, 1111.0);
    EXPECT_EQ(library.Songs[1].FileSize, 2222.0);
    EXPECT_EQ(library.Songs[2].FileSize, 0.0); // no location: nothing to measure, no problem
    EXPECT_TRUE(report.problems.empty());
    EXPECT_EQ(statuses, std::vector<QString>{"Loading database into program..."});
    EXPECT_EQ(library.PlaylistCount, 4); // no On-The-Go file
}

TEST(GeneratedDatabases, OnTheGoPlaylistComesLastFromACaseMismatchedFolder)
{
    const struct
    {
        mkipod::Layout layout;
        std::vector<int32_t> entries;
        const char *folder;
        std::vector<QString> ids;
    } cases[] = {{mkipod::Layout::Legacy, {2, 0}, "ITUNES", {"-5", "101"}},
                 {mkipod::Layout::ITunes7, {}, "itunes", {}}}; // an empty file still adds the playlist
    for (const auto &c : cases) {
        SCOPED_TRACE(c.folder);
        QTemporaryDir drive;
        ASSERT_TRUE(mkipod::writeIpod(drive.path(), sampleDatabase(c.layout), c.entries));
        ASSERT_TRUE(QDir(drive.filePath("iPod_Control")).rename("iTunes", c.folder));
        MusicLibrary library;
        const LoadReport report = load(drive, library, QString("iPod_Control/%1/iTunesDB").arg(c.folder));
        ASSERT_EQ(library.PlaylistCount, 5);
        EXPECT_EQ(library.Playlists[4]->Name, "On-The-Go");
        EXPECT_EQ(library.Playlists[4]->SongIDs.items(), c.ids);
        EXPECT_EQ(report.count(Kind::OnTheGoBadEntry), 0);
        EXPECT_EQ(report.count(Kind::SongFileUnreadable), 2);
    }
}

// More distinct artists than any cache holds, interleaved with repeating genres; the walk reports
// its progress through the file as it goes, and every track is indexed.
TEST(GeneratedDatabases, ManyTracksKeepTheirTextsAndAreIndexed)
{
    using namespace testdb;
    QByteArray bytes = database() + dataSet(1);
    for (int i = 0; i < 9000; ++i) {
        bytes += track(i) + stringObject(4, QString("Artist %1").arg(i)) +
                 stringObject(5, i % 3 ? QString("Genre %1").arg(i % 5) : QString()) +
                 stringObject(3, QString("Album %1").arg(i % 4099));
    }
    MusicLibrary library;
    LoadReport report;
    std::vector<qint64> progress;
    walkITunesDb(bytes, library, nullptr, report, [&](qint64 done, qint64 total) {
        EXPECT_EQ(total, bytes.size());
        progress.push_back(done);
    });
    buildSongIndex(library, report);
    ASSERT_GE(progress.size(), 2u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_LE(progress.back(), bytes.size());
    ASSERT_EQ(library.SongCount, 9000);
    EXPECT_EQ(library.SongIndex.size(), 9000);
    EXPECT_EQ(library.SongIndex.value("8999", -1), 8999);
    for (int i = 0; i < 9000; ++i) {
        const Song &song = library.Songs[std::size_t(i)];
        ASSERT_EQ(song.Artist, QString("Artist %1").arg(i));
        ASSERT_EQ(song.Genre, i % 3 ? QString("Genre %1").arg(i % 5) : QString("No Genre"));
        ASSERT_EQ(song.Album, QString("Album %1").arg(i % 4099));
    }
    EXPECT_TRUE(report.problems.empty());
}

TEST(Loading, NotADatabaseOrNoFileLeavesAnEmptyLibrary)
{
    QTemporaryDir drive;
    ASSERT_TRUE(mkipod::writeIpod(drive.path(), sampleDatabase(mkipod::Layout::ITunes7), std::vector<int32_t>{0}));
    {
        QFile f(drive.filePath(kDatabase));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.write("MHBD"); // the tag is case-sensitive
    }
    MusicLibrary library;
    LoadReport report = load(drive, library);
    EXPECT_FALSE(report.isDatabase);
    EXPECT_EQ(report.unknownTags, 0);
    EXPECT_TRUE(report.problems.empty());
    EXPECT_EQ(library.SongCount, 0);
    EXPECT_EQ(library.PlaylistCount, 0); // no On-The-Go either
    EXPECT_TRUE(library.SongIndex.isEmpty());
    EXPECT_EQ(library.Library, nullptr);

    MusicLibrary missing;
    report = load(drive, missing, "missing/iTunesDB");
    EXPECT_FALSE(report.isDatabase);
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0].kind, Kind::CopyFailed);
    EXPECT_EQ(missing.SongCount, 0);
}

TEST(Loading, DanglingPlaylistIdEndsTheSummaryOnce)
{
    mkipod::Database db = sampleDatabase(mkipod::Layout::ITunes7);
    db.playlists[1].trackIds = {101, 999, 998};
    db.playlists[2].trackIds = {997};
    QTemporaryDir drive;
    ASSERT_TRUE(mkipod::writeIpod(drive.path(), db, std::nullopt));
    MusicLibrary library;
    const LoadReport report = load(drive, library);
    EXPECT_EQ(report.count(Kind::PlaylistIdMissing), 1);
    ASSERT_NE(library.Library, nullptr);
    EXPECT_EQ(library.Library->summaries().size(), 0u);
    // The playlist still holds the ids.
    EXPECT_EQ(library.Playlists[1]->SongIDs.items(), (std::vector<QString>{"101", "999", "998"}));
}

TEST(Loading, FileImageHoldsTheWholeFile)
{
    QTemporaryDir dir;
    const auto read = [&](const QString &name, const QByteArray &bytes) {
        EXPECT_TRUE(writeFile(dir.filePath(name), bytes));
        return FileImage::read(dir.filePath(name));
    };
    const QByteArray large = QByteArray("0123456789abcdef").repeated(330000); // past a huge page
    const auto image = read("large", large);
    ASSERT_TRUE(image.has_value());
    EXPECT_TRUE(image->bytes() == QByteArrayView(large));
    const auto empty = read("empty", QByteArray());
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->bytes().isEmpty());

    auto small = read("small", "mhbd");
    ASSERT_TRUE(small.has_value());
    const FileImage moved = std::move(*small);
    EXPECT_TRUE(moved.bytes() == QByteArrayView("mhbd"));

    EXPECT_FALSE(FileImage::read(dir.filePath("missing")).has_value());
    EXPECT_FALSE(FileImage::read(dir.path()).has_value());
}

TEST(LibraryJson, HasTheDocumentedShapeAndEscapes)
{
    const auto w = testdb::walk(mkipod::buildITunesDb(sampleDatabase(mkipod::Layout::ITunes7)));
    w->library.Songs[0].FileSize = 123456789012.0;
    w->library.Songs[2].Title = "back\\slash\nline\x01";
    w->report.unknownTags = 4;
    w->report.add(Kind::DuplicateTrackId, "1");
    w->report.add(Kind::DuplicateTrackId, "1");
    w->report.add(Kind::SongFileUnreadable, "x");

    const QByteArray json = libraryToJson(w->library, w->report);
    EXPECT_TRUE(json.contains(R"("title": "First \"quoted\" song")"));
    EXPECT_TRUE(json.contains(R"("title": "back\\slash\nline\u0001")"));
    EXPECT_TRUE(json.contains(QString::fromUtf8("\u6f22\u5b57 \U0001F3B5").toUtf8())); // raw UTF-8

    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(json, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    EXPECT_EQ(root.keys(), (QStringList{"ipod_name", "playlists", "songs", "source", "warnings"}));
    EXPECT_EQ(root["songs"][0]["size"].toDouble(), 123456789012.0);
    const QJsonObject warnings = root["warnings"].toObject();
    EXPECT_EQ(warnings["unknown_tags"].toInt(), 4);
    EXPECT_EQ(warnings["errors"].toArray(),
              (QJsonArray{"Error, continuing!", "Error, continuing!", unknownTagWarningText()}));
}
