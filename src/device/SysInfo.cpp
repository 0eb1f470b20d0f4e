#include "SysInfo.h"

#include "NativePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace corvanel::device {

using namespace corvanel::library;
namespace {

// SysInfo is a few hundred bytes; a larger file is shown only this far.
constexpr qint64 kLargestRead = 1 << 20;

} // namespace

QStringList sysInfoRows(QByteArrayView bytes)
{
    const qsizetype cr = bytes.indexOf('\r');
    const QByteArrayView line = cr < 0 ? bytes : bytes.first(cr);
    QStringList rows;
    qsizetype start = 0;
    while (true) {
        const qsizetype lf = line.indexOf('\n', start);
        const qsizetype end = lf < 0 ? line.size() : lf;
        rows << QString::fromUtf8(line.sliced(start, end - start));
        if (lf < 0)
            return rows;
        start = lf + 1;
    }
}

SysInfoRead readSysInfo(const QString &iPodDrive)
{
    SysInfoRead read;
    const QString path = iPodDrive.isEmpty() ? QString() : nativeSongPath(iPodDrive, kSysInfoPath);
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        read.note = QStringLiteral("No system information file was found on your iPod (%1).")
                        .arg(QDir::toNativeSeparators(path.isEmpty() ? iPodDrive : path));
        return read;
    }
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.read(kLargestRead);
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        read.note = QStringLiteral("The system information file could not be read: %1").arg(file.errorString());
        return read;
    }
    read.rows = sysInfoRows(bytes);
    return read;
}

} // namespace corvanel::device
