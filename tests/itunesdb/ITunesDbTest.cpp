#include "RecordWriter.h"

#include <FileImage.h>
#include <IpodBuilder.h>
#include <LibraryJson.h>
#include <OnTheGo.h>
#include <ParseiTunesDB.h>
#include <TestPaths.h>
#include <iTunesDBReader.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using Kind = LoadProblem::Kind;

namespace {

struct ExpectedPlaylist
{
    QString name;
    int ids;
};

struct ExpectedSong
{
    int index;
    double id;
    QString title, artist, album, genre, path, fileType;
    int track, length;
};

QStringList playlistNames(const MusicLibrary &library)
{
    QStringList names;
    for (const auto &playlist : library.Playlists)
        names << playlist->Name;
    return names;
}

void expectSong(const MusicLibrary &library, const ExpectedSong &want)
{
    ASSERT_LT(want.index, library.SongCount);
    const Song &song = library.Songs[std::size_t(want.index)];
    EXPECT_EQ(song.SongID, want.id);
    EXPECT_EQ(song.Title, want.title);
    EXPECT_EQ(song.Artist, want.artist);
    if (!want.album.isNull()) {
        EXPECT_EQ(song.Album, want.album);
    }
    if (!want.genre.isNull()) {
        EXPECT_EQ(song.Genre, want.genre);
    }
    if (!want.path.isNull()) {
        EXPECT_EQ(song.Path, want.path);
    }
    if (!want.fileType.isNull()) {
        EXPECT_EQ(song.FileType, want.fileType);
    }
    EXPECT_EQ(song.TrackNumber, want.track);
    EXPECT_EQ(song.Length, want.length);
    EXPECT_EQ(song.FileSize, 0.0);
}

struct FixtureCase
{
    const char *file;
    int songs;
    QString iPodName;
    std::vector<ExpectedPlaylist> playlists;
    std::vector<ExpectedSong> songsToCheck;
};

std::vector<FixtureCase> fixtureCases()
{
    const QString none;
    return {
        {"iTunesDB-podcasts-v73",
         142,
         QStringLiteral("this is the name of the ipod"),
         {{QStringLiteral(":: this is the name of the ipod ::"), 142},
          {QStringLiteral("00-mgmt-congratulations-2010-ftd"), 9},
          {QStringLiteral("00-mgmt-mgmt-2013"), 10},
          {QStringLiteral("Podcasts"), 3}},
         {{0, 23255, QStringLiteral("Stratosphere"), QStringLiteral("Digitalism"), QStringLiteral("ILYD"),
           QStringLiteral("Electronic"), QStringLiteral("\\iPod_Control\\Music\\F12\\SFEG.mp3"),
           QStringLiteral("MPEG audio file"), 1, 180288},
          {1, 23261, QStringLiteral("2 Hearts"), QStringLiteral("Digitalism"), none, none, none, none, 2, 236832}}},
        {"iTunesDB-otg-mac-v73",
         133,
         QStringLiteral("Geoffrey"),
         {{QStringLiteral(":: Geoffrey ::"), 133},
          {QStringLiteral("On-The-Go 1"), 2},
          {QStringLiteral("On-The-Go 2"), 0}},
         {{0, 95756, QStringLiteral("Awaken the Dreamers"), QStringLiteral("All Shall Perish"), QStringLiteral(""),
           QStringLiteral(""), QStringLiteral("\\iPod_Control\\Music\\F02\\NQMG.mp3"), none, 0, 278883}}},
        {"iTunesDB-shuffle-v2a",
         123,
         QStringLiteral("G:"),
         {{QStringLiteral(":: G: ::"), 123}},
         {{0, 300, QStringLiteral("Follow You Follow Me"), QStringLiteral("Genesis"),
           QStringLiteral("...And Then There Were Three"), QStringLiteral("Progressive Rock"),
           QStringLiteral("\\iPod_Control\\Music\\f02\\Genesis - Follow You Follow Me.mp3"), none, 0, 238695},
          {1, 301, QStringLiteral("Everything's Coming Our Way"), QStringLiteral("Carlos Santana"), none,
           QStringLiteral(""), none, none, 11, -1}}},
        {"iTunesDB-empty-cjk-v73",
         0,
         QString::fromUtf8("\u201cAdministrator\u201d\u7684 iPod"),
         {{QString::fromUtf8(":: \u201cAdministrator\u201d\u7684 iPod ::"), 0}},
         {}},
        {"iTunesDB-libgpod-v0d",
         0,
         QStringLiteral("Nicks iPod"),
         {{QStringLiteral(":: Nicks iPod ::"), 0}, {QStringLiteral("Podcasts"), 0}},
         {}},
    };
}

} // namespace

TEST(RealDatabases, GiveTheKnownLibraries)
{
    CORVANEL_REQUIRE_FIXTURES();
    for (const FixtureCase &want : fixtureCases()) {
        SCOPED_TRACE(want.file);
        QTemporaryDir drive;
        MusicLibrary library;
        library.iPodDrive = drive.path();
        const LoadReport report = ParseiTunesDB(fixturePath(QStringLiteral("ipod/") + want.file), library);

        EXPECT_TRUE(report.isDatabase);
        EXPECT_EQ(report.unknownTags, 0);
        EXPECT_EQ(library.SongCount, want.songs);
        EXPECT_EQ(int(library.Songs.size()), want.songs);
        EXPECT_EQ(library.iPodName, want.iPodName);
        ASSERT_EQ(library.PlaylistCount, int(want.playlists.size()))
            << playlistNames(library).join(" | ").toStdString();
        for (std::size_t p = 0; p < want.playlists.size(); ++p) {
            EXPECT_EQ(library.Playlists[p]->Name, want.playlists[p].name);
            EXPECT_EQ(library.Playlists[p]->SongIDs.ListCount(), want.playlists[p].ids);
        }
        for (const ExpectedSong &song : want.songsToCheck) {
            SCOPED_TRACE(song.index);
            ExpectedSong checked = song;
            if (checked.length < 0)
                checked.length = library.Songs[std::size_t(song.index)].Length;
            expectSong(library, checked);
        }
        EXPECT_EQ(library.SongIndex.size(), want.songs);
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

TEST(RealDatabases, MasterListsEverySongAndPlaylistIdsAreKnown)
{
    CORVANEL_REQUIRE_FIXTURES();
    QTemporaryDir drive;
    MusicLibrary library;
    library.iPodDrive = drive.path();
    ParseiTunesDB(fixturePath(QStringLiteral("ipod/iTunesDB-podcasts-v73")), library);
    ASSERT_GT(library.PlaylistCount, 0);
    for (const QString &id : library.Playlists[0]->SongIDs.items())
        EXPECT_TRUE(library.SongIndex.contains(id)) << id.toStdString();
    EXPECT_EQ(library.GetSongInfo(QStringLiteral("23255"), 1).value(), QStringLiteral("Stratosphere"));
}

namespace {

mkipod::Database sampleDatabase(mkipod::Layout layout)
{
    mkipod::Database db;
    db.layout = layout;
    mkipod::Track a;
    a.id = 101;
    a.title = QStringLiteral("First \"quoted\" song");
    a.artist = QStringLiteral(""); // present but empty
    a.album = QStringLiteral("Album A");
    a.genre = QStringLiteral(""); // present but empty
    a.location = QStringLiteral(":iPod_Control:Music:F00:AAAA.mp3");
    a.fileType = QStringLiteral("MPEG audio file");
    a.comment = QStringLiteral("a comment the reader steps over");
    a.trackNumber = 3;
    a.lengthMs = 245000;
    a.sizeBytes = 1111;
    mkipod::Track b;
    b.id = 202;
    b.title = QString::fromUtf8("\u6f22\u5b57 \U0001F3B5 caf\u00e9"); // CJK, a surrogate pair, Latin-1
    b.artist = QStringLiteral("Artist B");
    b.location = QStringLiteral(":iPod_Control:Music:F01:BBBB.m4a");
    b.fileType = QStringLiteral("AAC audio file");
    b.podcast = true;
    b.podcastUrl = QStringLiteral("http://example.invalid/feed/episode.mp3");
    b.podcastRss = QStringLiteral("http://example.invalid/feed.rss");
    b.trackNumber = 1;
    b.lengthMs = 1000;
    mkipod::Track c; // no string objects at all
    c.id = -5;
    c.lengthMs = 7;
    db.tracks = {a, b, c};
    db.playlists = {{QStringLiteral("Pod"), {101, 202, -5}, true},
                    {QStringLiteral("Mix"), {202, 101}},
                    {QStringLiteral("Smart"), {101}, false, false, true},
                    {QStringLiteral("Casts"), {202}, false, true}};
    return db;
}

} // namespace

TEST(GeneratedDatabases, AllLayoutsGiveTheSameLibrary)
{
    QByteArray reference;
    for (const auto layout : {mkipod::Layout::ITunes7, mkipod::Layout::Legacy, mkipod::Layout::Libgpod}) {
        SCOPED_TRACE(int(layout));
        MusicLibrary library;
        LoadReport report;
        walkITunesDb(mkipod::buildITunesDb(sampleDatabase(layout)), library, nullptr, report);
        EXPECT_TRUE(report.isDatabase);
        EXPECT_EQ(report.unknownTags, 0);
        EXPECT_TRUE(report.problems.empty());
        ASSERT_EQ(library.SongCount, 3);
        EXPECT_EQ(library.iPodName, QStringLiteral("Pod"));
        EXPECT_EQ(playlistNames(library), (QStringList{":: Pod ::", "Mix", "Smart", "Casts"}));
        EXPECT_EQ(library.Playlists[1]->SongIDs.items(), (std::vector<QString>{"202", "101"}));
        EXPECT_EQ(library.Playlists[0]->SongIDs.items(), (std::vector<QString>{"101", "202", "-5"}));

        const Song &a = library.Songs[0];
        EXPECT_EQ(a.Title, QStringLiteral("First \"quoted\" song"));
        EXPECT_EQ(a.Artist, QStringLiteral("No Artist"));
        EXPECT_EQ(a.Genre, QStringLiteral("No Genre"));
        EXPECT_EQ(a.Path, QStringLiteral("\\iPod_Control\\Music\\F00\\AAAA.mp3"));
        EXPECT_EQ(a.FileType, QStringLiteral("MPEG audio file"));
        EXPECT_EQ(a.TrackNumber, 3);
        EXPECT_EQ(a.Length, 245000);
        const Song &b = library.Songs[1];
        EXPECT_EQ(b.Title, QString::fromUtf8("\u6f22\u5b57 \U0001F3B5 caf\u00e9"));
        EXPECT_EQ(b.Album, QString()); // no object: no default
        EXPECT_EQ(b.Genre, QString());
        const Song &c = library.Songs[2];
        EXPECT_EQ(c.SongID, -5);
        EXPECT_EQ(c.Title, QString());
        EXPECT_EQ(c.Artist, QString());
        EXPECT_EQ(c.Path, QString());

        const QByteArray json = libraryToJson(library, report);
        if (reference.isEmpty())
            reference = json;
        else
            EXPECT_EQ(json, reference);
    }
}

namespace {

bool writeFile(const QString &path, qsizetype bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(bytes, 'x')) == bytes;
}

} // namespace

TEST(GeneratedDatabases, SongFilesOnDiskGiveTheirSizes)
{
    QTemporaryDir drive;
    ASSERT_TRUE(mkipod::writeIpod(drive.path(), sampleDatabase(mkipod::Layout::ITunes7), std::nullopt));
    ASSERT_TRUE(writeFile(mkipod::localPath(drive.path(), QStringLiteral(":iPod_Control:Music:F00:AAAA.mp3")), 1111));
    // The second song's folder and name differ in case on disk.
    ASSERT_TRUE(writeFile(drive.filePath(QStringLiteral("iPod_Control/Music/f01x/bbbb.M4A")), 2222));
    QDir music(drive.filePath(QStringLiteral("iPod_Control/Music")));
    music.rmdir(QStringLiteral("F01"));
    ASSERT_TRUE(music.rename(QStringLiteral("f01x"), QStringLiteral("f01")));

    MusicLibrary library;
    library.iPodDrive = drive.path();
    std::vector<QString> statuses;
    const LoadReport report = ParseiTunesDB(drive.filePath(QStringLiteral("iPod_Control/iTunes/iTunesDB")), library,
                                            [&](const QString &status) { statuses.push_back(status); });
    ASSERT_EQ(library.SongCount, 3);
    EXPECT_EQ(library.Songs[0].FileSize, 1111.0);
    EXPECT_EQ(library.Songs[1].FileSize, 2222.0);
    EXPECT_EQ(library.Songs[2].FileSize, 0.0); // no location: nothing to measure, no problem
    EXPECT_TRUE(report.problems.empty());
    EXPECT_EQ(statuses, std::vector<QString>{QStringLiteral("Loading database into program...")});
    EXPECT_EQ(library.PlaylistCount, 4); // no On-The-Go file
}

TEST(GeneratedDatabases, OnTheGoPlaylistComesLastFromACaseMismatchedFolder)
{
    QTemporaryDir drive;
    ASSERT_TRUE(mkipod::writeIpod(drive.path(), sampleDatabase(mkipod::Layout::Legacy), std::vector<int32_t>{2, 0}));
    QDir control(drive.filePath(QStringLiteral("iPod_Control")));
    ASSERT_TRUE(control.rename(QStringLiteral("iTunes"), QStringLiteral("ITUNES")));

    MusicLibrary library;
    library.iPodDrive = drive.path();
    const LoadReport report = ParseiTunesDB(drive.filePath(QStringLiteral("iPod_Control/ITUNES/iTunesDB")), library);
    ASSERT_EQ(library.PlaylistCount, 5);
    EXPECT_EQ(library.Playlists[4]->Name, QStringLiteral("On-The-Go"));
    EXPECT_EQ(library.Playlists[4]->SongIDs.items(), (std::vector<QString>{"-5", "101"}));
    EXPECT_EQ(report.count(Kind::OnTheGoBadEntry), 0);
    EXPECT_EQ(report.count(Kind::SongFileUnreadable), 2);
}

TEST(GeneratedDatabases, EmptyOnTheGoFileStillAddsThePlaylist)
{
    QTemporaryDir drive;
    ASSERT_TRUE(mkipod::writeIpod(drive.path(), sampleDatabase(mkipod::Layout::ITunes7), std::vector<int32_t>{}));
    MusicLibrary library;
    library.iPodDrive = drive.path();
    ParseiTunesDB(drive.filePath(QStringLiteral("iPod_Control/iTunes/iTunesDB")), library);
    ASSERT_EQ(library.PlaylistCount, 5);
    EXPECT_EQ(library.Playlists.back()->Name, QStringLiteral("On-The-Go"));
    EXPECT_EQ(library.Playlists.back()->SongIDs.ListCount(), 0);
}

TEST(GeneratedDatabases, ALargeDatabaseIndexesEveryTrack)
{
    const mkipod::Database db = mkipod::makeLargeDatabase(2500, 3);
    const QByteArray bytes = mkipod::buildITunesDb(db);
    MusicLibrary library;
    LoadReport report;
    std::vector<std::pair<qint64, qint64>> progress;
    walkITunesDb(bytes, library, nullptr, report,
                 [&](qint64 done, qint64 total) { progress.emplace_back(done, total); });
    buildSongIndex(library, report);
    ASSERT_GE(progress.size(), 2u);
    for (std::size_t i = 0; i < progress.size(); ++i) {
        EXPECT_EQ(progress[i].second, bytes.size());
        EXPECT_LE(progress[i].first, bytes.size());
        if (i > 0) {
            EXPECT_GE(progress[i].first, progress[i - 1].first);
        }
    }
    ASSERT_EQ(library.SongCount, 2500);
    EXPECT_EQ(library.SongIndex.size(), 2500);
    EXPECT_EQ(library.SongIndex.value(songIdText(db.tracks[0].id), -1), 0);
    EXPECT_EQ(library.SongIndex.value(songIdText(db.tracks[2499].id), -1), 2499);
    EXPECT_EQ(library.Playlists[0]->SongIDs.ListCount(), 2500);
    EXPECT_EQ(library.PlaylistCount, 4);
    EXPECT_EQ(report.unknownTags, 0);
    EXPECT_TRUE(report.problems.empty());
}

TEST(GeneratedDatabases, RepeatedTextsStayRightAcrossManyDistinctValues)
{
    // More distinct artists than any cache holds, interleaved with repeating genres.
    QByteArray bytes = testdb::database() + testdb::dataSet(1);
    for (int i = 0; i < 9000; ++i) {
        bytes += testdb::track(i) + testdb::stringObject(4, QStringLiteral("Artist %1").arg(i)) +
                 testdb::stringObject(5, i % 3 ? QStringLiteral("Genre %1").arg(i % 5) : QString()) +
                 testdb::stringObject(3, QStringLiteral("Album %1").arg(i % 4099));
    }
    MusicLibrary library;
    LoadReport report;
    walkITunesDb(bytes, library, nullptr, report);
    ASSERT_EQ(library.SongCount, 9000);
    for (int i = 0; i < 9000; ++i) {
        const Song &song = library.Songs[std::size_t(i)];
        ASSERT_EQ(song.Artist, QStringLiteral("Artist %1").arg(i));
        ASSERT_EQ(song.Genre, i % 3 ? QStringLiteral("Genre %1").arg(i % 5) : QStringLiteral("No Genre"));
        ASSERT_EQ(song.Album, QStringLiteral("Album %1").arg(i % 4099));
    }
}

TEST(Loading, NotADatabaseLeavesEverythingEmptyAndQuiet)
{
    QTemporaryDir drive;
    ASSERT_TRUE(mkipod::writeIpod(drive.path(), sampleDatabase(mkipod::Layout::ITunes7), std::vector<int32_t>{0}));
    const QString file = drive.filePath(QStringLiteral("iPod_Control/iTunes/iTunesDB"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.write("MHBD"); // the tag is case-sensitive
    }
    MusicLibrary library;
    library.iPodDrive = drive.path();
    const LoadReport report = ParseiTunesDB(file, library);
    EXPECT_FALSE(report.isDatabase);
    EXPECT_EQ(report.unknownTags, 0);
    EXPECT_TRUE(report.problems.empty());
    EXPECT_EQ(library.SongCount, 0);
    EXPECT_EQ(library.PlaylistCount, 0); // no On-The-Go either
    EXPECT_TRUE(library.SongIndex.isEmpty());
    EXPECT_EQ(library.Library, nullptr);
}

TEST(Loading, UnreadableFileIsReportedAndLeavesAnEmptyLibrary)
{
    QTemporaryDir drive;
    MusicLibrary library;
    library.iPodDrive = drive.path();
    const LoadReport report = ParseiTunesDB(drive.filePath(QStringLiteral("missing/iTunesDB")), library);
    EXPECT_FALSE(report.isDatabase);
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0].kind, Kind::CopyFailed);
    EXPECT_EQ(library.SongCount, 0);
}

TEST(Loading, DanglingPlaylistIdEndsTheSummaryOnce)
{
    mkipod::Database db = sampleDatabase(mkipod::Layout::ITunes7);
    db.playlists[1].trackIds = {101, 999, 998};
    db.playlists[2].trackIds = {997};
    QTemporaryDir drive;
    ASSERT_TRUE(mkipod::writeIpod(drive.path(), db, std::nullopt));
    MusicLibrary library;
    library.iPodDrive = drive.path();
    const LoadReport report = ParseiTunesDB(drive.filePath(QStringLiteral("iPod_Control/iTunes/iTunesDB")), library);
    EXPECT_EQ(report.count(Kind::PlaylistIdMissing), 1);
    ASSERT_NE(library.Library, nullptr);
    EXPECT_EQ(library.Library->summaries().size(), 0u);
    // The playlist still holds the ids.
    EXPECT_EQ(library.Playlists[1]->SongIDs.items(), (std::vector<QString>{"101", "999", "998"}));
}

TEST(Loading, FileImageHoldsTheWholeFile)
{
    QTemporaryDir dir;
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    QByteArray large(5 * 1024 * 1024 + 17, '\0');
    for (qsizetype i = 0; i < large.size(); ++i)
        large[i] = char(i * 131 % 251);
    const auto image = FileImage::read(write(QStringLiteral("large"), large));
    ASSERT_TRUE(image.has_value());
    EXPECT_TRUE(image->bytes() == QByteArrayView(large));

    const auto empty = FileImage::read(write(QStringLiteral("empty"), QByteArray()));
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->bytes().isEmpty());

    auto small = FileImage::read(write(QStringLiteral("small"), QByteArray("mhbd")));
    ASSERT_TRUE(small.has_value());
    const FileImage moved = std::move(*small);
    EXPECT_TRUE(moved.bytes() == QByteArrayView("mhbd"));

    EXPECT_FALSE(FileImage::read(dir.filePath(QStringLiteral("missing"))).has_value());
    EXPECT_FALSE(FileImage::read(dir.path()).has_value());
}

TEST(Loading, WarningTextNamesTheContact)
{
    const QString text = unknownTagWarningText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("For some reason, extra information unknown in the iTunesDB file was "
                                               "found. This may be due to a newer version of iTunesDB or because your "
                                               "iTunesDB is corrupted. Please contact ")));
    EXPECT_TRUE(text.endsWith(QStringLiteral(", and we will try to fix the program accordingly, or make sure your "
                                             "iTunesDB is not corrupted.")));
    EXPECT_TRUE(text.contains(QLatin1Char('@')));
}

TEST(LibraryJson, HasTheDocumentedShapeAndEscapes)
{
    MusicLibrary library;
    LoadReport report;
    walkITunesDb(mkipod::buildITunesDb(sampleDatabase(mkipod::Layout::ITunes7)), library, nullptr, report);
    library.Songs[0].FileSize = 123456789012.0;
    library.Songs[2].Title = QStringLiteral("back\\slash\nline\x01");
    report.unknownTags = 4;
    report.add(Kind::DuplicateTrackId, QStringLiteral("1"));
    report.add(Kind::DuplicateTrackId, QStringLiteral("1"));
    report.add(Kind::SongFileUnreadable, QStringLiteral("x"));

    const QByteArray json = libraryToJson(library, report);
    EXPECT_TRUE(json.contains(R"("title": "First \"quoted\" song")"));
    EXPECT_TRUE(json.contains(R"("title": "back\\slash\nline\u0001")"));
    EXPECT_TRUE(json.contains(QString::fromUtf8("\u6f22\u5b57 \U0001F3B5").toUtf8())); // raw UTF-8

    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonObject root = doc.object();
    EXPECT_EQ(root.keys(), (QStringList{"ipod_name", "playlists", "songs", "warnings"}));
    EXPECT_EQ(root[QStringLiteral("ipod_name")].toString(), QStringLiteral("Pod"));

    const QJsonArray songs = root[QStringLiteral("songs")].toArray();
    ASSERT_EQ(songs.size(), 3);
    const QJsonObject first = songs[0].toObject();
    EXPECT_EQ(first.keys(), (QStringList{"album", "artist", "filetype", "genre", "id", "index", "length", "path",
                                         "size", "title", "track"}));
    EXPECT_EQ(first[QStringLiteral("index")].toInt(), 0);
    EXPECT_EQ(first[QStringLiteral("id")].toInt(), 101);
    EXPECT_EQ(first[QStringLiteral("artist")].toString(), QStringLiteral("No Artist"));
    EXPECT_EQ(first[QStringLiteral("path")].toString(), QStringLiteral("\\iPod_Control\\Music\\F00\\AAAA.mp3"));
    EXPECT_EQ(first[QStringLiteral("track")].toInt(), 3);
    EXPECT_EQ(first[QStringLiteral("length")].toInt(), 245000);
    EXPECT_EQ(first[QStringLiteral("size")].toDouble(), 123456789012.0);
    EXPECT_EQ(songs[1].toObject()[QStringLiteral("title")].toString(),
              QString::fromUtf8("\u6f22\u5b57 \U0001F3B5 caf\u00e9"));
    EXPECT_EQ(songs[2].toObject()[QStringLiteral("id")].toInt(), -5);

    const QJsonArray playlists = root[QStringLiteral("playlists")].toArray();
    ASSERT_EQ(playlists.size(), 4);
    EXPECT_EQ(playlists[0].toObject()[QStringLiteral("name")].toString(), QStringLiteral(":: Pod ::"));
    EXPECT_EQ(playlists[1].toObject()[QStringLiteral("ids")].toArray(), (QJsonArray{"202", "101"}));

    const QJsonObject warnings = root[QStringLiteral("warnings")].toObject();
    EXPECT_EQ(warnings[QStringLiteral("unknown_tags")].toInt(), 4);
    EXPECT_EQ(warnings[QStringLiteral("errors")].toArray(), (QJsonArray{"Error, continuing!", "Error, continuing!"}));
}

TEST(LibraryJson, EmptyLibrary)
{
    const QJsonDocument doc = QJsonDocument::fromJson(libraryToJson(MusicLibrary{}, LoadReport{}));
    ASSERT_TRUE(doc.isObject());
    EXPECT_TRUE(doc[QStringLiteral("songs")].toArray().isEmpty());
    EXPECT_TRUE(doc[QStringLiteral("playlists")].toArray().isEmpty());
    EXPECT_EQ(doc[QStringLiteral("warnings")][QStringLiteral("unknown_tags")].toInt(), 0);
}
