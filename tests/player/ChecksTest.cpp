// The duplicate and missing-file checks, their boxes, and the playlist file.
#include "WindowFixture.h"

#include "LibraryChecks.h"
#include "PlaylistFile.h"

#include <QGuiApplication>
#include <QRandomGenerator>

namespace {

// The check as first written: every song against every other, a song already reported
// being skipped by looking for "[index]" in the marks.
CheckResult literalDuplicates(const MusicLibrary &library)
{
    CheckResult result;
    QString marks;
    const auto n = static_cast<int>(library.Songs.size());
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            if (j == i)
                continue;
            const Song &a = library.Songs[static_cast<std::size_t>(j)];
            const Song &b = library.Songs[static_cast<std::size_t>(i)];
            if (a.Title == b.Title && a.Artist == b.Artist && a.Album == b.Album &&
                !marks.contains("[" + QString::number(j) + "]")) {
                ++result.count;
                marks += "[" + QString::number(i) + "]";
                result.report += "\r\n" + b.Artist + " - " + b.Title;
            }
        }
    return result;
}

// Songs of these titles, artists and albums; their paths and lengths all differ.
std::unique_ptr<MusicLibrary> songs(const std::vector<std::array<const char *, 3>> &rows)
{
    std::vector<SongRow> built;
    int id = 100;
    for (const auto &[title, artist, album] : rows)
        built.push_back({id, title, artist, album, "Pop", 0, id++});
    return buildLibrary(built);
}

TEST(Duplicates, SameReportAsTheLiteralCheck)
{
    // Case matters in every field, and the fields are compared separately, not joined.
    for (const auto &rows : std::vector<std::vector<std::array<const char *, 3>>>{
             {{"Song", "Ana", "First"}, {"song", "Ana", "First"}, {"Song", "ANA", "First"}, {"Song", "Ana", "first"}},
             {{"ab", "c", "d"}, {"a", "bc", "d"}},
             {}})
        EXPECT_EQ(findDuplicates(*songs(rows)).count, 0);
    EXPECT_EQ(duplicatesMessage({}).title, "Duplicate!");

    // Random libraries with many small, interleaved groups, and indexes above 9 ("[1]" must not
    // be found inside "[12]").
    QRandomGenerator random(4711);
    for (int round = 0; round < 20; ++round) {
        MusicLibrary library;
        const int n = 1 + random.bounded(120);
        for (int i = 0; i < n; ++i) {
            Song &song = library.addSong();
            song.Title = QString::number(random.bounded(12));
            song.Artist = QString::number(random.bounded(3));
            song.Album = "A";
        }
        const CheckResult literal = literalDuplicates(library), grouped = findDuplicates(library);
        ASSERT_EQ(grouped.count, literal.count) << "round " << round;
        ASSERT_EQ(grouped.report, literal.report) << "round " << round;
    }
}

TEST(NotInDatabase, TagValuesStayText)
{
    corvanel::itunesdb::OrphanScan scan;
    Song song;
    song.Artist = "%1";
    song.Title = "%2 %L1";
    song.Album = "%3";
    song.Genre = "%4";
    song.TrackNumber = 3;
    song.FileSize = 1 << 20;
    song.Path = "\\iPod_Control\\Music\\F00\\%5.mp3";
    scan.songs.push_back(song);
    scan.unreadable.push_back({"\\iPod_Control\\Music\\F01\\%1.mp3", 10});
    scan.totalBytes = (1 << 20) + 10;
    EXPECT_EQ(notInDatabaseMessage(scan).text,
              "1.0 MB in all: 2 song files on your iPod that its database does not list.\n"
              "%1 - %2 %L1 (%3, %4, track 3) 1.0 MB \\iPod_Control\\Music\\F00\\%5.mp3\n"
              "1 more could not be read as songs, the first being \\iPod_Control\\Music\\F01\\%1.mp3");
}

TEST(Missing, OrdinaryFilesOnlyWithoutRegardToCase)
{
    QTemporaryDir dir;
    const QString music = dir.path() + "/iPod_Control/Music/F00";
    QDir().mkpath(music + "/Folder.mp3");
    writeFile(music + "/Here.mp3", "x");
    writeFile(music + "/.Hidden.mp3", "x");
    writeFile(music + "/lower.mp3", "x");
    auto library = buildLibrary({{1, "Here", "A", "X", "G", 1, 1, "\\iPod_Control\\Music\\F00\\Here.mp3"},
                                 {2, "Folder", "B", "X", "G", 1, 1, "\\iPod_Control\\Music\\F00\\Folder.mp3"},
                                 {3, "Hidden", "C", "X", "G", 1, 1, "\\iPod_Control\\Music\\F00\\.Hidden.mp3"},
                                 {4, "Case", "D", "X", "G", 1, 1, "\\IPOD_CONTROL\\music\\f00\\LOWER.MP3"},
                                 {5, "Gone", "E", "X", "G", 1, 1, "\\iPod_Control\\Music\\F00\\Gone.mp3"},
                                 {6, "Far", "F", "X", "G", 1, 1, "\\iPod_Control\\Music\\F99\\Far.mp3"}});
    library->iPodDrive = dir.path();
    const CheckResult r = findMissing(*library);
    EXPECT_EQ(r.count, 4);
    EXPECT_EQ(r.report, "\r\nB - Folder\r\nC - Hidden\r\nE - Gone\r\nF - Far");

    // Paths that would leave the iPod, or carry control characters, are refused as missing.
    writeFile(dir.path() + "/outside.mp3", "x");
    auto missingOf = [&](const QStringList &paths) {
        library->Songs.resize(paths.size());
        for (qsizetype i = 0; i < paths.size(); ++i)
            library->Songs[std::size_t(i)].Path = paths[i];
        return findMissing(*library);
    };
    EXPECT_EQ(missingOf({"\\iPod_Control\\..\\outside.mp3", "\\iPod_Control\\Music\\F00\\Here.mp3\n"}).count, 2);
    const CheckResult none =
        missingOf({"\\iPod_Control\\Music\\F00\\Here.mp3", "\\IPOD_control\\Music\\F00\\lower.mp3"});
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(missingMessage(none).title, "No errors!");
}

using WindowChecksTest = WindowFixture;

TEST_F(WindowChecksTest, MenuChecksShowTheirBoxes)
{
    open({{1, "Same", "Ana", "First", "Pop"}, {2, "Same", "Ana", "First", "Pop"}});
    window->menus().item("mnuCheckForDuplicates")->trigger();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "Duplicates Found!");
    EXPECT_EQ(dialogs.last().text, "The following duplicates were found in your library...\r\nAna - Same");
    window->menus().item("mnuCheckForMissing")->trigger();
    // The files are looked at off the window's thread: the menu returns at once, the
    // hourglass shows until the report arrives.
    EXPECT_EQ(dialogs.count(), 1u);
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    window->menus().item("mnuCheckForMissing")->trigger(); // one check at a time
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.count() >= 2; }, 10000));
    ASSERT_EQ(dialogs.count(), 2u);
    EXPECT_EQ(dialogs.last().title, "Missing Files!");
    EXPECT_EQ(dialogs.last().text, "The following files were missing on your iPod: \r\nAna - Same\r\nAna - Same");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the hourglass is gone";
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs.count(), 2u);
}

TEST_F(WindowChecksTest, PlaylistHoldsTheListedRowsInOrder)
{
    const ScopedShell scoped(shell);
    auto songs =
        buildLibrary({{1, "Keep one", "Ana", "First", "Pop", 1, 1000, "\\iPod_Control\\Music\\F00\\A.mp3"},
                      {2, "Drop", "Ana", "First", "Pop", 2},
                      {3, "Keep two", "Ana", "First", "Pop", 3, 1000, "\\iPod_Control\\Music\\F01\\Ü ß.m4a"},
                      {4, "Drop too", "Bea", "Second", "Rock", 1},
                      {5, "Keep three", "Bea", "Second", "Rock", 2, 1000, "\\iPod_Control\\Music\\F02\\C.mp3"}});
    songs->iPodDrive = "/media/me/MY IPOD";
    open(std::move(songs));
    window->txtSearch->setText("keep");
    ASSERT_EQ(window->songModel().rowCount(), 3);
    window->lstSong->selectionModel()->clear();

    // No selected row: nothing is written.
    const QStringList before = QDir::temp().entryList({"iTunesDBTemp*.m3u"});
    window->cmdMakeM3u->click();
    EXPECT_EQ(QDir::temp().entryList({"iTunesDBTemp*.m3u"}), before);

    window->lstSong->selectionModel()->setCurrentIndex(window->songModel().index(2, 0),
                                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    window->menus().item("mnuOpenInDefaultAsPlaylist")->trigger();
    ASSERT_EQ(shell.count(), 1u);
    EXPECT_EQ(shell.last().kind, RecordingShell::Call::Kind::OpenDocument);
    const QString path = shell.last().target;
    EXPECT_TRUE(path.endsWith(".m3u"));
    EXPECT_EQ(QFileInfo(path).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
    EXPECT_TRUE(QFileInfo(path).fileName().startsWith("iTunesDBTemp"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QString("/media/me/MY IPOD/iPod_Control/Music/F00/A.mp3\r\n"
                                      "/media/me/MY IPOD/iPod_Control/Music/F01/Ü ß.m4a\r\n"
                                      "/media/me/MY IPOD/iPod_Control/Music/F02/C.mp3\r\n")
                                  .toUtf8());
    file.close();
    EXPECT_EQ(file.permissions() & (QFile::ReadOther | QFile::WriteOther), QFile::Permissions{});

    // Each run makes a fresh file; a chosen player gets it as its one argument.
    storePlayerSettings({"/opt/players/mpv"}, "/opt/players/mpv");
    window->LoadPlayers();
    window->cmdMakeM3u->click();
    ASSERT_EQ(shell.count(), 2u);
    EXPECT_EQ(shell.last().kind, RecordingShell::Call::Kind::StartProgram);
    EXPECT_EQ(shell.last().target, "/opt/players/mpv");
    ASSERT_EQ(shell.last().arguments.size(), 1);
    EXPECT_NE(shell.last().arguments.first(), path);
    QFile::remove(path);
    QFile::remove(shell.last().arguments.first());
}

TEST(PlaylistFile, TextAndFailure)
{
    EXPECT_EQ(m3uText("/m", {"\\a\\b.mp3", "c/d.mp3", ""}), QByteArray("/m/a/b.mp3\r\n/m/c/d.mp3\r\n"));
    EXPECT_EQ(m3uText("/m", {}), QByteArray());
    // A crafted path can neither add lines nor leave the iPod.
    EXPECT_EQ(m3uText("/m", {"\\a.mp3\r\n/etc/passwd", "\\x\\..\\..\\etc\\passwd", "\\b.mp3"}),
              QByteArray("/m/b.mp3\r\n"));
    // The names the files really have, as Open uses them.
    QTemporaryDir ipod;
    QDir().mkpath(ipod.filePath("iPod_Control/Music/F00"));
    writeFile(ipod.filePath("iPod_Control/Music/F00/Song.mp3"), "x");
    EXPECT_EQ(m3uText(ipod.path(), {"\\IPOD_CONTROL\\MUSIC\\F00\\SONG.MP3"}),
              (ipod.path() + "/iPod_Control/Music/F00/Song.mp3\r\n").toUtf8());

    // A temporary folder that does not exist: an error, and no file in the current folder.
    QTemporaryDir dir;
    const ScopedEnv tmp("TMPDIR", (dir.path() + "/not-there").toUtf8());
    const QStringList before = QDir::current().entryList({"iTunesDBTemp*"});
    const auto failed = writeM3u("/m", QStringList{"\\a.mp3"});
    ASSERT_FALSE(failed.has_value());
    EXPECT_TRUE(failed.error().contains("could not be created")) << failed.error().toStdString();
    EXPECT_EQ(QDir::current().entryList({"iTunesDBTemp*"}), before);
}

} // namespace
