#pragma once
// The dialogs service over Qt's own message, input, colour and file dialogs.
#include "Dialogs.h"

#include <memory>

class QDialog;
class QFileDialog;
class QWidget;

namespace corvanel::platform {

class clsBrowseFolder;

class QtDialogs : public Dialogs
{
public:
    // Texts with more lines than this go to the scrolling box.
    static constexpr int maxMessageLines = 25;
    // What a box's action button ends it with: no standard button has this value.
    static constexpr int ActionResult = 1;

    MessageResult message(const Message &message) override;
    std::optional<QString> input(const QString &title, const QString &prompt,
                                 const QString &defaultText = QString()) override;
    std::optional<QColor> chooseColor(const QColor &initial) override;
    std::optional<QString> chooseProgram(const QString &title, const QString &startFolder) override;
    std::optional<QString> chooseFolder(const QString &title, const QString &startFolder) override;
    std::optional<QString> chooseSaveFile(const QString &title, const QString &suggested,
                                          const QString &filters) override;

    // The window a box belongs to: the open modal one, else the active window (or none).
    static QWidget *owner();

    // True when the text does not suit a plain message box: more than maxMessageLines lines,
    // or, once wrapped, taller than the screen that would show it.
    static bool needsScrollingBox(const QString &text, QWidget *parent = nullptr);

    // The dialog that message() runs, built but not shown: a QMessageBox, or for long texts
    // the scrolling box (a read-only QPlainTextEdit named "messageText", the requested buttons
    // and a "Copy" button named "copyButton"). Its exec() result is a QMessageBox::StandardButton
    // value, or 0 when the window was closed.
    static std::unique_ptr<QDialog> createMessageWidget(const Message &message, QWidget *parent = nullptr);

    // The program chosen in the chooser, or nothing when the choice is not an executable file.
    static std::optional<QString> acceptedProgram(const QStringList &selectedFiles);
    // The program chooser: filter "Programs (*)", lists only executable files.
    static std::unique_ptr<QFileDialog> createProgramChooser(const QString &title, const QString &startFolder,
                                                             QWidget *parent = nullptr);
    // The folder chooser: new style, file-system folders only, files shown.
    static std::unique_ptr<clsBrowseFolder> createFolderChooser(const QString &title, const QString &startFolder,
                                                                QWidget *parent = nullptr);

    // Maps an exec() result of createMessageWidget's dialog to the answer; closing the window
    // gives the box's cancelling answer (Ok, No or Cancel).
    static MessageResult resultFromExec(int execResult, MessageButtons buttons);
};

} // namespace corvanel::platform
