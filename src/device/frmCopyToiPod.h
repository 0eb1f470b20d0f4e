#pragma once
// The copy of the program onto the iPod, with its progress: the program folder's files go to
// the iPod's "Corvanel" folder on a worker thread while this window shows how far it is.
#include "frmDeviceWindow.h"
#include "mdlEject.h"

class QLabel;
class QProgressBar;

namespace corvanel::device {

class ProgramCopy;

class frmCopyToiPod : public DeviceWindow
{
    Q_OBJECT

public:
    frmCopyToiPod(const QString &iPodDrive, const QString &programFolder = defaultProgramFolder(),
                  QWidget *owner = nullptr);
    ~frmCopyToiPod() override;

    // Refuses with its message when the program runs from the iPod (false: nothing shown);
    // otherwise shows the window and starts the copy. When it ends the outcome's message is
    // shown, the window closes and copyFinished tells the errno (0 for success).
    bool start();

    QLabel *lblStatus = nullptr;
    QProgressBar *barProgress = nullptr;

signals:
    void copyFinished(int error);

protected:
    void reject() override;

private:
    void showProgress(int64_t done, int64_t total);
    void finish(int error, const QString &reason);

    QString m_iPodDrive;
    QString m_programFolder;
    ProgramCopy *m_copy = nullptr;
};

} // namespace corvanel::device
