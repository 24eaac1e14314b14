// The reductions by 2 and by 3 and the render row kernels against the plain
// formulas, over random and extreme pixels at every size that leaves a
// remainder (odd widths, one-pixel results, rows that do not fill a vector
// step); and the work raster that shares the source until something needs
// its own copy.
#include "images/pixels/displaylut.h"
#include "images/pixels/picturebase.h"
#include "images/pixels/pixmem.h"
#include "images/pixels/rasterkernels.h"
#include "images/pixels/renderkernels.h"

#include <stdint.h>

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

// Each output the n x n block's 64-bit sum divided by n x n, read literally.
Pixels BoxReference(const Pixels& src, int W, int n, int dw, int dh)
{
    Pixels out((size_t)dw * dh);
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) {
            uint64_t sum = 0;
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i)
                    sum += src[(size_t)(y * n + j) * W + x * n + i];
            out[(size_t)y * dw + x] = (uint16_t)(sum / (uint64_t)(n * n));
        }
    return out;
}

void ExpectBoxLikeReference(const Pixels& src, int W, int H, int n)
{
    const int dw = W / n, dh = H / n;
    if (dw == 0 || dh == 0)
        return;
    // One guard pixel after the output: nothing may be written past it.
    Pixels out((size_t)dw * dh + 1, 0xBEEF);
    ReduceBoxAverage(out.data(), src.data(), W, H, dw, dh, n);
    EXPECT_EQ(0xBEEF, out.back()) << W << " x " << H << " by " << n;
    out.pop_back();
    const Pixels want = BoxReference(src, W, n, dw, dh);
    for (size_t i = 0; i < want.size(); ++i)
        ASSERT_EQ(want[i], out[i]) << "pixel " << i << " of " << W << " x " << H << " by " << n;
}

TEST(FastReduction, ByTwoAndThreeEqualTheBlockAverageAtEverySize)
{
    unsigned seed = 1;
    for (int n = 2; n <= 3; ++n)
        for (int W = 1; W <= 41; ++W)
            for (int H : {1, 2, 3, 4, 5, 7, 9}) {
                ExpectBoxLikeReference(Random(W, H, seed++), W, H, n);
                ExpectBoxLikeReference(Random(W, H, seed++, 0x3FFF), W, H, n);
            }
    // Wide rows: many vector steps and every remainder after them.
    for (int W : {96, 97, 98, 99, 100, 101, 102, 103, 250, 3001})
        for (int n = 2; n <= 3; ++n)
            ExpectBoxLikeReference(Random(W, 7, seed++), W, 7, n);
}

TEST(FastReduction, FullScaleAndRemaindersJustBelowTheDivisor)
{
    // All 65535: the largest sums; the 32-bit lanes and the divisions must
    // neither wrap nor round up.
    for (int n = 2; n <= 3; ++n) {
        ExpectBoxLikeReference(Pixels(40 * 9, 65535), 40, 9, n);
        // Blocks whose sums leave every remainder modulo n x n.
        Pixels px(48 * 6);
        for (size_t i = 0; i < px.size(); ++i)
            px[i] = (uint16_t)(65535 - (i % 11) * 4093);
        ExpectBoxLikeReference(px, 48, 6, n);
    }
}

TEST(FastReduction, ByThreeDividesEverySumExactly)
{
    // One 3 x 3 block for every possible sum 0 .. 9 x 65535: block s holds
    // s / 9 everywhere plus one in its first s % 9 pixels.
    const int blocks = 9 * 65535 + 1, W = 3 * blocks;
    Pixels src((size_t)W * 3);
    for (int s = 0; s < blocks; ++s)
        for (int k = 0; k < 9; ++k)
            src[(size_t)(k / 3) * W + 3 * s + k % 3] = (uint16_t)(s / 9 + (k < s % 9 ? 1 : 0));
    Pixels out((size_t)blocks);
    ReduceBoxAverage(out.data(), src.data(), W, 3, blocks, 1, 3);
    for (int s = 0; s < blocks; ++s)
        ASSERT_EQ(s / 9, out[(size_t)s]) << "sum " << s;
}

TEST(FastReduction, OtherFactorsStillAverageTheirBlocks)
{
    for (int n : {4, 5, 7}) {
        ExpectBoxLikeReference(Random(37, 29, 50 + n), 37, 29, n);
        ExpectBoxLikeReference(Pixels(21 * 21, 65535), 21, 21, n);
    }
}

TEST(FastReduction, OnePixelResults)
{
    const Pixels two = {1, 2, 3, 65535};
    Pixels out(1);
    ReduceBoxAverage(out.data(), two.data(), 2, 2, 1, 1, 2);
    EXPECT_EQ((1 + 2 + 3 + 65535) / 4, out[0]);
    const Pixels three = {65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535, 65534};
    ReduceBoxAverage(out.data(), three.data(), 3, 3, 1, 1, 3);
    EXPECT_EQ(65534, out[0]);
}

// ---- render rows ----

// A table as the renderer holds it: 65,536 entries and the spare byte.
std::vector<uint8_t> RandomTable(unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> t(kLutTableBytes);
    for (auto& v : t)
        v = (uint8_t)rng();
    return t;
}

TEST(RenderRows, TableRowEqualsTheLookUpOfEveryPixelAtEveryLength)
{
    const std::vector<uint8_t> lut = RandomTable(3);
    Pixels src = Random(120, 1, 4);
    // The extremes: the first entry and the last, next to the spare byte.
    src[5] = 0;
    src[6] = 65535;
    src[40] = 65535;
    for (int n = 0; n <= 110; ++n)
        for (int offset = 0; offset < 4; ++offset) {
            std::vector<uint8_t> out((size_t)n + 8, 0xA5);
            LutRow(src.data() + offset, lut.data(), out.data() + offset, n);
            for (int i = 0; i < (int)out.size(); ++i) {
                const bool inside = i >= offset && i < offset + n;
                ASSERT_EQ(inside ? lut[src[(size_t)i]] : 0xA5, out[(size_t)i])
                    << "byte " << i << ", length " << n << ", offset " << offset;
            }
        }
}

TEST(RenderRows, TableRowOfEveryPixelValue)
{
    // Every value once, in a row long enough for the vector steps; the spare
    // byte differs from the last entry, so that reading it instead would show.
    std::vector<uint8_t> lut = RandomTable(12);
    lut[65535] = 7;
    lut[65536] = 200;
    Pixels src(65536);
    for (size_t v = 0; v < src.size(); ++v)
        src[v] = (uint16_t)(v * 40503u);
    std::vector<uint8_t> out(src.size());
    LutRow(src.data(), lut.data(), out.data(), (int)src.size());
    for (size_t i = 0; i < src.size(); ++i)
        ASSERT_EQ(lut[src[i]], out[i]) << "pixel value " << src[i];
}

TEST(RenderRows, NearestRowEqualsTheLookUpAtEveryLength)
{
    const std::vector<uint8_t> lut = RandomTable(5);
    const Pixels row = Random(64, 1, 6);
    std::mt19937 rng(7);
    std::vector<int32_t> cols(40);
    for (auto& c : cols)
        c = (int32_t)(rng() % 64);
    for (int n = 0; n <= 40; ++n) {
        std::vector<uint8_t> out((size_t)n + 4, 0x5A);
        NearestRow(row.data(), cols.data(), lut.data(), out.data(), n);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(lut[row[(size_t)cols[(size_t)i]]], out[(size_t)i]) << i << " of " << n;
        for (int i = n; i < n + 4; ++i)
            ASSERT_EQ(0x5A, out[(size_t)i]) << "written past the row at " << i;
    }
}

TEST(RenderRows, InterpolatingRowsFollowTheirFormulas)
{
    const std::vector<uint8_t> lut = RandomTable(8);
    Pixels r0 = Random(50, 1, 9), r1 = Random(50, 1, 10);
    r0[0] = r1[1] = 65535;
    r0[1] = r1[0] = 0;
    std::mt19937 rng(11);
    std::vector<int32_t> cols(33);
    std::vector<uint16_t> fxs(33);
    for (size_t i = 0; i < cols.size(); ++i) {
        cols[i] = i < 3 ? 0 : (int32_t)(rng() % 49);
        fxs[i] = (uint16_t)(i == 0 ? 0 : i == 1 ? 255 : rng() % 256);
    }
    for (uint32_t fy : {0u, 1u, 128u, 255u}) {
        std::vector<uint8_t> out(33);
        BilinearRow(r0.data(), r1.data(), cols.data(), fxs.data(), fy, lut.data(), out.data(), 33);
        for (int i = 0; i < 33; ++i) {
            const uint32_t a = r0[(size_t)cols[i]], b = r0[(size_t)cols[i] + 1];
            const uint32_t c = r1[(size_t)cols[i]], d = r1[(size_t)cols[i] + 1];
            const int64_t top = (int64_t)a * 256 + (int64_t)fxs[(size_t)i] * ((int64_t)b - a);
            const int64_t bottom = (int64_t)c * 256 + (int64_t)fxs[(size_t)i] * ((int64_t)d - c);
            const int64_t index = (top * 256 + (int64_t)fy * (bottom - top)) >> 16;
            ASSERT_EQ(lut[(size_t)index], out[(size_t)i]) << "bilinear " << i << ", fy " << fy;
        }
        VerticalRow(r0.data(), r1.data(), cols.data(), fy, lut.data(), out.data(), 33);
        for (int i = 0; i < 33; ++i) {
            const uint32_t a = r0[(size_t)cols[i]], c = r1[(size_t)cols[i]];
            ASSERT_EQ(lut[(((a << 8) + fy * (c - a)) >> 8) & 0xFFFF], out[(size_t)i]) << "vertical " << i;
        }
    }
    std::vector<uint8_t> out(33);
    HorizontalRow(r0.data(), cols.data(), fxs.data(), lut.data(), out.data(), 33);
    for (int i = 0; i < 33; ++i) {
        const uint32_t a = r0[(size_t)cols[i]], b = r0[(size_t)cols[i] + 1];
        ASSERT_EQ(lut[(((a << 8) + fxs[(size_t)i] * (b - a)) >> 8) & 0xFFFF], out[(size_t)i]) << "horizontal " << i;
    }
}

TEST(RenderRows, BilinearRowAtEveryFractionAndExtremePixels)
{
    // Every column fraction, the row fractions at their ends and middle, and
    // corners of 0 and 65535 in every combination among random pixels: the
    // vector steps against the formula in 64-bit arithmetic.
    const std::vector<uint8_t> lut = RandomTable(13);
    std::mt19937 rng(14);
    const int n = 256 * 3 + 5;
    Pixels r0(2 * n + 2), r1(2 * n + 2);
    for (size_t k = 0; k < r0.size(); ++k) {
        const uint32_t v = rng();
        r0[k] = (v & 3) == 0 ? 0 : (v & 3) == 1 ? 65535 : (uint16_t)(v >> 8);
        r1[k] = ((v >> 2) & 3) == 0 ? 0 : ((v >> 2) & 3) == 1 ? 65535 : (uint16_t)(v >> 16);
    }
    std::vector<int32_t> cols((size_t)n);
    std::vector<uint16_t> fxs((size_t)n);
    for (int i = 0; i < n; ++i) {
        cols[(size_t)i] = (int32_t)(rng() % (uint32_t)(2 * n));
        fxs[(size_t)i] = (uint16_t)(i % 256);
    }
    for (uint32_t fy : {0u, 1u, 127u, 128u, 254u, 255u}) {
        std::vector<uint8_t> out((size_t)n + 1, 0x3C);
        BilinearRow(r0.data(), r1.data(), cols.data(), fxs.data(), fy, lut.data(), out.data(), n);
        for (int i = 0; i < n; ++i) {
            const int64_t a = r0[(size_t)cols[(size_t)i]], b = r0[(size_t)cols[(size_t)i] + 1];
            const int64_t c = r1[(size_t)cols[(size_t)i]], d = r1[(size_t)cols[(size_t)i] + 1];
            const int64_t fx = fxs[(size_t)i];
            const int64_t top = a * 256 + fx * (b - a), bottom = c * 256 + fx * (d - c);
            const int64_t index = (top * 256 + (int64_t)fy * (bottom - top)) >> 16;
            ASSERT_EQ(lut[(size_t)index], out[(size_t)i]) << "pixel " << i << ", fx " << fx << ", fy " << fy;
        }
        EXPECT_EQ(0x3C, out[(size_t)n]) << "written past the row";
    }
}

// ---- the work raster shares the source ----

Pixels WorkOf(const DPictureBase& pic)
{
    return Pixels(pic.work, pic.work + (size_t)pic.width * pic.height);
}

Pixels SourceOf(const DPictureBase& pic)
{
    return Pixels(pic.source, pic.source + (size_t)pic.width * pic.height);
}

void Fill(DPictureBase& pic, const Pixels& px)
{
    std::copy(px.begin(), px.end(), pic.source);
}

TEST(SharedWork, RefreshShowsTheSourceItselfAndFreesTheCopy)
{
    DPictureBase pic(20, 10);
    const Pixels px = Random(20, 10, 20);
    Fill(pic, px);
    pic.sharpenAmount = 3;
    ASSERT_TRUE(pic.RefreshWork());
    EXPECT_EQ(pic.source, pic.work);
    EXPECT_EQ(pic.GetBits(), pic.GetWorkBits());
    EXPECT_EQ(0, pic.sharpenAmount);
    EXPECT_EQ(px, WorkOf(pic));
    // Again: nothing changes, nothing is freed twice.
    ASSERT_TRUE(pic.RefreshWork());
    EXPECT_EQ(pic.source, pic.work);
    DPictureBase empty;
    EXPECT_FALSE(empty.RefreshWork());
}

TEST(SharedWork, SharpeningGivesTheWorkRasterItsOwnAndLeavesTheSource)
{
    DPictureBase pic(30, 20), twin(30, 20);
    const Pixels px = Random(30, 20, 21, 0x0FFF);
    Fill(pic, px);
    Fill(twin, px);
    ASSERT_TRUE(pic.RefreshWork());
    ASSERT_EQ(1, pic.Sharpen(3));
    ASSERT_EQ(1, twin.Sharpen(3));
    EXPECT_NE(pic.source, pic.work);
    EXPECT_EQ(px, SourceOf(pic));
    EXPECT_EQ(WorkOf(twin), WorkOf(pic));
    EXPECT_EQ(3, pic.sharpenAmount);
}

TEST(SharedWork, FailedSharpeningKeepsTheSharedRaster)
{
    for (int step = 0; step < 2; ++step) {
        DPictureBase pic(30, 20);
        Fill(pic, Random(30, 20, 22));
        ASSERT_TRUE(pic.RefreshWork());
        SetPixelAllocFailure(step);     // the work raster, then the blur rows
        EXPECT_EQ(0, pic.Sharpen(3)) << step;
        SetPixelAllocFailure(-1);
        EXPECT_EQ(pic.source, pic.work) << step;
        EXPECT_EQ(0, pic.sharpenAmount);
    }
}

TEST(SharedWork, TurnsAndMirrorsFromASharedRaster)
{
    DPictureBase pic(24, 16), twin(24, 16);
    const Pixels px = Random(24, 16, 23);
    Fill(pic, px);
    Fill(twin, px);
    ASSERT_TRUE(pic.RefreshWork());
    ASSERT_EQ(1, pic.RotateClockwise());
    ASSERT_EQ(1, twin.RotateClockwise());
    EXPECT_EQ(SourceOf(twin), SourceOf(pic));
    EXPECT_NE(pic.source, pic.work);
    EXPECT_EQ(px, WorkOf(pic)) << "the stale work raster is the raster before the turn";
    ASSERT_TRUE(pic.RefreshWork());
    ASSERT_EQ(1, pic.MirrorHorizontal());
    ASSERT_EQ(1, twin.MirrorHorizontal());
    EXPECT_EQ(SourceOf(twin), SourceOf(pic));

    DPictureBase failing(24, 16);
    Fill(failing, px);
    ASSERT_TRUE(failing.RefreshWork());
    uint16_t* shared = failing.source;
    SetPixelAllocFailure(0);
    EXPECT_EQ(0, failing.RotateClockwise());
    SetPixelAllocFailure(-1);
    EXPECT_EQ(shared, failing.source);
    EXPECT_EQ(shared, failing.work);
    EXPECT_EQ(px, SourceOf(failing));
    EXPECT_EQ(0, failing.orientation);
}

TEST(SharedWork, ReduceRestoreAndFilterFromASharedRaster)
{
    DPictureBase pic(30, 30);
    const Pixels px = Random(30, 30, 24);
    Fill(pic, px);
    ASSERT_TRUE(pic.RefreshWork());
    pic.Reduce(2);
    EXPECT_EQ(px, Pixels(pic.full, pic.full + 900)) << "the shared raster is kept as the full one";
    EXPECT_EQ(pic.source, pic.work) << "the work raster shares the reduced one: none is made to be thrown away";
    pic.Reduce(3);          // frees the shared reduced raster once
    EXPECT_EQ(10, pic.width);
    ASSERT_TRUE(pic.RefreshWork());
    ASSERT_TRUE(pic.RestoreFullSize());
    EXPECT_EQ(px, SourceOf(pic));
    ASSERT_TRUE(pic.RefreshWork());

    // The filtered copy replaces the source; the shared raster stays on as the
    // work raster until the next refresh.
    uint16_t* before = pic.source;
    ASSERT_TRUE(pic.FilterImpulseNoise());
    EXPECT_EQ(before, pic.work);
    EXPECT_NE(before, pic.source);
    EXPECT_EQ(px, WorkOf(pic));
    ASSERT_TRUE(pic.RefreshWork());
    EXPECT_EQ(pic.source, pic.work);
}

TEST(SharedWork, InstallingRastersOverASharedOne)
{
    DPictureBase pic(8, 8);
    ASSERT_TRUE(pic.RefreshWork());
    uint16_t* shared = pic.source;
    pic.SetSource(AllocRaster(8, 8));
    EXPECT_EQ(shared, pic.work) << "the old source stays as the work raster";
    pic.SetWork(pic.source);
    EXPECT_EQ(pic.source, pic.work);
    ASSERT_TRUE(pic.AllocWork());
    EXPECT_NE(pic.source, pic.work);
}

TEST(SharedWork, AllocSharedMakesOneRasterForBoth)
{
    DPictureBase pic;
    ASSERT_TRUE(pic.AllocShared(12, 5));
    EXPECT_EQ(pic.source, pic.work);
    EXPECT_EQ(12, pic.width);
    EXPECT_EQ(5, pic.height);
    EXPECT_EQ(12, pic.zoomedWidth);
    EXPECT_EQ(5, pic.zoomedHeight);
    EXPECT_FALSE(pic.AllocShared(3, 3)) << "a picture with rasters keeps them";
    DPictureBase failing;
    SetPixelAllocFailure(0);
    EXPECT_FALSE(failing.AllocShared(12, 5));
    SetPixelAllocFailure(-1);
    EXPECT_EQ(nullptr, failing.source);
    EXPECT_EQ(nullptr, failing.work);
    EXPECT_EQ(0, failing.width);
}

} // namespace
