#pragma once
// What a player program calls itself. Programs here carry no version resource; the desktop
// describes them in its application entries (*.desktop files in the XDG applications
// folders), so a program's name is the Name of the entry whose Exec line runs it.
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace corvanel::playback {

// The version information of a program, in the order the fields are read.
struct FileInfo
{
    QString CompanyName;
    QString FileDescription;
    QString FileVersion;
    QString InternalName;
    QString LegalCopyright;
    QString OriginalFileName;
    QString ProductName;
    QString ProductVersion;
};

// 1 when a desktop entry describes the program at Path (Info filled from it), 2 otherwise
// (Info left with empty strings).
int GetFileInfo(const QString &Path, FileInfo &Info);
// The program's name as the desktop shows it, or an empty string when no entry runs it.
QString GetProductName(const QString &Path);

// One application entry of the desktop.
struct DesktopEntry
{
    QString id;   // desktop file id: the path below "applications" with "/" as "-"
    QString file; // where it was read from
    QString name; // Name, localised when the entry has the user's language
    QString genericName;
    QString comment;
    QString exec; // the Exec line as stored (escapes undone)
    bool noDisplay = false;
};

// Every application entry the desktop would use, read once. Entries of earlier folders hide
// entries with the same id in later ones (XDG_DATA_HOME first, then XDG_DATA_DIRS in order).
class DesktopEntryIndex
{
public:
    // The folders of the current environment.
    DesktopEntryIndex();
    // Reads these "applications" folders, the first taking precedence.
    explicit DesktopEntryIndex(const QStringList &applicationFolders);

    // The entry whose Exec runs the program; shown entries come before hidden ones.
    std::optional<DesktopEntry> entryFor(const QString &programPath) const;
    const std::vector<DesktopEntry> &entries() const { return m_entries; }

    // $XDG_DATA_HOME/applications, then each of $XDG_DATA_DIRS/applications, with the
    // standard defaults when a variable is unset or empty.
    static QStringList applicationFolders();

private:
    QString programOf(const DesktopEntry &entry) const;

    std::vector<DesktopEntry> m_entries;
    mutable QHash<QString, QString> m_resolved; // program name -> canonical path, "" when unknown
};

// The same against an index read beforehand, for looking up several programs at once.
int GetFileInfo(const DesktopEntryIndex &index, const QString &Path, FileInfo &Info);
QString GetProductName(const DesktopEntryIndex &index, const QString &Path);

// Parses one desktop entry file; nothing when it is not a shown application entry.
std::optional<DesktopEntry> readDesktopEntry(const QString &file, const QString &id);
// Splits an Exec value into arguments by the desktop entry quoting rules (double quotes group;
// inside them a backslash escapes ", `, $ and \). Field codes such as %f are kept as they are.
QStringList splitExecLine(const QString &exec);

} // namespace corvanel::playback
