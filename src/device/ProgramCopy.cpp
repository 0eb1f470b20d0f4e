#include "ProgramCopy.h"

#include "IpodFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvanel::device {
namespace {

int64_t sizeOf(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
}

// Copies everything readable from `source` to `target`: 0 or an errno.
int copyBytes(int source, int target, const std::function<void(int64_t)> &onBytes)
{
    std::vector<char> buffer(1 << 20);
    for (int64_t done = 0;;) {
        const ssize_t n = ::read(source, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : 0;
        for (ssize_t written = 0; written < n;) {
            const ssize_t w = ::write(target, buffer.data() + written, static_cast<size_t>(n - written));
            if (w < 0 && errno != EINTR)
                return errno;
            written += std::max<ssize_t>(w, 0);
        }
        done += n;
        onBytes(done);
    }
}

// One file: written beside its name on the iPod, made runnable like the original where the
// filesystem keeps modes, synced and renamed over the name.
IpodError copyOne(const QString &source, const IpodFolder &folder, const QString &name,
                  const std::function<void(int64_t)> &onBytes)
{
    const FileHandle input(::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC));
    struct stat info
    {
    };
    if (input.fd() < 0 || ::fstat(input.fd(), &info) != 0)
        return {errno, source};
    const std::expected<void, IpodError> copied = folder.replaceAtomically(name, [&](int target) {
        ::fchmod(target, info.st_mode & 07777); // FAT keeps no modes
        return copyBytes(input.fd(), target, onBytes);
    });
    return copied ? IpodError{} : copied.error();
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

Message copyFailedMessage(const QString &iPodDrive, int error, const QString &reason)
{
    return {QStringLiteral("Error!"),
            QStringLiteral("Error while attempting to copy Corvanel to your iPod [Located at %1]\r\nError %2 : %3")
                .arg(iPodDrive, QString::number(error),
                     reason.isEmpty() ? QString::fromLocal8Bit(std::strerror(error)) : reason),
            MessageIcon::Critical, MessageButtons::Ok};
}

IpodError ProgramCopy::copyNow(const QString &iPodDrive, const QString &programFolder,
                               const std::function<void(int64_t, int64_t)> &progress)
{
    std::expected<IpodFolder, IpodError> folder = IpodFolder::open(iPodDrive, kiPodProgramFolder, true);
    if (!folder)
        return folder.error();
    const QStringList files = programFiles(programFolder);
    int64_t total = 0;
    for (const QString &name : files)
        total += sizeOf(QDir(programFolder).filePath(name));
    int64_t before = 0;
    for (const QString &name : files) {
        const QString source = QDir(programFolder).filePath(name);
        const IpodError error = copyOne(source, *folder, name, [&](int64_t done) {
            if (progress)
                progress(before + done, total);
        });
        if (error.code != 0)
            return error;
        before += sizeOf(source);
    }
    if (const int error = folder->sync())
        return {error, folder->path()};
    return {};
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
        const IpodError error = copyNow(iPodDrive, programFolder, [this](int64_t done, int64_t total) {
            QMetaObject::invokeMethod(this, [this, done, total] { emit progress(done, total); });
        });
        QMetaObject::invokeMethod(this, [this, error] {
            join();
            emit finished(error.code, error.code == 0 ? QString() : error.reason());
        });
    });
}

} // namespace corvanel::device
