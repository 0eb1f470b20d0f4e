#include "frmiPodPrefs.h"

#include "BackgroundTask.h"
#include "Dialogs.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvanel::device {

using namespace corvanel::platform;

frmiPodPrefs::frmiPodPrefs(const QString &iPodDrive, const QString &programFolder, QWidget *owner)
    : DeviceWindow("frmiPodPrefs", QStringLiteral("iPod Power Save Mode"), QSize(470, 336), owner),
      m_iPodDrive(iPodDrive), m_programFolder(programFolder), m_task(new BackgroundTask(this))
{
    lblIntro =
        addLabel("lblIntro", QStringLiteral("Power Save Mode sets options on your iPod to conserve power. Please "
                                            "select the options you would like to conserve power with:"));
    content()->addSpacing(4);
    lblShuffle = addCheckLine(chkShuffle, "chkShuffle", "lblShuffle", QStringLiteral("Turn Off Shuffle - Currently "));
    lblRepeat = addCheckLine(chkRepeat, "chkRepeat", "lblRepeat", QStringLiteral("Turn Off Repeat - Currently "));
    lblSoundCheck = addCheckLine(chkSoundCheck, "chkSoundCheck", "lblSoundCheck",
                                 QStringLiteral("Turn Off Soundcheck - Currently "));
    lblEQ = addCheckLine(chkEQ, "chkEQ", "lblEQ", QStringLiteral("Turn Off EQ - Currently "));
    lblBacklight =
        addCheckLine(chkBacklight, "chkBacklight", "lblBacklight", QStringLiteral("Turn Off Backlight - Currently "));
    lblClicker = addCheckLine(chkClicker, "chkClicker", "lblClicker", QStringLiteral("Turn Off Clicker - Currently "));
    lblContrast = addCheckLine(chkContrast, "chkContrast", "lblContrast", QStringLiteral("Turn Contrast Medium"));
    // The contrast line has no state to toggle by its caption.
    lblContrast->removeEventFilter(this);
    lblContrast->setCursor(Qt::ArrowCursor);
    cmdOK = makeButton("cmdOK", QStringLiteral("OK"));
    cmdCancel = makeButton("cmdCancel", QStringLiteral("Cancel"));
    addButtonRow({cmdOK, cmdCancel});
    connect(cmdOK, &QPushButton::clicked, this, &frmiPodPrefs::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmiPodPrefs::cmdCancel_Click);
}

frmiPodPrefs::~frmiPodPrefs() = default;

void frmiPodPrefs::Form_Load()
{
    setBusy(true);
    m_task->run([drive = m_iPodDrive, folder = m_programFolder] { return loadPreferences(drive, folder); },
                [this](std::expected<LoadedPreferences, PreferencesRefusal> result) {
                    setBusy(false);
                    if (!result) {
                        WasError(result.error().message);
                        return;
                    }
                    m_loaded = std::move(*result);
                    showStates(m_loaded.states);
                    setWindowModality(Qt::WindowModal);
                    show();
                    emit loadFinished(true);
                });
}

void frmiPodPrefs::showStates(const PowerStates &states)
{
    lblShuffle->setText(lblShuffle->text() + states.shuffle);
    lblRepeat->setText(lblRepeat->text() + states.repeat);
    lblSoundCheck->setText(lblSoundCheck->text() + states.soundCheck);
    lblEQ->setText(lblEQ->text() + states.equaliser);
    lblBacklight->setText(lblBacklight->text() + states.backlight);
    lblClicker->setText(lblClicker->text() + states.clicker);
}

void frmiPodPrefs::WasError(const Message &message)
{
    dialogs().message(message);
    QDialog::reject();
    emit loadFinished(false);
}

void frmiPodPrefs::cmdOK_Click()
{
    if (busy() || m_loaded.image.isEmpty())
        return;
    PowerSaveChoices choices;
    choices.shuffle = chkShuffle->isChecked();
    choices.repeat = chkRepeat->isChecked();
    choices.soundCheck = chkSoundCheck->isChecked();
    choices.equaliser = chkEQ->isChecked();
    choices.backlight = chkBacklight->isChecked();
    choices.clicker = chkClicker->isChecked();
    choices.contrast = chkContrast->isChecked();
    QByteArray image = m_loaded.image;
    applyPowerSave(image, choices);
    setBusy(true);
    m_task->run(
        [loaded = m_loaded, image] {
            const std::expected<void, Message> written = savePreferences(loaded, image);
            return written ? savedMessage() : written.error();
        },
        [this](const Message &outcome) { saved(outcome); });
}

void frmiPodPrefs::saved(const Message &outcome)
{
    dialogs().message(outcome);
    setBusy(false);
    accept();
}

void frmiPodPrefs::cmdCancel_Click()
{
    reject();
}

void frmiPodPrefs::reject()
{
    // A write under way finishes first: the file is never left half written.
    if (!busy())
        QDialog::reject();
}

} // namespace corvanel::device
