// Sharpening, the impulse-noise filter, the automatic and range windows and
// the spread test.
#include "images/pixels/picturebase.h"
#include "images/pixels/pixmem.h"
#include "images/pixels/rasterkernels.h"

#include <stdint.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

typedef std::vector<uint16_t> Pixels;

Pixels Random(int w, int h, unsigned seed, unsigned mask = 0xFFFF)
{
    std::mt19937 rng(seed);
    Pixels p((size_t)w * h);
    for (auto& v : p)
        v = (uint16_t)(rng() & mask);
    return p;
}

// The sharpening formula read literally: a zero blur outside the covered
// region, 25 and 8 terms summed directly.
Pixels NaiveSharpen(const Pixels& s, int W, int H, int k)
{
    std::vector<int64_t> B((size_t)W * H, 0);
    for (int y = 2; y < H - 2; ++y)
        for (int x = 2; x < W - 2; ++x) {
            int64_t sum = 0;
            for (int j = -2; j <= 2; ++j)
                for (int i = -2; i <= 2; ++i)
                    sum += s[(size_t)(y + j) * W + x + i];
            B[(size_t)y * W + x] = sum / 25;
        }
    Pixels out = s;
    for (int y = 2; y < H - 2; ++y)
        for (int x = 2; x < W - 2; ++x) {
            int64_t L = -8 * B[(size_t)y * W + x];
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i)
                    if (i || j)
                        L += B[(size_t)(y + j) * W + x + i];
            int64_t v = s[(size_t)y * W + x] - (k * L) / 2;
            out[(size_t)y * W + x] = (uint16_t)(v < 0 ? 0 : v > 65535 ? 65535 : v);
        }
    return out;
}

DPictureBase* Make(const Pixels& px, int w, int h)
{
    DPictureBase* pic = new DPictureBase(w, h);
    std::copy(px.begin(), px.end(), pic->source);
    return pic;
}

TEST(Sharpen, LevelZeroIsTheIdentity)
{
    Pixels px = Random(50, 40, 1);
    std::unique_ptr<DPictureBase> pic(Make(px, 50, 40));
    ASSERT_EQ(1, pic->Sharpen(0));
    EXPECT_EQ(px, Pixels(pic->work, pic->work + px.size()));
    EXPECT_EQ(0, pic->sharpenAmount);
}

TEST(Sharpen, InteriorEqualsTheDirectFormula)
{
    const int W = 61, H = 47;
    for (int k : {1, 3, -2, 7, 5000}) {
        Pixels px = Random(W, H, 2 + k, k == 5000 ? 0xFFFF : 0x0FFF);
        std::unique_ptr<DPictureBase> pic(Make(px, W, H));
        ASSERT_EQ(1, pic->Sharpen(k));
        EXPECT_EQ(k, pic->sharpenAmount);
        Pixels naive = NaiveSharpen(px, W, H, k);
        for (int y = 3; y < H - 3; ++y)
            for (int x = 3; x < W - 3; ++x)
                ASSERT_EQ(naive[(size_t)y * W + x], pic->work[(size_t)y * W + x]) << x << "," << y << " k " << k;
    }
}

TEST(Sharpen, FlatPictureStaysFlatUpToTheBorder)
{
    // With a zero blur outside, the ring at distance 2 would turn bright.
    Pixels px(30 * 20, 1000);
    std::unique_ptr<DPictureBase> pic(Make(px, 30, 20));
    for (size_t i = 0; i < px.size(); ++i)
        pic->work[i] = 7;
    ASSERT_EQ(1, pic->Sharpen(4));
    EXPECT_EQ(px, Pixels(pic->work, pic->work + px.size()));
}

TEST(Sharpen, OuterRowsAndColumnsKeepTheSource)
{
    Pixels px = Random(20, 20, 9);
    std::unique_ptr<DPictureBase> pic(Make(px, 20, 20));
    ASSERT_EQ(1, pic->Sharpen(3));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if (x < 2 || y < 2 || x >= 18 || y >= 18) {
                ASSERT_EQ(px[y * 20 + x], pic->work[y * 20 + x]);
            }
}

TEST(Sharpen, TinyPictureIsCopied)
{
    Pixels px = Random(4, 3, 10);
    std::unique_ptr<DPictureBase> pic(Make(px, 4, 3));
    ASSERT_EQ(1, pic->Sharpen(5));
    EXPECT_EQ(px, Pixels(pic->work, pic->work + 12));
}

TEST(Sharpen, FailedBlurBufferLeavesTheWorkRaster)
{
    std::unique_ptr<DPictureBase> pic(Make(Random(20, 20, 11), 20, 20));
    for (int i = 0; i < 400; ++i)
        pic->work[i] = 42;
    SetPixelAllocFailure(0);
    EXPECT_EQ(0, pic->Sharpen(3));
    SetPixelAllocFailure(-1);
    for (int i = 0; i < 400; ++i)
        ASSERT_EQ(42, pic->work[i]);
    EXPECT_EQ(0, pic->sharpenAmount);
}

TEST(Sharpen, ApplySharpenRepeatsTheStoredAmount)
{
    Pixels px = Random(30, 30, 12, 0xFFF);
    std::unique_ptr<DPictureBase> pic(Make(px, 30, 30));
    pic->Sharpen(3);
    Pixels once(pic->work, pic->work + 900);
    std::fill(pic->work, pic->work + 900, 0);
    ASSERT_EQ(1, pic->ApplySharpen());
    EXPECT_EQ(once, Pixels(pic->work, pic->work + 900));
    ASSERT_TRUE(pic->RefreshWork());
    EXPECT_EQ(0, pic->sharpenAmount);
    EXPECT_EQ(px, Pixels(pic->work, pic->work + 900));
}

TEST(ImpulseNoise, SpikeBecomesTheMeanOfTheMiddleNeighbours)
{
    Pixels px(5 * 5, 100);
    const uint16_t ring[8] = {100, 104, 98, 96, 102, 110, 90, 100};
    const int pos[8][2] = {{1, 1}, {2, 1}, {3, 1}, {1, 2}, {3, 2}, {1, 3}, {2, 3}, {3, 3}};
    for (int i = 0; i < 8; ++i)
        px[pos[i][1] * 5 + pos[i][0]] = ring[i];
    px[2 * 5 + 2] = 4000;
    px[0] = 9000;   // a border pixel is kept whatever it is
    std::unique_ptr<DPictureBase> pic(Make(px, 5, 5));
    uint16_t* old = pic->source;
    ASSERT_TRUE(pic->FilterImpulseNoise());
    EXPECT_NE(old, pic->source);
    // Sorted: 110 104 102 100 100 98 96 90 -> (102 + 100) / 2.
    EXPECT_EQ(101, pic->source[12]);
    EXPECT_EQ(9000, pic->source[0]);
}

TEST(ImpulseNoise, SmoothPictureIsUnchanged)
{
    Pixels px(9 * 9);
    for (int i = 0; i < 81; ++i)
        px[i] = (uint16_t)(1000 + 10 * (i % 9) + 7 * (i / 9));
    std::unique_ptr<DPictureBase> pic(Make(px, 9, 9));
    ASSERT_TRUE(pic->FilterImpulseNoise());
    EXPECT_EQ(px, Pixels(pic->source, pic->source + 81));
}

TEST(ImpulseNoise, FailedCopyChangesNothing)
{
    Pixels px = Random(8, 8, 13);
    std::unique_ptr<DPictureBase> pic(Make(px, 8, 8));
    uint16_t* old = pic->source;
    SetPixelAllocFailure(0);
    EXPECT_FALSE(pic->FilterImpulseNoise());
    SetPixelAllocFailure(-1);
    EXPECT_EQ(old, pic->source);
}

TEST(AutoWindow, FlatRegionGivesMinusTheMinimumAndWidthZero)
{
    std::unique_ptr<DPictureBase> pic(Make(Pixels(100, 700), 10, 10));
    std::copy(pic->source, pic->source + 100, pic->work);
    int offset = 1, width = 1;
    pic->AutoWindow(nullptr, &offset, &width, false);
    EXPECT_EQ(-700, offset);
    EXPECT_EQ(0, width);
}

TEST(AutoWindow, WindowRunsThreeDeviationsEitherSideOfTheMean)
{
    // Values 0 and 1000 alternating over a wide range: mean 500, sd ~500.03.
    Pixels px(100);
    for (int i = 0; i < 100; ++i)
        px[i] = (uint16_t)(i % 2 ? 1000 : 0);
    px[0] = 60000;  // widen the range so that the window is kept
    std::unique_ptr<DPictureBase> pic(Make(px, 10, 10));
    int offset = 0, width = 0;
    pic->AutoWindow(nullptr, &offset, &width, true);
    double mean = 0, ss = 0;
    for (auto v : px)
        mean += v;
    mean /= 100;
    for (auto v : px)
        ss += (v - mean) * (v - mean);
    double sd = std::sqrt(ss / 99);
    int expectOffset = (int)(3 * sd - mean), expectWidth = (int)(6 * sd);
    if (expectOffset > 0) {
        expectWidth -= expectOffset;
        expectOffset = 0;
    }
    EXPECT_EQ(expectOffset, offset);
    EXPECT_EQ(expectWidth, width);
}

TEST(AutoWindow, NarrowRangeTakesTheRange)
{
    Pixels px(100, 200);
    for (int i = 0; i < 100; i += 2)
        px[i] = 203;    // sd about 1.5: the window (9 wide) is wider than the range
    std::unique_ptr<DPictureBase> pic(Make(px, 10, 10));
    int offset = 0, width = 0;
    pic->AutoWindow(nullptr, &offset, &width, true);
    EXPECT_EQ(-200, offset);
    EXPECT_EQ(3, width);
}

TEST(AutoWindow, EmptyAndSinglePixelRegionsSetNothing)
{
    std::unique_ptr<DPictureBase> pic(Make(Random(10, 10, 14), 10, 10));
    int offset = 123, width = 456;
    PixelRect empty = {3, 3, 3, 8}, one = {4, 4, 5, 5}, outside = {20, 20, 30, 30};
    pic->AutoWindow(&empty, &offset, &width, true);
    pic->AutoWindow(&one, &offset, &width, true);
    pic->AutoWindow(&outside, &offset, &width, true);
    pic->RangeWindow(&empty, &offset, &width, true);
    EXPECT_EQ(123, offset);
    EXPECT_EQ(456, width);
    EXPECT_EQ(0.0, ImageStats::StdDev(pic->source, 1, 1, 10, 5.0));
}

TEST(RangeWindow, MinimumAndSpanAtLeastOne)
{
    Pixels px(16, 50);
    px[5] = 80;
    std::unique_ptr<DPictureBase> pic(Make(px, 4, 4));
    int offset = 0, width = 0;
    pic->RangeWindow(nullptr, &offset, &width, true);
    EXPECT_EQ(-50, offset);
    EXPECT_EQ(30, width);
    PixelRect flat = {2, 2, 4, 4};
    pic->RangeWindow(&flat, &offset, &width, true);
    EXPECT_EQ(-50, offset);
    EXPECT_EQ(1, width);
}

TEST(SpreadTest, ZeroPictureIsFalseAndContrastDecides)
{
    Pixels zero(40 * 40, 0);
    EXPECT_FALSE(ImageStats::SpreadExceeds(zero.data(), 40, 40, 40));
    Pixels flat(40 * 40, 1000);
    EXPECT_FALSE(ImageStats::SpreadExceeds(flat.data(), 40, 40, 40));
    Pixels striped(40 * 40);
    for (int i = 0; i < 1600; ++i)
        striped[i] = (uint16_t)(i % 2 ? 1500 : 500);
    EXPECT_TRUE(ImageStats::SpreadExceeds(striped.data(), 40, 40, 40));
    EXPECT_FALSE(ImageStats::SpreadExceeds(striped.data(), 3, 3, 40));
    // Only the central region counts: a wild border changes nothing.
    Pixels framed(40 * 40, 1000);
    for (int i = 0; i < 40; ++i)
        framed[i] = 60000;
    EXPECT_FALSE(ImageStats::SpreadExceeds(framed.data(), 40, 40, 40));
}

} // namespace
