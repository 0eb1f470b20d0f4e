// Play history in the song list, the export from the Extras menu and from the command line.
#include "WindowFixture.h"

#include "DemoIpod.h"
#include "HistoryColumns.h"
#include "ParseiTunesDB.h"
#include "PlayHistoryDialog.h"
#include "TestPaths.h"

#include <QProcess>

namespace {

class PlayHistoryTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        auto songs = buildLibrary({{1, "Often", "A", "X", "Rock", 1, 100000},
                                   {2, "Rarely", "B", "X", "Rock", 2, 100000},
                                   {3, "Never", "C", "X", "Rock", 3, 100000}});
        const int plays[] = {12, 9, 0};
        const int ratings[] = {60, 100, 0};
        const int64_t played[] = {1793527200, 1700000000, 0};
        for (int i = 0; i < 3; ++i) {
            Song &song = songs->Songs[size_t(i)];
            song.PlayCount = plays[i];
            song.Rating = ratings[i];
            song.LastPlayed = played[i];
        }
        open(std::move(songs));
    }
};

} // namespace

TEST_F(PlayHistoryTest, TheSongListShowsAndSortsPlaysRatingAndLastPlayed)
{
    auto &model = window->songModel();
    EXPECT_EQ(model.columnCount(), SongCatalog::ColumnCount + 3);
    EXPECT_EQ(model.headerData(HistoryColumns::ColPlays, Qt::Horizontal).toString(), "Plays");
    EXPECT_EQ(model.headerData(HistoryColumns::ColRating, Qt::Horizontal).toString(), "Rating");
    EXPECT_EQ(model.headerData(HistoryColumns::ColLastPlayed, Qt::Horizontal).toString(), "Last Played");
    EXPECT_EQ(column(HistoryColumns::ColRating), (QStringList{"★★★☆☆", "★★★★★", ""}));
    EXPECT_EQ(column(HistoryColumns::ColLastPlayed)[2], "");
    EXPECT_FALSE(column(HistoryColumns::ColLastPlayed)[0].isEmpty());

    // Counts sort as numbers (9 before 12), and a second click turns the order round.
    window->lstSong_ColumnClick(HistoryColumns::ColPlays);
    EXPECT_EQ(titles(), (QStringList{"Never", "Rarely", "Often"}));
    window->lstSong_ColumnClick(HistoryColumns::ColPlays);
    EXPECT_EQ(titles(), (QStringList{"Often", "Rarely", "Never"}));
    window->lstSong_ColumnClick(HistoryColumns::ColLastPlayed);
    EXPECT_EQ(column(SongCatalog::ColPath)[0], "\\iPod_Control\\Music\\F00\\S1.mp3");
    window->lstSong_ColumnClick(HistoryColumns::ColRating);
    EXPECT_EQ(column(SongCatalog::ColSongId), (QStringList{"2", "1", "3"}));
}

TEST(PlayHistoryExport, TheMenuAsksWhereToSaveOnceAndThenHasNothingNew)
{
    RecordingDialogs recorded;
    const ScopedDialogs installed{recorded};
    MusicLibrary library;
    library.iPodDrive = demoIpod();
    corvanel::itunesdb::ParseiTunesDB(library.iPodDrive + "/iPod_Control/iTunes/iTunesDB", library);
    QTemporaryDir folder;
    recorded.saveFileAnswers.push_back(folder.filePath("plays.csv"));

    exportPlayHistory(library, folder.filePath("ledger"), folder.path());
    ASSERT_EQ(recorded.count(DialogCall::Kind::SaveFile), 1u);
    EXPECT_EQ(recorded.calls[0].initial, folder.filePath("Corvanel Demo plays.log"));
    EXPECT_TRUE(recorded.last().text.startsWith("12 plays were exported to")) << recorded.last().text.toStdString();
    EXPECT_EQ(readFile(folder.filePath("plays.csv")).count("\r\n"), 13);

    recorded.clear();
    exportPlayHistory(library, folder.filePath("ledger"), folder.path());
    EXPECT_EQ(recorded.count(DialogCall::Kind::SaveFile), 0u);
    EXPECT_TRUE(recorded.last().text.startsWith("There are no new plays to export"))
        << recorded.last().text.toStdString();
}

TEST(PlayHistoryExport, TheCommandLinePrintsNewPlaysOnce)
{
    QTemporaryDir data;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    environment.insert("XDG_DATA_HOME", data.path());
    const auto run = [&](const QStringList &arguments) {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(binPath("corvanel"), arguments);
        program.waitForFinished(60000);
        return std::pair{program.exitCode(), program.readAllStandardOutput()};
    };
    const auto [code, log] = run({"--scrobbles", demoIpod()});
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(log.startsWith("#AUDIOSCROBBLER/1.1\n#TZ/UTC\n#CLIENT/Corvanel ")) << log.toStdString();
    EXPECT_EQ(log.count("\tL\t"), 12);
    EXPECT_TRUE(QFile::exists(data.filePath("Corvanel/plays/guid-000A27001B5C3E71.ledger")));

    EXPECT_EQ(run({"--scrobbles", demoIpod()}).second.count("\tL\t"), 0);
    EXPECT_EQ(run({"--scrobbles", "--all", "--format", "listenbrainz", demoIpod()}).second.count("listened_at"), 12);
    EXPECT_EQ(run({"--scrobbles", "--format", "xml", demoIpod()}).first, 2);
}
