// Tags in the song files, damaged databases and songs the database does not list.
#include "MkipodTestSupport.h"

#include <QTemporaryDir>

using namespace mkipod;
using namespace mkipodtest;

TEST(SongTags, EachFormatReadsBackAndEmptyFieldsWriteNothing)
{
    QTemporaryDir dir;
    QString error;
    // A title long enough that the ID3 size needs more than one syncsafe byte; a NUL would cut it short.
    const QString longTitle = QString("夜明けの歌 ").repeated(30) + QChar(0) + "end";
    const SongTags tags{longTitle, "Élodie Marchand", QString(), "Jazz", 5, 0};
    const QString expected = QString(longTitle).remove(QChar(0));
    for (const auto kind : {AudioSpec::Kind::Mp3, AudioSpec::Kind::Aac, AudioSpec::Kind::Wav}) {
        const QString path = dir.filePath(QStringLiteral("song%1").arg(int(kind)));
        SCOPED_TRACE(int(kind));
        ASSERT_TRUE(writeAudio(path, AudioSpec{kind, 1, 3}, tags, &error)) << error.toStdString();
        const FileTags file = readTags(path);
        expectTags(file, expected, "Élodie Marchand", "<none>", "Jazz", "5");
    }

    // The MP3's Info frame is found after the tag: its length is known without decoding.
    EXPECT_NEAR(readTags(dir.filePath("song0")).headerSeconds, 1.0, 0.05);
    EXPECT_TRUE(buildId3Tag(SongTags{}).isEmpty()); // no entries: no tag at all
}

// Every stub file is as long as its record says; a tagged one carries its own track's tags.
TEST(LargeLibrary, StubsMatchTheirRecordsAndCarryTheirOwnTrack)
{
    QString error;
    for (const bool tagged : {true, false}) {
        SCOPED_TRACE(tagged);
        QTemporaryDir dir;
        const LargeIpodOptions options{tagged ? Layout::ITunes7 : Layout::Libgpod, true, tagged};
        ASSERT_TRUE(makeLargeIpod(dir.path(), 60, 1, options, &error)) << error.toStdString();
        Itdb itdb = parseWithLibgpod(dir.filePath("iPod_Control/iTunes/iTunesDB"));
        ASSERT_TRUE(itdb);
        for (Itdb_Track *t : itemsOf<Itdb_Track>(itdb->tracks)) {
            SCOPED_TRACE(t->ipod_path);
            const QString path = localPath(dir.path(), str(t->ipod_path));
            EXPECT_EQ(QFileInfo(path).size(), qint64(t->size));
            if (!tagged)
                continue;
            const FileTags file = readTags(path);
            expectTags(file, str(t->title), str(t->artist), str(t->album), str(t->genre), QString::number(t->track_nr));
            EXPECT_GT(file.headerSeconds, 0.0); // the Info frame is found after the tag
        }
    }

    QTemporaryDir dir;
    EXPECT_FALSE(makeLargeIpod(dir.path(), 5, 0, LargeIpodOptions{Layout::ITunes7, false, true}, &error));
    EXPECT_TRUE(error.contains("song files")) << error.toStdString();
}

namespace {

struct DamageCase
{
    DatabaseDamage damage;
    Layout layout;
    const char *name;
};

} // namespace

class DamagedDatabase : public ::testing::TestWithParam<DamageCase>
{
};

TEST_P(DamagedDatabase, GivesWhatItSaysAndKeepsTheSongs)
{
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(makeLargeIpod(dir.path(), 40, 2, LargeIpodOptions{GetParam().layout, true, true}, &error))
        << error.toStdString();
    const QString database = dir.filePath("iPod_Control/iTunes/iTunesDB");
    const QString otg = dir.filePath("iPod_Control/iTunes/OTGPlaylistInfo");
    QFile otgFile(otg); // an On-The-Go list naming tracks of the old database
    ASSERT_TRUE(otgFile.open(QIODevice::WriteOnly));
    otgFile.write(buildOnTheGo({3, 1}));
    otgFile.close();
    const QByteArray before = readFile(database);
    const std::map<QString, QByteArray> songs = songFiles(dir.path());
    ASSERT_EQ(songs.size(), 40u);

    ASSERT_TRUE(damageDatabase(dir.path(), GetParam().damage, &error)) << error.toStdString();
    EXPECT_EQ(songFiles(dir.path()), songs);
    switch (GetParam().damage) {
    case DatabaseDamage::Removed:
        EXPECT_FALSE(QFile::exists(database));
        break;
    case DatabaseDamage::Corrupted: {
        const QByteArray after = readFile(database);
        EXPECT_EQ(after.size(), before.size());
        EXPECT_FALSE(after.startsWith("mhbd"));
        EXPECT_EQ(after.indexOf("mhsd"), -1);
        EXPECT_NE(after.count('\0'), after.size()); // not only zeros
        break;
    }
    case DatabaseDamage::Emptied: {
        EXPECT_EQ(checkStructure(readFile(database)), (std::vector<uint32_t>{4, 1, 3, 2, 5}));
        EXPECT_FALSE(QFile::exists(otg));
        Itdb itdb = parseWithLibgpod(database);
        ASSERT_TRUE(itdb);
        EXPECT_EQ(itdb->tracks, nullptr);
        const auto lists = itemsOf<Itdb_Playlist>(itdb->playlists);
        ASSERT_EQ(lists.size(), 1u);
        EXPECT_TRUE(itdb_playlist_is_mpl(lists[0]));
        EXPECT_EQ(str(lists[0]->name), "Large iPod"); // the iPod keeps its name
        EXPECT_EQ(lists[0]->members, nullptr);
        break;
    }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DamagedDatabase,
                         ::testing::Values(DamageCase{DatabaseDamage::Removed, Layout::ITunes7, "Removed"},
                                           DamageCase{DatabaseDamage::Emptied, Layout::ITunes7, "Emptied"},
                                           DamageCase{DatabaseDamage::Emptied, Layout::Legacy, "EmptiedLegacy"},
                                           DamageCase{DatabaseDamage::Corrupted, Layout::Libgpod, "Corrupted"}),
                         [](const auto &p) { return std::string(p.param.name); });

TEST(BrokenIpod, RefusesWhatIsNotThere)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(damageDatabase(dir.path(), DatabaseDamage::Removed, &error));
    EXPECT_TRUE(error.contains("No iPod")) << error.toStdString();
    EXPECT_FALSE(addExtraSongs(dir.path(), 1, &error));
    EXPECT_TRUE(error.contains("No iPod")) << error.toStdString();

    ASSERT_TRUE(makeLargeIpod(dir.path(), 3, 0, false, &error));
    ASSERT_TRUE(damageDatabase(dir.path(), DatabaseDamage::Removed, &error));
    EXPECT_TRUE(damageDatabase(dir.path(), DatabaseDamage::Removed, &error)); // already gone
    EXPECT_FALSE(damageDatabase(dir.path(), DatabaseDamage::Corrupted, &error));
    EXPECT_TRUE(error.contains("no ")) << error.toStdString();
    // Nothing left to read the iPod's name from: the empty database still has a named master playlist.
    ASSERT_TRUE(damageDatabase(dir.path(), DatabaseDamage::Emptied, &error)) << error.toStdString();
    Itdb itdb = parseWithLibgpod(dir.filePath("iPod_Control/iTunes/iTunesDB"));
    ASSERT_TRUE(itdb);
    EXPECT_EQ(str(itdb_playlist_mpl(itdb.get())->name), "iPod");
}
