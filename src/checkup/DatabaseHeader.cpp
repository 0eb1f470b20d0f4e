#include "DatabaseHeader.h"

#include <ByteReader.h>

#include <QFile>

#include <algorithm>

namespace corvanel::checkup {

namespace {

constexpr qsizetype HeaderLengthAt = 4;
// Real headers are a few hundred bytes; the check-up needs no more than the checksum fields.
constexpr qsizetype LongestHeadRead = 4096;
constexpr qsizetype PlayCountsHeaderWords = 16;
// Real entries are 0x0C to 0x1C bytes; anything far larger is not this file.
constexpr quint32 LongestPlayCountsEntry = 4096;

using corvanel::itunesdb::ByteReader;

} // namespace

std::optional<ChecksumField> checksumField(ChecksumKind kind)
{
    switch (kind) {
    case ChecksumKind::Hash58:
        return ChecksumField{0x58, 20};
    case ChecksumKind::Hash72:
        return ChecksumField{0x72, 46};
    case ChecksumKind::HashAB:
        return ChecksumField{0xAB, 57};
    case ChecksumKind::None:
    case ChecksumKind::Unknown:
        break;
    }
    return std::nullopt;
}

FieldState checksumFieldState(QByteArrayView head, ChecksumKind kind)
{
    if (head.size() < HeaderLengthAt + 4 || !head.startsWith("mhbd"))
        return FieldState::NoHeader;
    const std::optional<ChecksumField> field = checksumField(kind);
    if (!field)
        return FieldState::Absent;
    const qsizetype headerLength = std::min<qsizetype>(ByteReader(head).uint32At(HeaderLengthAt), head.size());
    if (field->offset + field->length > headerLength)
        return FieldState::Absent;
    const QByteArrayView bytes = head.sliced(field->offset, field->length);
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == 0; }) ? FieldState::Empty
                                                                                  : FieldState::Filled;
}

QByteArray readDatabaseHead(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(LongestHeadRead);
}

PlayCountsHeader parsePlayCountsHeader(QByteArrayView head, qint64 fileSize)
{
    PlayCountsHeader out;
    if (head.size() < PlayCountsHeaderWords || !head.startsWith("mhdp")) {
        out.problem = QStringLiteral("it does not start with an \"mhdp\" header");
        return out;
    }
    const ByteReader words(head);
    const quint32 headerLength = words.uint32At(4);
    const quint32 entryLength = words.uint32At(8);
    const quint32 entries = words.uint32At(12);
    if (headerLength < PlayCountsHeaderWords || headerLength > fileSize) {
        out.problem = QStringLiteral("its header length (%1) does not fit the file").arg(headerLength);
        return out;
    }
    if (entryLength == 0 || entryLength > LongestPlayCountsEntry) {
        out.problem = QStringLiteral("its entry length (%1) is not a usable one").arg(entryLength);
        return out;
    }
    // 64-bit: a crafted count times a length must not wrap.
    if (qint64(headerLength) + qint64(entryLength) * qint64(entries) > fileSize) {
        out.problem =
            QStringLiteral("it claims %1 entries, more than its %2 bytes can hold").arg(entries).arg(fileSize);
        return out;
    }
    out.entries = entries;
    return out;
}

PlayCountsHeader readPlayCountsHeader(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {-1, QStringLiteral("it cannot be read")};
    return parsePlayCountsHeader(file.read(PlayCountsHeaderWords), file.size());
}

} // namespace corvanel::checkup
