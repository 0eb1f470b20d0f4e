#pragma once
// Which iPod this is, from what the iPod keeps about itself: iPod_Control/Device/SysInfo (text
// lines such as "ModelNumStr: MC293" and "FirewireGuid: 0x000A27001B5C3E71") and
// SysInfoExtended (an XML property list: SerialNumber, FireWireGUID, FamilyID, DBVersion).
// The facts about each model are a table (IpodModelTable.cpp), not code.
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace corvanel::device {

// The checksum an iPod wants in its database's header before it accepts the database. This
// program never writes a database; the kind is shown so that one can tell what a writer needs.
enum class ChecksumKind { Unknown, None, Hash58, Hash72, HashAB };
// "none", "hash58", "hash72", "hashAB", "unknown".
QString checksumKindName(ChecksumKind kind);

// A generation of iPods, and what all its models share.
struct ModelGeneration
{
    const char *name; // "iPod classic", "iPod nano (7th generation)"
    ChecksumKind checksum;
};

// One model number.
struct ModelFacts
{
    const char *number; // Apple's model number without its first letter: "C293" for MC293
    const ModelGeneration *generation;
    int capacityMb; // decimal: 160 GB is 160000
};

// The facts of a model number as the iPod or its box writes it: "MC293", "PC293" (engraved),
// "xA623", "C293" or "MC293LL/A". Null for a number the table does not hold.
const ModelFacts *findModel(QStringView modelNumber);
// The table's row for a number without its first letter ("C293").
const ModelFacts *findModelByKey(QStringView key);
// The model an iPod's serial number stands for (by its last three characters), when known.
const ModelFacts *findModelBySerial(QStringView serialNumber);
// The checksum kind that SysInfoExtended's DBVersion stands for (0-2 none, 3 hash58, 4 hash72,
// 5 hashAB).
ChecksumKind checksumOfDbVersion(int dbVersion);

// The fields of SysInfo that name the iPod.
struct SysInfoFields
{
    QString modelNumber;  // ModelNumStr
    QString fireWireGuid; // FirewireGuid
    QString serialNumber; // pszSerialNumber
};
SysInfoFields parseSysInfoFields(const QStringList &rows);

// The fields of SysInfoExtended that name the iPod. Only the top dictionary's plain values are
// read; anything nested (the artwork formats, and the firmware's stray keys inside arrays) is
// stepped over. Values are cut to a few dozen characters.
struct SysInfoExtended
{
    QString serialNumber;
    QString fireWireGuid;
    QString modelNumber; // ModelNumStr, which some of these files carry
    int familyId = -1;
    int dbVersion = -1;
    QString problem; // why the file was read only in part, or not at all
};
// The most that is read of SysInfoExtended (real ones are some tens of kilobytes).
inline constexpr qsizetype kSysInfoExtendedLargestRead = 1 << 20;
SysInfoExtended parseSysInfoExtended(QByteArrayView xml);
// Reads the file of the iPod at ipodFolder (names matched without regard to case, no link
// followed, no more than the largest read); a missing file gives empty fields.
SysInfoExtended readSysInfoExtended(const QString &ipodFolder);

struct IpodModel
{
    QString modelNumber; // as the iPod states it, or as its serial number implies ("MC293")
    QString name;        // the generation's name; empty when the model is not known
    int capacityMb = 0;
    ChecksumKind checksum = ChecksumKind::Unknown;
    QString serialNumber;
    QString fireWireGuid;
    int familyId = -1;
    QString source; // what named it: "SysInfo", "SysInfoExtended", "serial number"; empty if nothing

    bool known() const { return !name.isEmpty(); }
    // "iPod classic 160 GB", "iPod nano (7th generation) 16 GB"; "iPod (model MZ999)" for a
    // number the table does not know; "iPod" when nothing names it.
    QString displayName() const;
    // One line for the information window: "Model: iPod classic 160 GB (MC293), database
    // checksum hash58", or that nothing names the model.
    QString summary() const;
};

IpodModel identifyModel(const SysInfoFields &sysInfo, const SysInfoExtended &extended);
// Reads SysInfo and SysInfoExtended of the iPod at ipodFolder (names matched without regard to
// case, no link followed, reads bounded); a missing file names nothing.
IpodModel identifyModel(const QString &ipodFolder);

} // namespace corvanel::device
