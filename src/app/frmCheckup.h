#pragma once
// The iPod check-up's window: runs the check-up on a worker with progress and a Cancel
// button, then lists the findings worst first, each with what to do, and a button for what
// this program can do about it.
#include "IpodCheckup.h"
#include "ScanTask.h"
#include "frmDeviceWindow.h"

#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace corvanel::app {

using corvanel::checkup::CheckupReport;
using corvanel::checkup::Remedy;

class frmCheckup : public corvanel::device::DeviceWindow
{
    Q_OBJECT
public:
    frmCheckup(const QString &iPodDrive, QWidget *owner);
    ~frmCheckup() override;

    // Shows the window and starts the check-up.
    void start();
    // Lists a report's findings in the order given.
    void showReport(const CheckupReport &report);
    const CheckupReport &report() const { return m_report; }
    bool running() const { return m_task->running(); }
    // The remedy buttons shown, in the order of their findings.
    const std::vector<QPushButton *> &remedyButtons() const { return m_remedyButtons; }

    QLabel *lblStatus = nullptr;
    QProgressBar *barProgress = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *cmdClose = nullptr;
    QScrollArea *lstFindings = nullptr;

signals:
    // The user asked for what a finding's button offers.
    void remedyChosen(corvanel::checkup::Remedy remedy);
    void finished();

private:
    void checkupFinished();
    QWidget *findingRow(const corvanel::checkup::Finding &finding);

    QString m_iPodDrive;
    ScanTask *m_task = nullptr;
    CheckupReport m_report;
    QVBoxLayout *m_rows = nullptr;
    std::vector<QPushButton *> m_remedyButtons;
};

} // namespace corvanel::app
