#pragma once
// Finding the iPod: the device search over the disk inventory, the database test of a
// folder, and the iPod folder of a database path given on the command line.
#include "DiskInventory.h"

#include <QString>
#include <optional>
#include <vector>

namespace corvanel::platform {

// The device search's answer when no iPod is attached.
inline const QString noIpodFound = QStringLiteral("No iPod Found");

// One partition (or a whole disk that is mounted itself) and a folder it is mounted on.
// The antecedent reads "Disk #<disk>, Partition #<index>" (index from 0) or "Disk #<disk>".
struct DiskAssociation
{
    QString antecedent;
    QString mountPoint;
};

// Every partition of every disk that is mounted, in disk and partition order.
std::vector<DiskAssociation> diskAssociations(const DiskInventory &inventory);

// The mount folder (absolute, no trailing "/") of the first attached iPod that holds a
// database, or noIpodFound.
QString FindiPod(const DiskInventory &inventory);
// The same over this computer's own disks.
QString FindiPod();

// True when folder/iPod_Control/iTunes/iTunesDB is an existing file, or (for an iPod whose
// database is gone) folder/iPod_Control/Music is a folder, each part of the path matched
// without regard to case; false on any failure.
bool IsIpod(const QString &folder);

// The iPod folder for the path of a database file: the part before "/iPod_Control/" (any
// case); without it, the file's folder.
QString iPodDriveFromDatabasePath(const QString &path);

// folder + "/" + relative, where each part of relative that does not exist as written is
// looked up without regard to case (FAT and HFS+ iPods ignore case, copies on ext4 do not).
// std::nullopt when some part is missing.
std::optional<QString> resolvePathIgnoringCase(const QString &folder, const QString &relative);

} // namespace corvanel::platform
