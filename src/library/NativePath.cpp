#include "NativePath.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>

QString NativePathResolver::literal(const QString &iPodDrive, const QString &storedPath)
{
    QString path = storedPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    return iPodDrive + path;
}

const QStringList &NativePathResolver::entriesOf(const QString &folder)
{
    auto it = m_listings.find(folder);
    if (it == m_listings.end())
        it = m_listings.insert(folder, QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                             | QDir::NoDotAndDotDot));
    return *it;
}

std::optional<QString> NativePathResolver::matchCaseInsensitively(const QString &storedPath)
{
    QString path = storedPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current = m_drive;
    for (const QString &part : parts) {
        const QStringList &entries = entriesOf(current);
        const QString *found = nullptr;
        for (const QString &entry : entries) {
            if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                found = &entry;
                if (entry == part)
                    break;
            }
        }
        if (!found)
            return std::nullopt;
        current += QLatin1Char('/') + *found;
    }
    return current;
}

QString NativePathResolver::resolve(const QString &storedPath)
{
    const QString exact = literal(m_drive, storedPath);
    if (QFile::exists(exact))
        return exact;
    return matchCaseInsensitively(storedPath).value_or(exact);
}

std::optional<qint64> NativePathResolver::fileSize(const QString &storedPath)
{
    // The common case costs one stat of the exact name.
    const QString exact = literal(m_drive, storedPath);
    struct stat info {};
    if (::stat(QFile::encodeName(exact).constData(), &info) == 0 && S_ISREG(info.st_mode))
        return static_cast<qint64>(info.st_size);
    const auto matched = matchCaseInsensitively(storedPath);
    if (!matched)
        return std::nullopt;
    if (::stat(QFile::encodeName(*matched).constData(), &info) == 0 && S_ISREG(info.st_mode))
        return static_cast<qint64>(info.st_size);
    return std::nullopt;
}

QString nativeSongPath(const QString &iPodDrive, const QString &storedPath)
{
    return NativePathResolver(iPodDrive).resolve(storedPath);
}
