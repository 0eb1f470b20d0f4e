#include "frmCopyToiPod.h"

#include "Dialogs.h"
#include "ProgramCopy.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace corvanel::device {

using namespace corvanel::platform;

frmCopyToiPod::frmCopyToiPod(const QString &iPodDrive, const QString &programFolder, QWidget *owner)
    : DeviceWindow("frmCopyToiPod", QStringLiteral("Copy Corvanel to iPod"), QSize(420, 128), owner),
      m_iPodDrive(iPodDrive), m_programFolder(programFolder), m_copy(new ProgramCopy(this))
{
    lblStatus =
        addLabel("lblStatus", QStringLiteral("Please wait, copying Corvanel to your iPod (%1)...")
                                  .arg(QDir::toNativeSeparators(iPodDrive + QLatin1Char('/') + kiPodProgramFolder)));
    barProgress = new QProgressBar(this);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setRange(0, 1000);
    barProgress->setTextVisible(false);
    barProgress->setFixedHeight(16);
    barProgress->setStyleSheet(
        QStringLiteral("QProgressBar { background: #15181d; border: 1px solid #4a5260; border-radius: 3px; }"
                       "QProgressBar::chunk { background: #e8892b; border-radius: 3px; }"));
    content()->addWidget(barProgress);
    content()->addStretch(1);
    connect(m_copy, &ProgramCopy::progress, this, &frmCopyToiPod::showProgress);
    connect(m_copy, &ProgramCopy::finished, this, &frmCopyToiPod::finish);
}

frmCopyToiPod::~frmCopyToiPod() = default;

bool frmCopyToiPod::start()
{
    if (RunningFromiPod(m_iPodDrive, m_programFolder)) {
        dialogs().message(alreadyThereMessage());
        return false;
    }
    setBusy(true);
    setWindowModality(Qt::WindowModal);
    show();
    m_copy->start(m_iPodDrive, m_programFolder);
    return true;
}

void frmCopyToiPod::showProgress(int64_t done, int64_t total)
{
    if (total > 0)
        barProgress->setValue(static_cast<int>(std::min<int64_t>(done * 1000 / total, 1000)));
}

void frmCopyToiPod::finish(int error, const QString &reason)
{
    barProgress->setValue(1000);
    dialogs().message(error == 0 ? copiedMessage() : copyFailedMessage(m_iPodDrive, error, reason));
    setBusy(false);
    accept();
    emit copyFinished(error);
}

void frmCopyToiPod::reject()
{
    // The copy is not stopped half way: it ends, with its message, and closes the window.
    if (!busy())
        QDialog::reject();
}

} // namespace corvanel::device
