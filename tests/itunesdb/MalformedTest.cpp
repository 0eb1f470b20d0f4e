#include "RecordWriter.h"

#include <OnTheGo.h>
#include <ParseiTunesDB.h>

#include <gtest/gtest.h>

using namespace corvanel;
using namespace corvanel::itunesdb;

using namespace testdb;
using Kind = LoadProblem::Kind;

namespace {

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

} // namespace

TEST(MalformedDatabases, EveryPrefixEndsWithoutFault)
{
    for (const auto layout : {mkipod::Layout::Legacy, mkipod::Layout::ITunes7}) {
        const QByteArray whole = mkipod::buildITunesDb(sampleDatabase(layout));
        for (qsizetype n = 0; n <= whole.size(); ++n) {
            // A detached copy of exactly n bytes, so ASan sees any read past it.
            const QByteArray prefix(whole.constData(), n);
            const auto result = walk(prefix);
            // The tag alone makes a database; its 4 bytes are too short for a record.
            ASSERT_EQ(result->report.isDatabase, n >= 4);
            ASSERT_LE(result->library.SongCount, 3);
            ASSERT_LE(result->report.unknownTags, n < 4 ? 0 : n);
            if (n == 4) {
                ASSERT_EQ(result->report.unknownTags, 4);
            }
        }
        const auto full = walk(whole);
        EXPECT_EQ(full->library.SongCount, 3);
        EXPECT_EQ(full->report.unknownTags, 0);
    }
}

TEST(MalformedDatabases, LengthsThatCannotBeTrustedAreSlidOver)
{
    for (const int32_t bad : {0, -1, -0x68, INT32_MIN}) {
        SCOPED_TRACE(bad);
        QByteArray bytes = database() + dataSet(1) + track(1) + stringObject(1, "One");
        put32(bytes, 4, bad); // the database header itself
        const auto result = walk(bytes);
        ASSERT_EQ(result->library.SongCount, 1);
        EXPECT_EQ(result->library.Songs[0].Title, "One");
        EXPECT_EQ(result->report.unknownTags, 0x68);
    }
    // A track whose header runs past the end of the file.
    QByteArray bytes = database() + dataSet(1) + track(1);
    put32(bytes, 0x68 + 0x60 + 4, 0x7fffffff);
    auto result = walk(bytes);
    EXPECT_EQ(result->library.SongCount, 0);
    EXPECT_EQ(result->report.unknownTags, 0x9C);

    // A data set longer than the file.
    bytes = mkipod::buildITunesDb(sampleDatabase(mkipod::Layout::ITunes7));
    qsizetype albums = findRecord(bytes, "mhsd");
    for (int n = 1; albums >= 0 && get32(bytes, albums + 12) != 4; ++n)
        albums = findRecord(bytes, "mhsd", n);
    ASSERT_GE(albums, 0);
    put32(bytes, albums + 8, 0x7fffff00);
    result = walk(bytes);
    EXPECT_EQ(result->library.SongCount, 3);
    EXPECT_GT(result->report.unknownTags, 0);
    EXPECT_EQ(result->library.iPodName, "Pod");

    // Four stray bytes count four.
    bytes = mkipod::buildITunesDb(sampleDatabase(mkipod::Layout::Legacy));
    bytes.insert(findRecord(bytes, "mhsd"), "xxxx");
    result = walk(bytes);
    EXPECT_EQ(result->report.unknownTags, 4);
    EXPECT_EQ(result->library.SongCount, 3);
    EXPECT_EQ(result->library.PlaylistCount, 4);
}

TEST(MalformedDatabases, StringObjectsAreReadOnlyWithinTheirRecords)
{
    const QByteArray title = stringObject(1, "Kept");
    QByteArray bad = stringObject(4, "Artist");
    put32(bad, 28, 0x7ffffff0);
    auto result = walk(database() + dataSet(1) + track(1) + bad + track(2) + title);
    ASSERT_EQ(result->library.SongCount, 2);
    EXPECT_EQ(result->library.Songs[0].Artist, QString());
    EXPECT_EQ(result->library.Songs[1].Title, "Kept");
    EXPECT_EQ(result->report.unknownTags, bad.size());

    QByteArray negative = stringObject(1, "x");
    put32(negative, 28, -2);
    EXPECT_EQ(walk(database() + dataSet(1) + track(1) + negative)->library.Songs[0].Title, QString());

    // An odd byte length drops the lone last byte; NUL characters are dropped.
    QByteArray odd = stringObject(1, "xy");
    put32(odd, 28, 3);
    EXPECT_EQ(walk(database() + dataSet(1) + track(1) + odd)->library.Songs[0].Title, "x");
    QString name = "a";
    name += QChar(0);
    name += QString::fromUtf8("b\u00ff\u0100\U00010348");
    result = walk(database() + dataSet(1) + track(1) + stringObject(1, name));
    EXPECT_EQ(result->library.Songs[0].Title, QString::fromUtf8("ab\u00ff\u0100\U00010348"));

    // The total length decides the step: padding after a text, and a type the walk does not read whose
    // offset 28 holds nonsense.
    QByteArray padded = stringObject(1, "Padded") + QByteArray(6, 'z');
    put32(padded, 8, int32_t(padded.size()));
    QByteArray other = record("mhod", 0x18, {{12, 52}, {28, 0x40000000}}) + QByteArray(100, '\x01');
    put32(other, 8, int32_t(other.size()));
    result = walk(database() + dataSet(1) + track(1) + padded + other + stringObject(3, "Album"));
    ASSERT_EQ(result->library.SongCount, 1);
    EXPECT_EQ(result->library.Songs[0].Title, "Padded");
    EXPECT_EQ(result->library.Songs[0].Album, "Album");
    EXPECT_EQ(result->report.unknownTags, 0);
}

TEST(MalformedDatabases, OtherDataSetsAreSkippedWhole)
{
    // Songs and a playlist inside a data set of type 3 are never read.
    const QByteArray hidden = track(99) + stringObject(1, "Hidden");
    QByteArray podcasts = dataSet(3) + record("mhlp", 0x5C) + playlist() + stringObject(1, "Copy") + item(99) + hidden;
    put32(podcasts, 8, int32_t(podcasts.size()));
    const auto result = walk(database() + dataSet(1) + record("mhlt", 0x5C) + track(1) + podcasts + dataSet(2) +
                             record("mhlp", 0x5C) + playlist() + stringObject(1, "Master") + item(1));
    ASSERT_EQ(result->library.SongCount, 1);
    EXPECT_EQ(result->library.PlaylistCount, 1);
    EXPECT_EQ(result->library.Playlists[0]->Name, ":: Master ::");
    EXPECT_EQ(result->report.unknownTags, 0);
}

TEST(MalformedDatabases, PlaylistItemBeforeAnyPlaylist)
{
    const auto result = walk(database() + dataSet(1) + track(7) + dataSet(2) + record("mhlp", 0x5C) + item(7) +
                             item(8) + playlist() + stringObject(1, "First") + stringObject(1, "Later") + item(7) +
                             playlist() + stringObject(1, "A") + stringObject(1, "B"));
    EXPECT_EQ(result->report.count(Kind::PlaylistItemWithoutPlaylist), 2);
    ASSERT_EQ(result->library.PlaylistCount, 2);
    // The master takes its later name undecorated; the iPod's name is the first.
    EXPECT_EQ(result->library.iPodName, "First");
    EXPECT_EQ(result->library.Playlists[0]->Name, "Later");
    EXPECT_EQ(result->library.Playlists[0]->SongIDs.items(), std::vector<QString>{"7"});
    EXPECT_EQ(result->library.Playlists[1]->Name, "B");
}

TEST(MalformedDatabases, DuplicateTrackIdsKeepTheFirst)
{
    const auto w = walk(database() + dataSet(1) + track(5) + track(6) + track(5) + track(5));
    buildSongIndex(w->library, w->report);
    ASSERT_EQ(w->report.problems.size(), 1u);
    EXPECT_EQ(w->report.problems[0].kind, Kind::DuplicateTrackId);
    EXPECT_EQ(w->report.problems[0].count, 2);
    EXPECT_EQ(w->report.problems[0].detail, "5");
    EXPECT_EQ(w->library.SongIndex.size(), 2);
    EXPECT_EQ(w->library.SongIndex.value("5"), 0);
    EXPECT_EQ(w->library.SongCount, 4);
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
        bytes += QByteArray(4, '\0');
        put32(bytes, bytes.size() - 4, entry);
    }
    return bytes;
}

} // namespace

// Entries name songs by position; a short file or a bad entry ends the reading and keeps what came before.
TEST(OnTheGoFile, EntriesNameSongsByPositionUntilTheFirstBadOne)
{
    const struct
    {
        QByteArray bytes;
        int tracks;
        std::vector<QString> ids;
        int badEntries;
    } cases[] = {
        {onTheGo(3, {0, 2, 0}), 3, {"100", "102", "100"}, 0},
        {onTheGo(0, {}), 2, {}, 0},
        {onTheGo(-4, {1}), 2, {}, 0},
        {QByteArray("mhpo"), 2, {}, 0},
        {QByteArray(), 2, {}, 0},
        {onTheGo(4, {1, 0, 2, 1}), 2, {"101", "100"}, 1},
        {onTheGo(4, {1, 0, -1, 1}), 2, {"101", "100"}, 1},
        {onTheGo(4, {1, 0, INT32_MAX, 1}), 2, {"101", "100"}, 1},
        {onTheGo(INT32_MAX, {1, 1}), 2, {"101", "101"}, 1}, // a count beyond the file
        {onTheGo(1, {0}), 0, {}, 1},                        // no songs at all
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bytes.toHex().toStdString());
        auto w = withTracks(c.tracks);
        readOnTheGo(c.bytes, w->library, w->report);
        ASSERT_EQ(w->library.PlaylistCount, 1);
        EXPECT_EQ(w->library.Playlists[0]->Name, "On-The-Go");
        EXPECT_EQ(w->library.Playlists[0]->SongIDs.items(), c.ids);
        EXPECT_EQ(w->report.count(Kind::OnTheGoBadEntry), c.badEntries);
        EXPECT_EQ(int(w->report.problems.size()), c.badEntries);
    }
}
