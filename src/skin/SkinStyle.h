#pragma once
// The one look of every window, menu and message box: a style sheet over the metal backdrop.
class QWidget;
class QString;

namespace corvanel::skin {

// The program's style sheet. Rules that belong to one window are scoped by its object name.
const QString &styleSheet();

// Gives a window (and the dialogs it owns, which inherit it) the program's look.
void applyStyle(QWidget *window);

} // namespace corvanel::skin
