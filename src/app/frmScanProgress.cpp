#include "frmScanProgress.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <climits>

namespace corvanel::app {

frmScanProgress::frmScanProgress(const QString &title, const QString &caption, ScanTask &task, QWidget *parent)
    : SkinnedWindow(title, parent)
{
    setObjectName(QStringLiteral("frmScanProgress"));
    lblCaption->setText(caption);
    lblStatus = addLine(QStringLiteral("lblStatus"), QStringLiteral("Please wait..."));
    addProgressRow();
    setProgressShown(true);
    barProgress->setRange(0, 0);
    connect(&task, &ScanTask::statusChanged, lblStatus, &QLabel::setText);
    connect(&task, &ScanTask::progressed, this, [this](qint64 done, qint64 total) {
        barProgress->setRange(0, static_cast<int>(std::min<qint64>(total, INT_MAX)));
        barProgress->setValue(static_cast<int>(std::min<qint64>(done, INT_MAX)));
    });
    connect(cmdCancel, &QPushButton::clicked, this, [this, &task] {
        task.cancel();
        cmdCancel->setEnabled(false);
    });
}

} // namespace corvanel::app
