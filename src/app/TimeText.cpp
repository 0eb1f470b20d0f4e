#include "TimeText.h"

namespace corvanel::app {

namespace {
// Room for any of the texts below: a sign, 19 digits, a colon and two more.
constexpr int kRoom = 24;

// Writes the decimal digits of value so that they end just before `end`; returns their start.
// A large library formats these numbers for every song, so no text is made on the way.
char16_t *writeDecimal(char16_t *end, uint64_t value)
{
    do {
        *--end = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value);
    return end;
}

char16_t *writeNumber(char16_t *end, int64_t number)
{
    char16_t *start = writeDecimal(end, number < 0 ? 0 - static_cast<uint64_t>(number) : uint64_t(number));
    if (number < 0)
        *--start = u'-';
    return start;
}

char16_t *writeTime(char16_t *end, int32_t Time, bool RoundOther)
{
    // A damaged database can hold a negative length; show it as a signed time rather than
    // a mix of signs such as "0:-5". 64-bit so that the magnitude of INT32_MIN fits.
    const bool negative = Time < 0;
    const int64_t magnitude = negative ? -static_cast<int64_t>(Time) : Time;
    int64_t seconds = magnitude / 1000;
    if (RoundOther && magnitude % 1000 != 0)
        ++seconds;
    char16_t *start = end;
    *--start = static_cast<char16_t>(u'0' + seconds % 60 % 10);
    *--start = static_cast<char16_t>(u'0' + seconds % 60 / 10);
    *--start = u':';
    start = writeDecimal(start, static_cast<uint64_t>(seconds / 60));
    if (negative)
        *--start = u'-';
    return start;
}

QString textOf(const char16_t *start, const char16_t *end)
{
    return QString(reinterpret_cast<const QChar *>(start), end - start);
}

void append(QString &out, const char16_t *start, const char16_t *end)
{
    out.append(reinterpret_cast<const QChar *>(start), end - start);
}
} // namespace

QString TwoDigits(int32_t Number)
{
    char16_t buffer[kRoom];
    char16_t *const end = buffer + kRoom;
    char16_t *start = writeNumber(end, Number);
    if (end - start == 1)
        *--start = u'0';
    return textOf(start, end);
}

QString ConvertToTime(int32_t Time, bool RoundOther)
{
    char16_t buffer[kRoom];
    char16_t *const end = buffer + kRoom;
    return textOf(writeTime(end, Time, RoundOther), end);
}

void appendNumber(QString &out, int64_t Number)
{
    char16_t buffer[kRoom];
    char16_t *const end = buffer + kRoom;
    append(out, writeNumber(end, Number), end);
}

void appendTime(QString &out, int32_t Time)
{
    char16_t buffer[kRoom];
    char16_t *const end = buffer + kRoom;
    append(out, writeTime(end, Time, false), end);
}

} // namespace corvanel::app
