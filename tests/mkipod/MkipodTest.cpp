// mkipod's files checked against an independent reader (libgpod), a demuxer and a decoder (FFmpeg).
#include "MkipodTestSupport.h"
#include "SampleDatabase.h"

#include "../engine/EngineTestFiles.h"

#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

using namespace mkipod;
using namespace mkipodtest;
using testdb::sampleDatabase;

namespace {

struct LayoutCase
{
    Layout layout;
    const char *name;
    std::vector<uint32_t> dataSets; // types in file order
};

} // namespace

class WrittenLayout : public ::testing::TestWithParam<LayoutCase>
{
};

TEST_P(WrittenLayout, ReadByLibgpodAsWritten)
{
    QTemporaryDir dir;
    const Database db = sampleDatabase(GetParam().layout);
    QString error;
    ASSERT_TRUE(writeIpod(dir.path(), db, std::vector<int32_t>{1, 0}, &error)) << error.toStdString();

    Itdb itdb = parseWithLibgpod(dir.filePath("iPod_Control/iTunes/iTunesDB"));
    ASSERT_TRUE(itdb);
    const auto tracks = itemsOf<Itdb_Track>(itdb->tracks);
    ASSERT_EQ(tracks.size(), db.tracks.size());
    for (size_t i = 0; i < tracks.size(); ++i) {
        const Track &t = db.tracks[i];
        SCOPED_TRACE(t.id);
        EXPECT_EQ(int32_t(tracks[i]->id), t.id);
        EXPECT_EQ(str(tracks[i]->title), t.title.value_or(QString()));
        EXPECT_EQ(str(tracks[i]->artist), t.artist.value_or(QString()));
        EXPECT_EQ(str(tracks[i]->album), t.album.value_or(QString()));
        EXPECT_EQ(str(tracks[i]->genre), t.genre.value_or(QString()));
        EXPECT_EQ(str(tracks[i]->ipod_path), t.location.value_or(QString()));
        EXPECT_EQ(str(tracks[i]->filetype), t.fileType.value_or(QString()));
        EXPECT_EQ(str(tracks[i]->comment), t.comment.value_or(QString()));
        EXPECT_EQ(tracks[i]->tracklen, t.lengthMs);
        EXPECT_EQ(tracks[i]->track_nr, t.trackNumber);
        EXPECT_EQ(tracks[i]->size, uint32_t(t.sizeBytes));
    }
    if (GetParam().layout != Layout::Legacy) {
        EXPECT_EQ(str(tracks[1]->podcasturl), *db.tracks[1].podcastUrl);
        EXPECT_EQ(str(tracks[1]->podcastrss), *db.tracks[1].podcastRss);
    }
    EXPECT_EQ(tracks[0]->filetype_marker, 0x4D503320u); // "MP3 "
    EXPECT_EQ(tracks[1]->filetype_marker, 0x4D344120u); // "M4A "

    // The user playlists, then libgpod's own On-The-Go list from OTGPlaylistInfo.
    const auto lists = itemsOf<Itdb_Playlist>(itdb->playlists);
    ASSERT_EQ(lists.size(), db.playlists.size() + 1);
    for (size_t i = 0; i < db.playlists.size(); ++i) {
        EXPECT_EQ(str(lists[i]->name), db.playlists[i].name);
        EXPECT_EQ(memberIds(lists[i]), db.playlists[i].trackIds) << i;
    }
    EXPECT_TRUE(itdb_playlist_is_mpl(lists[0]));
    EXPECT_TRUE(lists[2]->is_spl);
    EXPECT_TRUE(itdb_playlist_is_podcasts(lists[3]));
    EXPECT_EQ(memberIds(lists.back()), (std::vector<int32_t>{202, 101}));
}

// Every record ends where its parent says, the data sets come in the layout's order, and a
// string object is exactly its header and text long (libgpod reads past such mistakes).
TEST_P(WrittenLayout, RecordsNestAndKeepTheirLengths)
{
    const QByteArray b = buildITunesDb(sampleDatabase(GetParam().layout));
    EXPECT_EQ(checkStructure(b), GetParam().dataSets);
    int strings = 0;
    for (qsizetype at = b.indexOf("mhod"); at >= 0; at = b.indexOf("mhod", at + 4)) {
        if (const uint32_t type = u32(b, at + 12); type <= 8 || (type >= 200 && type <= 202)) {
            EXPECT_EQ(u32(b, at + 8), 40 + u32(b, at + 28)) << type;
            ++strings;
        }
    }
    EXPECT_GT(strings, 10);
}

INSTANTIATE_TEST_SUITE_P(Layouts, WrittenLayout,
                         ::testing::Values(LayoutCase{Layout::ITunes7, "ITunes7", {4, 1, 3, 2, 5}},
                                           LayoutCase{Layout::Libgpod, "Libgpod", {1, 3, 2}},
                                           LayoutCase{Layout::Legacy, "Legacy", {1, 2}}),
                         [](const auto &p) { return std::string(p.param.name); });

TEST(WriteIpod, RejectsBadInputWithAMessage)
{
    QTemporaryDir dir;
    QString error;
    Database db = sampleDatabase(Layout::ITunes7);
    EXPECT_FALSE(writeIpod(dir.path(), db, std::vector<int32_t>{9}, &error));
    EXPECT_TRUE(error.contains("On-The-Go")) << error.toStdString();

    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    error.clear();
    EXPECT_FALSE(writeIpod(dir.filePath("file/ipod"), db, std::nullopt, &error));
    EXPECT_FALSE(error.isEmpty());

    error.clear();
    EXPECT_FALSE(writeAudio(dir.filePath("a.mp3"), AudioSpec{AudioSpec::Kind::Mp3, 0, 1}, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(LargeLibrary, ReadByLibgpodWithTwoHundredPlaylists)
{
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(makeLargeIpod(dir.path(), 4000, 200, false, &error)) << error.toStdString();
    Itdb itdb = parseWithLibgpod(dir.filePath("iPod_Control/iTunes/iTunesDB"));
    ASSERT_TRUE(itdb);
    EXPECT_EQ(itemsOf<Itdb_Track>(itdb->tracks).size(), 4000u);
    const auto lists = itemsOf<Itdb_Playlist>(itdb->playlists);
    ASSERT_EQ(lists.size(), 201u);
    EXPECT_EQ(memberIds(lists[0]).size(), 4000u);
    EXPECT_EQ(str(lists[200]->name), "Playlist 200");
    EXPECT_FALSE(memberIds(lists[200]).empty());
    EXPECT_TRUE(QDir(dir.filePath("iPod_Control/Music/F49")).exists());
}

namespace {

// The energy of the mono mix in two rough bands: a smoothed signal (bass and kick) and its first
// difference (cymbals and overtones).
std::pair<double, double> bandEnergies(const enginetest::Decoded &d)
{
    double low = 0, high = 0;
    float smooth = 0, previous = 0;
    for (int64_t i = 0; i < d.frames(); ++i) {
        float v = 0;
        for (int c = 0; c < d.channels; ++c)
            v += d.samples[size_t(i * d.channels + c)] / float(d.channels);
        smooth += (v - smooth) * 0.02f;
        low += double(smooth) * smooth;
        high += double(v - previous) * (v - previous);
        previous = v;
    }
    return {low / double(d.frames()), high / double(d.frames())};
}

QString relativeLocation(const gchar *ipodPath)
{
    return str(ipodPath).replace(':', '/').mid(1);
}

// `mkipod demo --extra 3`: three tagged songs under names no database location uses; nothing else changes.
void checkExtraSongs(const QString &root, const std::vector<Itdb_Track *> &tracks)
{
    const std::map<QString, QByteArray> before = songFiles(root);
    const QByteArray database = readFile(QDir(root).filePath("iPod_Control/iTunes/iTunesDB"));
    QSet<QString> listedNames;
    for (Itdb_Track *t : tracks)
        listedNames.insert(QFileInfo(relativeLocation(t->ipod_path)).completeBaseName().toUpper());

    QString error;
    QStringList written;
    ASSERT_TRUE(addExtraSongs(root, 3, &error, &written)) << error.toStdString();
    ASSERT_EQ(written.size(), 3);
    std::map<QString, QByteArray> after = songFiles(root);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(written[i].toStdString());
        EXPECT_TRUE(
            QRegularExpression("^iPod_Control/Music/F\\d\\d/[A-Z]{4}\\.(mp3|m4a|wav)$").match(written[i]).hasMatch());
        EXPECT_FALSE(listedNames.contains(QFileInfo(written[i]).completeBaseName()));
        EXPECT_EQ(before.count(written[i]), 0u);
        EXPECT_EQ(after.erase(written[i]), 1u);
        expectTags(readTags(QDir(root).filePath(written[i])), QStringLiteral("Forgotten Song %1").arg(i + 1),
                   "Lost Artist", "Orphans", "Rock", QStringLiteral("%1/3").arg(i + 1));
    }
    EXPECT_EQ(after, before);
    EXPECT_EQ(readFile(QDir(root).filePath("iPod_Control/iTunes/iTunesDB")), database);

    EXPECT_FALSE(addExtraSongs(root, -1, &error));
    EXPECT_TRUE(error.contains("extra songs")) << error.toStdString();
}

} // namespace

// One test, so that the demo (the slowest thing here) is made once per test process.
TEST(DemoIpod, HasTheAdvertisedLibraryAndRealMusic)
{
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(makeDemoIpod(dir.path(), &error)) << error.toStdString();
    Itdb itdb = parseWithLibgpod(dir.filePath("iPod_Control/iTunes/iTunesDB"));
    ASSERT_TRUE(itdb);
    const auto tracks = itemsOf<Itdb_Track>(itdb->tracks);
    ASSERT_GE(tracks.size(), 24u);

    av_log_set_level(AV_LOG_ERROR); // the MP3 decoder warns about timestamps of the trimmed priming samples
    QSet<QString> genres, fileTypes;
    const QRegularExpression location("^:iPod_Control:Music:F0\\d:[A-Z]{4}\\.(mp3|m4a|wav)$");
    // The program's tag scan reads each file's tags back (in the itunesdb tests); here, the music itself.
    for (Itdb_Track *t : tracks) {
        SCOPED_TRACE(t->ipod_path);
        genres.insert(str(t->genre));
        fileTypes.insert(str(t->filetype));
        EXPECT_TRUE(location.match(str(t->ipod_path)).hasMatch());
        const QString path = localPath(dir.path(), str(t->ipod_path));
        EXPECT_EQ(QFileInfo(path).size(), qint64(t->size));
        const enginetest::Decoded d = enginetest::decodeWhole(path);
        ASSERT_GT(d.frames(), 0);
        EXPECT_NEAR(double(d.frames()) * 1000.0 / d.rate, double(t->tracklen), 60.0);
        // Both a bass and a treble part: not silence, not a lone sine.
        const auto [low, high] = bandEnergies(d);
        EXPECT_GT(low, 1e-3);
        EXPECT_GT(high, 1e-4);
    }
    EXPECT_GT(genres.size(), 2);
    EXPECT_EQ(fileTypes, (QSet<QString>{"MPEG audio file", "AAC audio file", "WAV audio file"}));
    // Playlists of the user's, and the On-The-Go list from its own file.
    const auto lists = itemsOf<Itdb_Playlist>(itdb->playlists);
    ASSERT_GT(lists.size(), 3u);
    EXPECT_FALSE(memberIds(lists.back()).empty());
    EXPECT_TRUE(QFile::exists(dir.filePath("iPod_Control/Device/Preferences")));
    EXPECT_TRUE(QFile::exists(dir.filePath("iPod_Control/Device/SysInfo")));

    checkExtraSongs(dir.path(), tracks);
}
