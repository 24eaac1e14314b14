// The tooltip: its size and place beside the anchor, kept on screen; the
// button's hover, tip and mouse-leave cycle with real input; and the
// multi-line static text holder.
#include "button_fixture.h"

#include "ui/static_mltext.h"

using namespace DButtonStyle;

namespace {

RECT WorkArea(POINT p)
{
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromPoint(p, MONITOR_DEFAULTTONEAREST), &mi);
    return mi.rcWork;
}

class ToolTipTest : public ButtonTest {
protected:
    RECT Show(DToolTip& tip, int x, int y, DWORD flags, const wchar_t* text, int length = -1)
    {
        DToolTipDesc d = {x, y, host->Hwnd(), hInstance, nullptr, flags, text, length};
        RECT r = {};
        created = tip.Create(&d);
        if (created)
            GetWindowRect(tip.GetHwnd(), &r);
        return r;
    }
    bool created = false;
};

TEST_F(ToolTipTest, EmptyTextCreatesNoTip)
{
    DToolTip tip;
    Show(tip, 100, 100, 0, L"");
    EXPECT_FALSE(created);
    Show(tip, 100, 100, 0, L"text", 0);
    EXPECT_FALSE(created);
    EXPECT_EQ(tip.GetHwnd(), nullptr);
}

TEST_F(ToolTipTest, TextUpToItsTerminatorAndAMarginOfFour)
{
    DToolTip whole, part;
    RECT a = Show(whole, 100, 100, 0, L"Hint text");
    ASSERT_TRUE(created);
    RECT b = Show(part, 100, 200, 0, L"Hint text", 4);
    ASSERT_TRUE(created);
    EXPECT_GT(a.right - a.left, b.right - b.left);
    EXPECT_EQ(a.left, 100);
    EXPECT_EQ(a.top, 100);
    EXPECT_TRUE(IsWindowVisible(whole.GetHwnd()));
    EXPECT_NE(GetForegroundWindow(), whole.GetHwnd()) << "shown without activation";
    DToolTip again;
    EXPECT_FALSE(whole.Create(nullptr));
}

TEST_F(ToolTipTest, AmpersandIsMeasuredAndPaintedAsACharacter)
{
    DToolTip with, without;
    RECT a = Show(with, 100, 100, 0, L"A&B");
    RECT b = Show(without, 100, 200, 0, L"AB");
    EXPECT_GT(a.right - a.left, b.right - b.left);
}

TEST_F(ToolTipTest, TipLiesBesideItsAnchor)
{
    DToolTip left, above, centred;
    RECT r = Show(left, 600, 500, TipAlign::kEndAtX | TipAlign::kEndAtY, L"Beside");
    EXPECT_EQ(r.right, 600);
    EXPECT_EQ(r.bottom, 500);
    r = Show(centred, 600, 300, TipAlign::kCentreX | TipAlign::kCentreY, L"Centre");
    EXPECT_NEAR((r.left + r.right) / 2, 600, 1);
    EXPECT_NEAR((r.top + r.bottom) / 2, 300, 1);
}

TEST_F(ToolTipTest, TipStaysOnScreenWithItsWholeSize)
{
    POINT corner = {GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1};
    RECT work = WorkArea(corner);
    DToolTip a, b;
    RECT r = Show(a, work.right - 1, work.bottom - 1, 0, L"At the corner of the screen");
    ASSERT_TRUE(created);
    EXPECT_LE(r.right, work.right);
    EXPECT_LE(r.bottom, work.bottom);
    EXPECT_GE(r.left, work.left);
    r = Show(b, 50, -300, 0, L"Above the top");
    EXPECT_EQ(r.top, work.top);
    EXPECT_EQ(r.left, 50);
}

TEST_F(ToolTipTest, PaintsBorderBackgroundAndText)
{
    DToolTip tip;
    Show(tip, 500, 400, 0, L"WWWW");
    ASSERT_TRUE(created);
    UpdateWindow(tip.GetHwnd());
    harness::Pump(30);
    harness::PixelGrab g(tip.GetHwnd());
    EXPECT_EQ(g.At(0, 0), 0x000000);
    EXPECT_EQ(g.At(g.Width() - 1, g.Height() - 1), 0x000000);
    EXPECT_EQ(g.At(2, 2), GetSysColor(COLOR_INFOBK));
    EXPECT_GT(g.Count(GetSysColor(COLOR_INFOTEXT), RECT{4, 4, g.Width() - 4, g.Height() - 4}), 0);
    EXPECT_TRUE(tip.SetBkColor(RGB(0, 200, 0)));
    harness::Pump(20);
    harness::PixelGrab g2(tip.GetHwnd());
    EXPECT_EQ(g2.At(2, 2), RGB(0, 200, 0));
    DToolTip none;
    EXPECT_FALSE(none.SetTextColor(0));
}

TEST_F(ToolTipTest, ClassOwnsTheTooltipFont)
{
    LOGFONTW lf = {};
    lf.lfHeight = -12;
    HFONT first = CreateFontIndirectW(&lf);
    HFONT second = CreateFontIndirectW(&lf);
    DToolTip::SetFont(first);
    DToolTip::SetFont(second);
    EXPECT_EQ(GetObjectType(first), 0u) << "the replaced font is deleted";
    EXPECT_EQ(DToolTip::GetFont(), second);
    DToolTip::UnregisterClass();
    EXPECT_EQ(GetObjectType(second), 0u);
    EXPECT_EQ(DToolTip::GetFont(), nullptr);
    EXPECT_TRUE(DToolTip::RegisterClass());
}

// ---- the button's hover cycle ---------------------------------------------

// Drives the real mouse and keyboard: runs alone (see tests.cmake).
using ToolTipRealInput = ToolTipTest;

TEST_F(ToolTipRealInput, HoverShowsATipBesideTheButtonAndLeavingRemovesIt)
{
    ASSERT_TRUE(Make(kVisible | kHoverTimeout, L"Hover", 40, 40, 80, 30));
    onEvent = [this](const char* what) {
        if (std::string(what) == "hover") {
            EXPECT_TRUE(button->SetToolTip(8, L"A hint below", -1));
        }
    };
    for (int round = 1; round <= 2; ++round) {
        POINT p = ScreenOf(20, 10);
        harness::MouseMoveTo(p.x, p.y);
        ASSERT_TRUE(harness::PumpUntil([this] { return (button->GetState() & DButtonState::kHoverTimer) != 0; }, 10000))
            << "round " << round;
        // The 1.5-second tick, delivered at once.
        Send(WM_TIMER, DButton::kHoverTimerId, 0);
        EXPECT_EQ(log.Count("hover"), static_cast<size_t>(round));
        ASSERT_NE(button->GetTip(), nullptr);
        EXPECT_TRUE(button->GetState() & DButtonState::kTipShown);
        EXPECT_FALSE(button->GetState() & DButtonState::kHoverTimer);
        RECT tip, face;
        GetWindowRect(button->GetTip()->GetHwnd(), &tip);
        GetWindowRect(Hwnd(), &face);
        EXPECT_EQ(tip.top, face.bottom) << "below the button, not over it";
        EXPECT_NEAR((tip.left + tip.right) / 2, (face.left + face.right) / 2, 1);

        HWND tipWindow = button->GetTip()->GetHwnd();
        harness::MouseMoveTo(p.x + 400, p.y + 300);
        EXPECT_TRUE(harness::PumpUntil([this] { return button->GetTip() == nullptr; }, 10000)) << "WM_MOUSELEAVE";
        EXPECT_FALSE(IsWindow(tipWindow));
        EXPECT_EQ(button->GetState() & (DButtonState::kTipShown | DButtonState::kHoverTimer), 0u);
    }
}

TEST_F(ToolTipRealInput, PressCancelsTheHover)
{
    ASSERT_TRUE(Make(kVisible | kHoverTimeout, L"Hover", 40, 40, 80, 30));
    POINT p = ScreenOf(20, 10);
    harness::MouseMoveTo(p.x, p.y);
    ASSERT_TRUE(harness::PumpUntil([this] { return (button->GetState() & DButtonState::kHoverTimer) != 0; }, 10000));
    EXPECT_TRUE(button->SetToolTip(2, L"Right of it", -1));
    EXPECT_FALSE(button->SetToolTip(2, L"Second", -1)) << "one tip at a time";
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(button->GetTip(), nullptr);
    Send(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    log.Clear();
    Send(WM_TIMER, DButton::kHoverTimerId, 0);
    EXPECT_FALSE(log.Contains("hover")) << "no timer is held any more";
}

TEST_F(ToolTipRealInput, HidingOrDisablingCancelsTheTip)
{
    ASSERT_TRUE(Make(kVisible | kHoverTimeout, L"Hover", 40, 40, 80, 30));
    POINT p = ScreenOf(20, 10);
    harness::MouseMoveTo(p.x, p.y);
    harness::Pump(30);
    ASSERT_TRUE(button->SetToolTip(1, L"Left of it", -1));
    RECT tip, face;
    GetWindowRect(button->GetTip()->GetHwnd(), &tip);
    GetWindowRect(Hwnd(), &face);
    EXPECT_EQ(tip.right, face.left);
    button->Enable(FALSE);
    EXPECT_EQ(button->GetTip(), nullptr);
    button->Enable(TRUE);
    ASSERT_TRUE(button->SetToolTip(4, L"Above it", -1));
    GetWindowRect(button->GetTip()->GetHwnd(), &tip);
    EXPECT_EQ(tip.bottom, face.top);
    button->Show(SW_HIDE);
    EXPECT_EQ(button->GetTip(), nullptr);
}

// ---- multi-line static text -----------------------------------------------

TEST_F(ToolTipTest, StaticTextHoldsItsTextAndCanLetGoOfItsWindow)
{
    ASSERT_TRUE(DStaticMLText::RegisterClass(hInstance));
    DStaticMLText text;
    DStaticMLTextDesc d = {0, host->Hwnd(), hInstance, L"Two\nlines", -1, 10, 10, 100, 40};
    ASSERT_TRUE(text.Create(&d));
    EXPECT_EQ(text.TextLength(), 9);
    EXPECT_TRUE(GetWindowLongW(text.GetHwnd(), GWL_EXSTYLE) & WS_EX_STATICEDGE);
    EXPECT_TRUE(text.SetText(nullptr, 5));
    EXPECT_EQ(text.TextLength(), 0);
    EXPECT_TRUE(text.SetText(L"abc", 2));
    EXPECT_EQ(text.TextLength(), 2);
    EXPECT_TRUE(text.SetTextColor(0xFF));
    HWND h = text.GetHwnd();
    text.Detach();
    EXPECT_EQ(text.GetHwnd(), nullptr);
    EXPECT_TRUE(IsWindow(h)) << "detached, not destroyed";
    EXPECT_FALSE(text.SetText(L"x", 1));
    EXPECT_FALSE(text.SetBkColor(0));
    DestroyWindow(h);
    DStaticMLText::UnregisterClass(hInstance);
}

}  // namespace
