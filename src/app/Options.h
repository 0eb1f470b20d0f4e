#pragma once
// The check-mark options of the main window and the volume, kept between runs.
#include <QSettings>
#include <cstdint>
#include <functional>
#include <memory>

namespace corvanel::app {

class frmMenus;

// Reads section "Options" and applies it; a value that cannot be read leaves the item as it is.
// applyVolume receives the stored volume (clamped to 0..255).
void LoadOptions(frmMenus &menus, QSettings &store, const std::function<void(int32_t)> &applyVolume);
// Writes the check marks and the volume display's value.
void SaveOptions(const frmMenus &menus, QSettings &store, int32_t volume);

// The settings store of the program: ~/.config/Corvanel/Corvanel.ini.
std::unique_ptr<QSettings> openOptionsStore();

} // namespace corvanel::app
