#pragma once
// A folder on the iPod held open as a descriptor, reached from the iPod's mount folder one
// component at a time without following a link. An HFS+ volume keeps symbolic links, so a
// crafted iPod could point one of its names at a file of the user's; every file written on the
// iPod is opened, created, renamed and removed relative to such a folder, and a link where a
// file or folder is expected is refused, so nothing outside the iPod is opened for writing.
#include <QString>

#include <cerrno>
#include <expected>
#include <functional>
#include <utility>

#include <sys/types.h>

namespace corvanel::device {

// Why a step on the iPod failed.
struct IpodError
{
    int code = 0; // errno; ELOOP when the entry is a link
    QString path; // the entry concerned

    bool isLink() const { return code == ELOOP; }
    // A sentence for the user: the refusal that names a link, or the system's description.
    QString reason() const;
};

// A file descriptor that closes itself.
class FileHandle
{
public:
    explicit FileHandle(int fd = -1) : m_fd(fd) {}
    FileHandle(FileHandle &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    FileHandle &operator=(FileHandle &&other) noexcept;
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    ~FileHandle() { close(); }

    int fd() const { return m_fd; }
    // Closes now: 0, or the errno of the close (where a late write error shows).
    int close();

private:
    int m_fd = -1;
};

class IpodFolder
{
public:
    // The folder `relative` below the iPod's mount folder ("iPod_Control/Device"; "\" also
    // separates). Each component whose exact name is missing is matched without regard to case,
    // as the iPod's own filesystems do; with `create`, a missing one is made. An empty
    // `relative` is the mount folder itself.
    static std::expected<IpodFolder, IpodError> open(const QString &iPodDrive, const QString &relative,
                                                     bool create = false);

    // The folder's path, for messages.
    const QString &path() const { return m_path; }
    QString pathOf(const QString &name) const { return m_path + QLatin1Char('/') + name; }

    // `name` when an entry of that name exists, else an entry differing from it only in case,
    // else `name`.
    QString entryName(const QString &name) const;
    // An entry of exactly this name is there, whatever its kind (a link is not followed).
    bool exists(const QString &name) const;

    // An existing regular file, for reading, or for reading and writing in place. Opening never
    // waits (a pipe or device under the name is refused).
    std::expected<FileHandle, IpodError> openForRead(const QString &name) const;
    std::expected<FileHandle, IpodError> openForWrite(const QString &name) const;
    // A new file; EEXIST when anything already has the name.
    std::expected<FileHandle, IpodError> createExclusive(const QString &name, mode_t mode = 0666) const;
    // Writes a new file through `fill` (which returns 0 or an errno) under a fresh hidden name,
    // syncs it and renames it over `name`: the old file or the new one, never half of one.
    std::expected<void, IpodError> replaceAtomically(const QString &name, const std::function<int(int fd)> &fill) const;
    // Renames an entry of this folder to a name nothing has yet.
    std::expected<void, IpodError> renameToNew(const QString &from, const QString &to) const;
    // Removes a file; one that is not there is no error.
    std::expected<void, IpodError> remove(const QString &name) const;
    // Makes the folder's entries reach the device: 0 or an errno.
    int sync() const;

private:
    IpodFolder(FileHandle handle, QString path) : m_handle(std::move(handle)), m_path(std::move(path)) {}

    std::expected<IpodFolder, IpodError> child(const QString &name, bool create) const;
    std::expected<FileHandle, IpodError> openFile(const QString &name, int flags) const;
    // A failure about `name`: a link there is named as such, whatever the call reported.
    IpodError failure(int code, const QString &name) const;

    FileHandle m_handle;
    QString m_path;
};

} // namespace corvanel::device
