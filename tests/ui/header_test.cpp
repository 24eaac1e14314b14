// The header control: column bookkeeping, divider hover and drag, the
// double-click width query, scrolling and painting.
#include "ui/header.h"

#include "controls_fixture.h"

#include <functional>
#include <string>

using harness::LogMatches;

namespace {

class HeaderTest : public ControlsTest {
protected:
    void DestroyControls() override { header.reset(); }

    bool Make(DWORD style = DHeaderStyle::kVisible | DHeaderStyle::kAutoHeight, int width = 300)
    {
        header.reset(new DHeader);
        DHeaderDesc d = {style, this, Host(), 10, 10, width, 0, hInstance, &inputRecord, &notifyRecord};
        return header->Create(&d);
    }
    bool Add(int width, const wchar_t* caption = nullptr, int index = -1, DWORD flags = 0)
    {
        DHeaderItem item = {flags | (caption ? DHeaderFlags::kHasCaption : 0), index, 0, width, caption};
        return header->InsertColumn(item);
    }
    LRESULT Send(UINT m, WPARAM w, LPARAM l) { return SendMessageW(header->GetHwnd(), m, w, l); }
    std::wstring Text(int i)
    {
        int n = 0;
        const wchar_t* t = header->GetColumnText(i, &n);
        return t ? std::wstring(t, n) : std::wstring();
    }

    static HeaderTest* Self(void* c) { return static_cast<HeaderTest*>(c); }

    std::unique_ptr<DHeader> header;
    std::function<int(int, int)> optimal = [](int, int) { return -1; };
    DHeaderNotify notifyRecord = {
        [](void* c, DHeader*, int col, int w) { Self(c)->log.Addf("width %d %d", col, w); },
        [](void* c, DHeader*, int col, int w) {
            Self(c)->log.Addf("query %d %d", col, w);
            return Self(c)->optimal(col, w);
        },
        nullptr,
        nullptr,
        [](void* c, DHeader*, int col, int button) { Self(c)->log.Addf("divider %d button %d", col, button); },
    };
    DHeaderInput inputRecord = {};
};

TEST_F(HeaderTest, ColumnsKeepTheirEdgesAndTheTotalWidth)
{
    ASSERT_TRUE(Make());
    EXPECT_TRUE(Add(100, L"One"));
    EXPECT_TRUE(Add(50, L"Tw"));
    EXPECT_TRUE(Add(70, L"Three", 1));   // in the middle
    EXPECT_FALSE(Add(10, L"x", 5)) << "index beyond the count";
    EXPECT_FALSE(Add(10, L"x", -2));
    ASSERT_EQ(header->GetColumnCount(), 3);
    EXPECT_EQ(header->GetColumnX(0), 0);
    EXPECT_EQ(header->GetColumnX(1), 100);
    EXPECT_EQ(header->GetColumnX(2), 170);
    EXPECT_EQ(header->GetTotalWidth(), 220);
    EXPECT_EQ(Text(0), L"One");
    EXPECT_EQ(Text(1), L"Three");
    EXPECT_EQ(Text(2), L"Tw") << "two characters are kept in the record itself";

    EXPECT_TRUE(header->DeleteColumn(2));
    EXPECT_EQ(header->GetTotalWidth(), 170) << "the sum of the first two";
    EXPECT_TRUE(header->DeleteColumn(0));
    EXPECT_EQ(header->GetColumnX(0), 0);
    EXPECT_EQ(Text(0), L"Three");
    EXPECT_FALSE(header->DeleteColumn(1));
    EXPECT_FALSE(header->DeleteColumn(-1));

    EXPECT_TRUE(header->SetColumnWidth(0, 90));
    EXPECT_FALSE(header->SetColumnWidth(1, 90));
    EXPECT_EQ(header->GetTotalWidth(), 90);
    EXPECT_TRUE(LogMatches(log, {"width 0 90"}));
    header->DeleteAllColumns();
    EXPECT_EQ(header->GetColumnCount(), 0);
    EXPECT_EQ(header->GetTotalWidth(), 0);
}

TEST_F(HeaderTest, DataWordIsStoredOnlyWithItsFlag)
{
    ASSERT_TRUE(Make());
    DHeaderItem with = {DHeaderFlags::kHasData, -1, 77, 10, nullptr};
    DHeaderItem without = {0, -1, 88, 10, nullptr};
    ASSERT_TRUE(header->InsertColumn(with));
    ASSERT_TRUE(header->InsertColumn(without));
    EXPECT_EQ(header->GetColumnData(0), 77);
    EXPECT_EQ(header->GetColumnData(1), 0);
}

TEST_F(HeaderTest, AutomaticHeightIsTheTextHeightPlusFour)
{
    ASSERT_TRUE(Make());
    HDC dc = GetDC(header->GetHwnd());
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    ReleaseDC(header->GetHwnd(), dc);
    EXPECT_EQ(header->GetHeight(), tm.tmHeight + 4);
    MoveWindow(header->GetHwnd(), 0, 0, 200, 0, TRUE);
    EXPECT_EQ(header->GetHeight(), tm.tmHeight + 4);
}

TEST_F(HeaderTest, DraggingADividerLeftPastTheColumnGivesWidthZero)
{
    ASSERT_TRUE(Make());
    ASSERT_TRUE(Add(100, L"A"));
    ASSERT_TRUE(Add(60, L"B"));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 5));
    EXPECT_EQ(header->GetDragState(), DHeader::kDragging);
    EXPECT_EQ(GetCapture(), header->GetHwnd());
    EXPECT_EQ(GetCursor(), DHeader::ResizeCursor());
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-40, 5));
    EXPECT_EQ(header->GetDragX(), 0) << "the line stops at the column's left edge";
    Send(WM_LBUTTONUP, 0, MAKELPARAM(-40, 5));
    EXPECT_EQ(header->GetDragState(), 0u);
    EXPECT_NE(GetCapture(), header->GetHwnd());
    EXPECT_EQ(header->GetColumnWidth(0), 0);
    EXPECT_EQ(header->GetColumnX(1), 0);
    EXPECT_EQ(header->GetTotalWidth(), 60);
    EXPECT_TRUE(LogMatches(log, {"width 0 0"}));
}

TEST_F(HeaderTest, DraggingRightWidensTheColumnAndShiftsTheRest)
{
    ASSERT_TRUE(Make());
    ASSERT_TRUE(Add(100, L"A"));
    ASSERT_TRUE(Add(60, L"B"));
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(159, 5));   // hover the second divider first
    EXPECT_EQ(header->GetDragState(), DHeader::kHovering);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(159, 5));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 5));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(200, 5));
    EXPECT_EQ(header->GetColumnWidth(1), 100);
    EXPECT_TRUE(LogMatches(log, {"width 1 100"}));
}

TEST_F(HeaderTest, HoverTakesTheCaptureAndLeavingTheZoneGivesItBack)
{
    ASSERT_TRUE(Make());
    ASSERT_TRUE(Add(100, L"A"));
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(50, 5));
    EXPECT_EQ(header->GetDragState(), 0u);
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(98, 5));
    EXPECT_EQ(header->GetDragState(), DHeader::kHovering);
    EXPECT_EQ(GetCapture(), header->GetHwnd());
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(110, 5));
    EXPECT_EQ(header->GetDragState(), 0u);
    EXPECT_NE(GetCapture(), header->GetHwnd());
    // Losing the capture ends a hover too.
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(99, 5));
    SetCapture(Host());
    EXPECT_EQ(header->GetDragState(), 0u);
    ReleaseCapture();
}

TEST_F(HeaderTest, NoResizeStyleIgnoresDividersForMovesAndPresses)
{
    ASSERT_TRUE(Make(DHeaderStyle::kVisible | DHeaderStyle::kAutoHeight | DHeaderStyle::kNoResize));
    ASSERT_TRUE(Add(100, L"A"));
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(99, 5));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(99, 5));
    EXPECT_EQ(header->GetDragState(), 0u);
    Send(WM_LBUTTONUP, 0, MAKELPARAM(99, 5));
    Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(99, 5));
    EXPECT_TRUE(LogMatches(log, {"divider 0 button 2"})) << "the right button still finds the divider";
}

TEST_F(HeaderTest, DoubleClickAsksForTheOptimalWidth)
{
    ASSERT_TRUE(Make());
    ASSERT_TRUE(Add(100, L"A"));
    ASSERT_TRUE(Add(50, L"B"));
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(101, 5));
    EXPECT_EQ(header->GetColumnWidth(0), 100);
    EXPECT_TRUE(LogMatches(log, {"query 0 100"})) << "-1 changes nothing";
    log.Clear();
    optimal = [](int, int) { return 42; };
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(101, 5));
    EXPECT_EQ(header->GetColumnWidth(0), 42);
    EXPECT_EQ(header->GetColumnX(1), 42);
    EXPECT_TRUE(LogMatches(log, {"query 0 100", "width 0 42"}));
    log.Clear();
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(43, 5));   // same answer again: nothing
    EXPECT_TRUE(LogMatches(log, {"query 0 42"}));
    Send(WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(43, 5));
    EXPECT_EQ(log.Lines().back(), "divider 0 button 3");
}

TEST_F(HeaderTest, GrowingPastTheColumnsScrollsBackButNotBelowZero)
{
    ASSERT_TRUE(Make(DHeaderStyle::kVisible | DHeaderStyle::kAutoHeight, 200));
    ASSERT_TRUE(Add(300));
    ASSERT_TRUE(Add(300));
    header->SetScrollPos(300);
    int h = header->GetHeight();
    MoveWindow(header->GetHwnd(), 0, 0, 350, h, TRUE);
    EXPECT_EQ(header->GetScrollPos(), 250) << "the last column ends at the right edge";
    MoveWindow(header->GetHwnd(), 0, 0, 380, h, TRUE);
    EXPECT_EQ(header->GetScrollPos(), 220);
    header->SetScrollPos(10);
    MoveWindow(header->GetHwnd(), 0, 0, 800, h, TRUE);
    EXPECT_EQ(header->GetScrollPos(), 0);
}

TEST_F(HeaderTest, DeletingAColumnScrolledOffToTheLeftRepaints)
{
    ASSERT_TRUE(Make(DHeaderStyle::kVisible | DHeaderStyle::kAutoHeight, 200));
    ASSERT_TRUE(Add(100, L"A"));
    ASSERT_TRUE(Add(100, L"B"));
    ASSERT_TRUE(Add(100, L"C"));
    header->SetScrollPos(150);
    UpdateWindow(header->GetHwnd());
    ValidateRect(header->GetHwnd(), nullptr);
    ASSERT_TRUE(header->DeleteColumn(0));
    RECT dirty;
    ASSERT_TRUE(GetUpdateRect(header->GetHwnd(), &dirty, FALSE));
    EXPECT_EQ(dirty.left, 0);
    EXPECT_EQ(dirty.right, 200);
}

TEST_F(HeaderTest, PaintsRaisedColumnsAndSunkenPressedOnes)
{
    ASSERT_TRUE(Make(DHeaderStyle::kVisible | DHeaderStyle::kAutoHeight, 200));
    ASSERT_TRUE(Add(80, L"A"));
    ASSERT_TRUE(Add(60, L"B"));
    int h = header->GetHeight();
    MemoryCanvas raised(200, h);
    header->Paint(raised.Dc());
    EXPECT_EQ(raised.At(0, h / 2), RGB(255, 255, 255));
    EXPECT_EQ(raised.At(79, h / 2), RGB(0, 0, 0));
    EXPECT_EQ(raised.At(80, h / 2), RGB(255, 255, 255));
    EXPECT_EQ(raised.At(170, h / 2), GetSysColor(COLOR_BTNFACE)) << "right of the columns";
    EXPECT_EQ(raised.Count(RGB(255, 0, 255), RECT{0, 0, 200, h}), 0);
    EXPECT_TRUE(header->SetColumnPressed(1, true));
    EXPECT_TRUE(header->IsColumnPressed(1));
    MemoryCanvas pressed(200, h);
    header->Paint(pressed.Dc());
    EXPECT_EQ(pressed.At(80, h / 2), RGB(0, 0, 0));
    EXPECT_EQ(pressed.At(139, h / 2), RGB(255, 255, 255));
}

TEST_F(HeaderTest, CopiedInputRecordIsRequired)
{
    header.reset(new DHeader);
    DHeaderDesc d = {DHeaderStyle::kCopyInput, this, Host(), 0, 0, 100, 20, hInstance, nullptr, nullptr};
    EXPECT_FALSE(header->Create(&d));
    d.input = &inputRecord;
    d.style |= DHeaderStyle::kCopyNotify;
    EXPECT_TRUE(header->Create(&d));
    EXPECT_FALSE(header->Create(&d));
}

}  // namespace
