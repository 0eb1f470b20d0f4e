#pragma once
// The per-user settings store (~/.config/Corvanel/Corvanel.ini, groups per section) and the
// text conversions its values go through: booleans are stored as "True"/"False", numbers as
// decimal text.
#include <QSettings>
#include <QString>
#include <cstdint>
#include <optional>

namespace corvanel::platform {

// The store itself: INI format, user scope, organisation and application "Corvanel".
QSettings settingsStore();

// The stored text of section/key, or defaultValue when the key is missing.
QString getSetting(const QString &section, const QString &key, const QString &defaultValue = QString());
void saveSetting(const QString &section, const QString &key, const QString &value);

// Text to Boolean as the classic runtime converts it: "True"/"False" in any case, or a
// number (0 is false, any other number true: "-1", "1", "2.5"); anything else fails.
std::optional<bool> toBoolean(const QString &text);
// "True" or "False".
QString fromBoolean(bool value);

// Text to a 32-bit integer as the classic runtime converts it: surrounding blanks ignored,
// decimal with an optional sign, fraction and exponent (rounded half to even, 2.5 gives 2),
// or "&H" hexadecimal / "&O" octal of at most 32 bits. Fails on other text and on overflow.
std::optional<int32_t> toInt32(const QString &text);

// The number behind the text as a double (same forms as toInt32, no range check).
std::optional<double> toNumber(const QString &text);

} // namespace corvanel::platform
