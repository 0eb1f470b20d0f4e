#include "SettingsStore.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace corvanel::platform {

QSettings settingsStore()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Corvanel"),
                     QStringLiteral("Corvanel"));
}

QString getSetting(const QString &section, const QString &key, const QString &defaultValue)
{
    QSettings store = settingsStore();
    const QVariant value = store.value(section + QLatin1Char('/') + key);
    if (!value.isValid())
        return defaultValue;
    // A hand-edited value with commas reads back as a list; keep it as the text it was.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void saveSetting(const QString &section, const QString &key, const QString &value)
{
    QSettings store = settingsStore();
    store.setValue(section + QLatin1Char('/') + key, value);
}

QString fromBoolean(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

std::optional<double> toNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(QLatin1Char('&')) && trimmed.size() > 2) {
        const QChar radixChar = trimmed.at(1).toUpper();
        const int radix = radixChar == QLatin1Char('H') ? 16 : radixChar == QLatin1Char('O') ? 8 : 0;
        if (radix == 0)
            return std::nullopt;
        const QString digits = trimmed.mid(2);
        static const QRegularExpression hexDigits(QStringLiteral("^[0-9A-Fa-f]{1,8}$"));
        static const QRegularExpression octDigits(QStringLiteral("^[0-7]{1,11}$"));
        if (!(radix == 16 ? hexDigits : octDigits).match(digits).hasMatch())
            return std::nullopt;
        bool ok = false;
        const qulonglong value = digits.toULongLong(&ok, radix);
        if (!ok || value > 0xFFFFFFFFULL)
            return std::nullopt;
        // Like the classic runtime, 32 bits of hexadecimal are a signed long: &HFFFFFFFF is -1.
        if (value > 0xFFFFULL)
            return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)));
        // Up to 16 bits they are an Integer: &HFFFF is -1.
        return static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(value)));
    }
    static const QRegularExpression decimal(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    if (!decimal.match(trimmed).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<bool> toBoolean(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    const std::optional<double> number = toNumber(trimmed);
    if (!number)
        return std::nullopt;
    return *number != 0.0;
}

std::optional<int32_t> toInt32(const QString &text)
{
    const std::optional<double> number = toNumber(text);
    if (!number)
        return std::nullopt;
    // Round half to even (the default floating-point rounding mode).
    const double rounded = std::nearbyint(*number);
    if (rounded < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::nullopt;
    return static_cast<int32_t>(rounded);
}

} // namespace corvanel::platform
