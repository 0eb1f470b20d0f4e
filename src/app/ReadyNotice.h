#pragma once
// Tells whoever started the program that its main window is up. With CORVANEL_READY_FD=n in
// the environment, the line "ready" is written to file descriptor n, which is then closed, once
// the window has painted itself and the event loop has nothing more to do. Scripts and the
// launch benchmark wait for it; without the variable nothing happens.
class QWidget;

namespace corvanel::app {

void announceReadyWhenShown(QWidget *window);

} // namespace corvanel::app
