#pragma once
// The file work behind the power-save dialog: the iPod's Preferences file is copied to a
// working copy and backed up before it is read, and written back in place, whole, when the
// user confirms, provided it is still the file that was read. The file is reached through the
// iPod's folders without following a link. No widgets: the dialog drives these functions off
// the UI thread.
#include "Dialogs.h"
#include "PreferencesFile.h"

#include <QByteArray>
#include <QString>

#include <expected>

#include <sys/types.h>

namespace corvanel::device {

using namespace corvanel::platform;

// The settings file's folder below the iPod's folder, its name, and the backup's name.
inline const QString kPreferencesFolder = QStringLiteral("iPod_Control/Device");
inline const QString kPreferencesName = QStringLiteral("Preferences");
inline const QString kBackupName = QStringLiteral("PreferencesBackup");

// The user's own data folder, where the backup goes when the program folder cannot be written.
QString userDataFolder();

// A file the dialog has read, ready to show.
struct LoadedPreferences
{
    QString iPodDrive;
    QString name;     // the file's name in its folder, in the case the iPod has it
    QString file;     // the settings file on the iPod, for messages
    QString backup;   // where its backup was written
    QByteArray image; // the whole file
    PowerStates states;
    // Which file was read: a save writes only over the same one.
    dev_t device = 0;
    ino_t inode = 0;
};

// Why the dialog does not open: the box to show.
struct PreferencesRefusal
{
    enum class Kind { Missing, Unreadable, NoBackup, Structure, Link };
    Kind kind;
    Message message;
};

// The structure message, with its caption of seven characters.
Message structureMessage();
// The message shown once the file is written.
Message savedMessage();
// The message when the file on the iPod is no longer the one the dialog read.
Message changedMessage(const QString &file);

// Copies the bytes of a settings file to programFolder/PreferencesBackup, replacing an
// earlier backup only once the new one is complete; when that folder cannot be written, to
// the same name in userDataFolder(). Returns the backup's path, or the reason for the user.
std::expected<QString, QString> backUpPreferences(const QByteArray &bytes, const QString &programFolder);

// The load: the iPod and its file must be there, and neither the file nor its folders may be
// links; the file is copied to a fresh temporary working copy and backed up, the image is
// read from the working copy (which is then removed), and the state words are worked out. A
// file shorter than kMinimumLength, or with an unknown value at an examined offset, gives the
// structure refusal.
std::expected<LoadedPreferences, PreferencesRefusal> loadPreferences(const QString &iPodDrive,
                                                                     const QString &programFolder);

// Writes the image over the loaded file from offset 0 (not truncated first, as the iPod keeps
// it), and waits until the bytes have reached the device. Nothing is written unless the file
// is still the one that was loaded: the same device, inode, size and bytes. The error is the
// box to show.
std::expected<void, Message> savePreferences(const LoadedPreferences &loaded, const QByteArray &image);

} // namespace corvanel::device
