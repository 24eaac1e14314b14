// Every control gives back each GDI object it makes: after cycles of
// creating, using, painting and destroying a control, the process holds as
// many GDI objects as before. Two cycles run first to let the system cache
// what it keeps for good (cache DCs of the window manager).
#include "controls_fixture.h"
#include "ui/button.h"
#include "ui/formsfont.h"
#include "ui/header.h"
#include "ui/listview.h"
#include "ui/msgbox.h"
#include "ui/scroll.h"
#include "ui/tooltip.h"
#include "ui/updown.h"
#include "ui/widgets.h"

#include <functional>

namespace {

class GdiBalanceTest : public ControlsTest {
protected:
    // The change in live GDI objects over `cycles` runs of `cycle`, after two
    // warm-up runs (the window system fills its cache of DCs on the way).
    int Growth(const std::function<void()>& cycle, int cycles = 4)
    {
        cycle();
        cycle();
        harness::Pump(20);
        int before = harness::LiveGdiObjects();
        for (int i = 0; i < cycles; ++i)
            cycle();
        harness::Pump(20);
        return harness::LiveGdiObjects() - before;
    }
    // Paints the window (frame, background and client area) at once.
    static void PaintNow(HWND hwnd)
    {
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    static LOGFONTW Font(int height)
    {
        LOGFONTW lf = {};
        lf.lfHeight = -height;
        wcscpy(lf.lfFaceName, L"DejaVu Sans");
        return lf;
    }
};

TEST_F(GdiBalanceTest, CounterSeesObjectsComeAndGo)
{
    int before = harness::LiveGdiObjects();
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    EXPECT_EQ(harness::LiveGdiObjects(), before + 2);
    DeleteObject(pen);
    DeleteObject(brush);
    EXPECT_EQ(harness::LiveGdiObjects(), before);
}

TEST_F(GdiBalanceTest, ButtonGivesBackEverythingItMakes)
{
    DButton::SetDefaultFont(Font(12));
    static const DButtonNotify notify = {};
    static const DButtonInput input = {};
    EXPECT_EQ(Growth([&] {
                  DButtonDesc d = {60, Host(), DButtonStyle::kVisible | DButtonStyle::kCornerArrow | DButtonStyle::kCheck |
                                                   DButtonStyle::kMultiLine | DButtonStyle::kCopyNotify |
                                                   DButtonStyle::kCopyInput,
                                   10, 10, 90, 40, this, L"One\nTwo", nullptr, 0, 0, hInstance, &input, &notify};
                  DButton b;
                  ASSERT_TRUE(b.Create(&d));
                  PaintNow(b.GetHwnd());
                  b.SetCheck(true);
                  b.SetFont(Font(14));
                  b.SetLightPen(RGB(1, 1, 1));
                  b.SetDarkPen(RGB(2, 2, 2));
                  b.SetCheckedPen(RGB(3, 3, 3));
                  b.SetFaceColor(RGB(200, 0, 0));
                  b.SetArrowColor(RGB(0, 200, 0));
                  SendMessageW(b.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
                  PaintNow(b.GetHwnd());
                  SendMessageW(b.GetHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
                  EnableWindow(b.GetHwnd(), FALSE);
                  PaintNow(b.GetHwnd());
                  EXPECT_TRUE(b.SetToolTip(0, L"A tip", -1));
                  harness::Pump(10);
              }),
              0);
}

TEST_F(GdiBalanceTest, ToolTipGivesBackEverythingItMakes)
{
    EXPECT_EQ(Growth([&] {
                  DToolTip tip;
                  DToolTipDesc d = {300, 300, Host(), hInstance, nullptr, TipAlign::kCentreX, L"Hint & more", -1};
                  ASSERT_TRUE(tip.Create(&d));
                  PaintNow(tip.GetHwnd());
                  tip.SetText(L"Another hint", -1);
                  tip.SetBkColor(RGB(1, 2, 3));
                  tip.SetTextColor(RGB(3, 2, 1));
              }),
              0);
}

TEST_F(GdiBalanceTest, HeaderGivesBackEverythingItMakes)
{
    DHeader::SetDefaultFont(Font(12));
    EXPECT_EQ(Growth([&] {
                  DHeader h;
                  DHeaderDesc d = {DHeaderStyle::kVisible | DHeaderStyle::kAutoHeight | DHeaderStyle::kCopyNotify,
                                   this, Host(), 0, 0, 300, 0, hInstance, nullptr, nullptr};
                  ASSERT_TRUE(h.Create(&d));
                  for (int i = 0; i < 4; ++i)
                      h.InsertColumn(DHeaderItem{DHeaderFlags::kHasCaption, -1, 0, 60, L"Caption"});
                  h.SetColumnPressed(1, true);
                  h.SetBackColor(RGB(9, 9, 9), true);
                  PaintNow(h.GetHwnd());
                  // A divider drag draws and erases its line.
                  SendMessageW(h.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 5));
                  SendMessageW(h.GetHwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(80, 5));
                  SendMessageW(h.GetHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(80, 5));
                  h.SetScrollPos(30);
                  MemoryCanvas canvas(300, 30);
                  h.Paint(canvas.Dc());
                  h.DeleteColumn(0);
              }),
              0);
}

TEST_F(GdiBalanceTest, ScrollBarGivesBackEverythingItMakes)
{
    EXPECT_EQ(Growth([&] {
                  DScroll s;
                  DScrollDesc d = {DScrollStyle::kVisible | DScrollStyle::kVertical | DScrollStyle::kCopyNotify, this, Host(),
                                   10, 10, 20, 200, hInstance, DScrollMask::kMax | DScrollMask::kPage, 0, 100, 0, 10,
                                   nullptr, nullptr};
                  ASSERT_TRUE(s.Create(&d));
                  PaintNow(s.GetHwnd());
                  SendMessageW(s.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 190));
                  SendMessageW(s.GetHwnd(), WM_TIMER, DScroll::kRepeatTimerId, 0);
                  SendMessageW(s.GetHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(5, 190));
                  s.SetPos(50);
                  MemoryCanvas canvas(20, 200);
                  s.Draw(canvas.Dc());
              }),
              0);
}

TEST_F(GdiBalanceTest, ListViewGivesBackEverythingItMakes)
{
    DListView::SetDefaultFont(Font(12));
    static const DListViewInput input = {};
    EXPECT_EQ(Growth([&] {
                  DListView list;
                  DListViewDesc d = {DListViewStyle::kStandard | DListViewStyle::kCopyInput |
                                         DListViewStyle::kCopyNotify,
                                     this, Host(), 0, 0, 300, 200, hInstance, &input, nullptr};
                  ASSERT_TRUE(list.Create(&d));
                  for (int c = 0; c < 3; ++c) {
                      DListColumn col = {DListColumnFlags::kCaption, DListColumnFlags::kTextCells, -1, 150, 32,
                                         L"Column", 0};
                      ASSERT_TRUE(list.InsertColumn(&col));
                  }
                  for (int r = 0; r < 40; ++r) {
                      DListItem item = {DListItemMask::kText, 0, 0, -1, const_cast<wchar_t*>(L"Row text"), -1, 0, 0};
                      ASSERT_TRUE(list.InsertItem(&item));
                  }
                  list.SelectItem(30);
                  PaintNow(list.GetHwnd());
                  list.VerticalBar().SetPos(10);
                  list.HorizontalBar().SetPos(40);
                  MemoryCanvas canvas(300, 200);
                  list.Paint(canvas.Dc(), RECT{0, 0, 300, 200});
                  list.DeleteColumn(1);
                  list.DeleteItem(3);
              }),
              0);
}

TEST_F(GdiBalanceTest, UpDownGivesBackEverythingItMakes)
{
    static const DUpDownInput input = {};
    static const DUpDownNotify notify = {};
    EXPECT_EQ(Growth([&] {
                  DUpDown u;
                  DUpDownDesc d = {DUpDownStyle::kVisible | DUpDownStyle::kText | DUpDownStyle::kCopyInput, 10, 10, 80, 30,
                                   Host(), this, nullptr, 0, 0, &input, &notify,
                                   DUpDownMask::kMax | DUpDownMask::kValue, 0, 100, 5, 0, 1};
                  ASSERT_TRUE(u.Create(&d));
                  PaintNow(u.GetHwnd());
                  SendMessageW(u.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(75, 3));
                  SendMessageW(u.GetHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(75, 3));
                  MemoryCanvas canvas(80, 30);
                  u.Paint(canvas.Dc());
              }),
              0);
}

TEST_F(GdiBalanceTest, WidgetsGiveBackEverythingTheyMake)
{
    LOGFONTW lf = Font(12);
    HFONT font = CreateFontIndirectW(&lf);
    EXPECT_EQ(Growth([&] {
                  MemoryCanvas canvas(400, 300);
                  DrawnLabel label;
                  label.Init(Host(), font);
                  label.SetRect(10, 10, 200, 30);
                  label.SetText(L"Label", -1);
                  label.Draw(canvas.Dc());
                  label.Draw(nullptr);
                  DrawnGroupFrame frame;
                  frame.Init(Host(), font);
                  frame.SetRect(10, 40, 300, 120, L"Frame");
                  frame.Draw(canvas.Dc());
                  frame.Draw(nullptr);
                  DrawnProgressBar bar;
                  bar.Init(Host());
                  bar.SetRect(10, 130, 300, 160, 10);
                  bar.SetTotal(100);
                  bar.SetPos(55);
                  bar.Draw(canvas.Dc());
                  bar.SetPos(0);
                  bar.Reset();
                  bar.FreeBrush();
                  ScrollTextPanel panel;
                  ASSERT_TRUE(panel.Create(Host(), hInstance));
                  panel.SetRect(10, 170, 200, 60);
                  panel.SetFont(font);
                  panel.SetText(L"A text long enough to wrap over several lines of the panel, so that its bar shows "
                                L"and the panel clips its text to the rectangle left of the bar.",
                                -1, canvas.Dc());
                  panel.ScrollToLine(1);
                  panel.Draw(canvas.Dc());
              }),
              0);
    DeleteObject(font);
}

TEST_F(GdiBalanceTest, MessageBoxGivesBackEverythingItMakes)
{
    GetFormsFont();   // loaded once for the process, before counting
    EXPECT_EQ(Growth([&] {
                  ASSERT_TRUE(MsgWnd::RegisterClass(hInstance));
                  {
                      int result = -1;
                      MsgWnd box(L"Some text for the box", L"Caption", MB_YESNOCANCEL, &result);
                      ASSERT_TRUE(box.Create(Host(), WS_POPUP | WS_CAPTION, nullptr, nullptr, 0));
                      box.Show(SW_SHOWNA);
                      PaintNow(box.GetHwnd());
                      harness::Pump(10);
                  }
                  MsgWnd::UnregisterClass(hInstance);
              }),
              0);
}

}  // namespace
