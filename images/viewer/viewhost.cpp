#include "images/viewer/viewhost.h"

namespace {

SnimokHost* gHost = nullptr;
int gPanelMode = kToolNone;

int SystemTracker(HMENU menu, UINT flags, int x, int y, HWND owner)
{
    return (int)TrackPopupMenu(menu, flags | TPM_RETURNCMD, x, y, 0, owner, nullptr);
}

PopupTracker gTracker = SystemTracker;

}  // namespace

SnimokHost* GetSnimokHost()
{
    return gHost;
}

void SetSnimokHost(SnimokHost* host)
{
    gHost = host;
}

int GetPanelMode()
{
    return gPanelMode;
}

void SetPanelMode(int mode)
{
    gPanelMode = mode;
}

int TrackViewerMenu(HMENU menu, UINT flags, int x, int y, HWND owner)
{
    return gTracker(menu, flags | TPM_RETURNCMD, x, y, owner);
}

PopupTracker SetPopupTracker(PopupTracker tracker)
{
    PopupTracker old = gTracker;
    gTracker = tracker ? tracker : SystemTracker;
    return old;
}
