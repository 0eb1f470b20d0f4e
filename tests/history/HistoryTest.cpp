#include <DemoIpod.h>
#include <ParseiTunesDB.h>
#include <PlayHistoryExport.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace corvanel::history;
using corvanel::itunesdb::ParseiTunesDB;

namespace {

constexpr int64_t kLast = 1793527200;

// "Blue\tHour" played twice (200 s), "Solo" once, "Lost" three times without a time, "Old" not since the sync.
MusicLibrary playedLibrary()
{
    MusicLibrary library;
    auto add = [&](const char *title, int recent, int64_t last, int32_t track) {
        Song &song = library.addSong();
        song.Title = QString::fromUtf8(title);
        song.Artist = QStringLiteral("Quartet, \"Nova\"");
        song.Album = QStringLiteral("Signals");
        song.Length = 200500;
        song.TrackNumber = track;
        song.RecentPlays = recent;
        song.PlayCount = recent + 4;
        song.LastPlayed = last;
    };
    add("Blue\tHour", 2, kLast, 3);
    add("Solo", 1, kLast - 100, 0);
    add("Lost", 3, 0, 1);
    add("Old", 0, kLast - 5000, 2);
    return library;
}

} // namespace

TEST(Listens, EachPlayIsAListenGoingBackByTheSongsLength)
{
    const SongListens since = listensSinceSync(playedLibrary());
    EXPECT_EQ(since.undated, 3);
    ASSERT_EQ(since.listens.size(), 3u);
    EXPECT_EQ(since.listens[0].playedAt, kLast - 200);
    EXPECT_EQ(since.listens[0].title, "Blue\tHour");
    EXPECT_EQ(since.listens[1].playedAt, kLast - 100);
    EXPECT_EQ(since.listens[2].playedAt, kLast);
}

TEST(Listens, TheThreeFormats)
{
    const std::vector<Listen> listens = listensSinceSync(playedLibrary()).listens;
    EXPECT_EQ(formatListens(listens, ListenFormat::ScrobblerLog, "1.2.3").toStdString(),
              "#AUDIOSCROBBLER/1.1\n#TZ/UTC\n#CLIENT/Corvanel 1.2.3\n"
              "Quartet, \"Nova\"\tSignals\tBlue Hour\t3\t200\tL\t1793527000\t\n"
              "Quartet, \"Nova\"\tSignals\tSolo\t\t200\tL\t1793527100\t\n"
              "Quartet, \"Nova\"\tSignals\tBlue Hour\t3\t200\tL\t1793527200\t\n");

    const QStringList csv = QString::fromUtf8(formatListens(listens, ListenFormat::Csv, "1")).split("\r\n");
    ASSERT_EQ(csv.size(), 5); // header, three listens, the empty rest after the last line end
    EXPECT_EQ(csv[0], "artist,album,title,track_number,length_seconds,played_at,played_at_utc");
    EXPECT_EQ(csv[2], "\"Quartet, \"\"Nova\"\"\",Signals,Solo,0,200,1793527100,2026-11-01T09:58:20Z");

    const QJsonObject json = QJsonDocument::fromJson(formatListens(listens, ListenFormat::ListenBrainz, "1")).object();
    EXPECT_EQ(json["listen_type"].toString(), "import");
    const QJsonArray payload = json["payload"].toArray();
    ASSERT_EQ(payload.size(), 3);
    const QJsonObject first = payload[0].toObject();
    EXPECT_EQ(first["listened_at"].toInteger(), 1793527000);
    const QJsonObject metadata = first["track_metadata"].toObject();
    EXPECT_EQ(metadata["artist_name"].toString(), "Quartet, \"Nova\"");
    EXPECT_EQ(metadata["track_name"].toString(), "Blue\tHour");
    EXPECT_EQ(metadata["release_name"].toString(), "Signals");
    EXPECT_EQ(metadata["additional_info"].toObject()["tracknumber"].toInt(), 3);
    EXPECT_EQ(metadata["additional_info"].toObject()["duration_ms"].toInteger(), 200000);
}

TEST(PlayLedger, ASecondExportGivesOnlyNewPlaysAndAnInterruptedOneMarksNothing)
{
    QTemporaryDir folder;
    MusicLibrary library = playedLibrary();
    ExportOptions options;
    options.ledgerFolder = folder.path();
    options.ledgerKey = QStringLiteral("guid-000A27001B5C3E71");
    QByteArray written;
    const auto keep = [&](const QByteArray &bytes) {
        written = bytes;
        return true;
    };
    const auto fail = [](const QByteArray &) { return false; };
    QString error;

    // Interrupted: nothing marked, the next export gives everything.
    EXPECT_FALSE(completeExport(pendingExport(library, options), options, fail, &error));
    EXPECT_EQ(pendingExport(library, options).listens.size(), 3u);

    ASSERT_TRUE(completeExport(pendingExport(library, options), options, keep, &error)) << error.toStdString();
    EXPECT_EQ(written.count('\n'), 6);
    const PendingExport again = pendingExport(library, options);
    EXPECT_TRUE(again.listens.empty());
    EXPECT_EQ(again.alreadyExported, 3);

    options.all = true;
    EXPECT_EQ(pendingExport(library, options).listens.size(), 3u);
    options.all = false;

    // A new play of "Solo" after another sync: only it is new.
    library.Songs[1].LastPlayed = kLast + 900;
    const PendingExport next = pendingExport(library, options);
    ASSERT_EQ(next.listens.size(), 1u);
    EXPECT_EQ(next.listens[0].playedAt, kLast + 900);

    // Another iPod has a ledger of its own.
    options.ledgerKey = QStringLiteral("db-1234");
    EXPECT_EQ(pendingExport(library, options).listens.size(), 3u);
}

TEST(PlayLedger, TheIpodIsKnownByItsFirewireGuidOrElseItsDatabaseId)
{
    const QString &demo = demoIpod();
    const QString database = demo + QStringLiteral("/iPod_Control/iTunes/iTunesDB");
    EXPECT_EQ(PlayLedger::keyFor(demo, database), "guid-000A27001B5C3E71");

    QTemporaryDir bare;
    ASSERT_TRUE(QFile::copy(database, bare.filePath("iTunesDB")));
    const QString key = PlayLedger::keyFor(bare.path(), bare.filePath("iTunesDB"));
    EXPECT_TRUE(key.startsWith("db-")) << key.toStdString();
    EXPECT_GT(key.size(), 4);
    // A compressed database's iPod: an empty iTunesDB, the id in the iTunesCDB's header.
    QTemporaryDir compressed;
    ASSERT_TRUE(QFile::copy(database, compressed.filePath("iTunesCDB")));
    QFile(compressed.filePath("iTunesDB")).open(QIODevice::WriteOnly);
    EXPECT_EQ(PlayLedger::keyFor(compressed.path(), compressed.filePath("iTunesDB")), key);
    EXPECT_EQ(PlayLedger::keyFor(bare.path(), bare.filePath("missing")), "");
}

TEST(PlayLedger, TheDemosPlaysExportOnce)
{
    MusicLibrary library;
    library.iPodDrive = demoIpod();
    ParseiTunesDB(library.iPodDrive + QStringLiteral("/iPod_Control/iTunes/iTunesDB"), library);
    QTemporaryDir folder;
    ExportOptions options;
    options.ledgerFolder = folder.path();
    options.ledgerKey = PlayLedger::keyFor(library.iPodDrive, QString());
    const PendingExport first = pendingExport(library, options);
    // Tracks 0, 3, .., 21 (24 and 25 are podcasts), once when even and twice when odd.
    int expected = 0;
    for (int i = 0; i <= 21; i += 3)
        expected += 1 + i % 2;
    EXPECT_EQ(first.listens.size(), size_t(expected));
    QString error;
    ASSERT_TRUE(completeExport(
        first, options, [](const QByteArray &) { return true; }, &error));
    EXPECT_TRUE(pendingExport(library, options).listens.empty());
}
