// The populated main window as the user sees it: once the list, its header,
// the image strip and the status bar have painted, their own pixels show the
// selected patient's highlighted row, the column captions, the patient's
// newest thumbnail and the counts. The whole window is then saved as a
// picture to be looked at: build/mainwnd_screenshot.bmp (beside the test
// program).
#include "mainwnd_fixture.h"

#include "app/iconsnimok.h"
#include "app/iconstrip.h"
#include "app/mainpatientwnd.h"
#include "ui/listview.h"

#include "common/dialog_look.h"
#include "common/window_harness.h"

#include <commctrl.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

using namespace mainwndtest;

using MainWindowPicture = MainWndSite;

namespace {

bool Near(COLORREF a, COLORREF b, int tolerance = 24)
{
    return abs(GetRValue(a) - GetRValue(b)) <= tolerance && abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

int Area(const RECT& r)
{
    return (r.right - r.left) * (r.bottom - r.top);
}

// Pixels within `area` that are not near `color`.
int CountOther(const harness::PixelGrab& grab, COLORREF color, RECT area, int tolerance = 24)
{
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            n += grab.At(x, y) != CLR_INVALID && !Near(grab.At(x, y), color, tolerance);
    return n;
}

// Pixels within `area` near `color`.
int CountNear(const harness::PixelGrab& grab, COLORREF color, RECT area, int tolerance = 24)
{
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            n += Near(grab.At(x, y), color, tolerance);
    return n;
}

int DistinctColours(const harness::PixelGrab& grab, RECT area)
{
    std::set<COLORREF> colours;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            colours.insert(grab.At(x, y));
    return static_cast<int>(colours.size());
}

// Painted: shown and nothing left to paint.
bool Painted(HWND hwnd)
{
    if (!hwnd || !IsWindowVisible(hwnd))
        return false;
    UpdateWindow(hwnd);
    return !GetUpdateRect(hwnd, nullptr, FALSE);
}

}  // namespace

TEST_F(MainWindowPicture, ThePopulatedWindowIsPaintedAndSaved)
{
    const DWORD patient = static_cast<DWORD>(patients_[3]);
    MakeImages(patient, 4);
    OpenWindow();
    MainPatientWindow& w = MainPatientWindow::Instance();
    DListView* list = w.GetList();
    IconStrip& strip = w.GetStrip();
    const int row = ListRow(patient);
    ASSERT_GE(row, 0);
    list->SelectItem(row);
    w.OnListRowChange(row);
    HWND hwnd = MainPatientWindow::GetHwnd();
    SetForegroundWindow(hwnd);

    // The patient lookup reports the patient; the strip then loads the images.
    ASSERT_TRUE(harness::PumpUntil(
        [&] {
            return strip.IsLoaded() && strip.PatientKey() == patient && strip.RecordCount() == 4 &&
                   strip.RowCount() > 0 && strip.Row(0)->GetRecord() != nullptr && StatusText(kPartPictureCount) == L"4";
        },
        5000))
        << "the strip did not load the patient's four images";
    ASSERT_EQ(row, list->GetSelectedRow());
    const int visible = row - list->GetFirstVisibleRow();
    ASSERT_GE(visible, 0);
    ASSERT_LT(visible, list->GetVisibleRows());

    HWND listWnd = list->GetHwnd();
    HWND headerWnd = list->Header().GetHwnd();
    HWND cellWnd = strip.Row(0)->hwnd;
    HWND statusWnd = w.GetStatusBar();
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME | RDW_UPDATENOW);
    ASSERT_TRUE(harness::PumpUntil(
        [&] { return Painted(listWnd) && Painted(headerWnd) && Painted(cellWnd) && Painted(statusWnd) && Painted(hwnd); },
        3000))
        << "the window's children did not finish painting";
    harness::Pump(50);

    // The list: the selected row is a blue band across the rows area with the
    // patient's white text in it; the rows around it are on the list's
    // background with black text.
    {
        harness::PixelGrab grab(listWnd);
        ASSERT_TRUE(grab.Ok());
        const int rowHeight = list->GetRowHeight();
        ASSERT_GT(rowHeight, 4);
        const int top = list->GetRowsTop() + visible * rowHeight;
        const RECT band = {0, top, list->GetViewWidth(), top + rowHeight};
        const COLORREF blue = RGB(0, 0, 255);
        const int bandBlue = CountNear(grab, blue, band, 8);
        const int bandWhite = CountNear(grab, RGB(255, 255, 255), band, 40);
        EXPECT_GT(bandBlue, Area(band) * 6 / 10) << "no highlight band at the selected row's place";
        EXPECT_GT(bandWhite, 20) << "no text in the highlight band";
        EXPECT_LT(bandWhite, Area(band) / 3) << "the band is not filled";
        EXPECT_GT(bandBlue + bandWhite, Area(band) * 8 / 10);
        // Another row nearby: no blue, some dark text on the window colour.
        const int other = visible > 0 ? visible - 1 : visible + 1;
        ASSERT_LT(other, list->GetRowCount() - list->GetFirstVisibleRow());
        const int otherTop = list->GetRowsTop() + other * rowHeight;
        const RECT otherBand = {0, otherTop, list->GetViewWidth(), otherTop + rowHeight};
        EXPECT_EQ(0, CountNear(grab, blue, otherBand, 8)) << "the highlight is not only at the selected row";
        EXPECT_GT(CountNear(grab, RGB(0, 0, 0), otherBand, 60), 20) << "the neighbouring row shows no text";
        EXPECT_GT(CountNear(grab, GetSysColor(COLOR_WINDOW), otherBand, 8), Area(otherBand) / 2);
    }

    // The header: a button-face band with the column captions in it.
    {
        harness::PixelGrab grab(headerWnd);
        ASSERT_TRUE(grab.Ok());
        const RECT all = {0, 0, grab.Width(), grab.Height()};
        ASSERT_GT(grab.Height(), 4);
        EXPECT_GT(CountNear(grab, GetSysColor(COLOR_BTNFACE), all, 8), Area(all) / 2) << "no header band";
        EXPECT_GT(CountNear(grab, GetSysColor(COLOR_BTNTEXT), all, 60), 20) << "no column captions";
    }

    // The strip's first cell: the caption band, then the newest image's
    // thumbnail: many grey levels, mostly not the cell's flat background (a
    // cell with no image is that background with a state caption).
    {
        IconSnimok* cell = strip.Row(0);
        ASSERT_EQ(0, cell->GetNumber());
        harness::PixelGrab grab(cellWnd);
        ASSERT_TRUE(grab.Ok());
        const int caption = cell->GetCaptionHeight();
        ASSERT_GE(grab.Height(), caption + IconSnimok::kThumbSide);
        const RECT band = {0, 0, IconSnimok::kThumbSide, caption};
        EXPECT_GT(CountNear(grab, IconSnimok::CaptionColor(), band, 8), Area(band) / 2) << "no caption band";
        EXPECT_GT(CountOther(grab, IconSnimok::CaptionColor(), band, 8), 10) << "no number or date in the caption";
        const RECT thumb = {0, caption, IconSnimok::kThumbSide, caption + IconSnimok::kThumbSide};
        EXPECT_GT(CountOther(grab, IconSnimok::BackgroundColor(), thumb, 4), Area(thumb) / 2)
            << "the first cell is flat: no thumbnail";
        EXPECT_GT(DistinctColours(grab, thumb), 32) << "the first cell shows no picture";
    }

    // The status bar: text where the patient count and the picture count are.
    {
        harness::PixelGrab grab(statusWnd);
        ASSERT_TRUE(grab.Ok());
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        for (int part : {kPartPatientCount, kPartPictureCount}) {
            RECT r = {};
            ASSERT_TRUE(SendMessageW(statusWnd, SB_GETRECT, part, reinterpret_cast<LPARAM>(&r)));
            InflateRect(&r, -3, -3);
            ASSERT_GT(Area(r), 0);
            EXPECT_GT(CountNear(grab, GetSysColor(COLOR_BTNTEXT), r, 60), 5) << "no count in status part " << part;
            EXPECT_GT(CountNear(grab, face, r, 8), Area(r) / 2) << "status part " << part << " has no bar behind it";
        }
        EXPECT_FALSE(StatusText(kPartPatientCount).empty());
    }

    // The picture, taken after the painting.
    harness::PixelGrab whole(hwnd, true);
    ASSERT_TRUE(whole.Ok());
    EXPECT_TRUE(harness::SaveBmp(whole, harness::PictureFolder() + L"\\mainwnd_screenshot.bmp"));
}
