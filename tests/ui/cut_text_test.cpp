// A text wider than its place, in a column header or a list cell, shows just
// what it shows left-aligned, whatever its alignment (centred or right-aligned
// it lost its first letters); a text that fits keeps its alignment.
#include "listview_fixture.h"

#include <vector>

namespace {

namespace F = DListColumnFlags;

class CutTextTest : public ListTest {
protected:
    // A one-column list made anew and painted off screen: its header, then its rows.
    std::vector<std::unique_ptr<MemoryCanvas>> Paint(const wchar_t* text, int width, DWORD align)
    {
        EXPECT_TRUE(Make(DListViewStyle::kStandard, 300, 120));
        DListColumn column = {F::kCaption | align, F::kTextCells | align, -1, width, 32, text, 0};
        EXPECT_TRUE(list->InsertColumn(&column));
        EXPECT_TRUE(AddRow(text, 1));
        std::vector<std::unique_ptr<MemoryCanvas>> painted;
        for (int i = 0; i < 2; ++i)
            painted.push_back(std::make_unique<MemoryCanvas>(300, 120));
        list->Header().Paint(painted[0]->Dc());
        list->Paint(painted[1]->Dc(), RECT{0, 0, 300, 120});
        return painted;
    }
};

TEST_F(CutTextTest, ATextWiderThanItsPlaceIsCutAtItsEndInHeadersAndCells)
{
    const std::pair<const wchar_t*, int> texts[] = {{L"Birthday", 150}, {L"Дата рождения", 60}};   // the column's width
    for (const bool cut : {false, true})
        for (const DWORD align : {F::kAlignCenter, F::kAlignRight}) {
            const auto& t = texts[cut];
            const auto left = Paint(t.first, t.second, F::kAlignLeft), shown = Paint(t.first, t.second, align);
            for (int i = 0; i < 2; ++i)
                EXPECT_EQ(cut, left[i]->SameAs(*shown[i]))
                    << (i ? "cell" : "header") << (cut ? " cut" : " that fits") << ", alignment " << align;
        }
}

}  // namespace
