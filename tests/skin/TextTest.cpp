#include "TimeText.h"

#include <gtest/gtest.h>

#include <limits>

using namespace corvanel;
using namespace corvanel::app;

TEST(TimeText, PartSecondsLongAndDamagedLengths)
{
    // Track numbers in file names: no overflow at the extreme.
    EXPECT_EQ(TwoDigits(std::numeric_limits<int32_t>::min()), "-2147483648");
    EXPECT_EQ(ConvertToTime(245000), "4:05");
    EXPECT_EQ(ConvertToTime(59999), "0:59");
    EXPECT_EQ(ConvertToTime(59999, true), "1:00");
    EXPECT_EQ(ConvertToTime(60000, true), "1:00");
    EXPECT_EQ(ConvertToTime(3600000), "60:00"); // minutes are not split into hours
    EXPECT_EQ(ConvertToTime(std::numeric_limits<int32_t>::max()), "35791:23");
    // A damaged length shows as a negative time, not a mix of signs.
    EXPECT_EQ(ConvertToTime(-5000), "-0:05");
    EXPECT_EQ(ConvertToTime(std::numeric_limits<int32_t>::min()), "-35791:23");
    // The search texts append the same numbers and times.
    for (const int32_t value : {0, 7, 245000, -5000, std::numeric_limits<int32_t>::min()}) {
        QString out = QStringLiteral("x");
        appendNumber(out, value);
        appendTime(out, value);
        EXPECT_EQ(out, "x" + QString::number(value) + ConvertToTime(value)) << value;
    }
}
