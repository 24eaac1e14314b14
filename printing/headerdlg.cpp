// The dialog "Print Header Settings": the clinic header of picture sheets.
#include "printing/configdialogs.h"

#include "foundation/globals.h"
#include "printing/printsettings.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"

#include <cwchar>

namespace {

const wchar_t kHeaderKey[] = L"Header";
const int kFieldChars = 256;

struct HeaderField {
    int control;
    const wchar_t* value;
};
const HeaderField kFields[] = {{IDC_HEADER_COMPANY1, L"Company1"},
                               {IDC_HEADER_COMPANY2, L"Company2"},
                               {IDC_HEADER_ADDRESS, L"Address"},
                               {IDC_HEADER_PHONE, L"Phon"},
                               {IDC_HEADER_CABINET, L"Cabinet"}};

const DialogText kTexts[] = {{0, IDS_HEADER_TITLE},
                             {IDC_HEADER_LABEL_COMPANY1, IDS_HEADER_COMPANY1},
                             {IDC_HEADER_LABEL_COMPANY2, IDS_HEADER_COMPANY2},
                             {IDC_HEADER_LABEL_ADDRESS, IDS_HEADER_ADDRESS},
                             {IDC_HEADER_LABEL_PHONE, IDS_HEADER_PHONE},
                             {IDC_HEADER_LABEL_CABINET, IDS_HEADER_CABINET},
                             {IDOK, IDS_SAVE},
                             {IDCANCEL, IDS_CLOSE},
                             {0, 0}};

void OnInit(HWND dialog)
{
    ApplyDialogTexts(dialog, kTexts);
    for (const HeaderField& field : kFields)
        SendDlgItemMessageW(dialog, field.control, EM_LIMITTEXT, kFieldChars, 0);
    PrintKey key;
    if (key.Open(kHeaderKey, KEY_READ, false) != ERROR_SUCCESS)
        return;
    for (const HeaderField& field : kFields) {
        wchar_t text[kFieldChars + 1];
        DWORD type = 0, size = sizeof text - sizeof(wchar_t);
        if (RegQueryValueExW(key.Get(), field.value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ) {
            text[size / sizeof(wchar_t)] = 0;
            SetDlgItemTextW(dialog, field.control, text);
        }
    }
}

void OnSave(HWND dialog)
{
    PrintKey key;
    if (key.Open(kHeaderKey, KEY_WRITE, true) != ERROR_SUCCESS)
        return;
    for (const HeaderField& field : kFields) {
        wchar_t text[kFieldChars + 1];
        const int length = GetDlgItemTextW(dialog, field.control, text, kFieldChars + 1);
        const LONG status =
            length > 0 ? RegSetValueExW(key.Get(), field.value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                        static_cast<DWORD>((length + 1) * sizeof(wchar_t)))
                       : RegDeleteValueW(key.Get(), field.value);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            return;
    }
}

INT_PTR CALLBACK HeaderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        OnInit(dialog);
        return TRUE;
    }
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK: OnSave(dialog); return TRUE;
    case IDCANCEL: EndModal(dialog, IDCANCEL); return TRUE;
    }
    return FALSE;
}

}  // namespace

void RunPrintHeaderDlg(HWND owner)
{
    DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_PRINT_HEADER), owner, GuardedDialogProc<HeaderDialogProc>, 0);
}
