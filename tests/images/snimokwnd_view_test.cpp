// The image view's painting, size and placement, zoom and panning, with
// pixels read back from the real window.
#include "viewer_fixture.h"

#include "foundation/datetime.h"

#include <cmath>

namespace {

int Gradient(int x, int y)
{
    return (x * 3 + y * 5) % 255;
}

}  // namespace

TEST_F(ViewerTest, ViewShowsTheRenderBufferExactly)
{
    DPicturePtr p = MakePicture(120, 90, Gradient);
    ASSERT_TRUE(MakeView(p, 10, 10, 200, 150));
    view->Redraw();
    GdiFlush();
    harness::PixelGrab grab(view->GetHwnd());
    ASSERT_TRUE(grab.Ok());
    ASSERT_EQ(120, grab.Width());
    ASSERT_EQ(90, grab.Height());
    int wrong = 0;
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x) {
            const int v = view->GetBits()[y * view->GetStride() + x];
            wrong += grab.At(x, y) != RGB(v, v, v);
            wrong += v != Gradient(x, y);
        }
    EXPECT_EQ(0, wrong);
}

TEST_F(ViewerTest, NegativeIsTheSameBufferThroughTheInvertedPalette)
{
    DPicturePtr p = MakePicture(64, 48, Gradient);
    ASSERT_TRUE(MakeView(p, 0, 0, 64, 48));
    std::vector<uint8_t> before(view->GetBits(), view->GetBits() + view->GetStride() * 48);
    p->negative = 1;
    view->Redraw();
    GdiFlush();
    harness::PixelGrab grab(view->GetHwnd());
    ASSERT_TRUE(grab.Ok());
    int wrong = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const int v = before[y * view->GetStride() + x];
            wrong += grab.At(x, y) != RGB(255 - v, 255 - v, 255 - v);
        }
    EXPECT_EQ(0, wrong);
    EXPECT_EQ(0, memcmp(before.data(), view->GetBits(), before.size())) << "painting negative needs no new buffer";
}

TEST_F(ViewerTest, ViewWithoutPictureFillsItsCellGrey)
{
    ASSERT_TRUE(MakeView(DPicturePtr(), 20, 30, 100, 60));
    const RECT r = ViewRectInHost();
    EXPECT_EQ(20, r.left);
    EXPECT_EQ(30, r.top);
    EXPECT_EQ(100, r.right - r.left);
    EXPECT_EQ(60, r.bottom - r.top);
    view->Redraw();
    GdiFlush();
    harness::PixelGrab grab(view->GetHwnd());
    EXPECT_EQ(100 * 60, grab.Count(RGB(0xC0, 0xC0, 0xC0)));
}

struct FitCase {
    double scale;
    int pictureW, pictureH;
    int cellW, cellH;
    bool caption;
    int viewW, viewH;   // expected client size
};

TEST_F(ViewerTest, WindowSizeAndPlacementFollowTheFitMode)
{
    const int cap = GetSystemMetrics(SM_CYCAPTION);
    const FitCase cases[] = {
        {-3.0, 400, 200, 200, 200, false, 200, 100},   // wider picture: the width factor
        {-3.0, 200, 200, 150, 150, false, 150, 150},   // equal factors: the height fills
        {-1.0, 400, 200, 200, 200, false, 200, 100},
        {-2.0, 400, 200, 200, 200, false, 200, 200},   // 400 x 200 at 1.0, clamped to the cell
        {-2.0, 100, 400, 300, 200, false, 50, 200},
        {1.0, 80, 60, 200, 150, false, 80, 60},
        {2.0, 80, 60, 200, 150, false, 160, 120},
        {0.5, 80, 60, 200, 150, true, 40, 30},
        {-3.0, 300, 300, 200, 200 + cap, true, 200, 200},
    };
    for (const FitCase& c : cases) {
        DPicturePtr p = MakePicture(c.pictureW, c.pictureH, Gradient);
        p->scale = c.scale;
        ASSERT_TRUE(MakeView(p, 30, 20, c.cellW, c.cellH, c.caption));
        RECT client;
        GetClientRect(view->GetHwnd(), &client);
        const RECT r = ViewRectInHost();
        const int ww = c.viewW, wh = c.viewH + (c.caption ? cap : 0);
        EXPECT_EQ(c.viewW, client.right) << c.scale;
        EXPECT_EQ(c.viewH, client.bottom) << c.scale;
        EXPECT_EQ(30 + (c.cellW - ww) / 2, r.left) << c.scale;
        EXPECT_EQ(20 + (c.cellH - wh) / 2, r.top) << c.scale;
        EXPECT_EQ(c.scale, p->scale);
        EXPECT_EQ(c.viewW, view->GetViewWidth());
        EXPECT_EQ(c.viewH, view->GetViewHeight());
    }
}

TEST_F(ViewerTest, ScaleOfZeroOrLessIsShownAtOneAndKeptAsAsked)
{
    DPicturePtr p = MakePicture(80, 60, Gradient);
    p->scale = -7.5;
    ASSERT_TRUE(MakeView(p, 0, 0, 200, 200));
    EXPECT_EQ(-7.5, p->scale);
    EXPECT_EQ(1.0, p->zoom);
    EXPECT_EQ(80, view->GetViewWidth());
    view->SetScale(0.0, 40, 30);
    EXPECT_EQ(0.0, p->scale) << "stored unchanged";
    EXPECT_EQ(1.0, p->zoom);
    EXPECT_EQ(80, view->GetViewWidth());
    EXPECT_EQ(60, view->GetViewHeight());
    view->SetScale(std::nan(""), 40, 30);
    EXPECT_EQ(1.0, p->scale) << "no number at all is no request";
}

TEST_F(ViewerTest, CaptionTallerThanTheCellShowsNothingAndDividesByNothing)
{
    DPicturePtr p = MakePicture(80, 60, Gradient);
    p->scale = -3.0;
    const int cap = GetSystemMetrics(SM_CYCAPTION);
    ASSERT_TRUE(MakeView(p, 0, 0, 100, cap - 2, true));
    EXPECT_EQ(0, view->GetViewWidth());
    EXPECT_EQ(0, view->GetViewHeight());
    EXPECT_EQ(-3.0, p->scale);
    view->Redraw();   // nothing to paint, nothing to crash
    // A real cell brings the picture back.
    EXPECT_EQ(1, view->SetPosition(0, 0, 100, 100 + cap));
    EXPECT_EQ(100, view->GetViewWidth());
}

TEST_F(ViewerTest, PanStopsAtTheEdgesOfTheZoomedPicture)
{
    DPicturePtr p = MakePicture(400, 300, Gradient);
    ASSERT_TRUE(MakeView(p, 0, 0, 200, 150));
    EXPECT_EQ(100, p->viewOriginX);
    EXPECT_EQ(75, p->viewOriginY);
    EXPECT_EQ(1, view->Pan(1000, 0));
    EXPECT_EQ(0, p->viewOriginX);
    EXPECT_EQ(75, p->viewOriginY);
    EXPECT_EQ(0, view->Pan(5, 0)) << "already at the left edge";
    EXPECT_EQ(1, view->Pan(-1000, -1000));
    EXPECT_EQ(200, p->viewOriginX);
    EXPECT_EQ(150, p->viewOriginY);
    view->Redraw();
    GdiFlush();
    harness::PixelGrab grab(view->GetHwnd());
    EXPECT_EQ(RGB(Gradient(399, 299), Gradient(399, 299), Gradient(399, 299)), grab.At(199, 149));
    EXPECT_EQ(RGB(Gradient(200, 150), Gradient(200, 150), Gradient(200, 150)), grab.At(0, 0));
}

// Drives the real mouse and keyboard: runs alone (see tests.cmake).
using ViewerRealInput = ViewerTest;

TEST_F(ViewerRealInput, DraggingHorizontallyPansOnlyHorizontally)
{
    DPicturePtr p = MakePicture(400, 300, Gradient);
    ASSERT_TRUE(MakeView(p, 0, 0, 200, 150));
    const int ox = p->viewOriginX, oy = p->viewOriginY;
    POINT a = {100, 70}, b = {60, 70};
    ClientToScreen(view->GetHwnd(), &a);
    ClientToScreen(view->GetHwnd(), &b);
    // Real input reaches the window when the machine gets to it: wait for each
    // step's effect (bounded) rather than for a fixed time.
    harness::MouseMoveTo(a.x, a.y);
    harness::Pump(30);
    harness::MouseButton(harness::Button::Left, true);
    harness::PumpUntil([&] { return view->GetToolState() == SnimokWnd::kStateDrag; });
    EXPECT_EQ(SnimokWnd::kStateDrag, view->GetToolState());
    harness::MouseMoveTo(b.x, b.y);
    harness::PumpUntil([&] { return p->viewOriginX != ox; });
    harness::MouseButton(harness::Button::Left, false);
    harness::PumpUntil([&] { return view->GetToolState() == SnimokWnd::kStateNone; });
    EXPECT_EQ(ox + 40, p->viewOriginX);
    EXPECT_EQ(oy, p->viewOriginY);
    EXPECT_EQ(SnimokWnd::kStateNone, view->GetToolState());
    EXPECT_NE(view->GetHwnd(), GetCapture());
    GdiFlush();
    harness::PixelGrab grab(view->GetHwnd());
    const int v = Gradient(p->viewOriginX + 10, p->viewOriginY + 10);
    EXPECT_EQ(RGB(v, v, v), grab.At(10, 10));
}

TEST_F(ViewerTest, ZoomMenuOffersFourHundredOnlyToAdministrators)
{
    DPicturePtr p = MakePicture(80, 60, Gradient);
    p->scale = -3.0;
    ASSERT_TRUE(MakeView(p, 0, 0, 200, 150));
    double scales[8];
    int count = 0;
    HMENU menu = view->BuildZoomMenu(scales, 8, &count);
    ASSERT_TRUE(menu);
    EXPECT_EQ(7, count);
    EXPECT_EQ(7, GetMenuItemCount(menu));
    wchar_t text[64];
    GetMenuStringW(menu, 4, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(L"Zoom 200%", text);
    GetMenuStringW(menu, 7, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(L"Fit To Screen", text);
    EXPECT_TRUE(GetMenuState(menu, 7, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(GetMenuState(menu, 2, MF_BYCOMMAND) & MF_CHECKED);
    DestroyMenu(menu);

    IsAdministrator = true;
    menu = view->BuildZoomMenu(scales, 8, &count);
    EXPECT_EQ(8, count);
    GetMenuStringW(menu, 5, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(L"Zoom 400%", text);
    EXPECT_EQ(4.0, scales[4]);
    EXPECT_EQ(-2.0, scales[6]);
    DestroyMenu(menu);
}

TEST_F(ViewerTest, ZoomMenuChoiceCentresTheClickedPoint)
{
    DPicturePtr p = MakePicture(400, 300, Gradient);
    ASSERT_TRUE(MakeView(p, 0, 0, 200, 150));
    const int px = view->ViewToImageX(150), py = view->ViewToImageY(40);
    MenuScript::Answers() = {4};   // Zoom 200%
    Send(WM_RBUTTONDOWN, MK_RBUTTON, 150, 40);
    ASSERT_EQ(1u, MenuScript::Seen().size());
    EXPECT_EQ(2.0, p->scale);
    EXPECT_EQ(2.0, p->zoom);
    EXPECT_EQ(px, p->viewCentreX);
    EXPECT_EQ(py, p->viewCentreY);
    EXPECT_EQ(px, view->ViewToImageX(100));
}

TEST_F(ViewerTest, MirroringKeepsThePointInTheMiddle)
{
    DPicturePtr p = MakePicture(1000, 100, Gradient);
    p->viewCentreX = 100;
    ASSERT_TRUE(MakeView(p, 0, 0, 200, 100));
    EXPECT_EQ(100, p->viewCentreX);
    ASSERT_EQ(1, view->FlipHorizontal());
    EXPECT_EQ(900, p->viewCentreX);
    EXPECT_EQ(2, p->orientation);
    EXPECT_EQ(Gradient(999, 0), p->work[0]) << "the work raster follows";
}

TEST_F(ViewerTest, TurningSwapsTheCentreAndTheView)
{
    DPicturePtr p = MakePicture(300, 100, Gradient);
    p->viewCentreX = 250;
    p->viewCentreY = 40;
    ASSERT_TRUE(MakeView(p, 0, 0, 400, 400));
    ASSERT_EQ(1, view->RotateClockwise());
    EXPECT_EQ(100, p->width);
    EXPECT_EQ(300, p->height);
    EXPECT_EQ(100 - 40, p->viewCentreX);
    EXPECT_EQ(250, p->viewCentreY);
    EXPECT_EQ(100, view->GetViewWidth());
    EXPECT_EQ(300, view->GetViewHeight());
    ASSERT_EQ(1, view->RotateCounterClockwise());
    EXPECT_EQ(250, p->viewCentreX);
    EXPECT_EQ(40, p->viewCentreY);
}

TEST_F(ViewerTest, FailedReductionLeavesTheViewShowingThePicture)
{
    DPicturePtr p = MakePicture(120, 90, Gradient);
    ASSERT_TRUE(MakeView(p, 0, 0, 200, 150));
    EXPECT_EQ(0, view->ReduceResolution(1));
    EXPECT_EQ(120, p->width);
    ASSERT_TRUE(p->work);
    ASSERT_TRUE(p->source);
    view->Redraw();
    GdiFlush();
    harness::PixelGrab grab(view->GetHwnd());
    EXPECT_EQ(RGB(Gradient(7, 9), Gradient(7, 9), Gradient(7, 9)), grab.At(7, 9));
}

TEST_F(ViewerTest, ReductionAndRestorationRebuildTheView)
{
    DPicturePtr p = MakePicture(120, 90, Gradient);
    ASSERT_TRUE(MakeView(p, 0, 0, 200, 150));
    ASSERT_EQ(1, view->ReduceResolution(3));
    EXPECT_EQ(40, p->width);
    EXPECT_EQ(40, view->GetViewWidth());
    EXPECT_EQ(30, view->GetViewHeight());
    ASSERT_EQ(1, view->ReduceResolution(2)) << "reducing again starts from the full raster";
    EXPECT_EQ(60, p->width);
    ASSERT_EQ(1, view->RestoreResolution());
    EXPECT_EQ(120, p->width);
    EXPECT_EQ(120, view->GetViewWidth());
    EXPECT_EQ(0, view->RestoreResolution());
}

TEST_F(ViewerTest, CaptionStripShowsTheDateAndClicksActivate)
{
    DPicturePtr p = MakePicture(80, 60, Gradient);
    SYSTEMTIME st = {2021, 3, 0, 14, 9, 26, 53, 0};
    SystemTimeToFileTime(&st, &p->imageDate);
    ASSERT_TRUE(MakeView(p, 0, 0, 200, 150, true));
    wchar_t text[64];
    GetWindowTextW(view->GetHwnd(), text, 64);
    wchar_t expected[64];
    FormatFileTime(expected, 64, DateTimePicture, &p->imageDate);
    EXPECT_STREQ(expected, text);
    EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), view->GetCaptionHeight());
    RECT w;
    GetWindowRect(view->GetHwnd(), &w);
    EXPECT_EQ(HTBORDER, SendMessageW(view->GetHwnd(), WM_NCHITTEST, 0, MAKELPARAM(w.left + 5, w.top + 2)));
    EXPECT_EQ(HTCLIENT, SendMessageW(view->GetHwnd(), WM_NCHITTEST, 0,
                                     MAKELPARAM(w.left + 5, w.top + view->GetCaptionHeight() + 2)));
    EXPECT_EQ(HTNOWHERE, SendMessageW(view->GetHwnd(), WM_NCHITTEST, 0, MAKELPARAM(w.right + 3, w.top + 2)));
    recorder.calls.clear();
    EXPECT_EQ(MA_ACTIVATE, SendMessageW(view->GetHwnd(), WM_MOUSEACTIVATE, (WPARAM)host->Hwnd(),
                                        MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)));
    EXPECT_EQ(view.get(), recorder.lastActive);
}

TEST_F(ViewerTest, AttachingAPictureTellsTheHostToResetTheLevels)
{
    ASSERT_TRUE(MakeView(DPicturePtr(), 0, 0, 200, 150));
    recorder.calls.clear();
    DPicturePtr p = MakePicture(80, 60, Gradient);
    EXPECT_EQ(1, view->AttachSnimok(p));
    ASSERT_EQ(1u, recorder.calls.size());
    EXPECT_EQ("levels default", recorder.calls[0]);
    EXPECT_EQ(80, view->GetViewWidth());
    EXPECT_EQ(1, view->AttachSnimok(DPicturePtr()));
    const RECT r = ViewRectInHost();
    EXPECT_EQ(200, r.right - r.left) << "an empty view fills its cell";
}
