#include "frmiPodHacks.h"

#include "BackgroundTask.h"
#include "Dialogs.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace corvanel::device {

using namespace corvanel::platform;

frmiPodHacks::frmiPodHacks(const QString &iPodDrive, QWidget *owner)
    : DeviceWindow("frmiPodHacks", QStringLiteral("iPod Hacks"), QSize(470, 236), owner), m_flags(iPodDrive),
      m_task(new BackgroundTask(this))
{
    Label1 = addCheckLine(chkVolt, "chkVolt", "Label1",
                          QStringLiteral("Voltage Hack - Show voltage meter instead of battery indicator"));
    Label2 = addCheckLine(chkSleep, "chkSleep", "Label2",
                          QStringLiteral("Deep Sleep - Go to deep sleep every time when you turn your iPod off."));
    Label3 = addCheckLine(chkCache, "chkCache", "Label3",
                          QStringLiteral("Disable Cache - Your iPod will keep its drive spinning at all times, not "
                                         "utilizing the flash memory cache"));
    cmdOK = makeButton("cmdOK", QStringLiteral("OK"));
    cmdApply = makeButton("cmdApply", QStringLiteral("Apply"));
    cmdReset = makeButton("cmdReset", QStringLiteral("Reset"));
    cmdCancel = makeButton("cmdCancel", QStringLiteral("Cancel"));
    addButtonRow({cmdOK, cmdApply, cmdReset, cmdCancel});
    connect(cmdOK, &QPushButton::clicked, this, &frmiPodHacks::cmdOK_Click);
    connect(cmdApply, &QPushButton::clicked, this, &frmiPodHacks::cmdApply_Click);
    connect(cmdReset, &QPushButton::clicked, this, &frmiPodHacks::cmdReset_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmiPodHacks::cmdCancel_Click);
}

frmiPodHacks::~frmiPodHacks() = default;

void frmiPodHacks::Form_Load()
{
    setBusy(true);
    m_task->run([flags = m_flags] { return flags.load(); },
                [this](const FlagStates &present) {
                    setBusy(false);
                    chkVolt->setChecked(present[0]);
                    chkSleep->setChecked(present[1]);
                    chkCache->setChecked(present[2]);
                    setWindowModality(Qt::WindowModal);
                    show();
                    emit loadFinished();
                });
}

FlagStates frmiPodHacks::ticked() const
{
    return {chkVolt->isChecked(), chkSleep->isChecked(), chkCache->isChecked()};
}

void frmiPodHacks::runFileWork(std::function<QStringList(const iPodFlags &)> work, std::function<void()> then)
{
    if (busy())
        return;
    setBusy(true);
    m_task->run([flags = m_flags, work = std::move(work)] { return work(flags); },
                [this, then = std::move(then)](const QStringList &links) {
                    setBusy(false);
                    if (!links.isEmpty())
                        dialogs().message({QStringLiteral("iPod Hacks"), links.join(QLatin1Char('\n')),
                                           MessageIcon::Warning, MessageButtons::Ok});
                    then();
                    emit filesChanged();
                });
}

void frmiPodHacks::cmdApply_Click()
{
    runFileWork([states = ticked()](const iPodFlags &flags) { return flags.apply(states); }, [] {});
}

void frmiPodHacks::cmdOK_Click()
{
    runFileWork([states = ticked()](const iPodFlags &flags) { return flags.apply(states); }, [this] { accept(); });
}

void frmiPodHacks::cmdReset_Click()
{
    runFileWork([](const iPodFlags &flags) { return flags.reset(); },
                [this] {
                    chkVolt->setChecked(false);
                    chkSleep->setChecked(false);
                    chkCache->setChecked(false);
                });
}

void frmiPodHacks::cmdCancel_Click()
{
    reject();
}

void frmiPodHacks::reject()
{
    if (!busy())
        QDialog::reject();
}

} // namespace corvanel::device
