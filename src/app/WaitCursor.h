#pragma once
#include <QCursor>
#include <QGuiApplication>

namespace corvanel::app {

// The hourglass for the whole screen while a piece of work runs.
class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace corvanel::app
