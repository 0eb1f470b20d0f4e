#include "PreferencesEditor.h"

#include "IpodFolder.h"
#include "TempFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace corvanel::device {

using namespace corvanel::platform;
namespace {

const QString kProgramTitle = QStringLiteral("Corvanel");
// A Preferences file is a few kilobytes; anything this large is not one, and is not read whole.
constexpr qint64 kLargestFile = 1 << 20;

PreferencesRefusal refusal(PreferencesRefusal::Kind kind, const QString &text)
{
    return {kind, {kProgramTitle, text, MessageIcon::Warning, MessageButtons::Ok}};
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

std::expected<QByteArray, QString> readWhole(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::unexpected(file.errorString());
    QByteArray bytes = file.read(kLargestFile + 1);
    if (file.error() != QFileDevice::NoError)
        return std::unexpected(file.errorString());
    return bytes;
}

// Up to `limit` bytes of an open file from its start: the bytes, or an errno.
std::expected<QByteArray, int> readStart(int fd, qint64 limit)
{
    QByteArray bytes(limit, Qt::Uninitialized);
    qint64 done = 0;
    while (done < limit) {
        const ssize_t n = ::pread(fd, bytes.data() + done, static_cast<size_t>(limit - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::unexpected(errno);
        if (n == 0)
            break;
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

int writeAll(int fd, const QByteArray &bytes)
{
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t n =
            ::pwrite(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written), written);
        if (n < 0 && errno != EINTR)
            return errno;
        written += std::max<ssize_t>(n, 0);
    }
    return 0;
}

// Step 1 of the load: the working copy, in a temporary file created under a fresh name.
std::expected<QString, QString> makeWorkingCopy(const QByteArray &bytes)
{
    const std::expected<QString, QString> path = GetTempFile(QStringLiteral("Preferences"));
    if (!path)
        return path;
    QFile copy(*path);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(bytes) != bytes.size() || !copy.flush()) {
        const QString reason = copy.errorString();
        copy.remove();
        return std::unexpected(reason);
    }
    return *path;
}

std::expected<QString, QString> writeBackup(const QString &folder, const QByteArray &bytes)
{
    const QString path = QDir(folder).filePath(kBackupName);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return std::unexpected(file.errorString());
    return path;
}

// Why the file at `file` cannot be read from the iPod.
PreferencesRefusal readRefusal(const IpodError &error, const QString &file)
{
    using Kind = PreferencesRefusal::Kind;
    if (error.isLink())
        return refusal(Kind::Link, error.reason());
    if (error.code == ENOENT || error.code == ENOTDIR)
        return refusal(
            Kind::Missing,
            QStringLiteral("The preferences file %1 was not found on your iPod, so there is nothing to change.")
                .arg(shown(file)));
    return refusal(Kind::Unreadable,
                   QStringLiteral("The preferences file %1 could not be read: %2").arg(shown(file), error.reason()));
}

// The file on the iPod, read through its folders: its name, identity and bytes.
std::expected<LoadedPreferences, PreferencesRefusal> readFromiPod(const QString &iPodDrive)
{
    LoadedPreferences loaded;
    loaded.iPodDrive = iPodDrive;
    loaded.name = kPreferencesName;
    loaded.file = iPodDrive + QLatin1Char('/') + kPreferencesFolder + QLatin1Char('/') + kPreferencesName;
    const std::expected<IpodFolder, IpodError> folder = IpodFolder::open(iPodDrive, kPreferencesFolder);
    if (!folder)
        return std::unexpected(readRefusal(folder.error(), loaded.file));
    loaded.name = folder->entryName(kPreferencesName);
    loaded.file = folder->pathOf(loaded.name);
    const std::expected<FileHandle, IpodError> file = folder->openForRead(loaded.name);
    if (!file)
        return std::unexpected(readRefusal(file.error(), loaded.file));
    struct stat info
    {
    };
    if (::fstat(file->fd(), &info) != 0)
        return std::unexpected(readRefusal({errno, loaded.file}, loaded.file));
    loaded.device = info.st_dev;
    loaded.inode = info.st_ino;
    const std::expected<QByteArray, int> bytes = readStart(file->fd(), kLargestFile + 1);
    if (!bytes)
        return std::unexpected(readRefusal({bytes.error(), loaded.file}, loaded.file));
    loaded.image = *bytes;
    return loaded;
}

// Whether the open file is still the one that was loaded.
bool isTheLoadedFile(int fd, const LoadedPreferences &loaded)
{
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || info.st_dev != loaded.device || info.st_ino != loaded.inode ||
        info.st_size != loaded.image.size())
        return false;
    const std::expected<QByteArray, int> now = readStart(fd, loaded.image.size() + 1);
    return now && *now == loaded.image;
}

} // namespace

QString userDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Corvanel");
}

Message structureMessage()
{
    return {QStringLiteral("Error!\""),
            QStringLiteral("The structure of the preferences file is different to the version this program was made to "
                           "work with. This program will not change your values as it may be dangerous!"),
            MessageIcon::Information, MessageButtons::Ok};
}

Message changedMessage(const QString &file)
{
    return {kProgramTitle,
            QStringLiteral("The preferences file on your iPod (%1) has changed since Power Save Mode read it: another "
                           "iPod may be mounted in its place, or it was synced. Nothing was written. Open Power Save "
                           "Mode again to see the settings as they are now.")
                .arg(shown(file)),
            MessageIcon::Warning, MessageButtons::Ok};
}

Message savedMessage()
{
    return {kProgramTitle,
            QStringLiteral("All the settings have been saved, but remember, for these options to actually work, you "
                           "need to reset your iPod. Working on a way to change that soon..."),
            MessageIcon::None, MessageButtons::Ok};
}

std::expected<QString, QString> backUpPreferences(const QByteArray &bytes, const QString &programFolder)
{
    const std::expected<QString, QString> beside = writeBackup(programFolder, bytes);
    if (beside)
        return beside;
    // An installed copy's folder belongs to the system: the user's own data folder serves.
    const QString data = userDataFolder();
    if (!QDir().mkpath(data))
        return std::unexpected(QStringLiteral("%1 could not be created").arg(shown(data)));
    const std::expected<QString, QString> own = writeBackup(data, bytes);
    if (!own)
        return std::unexpected(QStringLiteral("%1 (%2); %3 (%4)")
                                   .arg(shown(QDir(programFolder).filePath(kBackupName)), beside.error(),
                                        shown(QDir(data).filePath(kBackupName)), own.error()));
    return own;
}

std::expected<LoadedPreferences, PreferencesRefusal> loadPreferences(const QString &iPodDrive,
                                                                     const QString &programFolder)
{
    using Kind = PreferencesRefusal::Kind;
    if (iPodDrive.isEmpty() || !QFileInfo(iPodDrive).isDir())
        return std::unexpected(refusal(
            Kind::Missing, QStringLiteral("Your iPod could not be found at %1. Make sure it is connected and mounted, "
                                          "then try again.")
                               .arg(shown(iPodDrive))));
    std::expected<LoadedPreferences, PreferencesRefusal> read = readFromiPod(iPodDrive);
    if (!read)
        return read;
    LoadedPreferences loaded = std::move(*read);
    const QByteArray bytes = loaded.image;
    if (bytes.size() > kLargestFile)
        return std::unexpected(PreferencesRefusal{Kind::Structure, structureMessage()});

    const std::expected<QString, QString> working = makeWorkingCopy(bytes);
    if (!working)
        return std::unexpected(refusal(
            Kind::Unreadable,
            QStringLiteral("The preferences file could not be copied to a working copy: %1").arg(working.error())));
    const std::expected<QString, QString> backup = backUpPreferences(bytes, programFolder);
    if (!backup) {
        QFile::remove(*working);
        return std::unexpected(
            refusal(Kind::NoBackup, QStringLiteral("The preferences file could not be backed up to %1. This "
                                                   "program will not change your values without a backup.")
                                        .arg(backup.error())));
    }
    loaded.backup = *backup;
    const std::expected<QByteArray, QString> image = readWhole(*working);
    QFile::remove(*working);
    if (!image)
        return std::unexpected(refusal(
            Kind::Unreadable,
            QStringLiteral("The working copy of the preferences file could not be read: %1").arg(image.error())));
    loaded.image = *image;
    const std::optional<PowerStates> states = readPowerStates(loaded.image);
    if (!states)
        return std::unexpected(PreferencesRefusal{Kind::Structure, structureMessage()});
    loaded.states = *states;
    return loaded;
}

std::expected<void, Message> savePreferences(const LoadedPreferences &loaded, const QByteArray &image)
{
    auto failed = [&loaded](const IpodError &error) {
        return std::unexpected(error.isLink() ? refusal(PreferencesRefusal::Kind::Link, error.reason()).message
                                              : Message{QStringLiteral("Error!"),
                                                        QStringLiteral("Your settings could not be saved to %1: %2")
                                                            .arg(shown(loaded.file), error.reason()),
                                                        MessageIcon::Critical, MessageButtons::Ok});
    };
    const std::expected<IpodFolder, IpodError> folder = IpodFolder::open(loaded.iPodDrive, kPreferencesFolder);
    if (!folder)
        return failed(folder.error());
    // Opened for writing without O_CREAT or O_TRUNC: the existing file is overwritten in place.
    std::expected<FileHandle, IpodError> file = folder->openForWrite(loaded.name);
    if (!file)
        return failed(file.error());
    if (!isTheLoadedFile(file->fd(), loaded))
        return std::unexpected(changedMessage(loaded.file));
    int error = writeAll(file->fd(), image);
    if (error == 0 && ::fsync(file->fd()) != 0)
        error = errno;
    if (const int closed = file->close(); error == 0)
        error = closed;
    if (error != 0)
        return failed({error, loaded.file});
    return {};
}

} // namespace corvanel::device
