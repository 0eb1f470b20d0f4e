#pragma once
// The power-save dialog: the current state of the settings in the iPod's Preferences file
// that drain power, and fixed power-saving values written for each box the user ticks. The
// file work is PreferencesEditor's and runs off the UI thread.
#include "PreferencesEditor.h"
#include "frmDeviceWindow.h"
#include "mdlEject.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace corvanel::device {

class BackgroundTask;

class frmiPodPrefs : public DeviceWindow
{
    Q_OBJECT

public:
    explicit frmiPodPrefs(const QString &iPodDrive, const QString &programFolder = defaultProgramFolder(),
                          QWidget *owner = nullptr);
    ~frmiPodPrefs() override;

    // Reads the file in the background; then the dialog shows itself, modal to its owner, or
    // shows why it cannot and closes without being shown. loadFinished tells which.
    void Form_Load();
    // Writes the ticked values in the background, shows the saved message and closes.
    void cmdOK_Click();
    void cmdCancel_Click();

    // What the dialog read, for the tests.
    const LoadedPreferences &loaded() const { return m_loaded; }

    QLabel *lblIntro = nullptr;
    QCheckBox *chkShuffle = nullptr;
    QCheckBox *chkRepeat = nullptr;
    QCheckBox *chkSoundCheck = nullptr;
    QCheckBox *chkEQ = nullptr;
    QCheckBox *chkBacklight = nullptr;
    QCheckBox *chkClicker = nullptr;
    QCheckBox *chkContrast = nullptr;
    QLabel *lblShuffle = nullptr;
    QLabel *lblRepeat = nullptr;
    QLabel *lblSoundCheck = nullptr;
    QLabel *lblEQ = nullptr;
    QLabel *lblBacklight = nullptr;
    QLabel *lblClicker = nullptr;
    QLabel *lblContrast = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

signals:
    void loadFinished(bool shown);

protected:
    void reject() override;

private:
    void showStates(const PowerStates &states);
    void WasError(const Message &message);
    // Shows how the save ended (the saved message, or why nothing was written) and closes.
    void saved(const Message &outcome);

    QString m_iPodDrive;
    QString m_programFolder;
    LoadedPreferences m_loaded;
    BackgroundTask *m_task = nullptr;
};

} // namespace corvanel::device
