#pragma once
// The folder chooser: a skinned dialog over the file system (a tree of folders, and of files
// too when IncludeFiles is set) that hands back the chosen folder's path.
//
// Set the properties, connect to the signals (directly: the bool& arguments are answers)
// and call BrowseForFolder(), which shows the dialog modally over hWndOwner. While the dialog
// is shown, handlers may steer it with SetFolder() and SetStatus() and reach it through
// dialogWindow(); outside that time these three throw BrowseFolderError 26002.
//
// A RootDir or InitialDir that does not name an existing folder is ignored, as is an
// InitialDir outside RootDir: without a root the tree starts at the file-system root, and
// without a start folder the home folder (or else the root) is preselected.
#include <QObject>
#include <QPointer>
#include <QString>
#include <stdexcept>

class QWidget;

namespace corvanel::platform {

class clsBrowseFolderDialog;

// An error raised by the folder chooser: its number, its text (what()) and where it came from.
//   26002  "Operation invalid unless dialog is displayed."  (SetFolder, SetStatus and
//          dialogWindow called while no dialog is shown)
struct BrowseFolderError : std::runtime_error
{
    BrowseFolderError(int errorNumber, const QString &errorDescription, const QString &errorSource);

    int number;
    QString description;
    QString source;
};

inline constexpr int kErrDialogNotShown = 26002;

// The bits of the flag word, one for each Boolean property.
enum BrowseFlag : int {
    kFlagStatusText = 0x4,
    kFlagFileSystemOnly = 0x9,
    kFlagEditBox = 0x10,
    kFlagValidateEditBox = 0x20,
    kFlagUseNewUI = 0x40,
    kFlagIncludeFiles = 0x4000,
};

class clsBrowseFolder : public QObject
{
    Q_OBJECT

public:
    explicit clsBrowseFolder(QObject *parent = nullptr);
    ~clsBrowseFolder() override;

    QWidget *hWndOwner() const { return m_owner; }
    void sethWndOwner(QWidget *owner) { m_owner = owner; }
    QString Title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }
    QString InitialDir() const { return m_initialDir; }
    void setInitialDir(const QString &dir) { m_initialDir = dir; }
    QString RootDir() const { return m_rootDir; }
    void setRootDir(const QString &dir) { m_rootDir = dir; }
    bool EditBox() const { return m_editBox; }
    void setEditBox(bool on) { m_editBox = on; }
    bool StatusText() const { return m_statusText; }
    void setStatusText(bool on) { m_statusText = on; }
    bool FileSystemOnly() const { return m_fileSystemOnly; }
    void setFileSystemOnly(bool on) { m_fileSystemOnly = on; }
    bool ValidateEditBox() const { return m_validateEditBox; }
    void setValidateEditBox(bool on) { m_validateEditBox = on; }
    bool UseNewUI() const { return m_useNewUI; }
    void setUseNewUI(bool on) { m_useNewUI = on; }
    bool IncludeFiles() const { return m_includeFiles; }
    void setIncludeFiles(bool on) { m_includeFiles = on; }
    // The display name of the item chosen by the last BrowseForFolder (its folder name);
    // empty when that call gave no path.
    QString DisplayName() const { return m_displayName; }

    // The flag word built from the Boolean properties (see BrowseFlag).
    int flags() const;

    // Shows the dialog and waits for the user. The chosen folder's absolute path, or "" when
    // the user cancels or the chosen item is not something the flags allow (a file under
    // FileSystemOnly, an item that vanished meanwhile). A call made while the dialog is
    // already shown returns "" at once.
    QString BrowseForFolder();

    bool isShown() const;
    // While shown: selects path in the tree (ignored when it is not in the tree) and brings
    // the dialog to the front.
    void SetFolder(const QString &path);
    // While shown: the status line's text (no effect without StatusText).
    void SetStatus(const QString &text);
    // While shown: the dialog itself.
    QWidget *dialogWindow() const;

    // A standard folder by its number: 0 desktop, 5 documents, 13 music, 14 videos,
    // 16 desktop folder, 39 pictures, 40 home. "" for other numbers or an unknown location.
    static QString SpecialFolderLocation(int folder);

signals:
    // The dialog is up; the preselected folder has been announced through SelectionChanged.
    void Initialized();
    // The selection moved to path; a handler clearing allow disables OK for it.
    void SelectionChanged(const QString &path, bool &allow);
    // OK was pressed with typed text that names no folder (ValidateEditBox); a handler
    // setting keepOpen leaves the dialog open, otherwise it closes and gives "".
    void ValidationFailed(const QString &typed, bool &keepOpen);

private:
    void onSelection(const QString &path);
    void onAcceptRequested();
    void onTextEdited();
    void finish(const QString &chosen);
    void checkShown() const;
    bool acceptable(const QString &path) const;

    QPointer<QWidget> m_owner;
    QString m_title = QStringLiteral("Choose Folder");
    QString m_initialDir;
    QString m_rootDir;
    bool m_editBox = false;
    bool m_statusText = false;
    bool m_fileSystemOnly = false;
    bool m_validateEditBox = false;
    bool m_useNewUI = false;
    bool m_includeFiles = false;
    QString m_displayName;

    QPointer<clsBrowseFolderDialog> m_dialog;
    QString m_result;
    bool m_selectionAllowed = false; // OK's state for the current selection
};

} // namespace corvanel::platform
