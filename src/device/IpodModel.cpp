#include "IpodModel.h"

#include "IpodFolder.h"
#include "SysInfo.h"

#include <QXmlStreamReader>

#include <cerrno>

#include <unistd.h>

namespace corvanel::device {

namespace {

const QString kSysInfoExtendedName = QStringLiteral("SysInfoExtended");
// Serial numbers, GUIDs and model numbers are short; a longer value is cut.
constexpr qsizetype kLongestValue = 64;
// Entities a property list may define expand to no more than this.
constexpr qint64 kEntityExpansionLimit = 1024;

QString capacityText(int megabytes)
{
    return megabytes >= 1000 ? QStringLiteral("%1 GB").arg(megabytes / 1000) : QStringLiteral("%1 MB").arg(megabytes);
}

void assign(SysInfoExtended &out, const QString &key, const QString &value)
{
    bool ok = false;
    if (key == QLatin1String("SerialNumber"))
        out.serialNumber = value;
    else if (key == QLatin1String("FireWireGUID"))
        out.fireWireGuid = value;
    else if (key == QLatin1String("ModelNumStr"))
        out.modelNumber = value;
    else if (key == QLatin1String("FamilyID") && value.toInt(&ok) >= 0 && ok)
        out.familyId = value.toInt();
    else if (key == QLatin1String("DBVersion") && value.toInt(&ok) >= 0 && ok)
        out.dbVersion = value.toInt();
}

// The file's first bytes, no more than the largest read; empty when it cannot be read.
QByteArray readSysInfoExtendedBytes(const QString &ipodFolder)
{
    const std::expected<IpodFolder, IpodError> folder = IpodFolder::open(ipodFolder, kSysInfoFolder);
    if (!folder)
        return QByteArray();
    const std::expected<FileHandle, IpodError> file = folder->openForRead(folder->entryName(kSysInfoExtendedName));
    if (!file)
        return QByteArray();
    QByteArray bytes(kSysInfoExtendedLargestRead, Qt::Uninitialized);
    qsizetype total = 0;
    while (total < bytes.size()) {
        const ssize_t got = ::read(file->fd(), bytes.data() + total, static_cast<size_t>(bytes.size() - total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        total += got;
    }
    bytes.truncate(total);
    return bytes;
}

} // namespace

QString checksumKindName(ChecksumKind kind)
{
    switch (kind) {
    case ChecksumKind::None:
        return QStringLiteral("none");
    case ChecksumKind::Hash58:
        return QStringLiteral("hash58");
    case ChecksumKind::Hash72:
        return QStringLiteral("hash72");
    case ChecksumKind::HashAB:
        return QStringLiteral("hashAB");
    case ChecksumKind::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

const ModelFacts *findModel(QStringView modelNumber)
{
    // "MC293", "PC293" and "xA623" carry a letter before the four that name the model;
    // "MC293LL/A" a region after them.
    const QStringView number = modelNumber.trimmed();
    if (number.size() >= 5 && number.front().isLetter())
        return findModelByKey(number.sliced(1, 4));
    return number.size() == 4 ? findModelByKey(number) : nullptr;
}

ChecksumKind checksumOfDbVersion(int dbVersion)
{
    if (dbVersion < 0)
        return ChecksumKind::Unknown;
    if (dbVersion <= 2)
        return ChecksumKind::None;
    switch (dbVersion) {
    case 3:
        return ChecksumKind::Hash58;
    case 4:
        return ChecksumKind::Hash72;
    case 5:
        return ChecksumKind::HashAB;
    default:
        return ChecksumKind::Unknown;
    }
}

SysInfoFields parseSysInfoFields(const QStringList &rows)
{
    SysInfoFields fields;
    for (const QString &row : rows) {
        const qsizetype colon = row.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            continue;
        const QStringView key = QStringView(row).first(colon).trimmed();
        const QString value = QStringView(row).sliced(colon + 1).trimmed().left(kLongestValue).toString();
        if (key == QLatin1String("ModelNumStr"))
            fields.modelNumber = value;
        else if (key == QLatin1String("FirewireGuid"))
            fields.fireWireGuid = value;
        else if (key == QLatin1String("pszSerialNumber"))
            fields.serialNumber = value;
    }
    return fields;
}

SysInfoExtended parseSysInfoExtended(QByteArrayView xml)
{
    SysInfoExtended out;
    const QByteArrayView read = xml.first(std::min(xml.size(), kSysInfoExtendedLargestRead));
    QXmlStreamReader reader(QByteArray::fromRawData(read.data(), read.size()));
    reader.setEntityExpansionLimit(kEntityExpansionLimit);
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("plist") || !reader.readNextStartElement() ||
        reader.name() != QLatin1String("dict")) {
        out.problem = QStringLiteral("SysInfoExtended is not a property list");
        return out;
    }
    QString key;
    while (reader.readNextStartElement()) {
        const QStringView element = reader.name();
        if (element == QLatin1String("key")) {
            key = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            continue;
        }
        if (element == QLatin1String("string") || element == QLatin1String("integer"))
            assign(out, key, reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed().left(kLongestValue));
        else
            reader.skipCurrentElement();
        key.clear();
    }
    if (reader.hasError())
        out.problem = QStringLiteral("SysInfoExtended is damaged: %1").arg(reader.errorString());
    return out;
}

QString IpodModel::displayName() const
{
    if (known())
        return name + QLatin1Char(' ') + capacityText(capacityMb);
    if (!modelNumber.isEmpty())
        return QStringLiteral("iPod (model %1)").arg(modelNumber);
    return QStringLiteral("iPod");
}

QString IpodModel::summary() const
{
    if (!known() && modelNumber.isEmpty())
        return QStringLiteral("Model: not named by SysInfo or SysInfoExtended");
    QString line = QStringLiteral("Model: ") + displayName();
    if (known())
        line += QStringLiteral(" (%1)").arg(modelNumber);
    if (checksum != ChecksumKind::Unknown)
        line += QStringLiteral(", database checksum %1").arg(checksumKindName(checksum));
    return line;
}

IpodModel identifyModel(const SysInfoFields &sysInfo, const SysInfoExtended &extended)
{
    IpodModel model;
    model.serialNumber = extended.serialNumber.isEmpty() ? sysInfo.serialNumber : extended.serialNumber;
    model.fireWireGuid = extended.fireWireGuid.isEmpty() ? sysInfo.fireWireGuid : extended.fireWireGuid;
    model.familyId = extended.familyId;
    model.modelNumber = sysInfo.modelNumber.isEmpty() ? extended.modelNumber : sysInfo.modelNumber;
    if (!model.modelNumber.isEmpty())
        model.source = sysInfo.modelNumber.isEmpty() ? QStringLiteral("SysInfoExtended") : QStringLiteral("SysInfo");
    const ModelFacts *facts = findModel(model.modelNumber);
    if (!facts) {
        if ((facts = findModelBySerial(model.serialNumber))) {
            model.modelNumber = QLatin1Char('M') + QLatin1String(facts->number);
            model.source = QStringLiteral("serial number");
        }
    }
    if (facts) {
        model.name = QString::fromUtf8(facts->generation->name);
        model.capacityMb = facts->capacityMb;
        model.checksum = facts->generation->checksum;
    }
    // The iPod's own word on its database beats the table's.
    if (extended.dbVersion >= 0)
        model.checksum = checksumOfDbVersion(extended.dbVersion);
    return model;
}

SysInfoExtended readSysInfoExtended(const QString &ipodFolder)
{
    return parseSysInfoExtended(readSysInfoExtendedBytes(ipodFolder));
}

IpodModel identifyModel(const QString &ipodFolder)
{
    return identifyModel(parseSysInfoFields(readSysInfo(ipodFolder).rows), readSysInfoExtended(ipodFolder));
}

} // namespace corvanel::device
