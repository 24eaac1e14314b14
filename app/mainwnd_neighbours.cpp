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
void ChooseReportProfile(HWND owner) { ShowNotAvailableYet(owner); }
void PrintReportFromDesc(HWND owner, ReportDesc*) { ShowNotAvailableYet(owner); }
void ShowStatusPrinterWnd(HWND owner) { ShowNotAvailableYet(owner); }
void RunPrintHeaderDlg(HWND owner) { ShowNotAvailableYet(owner); }
DPicturePtr ImportImageFile(HWND owner, DWORD, int)
{
    ShowNotAvailableYet(owner);
    return DPicturePtr();
}
void ExportImage(HWND owner, const DPicturePtr&) { ShowNotAvailableYet(owner); }
void ShowDicomQueueWindow(HWND owner) { ShowNotAvailableYet(owner); }
void RunReportsDlg(HWND owner) { ShowNotAvailableYet(owner); }
void RunFontsDlg(HWND owner) { ShowNotAvailableYet(owner); }
void OpenPrinterProfiles(HWND owner) { ShowNotAvailableYet(owner); }
