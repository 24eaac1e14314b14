#include "app/mainwnd_neighbours.h"

#include "app/exchangeservices.h"
#include "app/mainmenus.h"
#include "foundation/globals.h"
#include "foundation/settingskey.h"
#include "images/viewer/mainviewwnd.h"

#include <cwchar>

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

void LoadPlugins()
{
}

void StartAutoPlugins()
{
}

int HasPluginMenuItems()
{
    HKEY key = nullptr;
    if (OpenSettingsKey(L"Plugins", KEY_READ, false, &key) != ERROR_SUCCESS)
        return 0;
    DWORD subKeys = 0;
    const LONG status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && subKeys > 0 ? 1 : 0;
}

void BuildPluginMenu(HWND owner, int, int)
{
    ShowNotAvailableYet(owner);
}

void RunScanDbWindow(HWND owner) { ShowNotAvailableYet(owner); }
void OpenMergeWindow(HWND owner)
{
    if (const auto run = GetExchangeServices().runImportDbWnd)
        run(owner);
    else
        ShowNotAvailableYet(owner);
}
void ShowAboutBox(HWND owner) { ShowNotAvailableYet(owner); }
void RunModalityDlg(HWND owner) { ShowNotAvailableYet(owner); }
