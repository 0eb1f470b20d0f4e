#pragma once
// The system's disks, their partitions and where they are mounted, read from sysfs and
// mountinfo. Both roots can be pointed at a fake tree.
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace corvanel::platform {

struct PartitionInfo
{
    QString name;   // e.g. "sdb1"
    int number = 0; // the kernel's partition number, 1 for sdb1
    QString dev;    // "major:minor"
};

struct DiskInfo
{
    QString name;   // e.g. "sdb"
    int number = 0; // position in the name-sorted list of block devices
    bool removable = false;
    QString caption; // vendor and model, e.g. "Apple iPod"
    QString dev;     // "major:minor" of the whole disk
    std::vector<PartitionInfo> partitions;
};

class DiskInventory
{
public:
    explicit DiskInventory(QString sysRoot = QStringLiteral("/sys"),
                           QString mountInfoPath = QStringLiteral("/proc/self/mountinfo"));

    // Reads both sources again; a missing or unreadable source gives an empty list.
    void refresh();

    const std::vector<DiskInfo> &disks() const { return m_disks; }
    // The folders a device ("major:minor") is mounted on, whole-filesystem mounts first.
    QStringList mountPoints(const QString &dev) const { return m_mounts.value(dev); }

    // Parses mountinfo text: major:minor (field 3) to mount points (field 5, escapes decoded).
    // Lines that do not have that shape are skipped.
    static QHash<QString, QStringList> parseMountInfo(const QByteArray &text);
    // Undoes the kernel's octal escapes (\040 space, \011 tab, \012 newline, \134 backslash).
    static QString decodeMountPath(const QByteArray &field);

private:
    QString m_sysRoot;
    QString m_mountInfoPath;
    std::vector<DiskInfo> m_disks;
    QHash<QString, QStringList> m_mounts;
};

} // namespace corvanel::platform
