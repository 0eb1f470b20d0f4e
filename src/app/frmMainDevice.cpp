#include "frmMain.h"

#include "frmCopyToiPod.h"
#include "frmMenus.h"
#include "frmiPodHacks.h"
#include "frmiPodInfo.h"
#include "frmiPodPrefs.h"
#include "mdl.h"
#include "mdlEject.h"

#include <QAction>

namespace corvanel::app {

using namespace corvanel::device;

namespace device = corvanel::device;

void frmMain::connectDeviceTools()
{
    auto on = [this](const char *name, void (frmMain::*slot)()) {
        if (QAction *action = m_menus->item(QLatin1String(name)))
            connect(action, &QAction::triggered, this, slot);
    };
    on("mnuHacks", &frmMain::mnuHacks_Click);
    on("mnuPowerSave", &frmMain::mnuPowerSave_Click);
    on("mnuiPodInfo", &frmMain::mnuiPodInfo_Click);
    on("mnuEjectAndClose", &frmMain::mnuEjectAndClose_Click);
    on("mnuCopyToiPod", &frmMain::mnuCopyToiPod_Click);
}

namespace {
// A device window lives until it closes; one that refuses to open goes at once.
template <typename Window> Window *deviceWindow(Window *window)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    return window;
}
} // namespace

void frmMain::mnuHacks_Click()
{
    deviceWindow(new device::frmiPodHacks(m_library.iPodDrive, this))->Form_Load();
}

void frmMain::mnuPowerSave_Click()
{
    auto *dialog = deviceWindow(new device::frmiPodPrefs(m_library.iPodDrive, mdl::programFolder(), this));
    connect(dialog, &device::frmiPodPrefs::loadFinished, dialog, [dialog](bool shown) {
        if (!shown)
            dialog->deleteLater();
    });
    dialog->Form_Load();
}

void frmMain::mnuiPodInfo_Click()
{
    deviceWindow(new device::iPodInfo(m_library.iPodDrive, this))->Form_Load();
}

void frmMain::mnuCopyToiPod_Click()
{
    auto *window = deviceWindow(new device::frmCopyToiPod(m_library.iPodDrive, mdl::programFolder(), this));
    if (!window->start())
        delete window;
}

void frmMain::mnuEjectAndClose_Click()
{
    // With the option checked the shutdown ejects, so the iPod is ejected once either way.
    if (m_menus->mnuEject->isChecked()) {
        close();
        return;
    }
    m_menus->mnuEjectAndClose->setEnabled(false);
    device::EjectiPod(
        m_library.iPodDrive, this, [this] { close(); }, mdl::programFolder());
}

void frmMain::ProcessEject()
{
    if (m_menus && m_menus->mnuEject->isChecked())
        device::EjectiPodAndWait(m_library.iPodDrive, mdl::programFolder());
}

} // namespace corvanel::app
