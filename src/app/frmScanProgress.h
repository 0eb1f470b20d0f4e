#pragma once
// A small skinned window that shows a scan's status and progress, with a Cancel button.
#include "ScanTask.h"
#include "SkinnedWindow.h"

class QLabel;

namespace corvanel::app {

using namespace corvanel::skin;

class frmScanProgress : public SkinnedWindow
{
    Q_OBJECT
public:
    // Follows `task` until it finishes; Cancel asks it to stop.
    frmScanProgress(const QString &title, const QString &caption, ScanTask &task, QWidget *parent = nullptr);

    QLabel *lblStatus = nullptr;
};

} // namespace corvanel::app
