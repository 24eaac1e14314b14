// Turning, mirroring and the orientation bookkeeping, reduction with the kept
// full raster, and allocation failures at every step.
#include "images/pixels/picturebase.h"
#include "images/pixels/pixmem.h"
#include "images/pixels/rasterkernels.h"

#include <stdint.h>

#include <algorithm>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

typedef std::vector<uint16_t> Pixels;

Pixels Random(int w, int h, unsigned seed)
{
    std::mt19937 rng(seed);
    Pixels p((size_t)w * h);
    for (auto& v : p)
        v = (uint16_t)rng();
    return p;
}

Pixels Of(const DPictureBase& pic)
{
    return Pixels(pic.source, pic.source + (size_t)pic.width * pic.height);
}

void Fill(DPictureBase& pic, const Pixels& px)
{
    std::copy(px.begin(), px.end(), pic.source);
}

struct Kernel
{
    CopyKernel fn;
    bool swaps;
    // Destination position of source (x, y) for a W x H source.
    int (*dx)(int x, int y, int W, int H);
    int (*dy)(int x, int y, int W, int H);
};

const Kernel kKernels[] = {
    {MirrorVertical, false, [](int x, int, int, int) { return x; }, [](int, int y, int, int H) { return H - 1 - y; }},
    {MirrorHorizontal, false, [](int x, int, int W, int) { return W - 1 - x; }, [](int, int y, int, int) { return y; }},
    {Rotate180, false, [](int x, int, int W, int) { return W - 1 - x; },
     [](int, int y, int, int H) { return H - 1 - y; }},
    {Rotate90CW, true, [](int, int y, int, int H) { return H - 1 - y; }, [](int x, int, int, int) { return x; }},
    {Transverse, true, [](int, int y, int, int H) { return H - 1 - y; },
     [](int x, int, int W, int) { return W - 1 - x; }},
    {Transpose, true, [](int, int y, int, int) { return y; }, [](int x, int, int, int) { return x; }},
    {Rotate90CCW, true, [](int, int y, int, int) { return y; }, [](int x, int, int W, int) { return W - 1 - x; }},
};

TEST(CopyKernels, EveryKernelMovesEachPixelWhereItsTableSays)
{
    const int W = 130, H = 67;      // more than two 64-pixel blocks across, a partial block down
    Pixels src = Random(W, H, 1);
    for (const Kernel& k : kKernels) {
        Pixels dst((size_t)W * H, 0);
        k.fn(src.data(), dst.data(), W, H);
        const int dw = k.swaps ? H : W;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                ASSERT_EQ(src[(size_t)y * W + x], dst[(size_t)k.dy(x, y, W, H) * dw + k.dx(x, y, W, H)])
                    << "kernel " << (&k - kKernels) << " at " << x << "," << y;
    }
}

// The turning kernels on pictures large enough for their bands, strips and
// streamed rows, on a noise picture and a smooth one, against the plain
// loop: one raster of the size in a page allocation, as the program's are.
TEST(CopyKernels, TurnsOfLargePicturesGiveThePlainLoopsPixels)
{
    struct Case
    {
        int w, h;
        const char* what;
    };
    const Case cases[] = {
        {1040, 1032, "over 2 MB, rows a multiple of eight pixels: streamed"},
        {1037, 1029, "over 2 MB, odd sides: partial blocks across and down"},
        {600, 1100, "three bands, the last partial"},
    };
    for (const Case& c : cases) {
        for (int smooth = 0; smooth < 2; ++smooth) {
            DPictureBase from(c.w, c.h), to(c.w, c.h);
            ASSERT_TRUE(from.source && to.source);
            Pixels src = Random(c.w, c.h, 7);
            for (int y = 0; smooth && y < c.h; ++y)
                for (int x = 0; x < c.w; ++x)
                    src[(size_t)y * c.w + x] = (uint16_t)(2000 + 3 * x + 2 * y + (src[(size_t)y * c.w + x] & 15));
            Fill(from, src);
            for (const Kernel& k : kKernels) {
                if (!k.swaps)
                    continue;
                Pixels expect((size_t)c.w * c.h);
                for (int y = 0; y < c.h; ++y)
                    for (int x = 0; x < c.w; ++x)
                        expect[(size_t)k.dy(x, y, c.w, c.h) * c.h + k.dx(x, y, c.w, c.h)] = src[(size_t)y * c.w + x];
                k.fn(from.source, to.source, c.w, c.h);
                EXPECT_TRUE(std::equal(expect.begin(), expect.end(), to.source))
                    << "kernel " << (&k - kKernels) << ", " << c.w << " x " << c.h << " (" << c.what << "), "
                    << (smooth ? "smooth" : "noise");
            }
        }
    }
}

TEST(CopyKernels, OrientationKernelsAndTheirInverses)
{
    EXPECT_EQ(nullptr, OrientationKernel(0));
    EXPECT_EQ(nullptr, OrientationKernel(8));
    EXPECT_EQ(nullptr, OrientationKernel(-1));
    for (int o = 1; o < 8; ++o)
        EXPECT_EQ(kKernels[o - 1].fn, OrientationKernel(o));
    EXPECT_EQ(Rotate90CCW, InverseOrientationKernel(4));
    EXPECT_EQ(Rotate90CW, InverseOrientationKernel(7));
    EXPECT_EQ(Transverse, InverseOrientationKernel(5));
}

// A picture whose stored raster is `stored` (W x H) shown in orientation o.
struct Oriented
{
    DPictureBase pic;
    Oriented(const Pixels& stored, int W, int H, int o, double sx = 0.1, double sy = 0.2) : pic(W, H)
    {
        Fill(pic, stored);
        pic.spacingX = sx;
        pic.spacingY = sy;
        pic.orientation = o;
        EXPECT_EQ(1, pic.ApplyOrientation());
    }
};

const int kW = 37, kH = 23;

TEST(Orientation, ApplyOrientationUsesTheKernelOfEachValue)
{
    Pixels stored = Random(kW, kH, 2);
    for (int o = 1; o < 8; ++o) {
        Oriented s(stored, kW, kH, o);
        Pixels expect((size_t)kW * kH);
        OrientationKernel(o)(stored.data(), expect.data(), kW, kH);
        EXPECT_EQ(expect, Of(s.pic)) << o;
        EXPECT_EQ(o & 4 ? kH : kW, s.pic.width);
        EXPECT_EQ(o & 4 ? 0.2 : 0.1, s.pic.spacingX);
    }
    DPictureBase bad(2, 2);
    bad.orientation = 8;
    EXPECT_EQ(0, bad.ApplyOrientation());
}

// Every row of the turn tables, and the mirror and flip bits: after the
// operation the source equals the stored raster through the new orientation.
TEST(Orientation, EveryOperationKeepsTheSourceInStepWithTheOrientation)
{
    Pixels stored = Random(kW, kH, 3);
    const int clockwise[8] = {4, 6, 5, 7, 3, 1, 2, 0};
    const int counter[8] = {7, 5, 6, 4, 0, 2, 1, 3};
    for (int o = 0; o < 8; ++o) {
        for (int op = 0; op < 4; ++op) {
            Oriented s(stored, kW, kH, o);
            int expectOrientation = 0;
            switch (op) {
            case 0: ASSERT_EQ(1, s.pic.RotateClockwise()); expectOrientation = clockwise[o]; break;
            case 1: ASSERT_EQ(1, s.pic.RotateCounterClockwise()); expectOrientation = counter[o]; break;
            case 2: ASSERT_EQ(1, s.pic.MirrorHorizontal()); expectOrientation = o ^ 2; break;
            case 3: ASSERT_EQ(1, s.pic.FlipVertical()); expectOrientation = o ^ 1; break;
            }
            ASSERT_EQ(expectOrientation, s.pic.orientation) << "orientation " << o << " operation " << op;
            Oriented again(stored, kW, kH, expectOrientation);
            ASSERT_EQ(Of(again.pic), Of(s.pic)) << "orientation " << o << " operation " << op;
            EXPECT_EQ(again.pic.width, s.pic.width);
            EXPECT_EQ(again.pic.spacingX, s.pic.spacingX);
            // And the stored raster comes back through the inverse kernel.
            Pixels back((size_t)kW * kH);
            s.pic.SelectKernel(back.data());
            if (expectOrientation != 0) {
                ASSERT_EQ(stored, back);
            }
        }
    }
}

TEST(Orientation, FourTurnsEitherWayAreTheIdentity)
{
    Pixels stored = Random(kW, kH, 4);
    for (int o = 0; o < 8; ++o) {
        Oriented s(stored, kW, kH, o);
        Pixels before = Of(s.pic);
        for (int i = 0; i < 4; ++i)
            s.pic.RotateClockwise();
        EXPECT_EQ(o, s.pic.orientation);
        EXPECT_EQ(before, Of(s.pic));
        s.pic.RotateCounterClockwise();
        s.pic.RotateClockwise();
        EXPECT_EQ(o, s.pic.orientation);
        EXPECT_EQ(before, Of(s.pic));
    }
}

TEST(Orientation, MirroredPictureTurned)
{
    DPictureBase a(4, 3), b(4, 3);
    a.orientation = b.orientation = 2;
    a.RotateClockwise();
    b.RotateCounterClockwise();
    EXPECT_EQ(5, a.orientation);
    EXPECT_EQ(6, b.orientation);
}

TEST(Orientation, TurnThatCannotAllocateChangesNothing)
{
    DPictureBase pic(40, 30);
    Fill(pic, Random(40, 30, 5));
    pic.Reduce(2);
    Pixels before = Of(pic);
    uint16_t* full = pic.full;
    SetPixelAllocFailure(0);
    EXPECT_EQ(0, pic.RotateClockwise());
    SetPixelAllocFailure(-1);
    EXPECT_EQ(before, Of(pic));
    EXPECT_EQ(full, pic.full);
    EXPECT_EQ(0, pic.orientation);
    EXPECT_EQ(20, pic.width);
    EXPECT_EQ(40, pic.fullWidth);
}

TEST(Reduction, BadFactorsAreRefusedWithError87)
{
    DPictureBase pic(30, 30);
    for (int f : {1, 0, -2, -5}) {
        try {
            pic.Reduce(f);
            ADD_FAILURE() << f;
        } catch (unsigned e) {
            EXPECT_EQ(87u, e);
        }
    }
    EXPECT_EQ(30, pic.width);
    EXPECT_EQ(0u, pic.stateFlags);
    EXPECT_EQ(nullptr, pic.full);
}

TEST(Reduction, ReducingAgainStartsFromTheFullRaster)
{
    DPictureBase pic(99, 60);
    pic.spacingX = 0.3;
    pic.spacingY = 0.6;
    pic.Reduce(3);
    EXPECT_EQ(33, pic.width);
    EXPECT_EQ(20, pic.height);
    pic.Reduce(2);
    EXPECT_EQ(49, pic.width);
    EXPECT_EQ(30, pic.height);
    EXPECT_DOUBLE_EQ(0.15, pic.spacingX);
    EXPECT_EQ(2, pic.reduction);
    pic.Reduce(-1);
    EXPECT_EQ(66, pic.width);
    EXPECT_EQ(40, pic.height);
    EXPECT_DOUBLE_EQ(0.2, pic.spacingX);
    EXPECT_DOUBLE_EQ(0.4, pic.spacingY);
}

TEST(Reduction, RestoreGivesBackThePictureAndItsSpacings)
{
    DPictureBase pic(64, 48);
    Pixels px = Random(64, 48, 6);
    Fill(pic, px);
    pic.spacingX = 0.25;
    pic.spacingY = 0.5;
    pic.Reduce(2);
    EXPECT_EQ(DPictureBase::kReduced, pic.stateFlags & DPictureBase::kReduced);
    ASSERT_TRUE(pic.RestoreFullSize());
    EXPECT_EQ(px, Of(pic));
    EXPECT_EQ(64, pic.width);
    EXPECT_EQ(0.25, pic.spacingX);
    EXPECT_EQ(0.5, pic.spacingY);
    EXPECT_EQ(0, pic.reduction);
    EXPECT_EQ(0u, pic.stateFlags);
    EXPECT_EQ(nullptr, pic.full);
    EXPECT_NE(nullptr, pic.work);
    EXPECT_FALSE(pic.RestoreFullSize());
}

TEST(Reduction, TurnsWhileReducedKeepTheFullRasterInStep)
{
    DPictureBase a(64, 48), b(64, 48);
    Pixels px = Random(64, 48, 7);
    Fill(a, px);
    Fill(b, px);
    a.spacingX = b.spacingX = 0.1;
    a.spacingY = b.spacingY = 0.3;
    a.Reduce(2);
    a.RotateClockwise();
    a.MirrorHorizontal();
    EXPECT_EQ(24, a.width);
    EXPECT_EQ(48, a.fullWidth);
    ASSERT_TRUE(a.RestoreFullSize());
    b.RotateClockwise();
    b.MirrorHorizontal();
    EXPECT_EQ(Of(b), Of(a));
    EXPECT_EQ(b.orientation, a.orientation);
    EXPECT_EQ(0.3, a.spacingX);
    EXPECT_EQ(0.1, a.spacingY);
}

TEST(Reduction, FailedAllocationsLeaveThePictureAsItWas)
{
    // One allocation: the reduced raster, which the work raster shares.
    for (int step = 0; step < 1; ++step) {
        DPictureBase pic(30, 30);
        Pixels px = Random(30, 30, 8);
        Fill(pic, px);
        uint16_t* source = pic.source;
        SetPixelAllocFailure(step);
        try {
            pic.Reduce(2);
            ADD_FAILURE() << "no failure at step " << step;
        } catch (unsigned e) {
            EXPECT_EQ(8u, e);
        }
        SetPixelAllocFailure(-1);
        EXPECT_EQ(source, pic.source);
        EXPECT_EQ(px, Of(pic));
        EXPECT_EQ(30, pic.width);
        EXPECT_EQ(0u, pic.stateFlags);
        EXPECT_NE(nullptr, pic.work);
    }
    DPictureBase pic(30, 30);
    pic.Reduce(3);
    uint16_t* source = pic.source;
    SetPixelAllocFailure(0);
    EXPECT_FALSE(pic.RestoreFullSize());
    SetPixelAllocFailure(-1);
    EXPECT_EQ(source, pic.source);
    EXPECT_EQ(10, pic.width);
    EXPECT_NE(nullptr, pic.full);
}

TEST(Reduction, FreeSavedEndsTheReducedState)
{
    DPictureBase pic(30, 30);
    pic.Reduce(2);
    pic.FreeSaved();
    EXPECT_EQ(nullptr, pic.full);
    EXPECT_EQ(0, pic.reduction);
    EXPECT_EQ(0u, pic.stateFlags);
    EXPECT_EQ(1, pic.RotateClockwise());
    EXPECT_EQ(15, pic.width);
}

TEST(ReductionKernels, BoxAverageDropsTheRemainderAndTheTrailingColumns)
{
    // 7 x 4 by 3: 2 x 1 output from the blocks at x 0 and 3.
    Pixels src(7 * 4);
    for (int i = 0; i < 28; ++i)
        src[i] = (uint16_t)(i * 10);
    Pixels dst(2);
    ReduceBoxAverage(dst.data(), src.data(), 7, 4, 2, 1, 3);
    EXPECT_EQ((0 + 10 + 20 + 70 + 80 + 90 + 140 + 150 + 160) / 9, dst[0]);
    EXPECT_EQ((30 + 40 + 50 + 100 + 110 + 120 + 170 + 180 + 190) / 9, dst[1]);
}

TEST(ReductionKernels, TwoThirdsWeighsOneThreeThreeNine)
{
    // 6 x 6 -> 4 x 4; the interior 2 x 2 block from the 3 x 3 block at (0, 0).
    Pixels src(36);
    for (int i = 0; i < 36; ++i)
        src[i] = (uint16_t)(i * i + 7);
    Pixels dst(16);
    ReduceTwoThirds(dst.data(), src.data(), 6, 6, 4, 4);
    auto s = [&](int x, int y) { return (uint32_t)src[y * 6 + x]; };
    EXPECT_EQ((1 * s(0, 0) + 3 * s(1, 0) + 3 * s(0, 1) + 9 * s(1, 1)) / 16, dst[0]);
    EXPECT_EQ((3 * s(2, 0) + 1 * s(3, 0) + 9 * s(2, 1) + 3 * s(3, 1)) / 16, dst[1]);
    EXPECT_EQ((3 * s(0, 2) + 9 * s(1, 2) + 1 * s(0, 3) + 3 * s(1, 3)) / 16, dst[4]);
    EXPECT_EQ((9 * s(2, 2) + 3 * s(3, 2) + 3 * s(2, 3) + 1 * s(3, 3)) / 16, dst[5]);
    // The last column (i = 3) samples columns 5 and 6: only 5 exists.
    EXPECT_EQ((4 * s(5, 0) + 12 * s(5, 1)) / 16, dst[3]);
    EXPECT_EQ(s(5, 5), dst[15]);
}

// The two-thirds rule for one output index: the samples and their weight in
// quarters, the edge pixel alone where the second sample is outside.
void TwoThirdsReferenceTap(int i, int len, int& s0, int& s1, uint32_t& w0)
{
    s0 = (i & 1) ? 3 * (i / 2) + 2 : 3 * (i / 2);
    w0 = (i & 1) ? 3 : 1;
    if (s0 > len - 1)
        s0 = len - 1;
    s1 = s0 + 1;
    if (s1 > len - 1) {
        s1 = s0;
        w0 = 4;
    }
}

TEST(ReductionKernels, TwoThirdsBlocksAndEdgesEqualTheRuleAtEverySize)
{
    std::mt19937 rng(11);
    for (int w = 2; w <= 23; ++w)
        for (int h : {2, 3, 4, 5, 6, 7, 9, 10, 17}) {
            Pixels src((size_t)w * h);
            for (auto& p : src)
                p = (uint16_t)rng();
            const int dw = w * 2 / 3, dh = h * 2 / 3;
            Pixels dst((size_t)dw * dh, 0xBEEF);
            ReduceTwoThirds(dst.data(), src.data(), w, h, dw, dh);
            for (int j = 0; j < dh; ++j)
                for (int i = 0; i < dw; ++i) {
                    int x0, x1, y0, y1;
                    uint32_t wx, wy;
                    TwoThirdsReferenceTap(i, w, x0, x1, wx);
                    TwoThirdsReferenceTap(j, h, y0, y1, wy);
                    auto s = [&](int x, int y) { return (uint32_t)src[(size_t)y * w + x]; };
                    const uint32_t top = wx * s(x0, y0) + (4 - wx) * s(x1, y0);
                    const uint32_t bottom = wx * s(x0, y1) + (4 - wx) * s(x1, y1);
                    ASSERT_EQ((wy * top + (4 - wy) * bottom) >> 4, dst[(size_t)j * dw + i])
                        << w << "x" << h << " at " << i << "," << j;
                }
        }
}

TEST(ReductionKernels, TwoThirdsBlockKernelTouchesOnlyItsBlocks)
{
    Pixels src(9 * 7);
    for (int i = 0; i < 9 * 7; ++i)
        src[i] = (uint16_t)(i * 31);
    Pixels dst(6 * 4, 0xBEEF);
    ReduceTwoThirdsBlocks(dst.data(), 6, src.data(), 9, 2, 1);
    auto s = [&](int x, int y) { return (uint32_t)src[y * 9 + x]; };
    EXPECT_EQ((9 * s(5, 2) + 3 * s(6, 2) + 3 * s(5, 3) + s(6, 3)) / 16, dst[6 + 3]);
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 6; ++i)
            if (j >= 2 || i >= 4) {
                ASSERT_EQ(0xBEEF, dst[j * 6 + i]) << i << "," << j;
            }
}

TEST(NoiseSigma, SpikeAboveTheFloorBecomesTheMeanAndTheRestIsCopied)
{
    const int W = 7, H = 6;
    Pixels src(W * H);
    for (int i = 0; i < W * H; ++i)
        src[i] = (uint16_t)(1000 + (i % 3));
    src[2 * W + 3] = 5000;          // a spike
    src[3 * W + 5] = 300;           // far below its neighbours, but under the floor of 405
    src[0 * W + 2] = 9000;          // on the border
    uint16_t* out = FilterNoiseSigma(src.data(), W, H);
    ASSERT_NE(nullptr, out);
    uint32_t sum = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (dx || dy)
                sum += src[(2 + dy) * W + 3 + dx];
    EXPECT_EQ(sum >> 3, out[2 * W + 3]);
    EXPECT_EQ(300, out[3 * W + 5]);
    EXPECT_EQ(9000, out[0 * W + 2]);
    for (int i = 0; i < W * H; ++i)
        if (i != 2 * W + 3) {
            ASSERT_EQ(src[i], out[i]) << i;
        }
    PixelFree(out);
    SetPixelAllocFailure(0);
    EXPECT_EQ(nullptr, FilterNoiseSigma(src.data(), W, H));
}

TEST(PictureRasters, AllocBuffersOnAPictureWithBothRastersChangesNothing)
{
    DPictureBase pic(10, 10);
    uint16_t* s = pic.source;
    EXPECT_FALSE(pic.AllocBuffers(20, 20));
    EXPECT_EQ(s, pic.source);
    EXPECT_EQ(10, pic.width);
}

TEST(PictureRasters, FailedAllocBuffersHoldsNeitherRaster)
{
    DPictureBase pic;
    SetPixelAllocFailure(1);
    EXPECT_FALSE(pic.AllocBuffers(20, 20));
    SetPixelAllocFailure(-1);
    EXPECT_EQ(nullptr, pic.source);
    EXPECT_EQ(nullptr, pic.work);
    EXPECT_EQ(0, pic.width);
    ASSERT_TRUE(pic.AllocBuffers(20, 10));
    EXPECT_EQ(20, pic.zoomedWidth);
    EXPECT_EQ(10, pic.zoomedHeight);
}

TEST(PictureRasters, NewPictureHasUnitScaleAndZoom)
{
    DPictureBase pic;
    EXPECT_EQ(1.0, pic.scale);
    EXPECT_EQ(1.0, pic.zoom);
    EXPECT_EQ(0, pic.viewCentreX);
    EXPECT_EQ(0, pic.viewCentreY);
    EXPECT_EQ(0.0, pic.spacingX);
    EXPECT_EQ(nullptr, pic.source);
}

TEST(PictureMapping, RectanglesMapThroughTheZoomIn64Bits)
{
    DPictureBase pic;
    pic.width = 3000;
    pic.height = 2000;
    pic.viewOriginX = 10;
    pic.viewOriginY = 20;
    PixelRect out;
    pic.MapRect({100, 200, 300, 400}, out);
    EXPECT_EQ(90, out.left);
    EXPECT_EQ(180, out.top);
    EXPECT_EQ(290, out.right);
    EXPECT_EQ(380, out.bottom);
    pic.zoom = 1000.0;
    pic.zoomedWidth = 3000000;
    pic.zoomedHeight = 2000000;
    pic.MapRect({2999, 1999, 3000, 2000}, out);
    EXPECT_EQ(2999000 - 10, out.left);  // 2999 * 3000000 overflows 32 bits
    EXPECT_EQ(1999000 - 20, out.top);
    EXPECT_EQ(3000000 - 10, out.right);
    pic.fullWidth = 6000;
    EXPECT_EQ(5998, pic.ImageToView(2999));
    EXPECT_EQ(1499, pic.ViewToImage(2999));
}

} // namespace
