// The renderer: zoom and fit modes, the direct, nearest and bilinear paths
// against their formulas, and panning against a full render.
#include "images/pixels/displayrenderer.h"
#include "images/pixels/pixmem.h"

#include <stdint.h>
#include <string.h>

#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Scene
{
    DPictureBase pic;
    DisplayRenderer view;

    Scene(int W, int H, int cellW, int cellH, unsigned seed = 1) : pic(W, H)
    {
        std::mt19937 rng(seed);
        for (int i = 0; i < W * H; ++i)
            pic.work[i] = (uint16_t)(rng() & 0x0FFF);
        pic.displayOffset = -100;
        pic.displayWidth = 3000;
        EXPECT_TRUE(view.AllocRenderBuffers(cellW, cellH));
        view.SetZoomArea(cellW, cellH);
        view.SetPicture(&pic);
    }

    uint8_t Out(int c, int r) const { return view.GetBits()[(size_t)r * view.GetStride() + c]; }
    uint16_t Px(int x, int y) const { return pic.work[(size_t)y * pic.width + x]; }
    uint8_t Lut(uint32_t v) const { return view.GetLut()[v]; }
};

// Source position and 8-bit fraction of a view column or row.
void MapOf(int i, int origin, double zoom, int& s, uint32_t& f)
{
    double v = (i + origin) / zoom;
    s = (int)v;
    f = (uint32_t)(int)((v - s) * 256) & 255;
}

TEST(RendererZoom, DirectViewIsTheCentredWindowThroughTheTable)
{
    Scene s(300, 200, 120, 100);
    s.view.SetScale(1.0, 150, 100);
    EXPECT_EQ(120, s.view.GetViewWidth());
    EXPECT_EQ(100, s.view.GetViewHeight());
    EXPECT_EQ(120, s.view.GetStride());
    EXPECT_EQ(90, s.pic.viewOriginX);
    EXPECT_EQ(50, s.pic.viewOriginY);
    for (int r = 0; r < 100; ++r)
        for (int c = 0; c < 120; ++c)
            ASSERT_EQ(s.Lut(s.Px(c + 90, r + 50)), s.Out(c, r));
}

TEST(RendererZoom, CentreNearAnEdgeKeepsTheViewInsideThePicture)
{
    Scene s(300, 200, 120, 100);
    s.view.SetScale(1.0, 295, 2);
    EXPECT_EQ(180, s.pic.viewOriginX);
    EXPECT_EQ(0, s.pic.viewOriginY);
    s.view.SetScale(2.0, 0, 199);
    EXPECT_EQ(0, s.pic.viewOriginX);
    EXPECT_EQ(300, s.pic.viewOriginY);
}

TEST(RendererZoom, FitModes)
{
    Scene wide(400, 200, 100, 100);
    wide.view.SetScale(-3.0, 0, 0);
    EXPECT_DOUBLE_EQ(0.25, wide.pic.zoom);
    EXPECT_EQ(100, wide.pic.zoomedWidth);
    EXPECT_EQ(50, wide.pic.zoomedHeight);
    EXPECT_EQ(100, wide.view.GetViewWidth());
    EXPECT_EQ(50, wide.view.GetViewHeight());
    EXPECT_EQ(200, wide.pic.viewCentreX);
    EXPECT_EQ(100, wide.pic.viewCentreY);
    EXPECT_EQ(-3.0, wide.pic.scale);

    Scene square(300, 300, 100, 100);
    square.view.SetScale(-3.0, 0, 0);
    EXPECT_EQ(100, square.pic.zoomedHeight);
    EXPECT_EQ((int)(300 * (100.0 / 300)), square.pic.zoomedWidth);

    Scene fitWidth(400, 300, 200, 100);
    fitWidth.view.SetScale(-1.0, 7, 250);
    EXPECT_EQ(200, fitWidth.pic.zoomedWidth);
    EXPECT_EQ(150, fitWidth.pic.zoomedHeight);
    EXPECT_EQ(200, fitWidth.pic.viewCentreX);
    EXPECT_EQ(250, fitWidth.pic.viewCentreY);
    EXPECT_EQ(50, fitWidth.pic.viewOriginY);    // 125 - 50, limited to 150 - 100

    fitWidth.view.SetScale(-2.0, 10, 20);
    EXPECT_EQ(100, fitWidth.pic.zoomedHeight);
    EXPECT_EQ(133, fitWidth.pic.zoomedWidth);
    EXPECT_EQ(10, fitWidth.pic.viewCentreX);
    EXPECT_EQ(150, fitWidth.pic.viewCentreY);
}

TEST(RendererZoom, FactorOfZeroOrLessZoomsAtOneButIsKept)
{
    Scene s(50, 40, 100, 100);
    s.view.SetScale(0.0, 25, 20);
    EXPECT_EQ(1.0, s.pic.zoom);
    EXPECT_EQ(0.0, s.pic.scale);
    EXPECT_EQ(50, s.view.GetViewWidth());
    EXPECT_EQ(52, s.view.GetStride());
    s.view.SetScale(-7.5, 25, 20);
    EXPECT_EQ(1.0, s.pic.zoom);
    EXPECT_EQ(-7.5, s.pic.scale);
}

TEST(RendererPaths, NearestEqualsItsFormula)
{
    for (double zoom : {2.5, 0.37, 1.75}) {
        Scene s(97, 61, 150, 90);
        s.view.SetSmooth(0);
        s.view.SetScale(zoom, 40, 30);
        const int ox = s.pic.viewOriginX, oy = s.pic.viewOriginY;
        for (int r = 0; r < s.view.GetViewHeight(); ++r)
            for (int c = 0; c < s.view.GetViewWidth(); ++c) {
                int sx, sy;
                uint32_t fx, fy;
                MapOf(c, ox, zoom, sx, fx);
                MapOf(r, oy, zoom, sy, fy);
                ASSERT_EQ(s.Lut(s.Px(sx, sy)), s.Out(c, r)) << zoom << ": " << c << "," << r;
            }
    }
}

// The bilinear rule with its strips, computed from the picture's fields.
uint8_t BilinearReference(const Scene& s, int c, int r)
{
    const DPictureBase& p = s.pic;
    const int n = p.zoom >= 1.0 ? (int)p.zoom : 1;
    int sx, sy;
    uint32_t fx, fy;
    MapOf(c, p.viewOriginX, p.zoom, sx, fx);
    MapOf(r, p.viewOriginY, p.zoom, sy, fy);
    const bool right = c < p.zoomedWidth - n - p.viewOriginX;
    const bool down = r < p.zoomedHeight - n - p.viewOriginY;
    uint32_t a = s.Px(sx, sy);
    if (right && down) {
        uint32_t b = s.Px(sx + 1, sy), cc = s.Px(sx, sy + 1), d = s.Px(sx + 1, sy + 1);
        uint32_t top = (a << 8) + fx * (b - a), bottom = (cc << 8) + fx * (d - cc);
        return s.Lut(((top << 8) + fy * (bottom - top)) >> 16);
    }
    if (down)
        return s.Lut(((a << 8) + fy * (s.Px(sx, sy + 1) - a)) >> 8);
    if (right)
        return s.Lut(((a << 8) + fx * (s.Px(sx + 1, sy) - a)) >> 8);
    return s.Lut(a);
}

TEST(RendererPaths, BilinearEqualsItsFormulaAtEveryZoom)
{
    for (double zoom : {2.0, 3.3, 0.5, 0.31, 1.5, -3.0}) {
        Scene s(83, 57, 140, 120, 3);
        s.view.SetScale(zoom, 60, 50);
        for (int r = 0; r < s.view.GetViewHeight(); ++r)
            for (int c = 0; c < s.view.GetViewWidth(); ++c)
                ASSERT_EQ(BilinearReference(s, c, r), s.Out(c, r)) << zoom << ": " << c << "," << r;
    }
}

TEST(RendererPaths, AtZoomTwoTheLastTwoColumnsAndRowsInterpolateOneWay)
{
    Scene s(40, 30, 80, 60);
    s.view.SetScale(2.0, 20, 15);
    ASSERT_EQ(80, s.view.GetViewWidth());
    ASSERT_EQ(60, s.view.GetViewHeight());
    // Column 78 maps to source 39 with fraction 0: only the lower neighbour.
    uint32_t a = s.Px(39, 10), c = s.Px(39, 11);
    EXPECT_EQ(s.Lut(((a << 8) + 128 * (c - a)) >> 8), s.Out(79, 21));
    // Row 59: source row 29 + 0.5, only the right neighbour.
    uint32_t l = s.Px(5, 29), rr = s.Px(6, 29);
    EXPECT_EQ(s.Lut(((l << 8) + 128 * (rr - l)) >> 8), s.Out(11, 59));
    EXPECT_EQ(s.Lut(s.Px(39, 29)), s.Out(79, 59));
    EXPECT_EQ(s.Lut(s.Px(39, 29)), s.Out(78, 58));
    // A zero fraction in both directions is the pixel itself.
    EXPECT_EQ(s.Lut(s.Px(3, 4)), s.Out(6, 8));
}

// The buffer after a pan equals a full render at the new origin.
void ExpectSameAsFullRender(Scene& s)
{
    std::vector<uint8_t> panned;
    for (int r = 0; r < s.view.GetViewHeight(); ++r)
        panned.insert(panned.end(), s.view.GetBits() + (size_t)r * s.view.GetStride(),
                      s.view.GetBits() + (size_t)r * s.view.GetStride() + s.view.GetViewWidth());
    s.view.Render();
    for (int r = 0; r < s.view.GetViewHeight(); ++r)
        for (int c = 0; c < s.view.GetViewWidth(); ++c)
            ASSERT_EQ(s.Out(c, r), panned[(size_t)r * s.view.GetViewWidth() + c]) << c << "," << r;
}

TEST(RendererPan, StripsAfterAPanEqualAFullRender)
{
    const int moves[][2] = {{5, 0}, {0, 7}, {-9, 0}, {0, -4}, {13, -6}, {-3, 11}, {-20, -20}, {31, 17}};
    for (double zoom : {1.0, 2.0, 0.6, 3.7}) {
        for (int smooth : {0, 1}) {
            Scene s(160, 120, 100, 80, 5);
            s.view.SetSmooth(smooth);
            s.view.SetScale(zoom, 80, 60);
            for (auto& m : moves) {
                s.view.Pan(m[0], m[1]);
                ExpectSameAsFullRender(s);
                if (HasFatalFailure()) {
                    ADD_FAILURE() << "zoom " << zoom << " smooth " << smooth << " move " << m[0] << "," << m[1];
                    return;
                }
            }
        }
    }
}

TEST(RendererPan, PanStopsAtTheEdgeAndReportsNoChange)
{
    Scene s(200, 150, 100, 80);
    s.view.SetScale(1.0, 100, 75);
    EXPECT_EQ(1, s.view.Pan(-1000, 0));
    EXPECT_EQ(100, s.pic.viewOriginX);      // 200 - 100
    EXPECT_EQ(150, s.pic.viewCentreX);      // view centre follows
    std::vector<uint8_t> before(s.view.GetBits(), s.view.GetBits() + 100 * 80);
    EXPECT_EQ(0, s.view.Pan(-5, 0));
    EXPECT_EQ(before, std::vector<uint8_t>(s.view.GetBits(), s.view.GetBits() + 100 * 80));
    EXPECT_EQ(1, s.view.Pan(0, 1000));
    EXPECT_EQ(0, s.pic.viewOriginY);
    EXPECT_EQ(1, s.view.Pan(1000, -1000));  // more than the view: a full render
    EXPECT_EQ(0, s.pic.viewOriginX);
    EXPECT_EQ(70, s.pic.viewOriginY);
    ExpectSameAsFullRender(s);
}

TEST(RendererCoordinates, ViewToImage)
{
    Scene s(200, 150, 100, 80);
    s.view.SetScale(1.0, 100, 75);
    EXPECT_EQ(50 + 10, s.view.ViewToImageX(10));
    s.view.SetScale(2.0, 100, 75);
    EXPECT_EQ(150, s.pic.viewOriginX);
    EXPECT_EQ((10 + 150) / 2, s.view.ViewToImageX(10));
    PixelRect r = {30, 40, 10, 20};
    s.view.ViewRectToImage(r);
    EXPECT_EQ((10 + 150) / 2, r.left);
    EXPECT_EQ((30 + 150) / 2, r.right);
    EXPECT_EQ((20 + s.pic.viewOriginY) / 2, r.top);
    EXPECT_EQ((40 + s.pic.viewOriginY) / 2, r.bottom);
}

TEST(RendererBuffers, SizesFollowTheCell)
{
    DisplayRenderer view;
    ASSERT_TRUE(view.AllocRenderBuffers(190, 50));
    uint8_t* bits = view.GetBits();
    EXPECT_TRUE(view.AllocRenderBuffers(190, 50));
    EXPECT_EQ(bits, view.GetBits());
    view.SetViewSize(500, 500);
    EXPECT_EQ(190, view.GetViewWidth());
    EXPECT_EQ(192, view.GetStride());
    SetPixelAllocFailure(1);
    EXPECT_FALSE(view.AllocRenderBuffers(191, 50));
    SetPixelAllocFailure(-1);
    EXPECT_EQ(nullptr, view.GetBits());
    EXPECT_EQ(0, view.GetBufferWidth());
    DPictureBase pic(10, 10);
    view.SetPicture(&pic);
    view.Render();      // no buffer: nothing, no crash
    EXPECT_EQ(0, view.Pan(3, 3));
}

TEST(RendererBuffers, StaleZoomedSizeNeverReadsOutsideThePicture)
{
    Scene s(64, 48, 128, 96);
    s.view.SetScale(2.0, 32, 24);
    // The picture shrinks under the view (a reduction without a new zoom).
    s.pic.width = 30;
    s.pic.height = 20;
    s.view.BuildScaleMaps();
    s.view.Render();
    s.view.SetSmooth(0);
    s.view.Render();
    s.pic.zoom = 1.0;
    s.view.Render();
}

TEST(RendererBuffers, PictureTurnedOrReducedInAnotherViewRendersFromItsOwnMaps)
{
    // Two views show one picture; the second view turns it and reduces it,
    // and the first renders again without a new zoom of its own (a change of
    // window and level). It must map through the picture as it is now.
    for (int smooth : {0, 1}) {
        Scene s(120, 40, 100, 100);
        s.view.SetSmooth(smooth);
        s.view.SetScale(2.0, 110, 35);
        DisplayRenderer other;
        ASSERT_TRUE(other.AllocRenderBuffers(100, 100));
        other.SetZoomArea(100, 100);
        other.SetPicture(&s.pic);
        ASSERT_EQ(1, s.pic.RotateClockwise());
        s.pic.Reduce(3);
        ASSERT_TRUE(s.pic.RefreshWork());
        other.SetScale(2.0, 5, 15);
        s.view.Render();    // reads only the 13 x 40 raster
        const int ox = s.pic.viewOriginX, oy = s.pic.viewOriginY;
        for (int r = 0; r < s.view.GetViewHeight() && r < other.GetViewHeight(); ++r)
            for (int c = 0; c < s.view.GetViewWidth() && c < other.GetViewWidth(); ++c) {
                if (!smooth) {
                    int sx, sy;
                    uint32_t fx, fy;
                    MapOf(c, ox, 2.0, sx, fx);
                    MapOf(r, oy, 2.0, sy, fy);
                    ASSERT_EQ(s.Lut(s.Px(sx, sy)), s.Out(c, r)) << c << "," << r;
                }
                ASSERT_EQ(other.GetBits()[(size_t)r * other.GetStride() + c], s.Out(c, r)) << c << "," << r;
            }
    }
}

TEST(RendererZoom, EmptyZoomAreaLeavesThePictureAndShowsNothing)
{
    for (double scale : {-1.0, -2.0, -3.0, 1.0}) {
        Scene s(60, 40, 100, 100);
        s.view.SetScale(2.0, 30, 20);
        s.view.SetZoomArea(100, 0);
        s.view.SetScale(scale, 30, 20);
        EXPECT_EQ(2.0, s.pic.zoom) << scale;
        EXPECT_EQ(0, s.view.GetViewWidth());
        EXPECT_EQ(0, s.view.GetViewHeight());
        s.view.Render();
    }
    // A zoom of 0 that reached the picture otherwise maps nothing and divides
    // by nothing.
    Scene s(60, 40, 100, 100);
    s.view.SetScale(2.0, 30, 20);
    s.pic.zoom = 0.0;
    s.view.BuildScaleMaps();
    s.view.Render();
    EXPECT_EQ(s.pic.viewOriginX + 7, s.view.ViewToImageX(7));
    EXPECT_EQ(s.pic.viewOriginY + 9, s.view.ViewToImageY(9));
}

TEST(RendererZoom, HugeFactorsAndFarCentresStayWithinThePicture)
{
    Scene s(60, 40, 100, 100);
    s.view.SetScale(1e12, 2000000000, -2000000000);
    EXPECT_GT(s.pic.zoomedWidth, 0);
    EXPECT_GT(s.pic.zoomedHeight, 0);
    EXPECT_LE(s.pic.viewOriginX + s.view.GetViewWidth(), s.pic.zoomedWidth);
    EXPECT_EQ(0, s.pic.viewOriginY);
    EXPECT_EQ(s.pic.zoomedWidth - s.view.GetViewWidth(), s.pic.viewOriginX);
    s.view.SetScale(4.0, 2000000000, 2000000000);
    EXPECT_EQ(240 - 100, s.pic.viewOriginX);
    EXPECT_EQ(160 - 100, s.pic.viewOriginY);
}

// A large view is rendered in bands of rows on several threads at once: every
// path gives the buffer that small rectangles, each rendered on its own, give.
TEST(RendererBands, ALargeViewEqualsTheSameViewInSmallRectangles)
{
    for (double zoom : {1.0, 1.7, 0.45}) {
        for (int smooth : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "zoom " << zoom << " smooth " << smooth);
            Scene s(1600, 1200, 700, 520, 9);
            s.view.SetSmooth(smooth);
            s.view.SetScale(zoom, 800, 600);
            const int w = s.view.GetViewWidth(), h = s.view.GetViewHeight();
            ASSERT_EQ(700, w);
            ASSERT_EQ(520, h);
            const size_t bytes = (size_t)s.view.GetStride() * h;
            const std::vector<uint8_t> whole(s.view.GetBits(), s.view.GetBits() + bytes);
            memset(s.view.GetBits(), 0xCD, bytes);
            for (int y = 0; y < h; y += 37)
                for (int x = 0; x < w; x += 250)
                    s.view.RenderRect(x, y, 250, 37);
            for (int r = 0; r < h; ++r)
                for (int c = 0; c < w; ++c)
                    ASSERT_EQ(s.Out(c, r), whole[(size_t)r * s.view.GetStride() + c]) << c << "," << r;
            if (zoom == 1.0) {
                for (int r = 0; r < h; ++r)
                    for (int c = 0; c < w; ++c)
                        ASSERT_EQ(s.Lut(s.Px(c + s.pic.viewOriginX, r + s.pic.viewOriginY)), s.Out(c, r));
            }
        }
    }
}

} // namespace
