#pragma once
// The few header facts the check-up reads itself: the checksum fields of a database's "mhbd"
// header, and the header of the iPod's "Play Counts" file. No length in either is trusted.
#include <IpodModel.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace corvanel::checkup {

using corvanel::device::ChecksumKind;

// Where a checksum sits in the "mhbd" header: hash58 at 0x58 (20 bytes), hash72 at 0x72 (46
// bytes), hashAB at 0xAB (57 bytes). Only headers long enough hold the field at all.
struct ChecksumField
{
    qsizetype offset;
    qsizetype length;
};
std::optional<ChecksumField> checksumField(ChecksumKind kind);

enum class FieldState {
    Filled,   // some byte of the field is not zero
    Empty,    // every byte is zero
    Absent,   // the header is too short to hold the field
    NoHeader, // the bytes do not start with an "mhbd" header
};
// The state of the field of `kind` in a database's first bytes (the header as stored; a
// compressed database keeps its header uncompressed).
FieldState checksumFieldState(QByteArrayView head, ChecksumKind kind);
// As much of a database file's start as holds its header; empty when it cannot be read.
QByteArray readDatabaseHead(const QString &path);

// The "Play Counts" file: "mhdp", the header's length, one entry's length and the number of
// entries, little-endian 32-bit words at offsets 0, 4, 8 and 12, then the entries.
struct PlayCountsHeader
{
    qint64 entries = -1; // -1 when the header cannot be used
    QString problem;     // why, when it cannot
};
PlayCountsHeader parsePlayCountsHeader(QByteArrayView head, qint64 fileSize);
PlayCountsHeader readPlayCountsHeader(const QString &path);

} // namespace corvanel::checkup
