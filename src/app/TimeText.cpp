#include "TimeText.h"

namespace corvanel::app {

namespace {
// Writes the decimal digits of value so that they end just before `end`; returns their start.
// A large library formats these numbers for every song, so each text is made in one step.
char16_t *writeDecimal(char16_t *end, uint64_t value)
{
    do {
        *--end = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value);
    return end;
}

QString textOf(const char16_t *start, const char16_t *end)
{
    return QString(reinterpret_cast<const QChar *>(start), end - start);
}
} // namespace

QString TwoDigits(int32_t Number)
{
    char16_t buffer[16];
    char16_t *const end = buffer + 16;
    const bool negative = Number < 0;
    char16_t *start = writeDecimal(end, negative ? uint64_t(-int64_t(Number)) : uint64_t(Number));
    if (negative)
        *--start = u'-';
    else if (end - start == 1)
        *--start = u'0';
    return textOf(start, end);
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
    char16_t buffer[24];
    char16_t *const end = buffer + 24;
    char16_t *start = end;
    *--start = static_cast<char16_t>(u'0' + seconds % 60 % 10);
    *--start = static_cast<char16_t>(u'0' + seconds % 60 / 10);
    *--start = u':';
    start = writeDecimal(start, static_cast<uint64_t>(seconds / 60));
    if (negative)
        *--start = u'-';
    return textOf(start, end);
}

} // namespace corvanel::app
