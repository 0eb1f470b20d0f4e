#include "SongFileCheck.h"

#include <QFile>
#include <cstring>
#include <sys/stat.h>

namespace corvanel::library {

namespace {

// An ordinary, visible file: what a plain directory listing of the name would find.
bool isOrdinaryFile(const char *path)
{
    struct stat info
    {
    };
    if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    const char *slash = std::strrchr(path, '/');
    const char *name = slash ? slash + 1 : path;
    return name[0] != '.';
}

} // namespace

SongFileCheck::SongFileCheck(const QString &iPodDrive) : m_drive(QFile::encodeName(iPodDrive)), m_resolver(iPodDrive) {}

bool SongFileCheck::missing(const Song &song)
{
    if (!NativePathResolver::isSafe(song.Path))
        return true;
    // The exact name first: one stat for a file that is there.
    const QByteArray stored = QFile::encodeName(song.Path);
    m_path.assign(m_drive.constData(), static_cast<std::size_t>(m_drive.size()));
    if (!stored.startsWith('\\') && !stored.startsWith('/'))
        m_path += '/';
    for (const char c : stored)
        m_path += c == '\\' ? '/' : c;
    if (isOrdinaryFile(m_path.c_str()))
        return false;
    // The iPod's filesystem ignores case; a copy on another filesystem may not.
    const QByteArray matched = QFile::encodeName(m_resolver.resolve(song.Path));
    return matched == QByteArray(m_path.data(), static_cast<qsizetype>(m_path.size())) ||
           !isOrdinaryFile(matched.constData());
}

} // namespace corvanel::library
