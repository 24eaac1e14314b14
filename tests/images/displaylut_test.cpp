// The display look-up table: linear and gamma tables, flat windows.
#include "images/pixels/displaylut.h"

#include <math.h>
#include <stdint.h>

#include <vector>

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> Lut(int offset, int width, double gamma)
{
    std::vector<uint8_t> t(kLutSize, 0x5A);
    BuildDisplayLut(t.data(), offset, width, gamma);
    return t;
}

// The gamma formula entry by entry.
uint8_t GammaReference(int i, int offset, int width, double gamma)
{
    double x = (i + offset) / (double)width;
    if (x < 0)
        return 0;
    if (x > 1)
        return 255;
    double y = 255.0 * pow(x, gamma + 1);
    return y < 0 ? 0 : y > 255 ? 255 : (uint8_t)(int)y;
}

TEST(DisplayLut, IdentityWindow)
{
    auto t = Lut(0, 255, 0.0);
    for (int i = 0; i < 255; ++i)
        ASSERT_EQ(i, t[i]);
    for (int i = 255; i < kLutSize; ++i)
        ASSERT_EQ(255, t[i]);
}

TEST(DisplayLut, OffsetShiftsTheWindow)
{
    // offset -1000, width 510: entry = (i - 1000) / 2.
    auto t = Lut(-1000, 510, 0.0);
    EXPECT_EQ(0, t[0]);
    EXPECT_EQ(0, t[1000]);
    EXPECT_EQ(0, t[1001]);
    EXPECT_EQ(1, t[1002]);
    EXPECT_EQ(127, t[1255]);
    EXPECT_EQ(254, t[1509]);
    EXPECT_EQ(255, t[1510]);
    EXPECT_EQ(255, t[65535]);
}

TEST(DisplayLut, AutomaticWindowMapsThreeDeviationsToTheEnds)
{
    // mean 2000, sd 100: offset = 300 - 2000, width 600.
    auto t = Lut(300 - 2000, 600, 0.0);
    EXPECT_EQ(0, t[1700]);
    EXPECT_EQ(127, t[2000]);
    EXPECT_EQ(255, t[2300]);
}

TEST(DisplayLut, NegativeWidthEndsAtTheFirstEntryThatReaches255)
{
    // k = -1, b = 300: entry 0 is 300 -> 255 and every later one too.
    auto t = Lut(-300, -255, 0.0);
    for (int i = 0; i < kLutSize; ++i)
        ASSERT_EQ(255, t[i]);
    // k = -1, b = 100: 100, 99, ... 1, then 0 from i = 100 on.
    t = Lut(-100, -255, 0.0);
    EXPECT_EQ(100, t[0]);
    EXPECT_EQ(1, t[99]);
    EXPECT_EQ(0, t[100]);
    EXPECT_EQ(0, t[65535]);
}

TEST(DisplayLut, FlatWindowIsAStepNeverGarbage)
{
    for (double gamma : {0.0, 0.5}) {
        auto t = Lut(-700, 0, gamma);
        for (int i = 0; i <= 700; ++i)
            ASSERT_EQ(0, t[i]) << i << " gamma " << gamma;
        for (int i = 701; i < kLutSize; ++i)
            ASSERT_EQ(255, t[i]) << i << " gamma " << gamma;
        auto all = Lut(5, 0, gamma);
        EXPECT_EQ(255, all[0]);
        auto none = Lut(-70000, 0, gamma);
        EXPECT_EQ(0, none[65535]);
    }
}

TEST(DisplayLut, GammaTableEqualsTheFormulaAtEveryEntry)
{
    const struct { int offset, width; double gamma; } cases[] = {
        {0, 4095, 0.5}, {-1000, 3000, -0.4}, {-20000, 40000, 1.5}, {250, 65535, 0.01}, {-3, 7, 2.0},
        {0, 100000, 0.8}, {-65535, 1, 0.3}, {-100, 300, -1.5}, {-100, -300, 0.5},
    };
    for (auto& c : cases) {
        auto t = Lut(c.offset, c.width, c.gamma);
        for (int i = 0; i < kLutSize; ++i)
            ASSERT_EQ(GammaReference(i, c.offset, c.width, c.gamma), t[i])
                << i << " offset " << c.offset << " width " << c.width << " gamma " << c.gamma;
    }
}

TEST(DisplayLut, GammaEndsAtTheWindow)
{
    auto t = Lut(-1000, 2000, 0.6);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(0, t[i]);
    for (int i = 3000; i < kLutSize; ++i)
        ASSERT_EQ(255, t[i]);
    EXPECT_LT(t[2000], 127);    // gamma above 0 darkens the middle
}

} // namespace
