// The image view's mouse tools: each ends with the capture released, the
// cursor shown and the panel's tool disarmed, however it ends.
#include "viewer_fixture.h"

namespace {

int Ramp(int x, int y)
{
    return (x + 2 * y) % 250;
}

}  // namespace

class ToolTest : public ViewerTest {
protected:
    void SetUp() override
    {
        ViewerTest::SetUp();
        picture = MakePicture(200, 150, Ramp);
        ASSERT_TRUE(MakeView(picture, 0, 0, 200, 150));
        ASSERT_EQ(0, picture->viewOriginX);
        cursorBefore = CursorCount();
    }
    void ExpectEnded(const char* what)
    {
        EXPECT_FALSE(view->IsToolActive()) << what;
        EXPECT_EQ(SnimokWnd::kStateNone, view->GetToolState()) << what;
        EXPECT_NE(view->GetHwnd(), GetCapture()) << what;
        EXPECT_EQ(cursorBefore, CursorCount()) << what;
        EXPECT_FALSE(view->IsCursorHidden()) << what;
        EXPECT_EQ(kToolNone, GetPanelMode()) << what;
    }
    void Drag(int tool, POINT a, POINT b, WPARAM keys = 0)
    {
        SetPanelMode(tool);
        Send(WM_LBUTTONDOWN, MK_LBUTTON, a.x, a.y);
        Send(WM_MOUSEMOVE, MK_LBUTTON | keys, (a.x + b.x) / 2, (a.y + b.y) / 2);
        Send(WM_MOUSEMOVE, MK_LBUTTON | keys, b.x, b.y);
        Send(WM_LBUTTONUP, keys, b.x, b.y);
    }

    DPicturePtr picture;
    int cursorBefore = 0;
};

TEST_F(ToolTest, EveryToolEndsWithTheCaptureReleasedAndTheCursorShown)
{
    for (int tool = kToolNone; tool <= kToolRectStats; ++tool) {
        SetPanelMode(tool);
        Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
        EXPECT_TRUE(view->IsToolActive()) << tool;
        EXPECT_EQ(view->GetHwnd(), GetCapture()) << tool;
        const bool lineTool = tool == kToolProfile || tool == kToolLineStats;
        EXPECT_EQ(lineTool, CursorCount() < cursorBefore) << tool;
        Send(WM_MOUSEMOVE, MK_LBUTTON, 60, 50);
        Send(WM_LBUTTONUP, 0, 60, 50);
        ExpectEnded(std::to_string(tool).c_str());
        view->Profile().Destroy();
    }
}

TEST_F(ToolTest, RightClickCancelsWithoutTheMenuOrTheCallback)
{
    for (int tool : {kToolNone, kToolWindowMinMax, kToolProfile, kToolRectStats}) {
        SetPanelMode(tool);
        Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
        Send(WM_MOUSEMOVE, MK_LBUTTON, 90, 70);
        Send(WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, 90, 70);
        ExpectEnded("right click");
        Send(WM_LBUTTONUP, 0, 90, 70);
    }
    EXPECT_TRUE(MenuScript::Seen().empty());
    EXPECT_FALSE(view->Profile().Exists());
    EXPECT_FALSE(StatisticsWnd::Instance().Exists());
}

TEST_F(ToolTest, LosingTheCaptureEndsTheTool)
{
    SetPanelMode(kToolProfile);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    ASSERT_LT(CursorCount(), cursorBefore);
    SetCapture(host->Hwnd());   // what a message box or Alt-Tab does
    ExpectEnded("capture taken");
    ReleaseCapture();

    SetPanelMode(kToolRectStats);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    SendMessageW(view->GetHwnd(), WM_CANCELMODE, 0, 0);
    ExpectEnded("cancel mode");
    EXPECT_FALSE(StatisticsWnd::Instance().Exists());
}

TEST_F(ToolTest, SecondLeftClickEndsTheToolInProgress)
{
    SetPanelMode(kToolLineStats);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 40, 40);
    ExpectEnded("second click");
}

TEST_F(ToolTest, ShiftMakesTheLineVertical)
{
    Drag(kToolLineStats, POINT{10, 10}, POINT{15, 40}, MK_SHIFT);
    const ToolArea& l = SnimokToolLine();
    EXPECT_EQ(10, l.x0);
    EXPECT_EQ(10, l.y0);
    EXPECT_EQ(10, l.x1);
    EXPECT_EQ(40, l.y1);
    StatisticsWnd& stats = StatisticsWnd::Instance();
    ASSERT_TRUE(stats.Exists());
    EXPECT_TRUE(stats.HasStatistics());
    // Column 10, rows 10..39: Ramp = 10 + 2y.
    EXPECT_EQ(30, stats.GetMinimum());
    EXPECT_EQ(88, stats.GetMaximum());
    EXPECT_DOUBLE_EQ(59.0, stats.GetAverage());
    ExpectEnded("line");
}

TEST_F(ToolTest, EmptyRectangleAndPointLineCallNothing)
{
    Drag(kToolRectStats, POINT{10, 10}, POINT{10, 30});
    EXPECT_FALSE(StatisticsWnd::Instance().HasStatistics());
    Drag(kToolProfile, POINT{30, 30}, POINT{30, 30});
    EXPECT_FALSE(view->Profile().Exists());
    ExpectEnded("empty");
}

TEST_F(ToolTest, RegionToolSetsTheWindowFromMinimumAndMaximum)
{
    recorder.calls.clear();
    Drag(kToolWindowMinMax, POINT{10, 10}, POINT{30, 20});
    // Columns 10..29, rows 10..19: 30 .. 67.
    EXPECT_EQ(-30, picture->displayOffset);
    EXPECT_EQ(37, picture->displayWidth);
    EXPECT_EQ(std::vector<std::string>{"levels"}, recorder.calls);
    EXPECT_EQ(255, view->GetLut()[67]);
    EXPECT_EQ(0, view->GetLut()[30]);
}

TEST_F(ToolTest, RegionStatisticsOfTheRubberBand)
{
    Drag(kToolRectStats, POINT{4, 2}, POINT{8, 5});
    StatisticsWnd& stats = StatisticsWnd::Instance();
    ASSERT_TRUE(stats.Exists());
    EXPECT_EQ(GetParent(view->GetHwnd()), GetWindow(stats.GetHwnd(), GW_OWNER));
    EXPECT_EQ(Ramp(4, 2), stats.GetMinimum());
    EXPECT_EQ(Ramp(7, 4), stats.GetMaximum());
}

TEST_F(ToolTest, ProfileToolOpensTheRestrictedWindowForOtherUsers)
{
    Drag(kToolProfile, POINT{10, 20}, POINT{50, 20});
    ProfileWnd& profile = view->Profile();
    ASSERT_TRUE(profile.Exists());
    EXPECT_TRUE(profile.IsRestricted());
    EXPECT_EQ(10, profile.GetLine().x0);
    EXPECT_EQ(50, profile.GetLine().x1);
    EXPECT_DOUBLE_EQ(40.0, profile.Length());
    // The line is drawn over the picture in green.
    view->Redraw();
    GdiFlush();
    harness::PixelGrab grab(view->GetHwnd());
    EXPECT_EQ(RGB(0, 255, 0), grab.At(30, 20));
    profile.Destroy();
    EXPECT_FALSE(profile.Exists());
    GdiFlush();
    harness::PixelGrab after(view->GetHwnd());
    const int v = Ramp(30, 20);
    EXPECT_EQ(RGB(v, v, v), after.At(30, 20)) << "closing the profile removes the line";
}

TEST_F(ToolTest, DraggingAProfileEndComputesItAgain)
{
    IsAdministrator = true;
    Drag(kToolProfile, POINT{10, 20}, POINT{50, 20});
    ProfileWnd& profile = view->Profile();
    ASSERT_TRUE(profile.Exists());
    EXPECT_FALSE(profile.IsRestricted());
    EXPECT_EQ(41, profile.SampleCount());
    // Grab the end (within 16 pixels) and move it down.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 52, 22);
    EXPECT_EQ(SnimokWnd::kStateProfileEnd, view->GetToolState());
    EXPECT_LT(CursorCount(), cursorBefore);
    Send(WM_MOUSEMOVE, MK_LBUTTON, 50, 60);
    EXPECT_EQ(50, profile.GetLine().x1);
    EXPECT_EQ(60, profile.GetLine().y1);
    Send(WM_LBUTTONUP, 0, 50, 60);
    ExpectEnded("profile end");
    EXPECT_EQ(10, profile.GetLine().x0);
    EXPECT_EQ(41, profile.SampleCount());
    EXPECT_EQ(Ramp(50, 60), profile.SampleValue(40));
}
