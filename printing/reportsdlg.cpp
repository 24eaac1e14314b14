// The dialog "Reports": report names and their description files.
#include "printing/configdialogs.h"

#include "app/inputtext.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "printing/printsettings.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"
#include "ui/std_controls.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kReportsKey[] = L"PrintReport";
const int kNameChars = 512;
const int kValueNameChars = 16383;

bool ChooseCfgFile(HWND owner, const wchar_t* folder, wchar_t* path)
{
    wchar_t filter[160];
    int n = LoadStringW(hInstance, IDS_REPORT_FILES_FILTER, filter, 120);
    // "<description>\0*.cfg\0\0"
    wcscpy(filter + n + 1, L"*.cfg");
    filter[n + 1 + 5 + 1] = 0;
    path[0] = 0;
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = folder;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    return GetOpenFileNameW(&ofn) != FALSE;
}

ReportFileChooser gChooser = ChooseCfgFile;
FileEditor gEditor = EditReportFile;

const DialogText kTexts[] = {
    {0, IDS_REPORTS_TITLE},
    {IDOK, IDS_PROFILE_ADD},
    {IDC_REPORT_DELETE, IDS_DELETE},
    {IDC_REPORT_EDIT_FILE_NAME, IDS_REPORT_EDIT_FILE_NAME},
    {IDC_REPORT_EDIT_NAME, IDS_REPORT_EDIT_NAME},
    {IDC_REPORT_EDIT, IDS_REPORT_EDIT},
    {IDC_REPORT_EDIT_ANY_FILE, IDS_REPORT_EDIT_ANY_FILE},
    {IDCANCEL, IDS_CLOSE},
    {0, 0}};

// A failure of a command: its message is shown, then the dialog ends with -1.
struct ReportFailure {
    unsigned text;
};

HWND List(HWND dialog)
{
    return GetDlgItem(dialog, IDC_REPORT_LIST);
}

std::wstring Cell(HWND dialog, int row, int column)
{
    return ListViewText(List(dialog), row, column, kValueNameChars + 1);   // a registry value's name at its longest
}

void SetCell(HWND dialog, int row, int column, const wchar_t* text)
{
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text);
    SendMessageW(List(dialog), LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

int AddRow(HWND dialog, const wchar_t* name, const wchar_t* file)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(List(dialog), LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(name);
    const int row = static_cast<int>(SendMessageW(List(dialog), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row >= 0)
        SetCell(dialog, row, 1, file);
    return row;
}

int SelectedRow(HWND dialog)
{
    return static_cast<int>(SendMessageW(List(dialog), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// Each column as wide as its widest text (its header's or a row's), the room
// left to the last one: names are never cut while the list has room, and a
// list too narrow for them scrolls across rather than cut them.
void FitColumns(HWND dialog)
{
    const int kPadding = 16;   // the list view's margins around a cell's text
    HWND list = List(dialog);
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    int widths[2] = {0, 0};
    for (int column = 0; column < 2; ++column) {
        wchar_t header[64] = L"";
        LVCOLUMNW info = {};
        info.mask = LVCF_TEXT;
        info.pszText = header;
        info.cchTextMax = 64;
        SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
        int widest = static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(header)));
        for (int row = 0; row < rows; ++row) {
            const std::wstring text = Cell(dialog, row, column);
            const int width =
                static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str())));
            widest = std::max(widest, width);
        }
        widths[column] = widest + kPadding;
    }
    RECT client = {};
    GetClientRect(list, &client);
    if (widths[0] + widths[1] < client.right)
        widths[1] = client.right - widths[0];
    for (int column = 0; column < 2; ++column)
        SendMessageW(list, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(widths[column], 0));
}

// The row of the report name (names compare as the registry does, ignoring
// case), or -1.
int FindRow(HWND dialog, const wchar_t* name)
{
    const int rows = static_cast<int>(SendMessageW(List(dialog), LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row)
        if (_wcsicmp(Cell(dialog, row, 0).c_str(), name) == 0)
            return row;
    return -1;
}

const wchar_t* FileNameOf(const wchar_t* path)
{
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/' || *p == L':')
            name = p + 1;
    return name;
}

void WriteReport(const wchar_t* name, const wchar_t* file, unsigned failure)
{
    PrintKey key;
    if (key.Open(kReportsKey, KEY_WRITE, true) != ERROR_SUCCESS ||
        RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(file),
                       static_cast<DWORD>((wcslen(file) + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
        throw ReportFailure{failure};
}

void DeleteReport(const wchar_t* name, unsigned failure)
{
    PrintKey key;
    if (key.Open(kReportsKey, KEY_WRITE, false) != ERROR_SUCCESS || RegDeleteValueW(key.Get(), name) != ERROR_SUCCESS)
        throw ReportFailure{failure};
}

// A name that another report has already may only be taken when the user
// agrees to replace that report; its row goes.
bool MayTakeName(HWND dialog, const wchar_t* name, int exceptRow)
{
    const int existing = FindRow(dialog, name);
    if (existing < 0 || existing == exceptRow)
        return true;
    if (MessageBoxIdFormat(dialog, 0, MB_YESNO | MB_ICONQUESTION, IDS_REPORT_REPLACE, name) != IDYES)
        return false;
    SendMessageW(List(dialog), LVM_DELETEITEM, existing, 0);
    return true;
}

bool OnInit(HWND dialog)
{
    ApplyDialogTexts(dialog, kTexts);
    SendMessageW(List(dialog), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const unsigned headers[2] = {IDS_REPORT_COLUMN_NAME, IDS_REPORT_COLUMN_FILE};
    for (int i = 0; i < 2; ++i) {
        wchar_t text[64];
        LoadStringW(hInstance, headers[i], text, 64);
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 110;
        column.pszText = text;
        SendMessageW(List(dialog), LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    PrintKey key;
    bool created = false;
    if (key.Open(kReportsKey, KEY_READ, true, &created) != ERROR_SUCCESS)
        return false;
    if (created)
        return true;
    // Buffers as large as the key's largest name and value: a long value (a
    // file stored with its folder) is listed, not a failure of the dialog.
    DWORD maxName = 0, maxData = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    std::vector<wchar_t> name(maxName + 2), file(maxData / sizeof(wchar_t) + 2);
    for (DWORD index = 0;; ++index) {
        DWORD nameChars = static_cast<DWORD>(name.size());
        DWORD fileBytes = static_cast<DWORD>((file.size() - 1) * sizeof(wchar_t)), type = 0;
        const LONG status = RegEnumValueW(key.Get(), index, name.data(), &nameChars, nullptr, &type,
                                          reinterpret_cast<BYTE*>(file.data()), &fileBytes);
        if (status == ERROR_NO_MORE_ITEMS)
            return true;
        if (status != ERROR_SUCCESS)
            return false;
        file[fileBytes / sizeof(wchar_t)] = 0;
        if (type != REG_SZ)
            file[0] = 0;
        AddRow(dialog, name.data(), file.data());
    }
}

void OnAdd(HWND dialog)
{
    wchar_t path[MAX_PATH];
    if (!gChooser(dialog, CfgFolder, path))
        return;
    wchar_t name[kNameChars + 1] = L"";
    if (InputText(dialog, name, kNameChars + 1, IDS_ENTER_REPORT_NAME, FALSE) <= 0)
        return;
    if (!MayTakeName(dialog, name, -1))
        return;
    WriteReport(name, FileNameOf(path), IDS_REPORT_SAVE_ERROR);
    AddRow(dialog, name, FileNameOf(path));
}

void OnDelete(HWND dialog)
{
    const int row = SelectedRow(dialog);
    if (row < 0)
        return;
    DeleteReport(Cell(dialog, row, 0).c_str(), IDS_REPORT_DELETE_ERROR);
    SendMessageW(List(dialog), LVM_DELETEITEM, row, 0);
}

void OnEditFileName(HWND dialog)
{
    const int row = SelectedRow(dialog);
    wchar_t path[MAX_PATH];
    if (row < 0 || !gChooser(dialog, CfgFolder, path))
        return;
    WriteReport(Cell(dialog, row, 0).c_str(), FileNameOf(path), IDS_REPORT_FILE_CHANGE_ERROR);
    SetCell(dialog, row, 1, FileNameOf(path));
}

void OnEditReportName(HWND dialog)
{
    int row = SelectedRow(dialog);
    if (row < 0)
        return;
    const std::wstring oldName = Cell(dialog, row, 0), file = Cell(dialog, row, 1);
    wchar_t name[kNameChars + 1];
    wcsncpy(name, oldName.c_str(), kNameChars);
    name[kNameChars] = 0;
    if (InputText(dialog, name, kNameChars + 1, IDS_ENTER_NEW_REPORT_NAME, TRUE) <= 0 || oldName == name)
        return;
    if (!MayTakeName(dialog, name, row))
        return;
    row = FindRow(dialog, oldName.c_str());   // a replaced report's row may have gone before it
    DeleteReport(oldName.c_str(), IDS_REPORT_RENAME_ERROR);
    WriteReport(name, file.c_str(), IDS_REPORT_RENAME_ERROR);
    SetCell(dialog, row, 0, name);
}

void Edit(const wchar_t* path)
{
    std::wstring command = L"notepad.exe \"";
    command += path;
    command += L"\"";
    gEditor(command.c_str());
}

void OnEdit(HWND dialog)
{
    const int row = SelectedRow(dialog);
    if (row >= 0)
        Edit((std::wstring(CfgFolder) + Cell(dialog, row, 1)).c_str());
}

void OnEditAnyFile(HWND dialog)
{
    wchar_t path[MAX_PATH];
    if (gChooser(dialog, CfgFolder, path))
        Edit(path);
}

INT_PTR CALLBACK ReportsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        if (!OnInit(dialog))
            EndModal(dialog, -1);
        FitColumns(dialog);
        return TRUE;
    }
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    try {
        switch (LOWORD(wParam)) {
        case IDOK: OnAdd(dialog); break;
        case IDC_REPORT_DELETE: OnDelete(dialog); break;
        case IDC_REPORT_EDIT_FILE_NAME: OnEditFileName(dialog); break;
        case IDC_REPORT_EDIT_NAME: OnEditReportName(dialog); break;
        case IDC_REPORT_EDIT: OnEdit(dialog); break;
        case IDC_REPORT_EDIT_ANY_FILE: OnEditAnyFile(dialog); break;
        case IDCANCEL: EndModal(dialog, 1); return TRUE;
        default: return FALSE;
        }
        FitColumns(dialog);
    } catch (const ReportFailure& failure) {
        MessageBoxId(dialog, failure.text, MB_OK | MB_ICONERROR);
        EndModal(dialog, -1);
    }
    return TRUE;
}

}  // namespace

bool EditReportFile(const wchar_t* commandLine)
{
    std::wstring line = commandLine;   // CreateProcessW may write into it
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

ReportFileChooser SetReportFileChooser(ReportFileChooser chooser)
{
    ReportFileChooser previous = gChooser;
    gChooser = chooser ? chooser : ChooseCfgFile;
    return previous;
}

FileEditor SetFileEditor(FileEditor editor)
{
    FileEditor previous = gEditor;
    gEditor = editor ? editor : EditReportFile;
    return previous;
}

INT_PTR RunReportsDlg(HWND owner)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    return DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_REPORTS), owner, GuardedDialogProc<ReportsDialogProc>, 0);
}
