#include "ui/init_rows.h"

#include "ui/button.h"
#include "ui/control_font.h"
#include "ui/header.h"
#include "ui/listview.h"
#include "ui/scroll.h"
#include "ui/tooltip.h"
#include "ui/updown.h"

bool RunInitRows(const InitRow* rows, size_t count, size_t* failed)
{
    for (size_t i = 0; i < count; ++i) {
        if (!rows[i].init()) {
            UndoInitRows(rows, i);
            if (failed)
                *failed = i;
            return false;
        }
    }
    return true;
}

void UndoInitRows(const InitRow* rows, size_t count)
{
    while (count > 0) {
        --count;
        if (rows[count].uninit)
            rows[count].uninit();
    }
}

const InitRow ControlLibraryRows[] = {
    {DControl::InitFont, DControl::FreeFont, L"Initialization DControl"},
    {DToolTip::RegisterClass, DToolTip::UnregisterClass, L"Register DToolTip"},
    {DButton::RegisterClass, DButton::UnregisterClass, L"Register DButton"},
    {DHeader::RegisterClass, DHeader::UnregisterClass, L"Register DHeader"},
    {DScroll::RegisterClass, DScroll::UnregisterClass, L"Register DScroll"},
    {DListView::RegisterClass, DListView::UnregisterClass, L"Register DListView"},
    {DUpDown::RegisterClass, DUpDown::UnregisterClass, L"Register DUpDown"},
};
const size_t ControlLibraryRowCount = sizeof(ControlLibraryRows) / sizeof(ControlLibraryRows[0]);
