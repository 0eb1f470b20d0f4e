#include "AboutText.h"
#include "TimeText.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <limits>

using namespace corvanel;
using namespace corvanel::app;

TEST(TimeText, PartSecondsLongAndDamagedLengths)
{
    EXPECT_EQ(ConvertToTime(245000), "4:05");
    EXPECT_EQ(ConvertToTime(59999), "0:59");
    EXPECT_EQ(ConvertToTime(59999, true), "1:00");
    EXPECT_EQ(ConvertToTime(60000, true), "1:00");
    EXPECT_EQ(ConvertToTime(3600000), "60:00"); // minutes are not split into hours
    EXPECT_EQ(ConvertToTime(std::numeric_limits<int32_t>::max()), "35791:23");
    // A damaged length shows as a negative time, not a mix of signs.
    EXPECT_EQ(ConvertToTime(-5000), "-0:05");
    EXPECT_EQ(ConvertToTime(std::numeric_limits<int32_t>::min()), "-35791:23");
}

TEST(AboutText, VersionLineAndCredits)
{
    const QString text = aboutText();
    const QString first = text.section("\r\n", 0, 0);
    EXPECT_TRUE(QRegularExpression("^Corvanel version: (0|[1-9][0-9]*)\\.(0|[1-9][0-9]*)\\.(0|[1-9][0-9]*)$")
                    .match(first)
                    .hasMatch())
        << first.toStdString();
    for (const char *credit : {"Qt", "FFmpeg", "SDL2", "kissfft"})
        EXPECT_TRUE(text.contains(credit)) << credit;
}
