#include <LibraryJson.h>
#include <ParseiTunesDB.h>
#include <PlayCounts.h>

#include <IpodBuilder.h>

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace corvanel::itunesdb;
using Kind = LoadProblem::Kind;

namespace {

constexpr int64_t kPlayed = 1793527200; // 2026-11-01 10:00 UTC

// Three songs whose records hold 1 play, 2 skips and two stars each.
mkipod::Database threeSongs()
{
    mkipod::Database db;
    db.layout = mkipod::Layout::Libgpod;
    for (int i = 0; i < 3; ++i) {
        mkipod::Track t;
        t.id = 10 + i;
        t.title = QStringLiteral("Song %1").arg(i);
        t.playCount = 1;
        t.skipCount = 2;
        t.rating = 40;
        db.tracks.push_back(t);
    }
    return db;
}

// An entry of 2 plays, 1 skip and four stars for each of `count` songs.
mkipod::PlayCountsFile entries(int count, uint32_t size = 0x1C)
{
    mkipod::PlayCountsFile file;
    file.entrySize = size;
    for (int i = 0; i < count; ++i)
        file.entries.push_back({2, mkipod::macTimeOf(kPlayed + i), 80, 1, mkipod::macTimeOf(kPlayed + 60)});
    return file;
}

struct Loaded
{
    MusicLibrary library;
    LoadReport report;
};

std::unique_ptr<Loaded> loadIpod(const QString &root)
{
    auto loaded = std::make_unique<Loaded>();
    loaded->library.iPodDrive = root;
    loaded->report = ParseiTunesDB(root + QStringLiteral("/iPod_Control/iTunes/iTunesDB"), loaded->library);
    return loaded;
}

std::unique_ptr<Loaded> loadWith(mkipod::Database db)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_TRUE(mkipod::writeIpod(dir.path(), db, std::nullopt, &error)) << error.toStdString();
    return loadIpod(dir.path());
}

} // namespace

TEST(PlayCounts, ReadsOnlyTheFieldsTheEntrySizeHolds)
{
    struct Case
    {
        uint32_t size;
        int32_t rating;
        int32_t skips;
        int64_t lastSkipped;
    };
    // The records' own skips are 2 and their rating 40; a record's last skip is a day after it was added.
    const Case cases[] = {
        {12, 40, 2, -1}, {16, 80, 2, -1}, {20, 80, 2, -1}, {28, 80, 3, kPlayed + 60}, {40, 80, 3, kPlayed + 60}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        mkipod::Database db = threeSongs();
        db.playCounts = entries(3, c.size);
        const auto loaded = loadWith(db);
        ASSERT_EQ(loaded->library.SongCount, 3);
        EXPECT_TRUE(loaded->report.problems.empty());
        const Song &song = loaded->library.Songs[1];
        EXPECT_EQ(song.PlayCount, 3);
        EXPECT_EQ(song.RecentPlays, 2);
        EXPECT_EQ(song.LastPlayed, kPlayed + 1);
        EXPECT_EQ(song.Rating, c.rating);
        EXPECT_EQ(song.SkipCount, c.skips);
        if (c.lastSkipped > 0) {
            EXPECT_EQ(song.LastSkipped, c.lastSkipped);
        } else {
            EXPECT_NE(song.LastSkipped, kPlayed + 60);
        }
    }
}

TEST(PlayCounts, ShortLongAndDamagedFilesMergeWhatTheyHoldAndAreReported)
{
    struct Case
    {
        const char *name;
        int entries;
        std::optional<uint32_t> announced;
        int merged;
        Kind reported;
    };
    const Case cases[] = {
        {"short", 2, std::nullopt, 2, Kind::PlayCountsMismatch},
        {"long", 5, std::nullopt, 3, Kind::PlayCountsMismatch},
        {"cut off", 2, 3, 2, Kind::PlayCountsDamaged},
        {"count past any file", 3, 0xFFFFFFFFu, 3, Kind::PlayCountsDamaged},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        mkipod::Database db = threeSongs();
        db.playCounts = entries(c.entries);
        db.playCounts->announced = c.announced;
        const auto loaded = loadWith(db);
        ASSERT_EQ(loaded->library.SongCount, 3);
        EXPECT_EQ(loaded->report.count(c.reported), 1);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(loaded->library.Songs[size_t(i)].PlayCount, i < c.merged ? 3 : 1) << i;
    }
}

TEST(PlayCounts, BytesThatAreNoPlayCountsFileMergeNothing)
{
    QByteArray good = mkipod::buildPlayCounts(entries(1));
    QByteArray badMagic = good;
    badMagic[0] = 'x';
    QByteArray tinyEntries = good;
    tinyEntries[8] = 8;
    QByteArray hugeHeader = good;
    hugeHeader[6] = 0x7F;
    for (const QByteArray &bytes : {badMagic, tinyEntries, hugeHeader, good.first(10)}) {
        const PlayCountsRead read = readPlayCounts(bytes);
        EXPECT_TRUE(read.entries.empty());
        EXPECT_FALSE(read.damage.isEmpty());
    }
    EXPECT_TRUE(readPlayCounts(good).damage.isEmpty());
}

TEST(PlayCounts, LibraryJsonCarriesTheHistory)
{
    mkipod::Database db = threeSongs();
    db.playCounts = entries(1);
    db.tracks[2].playCount = 0;
    const auto loaded = loadWith(db);
    const QByteArray json = libraryToJson(loaded->library, loaded->report);
    EXPECT_TRUE(json.contains("\"play_count\": 3, \"skip_count\": 3, \"rating\": 4, \"last_played\": 1793527200"))
        << json.toStdString();
    EXPECT_TRUE(json.contains("\"play_count\": 0, \"skip_count\": 2, \"rating\": 2, \"last_played\": null"))
        << json.toStdString();
}

TEST(PlayCounts, ShuffleStatsOfBothLayouts)
{
    const auto put = [](QByteArray &bytes, qsizetype at, uint32_t value, int width) {
        for (int b = 0; b < width; ++b)
            bytes[at + b] = char(value >> (8 * b));
    };
    QByteArray fixed(6 + 2 * 18, '\0');
    put(fixed, 0, 3, 3); // three announced, two present
    for (int i = 0; i < 2; ++i) {
        put(fixed, 6 + i * 18, 18, 3);
        put(fixed, 6 + i * 18 + 12, 4 + i, 3);
        put(fixed, 6 + i * 18 + 15, 1, 3);
    }
    QByteArray chunked(8 + 2 * 32, '\0');
    put(chunked, 0, 2, 4);
    for (int i = 0; i < 2; ++i) {
        put(chunked, 8 + i * 32, 32, 4);
        put(chunked, 8 + i * 32 + 8, 4 + i, 4);
        put(chunked, 8 + i * 32 + 12, mkipod::macTimeOf(kPlayed), 4);
        put(chunked, 8 + i * 32 + 16, 1, 4);
    }
    const PlayCountsRead a = readShuffleStats(fixed, false);
    const PlayCountsRead b = readShuffleStats(chunked, true);
    for (const PlayCountsRead *read : {&a, &b}) {
        ASSERT_EQ(read->entries.size(), 2u);
        EXPECT_EQ(read->entries[1].plays, 5);
        EXPECT_EQ(read->entries[1].skips, 1);
    }
    EXPECT_FALSE(a.damage.isEmpty());
    EXPECT_EQ(a.entries[0].lastPlayed, 0);
    EXPECT_TRUE(b.damage.isEmpty());
    EXPECT_EQ(b.entries[0].lastPlayed, kPlayed);
}
