#pragma once
// Small helpers shared by the windows.
#include <QString>

class QWidget;

namespace corvanel::app {

namespace mdl {
// Asks the desktop to open a file or address with its associated program.
bool OpenDocument(const QString &file, const QString &parameters = QString());
// Starts moving a frameless window from a mouse press.
void DragWindow(QWidget *window);
// Gives a window rounded corners.
void RoundWindow(QWidget *window, int cornerSize);
// The program folder: where corvanel and updater live.
QString programFolder();
// Hands over to the Updater. Without it, says so and removes the downloaded ".new" files.
// Returns true when the Updater was started.
bool RunUpdater(bool FromStartup, QWidget *mainWindow = nullptr, const QString &folder = programFolder());
// True when a downloaded update waits in the program folder.
bool updatePending(const QString &folder = programFolder());
} // namespace mdl

} // namespace corvanel::app
