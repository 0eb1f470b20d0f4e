// Start-up: where the database comes from, the single copy, the pending update, the search.
#include "WindowFixture.h"

#include "FakeSystem.h"
#include "SingleInstance.h"
#include "frmInit.h"
#include "frmLoadingDB.h"

namespace {

class StartupTest : public WindowFixture
{
protected:
    std::unique_ptr<frmInit> makeInit(const QString &commandLine)
    {
        auto init = std::make_unique<frmInit>(found, commandLine);
        init->setInstanceLock(dir.filePath("corvanel.lock"));
        init->setUpdateFolder(dir.filePath("program"));
        QDir().mkpath(dir.filePath("program"));
        init->setOnLoad([this](const QString &file) { loaded = file; });
        return init;
    }
    // A search over a machine without disks.
    std::function<DiskInventory()> noDisks() const
    {
        return [this] { return DiskInventory(dir.filePath("empty-sys"), dir.filePath("none")); };
    }

    QTemporaryDir dir;
    MusicLibrary found;
    QString loaded;
};

TEST_F(StartupTest, CommandLineForms)
{
    const QString ipod = dir.filePath("My iPod");
    writeFile(ipod + "/iPod_Control/iTunes/iTunesDB", "mhbd");

    DatabaseSource folder = decideDatabaseSource(ipod + "/");
    EXPECT_EQ(folder.kind, DatabaseSource::Kind::IpodFolder);
    EXPECT_EQ(folder.iPodDrive, ipod);
    EXPECT_EQ(folder.DBFile, ipod + "/iPod_Control/iTunes/iTunesDB");

    EXPECT_EQ(decideDatabaseSource(ipod + "/iPod_Control/iTunes/iTunesDB").kind, DatabaseSource::Kind::DatabaseFile);
    EXPECT_EQ(decideDatabaseSource(dir.path()).kind, DatabaseSource::Kind::Scan) << "no database there";
    EXPECT_EQ(decideDatabaseSource("SCREENJUMP").kind, DatabaseSource::Kind::Scan);
    EXPECT_EQ(decideDatabaseSource("").kind, DatabaseSource::Kind::Scan);
    EXPECT_TRUE(wantsScreenJump("ScreenJump"));
    EXPECT_FALSE(wantsScreenJump(ipod));
}

TEST_F(StartupTest, FolderOnCommandLineLoadsWithoutSearching)
{
    const QString ipod = dir.filePath("IPOD");
    writeFile(ipod + "/ipod_control/itunes/itunesdb", "mhbd");
    auto init = makeInit(ipod + " screenjump");
    // The whole command line is not a folder, so the search runs; it finds nothing here.
    init->setInventory(noDisks());
    ASSERT_TRUE(init->start());
    EXPECT_EQ(init->screenJump(), 500);

    auto direct = makeInit(ipod);
    direct->setInventory([]() -> DiskInventory {
        ADD_FAILURE() << "no search wanted";
        return DiskInventory("/nonexistent-sys", "/nonexistent-mountinfo");
    });
    direct->setInstanceLock(dir.filePath("second.lock"));
    ASSERT_TRUE(direct->start());
    direct->StartFindiPod();
    EXPECT_EQ(found.iPodDrive, ipod);
    EXPECT_EQ(loaded, ipod + "/ipod_control/itunes/itunesdb");
}

TEST_F(StartupTest, DeviceSearchFindsTheMountedIpod)
{
    FakeSystem fake;
    fake.addDisk("sda", false, "ATA", "Disk", "8:0");
    fake.addDisk("sdb", true, "Apple", "iPod", "8:16", {{"sdb2", 2, "8:18"}});
    const QString mount = fake.mount("8:18", "JOHN S IPOD");
    FakeSystem::addDatabase(mount);
    auto init = makeInit("");
    init->setInventory([&] { return fake.inventory(); });
    ASSERT_TRUE(init->start());
    init->StartFindiPod();
    EXPECT_EQ(found.iPodDrive, mount);
    EXPECT_EQ(loaded, mount + "/iPod_Control/iTunes/iTunesDB");
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST_F(StartupTest, NoIpodTellsTheUserAndEnds)
{
    auto init = makeInit("");
    init->setInventory(noDisks());
    ASSERT_TRUE(init->start());
    init->StartFindiPod();
    EXPECT_TRUE(loaded.isEmpty());
    EXPECT_EQ(init->lblScanDrive->text(), "Scanning Drive : None!");
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "No iPod Found!");
    EXPECT_TRUE(dialogs.last().text.startsWith("No iPod was found on your computer."));
}

TEST_F(StartupTest, SecondCopyEndsSilently)
{
    SingleInstance first(dir.filePath("corvanel.lock"));
    ASSERT_TRUE(first.tryAcquire());
    EXPECT_FALSE(makeInit("")->start());
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST_F(StartupTest, PendingUpdateQuestion)
{
    const QString pending = dir.filePath("program/corvanel.new");
    auto answer = [&](MessageResult result) {
        writeFile(pending, "x");
        dialogs.clear();
        dialogs.answers.push_back(result);
        auto init = makeInit("");
        init->setInventory(noDisks());
        return init->start();
    };
    // No keeps the files and goes on to the search.
    EXPECT_TRUE(answer(MessageResult::No));
    ASSERT_GE(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.calls[0].title, "Update to latest?");
    EXPECT_EQ(dialogs.calls[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(QFile::exists(pending));

    // Yes without the updater says so, removes the files and searches no further.
    writeFile(dir.filePath("program/data.new"), "x");
    EXPECT_FALSE(answer(MessageResult::Yes));
    ASSERT_EQ(dialogs.count(), 2u);
    EXPECT_EQ(dialogs.last().title, "Updater Missing!");
    EXPECT_FALSE(QFile::exists(pending));
    EXPECT_FALSE(QFile::exists(dir.filePath("program/data.new")));
    EXPECT_TRUE(loaded.isEmpty());

    // Yes with the updater starts it with our process id; the files are its to install.
    writeFile(dir.filePath("program/updater"), "x");
    const ScopedShell scoped(shell);
    EXPECT_FALSE(answer(MessageResult::Yes));
    ASSERT_EQ(shell.count(), 1u);
    EXPECT_EQ(shell.last().target, dir.filePath("program/updater"));
    EXPECT_EQ(shell.last().arguments, QStringList{QString::number(QCoreApplication::applicationPid())});
    EXPECT_TRUE(QFile::exists(pending));
}

TEST_F(StartupTest, LoadProblemsShowOneBoxPerKind)
{
    LoadReport report;
    report.unknownTags = 1236;
    report.problems.push_back({LoadProblem::Kind::SongFileUnreadable, 5000, "x"});
    report.problems.push_back({LoadProblem::Kind::DuplicateTrackId, 2, "7"});
    reportLoadProblems(report);
    ASSERT_EQ(dialogs.count(), 3u);
    EXPECT_EQ(dialogs.calls[0].text, "Error, continuing!");
    EXPECT_EQ(dialogs.calls[2].title, "Error with iTunesDB");
    EXPECT_TRUE(
        dialogs.calls[2].text.startsWith("For some reason, extra information unknown in the iTunesDB file was found."));
}

} // namespace
