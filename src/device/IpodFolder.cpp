#include "IpodFolder.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvanel::device {
namespace {

QByteArray nameOf(const QString &name)
{
    return QFile::encodeName(name);
}

bool isLinkAt(int folder, const QByteArray &name)
{
    struct stat info
    {
    };
    return ::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
}

QString hiddenNameBeside(const QString &name)
{
    return QStringLiteral(".%1.%2").arg(name).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

} // namespace

QString IpodError::reason() const
{
    if (isLink())
        return QStringLiteral("%1 is a link to somewhere else, not a file or folder of the iPod's own. Corvanel never "
                              "writes through a link, so it was left as it is.")
            .arg(QDir::toNativeSeparators(path));
    return QString::fromLocal8Bit(std::strerror(code));
}

FileHandle &FileHandle::operator=(FileHandle &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

int FileHandle::close()
{
    if (m_fd < 0)
        return 0;
    const int result = ::close(std::exchange(m_fd, -1));
    return result == 0 || errno == EINTR ? 0 : errno;
}

std::expected<IpodFolder, IpodError> IpodFolder::open(const QString &iPodDrive, const QString &relative, bool create)
{
    if (iPodDrive.isEmpty())
        return std::unexpected(IpodError{ENOENT, iPodDrive});
    // The mount folder is the user's own choice; only what lies below it is the iPod's.
    const int fd = ::open(nameOf(iPodDrive).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return std::unexpected(IpodError{errno, iPodDrive});
    IpodFolder folder(FileHandle(fd), iPodDrive);
    QString path = relative;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    for (const QString &part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String(".."))
            return std::unexpected(IpodError{EINVAL, folder.pathOf(part)});
        std::expected<IpodFolder, IpodError> next = folder.child(part, create);
        if (!next)
            return next;
        folder = std::move(*next);
    }
    return folder;
}

std::expected<IpodFolder, IpodError> IpodFolder::child(const QString &name, bool create) const
{
    constexpr int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    const QString found = entryName(name);
    const QByteArray bytes = nameOf(found);
    int fd = ::openat(m_handle.fd(), bytes.constData(), flags);
    if (fd < 0 && errno == ENOENT && create) {
        if (::mkdirat(m_handle.fd(), bytes.constData(), 0777) != 0 && errno != EEXIST)
            return std::unexpected(failure(errno, found));
        fd = ::openat(m_handle.fd(), bytes.constData(), flags);
    }
    if (fd < 0)
        return std::unexpected(failure(errno, found));
    return IpodFolder(FileHandle(fd), pathOf(found));
}

QString IpodFolder::entryName(const QString &name) const
{
    if (exists(name))
        return name;
    // A fresh open of the folder for the listing: the walk's own descriptor keeps its offset.
    const int fd = ::openat(m_handle.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *listing = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!listing) {
        if (fd >= 0)
            ::close(fd);
        return name;
    }
    QString found = name;
    while (const dirent *item = ::readdir(listing)) {
        const QString entry = QFile::decodeName(item->d_name);
        if (entry.compare(name, Qt::CaseInsensitive) == 0) {
            found = entry;
            break;
        }
    }
    ::closedir(listing);
    return found;
}

bool IpodFolder::exists(const QString &name) const
{
    struct stat info
    {
    };
    return ::fstatat(m_handle.fd(), nameOf(name).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

IpodError IpodFolder::failure(int code, const QString &name) const
{
    return {isLinkAt(m_handle.fd(), nameOf(name)) ? ELOOP : code, pathOf(name)};
}

std::expected<FileHandle, IpodError> IpodFolder::openFile(const QString &name, int flags) const
{
    FileHandle file(::openat(m_handle.fd(), nameOf(name).constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (file.fd() < 0)
        return std::unexpected(failure(errno, name));
    struct stat info
    {
    };
    if (::fstat(file.fd(), &info) != 0)
        return std::unexpected(IpodError{errno, pathOf(name)});
    if (!S_ISREG(info.st_mode))
        return std::unexpected(IpodError{S_ISDIR(info.st_mode) ? EISDIR : EINVAL, pathOf(name)});
    return file;
}

std::expected<FileHandle, IpodError> IpodFolder::openForRead(const QString &name) const
{
    return openFile(name, O_RDONLY);
}

std::expected<FileHandle, IpodError> IpodFolder::openForWrite(const QString &name) const
{
    return openFile(name, O_RDWR);
}

std::expected<FileHandle, IpodError> IpodFolder::createExclusive(const QString &name, mode_t mode) const
{
    const int fd =
        ::openat(m_handle.fd(), nameOf(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        return std::unexpected(failure(errno, name));
    return FileHandle(fd);
}

std::expected<void, IpodError> IpodFolder::replaceAtomically(const QString &name,
                                                             const std::function<int(int fd)> &fill) const
{
    // Renaming over a link would only replace the link, but a link is not ours to replace.
    if (isLinkAt(m_handle.fd(), nameOf(name)))
        return std::unexpected(IpodError{ELOOP, pathOf(name)});
    QString temporary;
    std::expected<FileHandle, IpodError> file = std::unexpected(IpodError{EEXIST, pathOf(name)});
    for (int attempt = 0; attempt < 16 && !file && file.error().code == EEXIST; ++attempt) {
        temporary = hiddenNameBeside(name);
        file = createExclusive(temporary);
    }
    if (!file)
        return std::unexpected(file.error());
    int error = fill(file->fd());
    if (error == 0 && ::fsync(file->fd()) != 0)
        error = errno;
    if (const int closed = file->close(); error == 0)
        error = closed;
    const QByteArray from = nameOf(temporary);
    if (error == 0 && ::renameat(m_handle.fd(), from.constData(), m_handle.fd(), nameOf(name).constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlinkat(m_handle.fd(), from.constData(), 0);
        return std::unexpected(IpodError{error, pathOf(name)});
    }
    return {};
}

std::expected<void, IpodError> IpodFolder::renameToNew(const QString &from, const QString &to) const
{
    const QByteArray source = nameOf(from);
    const QByteArray target = nameOf(to);
    if (::renameat2(m_handle.fd(), source.constData(), m_handle.fd(), target.constData(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS)
        return std::unexpected(failure(errno, errno == EEXIST ? to : from));
    // A filesystem without the no-replace rename: look first.
    if (exists(to))
        return std::unexpected(failure(EEXIST, to));
    if (::renameat(m_handle.fd(), source.constData(), m_handle.fd(), target.constData()) != 0)
        return std::unexpected(failure(errno, from));
    return {};
}

std::expected<void, IpodError> IpodFolder::remove(const QString &name) const
{
    const QByteArray bytes = nameOf(name);
    if (isLinkAt(m_handle.fd(), bytes))
        return std::unexpected(IpodError{ELOOP, pathOf(name)});
    if (::unlinkat(m_handle.fd(), bytes.constData(), 0) != 0 && errno != ENOENT)
        return std::unexpected(IpodError{errno, pathOf(name)});
    return {};
}

int IpodFolder::sync() const
{
    // A folder on some filesystems cannot be synced on its own; its files are.
    return ::fsync(m_handle.fd()) != 0 && errno != EINVAL ? errno : 0;
}

} // namespace corvanel::device
