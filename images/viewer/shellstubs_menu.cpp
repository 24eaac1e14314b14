// The viewer's stand-ins for the service menu and the main patient window, in
// an object of their own: a program that links the application shell takes
// the shell's definitions and never pulls this object in; the viewer's own
// tests, which link no shell, get these.
#include "images/viewer/shellstubs.h"

#include "images/viewer/mainviewwnd.h"
#include "images/viewer/viewhost.h"

void ShowServiceMenu(HWND owner, int x, int y, int flag)
{
    StandInCalls().push_back(StandInCall{"ShowServiceMenu", 0, 0, x, y, flag});
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    AppendMenuW(menu, MF_STRING, kServicePrepareSnimok, L"Processing Image Properties");
    POINT p = {x, y};
    ClientToScreen(owner, &p);
    const int command = TrackViewerMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN, p.x, p.y, owner);
    DestroyMenu(menu);
    if (command)
        OnServiceCommand(command);
}

void OnServiceCommand(int command)
{
    StandInCalls().push_back(StandInCall{"OnServiceCommand", 0, 0, 0, 0, command});
    if (command == kServicePrepareSnimok)
        RunPrepareSnimokDlg(MainViewWnd::Instance() ? MainViewWnd::Instance()->GetHwnd() : nullptr);
}

void ShowMainPatientWindow()
{
    StandInCalls().push_back(StandInCall{"ShowMainPatientWindow", 0, 0, 0, 0, 0});
}

