#pragma once
#include <QString>
#include <cstdint>

namespace corvanel::app {

// A number as at least two digits: 7 gives "07", 12 gives "12".
QString TwoDigits(int32_t Number);

// Milliseconds as minutes and two-digit seconds: 245000 gives "4:05". Seconds are
// truncated; with RoundOther a part second counts as a whole one (59999 gives "1:00").
QString ConvertToTime(int32_t Time, bool RoundOther = false);

// Append to out the text of QString::number(Number) and of ConvertToTime(Time), without
// making a string on the way.
void appendNumber(QString &out, int64_t Number);
void appendTime(QString &out, int32_t Time);

} // namespace corvanel::app
