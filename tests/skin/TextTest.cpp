#include "AboutText.h"
#include "TimeText.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <limits>

using namespace corvanel;
using namespace corvanel::app;

TEST(TimeText, TwoDigitsPadsOnlyOneCharacterTexts)
{
    EXPECT_EQ(TwoDigits(0), "00");
    EXPECT_EQ(TwoDigits(7), "07");
    EXPECT_EQ(TwoDigits(12), "12");
    EXPECT_EQ(TwoDigits(123), "123");
    EXPECT_EQ(TwoDigits(-5), "-5");
}

TEST(TimeText, ConvertToTimeTruncatesOrRoundsUpPartSeconds)
{
    EXPECT_EQ(ConvertToTime(245000), "4:05");
    EXPECT_EQ(ConvertToTime(0), "0:00");
    EXPECT_EQ(ConvertToTime(59999), "0:59");
    EXPECT_EQ(ConvertToTime(59999, true), "1:00");
    EXPECT_EQ(ConvertToTime(60000, true), "1:00");
    EXPECT_EQ(ConvertToTime(3600000), "60:00"); // minutes are not split into hours
    EXPECT_EQ(ConvertToTime(std::numeric_limits<int32_t>::max()), "35791:23");
    // A damaged length shows as a negative time, not a mix of signs.
    EXPECT_EQ(ConvertToTime(-5000), "-0:05");
    EXPECT_EQ(ConvertToTime(std::numeric_limits<int32_t>::min()), "-35791:23");
}

TEST(AboutText, TitleAndVersionLine)
{
    EXPECT_EQ(aboutTitle("Corvanel - Play Music From iPod Anywhere!"),
              "Halvetra : Corvanel - Play Music From iPod Anywhere!");
    const QStringList lines = aboutText().split("\r\n");
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(QRegularExpression("^Corvanel version: (0|[1-9][0-9]*)\\.(0|[1-9][0-9]*)\\.(0|[1-9][0-9]*)$")
                    .match(lines[0])
                    .hasMatch())
        << lines[0].toStdString();
    EXPECT_EQ(lines[0], "Corvanel version: " + versionText());
    EXPECT_EQ(lines[1], "A part of Halvetra");
    for (const char *credit : {"Qt", "FFmpeg", "SDL2", "kissfft"})
        EXPECT_TRUE(aboutText().contains(credit)) << credit;
}
