#pragma once
// The flag-files dialog: three behaviours of the iPod's firmware, switched by the presence of
// empty marker files. The file work is iPodFlags' and runs off the UI thread; nothing that
// fails is reported, except a link that was left alone.
#include "FlagFiles.h"
#include "frmDeviceWindow.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace corvanel::device {

class BackgroundTask;

class frmiPodHacks : public DeviceWindow
{
    Q_OBJECT

public:
    explicit frmiPodHacks(const QString &iPodDrive, QWidget *owner = nullptr);
    ~frmiPodHacks() override;

    // Looks for the markers in the background, ticks the boxes of those present, and shows the
    // dialog modal to its owner; loadFinished follows.
    void Form_Load();
    void cmdApply_Click();
    void cmdOK_Click();
    void cmdReset_Click();
    void cmdCancel_Click();

    QCheckBox *chkVolt = nullptr;
    QCheckBox *chkSleep = nullptr;
    QCheckBox *chkCache = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdApply = nullptr;
    QPushButton *cmdReset = nullptr;
    QPushButton *cmdCancel = nullptr;

signals:
    void loadFinished();
    // The file work of Apply or Reset is over.
    void filesChanged();

protected:
    void reject() override;

private:
    FlagStates ticked() const;
    // Runs file work in the background; then reports the links it left alone and runs `then`
    // on the UI thread.
    void runFileWork(std::function<QStringList(const iPodFlags &)> work, std::function<void()> then);

    iPodFlags m_flags;
    BackgroundTask *m_task = nullptr;
};

} // namespace corvanel::device
