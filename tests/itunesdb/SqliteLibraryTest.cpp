// The nano 6G/7G library: the demo read from its SQLite databases gives the library its
// iTunesDB gives, damaged databases never crash the load, and reading writes nothing.
#include "SqliteLibrary.h"
#include "DemoIpod.h"
#include "IpodBuilder.h"
#include "ParseiTunesDB.h"
#include "SqliteIpod.h"
#include "SqliteTables.h"
#include "TestFiles.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <tuple>

using namespace corvanel;
using namespace corvanel::itunesdb;
using Kind = LoadProblem::Kind;

namespace {

std::vector<Kind> kindsOf(const LoadReport &report)
{
    std::vector<Kind> kinds;
    for (const LoadProblem &problem : report.problems)
        kinds.push_back(problem.kind);
    return kinds;
}

// Each playlist as its name and its songs' indexes.
std::vector<std::pair<QString, std::vector<int32_t>>> playlistsOf(const MusicLibrary &library)
{
    std::vector<std::pair<QString, std::vector<int32_t>>> out;
    for (const auto &playlist : library.Playlists) {
        auto &[name, songs] = out.emplace_back(playlist->Name, std::vector<int32_t>{});
        for (const QString &id : playlist->SongIDs.items())
            songs.push_back(library.indexOf(id).value_or(-1));
    }
    return out;
}

// Every file and folder below root with the hash of its bytes.
std::map<QString, QByteArray> snapshot(const QString &root)
{
    std::map<QString, QByteArray> out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QByteArray hash =
            it.fileInfo().isFile() ? QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha1) : "folder";
        out[path.mid(root.size())] = hash;
    }
    return out;
}

// The paths that appeared, went or changed between two snapshots.
std::string changes(const std::map<QString, QByteArray> &before, const std::map<QString, QByteArray> &after)
{
    QStringList changed;
    for (const auto &[path, hash] : before)
        if (!after.contains(path) || after.at(path) != hash)
            changed << path;
    for (const auto &[path, hash] : after)
        if (!before.contains(path))
            changed << path;
    return changed.join(QLatin1String(", ")).toStdString();
}

} // namespace

TEST(SqliteLibrary, DemoGivesTheLibraryOfItsITunesDB)
{
    MusicLibrary expected;
    expected.iPodDrive = demoIpod();
    ASSERT_TRUE(ParseiTunesDB(demoIpod() + QStringLiteral("/iPod_Control/iTunes/iTunesDB"), expected).problems.empty());
    EXPECT_FALSE(hasSqliteLibrary(demoIpod()));

    QTemporaryDir dir;
    const QString root = sqliteDemo(dir);
    ASSERT_TRUE(hasSqliteLibrary(root));
    MusicLibrary library;
    const LoadReport report = readSqliteLibrary(root, library);
    EXPECT_TRUE(report.isDatabase);
    EXPECT_TRUE(report.problems.empty()) << problemKindName(report.problems.front().kind).toStdString() << ": "
                                         << report.problems.front().detail.toStdString();

    ASSERT_EQ(library.SongCount, expected.SongCount);
    for (int32_t i = 0; i < library.SongCount; ++i) {
        const Song &got = library.Songs[size_t(i)];
        const Song &want = expected.Songs[size_t(i)];
        EXPECT_EQ(got.SongID, i + 1);
        const QStringList gotTexts{got.Title, got.Artist, got.Album, got.Genre, got.Path, got.FileType};
        const QStringList wantTexts{want.Title, want.Artist, want.Album, want.Genre, want.Path, want.FileType};
        EXPECT_EQ(gotTexts, wantTexts) << i;
        EXPECT_EQ(std::tie(got.TrackNumber, got.Length, got.FileSize),
                  std::tie(want.TrackNumber, want.Length, want.FileSize))
            << i;
        // Dynamic.itdb holds what the iTunesDB and its Play Counts file hold together.
        EXPECT_EQ(
            std::tie(got.PlayCount, got.RecentPlays, got.SkipCount, got.Rating, got.LastPlayed, got.LastSkipped),
            std::tie(want.PlayCount, want.RecentPlays, want.SkipCount, want.Rating, want.LastPlayed, want.LastSkipped))
            << i;
    }
    EXPECT_EQ(library.iPodName, expected.iPodName);
    EXPECT_EQ(playlistsOf(library), playlistsOf(expected)); // the On-The-Go list included
    ASSERT_TRUE(library.Library);
    EXPECT_GT(std::count_if(library.Songs.begin(), library.Songs.end(), [](const Song &s) { return s.LastPlayed; }), 0);
}

TEST(SqliteLibrary, ReadingWritesNothingBesideTheDatabases)
{
    QTemporaryDir dir;
    const QString root = sqliteDemo(dir);
    const QString library = root + kItlp + QStringLiteral("Library.itdb");
    struct Case
    {
        const char *name;
        std::function<Connection()> prepare; // what it returns stays open during the read
    };
    const Case cases[] = {
        {"as iTunes leaves it", [] { return Connection(); }},
        {"in write-ahead-log mode",
         [&] {
             execSql(writer(library).get(), "PRAGMA journal_mode = WAL");
             return Connection();
         }},
        {"with a hot journal left behind",
         [&] {
             EXPECT_TRUE(writeFile(library + QStringLiteral("-journal"), QByteArray(4096, '\x5a')));
             return Connection();
         }},
        {"locked by a writer in the middle of a change",
         [&] {
             QFile::remove(library + QStringLiteral("-journal"));
             Connection db = writer(library);
             execSql(db.get(), "PRAGMA journal_mode = DELETE; BEGIN EXCLUSIVE; DELETE FROM item_to_container;");
             return db;
         }},
        {"read-only",
         [&] {
             for (const QString &name : {QStringLiteral("Library.itdb"), QStringLiteral("Locations.itdb")})
                 QFile::setPermissions(root + kItlp + name, QFile::ReadOwner | QFile::ReadGroup);
             QFile::setPermissions(root + kItlp, QFile::ReadOwner | QFile::ExeOwner);
             return Connection();
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Connection hold = c.prepare();
        const auto before = snapshot(root);
        MusicLibrary read;
        const LoadReport report = readSqliteLibrary(root, read);
        EXPECT_EQ(read.SongCount, 26);
        EXPECT_EQ(read.PlaylistCount, 5);
        EXPECT_TRUE(report.problems.empty());
        EXPECT_EQ(changes(before, snapshot(root)), "");
    }
    QFile::setPermissions(root + kItlp, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(SqliteLibrary, DamagedDatabasesAreReportedAndNeverCrash)
{
    const mkipod::Database demo = mkipod::demoDatabase();
    struct Case
    {
        const char *name;
        const char *file;
        std::function<void(const QString &path)> damage;
        int songs;
        std::vector<Kind> problems;
        std::function<void(const MusicLibrary &, const LoadReport &)> check;
    };
    auto sql = [](const char *statements) {
        return [statements](const QString &path) { execSql(writer(path).get(), statements); };
    };
    auto replace = [](const QByteArray &bytes) {
        return [bytes](const QString &path) { EXPECT_TRUE(writeFile(path, bytes)); };
    };
    const Case cases[] = {
        {"not a database", "Library.itdb", replace(QByteArray(8192, 'x')), 0, {Kind::CopyFailed}, {}},
        {"an empty file", "Library.itdb", replace(QByteArray()), 0, {Kind::CopyFailed}, {}},
        {"no item table", "Library.itdb", sql("DROP TABLE item"), 0, {Kind::CopyFailed}, {}},
        {"items without ids",
         "Library.itdb",
         sql("ALTER TABLE item RENAME COLUMN pid TO was_pid"),
         0,
         {Kind::CopyFailed},
         {}},
        {"items as an endless view",
         "Library.itdb",
         sql("DROP TABLE item; CREATE VIEW item AS WITH RECURSIVE n(pid) AS (SELECT 1 UNION ALL SELECT pid + 1 "
             "FROM n) SELECT pid FROM n"),
         0,
         {Kind::CopyFailed},
         {}},
        {"items as a virtual table",
         "Library.itdb",
         sql("DROP TABLE item; CREATE VIRTUAL TABLE item USING fts5(pid, title)"),
         0,
         {Kind::CopyFailed},
         {}},
        {"a file cut in half",
         "Library.itdb",
         [](const QString &path) { QFile(path).resize(QFile(path).size() / 2); },
         -1,
         {},
         {}},
        {"no Locations.itdb",
         "Locations.itdb",
         [](const QString &path) { QFile::remove(path); },
         26,
         {Kind::DatabasePartUnreadable},
         [](const MusicLibrary &l, const LoadReport &) {
             EXPECT_TRUE(l.Songs[0].Path.isEmpty() && l.Songs[0].FileType.isEmpty());
         }},
        {"three songs without a file",
         "Locations.itdb",
         sql("DELETE FROM location WHERE rowid IN (SELECT rowid FROM location LIMIT 3)"),
         26,
         {Kind::SongWithoutFile},
         [](const MusicLibrary &, const LoadReport &r) { EXPECT_EQ(r.count(Kind::SongWithoutFile), 3); }},
        {"no Dynamic.itdb, or no table in it",
         "Dynamic.itdb",
         [](const QString &path) { QFile::remove(path); },
         26,
         {},
         [](const MusicLibrary &l, const LoadReport &) {
             for (const Song &s : l.Songs)
                 EXPECT_EQ(std::tie(s.PlayCount, s.Rating, s.LastPlayed), std::tuple(0, 0, 0));
         }},
        {"no stats table", "Dynamic.itdb", sql("DROP TABLE item_stats"), 26, {}, {}},
        {"a damaged Dynamic.itdb",
         "Dynamic.itdb",
         replace(QByteArray(4096, 'x')),
         26,
         {Kind::DatabasePartUnreadable},
         {}},
        {"stats out of range",
         "Dynamic.itdb",
         sql("UPDATE item_stats SET play_count_user = -5, play_count_recent = 1e12, user_rating = 900, "
             "date_played = -978307200, skip_count_user = 'x'"),
         26,
         {},
         [](const MusicLibrary &l, const LoadReport &) {
             const Song &s = l.Songs[0];
             EXPECT_EQ(std::tie(s.PlayCount, s.RecentPlays, s.SkipCount, s.Rating, s.LastPlayed),
                       std::tuple(INT32_MAX, INT32_MAX, 0, 100, 0));
         }},
        {"no playlists",
         "Library.itdb",
         sql("DROP TABLE container; DROP TABLE item_to_container"),
         26,
         {Kind::DatabasePartUnreadable},
         [](const MusicLibrary &l, const LoadReport &) {
             EXPECT_EQ(l.PlaylistCount, 2); // the whole library and the On-The-Go list
             EXPECT_EQ(l.iPodName, "Nano Pod");
         }},
        {"the library's own playlist not marked",
         "Library.itdb",
         sql("DELETE FROM db_info"),
         26,
         {Kind::DatabasePartUnreadable},
         [](const MusicLibrary &l, const LoadReport &) {
             EXPECT_EQ(l.Playlists[0]->Name, ":: Nano Pod ::");
             EXPECT_EQ(l.Playlists[1]->Name, "Corvanel Demo");
         }},
        {"no genres, no kinds, no order, no album",
         "Library.itdb",
         sql("DROP TABLE genre_map; DROP TABLE location_kind_map; ALTER TABLE item DROP COLUMN physical_order; "
             "ALTER TABLE item DROP COLUMN album"),
         26,
         {Kind::DatabasePartUnreadable},
         [&](const MusicLibrary &l, const LoadReport &) {
             for (std::size_t i = 0; i < demo.tracks.size(); ++i) {
                 // The order comes from the library's own playlist, the kinds from the extensions.
                 EXPECT_EQ(l.Songs[i].Title, *demo.tracks[i].title);
                 EXPECT_EQ(l.Songs[i].FileType, *demo.tracks[i].fileType);
                 EXPECT_TRUE(l.Songs[i].Genre.isEmpty() && l.Songs[i].Album.isEmpty());
             }
         }},
        {"wrong types and NULLs",
         "Library.itdb",
         sql("UPDATE item SET title = 42, artist = '', genre_id = 'x' WHERE physical_order = 0;"
             "UPDATE item SET title = NULL, artist = NULL, album = x'41004243', total_time_ms = 'long',"
             " track_number = 1e300 WHERE physical_order = 1;"
             "INSERT INTO item_to_container VALUES (77, (SELECT pid FROM container WHERE name = 'Road Trip'), 99, 0)"),
         26,
         {Kind::PlaylistIdMissing},
         [](const MusicLibrary &l, const LoadReport &) {
             EXPECT_EQ(QStringList({l.Songs[0].Title, l.Songs[0].Artist, l.Songs[0].Genre}),
                       QStringList({"42", "No Artist", ""}));
             EXPECT_EQ(QStringList({l.Songs[1].Title, l.Songs[1].Artist, l.Songs[1].Album}),
                       QStringList({"", "", "ABC"}));
             EXPECT_EQ(std::pair(l.Songs[1].Length, l.Songs[1].TrackNumber), std::pair(0, INT32_MAX));
             EXPECT_EQ(l.Playlists[1]->SongIDs.ListCount(), 8);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString root = sqliteDemo(dir);
        c.damage(root + kItlp + QString::fromLatin1(c.file));
        MusicLibrary library;
        const LoadReport report = readSqliteLibrary(root, library);
        if (c.songs < 0)
            continue; // anything but a crash or a hang
        EXPECT_EQ(library.SongCount, c.songs);
        EXPECT_EQ(report.isDatabase, c.songs > 0);
        EXPECT_EQ(kindsOf(report), c.problems);
        if (c.check && library.SongCount == c.songs)
            c.check(library, report);
    }
}

TEST(SqliteLibrary, LocationsBecomeTheITunesDBsPathsAndTypes)
{
    using namespace std::string_view_literals;
    const struct
    {
        std::string_view location;
        const char *path;
        const char *type;
    } cases[] = {
        {"F00/ABCD.mp3"sv, "\\iPod_Control\\Music\\F00\\ABCD.mp3", "MPEG audio file"},
        {"/iPod_Control/Music/F01/X.M4A"sv, "\\iPod_Control\\Music\\F01\\X.M4A", "AAC audio file"},
        {"iPod_ControlMusic/Y.m4p"sv, "\\iPod_Control\\Music\\iPod_ControlMusic\\Y.m4p", "Protected AAC audio file"},
        {"F03/Café d\0x.aiff"sv, "\\iPod_Control\\Music\\F03\\Café dx.aiff", "AIFF audio file"},
        {"F04/noextension"sv, "\\iPod_Control\\Music\\F04\\noextension", ""},
        {"//"sv, "", ""},
    };
    for (const auto &c : cases) {
        const QString path = storedSongPath(c.location);
        EXPECT_EQ(path, QString::fromUtf8(c.path)) << c.location;
        EXPECT_EQ(fileTypeOfExtension(path), QString::fromUtf8(c.type)) << c.location;
    }
}
