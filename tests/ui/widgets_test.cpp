// The windowless widgets: progress steps, the group frame's gap, label texts
// and the text panel's scroll bar.
#include "ui/widgets.h"

#include "controls_fixture.h"

#include <string>

namespace {

class WidgetsTest : public ControlsTest {
protected:
    // Bar pixels along the middle row of the inner area.
    int BarPixels(DrawnProgressBar& bar, int width, int height)
    {
        MemoryCanvas canvas(width, height);
        bar.Draw(canvas.Dc());
        return canvas.Count(RGB(0, 0, 0xDB), RECT{0, height / 2, width, height / 2 + 1});
    }
    HFONT MakeFont(int height)
    {
        LOGFONTW lf = {};
        lf.lfHeight = -height;
        wcscpy(lf.lfFaceName, L"DejaVu Sans");
        HFONT f = CreateFontIndirectW(&lf);
        fonts.push_back(f);
        return f;
    }
    void TearDown() override
    {
        ControlsTest::TearDown();
        for (HFONT f : fonts)
            DeleteObject(f);
    }
    std::vector<HFONT> fonts;
};

TEST_F(WidgetsTest, ProgressBarMovesInWholeStepsAndFillsAtTheTotal)
{
    DrawnProgressBar bar;
    bar.Init(Host());
    bar.SetRect(0, 0, 108, 20, 10);
    EXPECT_EQ(bar.GetInnerWidth(), 100);
    EXPECT_EQ(bar.GetStepWidth(), 10);
    bar.SetPos(50);
    EXPECT_EQ(bar.GetBarWidth(), 0) << "a total of 0 ignores positions";
    bar.SetTotal(100);
    bar.SetPos(25);   // 2.5 steps
    EXPECT_EQ(bar.GetBarWidth(), 20);
    EXPECT_EQ(BarPixels(bar, 120, 20), 20);
    bar.SetPos(29);
    EXPECT_EQ(bar.GetBarWidth(), 20);
    bar.SetPos(500);
    EXPECT_EQ(bar.GetPos(), 100) << "clamped to the total";
    EXPECT_EQ(bar.GetBarWidth(), 100);
    EXPECT_EQ(BarPixels(bar, 120, 20), 100);

    bar.SetRect(0, 0, 111, 20, 10);   // inner width 103, not a multiple of the step
    bar.SetPos(0);
    EXPECT_EQ(bar.GetBarWidth(), 0);
    bar.SetPos(99);
    EXPECT_EQ(bar.GetBarWidth(), 100);
    bar.SetPos(100);
    EXPECT_EQ(bar.GetBarWidth(), 103) << "the full total fills the whole inner width";
}

TEST_F(WidgetsTest, ProgressBarStartsAgainFromEmptyAfterPositionZero)
{
    DrawnProgressBar bar;
    bar.Init(Host());
    bar.SetRect(0, 0, 108, 20, 10);
    bar.SetTotal(100);
    bar.SetPos(80);
    bar.SetPos(0);
    bar.SetPos(15);
    EXPECT_EQ(bar.GetBarWidth(), 10);
    EXPECT_EQ(BarPixels(bar, 120, 20), 10);
    bar.Reset();
    EXPECT_EQ(bar.GetTotal(), 0);
    EXPECT_EQ(BarPixels(bar, 120, 20), 0);
}

TEST_F(WidgetsTest, ProgressBarCountsBytesBeyondFourGigabytes)
{
    DrawnProgressBar bar;
    bar.Init(Host());
    bar.SetRect(0, 0, 108, 20, 0);   // 0 steps: 10
    bar.SetTotal(5000000000000LL);
    bar.SetPos(2500000000000LL);
    EXPECT_EQ(bar.GetBarWidth(), 50);
    bar.SetPos(-3);
    EXPECT_EQ(bar.GetBarWidth(), 0);
    bar.SetPos(0x7FFFFFFFFFFFFFFFLL);
    EXPECT_EQ(bar.GetBarWidth(), 100);
}

TEST_F(WidgetsTest, ProgressFrameIsSunken)
{
    DrawnProgressBar bar;
    bar.Init(Host());
    bar.SetRect(2, 2, 102, 22, 10);
    MemoryCanvas canvas(110, 30);
    bar.Draw(canvas.Dc());
    EXPECT_EQ(canvas.At(2, 12), RGB(0x52, 0x52, 0x52));
    EXPECT_EQ(canvas.At(102, 12), RGB(255, 255, 255));
    EXPECT_EQ(canvas.At(50, 12), RGB(0xD3, 0xD3, 0xD3));
}

TEST_F(WidgetsTest, GroupFrameWithoutFontLeavesATenPixelGap)
{
    DrawnGroupFrame frame;
    frame.Init(Host(), nullptr);
    frame.SetRect(10, 10, 200, 100, L"Caption");
    MemoryCanvas canvas(220, 120);
    frame.Draw(canvas.Dc());
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    int gap = 0;
    for (int x = 11; x < 199; ++x)
        gap += canvas.At(x, 10) != shadow;
    EXPECT_EQ(gap, 10);
    EXPECT_EQ(canvas.At(25, 10), RGB(255, 0, 255)) << "the gap starts 15 pixels in";
    EXPECT_EQ(canvas.At(35, 10), shadow);
    EXPECT_EQ(canvas.At(10, 50), shadow);
    EXPECT_EQ(canvas.At(11, 50), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(canvas.At(200, 50), GetSysColor(COLOR_BTNHIGHLIGHT));
}

TEST_F(WidgetsTest, GroupFrameCaptionWidensTheGapAndIsCutAt255)
{
    DrawnGroupFrame frame;
    HFONT font = MakeFont(12);
    frame.Init(Host(), font);
    std::wstring longCaption(300, L'x');
    frame.SetRect(10, 20, 300, 100, longCaption.c_str());
    EXPECT_EQ(wcslen(frame.GetCaption()), 255u);
    frame.SetRect(10, 20, 300, 100, L"Box");
    MemoryCanvas canvas(320, 120);
    frame.Draw(canvas.Dc());
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    int gap = 0;
    for (int x = 11; x < 299; ++x)
        gap += canvas.At(x, 20) != shadow;
    EXPECT_GT(gap, 10);
}

TEST_F(WidgetsTest, LabelKeepsExactlyTheGivenLengthAndMeasuresWithItsFont)
{
    DrawnLabel label;
    label.Init(Host(), MakeFont(14));
    label.SetText(L"abcdef", 3);
    EXPECT_EQ(label.GetLength(), 3);
    EXPECT_STREQ(label.GetText(), L"abc");
    int w3 = label.GetTextWidth();
    EXPECT_GT(w3, 0);
    label.SetText(L"abcdef", -1);
    EXPECT_GT(label.GetTextWidth(), w3);
    label.SetText(nullptr, 4);
    EXPECT_EQ(label.GetText(), nullptr);
    EXPECT_EQ(label.GetTextWidth(), 0);
    DrawnLabel plain;
    plain.Init(Host(), nullptr);
    plain.SetText(L"abc", -1);
    EXPECT_EQ(plain.GetTextWidth(), 0) << "without a font nothing is measured";
    label.SetRect(0, 0, 100, 20);
    label.SetText(L"W", -1);
    MemoryCanvas canvas(100, 20);
    label.Draw(canvas.Dc());
    EXPECT_GT(canvas.Count(RGB(0, 0, 0), RECT{80, 0, 100, 20}), 0) << "right-aligned";
    EXPECT_EQ(canvas.Count(RGB(0, 0, 0), RECT{0, 0, 50, 20}), 0);
}

class PanelTest : public WidgetsTest {
protected:
    std::wstring Lines(int n)
    {
        std::wstring t;
        for (int i = 0; i < n; ++i)
            t += (i ? L"\n" : L"") + std::wstring(L"line ") + std::to_wstring(i);
        return t;
    }
    ScrollTextPanel panel;
};

TEST_F(PanelTest, BarAppearsWhenTheTextReachesThePanelHeight)
{
    ASSERT_TRUE(panel.Create(Host(), hInstance));
    HFONT font = MakeFont(12);
    panel.SetFont(font);
    panel.SetRect(10, 10, 200, 100);
    panel.SetText(L"x", -1);
    int lh = panel.GetLineHeight();
    ASSERT_GT(lh, 0);
    panel.SetRect(10, 10, 200, 5 * lh);
    panel.SetText(Lines(4).c_str(), -1);
    EXPECT_FALSE(panel.IsBarShown());
    EXPECT_FALSE(IsWindowVisible(panel.Bar().GetHwnd()));
    panel.SetText(Lines(5).c_str(), -1);
    EXPECT_TRUE(panel.IsBarShown());
    EXPECT_TRUE(IsWindowVisible(panel.Bar().GetHwnd()));
    EXPECT_EQ(panel.Bar().GetMax(), 5);
    EXPECT_EQ(panel.Bar().GetPage(), 5);
    panel.SetText(Lines(9).c_str(), -1);
    EXPECT_EQ(panel.Bar().GetMax(), 9);
    panel.Bar().SetPos(3);
    EXPECT_EQ(panel.GetFirstLine(), 3);
    panel.SetText(nullptr, 0);
    EXPECT_FALSE(panel.IsBarShown());
    EXPECT_EQ(panel.GetLength(), 0);
}

TEST_F(PanelTest, TextIsMeasuredWithThePanelsFont)
{
    ASSERT_TRUE(panel.Create(Host(), hInstance));
    panel.SetRect(10, 10, 300, 60);
    panel.SetText(Lines(2).c_str(), -1);
    EXPECT_FALSE(panel.IsBarShown()) << "two lines of the default font fit";
    panel.SetFont(MakeFont(40));
    EXPECT_TRUE(panel.IsBarShown()) << "SetFont measures again, with the new font";
    EXPECT_EQ(panel.GetLength(), static_cast<int>(Lines(2).size()));
    panel.SetText(Lines(2).c_str(), -1);
    EXPECT_TRUE(panel.IsBarShown()) << "SetText measures with the panel's font too";
}

TEST_F(PanelTest, PanelDrawsItsBackgroundAndSunkenFrame)
{
    ASSERT_TRUE(panel.Create(Host(), hInstance));
    panel.SetRect(0, 0, 100, 50);
    panel.SetColor(RGB(10, 200, 30));
    MemoryCanvas canvas(100, 50);
    panel.Draw(canvas.Dc());
    EXPECT_EQ(canvas.At(50, 25), RGB(10, 200, 30));
    EXPECT_EQ(canvas.At(0, 25), RGB(0, 0, 0));
    EXPECT_EQ(canvas.At(99, 25), RGB(255, 255, 255));
}

}  // namespace
