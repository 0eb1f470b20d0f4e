#include "mdliPodDetect.h"

#include <QDir>
#include <QFileInfo>

namespace corvanel::platform {

namespace {

bool isAppleCaption(const QString &caption)
{
    return caption.contains(QLatin1String("Apple Computer_ Inc."), Qt::CaseInsensitive) ||
           caption.contains(QLatin1String("Apple iPod"), Qt::CaseInsensitive);
}

QString withoutTrailingSlash(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

} // namespace

std::vector<DiskAssociation> diskAssociations(const DiskInventory &inventory)
{
    std::vector<DiskAssociation> associations;
    for (const DiskInfo &disk : inventory.disks()) {
        const QString diskText = QStringLiteral("Disk #%1").arg(disk.number);
        if (!disk.dev.isEmpty()) {
            for (const QString &mountPoint : inventory.mountPoints(disk.dev))
                associations.push_back({diskText, mountPoint});
        }
        int index = 0;
        for (const PartitionInfo &partition : disk.partitions) {
            const QString antecedent = diskText + QStringLiteral(", Partition #%1").arg(index++);
            if (partition.dev.isEmpty())
                continue;
            for (const QString &mountPoint : inventory.mountPoints(partition.dev))
                associations.push_back({antecedent, mountPoint});
        }
    }
    return associations;
}

QString FindiPod(const DiskInventory &inventory)
{
    const std::vector<DiskAssociation> associations = diskAssociations(inventory);
    for (const DiskInfo &disk : inventory.disks()) {
        if (!disk.removable || disk.caption.isEmpty() || !isAppleCaption(disk.caption))
            continue;
        // A plain text match, as the disk inventory gives it: disk 2 also matches "Disk #21",
        // and the database test below decides.
        const QString wanted = QStringLiteral("Disk #%1").arg(disk.number);
        for (const DiskAssociation &association : associations) {
            if (!association.antecedent.contains(wanted, Qt::CaseInsensitive) || association.mountPoint.isEmpty())
                continue;
            if (IsIpod(association.mountPoint))
                return withoutTrailingSlash(association.mountPoint);
        }
    }
    return noIpodFound;
}

QString FindiPod()
{
    return FindiPod(DiskInventory());
}

std::optional<QString> resolvePathIgnoringCase(const QString &folder, const QString &relative)
{
    if (folder.isEmpty())
        return std::nullopt;
    QString current = withoutTrailingSlash(folder);
    const QStringList parts = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return std::nullopt;
        const QString base = current == QLatin1String("/") ? QString() : current;
        const QString exact = base + QLatin1Char('/') + part;
        if (QFileInfo::exists(exact)) {
            current = exact;
            continue;
        }
        const QDir dir(current);
        if (!dir.exists())
            return std::nullopt;
        QString found;
        const QStringList entries =
            dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString &entry : entries) {
            if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                found = entry;
                break;
            }
        }
        if (found.isEmpty())
            return std::nullopt;
        current = base + QLatin1Char('/') + found;
    }
    return current;
}

bool IsIpod(const QString &folder)
{
    if (folder.trimmed().isEmpty())
        return false;
    const std::optional<QString> database =
        resolvePathIgnoringCase(folder, QStringLiteral("iPod_Control/iTunes/iTunesDB"));
    if (database && QFileInfo(*database).isFile())
        return true;
    // An iPod whose database is gone still has its songs, which can be read from their tags.
    const std::optional<QString> music = resolvePathIgnoringCase(folder, QStringLiteral("iPod_Control/Music"));
    return music && QFileInfo(*music).isDir();
}

QString iPodDriveFromDatabasePath(const QString &path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const qsizetype marker = absolute.lastIndexOf(QLatin1String("/iPod_Control/"), -1, Qt::CaseInsensitive);
    if (marker > 0)
        return absolute.left(marker);
    if (marker == 0)
        return QStringLiteral("/");
    return QFileInfo(absolute).absolutePath();
}

} // namespace corvanel::platform
