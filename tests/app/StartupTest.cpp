// Start-up: where the database comes from, the single copy, the pending update, the search.
#include "WindowFixture.h"

#include "SingleInstance.h"
#include "frmInit.h"
#include "frmLoadingDB.h"

namespace {

// A fake sysfs with one removable Apple disk whose partition is mounted on `mount`.
QString fakeSys(const QTemporaryDir &dir, const QString &mount)
{
    const QString sys = dir.filePath("sys");
    for (const auto &[file, content] : {std::pair{"sda/removable", "0"},
                                        {"sda/dev", "8:0"},
                                        {"sdb/removable", "1"},
                                        {"sdb/dev", "8:16"},
                                        {"sdb/device/vendor", "Apple   "},
                                        {"sdb/device/model", "iPod            "},
                                        {"sdb/sdb2/partition", "2"},
                                        {"sdb/sdb2/dev", "8:18"}})
        writeFile(sys + "/block/" + file, QByteArray(content) + "\n");
    QString escaped = mount;
    escaped.replace(" ", "\\040");
    writeFile(dir.filePath("mountinfo"), ("36 25 8:18 / " + escaped + " rw,nosuid - vfat /dev/sdb2 rw\n").toUtf8());
    return sys;
}

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

    DatabaseSource file = decideDatabaseSource(ipod + "/iPod_Control/iTunes/iTunesDB");
    EXPECT_EQ(file.kind, DatabaseSource::Kind::DatabaseFile);
    EXPECT_EQ(file.iPodDrive, ipod);

    // A database copied somewhere else: its folder stands for the iPod.
    writeFile(dir.filePath("copies/iTunesDB"), "mhbd");
    DatabaseSource copy = decideDatabaseSource(dir.filePath("copies/iTunesDB"));
    EXPECT_EQ(copy.kind, DatabaseSource::Kind::DatabaseFile);
    EXPECT_EQ(copy.iPodDrive, dir.filePath("copies"));

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
    const QString mount = dir.filePath("media/JOHN S IPOD");
    writeFile(mount + "/iPod_Control/iTunes/iTunesDB", "mhbd");
    const QString sys = fakeSys(dir, mount);
    auto init = makeInit("");
    init->setInventory([&] { return DiskInventory(sys, dir.filePath("mountinfo")); });
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
    EXPECT_EQ(dialogs.last().icon, MessageIcon::Information);
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
    EXPECT_EQ(dialogs.calls[0].title, "Error!");
    EXPECT_EQ(dialogs.calls[0].text, "Error, continuing!");
    EXPECT_EQ(dialogs.calls[0].icon, MessageIcon::Information);
    EXPECT_EQ(dialogs.calls[2].title, "Error with iTunesDB");
    EXPECT_EQ(dialogs.calls[2].icon, MessageIcon::Critical);
    EXPECT_TRUE(
        dialogs.calls[2].text.startsWith("For some reason, extra information unknown in the iTunesDB file was found."));
}

} // namespace
