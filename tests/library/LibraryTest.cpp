#include <MusicLibrary.h>
#include <NativePath.h>
#include <clsList.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

clsList listOf(std::initializer_list<const char *> items)
{
    clsList list;
    for (const char *item : items)
        list.AddItem(QString::fromUtf8(item));
    return list;
}

QStringList itemsOf(const clsList &list)
{
    QStringList out;
    for (const QString &item : list.items())
        out << item;
    return out;
}

Song makeSong(double id, const char *title, const char *artist, const char *album, const char *genre)
{
    Song song;
    song.SongID = id;
    song.Title = QString::fromUtf8(title);
    song.Artist = QString::fromUtf8(artist);
    song.Album = QString::fromUtf8(album);
    song.Genre = QString::fromUtf8(genre);
    return song;
}

// Two songs, an index over them and the given playlists (after a master).
void fill(MusicLibrary &library, std::initializer_list<std::initializer_list<const char *>> playlists)
{
    library.addSong() = makeSong(1234, "Song A", "Artist A", "Album A", "Rock");
    library.addSong() = makeSong(-7, "Song B", "Artist B", "Album B", "Jazz");
    library.SongIndex.insert(QStringLiteral("1234"), 0);
    library.SongIndex.insert(QStringLiteral("-7"), 1);
    library.addPlaylist().Name = QStringLiteral(":: iPod ::");
    for (const auto &ids : playlists) {
        clsPlayList &list = library.addPlaylist();
        for (const char *id : ids)
            list.SongIDs.AddItem(QString::fromUtf8(id));
    }
}

} // namespace

TEST(ClsList, NewListIsEmptyWithoutSelection)
{
    clsList list;
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.ListIndex(), -99);
    EXPECT_EQ(list.Text(), QString());
    EXPECT_EQ(list.GetWholeList(), QString());
    EXPECT_EQ(list.LinearSearch(QStringLiteral("x")), -1);
}

TEST(ClsList, SelectionIsIndependentOfItems)
{
    clsList list = listOf({"x", "y", "z"});
    list.setSelected(2, true);
    EXPECT_TRUE(list.Selected(2));
    EXPECT_EQ(list.Text(), QStringLiteral("z"));
    list.setText(QStringLiteral("Z"));
    EXPECT_EQ(list.List(2), QStringLiteral("Z"));

    list.setSelected(1, false); // not the selected one: nothing changes
    EXPECT_EQ(list.ListIndex(), 2);

    list.RemoveItem(1);
    EXPECT_EQ(itemsOf(list), (QStringList{"x", "Z"}));
    EXPECT_EQ(list.ListIndex(), 2); // now past the end
    EXPECT_EQ(list.Text(), QString());
    list.setText(QStringLiteral("ignored"));
    EXPECT_EQ(itemsOf(list), (QStringList{"x", "Z"}));

    list.setSelected(2, false);
    EXPECT_EQ(list.ListIndex(), -99);
}

TEST(ClsList, ListIndexIsStoredOnlyWhileTheCurrentOneIsInside)
{
    clsList list = listOf({"a", "b"});
    list.setListIndex(40); // not range-checked itself
    EXPECT_EQ(list.ListIndex(), 40);
    list.setListIndex(0); // refused: the current position lies past the array
    EXPECT_EQ(list.ListIndex(), 40);
    list.setSelected(1, true);
    list.setListIndex(0);
    EXPECT_EQ(list.ListIndex(), 0);
}

TEST(ClsList, RemovingTheOnlyItemEmptiesTheListAndClearsTheSelection)
{
    clsList list = listOf({"only"});
    list.setSelected(0, true);
    list.RemoveItem(0);
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.ListIndex(), -99);
    list.AddItem(QStringLiteral("again"));
    EXPECT_EQ(itemsOf(list), QStringList{"again"});
}

TEST(ClsList, ClearResetsItemsAndSelection)
{
    clsList list = listOf({"a", "b"});
    list.setSelected(1, true);
    list.Clear();
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.ListIndex(), -99);
}

TEST(ClsList, BubbleSortIsStableByLowerCaseKey)
{
    clsList list = listOf({"b", "A", "a"});
    list.BuBBleSort();
    EXPECT_EQ(itemsOf(list), (QStringList{"A", "a", "b"}));

    clsList other = listOf({"b", "a", "A", "B", "c", "C"});
    other.BuBBleSort();
    EXPECT_EQ(itemsOf(other), (QStringList{"a", "A", "b", "B", "c", "C"}));

    // Lower-cased code units: "_" (0x5F) sorts before "alpha", though raw "A" (0x41) would come first.
    clsList mixed = listOf({"beta", "_x", "Alpha"});
    mixed.BuBBleSort();
    EXPECT_EQ(itemsOf(mixed), (QStringList{"_x", "Alpha", "beta"}));
}

TEST(ClsList, InsertionSortOrdersByCodeUnits)
{
    clsList list = listOf({"b", "a", "A"});
    list.InsertionSort();
    EXPECT_EQ(itemsOf(list), (QStringList{"A", "a", "b"}));

    clsList ids = listOf({"10", "9", "100", "-1"});
    ids.InsertionSort();
    EXPECT_EQ(itemsOf(ids), (QStringList{"-1", "10", "100", "9"}));
}

TEST(ClsList, SortsKeepTheSelectedPosition)
{
    clsList list = listOf({"c", "b", "a"});
    list.setSelected(0, true);
    list.BuBBleSort();
    EXPECT_EQ(list.ListIndex(), 0);
    EXPECT_EQ(list.Text(), QStringLiteral("a"));
}

TEST(ClsList, WholeListNumbersLinesAndDropsLeadingEmptyItems)
{
    EXPECT_EQ(listOf({"a", "b"}).GetWholeList(QStringLiteral("NUMBER. ")), QStringLiteral("1. a\r\n2. b"));
    EXPECT_EQ(listOf({"a", "b"}).GetWholeList(), QStringLiteral("a\r\nb"));
    EXPECT_EQ(listOf({"", "", "a", "", "b"}).GetWholeList(), QStringLiteral("a\r\n\r\nb"));
    // With a prefix no line is empty, so nothing vanishes.
    EXPECT_EQ(listOf({"", "a"}).GetWholeList(QStringLiteral("NUMBER. ")), QStringLiteral("1. \r\n2. a"));
    EXPECT_EQ(listOf({"x"}).GetWholeList(QStringLiteral("NUMBER-NUMBER ")), QStringLiteral("1-1 x"));
}

TEST(ClsList, LinearSearchFindsTheFirstEqualItem)
{
    clsList list = listOf({"abc", "ABC", "abc"});
    EXPECT_EQ(list.LinearSearch(QStringLiteral("ABC"), 1), 0);
    EXPECT_EQ(list.LinearSearch(QStringLiteral("ABC"), 0), 1);
    EXPECT_EQ(list.LinearSearch(QStringLiteral("ABC")), 1);
    EXPECT_EQ(listOf({"abc"}).LinearSearch(QStringLiteral("ABC")), -1);
    EXPECT_EQ(listOf({"abc"}).LinearSearch(QStringLiteral("ab"), 1), -1);
}

TEST(ClsList, SwapAndCopyBetweenLists)
{
    clsList list = listOf({"1", "2", "3"});
    list.SwapValues(0, 2);
    EXPECT_EQ(itemsOf(list), (QStringList{"3", "2", "1"}));
    clsList copy = listOf({"old"});
    list.CopyToList(copy);
    EXPECT_EQ(itemsOf(copy), (QStringList{"3", "2", "1"}));
    clsList back;
    back.CopyFromList(copy);
    EXPECT_EQ(itemsOf(back), (QStringList{"3", "2", "1"}));
}

TEST(ClsList, BinarySearchOnSortedItems)
{
    clsList words = listOf({"a", "c", "e", "g"});
    EXPECT_EQ(words.BinarySearch(QStringLiteral("e"), 0, -99, false), 2);
    clsList numbers = listOf({"2", "10", "30"});
    EXPECT_EQ(numbers.BinarySearch(QStringLiteral("10"), 0, -99, true), 1);
}

TEST(GetSongInfo, ReturnsFieldsByCode)
{
    MusicLibrary library;
    fill(library, {});
    EXPECT_EQ(library.GetSongInfo(QStringLiteral("1234"), 1).value(), QStringLiteral("Song A"));
    EXPECT_EQ(library.GetSongInfo(QStringLiteral("1234"), 2).value(), QStringLiteral("Artist A"));
    EXPECT_EQ(library.GetSongInfo(QStringLiteral("1234"), 3).value(), QStringLiteral("Album A"));
    EXPECT_EQ(library.GetSongInfo(QStringLiteral("1234"), 4).value(), QStringLiteral("Rock"));
    EXPECT_EQ(library.GetSongInfo(QStringLiteral("1234"), 99).value(), QStringLiteral("0"));
    EXPECT_EQ(library.GetSongInfo(QStringLiteral("-7"), 99).value(), QStringLiteral("1"));
    EXPECT_EQ(library.GetSongInfo(QStringLiteral("1234"), 5).value(), QString());
    EXPECT_EQ(library.GetSongInfo(QStringLiteral(" 1234 "), 1).value(), QStringLiteral("Song A"));
}

TEST(GetSongInfo, UnknownIdIsAnError)
{
    MusicLibrary library;
    EXPECT_FALSE(library.GetSongInfo(QStringLiteral("1234"), 1).has_value());
    fill(library, {});
    const auto missing = library.GetSongInfo(QStringLiteral("999"), 1);
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error().kind, LibraryErrorKind::UnknownSongId);
    EXPECT_FALSE(library.GetSongInfo(QString(), 1).has_value());
}

TEST(GetSongInfo, IdTextOfAStoredId)
{
    EXPECT_EQ(songIdText(1234), QStringLiteral("1234"));
    EXPECT_EQ(songIdText(-2147483648.0), QStringLiteral("-2147483648"));
    EXPECT_EQ(songIdText(0), QStringLiteral("0"));
}

TEST(FillMiniDatabase, SummarisesPlaylistsAfterTheMaster)
{
    MusicLibrary library;
    fill(library, {{"1234", "-7", "1234"}, {}});
    library.Playlists[0]->SongIDs.AddItem(QStringLiteral("not checked"));
    clsLibrary mini(library);
    ASSERT_TRUE(mini.FillMiniDatabase().has_value());
    ASSERT_EQ(mini.summaries().size(), 2u);
    EXPECT_EQ(mini.summaries()[0].songs, 3);
    EXPECT_EQ(mini.summaries()[0].distinctGenres, 2);
    EXPECT_EQ(mini.summaries()[1].songs, 0);
}

TEST(FillMiniDatabase, StopsAtADanglingId)
{
    MusicLibrary library;
    fill(library, {{"1234"}, {"1234", "555", "-7"}, {"-7"}});
    clsLibrary mini(library);
    const auto result = mini.FillMiniDatabase();
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, LibraryErrorKind::UnknownSongId);
    EXPECT_TRUE(result.error().message.contains(QStringLiteral("555")));
    EXPECT_EQ(mini.summaries().size(), 1u); // the playlist before it was done, none after
}

class NativePathTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("iPod_Control/Music/F00")));
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("iPod_Control/Music/f01")));
        write(QStringLiteral("iPod_Control/Music/F00/ABCD.mp3"), 1234);
        write(QStringLiteral("iPod_Control/Music/f01/Genesis - Follow You.MP3"), 77);
    }
    void write(const QString &relative, int bytes)
    {
        QFile file(m_dir.filePath(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(bytes, 'x'));
    }
    QTemporaryDir m_dir;
};

TEST_F(NativePathTest, ExactPathGivesTheSize)
{
    NativePathResolver resolver(m_dir.path());
    EXPECT_EQ(resolver.fileSize(QStringLiteral("\\iPod_Control\\Music\\F00\\ABCD.mp3")), 1234);
    EXPECT_EQ(resolver.resolve(QStringLiteral("\\iPod_Control\\Music\\F00\\ABCD.mp3")),
              m_dir.path() + QStringLiteral("/iPod_Control/Music/F00/ABCD.mp3"));
}

TEST_F(NativePathTest, ComponentsAreMatchedWithoutRegardToCase)
{
    NativePathResolver resolver(m_dir.path());
    EXPECT_EQ(resolver.fileSize(QStringLiteral("\\iPod_Control\\Music\\F01\\genesis - follow you.mp3")), 77);
    EXPECT_EQ(resolver.fileSize(QStringLiteral("\\IPOD_CONTROL\\MUSIC\\f00\\abcd.MP3")), 1234);
    EXPECT_EQ(resolver.resolve(QStringLiteral("\\iPod_Control\\Music\\F01\\GENESIS - FOLLOW YOU.mp3")),
              m_dir.path() + QStringLiteral("/iPod_Control/Music/f01/Genesis - Follow You.MP3"));
    EXPECT_EQ(nativeSongPath(m_dir.path(), QStringLiteral("\\IPOD_CONTROL\\MUSIC\\F00\\ABCD.MP3")),
              m_dir.path() + QStringLiteral("/iPod_Control/Music/F00/ABCD.mp3"));
}

TEST_F(NativePathTest, NamesBeyondAscii)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QString::fromUtf8("iPod_Control/Music/Caf\u00e9")));
    write(QString::fromUtf8("iPod_Control/Music/Caf\u00e9/\u97f3\u697d \u00c9t\u00e9.mp3"), 99);
    NativePathResolver resolver(m_dir.path());
    EXPECT_EQ(resolver.fileSize(QString::fromUtf8("\\iPod_Control\\Music\\Caf\u00e9\\\u97f3\u697d \u00c9t\u00e9.mp3")),
              99);
    EXPECT_EQ(resolver.fileSize(QString::fromUtf8("\\IPOD_CONTROL\\MUSIC\\CAF\u00c9\\\u97f3\u697d \u00e9T\u00c9.MP3")),
              99);
}

TEST_F(NativePathTest, ListingsResolveAsFileByFileDoes)
{
    NativePathResolver byFile(m_dir.path());
    NativePathResolver byListing(m_dir.path());
    for (const QString &path :
         {QStringLiteral("\\iPod_Control\\Music\\F00\\ABCD.mp3"),
          QStringLiteral("\\IPOD_CONTROL\\MUSIC\\f00\\abcd.MP3"),
          QStringLiteral("\\iPod_Control\\Music\\F01\\GENESIS - FOLLOW YOU.mp3"),
          QStringLiteral("\\iPod_Control\\Music\\F00\\NONE.mp3"), QStringLiteral("\\No\\Such.mp3")}) {
        QByteArray line;
        EXPECT_TRUE(byListing.appendFromListings(line, path));
        EXPECT_EQ(QFile::decodeName(line), byFile.resolve(path)) << path.toStdString();
    }
}

TEST_F(NativePathTest, MissingFilesAndFoldersHaveNoSize)
{
    NativePathResolver resolver(m_dir.path());
    EXPECT_EQ(resolver.fileSize(QStringLiteral("\\iPod_Control\\Music\\F00\\NONE.mp3")), std::nullopt);
    EXPECT_EQ(resolver.fileSize(QStringLiteral("\\iPod_Control\\Music\\F00")), std::nullopt);
    EXPECT_EQ(resolver.fileSize(QStringLiteral("\\ipod_control\\MUSIC\\F01")), std::nullopt);
    EXPECT_EQ(resolver.fileSize(QString()), std::nullopt);
    // Nothing matches: the literal translation.
    EXPECT_EQ(resolver.resolve(QStringLiteral("\\No\\Such.mp3")), m_dir.path() + QStringLiteral("/No/Such.mp3"));
}

TEST_F(NativePathTest, PathsThatLeaveTheIpodOrCarryControlCharactersAreRefused)
{
    NativePathResolver resolver(m_dir.path() + QStringLiteral("/iPod_Control"));
    // Each of these names a real file, through a way that must not be taken.
    for (const QString &path :
         {QStringLiteral("\\..\\iPod_Control\\Music\\F00\\ABCD.mp3"),
          QStringLiteral("/Music/../../iPod_Control/Music/F00/ABCD.mp3"), QStringLiteral("\\Music\\F00\\ABCD.mp3\r\n"),
          QStringLiteral("\\Music\\F00\tABCD.mp3"), QString()}) {
        EXPECT_FALSE(NativePathResolver::isSafe(path)) << path.toStdString();
        EXPECT_EQ(resolver.resolve(path), QString()) << path.toStdString();
        EXPECT_EQ(resolver.fileSize(path), std::nullopt) << path.toStdString();
    }
    EXPECT_EQ(resolver.fileSize(QStringLiteral("\\Music\\F00\\ABCD.mp3")), 1234);
    QByteArray line;
    EXPECT_FALSE(resolver.appendFromListings(line, QStringLiteral("\\..\\iPod_Control\\Music\\F00\\ABCD.mp3")));
    EXPECT_TRUE(line.isEmpty());
    // Dots inside a name are only dots.
    EXPECT_TRUE(NativePathResolver::isSafe(QStringLiteral("\\Music\\F00\\..a..mp3")));
    EXPECT_TRUE(NativePathResolver::isSafe(QStringLiteral("\\Music\\...\\a.mp3")));
}
