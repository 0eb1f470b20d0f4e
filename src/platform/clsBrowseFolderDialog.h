#pragma once
// The folder chooser's window: the caption bar, the title above a tree of the file system,
// and by the chooser's flags an edit box, a status line and a "New Folder" button. It only
// shows and reports; clsBrowseFolder decides what OK means.
#include <QDialog>
#include <QPixmap>
#include <QString>

class QVBoxLayout;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QSortFilterProxyModel;
class QTreeView;

namespace corvanel::platform {

// Path rules of the chooser, free of widgets.
// The absolute, cleaned path of an existing folder; "" when path is empty or names none.
QString existingFolder(const QString &path);
// Whether path is root or lies below it. An empty root holds everything.
bool isWithin(const QString &path, const QString &root);
// Text typed into the edit box as an absolute path: "~" is the home folder, and a relative
// name is taken in baseFolder.
QString resolveTyped(const QString &typed, const QString &baseFolder);
// An item's display name: its file name, or the whole path for the file-system root.
QString displayNameOf(const QString &path);
// The folder an item stands in: itself when a folder, else the folder holding it.
QString folderOf(const QString &path);

struct BrowseFolderSetup
{
    QString title;
    QString rootDir;
    QString initialDir;
    bool editBox = false;
    bool statusText = false;
    bool newFolder = false;
    bool includeFiles = false;
};

class clsBrowseFolderDialog : public QDialog
{
    Q_OBJECT

public:
    clsBrowseFolderDialog(const BrowseFolderSetup &setup, QWidget *parent = nullptr);
    ~clsBrowseFolderDialog() override;

    // The folder at the top of the tree; "" when the tree starts at the file-system root.
    QString rootPath() const { return m_root; }
    // The path of the current item; "" when there is none.
    QString currentPath() const;
    // Makes path the current item, opening the tree down to it. False (and nothing changes)
    // when path does not exist or lies outside the tree.
    bool selectPath(const QString &path);

    void setStatus(const QString &text);
    QString status() const;
    // The edit box's text; "" without an edit box.
    QString typedText() const;
    void setOkEnabled(bool enabled);
    bool okEnabled() const;

    // Asks for a name and makes that folder in the current folder, then selects it.
    void newFolder();

    // OK (the button, Enter, or a call) only asks; the chooser answers with finish().
    void accept() override;
    void finish(int result) { QDialog::done(result); }

    QLabel *imgCaption = nullptr;
    QLabel *imgPod = nullptr;
    QLabel *lblCaption = nullptr;
    QLabel *imgClose = nullptr;
    QLabel *lblText = nullptr;
    QTreeView *tvwFolders = nullptr;
    QLineEdit *txtPath = nullptr;        // with the edit box only
    QLabel *lblStatus = nullptr;         // with the status line only
    QPushButton *cmdNewFolder = nullptr; // with the new look only
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

signals:
    void currentPathChanged(const QString &path);
    void acceptRequested();
    void typedTextEdited();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildTree();
    void buildButtons(QVBoxLayout *layout, bool newFolder);
    void preselect(const QString &initialDir);
    QModelIndex viewIndex(const QString &path) const;
    void onCurrentChanged(const QModelIndex &current);
    void followCurrent();
    void scheduleFollow();

    QString m_root;
    bool m_includeFiles = false;
    QFileSystemModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    // The tree fills in as folders load: until the user moves it, a selected item is kept in view.
    bool m_follow = false;
    class QTimer *m_followTimer = nullptr;
    QPixmap m_tile; // the backdrop tile at the window's scale factor
};

} // namespace corvanel::platform
