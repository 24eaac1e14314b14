#include "ui/popupmenu.h"

namespace {

int RealTracker(HMENU menu, UINT flags, int x, int y, HWND owner)
{
    return static_cast<int>(TrackPopupMenuEx(menu, flags | TPM_RETURNCMD, x, y, owner, nullptr));
}

PopupTracker gTracker = RealTracker;

}  // namespace

int TrackPopup(HMENU menu, UINT flags, int x, int y, HWND owner)
{
    return gTracker(menu, flags | TPM_RETURNCMD, x, y, owner);
}

PopupTracker SetPopupTracker(PopupTracker tracker)
{
    const PopupTracker previous = gTracker;
    gTracker = tracker ? tracker : RealTracker;
    return previous == RealTracker ? nullptr : previous;
}
