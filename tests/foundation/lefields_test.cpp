#include "foundation/lefields.h"

#include <gtest/gtest.h>

#include <string.h>

// The bytes are the file's: lowest first, whatever the values' signs.
TEST(LittleEndianFields, WrittenLowestByteFirstAndReadBack)
{
    BYTE bytes[8];
    memset(bytes, 0xCC, sizeof bytes);
    PutLe32(bytes, 0x12345678);
    PutLe16(bytes + 4, 0xBEEF);
    const BYTE expected[8] = {0x78, 0x56, 0x34, 0x12, 0xEF, 0xBE, 0xCC, 0xCC};
    EXPECT_EQ(0, memcmp(expected, bytes, sizeof bytes));
    EXPECT_EQ(0x12345678u, GetLe32(bytes));
    EXPECT_EQ(0xBEEF, GetLe16(bytes + 4));

    PutLe32(bytes, static_cast<DWORD>(-22));
    EXPECT_EQ(-22, static_cast<LONG>(GetLe32(bytes)));
    EXPECT_EQ(0xFF, bytes[3]);
}
