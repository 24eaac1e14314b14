#include <wchar.h>
#include "images/shellstubs.h"

#include "foundation/globals.h"
#include "images/mainviewwnd.h"
#include "images/picture.h"
#include "images/viewhost.h"

namespace {

void Note(const char* name, uint32_t a = 0, uint32_t b = 0, int x = 0, int y = 0, int flag = 0)
{
    StandInCalls().push_back(StandInCall{name, a, b, x, y, flag});
}

}  // namespace

std::vector<StandInCall>& StandInCalls()
{
    static std::vector<StandInCall> calls;
    return calls;
}

int OpenPatientCard(HWND owner, const uint32_t* patientId, int flag)
{
    Note("OpenPatientCard", patientId ? *patientId : 0, 0, 0, 0, flag);
    return -1;
}

void ShowServiceMenu(HWND owner, int x, int y, int flag)
{
    Note("ShowServiceMenu", 0, 0, x, y, flag);
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
    Note("OnServiceCommand", 0, 0, 0, 0, command);
    if (command == kServicePrepareSnimok)
        RunPrepareSnimokDlg(MainViewWnd::Instance() ? MainViewWnd::Instance()->GetHwnd() : nullptr);
}

void ShowMainPatientWindow()
{
    Note("ShowMainPatientWindow");
}

void PrintSnimokWithCfg(HWND owner, const PrintSnimokRequest* request)
{
    if (!request)
        return;
    Note("PrintSnimokWithCfg", request->picture ? request->picture->imageId : 0, 0, request->width, request->height,
         request->ask);
}

void ChooseSnimokProfile(HWND owner)
{
    Note("ChooseSnimokProfile");
}
