#include "PreferencesEditor.h"

#include "NativePath.h"
#include "TempFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace corvanel::device {

using namespace corvanel::library;
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

int writeAll(int fd, const QByteArray &bytes)
{
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0 && errno != EINTR)
            return errno;
        written += std::max<ssize_t>(n, 0);
    }
    return 0;
}

} // namespace

QString preferencesFile(const QString &iPodDrive)
{
    return nativeSongPath(iPodDrive, kPreferencesPath);
}

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
    LoadedPreferences loaded;
    loaded.file = preferencesFile(iPodDrive);
    if (!QFileInfo(loaded.file).isFile())
        return std::unexpected(
            refusal(Kind::Missing,
                    QStringLiteral("The preferences file %1 was not found on your iPod, so there is nothing to change.")
                        .arg(shown(loaded.file))));
    const std::expected<QByteArray, QString> bytes = readWhole(loaded.file);
    if (!bytes)
        return std::unexpected(refusal(
            Kind::Unreadable,
            QStringLiteral("The preferences file %1 could not be read: %2").arg(shown(loaded.file), bytes.error())));
    if (bytes->size() > kLargestFile)
        return std::unexpected(PreferencesRefusal{Kind::Structure, structureMessage()});

    const std::expected<QString, QString> working = makeWorkingCopy(*bytes);
    if (!working)
        return std::unexpected(refusal(
            Kind::Unreadable,
            QStringLiteral("The preferences file could not be copied to a working copy: %1").arg(working.error())));
    const std::expected<QString, QString> backup = backUpPreferences(*bytes, programFolder);
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

std::expected<void, QString> savePreferences(const QString &file, const QByteArray &image)
{
    // Opened for writing without O_CREAT or O_TRUNC: the existing file is overwritten in place.
    const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CLOEXEC);
    int error = fd < 0 ? errno : writeAll(fd, image);
    if (fd >= 0 && error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (fd >= 0 && ::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        return std::unexpected(QStringLiteral("Your settings could not be saved to %1: %2")
                                   .arg(shown(file), QString::fromLocal8Bit(std::strerror(error))));
    return {};
}

} // namespace corvanel::device
