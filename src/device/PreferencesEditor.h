#pragma once
// The file work behind the power-save dialog: the iPod's Preferences file is copied to a
// working copy and backed up before it is read, and written back in place, whole, when the
// user confirms. No widgets: the dialog drives these functions off the UI thread.
#include "Dialogs.h"
#include "PreferencesFile.h"

#include <QByteArray>
#include <QString>
#include <expected>

namespace corvanel::device {

using namespace corvanel::platform;

// The settings file below the iPod's folder, and the backup's name.
inline const QString kPreferencesPath = QStringLiteral("\\iPod_Control\\Device\\Preferences");
inline const QString kBackupName = QStringLiteral("PreferencesBackup");

// The settings file of the iPod mounted at iPodDrive, its folders matched without regard to case.
QString preferencesFile(const QString &iPodDrive);

// The user's own data folder, where the backup goes when the program folder cannot be written.
QString userDataFolder();

// A file the dialog has read, ready to show.
struct LoadedPreferences
{
    QString file;     // the settings file on the iPod
    QString backup;   // where its backup was written
    QByteArray image; // the whole file
    PowerStates states;
};

// Why the dialog does not open: the box to show.
struct PreferencesRefusal
{
    enum class Kind { Missing, Unreadable, NoBackup, Structure };
    Kind kind;
    Message message;
};

// The structure message, with its caption of seven characters.
Message structureMessage();
// The message shown once the file is written.
Message savedMessage();

// Copies the bytes of a settings file to programFolder/PreferencesBackup, replacing an
// earlier backup only once the new one is complete; when that folder cannot be written, to
// the same name in userDataFolder(). Returns the backup's path, or the reason for the user.
std::expected<QString, QString> backUpPreferences(const QByteArray &bytes, const QString &programFolder);

// The load: the iPod and its file must be there; the file is copied to a fresh temporary
// working copy and backed up, the image is read from the working copy (which is then
// removed), and the state words are worked out. A file shorter than kMinimumLength, or with
// an unknown value at an examined offset, gives the structure refusal.
std::expected<LoadedPreferences, PreferencesRefusal> loadPreferences(const QString &iPodDrive,
                                                                     const QString &programFolder);

// Writes the image over the file from offset 0 (not truncated first, as the iPod keeps it),
// and waits until the bytes have reached the device. The error is a sentence for the user.
std::expected<void, QString> savePreferences(const QString &file, const QByteArray &image);

} // namespace corvanel::device
