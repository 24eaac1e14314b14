// The merge settings dialog: see importsettingsdlg.h.
#include "exchange/merge/importsettingsdlg.h"

#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/settingskey.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"

#include <string>

namespace {

const wchar_t kImportKey[] = L"ImportSettings";
const int kPathChars = 260;

const DialogText kTexts[] = {
    {0, IDS_MERGE_SETTINGS_TITLE},
    {IDC_IMPORT_PATH_LABEL, IDS_MERGE_DATABASE_PATH},
    {IDC_IMPORT_FILE_LABEL, IDS_MERGE_DATABASE_NAME},
    {IDC_IMPORT_PATH_SET, IDS_MERGE_SET},
    {IDC_IMPORT_FILE_SET, IDS_MERGE_SET},
    {IDOK, IDS_SAVE},
    {IDCANCEL, IDS_MERGE_EXIT},
    {0, 0},
};

std::wstring ItemText(HWND dialog, int id)
{
    wchar_t text[kPathChars + 1] = {};
    GetDlgItemTextW(dialog, id, text, kPathChars + 1);
    return text;
}

void ReadValue(HKEY key, const wchar_t* name, HWND dialog, int id)
{
    wchar_t text[kPathChars + 1] = {};
    DWORD type = 0, size = kPathChars * sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return;
    text[size / sizeof(wchar_t)] = 0;
    SetDlgItemTextW(dialog, id, text);
}

LONG WriteValue(HKEY key, const wchar_t* name, const std::wstring& value)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          (DWORD)((value.size() + 1) * sizeof(wchar_t)));
}

void OnInit(HWND dialog)
{
    ApplyDialogTexts(dialog, kTexts);
    SendItemMessage(dialog, IDC_IMPORT_PATH, EM_LIMITTEXT, kPathChars, 0);
    SendItemMessage(dialog, IDC_IMPORT_FILE, EM_LIMITTEXT, kPathChars, 0);
    HKEY key = nullptr;
    if (OpenSettingsKey(kImportKey, KEY_READ, false, &key) != ERROR_SUCCESS)
        return;
    ReadValue(key, L"DBPath", dialog, IDC_IMPORT_PATH);
    ReadValue(key, L"DBFile", dialog, IDC_IMPORT_FILE);
    RegCloseKey(key);
}

bool Save(HWND dialog)
{
    try {
        const std::wstring path = ItemText(dialog, IDC_IMPORT_PATH);
        const std::wstring file = ItemText(dialog, IDC_IMPORT_FILE);
        if (path.empty()) {
            // No other database: its two values go, the column settings stay.
            HKEY key = nullptr;
            if (OpenSettingsKey(kImportKey, KEY_WRITE, false, &key) == ERROR_SUCCESS) {
                RegDeleteValueW(key, L"DBPath");
                RegDeleteValueW(key, L"DBFile");
                RegCloseKey(key);
            }
            return true;
        }
        if (file.empty()) {
            MessageBoxIdCaption(dialog, IDS_MERGE_ENTER_FILE_NAME, 0, MB_OK);
            return false;
        }
        HKEY key = nullptr;
        if (OpenSettingsKey(kImportKey, KEY_WRITE, true, &key) != ERROR_SUCCESS) {
            MessageBoxIdCaption(dialog, IDS_MERGE_KEY_NOT_CREATED, 0, MB_OK);
            return false;
        }
        const LONG written = WriteValue(key, L"DBPath", path) == ERROR_SUCCESS ? WriteValue(key, L"DBFile", file)
                                                                                : ERROR_WRITE_FAULT;
        RegCloseKey(key);
        if (written != ERROR_SUCCESS) {
            MessageBoxIdCaption(dialog, IDS_MERGE_SAVE_EXCEPTION, 0, MB_OK);
            return false;
        }
        return true;
    } catch (...) {
        MessageBoxIdCaption(dialog, IDS_MERGE_SAVE_EXCEPTION, 0, MB_OK);
        return false;
    }
}

}  // namespace

LRESULT SendItemMessage(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageW(item, message, wParam, lParam) : 0;
}

INT_PTR CALLBACK ImportSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK:
            if (Save(dialog))
                EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 2);
            return TRUE;
        default:
            return TRUE;   // "Set": nothing to pick yet
        }
    default:
        return FALSE;
    }
}

INT_PTR ImportSettingsDlg(HWND owner)
{
    return DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_IMPORT_SETTINGS), owner,
                           GuardedDialogProc<ImportSettingsDlgProc>, 0);
}
