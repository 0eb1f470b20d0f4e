// The databases of the later iPods (the compressed iTunesCDB, the shuffle's iTunesSD) and the
// chooser that picks the reader by what an iPod holds.
#include "DemoIpod.h"
#include "IpodBuilder.h"
#include "TestFiles.h"
#include "TestPaths.h"

#include <CompressedDatabase.h>
#include <LibraryJson.h>
#include <LibrarySource.h>
#include <ParseiTunesDB.h>
#include <ShuffleDatabase.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

// glib's headers use identifiers Qt defines as macros.
#undef signals
#include <gpod/itdb.h>

using namespace corvanel;
using namespace corvanel::itunesdb;

using Kind = LoadProblem::Kind;

namespace {

const QString kCdb = QStringLiteral("iPod_Control/iTunes/iTunesCDB");
const QString kDb = QStringLiteral("iPod_Control/iTunes/iTunesDB");
const QString kSd = QStringLiteral("iPod_Control/iTunes/iTunesSD");

// The demo's database and song list, without song files.
const QByteArray &demoDb()
{
    static const QByteArray bytes = mkipod::buildITunesDb(mkipod::demoDatabase());
    return bytes;
}
const QByteArray &demoCdb()
{
    static const QByteArray bytes = mkipod::compressITunesDb(demoDb());
    return bytes;
}
// The demo's songs many times over: several of the inflater's windows long, so that most of it
// is walked before the end of its stream is read.
const QByteArray &manyWindowsCdb()
{
    static const QByteArray bytes = [] {
        mkipod::Database db = mkipod::demoDatabase();
        const std::vector<mkipod::Track> songs = db.tracks;
        for (int copy = 1; copy < 200; ++copy)
            for (mkipod::Track track : songs) {
                track.id += copy * 1000;
                db.tracks.push_back(track);
            }
        return mkipod::compressITunesDb(mkipod::buildITunesDb(db));
    }();
    return bytes;
}
QByteArray demoSd(mkipod::ShuffleLayout layout)
{
    return mkipod::buildITunesSd(mkipod::demoDatabase(), layout);
}

struct Loaded
{
    MusicLibrary library;
    LoadReport report;
    QByteArray json() const { return libraryToJson(library, report); }
};

std::unique_ptr<Loaded> loadIpod(const QString &root)
{
    auto loaded = std::make_unique<Loaded>();
    loaded->library.iPodDrive = root;
    loaded->report = loadIpodLibrary(loaded->library);
    return loaded;
}

QByteArray withoutSource(const QByteArray &json)
{
    return QString::fromUtf8(json).remove(QRegularExpression(QStringLiteral("\n\"source\": \"[a-z]+\","))).toUtf8();
}

// The library's songs in order as "path|title|artist|album|genre|type|track", and each
// playlist but the master and On-The-Go as its songs' paths.
QStringList songsOf(const MusicLibrary &library)
{
    QStringList out;
    for (const Song &song : library.Songs)
        out << QStringList{song.Path.toLower(),
                           song.Title,
                           song.Artist,
                           song.Album,
                           song.Genre,
                           song.FileType,
                           QString::number(song.TrackNumber)}
                   .join('|');
    return out;
}
std::vector<QStringList> playlistsOf(const MusicLibrary &library)
{
    std::vector<QStringList> out;
    for (std::size_t p = 1; p < library.Playlists.size(); ++p) {
        if (library.Playlists[p]->Name == QLatin1String("On-The-Go"))
            continue;
        QStringList paths;
        for (const QString &id : library.Playlists[p]->SongIDs.items())
            paths << library.Songs[static_cast<std::size_t>(library.indexOf(id).value())].Path;
        out.push_back(paths);
    }
    return out;
}

} // namespace

TEST(CompressedDatabase, RealDatabasesGiveTheLibraryOfTheirPlainSelves)
{
    CORVANEL_REQUIRE_FIXTURES();
    for (const char *name : {"iTunesDB-podcasts-v73", "iTunesDB-otg-mac-v73", "iTunesDB-shuffle-v2a",
                             "iTunesDB-empty-cjk-v73", "iTunesDB-libgpod-v0d"}) {
        const QString fixture = fixturePath(QStringLiteral("ipod/") + name);
        for (const int level : {1, 9}) {
            SCOPED_TRACE(std::string(name) + " at level " + std::to_string(level));
            QTemporaryDir ipod;
            const QByteArray compressed = mkipod::compressITunesDb(readFile(fixture), level);
            ASSERT_TRUE(isCompressedDatabase(compressed));
            // As such iPods leave it: an empty iTunesDB beside the compressed one.
            ASSERT_TRUE(writeFile(ipod.filePath(kCdb), compressed) && writeFile(ipod.filePath(kDb), {}));
            const auto fromCdb = loadIpod(ipod.path());
            EXPECT_EQ(fromCdb->report.source.chosen, SourceKind::ITunesCdb);

            Loaded plain;
            plain.library.iPodDrive = ipod.path();
            plain.report = ParseiTunesDB(fixture, plain.library);
            EXPECT_EQ(withoutSource(fromCdb->json()), withoutSource(plain.json()));
            EXPECT_TRUE(fromCdb->json().contains("\n\"source\": \"itunescdb\","));
        }
    }
}

TEST(CompressedDatabase, DamagedStreamsAreRefusedWithTheirReason)
{
    QByteArray corrupt = demoCdb();
    corrupt[corrupt.size() / 2] = char(corrupt[corrupt.size() / 2] ^ 0x55);
    corrupt[corrupt.size() / 2 + 7] = char(corrupt[corrupt.size() / 2 + 7] ^ 0x55);
    QByteArray bomb = mkipod::compressITunesDb(demoDb().left(0xBC) + QByteArray(64 << 20, '\0'), 9);
    QByteArray wrongSum = manyWindowsCdb();
    wrongSum.back() = char(wrongSum.back() ^ 1);
    const struct
    {
        const char *what;
        QByteArray bytes;
        qint64 limit;
        InflateError::Kind kind;
    } cases[] = {
        {"cut short", demoCdb().chopped(demoCdb().size() / 3), MaxInflatedDatabase, InflateError::Kind::Truncated},
        {"bytes changed", corrupt, MaxInflatedDatabase, InflateError::Kind::Corrupt},
        {"64 MB of zeros", bomb, MaxInflatedDatabase, InflateError::Kind::TooLarge},
        {"past the caller's limit", demoCdb(), demoDb().size() / 2, InflateError::Kind::TooLarge},
        {"checksum wrong at the end", wrongSum, MaxInflatedDatabase, InflateError::Kind::Corrupt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(isCompressedDatabase(c.bytes));
        const auto inflated = inflateDatabase(c.bytes, c.limit);
        ASSERT_FALSE(inflated);
        EXPECT_EQ(inflated.error().kind, c.kind);
        EXPECT_FALSE(inflated.error().message.isEmpty());

        // Walked while it inflates: the walk ends, and the end gives the same reason.
        auto inflating = InflatingDatabase::start(c.bytes, c.limit);
        ASSERT_TRUE(inflating);
        Loaded walked;
        walkITunesDb(**inflating, c.bytes.size(), walked.library, walked.report);
        const auto whole = (*inflating)->finish();
        ASSERT_FALSE(whole);
        EXPECT_EQ(whole.error().kind, c.kind);

        // Loaded from the iPod, it adds nothing to the library, and the report says why.
        if (c.limit != MaxInflatedDatabase)
            continue;
        QTemporaryDir ipod;
        ASSERT_TRUE(writeFile(ipod.filePath(kCdb), c.bytes));
        Loaded loaded;
        loaded.library.addSong().Title = QStringLiteral("already there");
        loaded.library.addPlaylist();
        loaded.library.iPodName = QStringLiteral("before");
        loaded.report = ParseiTunesDB(ipod.filePath(kCdb), loaded.library);
        EXPECT_FALSE(loaded.report.isDatabase);
        EXPECT_TRUE(loaded.report.find(LoadProblem::Kind::DatabaseUnreadable));
        EXPECT_EQ(loaded.library.SongCount, 1);
        EXPECT_EQ(loaded.library.Songs.size(), 1u);
        EXPECT_EQ(loaded.library.PlaylistCount, 1);
        EXPECT_EQ(loaded.library.iPodName, QStringLiteral("before"));
    }
    // Whole, walked while it inflates, it gives every song.
    auto inflating = InflatingDatabase::start(manyWindowsCdb());
    ASSERT_TRUE(inflating);
    Loaded walked;
    walkITunesDb(**inflating, 0, walked.library, walked.report);
    ASSERT_TRUE((*inflating)->finish());
    EXPECT_EQ(walked.library.SongCount, 200 * int(mkipod::demoDatabase().tracks.size()));
    EXPECT_EQ(walked.report.unknownTags, 0);
    // Whole, it inflates to the plain file, marked plain, with its real length.
    const auto inflated = inflateDatabase(demoCdb());
    ASSERT_TRUE(inflated);
    const QByteArrayView whole = inflated->bytes();
    EXPECT_EQ(whole.sliced(0xBC), QByteArrayView(demoDb()).sliced(0xBC));
    EXPECT_EQ(qFromLittleEndian<quint32>(whole.data() + 8), quint32(whole.size()));
    EXPECT_EQ(qFromLittleEndian<quint32>(whole.data() + 12), 1u);
}

TEST(ShuffleList, ListsThatLibgpodWritesReadBack)
{
    // libgpod picks the layout by the model its SysInfo names: a 2nd and a 3rd generation shuffle.
    for (const auto &[model, layout] :
         {std::pair{"MA546", ShuffleList::Layout::Fixed}, std::pair{"MC306", ShuffleList::Layout::Chunked}}) {
        SCOPED_TRACE(model);
        QTemporaryDir ipod;
        ASSERT_TRUE(writeFile(ipod.filePath("iPod_Control/Device/SysInfo"), mkipod::buildSysInfo(model)));
        QDir().mkpath(ipod.filePath("iPod_Control/iTunes"));
        Itdb_iTunesDB *itdb = itdb_new();
        itdb_set_mountpoint(itdb, QFile::encodeName(ipod.path()).constData());
        Itdb_Playlist *master = itdb_playlist_new("Shuffle", FALSE);
        itdb_playlist_set_mpl(master);
        itdb_playlist_add(itdb, master, -1);
        const char *paths[] = {":iPod_Control:Music:F00:AAAA.mp3", ":iPod_Control:Music:F01:Caf\xc3\xa9 B.m4a",
                               ":iPod_Control:Music:F02:CCCC.wav"};
        for (const char *path : paths) {
            Itdb_Track *track = itdb_track_new();
            track->ipod_path = g_strdup(path);
            track->filetype = g_strdup("MPEG audio file");
            itdb_track_add(itdb, track, -1);
            itdb_playlist_add_track(master, track, -1);
        }
        GError *error = nullptr;
        const QString file = ipod.filePath(kSd);
        ASSERT_TRUE(itdb_shuffle_write_file(itdb, QFile::encodeName(file).constData(), &error));
        itdb_free(itdb);

        const auto list = parseShuffleList(readFile(file));
        ASSERT_TRUE(list) << list.error().toStdString();
        EXPECT_EQ(list->layout, layout);
        EXPECT_TRUE(list->damage.isEmpty()) << list->damage.toStdString();
        ASSERT_EQ(list->tracks.size(), 3u);
        EXPECT_EQ(list->tracks[1].storedPath, QString::fromUtf8("\\iPod_Control\\Music\\F01\\Caf\xc3\xa9 B.m4a"));
        EXPECT_EQ(list->tracks[2].storedPath, "\\iPod_Control\\Music\\F02\\CCCC.wav");
    }
}

TEST(ShuffleList, DamagedListsKeepWhatCanBeRead)
{
    const QByteArray fixed = demoSd(mkipod::ShuffleLayout::Fixed);
    const QByteArray chunked = demoSd(mkipod::ShuffleLayout::Chunked);
    auto changed = [](QByteArray bytes, qsizetype at, quint32 value) {
        qToLittleEndian<quint32>(value, bytes.data() + at);
        return bytes;
    };
    const qsizetype firstRecordOffset = 0x40 + 20;
    const qsizetype playlists = qFromLittleEndian<quint32>(chunked.constData() + 0x28);
    const qsizetype secondList = qFromLittleEndian<quint32>(chunked.constData() + playlists + 24);
    const struct
    {
        const char *what;
        QByteArray bytes;
        int tracks; // -1: not a song list at all
        const char *damage;
    } cases[] = {
        {"1G/2G whole", fixed, 26, ""},
        {"1G/2G cut inside the third entry", fixed.left(18 + 558 * 2 + 100), 2, "ends after 2 of its 26 songs"},
        {"1G/2G counting more than it holds", QByteArray("\x00\x03\xe8", 3) + fixed.mid(3), 26, "of its 1000"},
        {"1G/2G entry of the wrong size", changed(fixed, 18 + 558, 0), 1, "entry 2 is not a song entry"},
        {"a header that is no song list", QByteArray(100, 'x'), -1, ""},
        {"3G/4G whole", chunked, 26, ""},
        {"3G/4G track table out of the file", changed(chunked, 0x24, 0x7fffffff), -1, ""},
        {"3G/4G record offset at the header", changed(chunked, firstRecordOffset, 0), 25, "song 1 is not"},
        {"3G/4G playlist naming song 9999", changed(chunked, secondList + 44, 9999), 26, "a song the list does not"},
        {"3G/4G counting playlists past the file", changed(chunked, playlists + 8, 0xA0000004), 26,
         "playlist 5 is not a playlist record"},
        {"3G/4G cut in its track records", chunked.left(0x40 + 124 + 372 * 3 + 10), 3, "track table ends"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto list = parseShuffleList(c.bytes);
        if (c.tracks < 0) {
            EXPECT_FALSE(list);
            continue;
        }
        ASSERT_TRUE(list) << list.error().toStdString();
        EXPECT_EQ(int(list->tracks.size()), c.tracks);
        EXPECT_TRUE(list->damage.contains(QString::fromUtf8(c.damage))) << list->damage.toStdString();
        EXPECT_EQ(list->damage.isEmpty(), *c.damage == '\0');
    }
    // Every prefix of either layout ends without fault.
    for (const QByteArray &whole : {fixed, chunked})
        for (qsizetype n = 0; n <= whole.size(); n += 7)
            (void)parseShuffleList(QByteArray(whole.constData(), n));
}

TEST(LibrarySource, TheDemoInEveryFormGivesTheSameLibrary)
{
    const auto plain = loadIpod(demoIpod());
    ASSERT_EQ(plain->library.SongCount, 26);
    const struct
    {
        mkipod::DatabaseForm form;
        SourceKind kind;
        std::size_t playlists; // besides the master and On-The-Go
        // A shuffle's iTunesStats carries only the plays and skips since the sync, and the times
        // of those only in the later layout; no totals, no rating.
        bool allHistory;
        bool playTimes;
    } forms[] = {{mkipod::DatabaseForm::Compressed, SourceKind::ITunesCdb, 3, true, true},
                 {mkipod::DatabaseForm::ShuffleChunked, SourceKind::ITunesSd, 3, false, true},
                 {mkipod::DatabaseForm::ShuffleFixed, SourceKind::ITunesSd, 0, false, false}};
    for (const auto &f : forms) {
        SCOPED_TRACE(sourceKindName(f.kind).toStdString() + " " + std::to_string(f.playlists));
        QTemporaryDir dir;
        const QString root = dir.filePath("IPOD");
        ASSERT_TRUE(copyTree(demoIpod(), root));
        QString error;
        ASSERT_TRUE(mkipod::convertDatabase(root, f.form, mkipod::demoDatabase(), &error)) << error.toStdString();
        const auto loaded = loadIpod(root);
        EXPECT_EQ(loaded->report.source.chosen, f.kind);
        EXPECT_TRUE(loaded->report.problems.empty());
        EXPECT_TRUE(loaded->json().contains("\"source\": \"" + sourceKindName(f.kind).toUtf8() + "\""));
        EXPECT_EQ(songsOf(loaded->library), songsOf(plain->library));
        const auto lists = playlistsOf(loaded->library);
        ASSERT_EQ(lists.size(), f.playlists);
        for (std::size_t p = 0; p < lists.size(); ++p)
            EXPECT_EQ(lists[p], playlistsOf(plain->library)[p]);
        for (int32_t i = 0; i < loaded->library.SongCount; ++i) {
            const Song &song = loaded->library.Songs[std::size_t(i)];
            EXPECT_NEAR(song.Length, plain->library.Songs[std::size_t(i)].Length, 50) << song.Path.toStdString();
            EXPECT_EQ(song.FileSize, plain->library.Songs[std::size_t(i)].FileSize);
            const Song &want = plain->library.Songs[std::size_t(i)];
            EXPECT_EQ(song.RecentPlays, want.RecentPlays);
            if (f.playTimes && want.RecentPlays > 0) {
                EXPECT_EQ(song.LastPlayed, want.LastPlayed);
            }
            if (f.allHistory) {
                EXPECT_EQ(std::tie(song.PlayCount, song.SkipCount, song.Rating, song.LastSkipped),
                          std::tie(want.PlayCount, want.SkipCount, want.Rating, want.LastSkipped));
            }
        }
    }
}

TEST(LibrarySource, ChoosesByWhatTheIpodHolds)
{
    const QByteArray emptyDb = mkipod::buildITunesDb(mkipod::Database{});
    const QByteArray plainBody = [] {
        QByteArray bytes = demoDb();
        qToLittleEndian<quint32>(2, bytes.data() + 12); // marked compressed, but plain
        return bytes;
    }();
    const struct
    {
        const char *what;
        std::vector<std::pair<QString, QByteArray>> files;
        SourceKind chosen;
        int songs;
        std::vector<Kind> problems;
        const char *failure; // what --print-library says when nothing was read; "" when something was
    } cases[] = {
        {"a compressed database beside a stale one",
         {{kCdb, demoCdb()}, {kDb, emptyDb}},
         SourceKind::ITunesCdb,
         26,
         {Kind::SongFileUnreadable},
         ""},
        {"a compressed database that is not compressed",
         {{kCdb, plainBody}},
         SourceKind::ITunesCdb,
         26,
         {Kind::SongFileUnreadable},
         ""},
        {"a damaged compressed database beside a good one",
         {{kCdb, demoCdb().chopped(99)}, {kDb, demoDb()}},
         SourceKind::ITunesDb,
         26,
         {Kind::DatabaseUnreadable, Kind::SongFileUnreadable},
         ""},
        {"garbage behind a compressed database's header",
         {{kCdb, demoDb().left(0xBC) + QByteArray(500, 'z')}},
         SourceKind::None,
         0,
         {Kind::DatabaseUnreadable},
         "iTunesCDB: "},
        {"an empty database and a shuffle's list",
         {{kDb, emptyDb}, {kSd, demoSd(mkipod::ShuffleLayout::Chunked)}},
         SourceKind::ITunesSd,
         26,
         {Kind::SongFileUnreadable},
         ""},
        {"an empty database and a damaged list",
         {{kDb, emptyDb}, {kSd, QByteArray(30, 'q')}},
         SourceKind::ITunesDb,
         0,
         {Kind::DatabaseUnreadable},
         ""},
        {"a damaged compressed database alone",
         {{kCdb, demoCdb().left(400)}},
         SourceKind::None,
         0,
         {Kind::DatabaseUnreadable},
         "ends before its data does"},
        {"nothing at all", {}, SourceKind::None, 0, {Kind::CopyFailed}, "missing"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir ipod;
        for (const auto &[path, bytes] : c.files)
            ASSERT_TRUE(writeFile(ipod.filePath(path), bytes));
        const auto loaded = loadIpod(ipod.path());
        const LoadReport &report = loaded->report;
        EXPECT_EQ(report.source.chosen, c.chosen) << report.source.reason.toStdString();
        EXPECT_EQ(loaded->library.SongCount, c.songs);
        std::vector<Kind> kinds;
        for (const LoadProblem &problem : report.problems)
            kinds.push_back(problem.kind);
        EXPECT_EQ(kinds, c.problems);
        const std::optional<QString> failure = loadFailure(loaded->library, report);
        EXPECT_EQ(failure.has_value(), *c.failure != '\0');
        if (failure) {
            EXPECT_TRUE(failure->contains(QString::fromUtf8(c.failure))) << failure->toStdString();
        }
        // What the iPod holds, in the order the chooser weighs it.
        const std::pair<SourceKind, QString> expected[] = {{SourceKind::ITunesCdb, kCdb},
                                                           {SourceKind::ITunesDb, kDb},
                                                           {SourceKind::Sqlite, {}},
                                                           {SourceKind::ITunesSd, kSd}};
        ASSERT_EQ(report.source.candidates.size(), std::size(expected));
        for (std::size_t k = 0; k < std::size(expected); ++k) {
            const SourceCandidate &candidate = report.source.candidates[k];
            EXPECT_EQ(candidate.kind, expected[k].first);
            EXPECT_EQ(candidate.found, std::any_of(c.files.begin(), c.files.end(),
                                                   [&](const auto &file) { return file.first == expected[k].second; }));
        }
        EXPECT_FALSE(report.source.reason.isEmpty());
    }
}

TEST(LibrarySource, TheIpodsOwnDatabasePathStandsForTheIpodAnyOtherFileForItself)
{
    QTemporaryDir ipod;
    ASSERT_TRUE(writeFile(ipod.filePath(kCdb), demoCdb()) && writeFile(ipod.filePath(kDb), {}));
    ASSERT_TRUE(writeFile(ipod.filePath("elsewhere/copy"), demoDb()));
    for (const auto &[file, kind] : {std::pair{ipod.filePath("IPOD_CONTROL/itunes/itunesdb"), SourceKind::ITunesCdb},
                                     std::pair{ipod.filePath(kCdb), SourceKind::ITunesCdb},
                                     std::pair{ipod.filePath("elsewhere/copy"), SourceKind::ITunesDb}}) {
        SCOPED_TRACE(file.toStdString());
        MusicLibrary library;
        library.iPodDrive = ipod.path();
        EXPECT_EQ(loadLibraryFile(file, library).source.chosen, kind);
        EXPECT_EQ(library.SongCount, 26);
    }
}
