#pragma once
// The iPod's own system information file, iPod_Control/Device/SysInfo: text lines that the
// program shows as they are and interprets none of. A file that is not what an iPod writes is
// shown only in part: at most 1,000 rows of at most 1,000 characters, with a last row that
// says it was cut.
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace corvanel::device {

inline const QString kSysInfoFolder = QStringLiteral("iPod_Control/Device");
inline const QString kSysInfoName = QStringLiteral("Sysinfo");
inline constexpr qsizetype kSysInfoRows = 1000;
inline constexpr qsizetype kSysInfoRowLength = 1000;
// The most that is read of the file (a megabyte): every row in full, in single-byte text.
inline constexpr qsizetype kSysInfoLargestRead = 1 << 20;
static_assert(kSysInfoLargestRead > kSysInfoRows * (kSysInfoRowLength + 1));

// Builds the rows from the file's bytes as they are read: the text up to the first CR (the
// file is read as one line of text), split at every LF, empty pieces included, so three
// LF-terminated lines give four rows.
class SysInfoRows
{
public:
    // Takes the next bytes; false once no more are needed.
    bool add(QByteArrayView bytes);
    // The rows; `unread` says the file goes on past what was given.
    QStringList finish(bool unread);

private:
    void endRow();

    QStringList m_rows;
    QByteArray m_row;        // the current row's bytes, as far as they are kept
    bool m_longRow = false;  // some row went past kSysInfoRowLength
    bool m_moreRows = false; // the text has more than kSysInfoRows rows
    bool m_ended = false;    // a CR ended the text, or a row past the last one shown began
};

// The rows of a whole file's bytes.
QStringList sysInfoRows(QByteArrayView bytes);

struct SysInfoRead
{
    QStringList rows;
    QString note; // empty when the file was read; otherwise one line saying why there are no rows
};

// Reads the file of the iPod mounted at iPodDrive (its folders and name matched without
// regard to case, no link followed), no further than the rows need. A missing or unreadable
// file gives no rows and a note.
SysInfoRead readSysInfo(const QString &iPodDrive);

} // namespace corvanel::device
