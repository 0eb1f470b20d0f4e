// An iPod whose database is gone, broken or empty is read from its songs' tags when the user
// says so; the files its database does not list become one more source.
#include "WindowFixture.h"

#include "DemoIpod.h"
#include "NativePath.h"
#include "ParseiTunesDB.h"
#include "SongBrowser.h"
#include "TagScan.h"
#include "frmLoadingDB.h"

#include <QDirIterator>

using namespace corvanel::itunesdb;

namespace {

// Every file below a folder with its bytes, to show that nothing was written.
QMap<QString, QByteArray> snapshot(const QString &root)
{
    QMap<QString, QByteArray> files;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            files.insert(file.fileName(), file.readAll());
    }
    return files;
}

class RescueTest : public WindowFixture
{
protected:
    QString ipodCopy()
    {
        const QString root = dir.filePath(QStringLiteral("IPOD"));
        EXPECT_TRUE(copyTree(demoIpod(), root));
        return root;
    }

    // Loads the iPod as the program starts on it; returns once the load is over.
    void load(const QString &root)
    {
        loaded = std::make_unique<MusicLibrary>();
        loaded->iPodDrive = root;
        loading = std::make_unique<frmLoadingDB>(*loaded);
        bool done = false;
        loading->setOnLoaded([&done] { done = true; });
        loading->LoadDB(root + "/iPod_Control/iTunes/iTunesDB");
        ASSERT_TRUE(QTest::qWaitFor([&done] { return done; }, 60000));
    }
    bool asked() const
    {
        return std::any_of(dialogs.calls.begin(), dialogs.calls.end(), [](const DialogCall &call) {
            return call.title == "Corvanel" &&
                   call.text == "No usable music database was found on this iPod. Read the songs from their own tags "
                                "instead?" &&
                   call.buttons == MessageButtons::YesNo;
        });
    }

    QTemporaryDir dir;
    std::unique_ptr<MusicLibrary> loaded;
    std::unique_ptr<frmLoadingDB> loading;
};

TEST_F(RescueTest, EachUnusableDatabaseAsksYesReadsTheTagsAndNoChangesNothing)
{
    const QString root = ipodCopy();
    load(root);
    EXPECT_FALSE(asked()) << "a readable database loads as before";
    EXPECT_EQ(loaded->SongCount, 26);
    EXPECT_FALSE(loading->report().fromTags);

    for (const auto damage :
         {mkipod::DatabaseDamage::Emptied, mkipod::DatabaseDamage::Corrupted, mkipod::DatabaseDamage::Removed}) {
        SCOPED_TRACE(static_cast<int>(damage));
        ASSERT_TRUE(mkipod::damageDatabase(root, damage));
        const auto before = snapshot(root);
        dialogs.clear();
        dialogs.answers.push_back(MessageResult::Yes);
        load(root);
        EXPECT_TRUE(asked());
        EXPECT_TRUE(loading->report().fromTags);
        EXPECT_EQ(loaded->SongCount, 26);
        EXPECT_EQ(loaded->Playlists[0]->Name, ":: IPOD ::");
        EXPECT_EQ(snapshot(root), before) << "the iPod is never written";
    }

    // No: nothing is read, and the load's own box follows as without the question.
    dialogs.clear();
    dialogs.answers.push_back(MessageResult::No);
    load(root);
    EXPECT_TRUE(asked());
    EXPECT_EQ(loaded->SongCount, 0);
    EXPECT_FALSE(loading->report().fromTags);
    ASSERT_EQ(dialogs.count(), 2u);
    EXPECT_EQ(dialogs.last().text, "Error, continuing!");
}

TEST_F(RescueTest, SongsNotInTheDatabaseAreReportedAndAddedAsASource)
{
    const QString root = ipodCopy();
    QStringList written;
    ASSERT_TRUE(mkipod::addExtraSongs(root, 3, nullptr, &written));
    auto songs = std::make_unique<MusicLibrary>();
    songs->iPodDrive = root;
    ParseiTunesDB(root + "/iPod_Control/iTunes/iTunesDB", *songs);
    frmMain &main = open(std::move(songs));

    dialogs.answers.push_back(MessageResult::Action);
    main.ScanForNotInDatabase();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.count() > 0; }, 30000));
    ASSERT_EQ(dialogs.count(), 1u);
    const DialogCall &report = dialogs.last();
    EXPECT_EQ(report.title, "Songs Not in the Database");
    EXPECT_EQ(report.actionButton, "Add to Browser");
    const QStringList lines = report.text.split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].contains(" MB")) << "the total size comes first";
    for (const QString &file : written)
        EXPECT_TRUE(report.text.contains(QString(file).replace('/', '\\'))) << file.toStdString();

    // The new source lists the three songs.
    const auto extra = texts(main.lstSource).indexOf("[Not in Database]");
    ASSERT_GE(extra, 0);
    main.browser().SelectOneVal(SongBrowser::Source, static_cast<int>(extra));
    ASSERT_EQ(main.songModel().rowCount(), 3);
    for (const QString &title : titles())
        EXPECT_TRUE(title.startsWith("Forgotten Song"));
}

// The songs' files are measured once the window is up: until then the sizes are empty (not
// 0 kb), and a file that is missing gets the load's box then.
TEST_F(RescueTest, SongSizesComeAfterTheWindowIsUp)
{
    const QString root = ipodCopy();
    auto songs = std::make_unique<MusicLibrary>();
    songs->iPodDrive = root;
    ParseiTunesDB(root + "/iPod_Control/iTunes/iTunesDB", *songs, {}, {}, SongFileSizes::Later);
    ASSERT_GT(songs->SongCount, 1);
    const QString gone = nativeSongPath(root, songs->Songs[0].Path);
    const qint64 kept = QFileInfo(nativeSongPath(root, songs->Songs[1].Path)).size();
    ASSERT_TRUE(QFile::remove(gone));
    auto catalog = std::make_unique<SongCatalog>(*songs, true);
    EXPECT_TRUE(catalog->text(1, SongCatalog::ColFileSize).isEmpty());
    library = std::move(songs);
    window = std::make_unique<frmMain>(*library, std::move(catalog));
    window->txtSearch->setText("kb");
    EXPECT_EQ(window->songModel().rowCount(), 0) << "no size to find yet";

    window->show();
    for (QDeadlineTimer deadline(10000); window->catalog().sizesPending() && !deadline.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_FALSE(window->catalog().sizesPending());
    EXPECT_EQ(library->Songs[1].FileSize, static_cast<double>(kept));
    EXPECT_EQ(window->catalog().text(1, SongCatalog::ColFileSize), QString::number(kept / 1024) + " kb");
    EXPECT_EQ(window->catalog().text(0, SongCatalog::ColFileSize), "0 kb");
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().text, "Error, continuing!");
    window->txtSearch->clear();
    window->txtSearch->setText("kb");
    EXPECT_EQ(window->songModel().rowCount(), library->SongCount);
}

} // namespace
