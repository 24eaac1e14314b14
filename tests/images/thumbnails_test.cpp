// Thumbnails: the fit of a picture into 192 x 192, the file of exactly 36,864
// bytes, and a failed write that keeps the thumbnail the image had.
#include "images/files/thumbnails.h"

#include "images/pixels/displaylut.h"
#include "images/files/savefaults.h"
#include "imagefiles_fixture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace imgtest;

namespace {

TEST(IconFit, LandscapeAtScaleOneIsFullWidth)
{
    IconFit fit;
    ASSERT_TRUE(ComputeIconFit(400, 300, 1.0, fit));
    EXPECT_DOUBLE_EQ(400.0 / 192, fit.factor);
    EXPECT_EQ(192, fit.columns);
    EXPECT_EQ(144, fit.rows);
}

TEST(IconFit, PortraitAtScaleOneIsFullHeight)
{
    IconFit fit;
    ASSERT_TRUE(ComputeIconFit(300, 400, 1.0, fit));
    EXPECT_EQ(144, fit.columns);
    EXPECT_EQ(192, fit.rows);
}

TEST(IconFit, FitHeightOfAWidePictureIsCappedAt192Columns)
{
    IconFit fit;
    ASSERT_TRUE(ComputeIconFit(100, 50, -2.0, fit));
    EXPECT_DOUBLE_EQ(50.0 / 192, fit.factor);
    EXPECT_EQ(192, fit.rows);
    EXPECT_EQ(192, fit.columns);
}

TEST(IconFit, FitWidthTakesTheWidth)
{
    IconFit fit;
    ASSERT_TRUE(ComputeIconFit(300, 400, -1.0, fit));
    EXPECT_DOUBLE_EQ(300.0 / 192, fit.factor);
    EXPECT_EQ(192, fit.columns);
    EXPECT_EQ(192, fit.rows);
}

TEST(IconFit, ZoomTwoShowsThePartAroundTheCentre)
{
    IconFit fit;
    ASSERT_TRUE(ComputeIconFit(400, 300, 2.0, fit));
    EXPECT_DOUBLE_EQ(400.0 / 384, fit.factor);
    EXPECT_EQ(192, fit.columns);
    EXPECT_EQ(192, fit.rows);
}

TEST(IconFit, FitAllAndScalesThatAreNoZoomAreScaleOne)
{
    IconFit one, other;
    ASSERT_TRUE(ComputeIconFit(400, 300, 1.0, one));
    for (double scale : {-3.0, 0.0, -0.5, -7.0}) {
        ASSERT_TRUE(ComputeIconFit(400, 300, scale, other)) << scale;
        EXPECT_DOUBLE_EQ(one.factor, other.factor) << scale;
        EXPECT_EQ(one.rows, other.rows) << scale;
    }
}

TEST(IconFit, SliverKeepsOneRowAndEmptyPictureHasNoFit)
{
    IconFit fit;
    ASSERT_TRUE(ComputeIconFit(1000, 1, 1.0, fit));
    EXPECT_EQ(192, fit.columns);
    EXPECT_EQ(1, fit.rows);
    EXPECT_FALSE(ComputeIconFit(0, 10, 1.0, fit));
}

class StoreIconTest : public ::testing::Test
{
protected:
    DataFolder folder;
    std::vector<uint8_t> lut = std::vector<uint8_t>(kLutSize, 0);

    // A flat picture whose every pixel the table maps to `grey`.
    std::vector<uint16_t> Flat(int width, int height, uint8_t grey)
    {
        lut.assign(kLutSize, 0);
        lut[1000] = grey;
        return std::vector<uint16_t>((size_t)width * height, 1000);
    }
    // Rows or columns holding a non-zero byte.
    static void Extent(const std::vector<BYTE>& icon, int& firstRow, int& lastRow, int& firstCol, int& lastCol)
    {
        firstRow = firstCol = kIconSide;
        lastRow = lastCol = -1;
        for (int y = 0; y < kIconSide; ++y)
            for (int x = 0; x < kIconSide; ++x)
                if (icon[(size_t)y * kIconSide + x]) {
                    firstRow = std::min(firstRow, y);
                    lastRow = std::max(lastRow, y);
                    firstCol = std::min(firstCol, x);
                    lastCol = std::max(lastCol, x);
                }
    }
};

TEST_F(StoreIconTest, LandscapeIsExactly36864BytesPlacedFromRow24)
{
    std::vector<uint16_t> work = Flat(400, 300, 200);
    ASSERT_TRUE(StoreIcon(L"L1", work.data(), 400, 300, 200, 150, 1.0, lut.data()));
    std::vector<BYTE> icon = ReadBytes(folder.IconPath(L"L1"));
    ASSERT_EQ(36864u, icon.size());
    int r0, r1, c0, c1;
    Extent(icon, r0, r1, c0, c1);
    EXPECT_EQ(24, r0);
    EXPECT_EQ(24 + 144 - 1, r1);
    EXPECT_EQ(0, c0);
    EXPECT_EQ(191, c1);
    EXPECT_EQ(200, icon[(size_t)100 * kIconSide + 100]);
    EXPECT_EQ(std::vector<std::wstring>({L"L1.thb"}), folder.Files(L"Icon"));
}

TEST_F(StoreIconTest, PortraitIsPlacedFromColumn24)
{
    std::vector<uint16_t> work = Flat(300, 400, 90);
    ASSERT_TRUE(StoreIcon(L"P1", work.data(), 300, 400, 150, 200, 1.0, lut.data()));
    std::vector<BYTE> icon = ReadBytes(folder.IconPath(L"P1"));
    ASSERT_EQ(36864u, icon.size());
    int r0, r1, c0, c1;
    Extent(icon, r0, r1, c0, c1);
    EXPECT_EQ(0, r0);
    EXPECT_EQ(191, r1);
    EXPECT_EQ(24, c0);
    EXPECT_EQ(24 + 144 - 1, c1);
}

TEST_F(StoreIconTest, ThumbnailShowsTheGreyLevelsOfTheTable)
{
    // Left half dark, right half bright: the thumbnail keeps the split.
    std::vector<uint16_t> work((size_t)384 * 192);
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 384; ++x)
            work[(size_t)y * 384 + x] = x < 192 ? 100 : 60000;
    BuildDisplayLut(lut.data(), 0, 65535, 0.0);
    ASSERT_TRUE(StoreIcon(L"S1", work.data(), 384, 192, 192, 96, 1.0, lut.data()));
    std::vector<BYTE> icon = ReadBytes(folder.IconPath(L"S1"));
    ASSERT_EQ(36864u, icon.size());
    EXPECT_EQ(lut[100], icon[(size_t)96 * kIconSide + 10]);
    EXPECT_EQ(lut[60000], icon[(size_t)96 * kIconSide + 180]);
}

TEST_F(StoreIconTest, ScaleZeroIsTakenAsOne)
{
    std::vector<uint16_t> work = Flat(400, 300, 7);
    ASSERT_TRUE(StoreIcon(L"Z0", work.data(), 400, 300, 200, 150, 0.0, lut.data()));
    ASSERT_TRUE(StoreIcon(L"Z1", work.data(), 400, 300, 200, 150, 1.0, lut.data()));
    EXPECT_EQ(ReadBytes(folder.IconPath(L"Z1")), ReadBytes(folder.IconPath(L"Z0")));
}

TEST_F(StoreIconTest, FailedWriteKeepsTheOldThumbnailAndLeavesNoTemporaryFile)
{
    std::vector<uint16_t> work = Flat(400, 300, 200);
    ASSERT_TRUE(StoreIcon(L"K1", work.data(), 400, 300, 200, 150, 1.0, lut.data()));
    const std::vector<BYTE> before = ReadBytes(folder.IconPath(L"K1"));
    work = Flat(400, 300, 50);
    InjectSaveFailure(SaveStep::WriteIconFile, ERROR_DISK_FULL);
    EXPECT_FALSE(StoreIcon(L"K1", work.data(), 400, 300, 200, 150, 1.0, lut.data()));
    EXPECT_EQ(before, ReadBytes(folder.IconPath(L"K1")));
    EXPECT_EQ(std::vector<std::wstring>({L"K1.thb"}), folder.Files(L"Icon"));
    // The next save replaces it.
    EXPECT_TRUE(StoreIcon(L"K1", work.data(), 400, 300, 200, 150, 1.0, lut.data()));
    EXPECT_EQ(50, ReadBytes(folder.IconPath(L"K1"))[(size_t)100 * kIconSide + 100]);
}

TEST_F(StoreIconTest, FileThatCannotBeCreatedGivesFalseAndNoFile)
{
    std::vector<uint16_t> work = Flat(400, 300, 200);
    InjectSaveFailure(SaveStep::CreateIconFile, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(StoreIcon(L"C1", work.data(), 400, 300, 200, 150, 1.0, lut.data()));
    EXPECT_TRUE(folder.Files(L"Icon").empty());
}

TEST_F(StoreIconTest, NoPixelsOrNoTableWritesNothing)
{
    std::vector<uint16_t> work = Flat(40, 30, 200);
    EXPECT_FALSE(StoreIcon(L"N1", nullptr, 40, 30, 20, 15, 1.0, lut.data()));
    EXPECT_FALSE(StoreIcon(L"N2", work.data(), 40, 30, 20, 15, 1.0, nullptr));
    EXPECT_FALSE(StoreIcon(L"N3", work.data(), 0, 0, 0, 0, 1.0, lut.data()));
    EXPECT_TRUE(folder.Files(L"Icon").empty());
}

TEST(PageBuffer, AllocatesOnceAndKeepsItsBlock)
{
    DPageBuffer buffer;
    EXPECT_EQ(nullptr, buffer.Get());
    void* first = buffer.Alloc(kIconBytes);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, buffer.Alloc(kIconBytes));
    EXPECT_EQ(0, static_cast<BYTE*>(first)[kIconBytes - 1]);
}

}  // namespace
