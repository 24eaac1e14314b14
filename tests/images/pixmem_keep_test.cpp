// Large pixel blocks given back are kept committed and handed out again:
// zeroed for PixelAlloc, as they are for PixelAllocForOverwrite; only blocks
// that fit, only as many as the limits allow, never one whose protection a
// caller changed.
#include "images/pixels/pixmem.h"

#include <windows.h>

#include <stdint.h>
#include <string.h>

#include <gtest/gtest.h>

namespace {

const size_t kMiB = (size_t)1 << 20;

class PixelKeepTest : public ::testing::Test
{
protected:
    void SetUp() override { PixelTrim(); }
    void TearDown() override { PixelTrim(); }

    static bool AllZero(const void* p, size_t bytes)
    {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        for (size_t i = 0; i < bytes; ++i)
            if (b[i])
                return false;
        return true;
    }
};

TEST_F(PixelKeepTest, ABlockGivenBackIsHandedOutAgainZeroed)
{
    void* p = PixelAlloc(3 * kMiB);
    ASSERT_TRUE(p);
    memset(p, 0xAB, 3 * kMiB);
    PixelFree(p);
    size_t bytes = 0;
    EXPECT_EQ(1, PixelKeptBlocks(&bytes));
    EXPECT_EQ(3 * kMiB, bytes);
    void* again = PixelAlloc(3 * kMiB - 100);
    EXPECT_EQ(p, again);
    EXPECT_TRUE(AllZero(again, 3 * kMiB - 100));
    EXPECT_EQ(0, PixelKeptBlocks(nullptr));
    PixelFree(again);
}

TEST_F(PixelKeepTest, ForOverwriteSkipsTheZeroFill)
{
    void* p = PixelAlloc(2 * kMiB);
    ASSERT_TRUE(p);
    memset(p, 0x11, 2 * kMiB);
    PixelFree(p);
    uint8_t* again = static_cast<uint8_t*>(PixelAllocForOverwrite(2 * kMiB));
    ASSERT_EQ(p, again);
    EXPECT_EQ(0x11, again[12345]);
    PixelFree(again);
    // A fresh block is zero whichever way it is asked for.
    PixelTrim();
    uint16_t* raster = AllocRasterForOverwrite(1000, 1000);
    ASSERT_TRUE(raster);
    EXPECT_TRUE(AllZero(raster, 2000000));
    PixelFree(raster);
}

TEST_F(PixelKeepTest, OnlyBlocksThatFitAreTaken)
{
    void* p = PixelAlloc(4 * kMiB);
    ASSERT_TRUE(p);
    PixelFree(p);
    void* smaller = PixelAlloc(2 * kMiB);     // the kept block is twice its size
    EXPECT_NE(p, smaller);
    void* larger = PixelAlloc(5 * kMiB);      // larger than the kept block
    EXPECT_NE(p, larger);
    EXPECT_EQ(1, PixelKeptBlocks(nullptr));
    PixelFree(smaller);
    PixelFree(larger);
}

TEST_F(PixelKeepTest, SmallBlocksAreReleasedAtOnce)
{
    void* p = PixelAlloc(36864);
    ASSERT_TRUE(p);
    PixelFree(p);
    EXPECT_EQ(0, PixelKeptBlocks(nullptr));
}

TEST_F(PixelKeepTest, TheOldestBlocksGoWhenTheLimitsAreReached)
{
    void* blocks[kPixelKeepBlocks + 1];
    for (int i = 0; i <= kPixelKeepBlocks; ++i) {
        blocks[i] = PixelAlloc((size_t)(i + 1) * kMiB);
        ASSERT_TRUE(blocks[i]);
    }
    for (int i = 0; i <= kPixelKeepBlocks; ++i)
        PixelFree(blocks[i]);
    EXPECT_EQ(kPixelKeepBlocks, PixelKeptBlocks(nullptr));
    // The first one (1 MiB) was released: a request for it gets a new block.
    MEMORY_BASIC_INFORMATION info;
    ASSERT_EQ(sizeof info, VirtualQuery(blocks[0], &info, sizeof info));
    EXPECT_EQ((DWORD)MEM_FREE, info.State);

    // Bytes: a block larger than all that may be kept is never kept.
    PixelTrim();
    void* huge = PixelAlloc(kPixelKeepBytes + kMiB);
    ASSERT_TRUE(huge);
    PixelFree(huge);
    EXPECT_EQ(0, PixelKeptBlocks(nullptr));
}

TEST_F(PixelKeepTest, ABlockWithChangedProtectionIsNotKept)
{
    uint8_t* p = static_cast<uint8_t*>(PixelAlloc(2 * kMiB));
    ASSERT_TRUE(p);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(p + kMiB, 4096, PAGE_READONLY, &old));
    PixelFree(p);
    EXPECT_EQ(0, PixelKeptBlocks(nullptr));
    void* q = PixelAlloc(2 * kMiB);
    ASSERT_TRUE(q);
    ASSERT_TRUE(VirtualProtect(q, 2 * kMiB, PAGE_READONLY, &old));
    PixelFree(q);
    EXPECT_EQ(0, PixelKeptBlocks(nullptr));
}

TEST_F(PixelKeepTest, InjectedFailuresStillFailWithBlocksKept)
{
    void* p = PixelAlloc(2 * kMiB);
    ASSERT_TRUE(p);
    PixelFree(p);
    SetPixelAllocFailure(0);
    EXPECT_EQ(nullptr, PixelAllocForOverwrite(2 * kMiB));
    EXPECT_EQ(8u, PixelAllocError());
    EXPECT_EQ(1, PixelKeptBlocks(nullptr));
    EXPECT_EQ(1, PixelTrim());
    EXPECT_EQ(0, PixelKeptBlocks(nullptr));
}

} // namespace
