#include "PlaylistFile.h"

#include "NativePath.h"
#include "SongCatalog.h"
#include "SongTableModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace corvanel::app {

using namespace corvanel::library;

namespace {

// One line per song, through the same resolver as Open and Show File: the names the files
// really have (a copy of an iPod on a case-sensitive disk plays too). A refused path, which
// could point outside the iPod or break the line, is left out.
void appendLine(QByteArray &out, NativePathResolver &resolver, const QString &storedPath)
{
    if (resolver.appendFromListings(out, storedPath))
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
    NativePathResolver resolver(iPodDrive);
    QByteArray out;
    out.reserve(storedPaths.size() * (iPodDrive.size() + 48));
    for (const QString &path : storedPaths)
        appendLine(out, resolver, path);
    return out;
}

std::expected<QString, QString> writeM3u(const QString &iPodDrive, const QStringList &storedPaths)
{
    return writeNewM3u(m3uText(iPodDrive, storedPaths));
}

std::expected<QString, QString> writeM3u(const QString &iPodDrive, const SongTableModel &rows)
{
    NativePathResolver resolver(iPodDrive);
    QByteArray out;
    out.reserve(rows.rowCount() * (iPodDrive.size() + 48));
    for (int row = 0; row < rows.rowCount(); ++row)
        appendLine(out, resolver, rows.text(row, SongCatalog::ColPath));
    return writeNewM3u(out);
}

} // namespace corvanel::app
