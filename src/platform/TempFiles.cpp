#include "TempFiles.h"

#include <QDir>
#include <QTemporaryFile>

namespace corvanel::platform {

std::expected<QString, QString> createTempFileIn(const QString &folder, const QString &prefix, const QString &suffix)
{
    if (prefix.contains(QLatin1Char('/')) || suffix.contains(QLatin1Char('/')))
        return std::unexpected(QStringLiteral("A temporary file name cannot contain \"/\"."));
    // The last "XXXXXX" of the template becomes the random part; the file is created with
    // O_EXCL, so an existing file of the same name is never reused.
    QTemporaryFile file(QDir(folder).filePath(prefix + QStringLiteral("XXXXXX") + suffix));
    file.setAutoRemove(false);
    if (!file.open()) {
        return std::unexpected(QStringLiteral("Could not create a temporary file in %1: %2")
                                   .arg(QDir::toNativeSeparators(folder), file.errorString()));
    }
    const QString path = file.fileName();
    file.close();
    return path;
}

std::expected<QString, QString> GetTempFile(const QString &suffix)
{
    return createTempFileIn(QDir::tempPath(), QStringLiteral("iTunesDBTemp"), suffix);
}

} // namespace corvanel::platform
