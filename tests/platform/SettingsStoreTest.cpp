#include "SettingsStore.h"

#include <gtest/gtest.h>

using namespace corvanel::platform;

TEST(SettingsStore, BooleanAndNumberTexts)
{
    for (const char *text : {"True", "true", "TRUE", " True ", "-1", "1", "2.5", "&H1", "1e3"})
        EXPECT_EQ(toBoolean(text), true) << text;
    for (const char *text : {"False", "false", "0", "0.0", "-0", " 0 "})
        EXPECT_EQ(toBoolean(text), false) << text;
    for (const char *text : {"", "yes", "Tru", "1x", "--1", "nan", "inf", "&Hxyz", "1,0"})
        EXPECT_EQ(toBoolean(text), std::nullopt) << text;

    EXPECT_EQ(fromBoolean(true), "True");
    EXPECT_EQ(fromBoolean(false), "False");

    // Fractions round half to even.
    const std::pair<const char *, int32_t> good[] = {
        {"200", 200},
        {" -17 ", -17},
        {"+5", 5},
        {"2.5", 2},
        {"3.5", 4},
        {"-2.5", -2},
        {"2.51", 3},
        {".5", 0},
        {"1e2", 100},
        {"&HFF", 255},
        {"&hFFFFFFFF", -1},
        {"&O17", 15},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<int32_t>::min()},
    };
    for (const auto &[text, value] : good)
        EXPECT_EQ(toInt32(text), value) << text;
    for (const char *text :
         {"", " ", "abc", "12abc", "True", "1 2", "0x10", ".", "2147483648", "2147483647.6", "1e300", "&H100000000"})
        EXPECT_EQ(toInt32(text), std::nullopt) << text;
}
