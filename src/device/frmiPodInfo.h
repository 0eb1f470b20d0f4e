#pragma once
// The device information window: the lines of the iPod's SysInfo file, as they are, under the
// model they name.
#include "IpodModel.h"
#include "SysInfo.h"
#include "frmDeviceWindow.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace corvanel::device {

class BackgroundTask;

class iPodInfo : public DeviceWindow
{
    Q_OBJECT

public:
    explicit iPodInfo(const QString &iPodDrive, QWidget *owner = nullptr);
    ~iPodInfo() override;

    // Reads the file in the background, fills the list (or shows the note) and shows the
    // window modal to its owner; loadFinished follows.
    void Form_Load();

    QLabel *lblInfo = nullptr;
    QLabel *lblModel = nullptr; // the model the iPod's files name
    QListWidget *List1 = nullptr;
    QLabel *lblNote = nullptr; // hidden unless the file could not be read
    QPushButton *cmdOK = nullptr;

signals:
    void loadFinished();

private:
    void showModel(const IpodModel &model);

    QString m_iPodDrive;
    BackgroundTask *m_task = nullptr;
};

} // namespace corvanel::device
