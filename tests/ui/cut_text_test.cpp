// A text wider than its place, in a column header or a list cell, is cut at
// its end whatever its alignment: its first letter is where a left-aligned
// text starts, and it runs to the end of its place. A text that fits keeps
// its alignment.
#include "listview_fixture.h"

#include <algorithm>
#include <vector>

namespace {

struct CutCase {
    const char* name;
    const wchar_t* text;
    int width;     // of the column
    DWORD align;   // of the caption and the cells
    bool fits;
};

const CutCase kCases[] = {
    {"fits, left", L"Birthday", 150, DListColumnFlags::kAlignLeft, true},
    {"fits, centred", L"Birthday", 150, DListColumnFlags::kAlignCenter, true},
    {"fits, right", L"Birthday", 150, DListColumnFlags::kAlignRight, true},
    {"too wide, left", L"Дата рождения", 60, DListColumnFlags::kAlignLeft, false},
    {"too wide, centred", L"Дата рождения", 60, DListColumnFlags::kAlignCenter, false},
    {"too wide, right", L"Дата рождения", 60, DListColumnFlags::kAlignRight, false},
};

class CutTextTest : public ListTest {
protected:
    struct Place {
        HWND control;
        RECT room;   // of the text, in the row band it is drawn in
        COLORREF background;
        std::unique_ptr<MemoryCanvas> painted;
    };

    // The header and the first row of a one-column list painted off screen.
    std::vector<Place> Paint(const CutCase& c, DWORD align)
    {
        EXPECT_TRUE(Make(DListViewStyle::kStandard, 300, 120));
        DListColumn column = {DListColumnFlags::kCaption | align, DListColumnFlags::kTextCells | align, -1, c.width,
                              32, c.text, 0};
        EXPECT_TRUE(list->InsertColumn(&column));
        EXPECT_TRUE(AddRow(c.text, 1));
        HWND header = list->Header().GetHwnd();
        const int top = list->GetRowsTop(), bottom = top + list->GetRowHeight();   // the header ends at top
        std::vector<Place> places;
        places.push_back({header, {2, 1, c.width - 2, top - 1}, GetSysColor(COLOR_BTNFACE)});
        places.push_back({list->GetHwnd(), {3, top, c.width - 3, bottom}, GetSysColor(COLOR_WINDOW)});
        for (Place& p : places)
            p.painted.reset(new MemoryCanvas(300, bottom));
        list->Header().Paint(places[0].painted->Dc());
        list->Paint(places[1].painted->Dc(), RECT{0, 0, 300, 120});
        return places;
    }

    // For each x from `left` to `right`, whether the band holds ink there.
    static std::vector<bool> Ink(const Place& p, int left, int right)
    {
        std::vector<bool> ink;
        for (int x = left; x < right; ++x) {
            bool any = false;
            for (int y = p.room.top; y < p.room.bottom; ++y)
                any = any || p.painted->At(x, y) != p.background;
            ink.push_back(any);
        }
        return ink;
    }
};

TEST_F(CutTextTest, ATextWiderThanItsPlaceIsCutAtItsEndInHeadersAndCells)
{
    for (const CutCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::vector<Place> left = Paint(c, DListColumnFlags::kAlignLeft);
        const std::vector<Place> shown = Paint(c, c.align);
        for (size_t i = 0; i < shown.size(); ++i) {
            const Place& p = shown[i];
            HDC dc = GetDC(p.control);   // the control's own DC, its font selected
            SIZE text = {}, first = {};
            GetTextExtentPoint32W(dc, c.text, static_cast<int>(wcslen(c.text)), &text);
            GetTextExtentPoint32W(dc, c.text, 1, &first);
            ReleaseDC(p.control, dc);
            const int room = p.room.right - p.room.left;
            ASSERT_EQ(c.fits, text.cx <= room) << "the case's width";
            const int start = !c.fits || c.align == DListColumnFlags::kAlignLeft ? p.room.left
                              : c.align == DListColumnFlags::kAlignRight         ? p.room.right - text.cx
                                                                                  : p.room.left + (room - text.cx) / 2;
            const char* where = i == 0 ? "header" : "cell";
            const std::vector<bool> letter = Ink(p, start, start + first.cx);
            EXPECT_EQ(Ink(left[i], p.room.left, p.room.left + first.cx), letter) << where << ": no first letter at "
                                                                                   << start;
            EXPECT_NE(std::count(letter.begin(), letter.end(), true), 0) << where;
            EXPECT_EQ(Ink(p, p.room.right, p.room.right + 1)[0], false) << where << ": ink past the text's place";
            if (!c.fits) {
                EXPECT_NE(std::vector<bool>(room / 4), Ink(p, p.room.right - room / 4, p.room.right))
                    << where << ": not drawn to its end";
            }
        }
    }
}

}  // namespace
