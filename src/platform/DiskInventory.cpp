#include "DiskInventory.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>

namespace corvanel::platform {

namespace {

// sysfs attributes are small; a cap keeps a hostile fake tree from costing memory.
QByteArray readAttribute(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(4096).trimmed();
}

bool isDevNumber(const QByteArray &text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d+:\\d+$"));
    return pattern.match(QString::fromLatin1(text)).hasMatch();
}

} // namespace

DiskInventory::DiskInventory(QString sysRoot, QString mountInfoPath)
    : m_sysRoot(std::move(sysRoot)), m_mountInfoPath(std::move(mountInfoPath))
{
    refresh();
}

void DiskInventory::refresh()
{
    m_disks.clear();
    m_mounts.clear();

    const QDir blockDir(m_sysRoot + QStringLiteral("/block"));
    QStringList names = blockDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    std::sort(names.begin(), names.end());
    int number = 0;
    for (const QString &name : names) {
        const QString diskPath = blockDir.filePath(name);
        DiskInfo disk;
        disk.name = name;
        disk.number = number++;
        disk.removable = readAttribute(diskPath + QStringLiteral("/removable")) == "1";
        const QString vendor = QString::fromUtf8(readAttribute(diskPath + QStringLiteral("/device/vendor")));
        const QString model = QString::fromUtf8(readAttribute(diskPath + QStringLiteral("/device/model")));
        disk.caption = (vendor + QLatin1Char(' ') + model).trimmed();
        disk.dev = QString::fromLatin1(readAttribute(diskPath + QStringLiteral("/dev")));

        const QDir partitionsDir(diskPath);
        QStringList children = partitionsDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
        std::sort(children.begin(), children.end());
        for (const QString &child : children) {
            const QString childPath = partitionsDir.filePath(child);
            if (!QFile::exists(childPath + QStringLiteral("/partition")))
                continue;
            PartitionInfo partition;
            partition.name = child;
            bool ok = false;
            partition.number = QString::fromLatin1(readAttribute(childPath + QStringLiteral("/partition"))).toInt(&ok);
            if (!ok)
                partition.number = 0;
            partition.dev = QString::fromLatin1(readAttribute(childPath + QStringLiteral("/dev")));
            disk.partitions.push_back(std::move(partition));
        }
        std::stable_sort(disk.partitions.begin(), disk.partitions.end(),
                         [](const PartitionInfo &a, const PartitionInfo &b) { return a.number < b.number; });
        m_disks.push_back(std::move(disk));
    }

    QFile mountInfo(m_mountInfoPath);
    if (mountInfo.open(QIODevice::ReadOnly))
        m_mounts = parseMountInfo(mountInfo.readAll());
}

QHash<QString, QStringList> DiskInventory::parseMountInfo(const QByteArray &text)
{
    // "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw": field 3 is the device,
    // field 4 the folder of the filesystem that is mounted, field 5 the mount point.
    QHash<QString, QStringList> mounts;
    QHash<QString, QStringList> partialMounts;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 5 || !isDevNumber(fields[2]) || !fields[4].startsWith('/'))
            continue;
        const QString dev = QString::fromLatin1(fields[2]);
        const QString mountPoint = decodeMountPath(fields[4]);
        if (fields[3] == "/")
            mounts[dev].append(mountPoint);
        else
            partialMounts[dev].append(mountPoint);
    }
    for (auto it = partialMounts.cbegin(); it != partialMounts.cend(); ++it)
        mounts[it.key()].append(it.value());
    return mounts;
}

QString DiskInventory::decodeMountPath(const QByteArray &field)
{
    QByteArray decoded;
    decoded.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            // Three octal digits of one byte: the first is at most 3.
            bool octal = digits[0] >= '0' && digits[0] <= '3';
            for (char d : digits)
                octal = octal && d >= '0' && d <= '7';
            if (octal) {
                decoded.append(static_cast<char>(digits.toInt(nullptr, 8)));
                i += 3;
                continue;
            }
        }
        decoded.append(c);
    }
    return QFile::decodeName(decoded);
}

} // namespace corvanel::platform
