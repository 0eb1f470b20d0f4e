#include "FileCopy.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <random>
#include <vector>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvanel::extract {
namespace {

// Large enough for the kernel to stream, small enough for progress and stopping to be prompt.
constexpr int64_t kBlockBytes = 8 << 20;

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    void reset(int fd)
    {
        close();
        m_fd = fd;
    }
    // Closes now; the errno of a failed close, else 0.
    int close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int m_fd;
};

QByteArray temporaryNameBeside(const QByteArray &destination)
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const qsizetype slash = destination.lastIndexOf('/');
    return destination.left(slash + 1) + ".corvanel-" + QByteArray::number(random(), 36) + ".part";
}

// Copies with copy_file_range, falling back to read and write where the kernel cannot.
int copyBytes(int from, int to, int64_t total, const std::atomic<bool> &stop,
              const std::function<void(int64_t, int64_t)> &onBytes)
{
    bool kernelCopy = true;
    std::vector<char> buffer;
    int64_t done = 0;
    while (true) {
        if (stop.load())
            return ECANCELED;
        ssize_t count = -1;
        if (kernelCopy) {
            count = ::copy_file_range(from, nullptr, to, nullptr, static_cast<size_t>(kBlockBytes), 0);
            if (count < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                kernelCopy = false;
                continue;
            }
        } else {
            if (buffer.empty())
                buffer.resize(1 << 20);
            count = ::read(from, buffer.data(), buffer.size());
            for (ssize_t written = 0; count > 0 && written < count;) {
                const ssize_t n = ::write(to, buffer.data() + written, static_cast<size_t>(count - written));
                if (n < 0 && errno != EINTR)
                    return errno;
                written += std::max<ssize_t>(n, 0);
            }
        }
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (count == 0)
            return 0;
        done += count;
        if (onBytes)
            onBytes(done, total);
    }
}

// True when the mode bits of an existing file deny this process to write it, as `cp` would
// find: the owner's, the group's or the others' bit, whichever applies. Root may write
// anything, so for root a file without any write bit counts as protected.
bool writeProtected(const struct stat &info)
{
    const uid_t user = ::geteuid();
    if (user == 0)
        return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    if (info.st_uid == user)
        return (info.st_mode & S_IWUSR) == 0;
    bool member = info.st_gid == ::getegid();
    if (!member) {
        std::vector<gid_t> groups(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
        const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
        member = std::find(groups.begin(), groups.begin() + std::max(count, 0), info.st_gid) != groups.end();
    }
    return (info.st_mode & (member ? S_IWGRP : S_IWOTH)) == 0;
}

// Whether `target` may be replaced by a copy of the file `source` is open on: an error when the
// target is write-protected, or is that very file under another name.
CopyResult checkTarget(const QByteArray &target, const struct stat &source)
{
    struct stat existing
    {
    };
    if (::lstat(target.constData(), &existing) != 0)
        return {errno == ENOENT ? 0 : errno};
    if (existing.st_dev == source.st_dev && existing.st_ino == source.st_ino)
        return {EEXIST, true};
    if (S_ISREG(existing.st_mode) && writeProtected(existing))
        return {EACCES};
    return {};
}

// Creates a new file of a free temporary name beside `target`; its name goes to `temporary`.
int createTemporaryBeside(const QByteArray &target, QByteArray &temporary, Descriptor &to)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = temporaryNameBeside(target);
        to.reset(::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (to.get() >= 0)
            return 0;
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

} // namespace

CopyResult makeFolders(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    for (qsizetype slash = name.indexOf('/', 1); slash >= 0; slash = name.indexOf('/', slash + 1)) {
        const QByteArray folder = name.left(slash);
        if (::mkdir(folder.constData(), 0777) != 0 && errno != EEXIST)
            return {errno};
        struct stat info
        {
        };
        if (::stat(folder.constData(), &info) != 0)
            return {errno};
        if (!S_ISDIR(info.st_mode))
            return {ENOTDIR};
    }
    return {};
}

CopyResult copyFile(const QString &source, const QString &destination, const std::atomic<bool> &stop,
                    const std::function<void(int64_t, int64_t)> &onBytes)
{
    Descriptor from(::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC));
    if (from.get() < 0)
        return {errno};
    struct stat info
    {
    };
    if (::fstat(from.get(), &info) != 0)
        return {errno};
    if (S_ISDIR(info.st_mode))
        return {EISDIR};
    const QByteArray target = QFile::encodeName(destination);
    if (const CopyResult usable = checkTarget(target, info); !usable)
        return usable;
    QByteArray temporary;
    Descriptor to;
    if (const int error = createTemporaryBeside(target, temporary, to); error != 0)
        return {error};
    int error = copyBytes(from.get(), to.get(), info.st_size, stop, onBytes);
    const int closeError = to.close();
    if (error == 0)
        error = closeError;
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(temporary.constData());
    return {error};
}

CopyResult writeNewFile(const QString &destination, const QByteArray &bytes)
{
    const QByteArray target = QFile::encodeName(destination);
    QByteArray temporary;
    Descriptor to;
    if (const int error = createTemporaryBeside(target, temporary, to); error != 0)
        return {error};
    int error = 0;
    for (qsizetype written = 0; error == 0 && written < bytes.size();) {
        const ssize_t n = ::write(to.get(), bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0 && errno != EINTR)
            error = errno;
        written += std::max<ssize_t>(n, 0);
    }
    if (const int closeError = to.close(); error == 0)
        error = closeError;
    // Never over an existing name, whatever it is (a file, a folder or a link).
    if (error == 0 && ::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return {};
    if (error == 0 && errno != EINVAL)
        error = errno;
    else if (error == 0 && ::link(temporary.constData(), target.constData()) != 0)
        error = errno; // a file system without the no-replace rename: a hard link refuses an existing name too
    ::unlink(temporary.constData());
    return {error};
}

} // namespace corvanel::extract
