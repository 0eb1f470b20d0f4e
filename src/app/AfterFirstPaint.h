#pragma once
// Work that waits for a window to be on screen: it runs once the window has painted itself
// for the first time and the events queued by showing and painting have been handled.
#include <functional>

class QWidget;

namespace corvanel::app {

void afterFirstPaint(QWidget *window, std::function<void()> work);

} // namespace corvanel::app
