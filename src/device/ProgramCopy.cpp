#include "ProgramCopy.h"

#include "FileCopy.h"
#include "NativePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvanel::device {

using namespace corvanel::extract;
using namespace corvanel::library;
namespace {

// Makes sure what was written to `path` is on the device, not only in the cache.
int syncToDevice(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    // A folder on some filesystems cannot be synced on its own; its files are.
    const int error = ::fsync(fd) != 0 && errno != EINVAL ? errno : 0;
    ::close(fd);
    return error;
}

int makeFolder(const QString &path)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0 && errno != EEXIST)
        return errno;
    return QFileInfo(path).isDir() ? 0 : ENOTDIR;
}

int64_t sizeOf(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
}

// One file: copied beside its name and renamed over it, made runnable like the original
// where the filesystem keeps modes, and synced.
int copyOne(const QString &source, const QString &target, int64_t before, int64_t total,
            const std::function<void(int64_t, int64_t)> &progress)
{
    static const std::atomic<bool> never{false};
    const extract::CopyResult copied = extract::copyFile(source, target, never, [&](int64_t done, int64_t) {
        if (progress)
            progress(before + done, total);
    });
    if (!copied)
        return copied.error;
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(source).constData(), &info) == 0)
        ::chmod(QFile::encodeName(target).constData(), info.st_mode & 07777); // FAT keeps no modes
    return syncToDevice(target);
}

} // namespace

QStringList programFiles(const QString &programFolder)
{
    QStringList files{QStringLiteral("corvanel"), QStringLiteral("updater")};
    files += QDir(programFolder).entryList({QStringLiteral("*.so"), QStringLiteral("*.so.*")}, QDir::Files, QDir::Name);
    return files;
}

Message alreadyThereMessage()
{
    return {QStringLiteral("Already there!"),
            QStringLiteral("You are running this version of Corvanel off your iPod!!"), MessageIcon::Information,
            MessageButtons::Ok};
}

Message copiedMessage()
{
    return {QStringLiteral("Success!"),
            QStringLiteral("Copy successful!\r\nNow, you can access Corvanel wherever your iPod is!"),
            MessageIcon::Information, MessageButtons::Ok};
}

Message copyFailedMessage(const QString &iPodDrive, int error)
{
    return {QStringLiteral("Error!"),
            QStringLiteral("Error while attempting to copy Corvanel to your iPod [Located at %1]\r\nError %2 : %3")
                .arg(iPodDrive)
                .arg(error)
                .arg(QString::fromLocal8Bit(std::strerror(error))),
            MessageIcon::Critical, MessageButtons::Ok};
}

int ProgramCopy::copyNow(const QString &iPodDrive, const QString &programFolder,
                         const std::function<void(int64_t, int64_t)> &progress)
{
    if (iPodDrive.isEmpty() || !QFileInfo(iPodDrive).isDir())
        return ENOENT;
    const QString folder = nativeSongPath(iPodDrive, QLatin1Char('\\') + kiPodProgramFolder);
    if (const int error = makeFolder(folder))
        return error;
    const QStringList files = programFiles(programFolder);
    int64_t total = 0;
    for (const QString &name : files)
        total += sizeOf(QDir(programFolder).filePath(name));
    int64_t before = 0;
    for (const QString &name : files) {
        const QString source = QDir(programFolder).filePath(name);
        if (const int error = copyOne(source, folder + QLatin1Char('/') + name, before, total, progress))
            return error;
        before += sizeOf(source);
    }
    return syncToDevice(folder);
}

ProgramCopy::ProgramCopy(QObject *parent) : QObject(parent) {}

ProgramCopy::~ProgramCopy()
{
    join();
}

void ProgramCopy::join()
{
    if (m_worker.joinable())
        m_worker.join();
}

void ProgramCopy::start(const QString &iPodDrive, const QString &programFolder)
{
    if (running())
        return;
    m_worker = std::thread([this, iPodDrive, programFolder] {
        const int error = copyNow(iPodDrive, programFolder, [this](int64_t done, int64_t total) {
            QMetaObject::invokeMethod(this, [this, done, total] { emit progress(done, total); });
        });
        QMetaObject::invokeMethod(this, [this, error] {
            join();
            emit finished(error);
        });
    });
}

} // namespace corvanel::device
