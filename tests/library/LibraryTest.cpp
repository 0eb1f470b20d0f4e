#include <MusicLibrary.h>
#include <NativePath.h>
#include <TestFiles.h>
#include <clsList.h>

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace corvanel;
using namespace corvanel::library;

namespace {

clsList listOf(const QStringList &items)
{
    clsList list;
    for (const QString &item : items)
        list.AddItem(item);
    return list;
}

QStringList itemsOf(const clsList &list)
{
    return QStringList(list.items().begin(), list.items().end());
}

// Two songs, an index over them and the given playlists (after a master).
void fill(MusicLibrary &library, std::initializer_list<QStringList> playlists)
{
    for (const auto &[id, name, genre] : {std::tuple{1234.0, "A", "Rock"}, std::tuple{-7.0, "B", "Jazz"}}) {
        Song &song = library.addSong();
        song.SongID = id;
        song.Title = QString("Song ") + name;
        song.Artist = QString("Artist ") + name;
        song.Album = QString("Album ") + name;
        song.Genre = genre;
    }
    library.SongIndex.insert("1234", 0);
    library.SongIndex.insert("-7", 1);
    library.addPlaylist().Name = ":: iPod ::";
    for (const QStringList &ids : playlists)
        library.addPlaylist().SongIDs = listOf(ids);
}

} // namespace

// The browser sorts its lists with BuBBleSort and finds its extra sources with LinearSearch.
TEST(ClsList, BubbleSortIsStableByTheLowerCasedTextAndSearchesMatchCase)
{
    const std::pair<QStringList, QStringList> sorts[] = {
        {{"b", "A", "a"}, {"A", "a", "b"}},
        {{"b", "a", "A", "B", "c", "C"}, {"a", "A", "b", "B", "c", "C"}},
        // "_" (0x5F) sorts before "alpha", though raw "A" (0x41) comes before it.
        {{"beta", "_x", "Alpha"}, {"_x", "Alpha", "beta"}},
        {{"10", "9", "100", "-1"}, {"-1", "10", "100", "9"}},
    };
    for (const auto &[items, sorted] : sorts) {
        clsList list = listOf(items);
        list.BuBBleSort();
        EXPECT_EQ(itemsOf(list), sorted);
    }
    clsList cases = listOf({"abc", "ABC", "abc"});
    EXPECT_EQ(cases.LinearSearch("ABC", 1), 0);
    EXPECT_EQ(cases.LinearSearch("ABC", 0), 1);
    EXPECT_EQ(cases.LinearSearch("ABC"), 1);
    EXPECT_EQ(listOf({"abc"}).LinearSearch("ab", 1), -1);
    EXPECT_EQ(clsList().LinearSearch("x"), -1);
}

TEST(SongIds, TextsAndLookUps)
{
    EXPECT_EQ(songIdText(1234), "1234");
    EXPECT_EQ(songIdText(-2147483648.0), "-2147483648");
    MusicLibrary library;
    fill(library, {});
    EXPECT_EQ(library.GetSongInfo(" 1234 ", 2).value(), "Artist A");
    const auto missing = library.GetSongInfo("999", 1);
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error().kind, LibraryErrorKind::UnknownSongId);
}

TEST(FillMiniDatabase, SummarisesPlaylistsAfterTheMasterAndStopsAtADanglingId)
{
    MusicLibrary library;
    fill(library, {{"1234", "-7", "1234"}, {}});
    library.Playlists[0]->SongIDs.AddItem("not checked");
    clsLibrary mini(library);
    ASSERT_TRUE(mini.FillMiniDatabase().has_value());
    ASSERT_EQ(mini.summaries().size(), 2u);
    EXPECT_EQ(mini.summaries()[0].songs, 3);
    EXPECT_EQ(mini.summaries()[1].songs, 0);

    MusicLibrary dangling;
    fill(dangling, {{"1234"}, {"1234", "555", "-7"}, {"-7"}});
    clsLibrary stopped(dangling);
    const auto result = stopped.FillMiniDatabase();
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, LibraryErrorKind::UnknownSongId);
    EXPECT_TRUE(result.error().message.contains("555"));
    EXPECT_EQ(stopped.summaries().size(), 1u); // the playlist before it was done, none after
}

class NativePathTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        write("iPod_Control/Music/F00/ABCD.mp3", 1234);
        write("iPod_Control/Music/f01/Genesis - Follow You.MP3", 77);
        write(QString::fromUtf8("iPod_Control/Music/Caf\u00e9/\u97f3\u697d \u00c9t\u00e9.mp3"), 99);
    }
    void write(const QString &relative, int bytes)
    {
        ASSERT_TRUE(writeFile(m_dir.filePath(relative), QByteArray(bytes, 'x')));
    }
    QTemporaryDir m_dir;
};

TEST_F(NativePathTest, ComponentsAreMatchedWithoutRegardToCase)
{
    NativePathResolver resolver(m_dir.path()), byListing(m_dir.path());
    const struct
    {
        QString stored;
        std::optional<qint64> size;
        QString file; // relative to the drive
    } cases[] = {
        {"\\iPod_Control\\Music\\F00\\ABCD.mp3", 1234, "iPod_Control/Music/F00/ABCD.mp3"},
        {"\\IPOD_CONTROL\\MUSIC\\f00\\abcd.MP3", 1234, "iPod_Control/Music/F00/ABCD.mp3"},
        {"\\iPod_Control\\Music\\F01\\GENESIS - FOLLOW YOU.mp3", 77, "iPod_Control/Music/f01/Genesis - Follow You.MP3"},
        {QString::fromUtf8("\\iPod_Control\\Music\\Caf\u00e9\\\u97f3\u697d \u00c9t\u00e9.mp3"), 99,
         QString::fromUtf8("iPod_Control/Music/Caf\u00e9/\u97f3\u697d \u00c9t\u00e9.mp3")},
        {QString::fromUtf8("\\IPOD_CONTROL\\MUSIC\\CAF\u00c9\\\u97f3\u697d \u00e9T\u00c9.MP3"), 99,
         QString::fromUtf8("iPod_Control/Music/Caf\u00e9/\u97f3\u697d \u00c9t\u00e9.mp3")},
        // A missing file or a folder has no size; with nothing matching, the literal translation.
        {"\\iPod_Control\\Music\\F00\\NONE.mp3", std::nullopt, "iPod_Control/Music/F00/NONE.mp3"},
        {"\\iPod_Control\\Music\\F00", std::nullopt, "iPod_Control/Music/F00"},
        {"\\No\\Such.mp3", std::nullopt, "No/Such.mp3"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        const QString file = m_dir.path() + "/" + c.file;
        EXPECT_EQ(resolver.fileSize(c.stored), c.size);
        EXPECT_EQ(resolver.resolve(c.stored), file);
        EXPECT_EQ(nativeSongPath(m_dir.path(), c.stored), file);
        // The listings, each read once, resolve as file-by-file lookups do.
        QByteArray line;
        EXPECT_TRUE(byListing.appendFromListings(line, c.stored));
        EXPECT_EQ(QFile::decodeName(line), file);
    }
    EXPECT_EQ(resolver.fileSize("\\ipod_control\\MUSIC\\F01"), std::nullopt);
    EXPECT_EQ(resolver.fileSize(QString()), std::nullopt);
}

TEST_F(NativePathTest, PathsThatLeaveTheIpodOrCarryControlCharactersAreRefused)
{
    NativePathResolver resolver(m_dir.path() + "/iPod_Control");
    // Each of these names a real file, through a way that must not be taken.
    for (const QString &path :
         QStringList{"\\..\\iPod_Control\\Music\\F00\\ABCD.mp3", "/Music/../../iPod_Control/Music/F00/ABCD.mp3",
                     "\\Music\\F00\\ABCD.mp3\r\n", "\\Music\\F00\tABCD.mp3", ""}) {
        EXPECT_FALSE(NativePathResolver::isSafe(path)) << path.toStdString();
        EXPECT_EQ(resolver.resolve(path), QString()) << path.toStdString();
        EXPECT_EQ(resolver.fileSize(path), std::nullopt) << path.toStdString();
        QByteArray line;
        EXPECT_FALSE(resolver.appendFromListings(line, path));
        EXPECT_TRUE(line.isEmpty());
    }
    EXPECT_EQ(resolver.fileSize("\\Music\\F00\\ABCD.mp3"), 1234);
    // Dots inside a name are only dots.
    EXPECT_TRUE(NativePathResolver::isSafe("\\Music\\F00\\..a..mp3"));
    EXPECT_TRUE(NativePathResolver::isSafe("\\Music\\...\\a.mp3"));
}
