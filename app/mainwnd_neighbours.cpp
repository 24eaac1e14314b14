#include "app/mainwnd_neighbours.h"

#include "app/mainmenus.h"
#include "images/viewer/mainviewwnd.h"

HWND MainViewHandle()
{
    MainViewWnd* panel = MainViewWnd::Instance();
    return panel ? panel->GetHandle() : nullptr;
}

DPicturePtr ActiveViewPicture()
{
    MainViewWnd* panel = MainViewWnd::Instance();
    SnimokWnd* view = panel ? panel->GetActiveView() : nullptr;
    return view ? view->GetPicture() : DPicturePtr();
}

void RunScanDbWindow(HWND owner) { ShowNotAvailableYet(owner); }
void RunImportDbWnd(HWND owner) { ShowNotAvailableYet(owner); }
DPicturePtr ImportImageFile(HWND owner, DWORD, int)
{
    ShowNotAvailableYet(owner);
    return DPicturePtr();
}
void ExportImage(HWND owner, const DPicturePtr&) { ShowNotAvailableYet(owner); }
void ShowDicomQueueWindow(HWND owner) { ShowNotAvailableYet(owner); }
