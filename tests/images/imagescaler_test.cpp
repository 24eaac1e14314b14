// The image scaler: its window placement, row alignment and both sampling
// rules, at zooms that enlarge and shrink.
#include "images/pixels/imagescaler.h"

#include <stdint.h>

#include <random>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct ScalerRig
{
    std::vector<uint16_t> src;
    std::vector<uint8_t> lut;
    ImageScaler s;
    int W, H;

    ScalerRig(int w, int h, int interpolate, unsigned seed = 1) : src((size_t)w * h), lut(65536), W(w), H(h)
    {
        std::mt19937 rng(seed);
        for (auto& p : src)
            p = (uint16_t)(rng() & 0xFFFF);
        for (int i = 0; i < 65536; ++i)
            lut[i] = (uint8_t)((i * 7 + (i >> 8)) & 255);
        s.SetSource(src.data(), w, h);
        s.SetDefaultMode();
        s.SetParam(lut.data());
        s.SetFlag(interpolate);
    }

    bool Run(int columns, int rows, double zoom, int cx, int cy)
    {
        if (!s.Resize(columns, rows) || !s.SetSize(zoom, cx, cy))
            return false;
        s.BuildTables();
        s.ConvertAll();
        return true;
    }

    uint8_t Out(int x, int y) const { return s.GetBits()[(size_t)y * s.GetStride() + x]; }
    uint32_t Px(uint32_t x, uint32_t y) const { return src[(size_t)y * W + x]; }
};

TEST(ImageScaler, ZoomOneIsTheCentredWindowThroughTheTable)
{
    ScalerRig t(100, 80, 1);
    ASSERT_TRUE(t.Run(40, 30, 1.0, 50, 40));
    EXPECT_EQ(30, t.s.GetFirstColumn());
    EXPECT_EQ(25, t.s.GetFirstRow());
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(t.lut[t.Px(x + 30, y + 25)], t.Out(x, y));
}

TEST(ImageScaler, CentreNearAnEdgeMovesTheWindowInside)
{
    ScalerRig t(100, 80, 0);
    ASSERT_TRUE(t.Run(40, 30, 1.0, 98, 1));
    EXPECT_EQ(60, t.s.GetFirstColumn());
    EXPECT_EQ(0, t.s.GetFirstRow());
    ASSERT_TRUE(t.Run(40, 30, 2.0, 2, 150));    // scaled 50 x 40
    EXPECT_EQ(0, t.s.GetFirstColumn());
    EXPECT_EQ(10, t.s.GetFirstRow());
}

TEST(ImageScaler, RowsAlignToFourBytes)
{
    ScalerRig t(300, 300, 0);
    ASSERT_TRUE(t.s.Resize(190, 10));
    EXPECT_EQ(192, t.s.GetStride());
    ASSERT_TRUE(t.s.Resize(192, 10));
    EXPECT_EQ(192, t.s.GetStride());
}

TEST(ImageScaler, NearestTakesTheIndexedPixel)
{
    for (double z : {2.0, 1.6, 0.45}) {
        ScalerRig t(90, 70, 0);
        ASSERT_TRUE(t.Run(40, 30, z, 45, 35));
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                uint32_t sx = (uint32_t)((x + t.s.GetFirstColumn()) * z * 256) >> 8;
                uint32_t sy = (uint32_t)((y + t.s.GetFirstRow()) * z * 256) >> 8;
                ASSERT_EQ(t.lut[t.Px(sx, sy)], t.Out(x, y)) << z << ": " << x << "," << y;
            }
    }
}

// The bilinear rule read from its description, with the remainders taken
// toward the neighbour that exists.
uint8_t BilinearReference(const ScalerRig& t, double z, int x, int y)
{
    const int k = z < 1.0 ? 1 : (int)z;
    const int fc = t.s.GetFirstColumn(), fr = t.s.GetFirstRow();
    uint32_t vx = (uint32_t)((x + fc) * z * 256), vy = (uint32_t)((y + fr) * z * 256);
    uint32_t sx = vx >> 8, fx = vx & 255, sy = vy >> 8, fy = vy & 255;
    // Output past the source takes its edge pixel.
    if (sx >= (uint32_t)t.W) {
        sx = t.W - 1;
        fx = 0;
    }
    if (sy >= (uint32_t)t.H) {
        sy = t.H - 1;
        fy = 0;
    }
    const int sw = (int)(t.W / z), sh = (int)(t.H / z);
    const bool across = fc + x < sw - k && sx + 1 < (uint32_t)t.W;
    const bool down = fr + y < sh - k && sy + 1 < (uint32_t)t.H;
    uint32_t p00 = t.Px(sx, sy);
    if (across && down) {
        uint32_t a = (p00 << 8) + fx * (t.Px(sx + 1, sy) - p00);
        uint32_t b = (t.Px(sx, sy + 1) << 8) + fx * (t.Px(sx + 1, sy + 1) - t.Px(sx, sy + 1));
        return t.lut[(fy * (b - a) + (a << 8)) >> 16];
    }
    if (down)
        return t.lut[((p00 << 8) + fy * (t.Px(sx, sy + 1) - p00)) >> 8];
    if (across)
        return t.lut[((p00 << 8) + fx * (t.Px(sx + 1, sy) - p00)) >> 8];
    return t.lut[p00];
}

TEST(ImageScaler, BilinearEqualsItsRuleAndStaysInsideTheSource)
{
    // 0.3 and 0.45: thumbnails of small pictures, where the last sample of
    // the scaled width would otherwise reach past the raster.
    const struct { int W, H, cols, rows; double z; } cases[] = {
        {90, 70, 40, 30, 2.0}, {90, 70, 40, 30, 1.7}, {90, 70, 40, 30, 3.0},
        {20, 15, 66, 50, 0.3}, {20, 15, 44, 33, 0.45}, {33, 21, 70, 40, 0.47},
    };
    for (auto& c : cases) {
        ScalerRig t(c.W, c.H, 1, 9);
        ASSERT_TRUE(t.Run(c.cols, c.rows, c.z, c.W / 2, c.H / 2));
        for (int y = 0; y < c.rows; ++y)
            for (int x = 0; x < c.cols; ++x)
                ASSERT_EQ(BilinearReference(t, c.z, x, y), t.Out(x, y)) << c.z << ": " << x << "," << y;
    }
}

TEST(ImageScaler, ZeroFractionsGiveThePixelItself)
{
    ScalerRig t(90, 70, 1);
    ASSERT_TRUE(t.Run(40, 30, 2.0, 45, 35));
    // Zoom 2: every fraction is 0.
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(t.lut[t.Px((x + t.s.GetFirstColumn()) * 2, (y + t.s.GetFirstRow()) * 2)], t.Out(x, y));
}

TEST(ImageScaler, OutputLargerThanTheScaledSourceReadsNothingOutside)
{
    ScalerRig t(30, 20, 1);
    ASSERT_TRUE(t.Run(100, 80, 2.0, 15, 10));   // scaled 15 x 10
    t.s.SetFlag(0);
    t.s.ConvertAll();
    ASSERT_TRUE(t.Run(100, 80, 1.0, 15, 10));
    EXPECT_EQ(t.lut[t.Px(29, 19)], t.Out(29, 19));
    EXPECT_EQ(0, t.Out(30, 5));
    EXPECT_EQ(0, t.Out(5, 20));
}

TEST(ImageScaler, TablesFollowALargerOutput)
{
    ScalerRig t(200, 200, 1);
    ASSERT_TRUE(t.Run(10, 10, 2.0, 100, 100));
    ASSERT_TRUE(t.Run(90, 90, 2.0, 100, 100));
    EXPECT_EQ(BilinearReference(t, 2.0, 89, 89), t.Out(89, 89));
}

TEST(ImageScaler, ZoomThatIsNoNumberPlacesNothingAndTinyZoomsStayInside)
{
    ScalerRig t(50, 40, 1);
    for (double z : {0.0, -2.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        ScalerRig r(50, 40, 1);
        EXPECT_FALSE(r.Run(20, 20, z, 25, 20)) << z;
    }
    // A view scale of 1e30 gives a thumbnail zoom of almost nothing, and a
    // centre read from a damaged row may be anywhere.
    ASSERT_TRUE(t.Run(16, 16, 1e-30, 2000000000, -2000000000));
    EXPECT_GE(t.s.GetFirstColumn(), 0);
    EXPECT_EQ(0, t.s.GetFirstRow());
    ASSERT_TRUE(t.Run(16, 16, 0.5, 2000000000, 2000000000));
    EXPECT_EQ(100 - 16, t.s.GetFirstColumn());
    EXPECT_EQ(80 - 16, t.s.GetFirstRow());
}

TEST(ImageScaler, ClearResetsZoomAndSizes)
{
    ScalerRig t(50, 50, 1);
    ASSERT_TRUE(t.Run(20, 20, 2.0, 25, 25));
    t.s.Clear();
    EXPECT_EQ(nullptr, t.s.GetBits());
    EXPECT_EQ(0, t.s.GetStride());
    t.s.ConvertAll();   // nothing to convert into
}

} // namespace
