// The page layout: paper size, printable area, device origin and the order
// of the margin checks, on the figures printers report.
#include "printing/pagesetup.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

namespace {

// A4 at 300 dpi with a 1/6-inch unprintable border all round (50 pixels).
PageDeviceCaps A4With50PixelBorder()
{
    return PageDeviceCaps{2480, 3508, 50, 50, 2380, 3408, 300, 300};
}

// A4 at 300 dpi printable to the edges.
PageDeviceCaps A4Borderless()
{
    return PageDeviceCaps{2480, 3508, 0, 0, 2480, 3508, 300, 300};
}

unsigned LayOut(const PageDeviceCaps& caps, PageRequest request, PageLayout* layout = nullptr)
{
    PageLayout ignored;
    return LayOutPage(caps, request, layout ? layout : &ignored);
}

}  // namespace

TEST(PageLayout, PaperAndPrintableSizeComeFromPixelsAndMargins)
{
    // 21.00 cm wide paper: 2480 pixels at 300 dpi is 20997 (truncated), so
    // the paper here is given as exactly 21.00 cm at 2540 dpi.
    PageDeviceCaps caps = {21000, 29700, 0, 0, 21000, 29700, 2540, 2540};
    PageLayout layout;
    ASSERT_EQ(0u, LayOut(caps, {1000, 1000, 1500, 500, 0, 0}, &layout));
    EXPECT_EQ(21000, layout.paperWidth);
    EXPECT_EQ(29700, layout.paperHeight);
    EXPECT_EQ(19000, layout.printableWidth);
    EXPECT_EQ(27700, layout.printableHeight);
    EXPECT_EQ(1000, layout.originX);
    EXPECT_EQ(1500, layout.originY);
}

TEST(PageLayout, OriginIsTheMarginLessTheUnprintableBorder)
{
    PageLayout layout;
    ASSERT_EQ(0u, LayOut(A4With50PixelBorder(), {1000, 1000, 2000, 1000, 0, 0}, &layout));
    // 10 mm = 118.1 pixels -> 118, less the 50-pixel border.
    EXPECT_EQ(68, layout.originX);
    EXPECT_EQ(236 - 50, layout.originY);
    EXPECT_EQ(20997, layout.paperWidth);
    EXPECT_EQ(20997 - 2000, layout.printableWidth);
    EXPECT_EQ(68 + HiMetricToPixels(18997, 300), layout.endX);
}

TEST(PageLayout, ZeroMarginsOnABorderedPrinterFailLeftBeforeTop)
{
    EXPECT_EQ(unsigned(IDS_LEFT_MARGIN_TOO_SMALL), LayOut(A4With50PixelBorder(), {0, 1000, 0, 1000, 0, 0}));
    EXPECT_EQ(unsigned(IDS_TOP_MARGIN_TOO_SMALL), LayOut(A4With50PixelBorder(), {1000, 1000, 0, 1000, 0, 0}));
    EXPECT_EQ(0u, LayOut(A4Borderless(), {0, 0, 0, 0, 0, 0}));
}

TEST(PageLayout, ChecksRunInTheirOrder)
{
    const PageDeviceCaps caps = A4With50PixelBorder();
    // Everything wrong at once: the left margin is reported first.
    EXPECT_EQ(unsigned(IDS_LEFT_MARGIN_TOO_SMALL), LayOut(caps, {0, 0, 0, 0, 99999, 99999}));
    EXPECT_EQ(unsigned(IDS_TOP_MARGIN_TOO_SMALL), LayOut(caps, {1000, 0, 0, 0, 99999, 99999}));
    EXPECT_EQ(unsigned(IDS_WIDTH_TOO_SMALL), LayOut(caps, {1000, 0, 1000, 0, 99999, 99999}));
    EXPECT_EQ(unsigned(IDS_HEIGHT_TOO_SMALL), LayOut(caps, {1000, 0, 1000, 0, 1000, 99999}));
    EXPECT_EQ(unsigned(IDS_RIGHT_MARGIN_TOO_SMALL), LayOut(caps, {1000, 0, 1000, 0, 1000, 1000}));
    EXPECT_EQ(unsigned(IDS_BOTTOM_MARGIN_TOO_SMALL), LayOut(caps, {1000, 1000, 1000, 0, 1000, 1000}));
    EXPECT_EQ(0u, LayOut(caps, {1000, 1000, 1000, 1000, 1000, 1000}));
}

TEST(PageLayout, MinimumSizesAreCheckedOnlyWhenSet)
{
    const PageDeviceCaps caps = A4Borderless();
    PageLayout layout;
    ASSERT_EQ(0u, LayOut(caps, {1000, 1000, 1000, 1000, 0, 0}, &layout));
    const int w = layout.printableWidth, h = layout.printableHeight;
    EXPECT_EQ(0u, LayOut(caps, {1000, 1000, 1000, 1000, w, h}));
    EXPECT_EQ(unsigned(IDS_WIDTH_TOO_SMALL), LayOut(caps, {1000, 1000, 1000, 1000, w + 1, h}));
    EXPECT_EQ(unsigned(IDS_HEIGHT_TOO_SMALL), LayOut(caps, {1000, 1000, 1000, 1000, w, h + 1}));
}

TEST(PageLayout, MarginsThatLeaveNoAreaFail)
{
    EXPECT_EQ(unsigned(IDS_WIDTH_TOO_SMALL), LayOut(A4Borderless(), {15000, 6000, 0, 0, 0, 0}));
    EXPECT_EQ(unsigned(IDS_HEIGHT_TOO_SMALL), LayOut(A4Borderless(), {0, 0, 20000, 9800, 0, 0}));
}

// The printable region ends HORZRES pixels after the device origin, which
// already lies PHYSICALOFFSETX in from the paper's edge: a right margin that
// reaches into the right border is refused, one just outside it is not.
TEST(PageLayout, RightAndBottomEdgesAreComparedWithThePrintableRegion)
{
    const PageDeviceCaps caps = A4With50PixelBorder();   // border 50 px = 4.23 mm
    EXPECT_EQ(unsigned(IDS_RIGHT_MARGIN_TOO_SMALL), LayOut(caps, {1000, 300, 1000, 1000, 0, 0}));
    EXPECT_EQ(0u, LayOut(caps, {1000, 450, 1000, 1000, 0, 0}));
    EXPECT_EQ(unsigned(IDS_BOTTOM_MARGIN_TOO_SMALL), LayOut(caps, {1000, 1000, 1000, 300, 0, 0}));
    EXPECT_EQ(0u, LayOut(caps, {1000, 1000, 1000, 450, 0, 0}));
    // Borderless: a zero right margin ends exactly at the last pixel.
    PageLayout layout;
    ASSERT_EQ(0u, LayOut(A4Borderless(), {0, 0, 0, 0, 0, 0}, &layout));
    EXPECT_LE(layout.endX, 2480);
    EXPECT_GE(layout.endX, 2479);
}

TEST(PageLayout, PrinterWithoutResolutionIsRefused)
{
    PageDeviceCaps caps = A4Borderless();
    caps.logPixelsX = 0;
    EXPECT_EQ(unsigned(IDS_PRINTER_NO_RESOLUTION), LayOut(caps, {1000, 1000, 1000, 1000, 0, 0}));
    caps = A4Borderless();
    caps.logPixelsY = -1;
    EXPECT_EQ(unsigned(IDS_PRINTER_NO_RESOLUTION), LayOut(caps, {1000, 1000, 1000, 1000, 0, 0}));
}

TEST(PageLayout, HiMetricToPixelsRoundsToTheNearestPixel)
{
    EXPECT_EQ(300, HiMetricToPixels(2540, 300));
    EXPECT_EQ(118, HiMetricToPixels(1000, 300));   // 118.11
    EXPECT_EQ(1, HiMetricToPixels(5, 300));        // 0.59
    EXPECT_EQ(0, HiMetricToPixels(4, 300));        // 0.47
    EXPECT_EQ(-118, HiMetricToPixels(-1000, 300));
}
