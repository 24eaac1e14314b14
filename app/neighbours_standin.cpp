// STAND-INS: see neighbours_standin.h.
#include "app/neighbours_standin.h"

#include "app/mainmenus.h"
#include "database/dbbindparam.h"
#include "database/dbcommand.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dberrors.h"
#include "database/dbstart.h"
#include "foundation/globals.h"
#include "images/mainviewwnd.h"

#include <cwchar>

IconStrip& IconStrip::Instance()
{
    static IconStrip strip;
    return strip;
}

int IconStrip::Create(HWND parent, IconStripOwner* owner)
{
    if (parent_)
        return 0;
    parent_ = parent;
    owner_ = owner;
    return 1;
}

int IconStrip::Layout(int, int, int, int)
{
    return parent_ ? 1 : 0;
}

int IconStrip::Query()
{
    DODBPtr<DODBCommand> command;
    if (!g_DbSession.IsSet() || !g_DbSession->CreateCommand(command) ||
        FAILED(command->SetCmdText(L"SELECT [Snimok] FROM Snimok WHERE Patient=? ORDER BY [date file] DESC;")))
        throw DODBErrors(E_FAIL, TRUE);
    DODBPtr<DODBBindParam> params;
    if (!params.CreateNew() || !params->SetValI4(1, static_cast<LONG>(patient_)))
        throw DODBErrors(E_FAIL, TRUE);
    DODBPtr<DODBRowset> rowset;
    DODBPtr<DODBParams> row;
    if (!command->ExecuteBind(rowset, &row, params, nullptr))
        throw DODBErrors(E_FAIL, TRUE);
    int count = 0;
    while (rowset->GetNextData(row.Get()))
        ++count;
    if (!rowset->IsEndOfRowset())
        throw DODBErrors(E_FAIL, TRUE);
    if (owner_)
        owner_->ImagesCounted(count);
    return 1;
}

int IconStrip::LoadPatient(DWORD patientKey)
{
    loaded_ = true;
    patient_ = patientKey;
    return Query();
}

int IconStrip::Reload()
{
    return loaded_ ? Query() : 0;
}

int IconStrip::Clear()
{
    loaded_ = false;
    if (owner_)
        owner_->ImagesCounted(0);
    return 1;
}

void IconStrip::SetFocus()
{
}

void IconStrip::Destroy()
{
    parent_ = nullptr;
    owner_ = nullptr;
    loaded_ = false;
}

void ShowSnimokNote(DWORD, DWORD)
{
    ShowNotAvailableYet(nullptr);
}

void CloseSnimokNote()
{
}

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

void LoadPlugins()
{
}

void StartAutoPlugins()
{
}

int HasPluginMenuItems()
{
    wchar_t path[300];
    _snwprintf(path, 300, L"%ls\\Plugins", SettingsKeyPath);
    path[299] = 0;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
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
void RunImportDbWnd(HWND owner) { ShowNotAvailableYet(owner); }
void ChooseReportProfile(HWND owner) { ShowNotAvailableYet(owner); }
void PrintReportFromDesc(HWND owner, ReportDesc*) { ShowNotAvailableYet(owner); }
void ShowAboutBox(HWND owner) { ShowNotAvailableYet(owner); }
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
void RunModalityDlg(HWND owner) { ShowNotAvailableYet(owner); }
