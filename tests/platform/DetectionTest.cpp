#include "FakeSystem.h"
#include "mdliPodDetect.h"

using namespace corvanel;
using namespace corvanel::platform;

TEST(DiskInventory, ReadsDisksPartitionsAndMounts)
{
    FakeSystem fake;
    fake.addDisk("sda", false, "ATA", "Samsung SSD", "8:0", {{"sda1", 1, "8:1"}});
    fake.addDisk("sdb", true, "Apple", "iPod", "8:16", {{"sdb2", 2, "8:18"}, {"sdb1", 1, "8:17"}});
    const QString mounted = fake.mount("8:18", "My IPOD");

    const DiskInventory inventory = fake.inventory();
    ASSERT_EQ(inventory.disks().size(), 2u);
    const DiskInfo &ipod = inventory.disks()[1];
    EXPECT_EQ(ipod.name, "sdb");
    EXPECT_EQ(ipod.number, 1);
    EXPECT_TRUE(ipod.removable);
    EXPECT_EQ(ipod.caption, "Apple iPod");
    EXPECT_EQ(ipod.dev, "8:16");
    ASSERT_EQ(ipod.partitions.size(), 2u);
    EXPECT_EQ(ipod.partitions[0].name, "sdb1");
    EXPECT_EQ(ipod.partitions[1].dev, "8:18");
    EXPECT_FALSE(inventory.disks()[0].removable);
    EXPECT_EQ(inventory.mountPoints("8:18"), QStringList{mounted});
    EXPECT_TRUE(inventory.mountPoints("8:17").isEmpty());

    const std::vector<DiskAssociation> associations = diskAssociations(inventory);
    ASSERT_EQ(associations.size(), 1u);
    EXPECT_EQ(associations[0].antecedent, "Disk #1, Partition #1");
    EXPECT_EQ(associations[0].mountPoint, mounted);
}

TEST(DiskInventory, MountInfoEscapesAndGarbage)
{
    EXPECT_EQ(DiskInventory::decodeMountPath("/media/a\\040b\\011c\\012d\\134e"), "/media/a b\tc\nd\\e");
    // A backslash that does not start an octal escape stays.
    EXPECT_EQ(DiskInventory::decodeMountPath("/x\\9y\\"), "/x\\9y\\");

    const QHash<QString, QStringList> mounts =
        DiskInventory::parseMountInfo("garbage\n"
                                      "\n"
                                      "1 2 notadev / /mnt/a rw - vfat x rw\n"
                                      "3 4 8:1\n"
                                      "5 6 8:2 /sub /mnt/bind rw - vfat x rw\n"
                                      "7 8 8:2 / /media/IPOD\\040X rw - vfat x rw\n"
                                      "\xff\xfe 9 8:3 / relative rw\n");
    EXPECT_EQ(mounts.size(), 1);
    // The whole filesystem comes before a bind mount of a folder in it.
    EXPECT_EQ(mounts.value("8:2"), (QStringList{"/media/IPOD X", "/mnt/bind"}));
}

TEST(FindiPod, FindsTheRemovableAppleDiskWithADatabase)
{
    FakeSystem fake;
    // A fixed Apple disk and a USB stick, both with databases: neither is an iPod.
    fake.addDisk("sda", false, "Apple", "iPod", "8:0", {{"sda1", 1, "8:1"}});
    FakeSystem::addDatabase(fake.mount("8:1", "fixed"));
    fake.addDisk("sdb", true, "SanDisk", "Cruzer", "8:16", {{"sdb1", 1, "8:17"}});
    FakeSystem::addDatabase(fake.mount("8:17", "stick"));
    EXPECT_EQ(FindiPod(fake.inventory()), noIpodFound);

    fake.addDisk("sdc", true, "Apple", "iPod", "8:32", {{"sdc1", 1, "8:33"}, {"sdc2", 2, "8:34"}});
    fake.mount("8:33", "firmware");
    const QString ipod = fake.mount("8:34", "Bob's IPOD");
    EXPECT_EQ(FindiPod(fake.inventory()), noIpodFound);
    FakeSystem::addDatabase(ipod);
    EXPECT_EQ(FindiPod(fake.inventory()), ipod);
}

TEST(FindiPod, CaptionsMatchInAnyCaseAndTheFirstIpodWithADatabaseWins)
{
    FakeSystem fake;
    fake.addDisk("sdb", true, "apple", "ipod", "8:16", {{"sdb1", 1, "8:17"}});
    fake.addDisk("sdc", true, "APPLE COMPUTER_ INC.", "IPOD", "8:32"); // mounted as a whole
    fake.addDisk("sdd", true, "Apple", "iPod", "8:48", {{"sdd1", 1, "8:49"}});
    const QString first = fake.mount("8:17", "first");
    const QString second = fake.mount("8:32", "second");
    const QString third = fake.mount("8:49", "third");
    FakeSystem::addDatabase(second, "IPOD_CONTROL/ITUNES/ITUNESDB");
    FakeSystem::addDatabase(third);
    EXPECT_EQ(FindiPod(fake.inventory()), second);
    FakeSystem::addDatabase(first);
    EXPECT_EQ(FindiPod(fake.inventory()), first);
}

TEST(FindiPod, DiskTwoAlsoMatchesDiskTwentyOne)
{
    for (bool databaseOnDiskTwo : {false, true}) {
        SCOPED_TRACE(databaseOnDiskTwo);
        FakeSystem fake;
        QString diskTwo;
        QString diskTwentyOne;
        for (int n = 0; n < 23; ++n) {
            const QString dev = QString("8:%1").arg(n * 16);
            const QString part = QString("8:%1").arg(n * 16 + 1);
            const QString name = QString("sd") + QChar('a' + n);
            const bool isIpod = n == 2;
            fake.addDisk(name, isIpod || n == 21, isIpod ? "Apple" : "Generic", isIpod ? "iPod" : "Disk", dev,
                         {{name + "1", 1, part}});
            if (n == 2)
                diskTwo = fake.mount(part, "two");
            if (n == 21)
                diskTwentyOne = fake.mount(part, "twentyone");
        }
        FakeSystem::addDatabase(diskTwentyOne);
        if (databaseOnDiskTwo)
            FakeSystem::addDatabase(diskTwo);

        const DiskInventory inventory = fake.inventory();
        ASSERT_EQ(inventory.disks()[21].name, "sdv");
        EXPECT_EQ(FindiPod(inventory), databaseOnDiskTwo ? diskTwo : diskTwentyOne);
    }
}

TEST(FindiPod, AnUnmountediPodIsNotFound)
{
    FakeSystem fake;
    fake.addDisk("sdb", true, "Apple", "iPod", "8:16", {{"sdb1", 1, "8:17"}});
    fake.appendMountInfo("this is not mountinfo\n");
    EXPECT_EQ(FindiPod(fake.inventory()), noIpodFound);
}

TEST(IsIpod, MatchesEachPartIgnoringCaseAndADatabasePathGivesTheFolder)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    EXPECT_FALSE(IsIpod(folder));
    EXPECT_FALSE(IsIpod(QString()));
    EXPECT_FALSE(IsIpod(folder + "/missing"));

    // A folder named like the database is not one.
    QDir().mkpath(folder + "/iPod_Control/iTunes/iTunesDB");
    EXPECT_FALSE(IsIpod(folder));
    QDir(folder + "/iPod_Control").removeRecursively();

    FakeSystem::addDatabase(folder, "ipod_control/itunes/itunesdb");
    EXPECT_TRUE(IsIpod(folder));
    EXPECT_TRUE(IsIpod(folder + "/"));
    EXPECT_EQ(resolvePathIgnoringCase(folder, "iPod_Control/iTunes/iTunesDB"),
              folder + "/ipod_control/itunes/itunesdb");
    EXPECT_EQ(resolvePathIgnoringCase(folder, "iPod_Control/../x"), std::nullopt);

    // Without a database, a Music folder still makes an iPod: its songs can be read from their tags.
    QTemporaryDir bare;
    QDir().mkpath(bare.path() + "/IPOD_CONTROL/music/F00");
    EXPECT_TRUE(IsIpod(bare.path()));
    QDir(bare.path() + "/IPOD_CONTROL/music").removeRecursively();
    QFile file(bare.path() + "/IPOD_CONTROL/music");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)); // a file, not the folder
    EXPECT_FALSE(IsIpod(bare.path()));

    // A database file's path gives the iPod's folder.
    EXPECT_EQ(iPodDriveFromDatabasePath("/media/a/IPOD/iPod_Control/iTunes/iTunesDB"), "/media/a/IPOD");
    EXPECT_EQ(iPodDriveFromDatabasePath("/media/a/IPOD/ipod_control/itunes/itunesdb"), "/media/a/IPOD");
    EXPECT_EQ(iPodDriveFromDatabasePath("/media/a//IPOD/./iPod_Control/iTunes/iTunesDB"), "/media/a/IPOD");
    EXPECT_EQ(iPodDriveFromDatabasePath("/home/me/backup/iTunesDB"), "/home/me/backup");
    EXPECT_EQ(iPodDriveFromDatabasePath("/iPod_Control/iTunes/iTunesDB"), "/");
    // A relative path is taken from the working folder.
    EXPECT_EQ(iPodDriveFromDatabasePath("x/iPod_Control/iTunes/iTunesDB"), QDir::currentPath() + "/x");
}
