#include "app/inittable.h"

#include "app/archiveservices.h"
#include "app/connectwnd.h"
#include "app/iconsbar.h"
#include "app/iconsnimok.h"
#include "app/inputtext.h"
#include "app/mainpatientwnd.h"
#include "app/printservices.h"
#include "app/stopwnd.h"
#include "app/viewerservices.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/prompt.h"
#include "forms/kartwnd.h"
#include "images/files/iconrecord.h"
#include "images/viewer/mainviewwnd.h"
#include "images/viewer/profilewnd.h"
#include "images/viewer/snimokwnd.h"
#include "ui/button.h"
#include "ui/control_font.h"
#include "ui/header.h"
#include "ui/journalview.h"
#include "ui/listview.h"
#include "ui/scroll.h"
#include "ui/tooltip.h"
#include "ui/updown.h"

#include <cstdio>
#include <cwchar>

namespace {

// The archive side's windows, through its service table.
bool RegisterArjWindow()
{
    const ArchiveServices& services = GetArchiveServices();
    return services.registerArjWindow ? services.registerArjWindow() : true;
}
void UnregisterArjWindow()
{
    const ArchiveServices& services = GetArchiveServices();
    if (services.unregisterArjWindow)
        services.unregisterArjWindow();
}
bool RegisterPrepDiskWnd()
{
    const ArchiveServices& services = GetArchiveServices();
    return services.registerPrepDiskWnd ? services.registerPrepDiskWnd() : true;
}
void UnregisterPrepDiskWnd()
{
    const ArchiveServices& services = GetArchiveServices();
    if (services.unregisterPrepDiskWnd)
        services.unregisterPrepDiskWnd();
}

// The connect window's class is registered in the program's module.
bool RegisterConnectWnd()
{
    return ConnectWindow::RegisterClass(hInstance);
}
void UnregisterConnectWnd()
{
    ConnectWindow::UnregisterClass(hInstance);
}

// The panel reaches the shell through the viewer's service table, filled
// here before the panel can exist.
bool RegisterMainView()
{
    InstallViewerServices();
    if (RegisterMainViewSnimokWnd())
        return true;
    RemoveViewerServices();
    return false;
}
void UnregisterMainView()
{
    DestroyMainView();   // the panel lives until its class goes
    UnregisterMainViewSnimokWnd();
    RemoveViewerServices();
}

}  // namespace

const InitRow InitTable[] = {
    {DControl::InitFont, DControl::FreeFont, L"Initialization DControl"},
    {DToolTip::RegisterClass, DToolTip::UnregisterClass, L"Register DToolTip"},
    {DButton::RegisterClass, DButton::UnregisterClass, L"Register DButton"},
    {DHeader::RegisterClass, DHeader::UnregisterClass, L"Register DHeader"},
    {DScroll::RegisterClass, DScroll::UnregisterClass, L"Register DScroll"},
    {DListView::RegisterClass, DListView::UnregisterClass, L"Register DListView"},
    {DUpDown::RegisterClass, DUpDown::UnregisterClass, L"Register DUpDown"},
    {JournalView::RegisterClass, JournalView::UnregisterClass, L"Register JWindow"},
    {StopProcessWnd::RegisterClass, StopProcessWnd::UnregisterClass, L"Register WinStop"},
    {IconSnimok::RegisterClass, IconSnimok::UnregisterClass, L"Register IconWnd"},
    {MainPatientWindow::RegisterClass, MainPatientWindow::UnregisterClass, L"Register MainWnd"},
    {InpTextWnd::RegisterClass, InpTextWnd::UnregisterClass, L"Register InpTextWnd"},
    {NoteSnimokWnd::RegisterClass, NoteSnimokWnd::UnregisterClass, L"Register NoteSnimok Window"},
    {TNoteSnimokWnd::RegisterClass, TNoteSnimokWnd::UnregisterClass, L"Register TNoteSnimok Window"},
    {ProfileWnd::RegisterClass, ProfileWnd::UnregisterClass, L"Register Profile"},
    {SnimokWnd::RegisterClass, SnimokWnd::UnregisterClass, L"Register SnimokWnd"},
    {RegisterMainView, UnregisterMainView, L"Register MainViewWnd"},
    {DbKartWindow::RegisterClasses, DbKartWindow::UnregisterClasses, L"Register KartWnd"},
    {RegisterPrinterStatusClass, UnregisterPrinterStatusClass, L"Register PrnStatusWnd"},
    {RegisterPrintStateClass, UnregisterPrintStateClass, L"Register RegisterPrnJobWnd"},
    {RegisterConnectWnd, UnregisterConnectWnd, L"Register RegisterDConnectWnd"},
    {InitIconBitmapInfo, FreeIconBitmapInfo, L"InitIcons"},
    {IconsBar::RegisterClass, IconsBar::UnregisterClass, L"Register RegisterIconsBar"},
    {RegisterArjWindow, UnregisterArjWindow, L"Register ArjWindow"},
    {RegisterPrepDiskWnd, UnregisterPrepDiskWnd, L"Register PrepDiskWnd"},
    {nullptr, nullptr, nullptr},
};
static_assert(sizeof(InitTable) / sizeof(InitTable[0]) == kInitTableRows + 1, "25 rows and the end row");

BOOL RunInitTable(const InitRow* table)
{
    for (int row = 0; table[row].init; ++row) {
        if (table[row].init())
            continue;
        const DWORD error = GetLastError();
        wchar_t text[160];
        _snwprintf(text, 160, L"Initialize error \"%ls\"", table[row].name ? table[row].name : L"");
        text[159] = 0;
        LogError(error, text);
        ShowPrompt(nullptr, text, nullptr, MB_SYSTEMMODAL);
        for (int done = row - 1; done >= 0; --done) {
            if (table[done].uninit)
                table[done].uninit();
        }
        return FALSE;
    }
    return TRUE;
}

void RunDeinitTable(const InitRow* table)
{
    int count = 0;
    while (table[count].uninit)
        ++count;
    while (count > 0)
        table[--count].uninit();
}

void DestroyJournalViewer()
{
    JournalView::Destroy();
}
