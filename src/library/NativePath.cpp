#include "NativePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace corvanel::library {

bool NativePathResolver::isSafe(const QString &storedPath)
{
    if (storedPath.isEmpty())
        return false; // names no file at all
    qsizetype componentStart = 0;
    const qsizetype n = storedPath.size();
    for (qsizetype i = 0; i <= n; ++i) {
        const char16_t c = i < n ? storedPath.at(i).unicode() : u'/';
        if (c < 0x20 || c == 0x7F)
            return false;
        if (c == u'/' || c == u'\\') {
            if (i - componentStart == 2 && storedPath.at(componentStart) == QLatin1Char('.') &&
                storedPath.at(componentStart + 1) == QLatin1Char('.'))
                return false;
            componentStart = i + 1;
        }
    }
    return true;
}

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
        it = m_listings.insert(
            folder, QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
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
    if (!isSafe(storedPath))
        return QString();
    const QString exact = literal(m_drive, storedPath);
    if (QFile::exists(exact))
        return exact;
    return matchCaseInsensitively(storedPath).value_or(exact);
}

NativePathResolver::Folder &NativePathResolver::folder(const QString &storedFolder)
{
    auto it = m_folders.find(storedFolder);
    if (it != m_folders.end())
        return *it;
    Folder entry;
    const QString exact = storedFolder.isEmpty() ? m_drive : literal(m_drive, storedFolder);
    const QString path = storedFolder.isEmpty() || QFileInfo(exact).isDir()
                             ? exact
                             : matchCaseInsensitively(storedFolder).value_or(exact);
    entry.path = QFile::encodeName(path);
    if (DIR *listing = ::opendir(entry.path.constData())) {
        while (const dirent *item = ::readdir(listing)) {
            if (item->d_type == DT_DIR)
                continue;
            entry.names.insert(QByteArray(item->d_name));
        }
        ::closedir(listing);
    }
    return *m_folders.insert(storedFolder, std::move(entry));
}

bool NativePathResolver::appendFromListings(QByteArray &out, const QString &storedPath)
{
    if (!isSafe(storedPath))
        return false;
    const qsizetype cut = std::max(storedPath.lastIndexOf(QLatin1Char('\\')), storedPath.lastIndexOf(QLatin1Char('/')));
    Folder &where = folder(cut > 0 ? storedPath.left(cut) : QString());
    out += where.path;
    out += '/';
    const QString name = storedPath.mid(cut + 1);
    const QByteArray bytes = QFile::encodeName(name);
    if (where.names.contains(bytes)) {
        out += bytes;
        return true;
    }
    // Only a name in another case needs the lower-cased index, made on the first such name.
    if (where.lower.isEmpty())
        for (const QByteArray &entry : std::as_const(where.names))
            where.lower.insert(QFile::decodeName(entry).toLower(), entry);
    const auto matched = where.lower.constFind(name.toLower());
    out += matched != where.lower.cend() ? *matched : bytes;
    return true;
}

namespace {

// Appends the literal translation of a stored path as a file name: "\" becomes "/" and the
// name starts with "/". ASCII is copied straight; anything else goes through the codec.
void appendNativeName(std::string &out, const QString &storedPath)
{
    const auto *units = reinterpret_cast<const char16_t *>(storedPath.constData());
    const qsizetype count = storedPath.size();
    if (count == 0 || (units[0] != u'\\' && units[0] != u'/'))
        out += '/';
    for (qsizetype i = 0; i < count; ++i) {
        const char16_t unit = units[i];
        if (unit >= 0x80) {
            QByteArray rest = QFile::encodeName(storedPath.sliced(i));
            rest.replace('\\', '/');
            out.append(rest.constData(), static_cast<std::size_t>(rest.size()));
            return;
        }
        out += unit == u'\\' ? '/' : static_cast<char>(unit);
    }
}

} // namespace

std::optional<qint64> NativePathResolver::fileSize(const QString &storedPath)
{
    if (!isSafe(storedPath))
        return std::nullopt;
    // The common case costs one stat of the exact name and no allocation.
    if (m_driveName.isNull())
        m_driveName = QFile::encodeName(m_drive);
    m_nameBuffer.assign(m_driveName.constData(), static_cast<std::size_t>(m_driveName.size()));
    appendNativeName(m_nameBuffer, storedPath);
    struct stat info
    {
    };
    if (::stat(m_nameBuffer.c_str(), &info) == 0 && S_ISREG(info.st_mode))
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

} // namespace corvanel::library
