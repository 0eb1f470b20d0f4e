#include "Options.h"
#include "SettingsStore.h"
#include "frmMenus.h"

#include <QAction>
#include <algorithm>
#include <optional>

namespace corvanel::app {

using namespace corvanel::platform;

namespace {
// Booleans are read with a default of "1" (true) or "0" (false), as the store's text.
std::optional<bool> readBoolean(QSettings &store, const char *key, bool defaultValue)
{
    const QVariant value = store.value(QLatin1String(key));
    if (!value.isValid())
        return defaultValue;
    return corvanel::platform::toBoolean(value.toString());
}

void applyCheck(frmMenus &menus, const char *item, std::optional<bool> value)
{
    if (QAction *action = menus.item(QLatin1String(item)); action && value)
        action->setChecked(*value);
}

bool isChecked(const frmMenus &menus, const char *item)
{
    const QAction *action = menus.item(QLatin1String(item));
    return action && action->isChecked();
}
} // namespace

void LoadOptions(frmMenus &menus, QSettings &store, const std::function<void(int32_t)> &applyVolume)
{
    store.beginGroup(QStringLiteral("Options"));
    applyCheck(menus, "mnuDefaultOpen", readBoolean(store, "mnuDefaultOpen", true));
    applyCheck(menus, "mnuEmbedded", readBoolean(store, "mnuEmbedded", false));
    applyCheck(menus, "mnuTrayMinYes", readBoolean(store, "mnuMinToTray", true));
    applyCheck(menus, "mnuTrayMinNo", readBoolean(store, "mnuMinToTrayNO", false));
    applyCheck(menus, "mnuUnsupportedFiles", readBoolean(store, "ForceUnsupported", false));
    if (const auto volume =
            corvanel::platform::toInt32(store.value(QStringLiteral("Volume"), QStringLiteral("200")).toString());
        volume && applyVolume)
        applyVolume(std::clamp<int32_t>(*volume, 0, 255));
    applyCheck(menus, "mnuEject", readBoolean(store, "mnuEjectOnClose", false));
    applyCheck(menus, "mnuNotify", readBoolean(store, "NotifyOnSongChange", false));
    store.endGroup();
}

void SaveOptions(const frmMenus &menus, QSettings &store, int32_t volume)
{
    store.beginGroup(QStringLiteral("Options"));
    store.setValue(QStringLiteral("mnuDefaultOpen"),
                   corvanel::platform::fromBoolean(isChecked(menus, "mnuDefaultOpen")));
    store.setValue(QStringLiteral("mnuEmbedded"), corvanel::platform::fromBoolean(isChecked(menus, "mnuEmbedded")));
    store.setValue(QStringLiteral("mnuMinToTray"), corvanel::platform::fromBoolean(isChecked(menus, "mnuTrayMinYes")));
    store.setValue(QStringLiteral("mnuMinToTrayNO"), corvanel::platform::fromBoolean(isChecked(menus, "mnuTrayMinNo")));
    store.setValue(QStringLiteral("Volume"), QString::number(volume));
    store.setValue(QStringLiteral("mnuEjectOnClose"), corvanel::platform::fromBoolean(isChecked(menus, "mnuEject")));
    store.setValue(QStringLiteral("NotifyOnSongChange"),
                   corvanel::platform::fromBoolean(isChecked(menus, "mnuNotify")));
    store.endGroup();
    store.sync();
}

std::unique_ptr<QSettings> openOptionsStore()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Corvanel"),
                                       QStringLiteral("Corvanel"));
}

} // namespace corvanel::app
