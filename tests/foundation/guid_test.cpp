#include "foundation/guid.h"

#include <gtest/gtest.h>

TEST(GuidEquals, ComparesAllSixteenBytes)
{
    const GUID a = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    GUID b = a;
    EXPECT_TRUE(GuidEquals(&a, &b));
    b.Data4[7] = 9;
    EXPECT_FALSE(GuidEquals(&a, &b));
    b = a;
    b.Data1 ^= 0x80000000;
    EXPECT_FALSE(GuidEquals(&a, &b));
    EXPECT_FALSE(GuidEquals(&a, nullptr));
    EXPECT_TRUE(GuidEquals(nullptr, nullptr));
}
