// The exit, report and service menus of the main patient window and the
// service commands.
#include "app/mainmenus.h"

#include "app/inputtext.h"
#include "app/mainpatientwnd.h"
#include "app/mainwnd_neighbours.h"
#include "app/exchangeservices.h"
#include "app/printservices.h"
#include "app/settingsdlg.h"
#include "app/startup.h"
#include "forms/kartwnd.h"
#include "forms/patientlookup.h"
#include "forms/reportdesc.h"
#include "foundation/applocale.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/settingskey.h"
#include "images/viewer/mainviewwnd.h"
#include "resources/strings.h"
#include "ui/button.h"
#include "ui/journalview.h"
#include "ui/popupmenu.h"

#include <cwchar>

namespace {

// The right edge of a button, vertically at its middle, on the screen.
POINT ButtonMenuPoint(DButton* button)
{
    RECT r = {};
    if (button && button->GetHwnd())
        GetWindowRect(button->GetHwnd(), &r);
    return POINT{r.right, (r.top + r.bottom) / 2};
}

void AddMenuString(HMENU menu, UINT position, UINT id, UINT stringId)
{
    wchar_t text[256];
    if (LoadStringW(hInstance, stringId, text, 256) <= 0)
        text[0] = 0;
    InsertMenuW(menu, position, MF_BYPOSITION | MF_STRING, id, text);
}

// SeSystemtimePrivilege for this process; FALSE with the last error set.
BOOL EnableSystemTimePrivilege()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return FALSE;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    BOOL ok = LookupPrivilegeValueW(nullptr, SE_SYSTEMTIME_NAME, &privileges.Privileges[0].Luid) &&
              AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    // AdjustTokenPrivileges succeeds even when it assigned nothing.
    if (ok && GetLastError() == ERROR_NOT_ALL_ASSIGNED)
        ok = FALSE;
    const DWORD error = GetLastError();
    CloseHandle(token);
    SetLastError(error);
    return ok;
}

void SetNewTime(HWND owner)
{
    wchar_t text[64];
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (FormatSystemTime(text, 64, DateTimePicture, &now) < 0)
        text[0] = 0;
    if (InputText(owner, text, 64, IDS_ENTER_NEW_TIME, TRUE) <= 0)
        return;
    SYSTEMTIME wanted;
    if (!ParseDateToSystemTime(text, &wanted, 7))
        return;   // a wrong text sets nothing
    if ((IsWindowsNT && !EnableSystemTimePrivilege()) || !SetLocalTime(&wanted))
        ShowLastErrorBox();
}

void ShowForm(HWND owner)
{
    wchar_t name[128 + 4];
    name[0] = 0;
    const int length = InputText(owner, name, 128, IDS_ENTER_FORM_NAME, FALSE);
    if (length <= 0)
        return;
    wcscat(name, L".cfg");
    RunKartForm(name, owner, 0, 0);
}

void StartExplorer()
{
    wchar_t program[MAX_PATH + 16];
    const UINT length = GetWindowsDirectoryW(program, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        ShowLastErrorBox();
        return;
    }
    wcscat(program, L"\\Explorer.exe");
    wchar_t folder[MAX_PATH];
    const DWORD folderLength = GetCurrentDirectoryW(MAX_PATH, folder);
    if (folderLength == 0 || folderLength >= MAX_PATH) {
        ShowLastErrorBox();
        return;
    }
    wchar_t commandLine[MAX_PATH + 8];
    ExplorerCommandLine(commandLine, MAX_PATH + 8, folder);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &process)) {
        ShowLastErrorBox();
        return;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

}  // namespace

void ImportPictureForPatient(HWND owner)
{
    DWORD key = 0;
    if (!gPatientLookup.GetIds(&key))
        return;
    const DPicturePtr picture = ImportPicture(owner, key, 1);
    if (picture.Get())
        ShowMainView(picture);
}

void ExplorerCommandLine(wchar_t* buffer, int capacity, const wchar_t* folder)
{
    if (!buffer || capacity <= 0)
        return;
    // Quoted: a folder with blanks is one argument.
    _snwprintf(buffer, capacity, L" \"%ls\"", folder ? folder : L"");
    buffer[capacity - 1] = 0;
}

// ---- exit menu -------------------------------------------------------------------------

int BuildExitMenu(HMENU menu)
{
    UINT position = 0;
    if (IsAdministrator) {
        AddMenuString(menu, position++, kExitProgram, IDS_EXIT_PROGRAM);
        AddMenuString(menu, position++, kRestartProgram, IDS_RESTART_PROGRAM);
    }
    AddMenuString(menu, position++, kSwitchOff, IDS_SWITCH_OFF_COMPUTER);
    AddMenuString(menu, position++, kExitAndLogoff, IDS_EXIT_AND_LOGOFF);
    if (MobilMode)
        AddMenuString(menu, position++, kEjectDatabaseDisk, IDS_EJECT_DATABASE_DISK);
    return static_cast<int>(position);
}

void RunExitCommand(int command)
{
    switch (command) {
    case kExitProgram:
        CurrentExitAction = kExitNone;
        RequestQuit();
        break;
    case kRestartProgram:
        RequestRestart();
        break;
    case kSwitchOff:
        CurrentExitAction = ConfiguredExitAction;
        RequestQuit();
        break;
    case kExitAndLogoff:
        CurrentExitAction = kExitLogoff;
        RequestQuit();
        break;
    case kEjectDatabaseDisk:
        EjectRequested = TRUE;
        RequestRestart();
        break;
    default:
        break;
    }
}

int MainPatientWindow::ExitMenu(DButton* button)
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return 0;
    BuildExitMenu(menu);
    const POINT at = ButtonMenuPoint(button);
    const int chosen = TrackPopup(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_VERTICAL | TPM_VCENTERALIGN, at.x, at.y,
                                  GetHwnd());
    DestroyMenu(menu);
    return chosen;
}

// ---- report menu -----------------------------------------------------------------------

BOOL ReportMenu(HWND owner, int x, int y, wchar_t* name, wchar_t* data)
{
    HKEY key = nullptr;
    LONG status = OpenSettingsKey(L"PrintReport", KEY_READ, false, &key);
    if (status != ERROR_SUCCESS)
        throw static_cast<DWORD>(status);
    HMENU menu = CreatePopupMenu();
    if (!menu) {
        const DWORD error = GetLastError();
        RegCloseKey(key);
        throw error;
    }
    BOOL chosenReport = FALSE;
    DWORD failure = 0;
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[261];
        DWORD nameChars = 261;
        status = RegEnumValueW(key, index, valueName, &nameChars, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS) {
            failure = static_cast<DWORD>(status);
            break;
        }
        InsertMenuW(menu, index, MF_BYPOSITION | MF_STRING, index + 1, valueName);
    }
    const int chosen = failure ? 0 : TrackPopup(menu, TPM_RETURNCMD | TPM_VERTICAL | TPM_VCENTERALIGN, x, y, owner);
    if (chosen > 0) {
        DWORD nameChars = 261;
        DWORD type = 0;
        DWORD bytes = 261 * sizeof(wchar_t);
        status = RegEnumValueW(key, static_cast<DWORD>(chosen - 1), name, &nameChars, nullptr, &type,
                               reinterpret_cast<BYTE*>(data), &bytes);
        if (status != ERROR_SUCCESS)
            failure = static_cast<DWORD>(status);
        else if (type != REG_SZ)
            failure = ERROR_INVALID_DATA;
        else {
            // A value stored without its terminator is still a whole text.
            const DWORD chars = bytes / sizeof(wchar_t);
            data[chars < 261 ? chars : 260] = 0;
            chosenReport = TRUE;
        }
    }
    DestroyMenu(menu);
    RegCloseKey(key);
    if (failure)
        throw failure;
    return chosenReport;
}

void MainPatientWindow::OnPrintButton(DButton* button)
{
    const POINT at = ButtonMenuPoint(button);
    wchar_t name[261] = {};
    wchar_t data[261] = {};
    try {
        if (!ReportMenu(button ? button->GetHwnd() : GetHwnd(), at.x, at.y, name, data))
            return;
    } catch (DWORD) {
        return;   // no key, or a value that is not text: no menu, no message
    }
    if (!data[0])
        return;
    ReportDesc report;
    if (report.Parse(data))
        PrintReportFromDesc(GetHwnd(), &report, name);
}

// ---- service menu ------------------------------------------------------------------------

ServiceMenu::ServiceMenu(int flag) : menu_(CreatePopupMenu()), position_(0), item_(), text_(), flag_(flag)
{
    item_.cbSize = sizeof item_;
    item_.fMask = MIIM_STATE | MIIM_ID | MIIM_TYPE;
}

ServiceMenu::~ServiceMenu()
{
    if (menu_)
        DestroyMenu(menu_);
}

HMENU ServiceMenu::Detach()
{
    HMENU menu = menu_;
    menu_ = nullptr;
    return menu;
}

BOOL ServiceMenu::Insert()
{
    if (!menu_ || !InsertMenuItemW(menu_, position_, TRUE, &item_))
        return FALSE;
    ++position_;
    return TRUE;
}

BOOL ServiceMenu::AddItem(UINT id, UINT stringId)
{
    if (LoadStringW(hInstance, stringId, text_, 256) <= 0)
        text_[0] = 0;
    item_.fType = MFT_STRING;
    item_.fState = MFS_ENABLED;
    item_.wID = id;
    item_.dwTypeData = text_;
    return Insert();
}

BOOL ServiceMenu::AddTextItem(UINT id, const wchar_t* text)
{
    wcsncpy(text_, text ? text : L"", 255);
    text_[255] = 0;
    item_.fType = MFT_STRING;
    item_.fState = MFS_ENABLED;
    item_.wID = id;
    item_.dwTypeData = text_;
    return Insert();
}

BOOL ServiceMenu::AddSeparator()
{
    item_.fType = MFT_SEPARATOR;
    item_.fState = 0;
    item_.wID = 0;
    item_.dwTypeData = nullptr;
    return Insert();
}

HMENU BuildServiceMenu()
{
    ServiceMenu builder(0);
    BOOL ok = builder.AddItem(kServicePrinterStatus, IDS_SHOW_PRINTER_STATUS) &&
              builder.AddItem(kServicePrintHeader, IDS_SETUP_PRINT_HEADER) &&
              builder.AddItem(kServiceSetTime, IDS_SET_NEW_TIME);
    // The rest changes the machine or the program: administrators only.
    if (ok && IsAdministrator)
        ok = builder.AddItem(kServiceShowForm, IDS_SHOW_FORM) && builder.AddItem(kServiceExplorer, IDS_SERVICE_EXPLORER) &&
             builder.AddItem(kServiceImportPicture, IDS_IMPORT_PICTURE) &&
             builder.AddItem(kServiceExportPicture, IDS_EXPORT_PICTURE) &&
             builder.AddItem(kServiceDicomStatus, IDS_SERVICE_DICOM_STATUS) &&
             builder.AddItem(kServiceReports, IDS_REPORTS_CONFIGURATOR) &&
             builder.AddItem(kServiceShowJournal, IDS_SHOW_JOURNAL) && builder.AddSeparator() &&
             builder.AddItem(kServiceFonts, IDS_FONTS) && builder.AddItem(kServiceSettings, IDS_SET_PROGRAM_SETTINGS) &&
             builder.AddItem(kServicePrepareSettings, IDS_PICTURE_PREPARATION_SETTINGS);
    return ok ? builder.Detach() : nullptr;
}

void ShowServiceMenu(HWND owner, int x, int y, int flag)
{
    HMENU menu = BuildServiceMenu();
    if (!menu)
        return;
    POINT at = {x, y};
    if (owner)
        ClientToScreen(owner, &at);
    const int command = TrackPopup(menu, TPM_RETURNCMD, at.x, at.y, owner);
    DestroyMenu(menu);
    if (command)
        OnServiceCommand(owner, command, flag);
}

void OpenServiceMenuAtCursor(HWND owner)
{
    const DWORD position = GetMessagePos();
    POINT at = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    if (owner)
        ScreenToClient(owner, &at);
    ShowServiceMenu(owner, at.x, at.y, 0);
}

void OnServiceCommand(HWND owner, int command, int flag)
{
    switch (command) {
    case kServicePrinterStatus:
        OpenPrinterStatus(owner);
        break;
    case kServicePrintHeader:
        OpenPrintHeaderDialog(owner);
        break;
    case kServiceSetTime:
        SetNewTime(owner);
        break;
    case kServiceShowForm:
        ShowForm(owner);
        break;
    case kServiceExplorer:
        StartExplorer();
        break;
    case kServiceImportPicture: {
        const DPicturePtr picture = ImportPicture(owner, 0, flag);
        if (picture.Get())
            ShowMainView(picture);
        break;
    }
    case kServiceExportPicture: {
        const DPicturePtr picture = ActiveViewPicture();
        if (picture.Get())
            ExportPicture(MainViewHandle(), picture, ActiveViewTable());
        break;
    }
    case kServiceDicomStatus:
        ShowDicomStatus(owner);
        break;
    case kServiceReports:
        OpenReportsDialog(owner);
        break;
    case kServiceShowJournal:
        JournalView::Show();
        break;
    case kServiceFonts:
        OpenFontsDialog(owner);
        break;
    case kServiceSettings:
        ShowSettingsDialog(owner);
        break;
    case kServicePrepareSettings:
        RunPrepareSnimokDlg(MainViewHandle());
        break;
    case kServiceModality:
        RunModalityDlg(MainViewHandle());
        break;
    default:
        break;
    }
}
