#include "PlaylistFile.h"

#include "SongCatalog.h"
#include "SongTableModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

void appendLine(QByteArray &out, const QByteArray &drive, const QString &storedPath)
{
    out += drive;
    const QByteArray path = storedPath.toUtf8();
    if (!path.startsWith('\\') && !path.startsWith('/'))
        out += '/';
    const qsizetype start = out.size();
    out += path;
    for (char *c = out.data() + start, *end = out.data() + out.size(); c != end; ++c)
        if (*c == '\\')
            *c = '/';
    out += "\r\n";
}

std::expected<QString, QString> writeNewM3u(const QByteArray &text)
{
    // The "XXXXXX" becomes random characters; the file is created with O_EXCL, mode 0600, and
    // written through the descriptor that created it.
    // A TMPDIR that does not exist gives an empty temporary path, which would put the file in
    // the current folder.
    const QString folder = QDir::tempPath();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return std::unexpected(QStringLiteral("The playlist file could not be created: the temporary folder "
                                              "%1 does not exist.")
                                   .arg(QDir::toNativeSeparators(qEnvironmentVariable("TMPDIR"))));
    QTemporaryFile file(QDir(folder).filePath(QStringLiteral("iTunesDBTempXXXXXX.m3u")));
    file.setAutoRemove(false);
    if (!file.open())
        return std::unexpected(QStringLiteral("The playlist file could not be created in %1: %2")
                                   .arg(QDir::toNativeSeparators(folder), file.errorString()));
    const QString path = file.fileName();
    if (file.write(text) != text.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.close();
        QFile::remove(path);
        return std::unexpected(QStringLiteral("The playlist file %1 could not be written: %2")
                                   .arg(QDir::toNativeSeparators(path), reason));
    }
    file.close();
    return path;
}

} // namespace

QByteArray m3uText(const QString &iPodDrive, const QStringList &storedPaths)
{
    const QByteArray drive = iPodDrive.toUtf8();
    QByteArray out;
    out.reserve(storedPaths.size() * (drive.size() + 48));
    for (const QString &path : storedPaths)
        appendLine(out, drive, path);
    return out;
}

std::expected<QString, QString> writeM3u(const QString &iPodDrive, const QStringList &storedPaths)
{
    return writeNewM3u(m3uText(iPodDrive, storedPaths));
}

std::expected<QString, QString> writeM3u(const QString &iPodDrive, const SongTableModel &rows)
{
    const QByteArray drive = iPodDrive.toUtf8();
    QByteArray out;
    out.reserve(rows.rowCount() * (drive.size() + 48));
    for (int row = 0; row < rows.rowCount(); ++row)
        appendLine(out, drive, rows.text(row, SongCatalog::ColPath));
    return writeNewM3u(out);
}
