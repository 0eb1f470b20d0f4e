#include "TimeText.h"

namespace corvanel::app {

QString TwoDigits(int32_t Number)
{
    QString text = QString::number(Number);
    if (text.size() == 1)
        text.prepend(QLatin1Char('0'));
    return text;
}

QString ConvertToTime(int32_t Time, bool RoundOther)
{
    // A damaged database can hold a negative length; show it as a signed time rather than
    // a mix of signs such as "0:-5". 64-bit so that the magnitude of INT32_MIN fits.
    const bool negative = Time < 0;
    const int64_t magnitude = negative ? -static_cast<int64_t>(Time) : Time;
    int64_t seconds = magnitude / 1000;
    if (RoundOther && magnitude % 1000 != 0)
        ++seconds;
    const QString text =
        QString::number(seconds / 60) + QLatin1Char(':') + TwoDigits(static_cast<int32_t>(seconds % 60));
    return negative ? QLatin1Char('-') + text : text;
}

} // namespace corvanel::app
