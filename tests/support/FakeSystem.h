#pragma once
// A fake /sys and mountinfo, with mount folders, in a temporary folder: the disks a test
// describes, for the disk inventory and the search for the iPod.
#include "DiskInventory.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

struct FakePartition
{
    QString name;
    int number;
    QString dev;
};

class FakeSystem
{
public:
    QString sysRoot() const { return m_dir.path() + "/sys"; }
    QString mountInfoPath() const { return m_dir.path() + "/mountinfo"; }
    corvanel::platform::DiskInventory inventory() const
    {
        return corvanel::platform::DiskInventory(sysRoot(), mountInfoPath());
    }

    void addDisk(const QString &name, bool removable, const QString &vendor, const QString &model, const QString &dev,
                 const std::vector<FakePartition> &partitions = {})
    {
        const QString disk = sysRoot() + "/block/" + name;
        writeFile(disk + "/removable", removable ? "1\n" : "0\n");
        // sysfs pads vendor and model with blanks.
        writeFile(disk + "/device/vendor", (vendor + "   \n").toUtf8());
        writeFile(disk + "/device/model", (model + "  \n").toUtf8());
        writeFile(disk + "/dev", (dev + "\n").toUtf8());
        for (const FakePartition &p : partitions) {
            writeFile(disk + "/" + p.name + "/partition", QByteArray::number(p.number) + "\n");
            writeFile(disk + "/" + p.name + "/dev", (p.dev + "\n").toUtf8());
        }
    }

    // Creates a mount folder for dev and lists it in mountinfo; returns its path.
    QString mount(const QString &dev, const QString &folderName)
    {
        const QString folder = m_dir.path() + "/mnt/" + folderName;
        QDir().mkpath(folder);
        QByteArray escaped = QFile::encodeName(folder);
        escaped.replace("\\", "\\134").replace(" ", "\\040").replace("\t", "\\011");
        appendMountInfo(QByteArray::number(++m_mountId) + " 1 " + dev.toLatin1() + " / " + escaped +
                        " rw,relatime shared:1 - vfat /dev/x rw\n");
        return folder;
    }

    void appendMountInfo(const QByteArray &line)
    {
        QFile file(mountInfoPath());
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(line);
    }

    static void addDatabase(const QString &folder, const QString &relative = "iPod_Control/iTunes/iTunesDB")
    {
        ASSERT_TRUE(writeFile(folder + "/" + relative, "mhbd"));
    }

private:
    QTemporaryDir m_dir;
    int m_mountId = 20;
};
