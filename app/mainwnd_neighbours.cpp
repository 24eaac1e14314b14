#include "app/mainwnd_neighbours.h"

#include "app/exchangeservices.h"
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

const uint8_t* ActiveViewTable()
{
    MainViewWnd* panel = MainViewWnd::Instance();
    SnimokWnd* view = panel ? panel->GetActiveView() : nullptr;
    return view ? view->GetLut() : nullptr;
}

void RunScanDbWindow(HWND owner)
{
    if (const auto run = GetExchangeServices().runScanDbWindow)
        run(owner);
    else
        ShowNotAvailableYet(owner);
}
void OpenMergeWindow(HWND owner)
{
    if (const auto run = GetExchangeServices().runImportDbWnd)
        run(owner);
    else
        ShowNotAvailableYet(owner);
}
