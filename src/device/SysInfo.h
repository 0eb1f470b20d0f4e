#pragma once
// The iPod's own system information file, iPod_Control/Device/SysInfo: text lines that the
// program shows as they are and interprets none of.
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace corvanel::device {

inline const QString kSysInfoPath = QStringLiteral("\\iPod_Control\\Device\\Sysinfo");

// The rows of the list: the text up to the first CR (the file is read as one line of text),
// split at every LF, empty pieces included. Three LF-terminated lines give four rows.
QStringList sysInfoRows(QByteArrayView bytes);

struct SysInfoRead
{
    QStringList rows;
    QString note; // empty when the file was read; otherwise one line saying why there are no rows
};

// Reads the file of the iPod mounted at iPodDrive (its folders and name matched without
// regard to case). A missing or unreadable file gives no rows and a note.
SysInfoRead readSysInfo(const QString &iPodDrive);

} // namespace corvanel::device
