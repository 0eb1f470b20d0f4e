#include "SysInfo.h"

#include "IpodFolder.h"

#include <QDir>

#include <cerrno>

#include <unistd.h>

namespace corvanel::device {
namespace {

// A row's characters take at most this many bytes of UTF-8.
constexpr qsizetype kRowBytes = kSysInfoRowLength * 4;

} // namespace

bool SysInfoRows::add(QByteArrayView bytes)
{
    for (qsizetype at = 0; at < bytes.size() && !m_ended;) {
        if (m_rows.size() == kSysInfoRows) {
            // Every row shown is complete; anything but the end of the text is a row too many.
            m_moreRows = bytes[at] != '\r';
            m_ended = true;
            break;
        }
        const QByteArrayView rest = bytes.sliced(at);
        const qsizetype cr = rest.indexOf('\r');
        const qsizetype lf = rest.indexOf('\n');
        const qsizetype end = lf >= 0 && (cr < 0 || lf < cr) ? lf : cr;
        const QByteArrayView piece = end < 0 ? rest : rest.first(end);
        const qsizetype room = kRowBytes - m_row.size();
        m_longRow = m_longRow || piece.size() > room;
        m_row.append(piece.first(std::min(piece.size(), room)));
        if (end < 0)
            break;
        endRow();
        m_ended = end == cr;
        at += end + 1;
    }
    return !m_ended;
}

void SysInfoRows::endRow()
{
    QString row = QString::fromUtf8(m_row);
    if (row.size() > kSysInfoRowLength) {
        m_longRow = true;
        // Cut at a character, never inside a surrogate pair.
        row.truncate(row.at(kSysInfoRowLength - 1).isHighSurrogate() ? kSysInfoRowLength - 1 : kSysInfoRowLength);
    }
    m_rows << row;
    m_row.clear();
}

QStringList SysInfoRows::finish(bool unread)
{
    // The text's last row; after the last row shown, the text ended right where it may.
    if (!m_ended && m_rows.size() < kSysInfoRows)
        endRow();
    QStringList why;
    if (m_moreRows)
        why << QStringLiteral("it has more than 1,000 lines");
    if (m_longRow)
        why << QStringLiteral("lines are shown up to 1,000 characters");
    if (unread && !m_moreRows)
        why << QStringLiteral("only its first megabyte was read");
    QStringList rows = m_rows;
    if (!why.isEmpty())
        rows << QStringLiteral("(SysInfo was cut: %1)").arg(why.join(QStringLiteral("; ")));
    return rows;
}

QStringList sysInfoRows(QByteArrayView bytes)
{
    SysInfoRows rows;
    rows.add(bytes);
    return rows.finish(false);
}

SysInfoRead readSysInfo(const QString &iPodDrive)
{
    SysInfoRead read;
    const QString expected =
        QDir::toNativeSeparators(iPodDrive + QLatin1Char('/') + kSysInfoFolder + QLatin1Char('/') + kSysInfoName);
    const std::expected<IpodFolder, IpodError> folder = IpodFolder::open(iPodDrive, kSysInfoFolder);
    std::expected<FileHandle, IpodError> file = std::unexpected(folder ? IpodError{} : folder.error());
    if (folder)
        file = folder->openForRead(folder->entryName(kSysInfoName));
    if (!file) {
        const IpodError &error = file.error();
        read.note = error.isLink() ? error.reason()
                    : error.code == ENOENT || error.code == ENOTDIR
                        ? QStringLiteral("No system information file was found on your iPod (%1).").arg(expected)
                        : QStringLiteral("The system information file could not be read: %1").arg(error.reason());
        return read;
    }
    SysInfoRows rows;
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    qsizetype total = 0;
    bool wanted = true;
    while (wanted && total < kSysInfoLargestRead) {
        const ssize_t n = ::read(file->fd(), chunk.data(), std::min(chunk.size(), kSysInfoLargestRead - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            read.note = QStringLiteral("The system information file could not be read: %1")
                            .arg(IpodError{errno, expected}.reason());
            return read;
        }
        if (n == 0)
            break;
        total += n;
        wanted = rows.add(QByteArrayView(chunk.constData(), n));
    }
    char probe = 0;
    read.rows = rows.finish(wanted && total == kSysInfoLargestRead && ::read(file->fd(), &probe, 1) == 1);
    return read;
}

} // namespace corvanel::device
