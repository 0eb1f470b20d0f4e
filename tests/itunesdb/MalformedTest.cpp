#include "RecordWriter.h"

#include <IpodBuilder.h>
#include <OnTheGo.h>
#include <ParseiTunesDB.h>
#include <iTunesDBReader.h>

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace testdb;
using Kind = LoadProblem::Kind;

namespace {

struct Walked
{
    MusicLibrary library;
    LoadReport report;
};

std::unique_ptr<Walked> walk(const QByteArray &bytes)
{
    auto result = std::make_unique<Walked>();
    walkITunesDb(bytes, result->library, nullptr, result->report);
    return result;
}

mkipod::Database smallDatabase(mkipod::Layout layout)
{
    mkipod::Database db;
    db.layout = layout;
    for (int i = 0; i < 3; ++i) {
        mkipod::Track t;
        t.id = 10 + i;
        t.title = QStringLiteral("Title %1").arg(i);
        t.artist = QStringLiteral("Artist");
        t.album = QStringLiteral("Album");
        t.genre = QStringLiteral("Genre");
        t.location = QStringLiteral(":iPod_Control:Music:F00:T%1.mp3").arg(i);
        t.fileType = QStringLiteral("MPEG audio file");
        t.comment = QStringLiteral("comment");
        db.tracks.push_back(t);
    }
    db.playlists = {{QStringLiteral("Pod"), {10, 11, 12}, true},
                    {QStringLiteral("List"), {12}},
                    {QStringLiteral("Smart"), {10}, false, false, true}};
    return db;
}

// Offset of the n-th record with this tag (0-based), or -1.
qsizetype findRecord(const QByteArray &bytes, const char *tag, int n = 0)
{
    qsizetype at = -1;
    for (int i = 0; i <= n; ++i) {
        at = bytes.indexOf(QByteArray(tag, 4), at + 1);
        if (at < 0)
            return -1;
    }
    return at;
}

// Offset of the data set of this type.
qsizetype findDataSet(const QByteArray &bytes, int32_t type)
{
    for (int n = 0;; ++n) {
        const qsizetype at = findRecord(bytes, "mhsd", n);
        if (at < 0 || get32(bytes, at + 12) == type)
            return at;
    }
}

} // namespace

TEST(MalformedDatabases, EveryPrefixEndsWithoutFault)
{
    for (const auto layout : {mkipod::Layout::Legacy, mkipod::Layout::ITunes7}) {
        const QByteArray whole = mkipod::buildITunesDb(smallDatabase(layout));
        for (qsizetype n = 0; n <= whole.size(); ++n) {
            // A detached copy of exactly n bytes, so ASan sees any read past it.
            const QByteArray prefix(whole.constData(), n);
            const auto result = walk(prefix);
            ASSERT_LE(result->library.SongCount, 3);
            ASSERT_LE(result->report.unknownTags, n);
        }
        const auto full = walk(whole);
        EXPECT_EQ(full->library.SongCount, 3);
        EXPECT_EQ(full->report.unknownTags, 0);
    }
}

TEST(MalformedDatabases, GarbageAfterTheTagEnds)
{
    QRandomGenerator random(1234);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes("mhbd");
        const int length = int(random.bounded(4, 600));
        for (int i = 0; i < length; ++i)
            bytes += char(random.bounded(256));
        const auto result = walk(bytes);
        EXPECT_TRUE(result->report.isDatabase);
    }
    // Mutations of a real layout: single bytes overwritten at random.
    const QByteArray whole = mkipod::buildITunesDb(smallDatabase(mkipod::Layout::ITunes7));
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = whole;
        for (int k = 0; k < 4; ++k)
            bytes[qsizetype(random.bounded(4, int(bytes.size())))] = char(random.bounded(256));
        walk(bytes);
    }
}

TEST(MalformedDatabases, EmptyAndForeignFilesAreNotDatabases)
{
    for (const QByteArray &bytes : {QByteArray(), QByteArray("mhb"), QByteArray("xhbd\x68\0\0\0", 8)}) {
        const auto result = walk(bytes);
        EXPECT_FALSE(result->report.isDatabase);
        EXPECT_EQ(result->report.unknownTags, 0);
        EXPECT_EQ(result->library.SongCount, 0);
    }
    // Only the tag: a database that holds nothing; its 4 bytes are too short for a record.
    const auto bare = walk(QByteArray("mhbd"));
    EXPECT_TRUE(bare->report.isDatabase);
    EXPECT_EQ(bare->report.unknownTags, 4);
}

TEST(MalformedDatabases, HeaderLengthZeroOrNegativeIsSlidOver)
{
    for (const int32_t bad : {0, -1, -0x68, INT32_MIN}) {
        SCOPED_TRACE(bad);
        QByteArray bytes = database() + dataSet(1) + track(1) + stringObject(1, QStringLiteral("One"));
        put32(bytes, 4, bad); // the database header itself
        const auto result = walk(bytes);
        EXPECT_EQ(result->library.SongCount, 1);
        EXPECT_EQ(result->library.Songs[0].Title, QStringLiteral("One"));
        EXPECT_EQ(result->report.unknownTags, 0x68);
    }
    // A track whose header runs past the end of the file.
    QByteArray bytes = database() + dataSet(1) + track(1);
    put32(bytes, 0x68 + 0x60 + 4, 0x7fffffff);
    const auto result = walk(bytes);
    EXPECT_EQ(result->library.SongCount, 0);
    EXPECT_EQ(result->report.unknownTags, 0x9C);
}

TEST(MalformedDatabases, StringLongerThanItsRecordIsNotRead)
{
    const QByteArray title = stringObject(1, QStringLiteral("Kept"));
    QByteArray bad = stringObject(4, QStringLiteral("Artist"));
    put32(bad, 28, 0x7ffffff0);
    const auto result = walk(database() + dataSet(1) + track(1) + bad + track(2) + title);
    ASSERT_EQ(result->library.SongCount, 2);
    EXPECT_EQ(result->library.Songs[0].Artist, QString());
    EXPECT_EQ(result->library.Songs[1].Title, QStringLiteral("Kept"));
    EXPECT_EQ(result->report.unknownTags, bad.size());

    QByteArray negative = stringObject(1, QStringLiteral("x"));
    put32(negative, 28, -2);
    EXPECT_EQ(walk(database() + dataSet(1) + track(1) + negative)->library.Songs[0].Title, QString());
}

TEST(MalformedDatabases, ObjectsAreSteppedByTheirTotalLength)
{
    // A string object with padding after its text: the total length decides the step.
    QByteArray padded = stringObject(1, QStringLiteral("Padded"));
    padded += QByteArray(6, 'z');
    put32(padded, 8, int32_t(padded.size()));
    // A type the walk does not read, whose offset 28 holds nonsense.
    QByteArray other = record("mhod", 0x18, {{12, 52}, {28, 0x40000000}});
    other += QByteArray(100, '\x01');
    put32(other, 8, int32_t(other.size()));
    const auto result = walk(database() + dataSet(1) + track(1) + padded + other + stringObject(3, "Album"));
    ASSERT_EQ(result->library.SongCount, 1);
    EXPECT_EQ(result->library.Songs[0].Title, QStringLiteral("Padded"));
    EXPECT_EQ(result->library.Songs[0].Album, QStringLiteral("Album"));
    EXPECT_EQ(result->report.unknownTags, 0);
}

TEST(MalformedDatabases, DataSetLongerThanTheFileIsSlidOver)
{
    QByteArray bytes = mkipod::buildITunesDb(smallDatabase(mkipod::Layout::ITunes7));
    const qsizetype albums = findDataSet(bytes, 4);
    ASSERT_GE(albums, 0);
    put32(bytes, albums + 8, 0x7fffff00);
    const auto result = walk(bytes);
    EXPECT_EQ(result->library.SongCount, 3);
    EXPECT_GT(result->report.unknownTags, 0);
    EXPECT_EQ(result->library.iPodName, QStringLiteral("Pod"));
}

TEST(MalformedDatabases, OtherDataSetsAreSkippedWhole)
{
    // Songs and a playlist inside a data set of type 3 are never read.
    const QByteArray hidden = track(99) + stringObject(1, QStringLiteral("Hidden"));
    QByteArray podcasts = dataSet(3) + record("mhlp", 0x5C) + playlist() + stringObject(1, "Copy") + item(99) + hidden;
    put32(podcasts, 8, int32_t(podcasts.size()));
    const QByteArray bytes = database() + dataSet(1) + record("mhlt", 0x5C) + track(1) + podcasts + dataSet(2) +
                             record("mhlp", 0x5C) + playlist() + stringObject(1, QStringLiteral("Master")) + item(1);
    const auto result = walk(bytes);
    ASSERT_EQ(result->library.SongCount, 1);
    EXPECT_EQ(result->library.PlaylistCount, 1);
    EXPECT_EQ(result->library.Playlists[0]->Name, QStringLiteral(":: Master ::"));
    EXPECT_EQ(result->report.unknownTags, 0);
}

TEST(MalformedDatabases, FourStrayBytesCountFour)
{
    QByteArray bytes = mkipod::buildITunesDb(smallDatabase(mkipod::Layout::Legacy));
    const qsizetype firstSet = findRecord(bytes, "mhsd");
    bytes.insert(firstSet, "xxxx");
    const auto result = walk(bytes);
    EXPECT_EQ(result->report.unknownTags, 4);
    EXPECT_EQ(result->library.SongCount, 3);
    EXPECT_EQ(result->library.PlaylistCount, 3);
}

TEST(MalformedDatabases, PlaylistItemBeforeAnyPlaylist)
{
    const QByteArray bytes = database() + dataSet(1) + track(7) + dataSet(2) + record("mhlp", 0x5C) + item(7) +
                             item(8) + playlist() + stringObject(1, QStringLiteral("First")) +
                             stringObject(1, QStringLiteral("Later")) + item(7) + playlist() +
                             stringObject(1, QStringLiteral("A")) + stringObject(1, QStringLiteral("B"));
    const auto result = walk(bytes);
    EXPECT_EQ(result->report.count(Kind::PlaylistItemWithoutPlaylist), 2);
    ASSERT_EQ(result->library.PlaylistCount, 2);
    // The master takes its later name undecorated; the iPod's name is the first.
    EXPECT_EQ(result->library.iPodName, QStringLiteral("First"));
    EXPECT_EQ(result->library.Playlists[0]->Name, QStringLiteral("Later"));
    EXPECT_EQ(result->library.Playlists[0]->SongIDs.items(), std::vector<QString>{"7"});
    EXPECT_EQ(result->library.Playlists[1]->Name, QStringLiteral("B"));
}

TEST(MalformedDatabases, StringsAreUtf16WithoutNulCharacters)
{
    QString name = QStringLiteral("a");
    name += QChar(0);
    name += QString::fromUtf8("b\u00ff\u0100\U00010348");
    const auto result = walk(database() + dataSet(1) + track(1) + stringObject(1, name));
    EXPECT_EQ(result->library.Songs[0].Title, QString::fromUtf8("ab\u00ff\u0100\U00010348"));

    // An odd byte length drops the lone last byte.
    QByteArray odd = stringObject(1, QStringLiteral("xy"));
    put32(odd, 28, 3);
    EXPECT_EQ(walk(database() + dataSet(1) + track(1) + odd)->library.Songs[0].Title, QStringLiteral("x"));
}

TEST(MalformedDatabases, DuplicateTrackIdsKeepTheFirst)
{
    MusicLibrary library;
    LoadReport report;
    walkITunesDb(database() + dataSet(1) + track(5) + track(6) + track(5) + track(5), library, nullptr, report);
    buildSongIndex(library, report);
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0].kind, Kind::DuplicateTrackId);
    EXPECT_EQ(report.problems[0].count, 2);
    EXPECT_EQ(report.problems[0].detail, QStringLiteral("5"));
    EXPECT_EQ(library.SongIndex.size(), 2);
    EXPECT_EQ(library.SongIndex.value(QStringLiteral("5")), 0);
    EXPECT_EQ(library.SongCount, 4);
}

namespace {

std::unique_ptr<Walked> withTracks(int count)
{
    QByteArray bytes = database() + dataSet(1);
    for (int i = 0; i < count; ++i)
        bytes += track(100 + i);
    return walk(bytes);
}

QByteArray onTheGo(int32_t count, std::initializer_list<int32_t> entries)
{
    QByteArray bytes = record("mhpo", 20, {{12, count}});
    for (const int32_t entry : entries) {
        QByteArray field(4, '\0');
        put32(field, 0, entry);
        bytes += field;
    }
    return bytes;
}

} // namespace

TEST(OnTheGoFile, EntriesNameSongsByPosition)
{
    auto w = withTracks(3);
    readOnTheGo(onTheGo(3, {0, 2, 0}), w->library, w->report);
    ASSERT_EQ(w->library.PlaylistCount, 1);
    EXPECT_EQ(w->library.Playlists[0]->Name, QStringLiteral("On-The-Go"));
    EXPECT_EQ(w->library.Playlists[0]->SongIDs.items(), (std::vector<QString>{"100", "102", "100"}));
    EXPECT_TRUE(w->report.problems.empty());

    // The file's own records agree with this reading.
    auto built = withTracks(3);
    readOnTheGo(mkipod::buildOnTheGo({1, 0}), built->library, built->report);
    EXPECT_EQ(built->library.Playlists[0]->SongIDs.items(), (std::vector<QString>{"101", "100"}));
}

TEST(OnTheGoFile, EmptyCountsAndShortFilesGiveAnEmptyPlaylist)
{
    for (const QByteArray &bytes : {onTheGo(0, {}), onTheGo(-4, {1}), QByteArray("mhpo"), QByteArray()}) {
        auto w = withTracks(2);
        readOnTheGo(bytes, w->library, w->report);
        ASSERT_EQ(w->library.PlaylistCount, 1);
        EXPECT_EQ(w->library.Playlists[0]->SongIDs.ListCount(), 0);
        EXPECT_TRUE(w->report.problems.empty());
    }
}

TEST(OnTheGoFile, BadEntryEndsTheReadingAndKeepsEarlierOnes)
{
    for (const int32_t bad : {2, -1, INT32_MAX}) {
        auto w = withTracks(2);
        readOnTheGo(onTheGo(4, {1, 0, bad, 1}), w->library, w->report);
        EXPECT_EQ(w->library.Playlists[0]->SongIDs.items(), (std::vector<QString>{"101", "100"}));
        EXPECT_EQ(w->report.count(Kind::OnTheGoBadEntry), 1);
    }
    // Entries with no songs at all.
    auto none = withTracks(0);
    readOnTheGo(onTheGo(1, {0}), none->library, none->report);
    EXPECT_EQ(none->report.count(Kind::OnTheGoBadEntry), 1);
}

TEST(OnTheGoFile, CountBeyondTheFileEndsTheReading)
{
    auto w = withTracks(2);
    readOnTheGo(onTheGo(INT32_MAX, {1, 1}), w->library, w->report);
    EXPECT_EQ(w->library.Playlists[0]->SongIDs.items(), (std::vector<QString>{"101", "101"}));
    EXPECT_EQ(w->report.count(Kind::OnTheGoBadEntry), 1);
}
