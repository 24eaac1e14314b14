// The list view on screen: selection, keys, bars, scrolling and painting.
#include "listview_fixture.h"

namespace {

using harness::LogMatches;

class ListViewTest : public ListTest {
protected:
    // n rows of one 20-unit column (and a second when asked).
    void Fill(int n, int width = 120)
    {
        ASSERT_TRUE(Make());
        ASSERT_TRUE(AddColumn(20, width));
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(AddRow(L"Row " + std::to_wstring(i), 1000 + i));
        log.Clear();
    }
    void SetScrollLock(bool down)
    {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SCROLL] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    }
    void TearDown() override
    {
        SetScrollLock(false);
        ListTest::TearDown();
    }
};

TEST_F(ListViewTest, SelectionFollowsItsRecordAcrossInsertsAndDeletes)
{
    Fill(60);
    ASSERT_TRUE(list->SelectItem(30));
    ASSERT_TRUE(AddRow(L"new", 1, 5));
    EXPECT_EQ(list->GetSelectedRow(), 31);
    EXPECT_EQ(Data(31), 1030) << "the same record";
    EXPECT_EQ(list->GetRowState(31) & 3, 3u);
    EXPECT_EQ(list->GetRowState(30) & 3, 0u);
    ASSERT_TRUE(AddRow(L"after", 2, 40));   // after the selection: nothing moves
    EXPECT_EQ(list->GetSelectedRow(), 31);
    ASSERT_TRUE(list->DeleteItem(0));
    EXPECT_EQ(list->GetSelectedRow(), 30);
    EXPECT_EQ(Data(30), 1030);
    ASSERT_TRUE(list->DeleteItem(35));
    EXPECT_EQ(list->GetSelectedRow(), 30);
    ASSERT_TRUE(list->DeleteItem(30));   // the selected record itself
    EXPECT_EQ(list->GetSelectedRow(), -1);
    EXPECT_TRUE(LogMatches(log, {"sel 30", "sel 31", "sel 30", "sel -1"}));
    for (int r = 0; r < list->GetRowCount(); ++r)
        ASSERT_EQ(list->GetRowState(r) & 3, 0u) << r;
}

TEST_F(ListViewTest, SelectItemReportsOnlyChanges)
{
    Fill(10);
    EXPECT_TRUE(list->SelectItem(-1));
    EXPECT_TRUE(list->SelectItem(3));
    EXPECT_TRUE(list->SelectItem(3));
    EXPECT_FALSE(list->SelectItem(10));
    EXPECT_TRUE(list->SelectItem(-1));
    EXPECT_TRUE(list->SetItemState(4, 1));
    EXPECT_TRUE(LogMatches(log, {"sel 3", "sel -1", "sel 4"}));
    list->DeleteAllItems();
    EXPECT_EQ(list->GetSelectedRow(), -1);
    EXPECT_EQ(log.Lines().size(), 3u) << "emptying the list reports nothing";
    EXPECT_TRUE(AddRow(L"x", 1, -1, 0, DListItemMask::kState, 1));
    EXPECT_EQ(list->GetSelectedRow(), 0) << "a row inserted with a state is selected";
}

TEST_F(ListViewTest, RowSelectedOffScreenScrollsToTheTop)
{
    Fill(100);
    int v = list->GetVisibleRows();
    ASSERT_GT(v, 3);
    ASSERT_TRUE(list->SelectItem(v));   // just below the view
    EXPECT_EQ(list->GetFirstVisibleRow(), v) << "the selected row heads the view";
    ASSERT_TRUE(list->SelectItem(60));
    EXPECT_EQ(list->GetFirstVisibleRow(), 60);
    ASSERT_TRUE(list->SelectItem(10));   // above the view
    EXPECT_EQ(list->GetFirstVisibleRow(), 10);
    ASSERT_TRUE(list->SelectItem(12));   // on screen: no scroll
    EXPECT_EQ(list->GetFirstVisibleRow(), 10);
    ASSERT_TRUE(list->SelectItem(99));   // the last row: as far as the bar goes
    EXPECT_EQ(list->GetFirstVisibleRow(), 100 - v);
    EXPECT_EQ(list->GetSelectedRow(), 99);
}

TEST_F(ListViewTest, KeysMoveTheSelectionAndScrollByTheirOwnRules)
{
    Fill(100);
    int v = list->GetVisibleRows();
    Key(VK_DOWN);
    EXPECT_EQ(list->GetSelectedRow(), 0);
    Key(VK_UP);   // on the first row: nothing but the callback
    EXPECT_EQ(list->GetSelectedRow(), 0);
    for (int i = 0; i < v; ++i)
        Key(VK_DOWN);
    EXPECT_EQ(list->GetSelectedRow(), v);
    EXPECT_EQ(list->GetFirstVisibleRow(), 1) << "Down keeps the selection on the last visible row";
    Key(VK_END);
    EXPECT_EQ(list->GetSelectedRow(), 99);
    EXPECT_EQ(list->GetFirstVisibleRow(), 100 - v);
    Key(VK_DOWN);   // on the last row
    EXPECT_EQ(list->GetSelectedRow(), 99);
    Key(VK_PRIOR);
    EXPECT_EQ(list->GetSelectedRow(), 99 - v);
    EXPECT_EQ(list->GetFirstVisibleRow(), 99 - v) << "Page Up puts the selection at the top";
    Key(VK_NEXT);
    EXPECT_EQ(list->GetSelectedRow(), 99);
    EXPECT_EQ(list->GetFirstVisibleRow(), 100 - v) << "Page Down puts it at the bottom";
    Key(VK_HOME);
    EXPECT_EQ(list->GetSelectedRow(), 0);
    EXPECT_EQ(list->GetFirstVisibleRow(), 0);
    Key(VK_LEFT);
    EXPECT_EQ(list->GetSelectedRow(), 0);
    EXPECT_EQ(log.Count("key " + std::to_string(VK_DOWN)), static_cast<size_t>(v + 2));
    EXPECT_EQ(log.Count("key " + std::to_string(VK_UP)), 1u);
    EXPECT_EQ(log.Count("key " + std::to_string(VK_LEFT)), 1u);
}

TEST_F(ListViewTest, ScrollLockPagesTheViewWithoutMovingTheSelection)
{
    Fill(100);
    int v = list->GetVisibleRows();
    ASSERT_TRUE(list->SelectItem(2));
    log.Clear();
    SetScrollLock(true);
    ASSERT_NE(GetKeyState(VK_SCROLL) & 0x8000, 0);
    Key(VK_NEXT);
    EXPECT_EQ(list->GetFirstVisibleRow(), v);
    EXPECT_EQ(list->GetSelectedRow(), 2);
    Key(VK_END);
    EXPECT_EQ(list->GetFirstVisibleRow(), 100 - v);
    EXPECT_EQ(list->GetSelectedRow(), 2);
    Key(VK_PRIOR);
    EXPECT_EQ(list->GetFirstVisibleRow(), 100 - 2 * v);
    Key(VK_HOME);
    EXPECT_EQ(list->GetFirstVisibleRow(), 0);
    EXPECT_EQ(list->GetSelectedRow(), 2);
    EXPECT_EQ(log.Count("sel 2"), 0u);
}

TEST_F(ListViewTest, WithoutRowsKeysOnlyCallBack)
{
    ASSERT_TRUE(Make());
    ASSERT_TRUE(AddColumn(10));
    Key(VK_DOWN);
    Key(VK_END);
    EXPECT_TRUE(LogMatches(log, {"key " + std::to_string(VK_DOWN), "key " + std::to_string(VK_END)}));
}

TEST_F(ListViewTest, BarsAreShownOnlyWhenTheContentDoesNotFit)
{
    ASSERT_TRUE(Make());
    HWND h = list->HorizontalBar().GetHwnd(), v = list->VerticalBar().GetHwnd();
    ASSERT_TRUE(h && v);
    ASSERT_TRUE(AddColumn(10, 100));
    EXPECT_FALSE(IsWindowVisible(h));
    EXPECT_FALSE(IsWindowVisible(v));
    int fits = list->GetVisibleRows();
    for (int i = 0; i < fits; ++i)
        ASSERT_TRUE(AddRow(L"r", i));
    EXPECT_FALSE(IsWindowVisible(v)) << "every row fits";
    ASSERT_TRUE(AddRow(L"r", 99));
    EXPECT_TRUE(IsWindowVisible(v));
    EXPECT_FALSE(IsWindowVisible(h));
    EXPECT_EQ(list->GetViewWidth(), 298 - DScroll::Thickness());
    ASSERT_TRUE(AddColumn(10, 250));
    EXPECT_TRUE(IsWindowVisible(h));
    RECT hr, lr;
    GetWindowRect(h, &hr);
    GetClientRect(list->GetHwnd(), &lr);
    MapWindowPoints(nullptr, list->GetHwnd(), reinterpret_cast<POINT*>(&hr), 2);
    EXPECT_EQ(hr.bottom, lr.bottom) << "the horizontal bar sits on the bottom edge";
    EXPECT_EQ(hr.right - hr.left, list->GetViewWidth());
    ASSERT_TRUE(list->DeleteColumn(1));
    EXPECT_FALSE(IsWindowVisible(h));
    list->DeleteAllItems();
    EXPECT_FALSE(IsWindowVisible(v));
    EXPECT_EQ(list->VerticalBar().GetMax(), 0);
}

TEST_F(ListViewTest, ColumnsNarrowerThanTheViewNeedNoHorizontalBarUntilTheVerticalOneTakesRoom)
{
    ASSERT_TRUE(Make());
    ASSERT_TRUE(AddColumn(10, 290));   // fits 298 but not 298 - the vertical bar
    EXPECT_FALSE(IsWindowVisible(list->HorizontalBar().GetHwnd()));
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(AddRow(L"r", i));
    EXPECT_TRUE(IsWindowVisible(list->VerticalBar().GetHwnd()));
    EXPECT_TRUE(IsWindowVisible(list->HorizontalBar().GetHwnd()));
}

TEST_F(ListViewTest, PaintingAfterAScrollEqualsAFreshPaint)
{
    Fill(100, 200);
    ASSERT_TRUE(AddColumn(20, 200));
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(SetText(i, 1, L"second " + std::to_wstring(i)));
    ASSERT_TRUE(list->SelectItem(8));
    UpdateWindow(list->GetHwnd());
    harness::Pump(20);
    for (int step : {3, 7, 1, 40}) {
        list->VerticalBar().SetPos(step);
        list->HorizontalBar().SetPos(step * 2);
        harness::Pump(10);
        harness::PixelGrab scrolled(list->GetHwnd());
        ASSERT_TRUE(scrolled.Ok());
        InvalidateRect(list->GetHwnd(), nullptr, TRUE);
        UpdateWindow(list->GetHwnd());
        harness::Pump(10);
        harness::PixelGrab fresh(list->GetHwnd());
        int rowsBottom = list->GetRowsTop() + list->GetViewHeight();
        int differ = 0;
        for (int y = list->GetRowsTop(); y < rowsBottom; ++y)
            for (int x = 0; x < list->GetViewWidth(); ++x)
                differ += scrolled.At(x, y) != fresh.At(x, y);
        EXPECT_EQ(differ, 0) << "after scrolling to " << step;
        bool selectionShown = 8 >= step && 8 < step + list->GetVisibleRows();
        EXPECT_EQ(fresh.Count(RGB(0, 0, 255)) > 0, selectionShown) << "the grab shows the rows at " << step;
        // The rows show what the first visible row says.
        EXPECT_EQ(list->GetFirstVisibleRow(), step);
    }
}

TEST_F(ListViewTest, SelectedRowIsPaintedBlueOnAMemoryDc)
{
    Fill(20);
    ASSERT_TRUE(list->SelectItem(2));
    RECT rc;
    GetClientRect(list->GetHwnd(), &rc);
    MemoryCanvas canvas(rc.right, rc.bottom);
    list->Paint(canvas.Dc(), rc);
    int top = list->GetRowsTop(), h = list->GetRowHeight();
    EXPECT_EQ(canvas.At(list->GetViewWidth() - 5, top + 2 * h + h / 2), RGB(0, 0, 255));
    EXPECT_EQ(canvas.At(list->GetViewWidth() - 5, top + h / 2), GetSysColor(COLOR_WINDOW));
    EXPECT_GT(canvas.Count(RGB(255, 255, 255), RECT{0, top + 2 * h, 100, top + 3 * h}), 0) << "white text";
    EXPECT_GT(canvas.Count(RGB(0, 0, 0), RECT{0, top, 100, top + h}), 0) << "black text";
    EXPECT_EQ(canvas.At(5, 2), RGB(255, 0, 255)) << "the header's area is not the list's to paint";
}

TEST_F(ListViewTest, ClickSelectsTheRowUnderThePointer)
{
    Fill(20);
    int top = list->GetRowsTop(), h = list->GetRowHeight();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, top + 3 * h + 1));
    EXPECT_EQ(list->GetSelectedRow(), 3);
    EXPECT_TRUE(LogMatches(log, {"sel 3", "ldown 20 " + std::to_string(top + 3 * h + 1)}));
}

TEST_F(ListViewTest, EventsOfTheHeaderAndBarsReachTheOwnerAsTheList)
{
    Fill(50);
    SendMessageW(list->Header().GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 3));
    SendMessageW(list->Header().GetHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(5, 3));
    RECT vr;
    GetWindowRect(list->VerticalBar().GetHwnd(), &vr);
    MapWindowPoints(nullptr, list->GetHwnd(), reinterpret_cast<POINT*>(&vr), 2);
    SendMessageW(list->VerticalBar().GetHwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(2, 4));
    EXPECT_TRUE(LogMatches(log, {"ldown 5 3", "rdown " + std::to_string(vr.left + 2) + " " + std::to_string(vr.top + 4)}));
}

TEST_F(ListViewTest, DraggingAHeaderDividerResizesTheColumnAndRows)
{
    Fill(5, 100);
    ASSERT_TRUE(AddColumn(20, 50));
    HWND hh = list->Header().GetHwnd();
    SendMessageW(hh, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 3));
    SendMessageW(hh, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(130, 3));
    SendMessageW(hh, WM_LBUTTONUP, 0, MAKELPARAM(130, 3));
    EXPECT_EQ(list->GetColumnWidth(0), 130);
    EXPECT_EQ(list->GetTotalWidth(), 180);
    // A double-click asks for the widest text plus 6.
    SendMessageW(hh, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(130, 3));
    EXPECT_EQ(list->GetColumnWidth(0), list->GetOptimalColumnWidth(0));
    EXPECT_LT(list->GetColumnWidth(0), 130);
}

TEST_F(ListViewTest, DestroyedListCanBeCreatedAgain)
{
    Fill(40);
    DestroyWindow(list->GetHwnd());
    EXPECT_EQ(list->GetHwnd(), nullptr);
    DListViewDesc d = {DListViewStyle::kStandard, this, Host(), 0, 0, 200, 100, hInstance, &inputRecord, &notifyRecord};
    ASSERT_TRUE(list->Create(&d));
    EXPECT_EQ(list->GetRowCount(), 0);
    ASSERT_TRUE(AddColumn(10));
    ASSERT_TRUE(AddRow(L"again", 1));
    EXPECT_EQ(Text(0, 0), L"again");
}

}  // namespace
