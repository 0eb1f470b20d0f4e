#include "clsBrowseFolder.h"

#include "clsBrowseFolderDialog.h"

#include "Dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>

namespace corvanel::platform {

namespace {

const QString kSource = QStringLiteral("Corvanel.cBrowseForFolder");
const QString kPathInvalid = QStringLiteral("Path invalid: ");

} // namespace

BrowseFolderError::BrowseFolderError(int errorNumber, const QString &errorDescription, const QString &errorSource)
    : std::runtime_error(errorDescription.toStdString()), number(errorNumber), description(errorDescription),
      source(errorSource)
{
}

clsBrowseFolder::clsBrowseFolder(QObject *parent) : QObject(parent) {}

clsBrowseFolder::~clsBrowseFolder()
{
    // Destroyed from one of its own handlers: the dialog closes as if cancelled.
    if (m_dialog)
        m_dialog->finish(QDialog::Rejected);
}

int clsBrowseFolder::flags() const
{
    int word = 0;
    if (m_editBox)
        word |= kFlagEditBox;
    if (m_statusText)
        word |= kFlagStatusText;
    if (m_fileSystemOnly)
        word |= kFlagFileSystemOnly;
    if (m_validateEditBox)
        word |= kFlagValidateEditBox;
    if (m_useNewUI)
        word |= kFlagUseNewUI;
    if (m_includeFiles)
        word |= kFlagIncludeFiles;
    return word;
}

QString clsBrowseFolder::BrowseForFolder()
{
    if (m_dialog)
        return {};
    m_result.clear();
    m_displayName.clear();
    m_selectionAllowed = false;

    BrowseFolderSetup setup;
    setup.title = m_title;
    setup.rootDir = m_rootDir;
    setup.initialDir = m_initialDir;
    setup.editBox = m_editBox;
    setup.statusText = m_statusText;
    setup.newFolder = m_useNewUI;
    setup.includeFiles = m_includeFiles;
    QPointer<clsBrowseFolderDialog> dialog = new clsBrowseFolderDialog(setup, m_owner);
    m_dialog = dialog;
    connect(dialog, &clsBrowseFolderDialog::currentPathChanged, this, &clsBrowseFolder::onSelection,
            Qt::DirectConnection);
    connect(dialog, &clsBrowseFolderDialog::acceptRequested, this, &clsBrowseFolder::onAcceptRequested,
            Qt::DirectConnection);
    connect(dialog, &clsBrowseFolderDialog::typedTextEdited, this, &clsBrowseFolder::onTextEdited,
            Qt::DirectConnection);
    // Announced from inside the dialog's own event loop, so that a handler may already close it.
    QPointer<clsBrowseFolder> self(this);
    QTimer::singleShot(0, dialog, [self, dialog] {
        if (!self || !dialog)
            return;
        self->onSelection(dialog->currentPath());
        if (self && dialog)
            emit self->Initialized();
    });

    const int code = dialog->exec();
    delete dialog; // gone already when its owner went while it was up
    if (!self)
        return {};
    if (code != QDialog::Accepted) {
        m_result.clear();
        m_displayName.clear();
    }
    return m_result;
}

bool clsBrowseFolder::isShown() const
{
    return m_dialog && m_dialog->isVisible();
}

void clsBrowseFolder::checkShown() const
{
    if (!isShown())
        throw BrowseFolderError(kErrDialogNotShown, QStringLiteral("Operation invalid unless dialog is displayed."),
                                kSource);
}

void clsBrowseFolder::SetFolder(const QString &path)
{
    checkShown();
    m_dialog->selectPath(path);
    m_dialog->raise();
    m_dialog->activateWindow();
}

void clsBrowseFolder::SetStatus(const QString &text)
{
    checkShown();
    m_dialog->setStatus(text);
}

QWidget *clsBrowseFolder::dialogWindow() const
{
    checkShown();
    return m_dialog;
}

bool clsBrowseFolder::acceptable(const QString &path) const
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return false;
    if (m_dialog && !isWithin(info.absoluteFilePath(), m_dialog->rootPath()))
        return false;
    return info.isDir() || (m_includeFiles && !m_fileSystemOnly);
}

void clsBrowseFolder::onSelection(const QString &path)
{
    if (!m_dialog)
        return;
    m_dialog->setStatus(QDir::toNativeSeparators(path));
    bool allow = true;
    emit SelectionChanged(path, allow);
    if (!m_dialog)
        return;
    m_selectionAllowed = allow && acceptable(path);
    m_dialog->setOkEnabled(m_selectionAllowed);
}

void clsBrowseFolder::onTextEdited()
{
    // Typing again after a refused path gives OK back; what was typed is checked on OK.
    if (m_dialog)
        m_dialog->setOkEnabled(m_selectionAllowed || !m_dialog->typedText().trimmed().isEmpty());
}

void clsBrowseFolder::onAcceptRequested()
{
    if (!m_dialog)
        return;
    // OK while refused (a call, not the disabled button): nothing is chosen.
    if (!m_dialog->okEnabled())
        return finish({});
    const QString typed = m_dialog->typedText();
    if (typed.trimmed().isEmpty())
        return finish(m_dialog->currentPath());
    const QString path = resolveTyped(typed, folderOf(m_dialog->currentPath()));
    if (acceptable(path))
        return finish(path);
    if (!m_validateEditBox) {
        // Without validation the typed path is not passed over in silence either: the user
        // is told and can correct it.
        dialogs().message({m_title, kPathInvalid + typed, MessageIcon::Warning, MessageButtons::Ok});
        return;
    }
    m_dialog->setOkEnabled(false);
    m_dialog->setStatus(kPathInvalid + typed);
    bool keepOpen = false;
    emit ValidationFailed(typed, keepOpen);
    if (!keepOpen && m_dialog)
        finish({});
}

void clsBrowseFolder::finish(const QString &chosen)
{
    const bool usable = acceptable(chosen);
    m_result = usable ? QDir::cleanPath(QFileInfo(chosen).absoluteFilePath()) : QString();
    m_displayName = usable ? displayNameOf(m_result) : QString();
    m_dialog->finish(QDialog::Accepted);
}

QString clsBrowseFolder::SpecialFolderLocation(int folder)
{
    QStandardPaths::StandardLocation location;
    switch (folder) {
    case 0:
    case 16:
        location = QStandardPaths::DesktopLocation;
        break;
    case 5:
        location = QStandardPaths::DocumentsLocation;
        break;
    case 13:
        location = QStandardPaths::MusicLocation;
        break;
    case 14:
        location = QStandardPaths::MoviesLocation;
        break;
    case 39:
        location = QStandardPaths::PicturesLocation;
        break;
    case 40:
        location = QStandardPaths::HomeLocation;
        break;
    default:
        return {};
    }
    return QStandardPaths::writableLocation(location);
}

} // namespace corvanel::platform
