#include "app/modalitydlg.h"

#include "app/reghelpers.h"
#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/settingskey.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"

namespace {

const wchar_t kModalityQuery[] = L"SELECT Name, id_modality FROM Modality ORDER BY Name;";
const int kNameChars = 256;

const DialogText kTexts[] = {
    {0, IDS_MODALITY_TITLE}, {IDC_MODALITY_NONE, IDS_MODALITY_NONE}, {IDOK, IDS_SAVE}, {IDCANCEL, IDS_CLOSE}, {0, 0}};

struct ModalityChoice {
    bool chosen;    // a modality is chosen (the current one at first)
    DWORD id;       // its id_modality
};

void FillList(HWND dialog, const ModalityChoice& choice)
{
    HWND list = GetDlgItem(dialog, IDC_MODALITY_LIST);
    BoundStatement query(g_DbSession, kModalityQuery);
    query.Execute();
    while (query.Next()) {
        wchar_t name[kNameChars];
        LONG id = 0;
        if (RowText(query.Row(), 0, name, kNameChars) < 0 || !RowInt(query.Row(), 1, &id))
            continue;
        const LRESULT item = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        if (item < 0)
            continue;
        SendMessageW(list, LB_SETITEMDATA, item, id);
    }
    // The list sorts itself: the current modality is looked for once it is full.
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; choice.chosen && i < count; ++i)
        if (static_cast<DWORD>(SendMessageW(list, LB_GETITEMDATA, i, 0)) == choice.id)
            SendMessageW(list, LB_SETCURSEL, i, 0);
}

void OnInit(HWND dialog, ModalityChoice* choice)
{
    ApplyDialogTexts(dialog, kTexts);
    choice->chosen = DefaultModalitySet != FALSE;
    choice->id = DefaultModality;
    CheckDlgButton(dialog, IDC_MODALITY_NONE, DefaultModalitySet ? BST_UNCHECKED : BST_CHECKED);
    try {
        FillList(dialog, *choice);
    } catch (const DODBErrors& error) {
        // Without the table the list stays empty.
        error.ShowMessage(dialog, nullptr, MB_OK | MB_ICONHAND);
    }
}

void OnSave(HWND dialog, const ModalityChoice& choice)
{
    DefaultModalitySet = IsDlgButtonChecked(dialog, IDC_MODALITY_NONE) != BST_CHECKED && choice.chosen;
    DefaultModality = choice.id;
    HKEY key = nullptr;
    const LONG opened = OpenSettingsKey(L"Modality", KEY_WRITE, true, &key);
    if (opened != ERROR_SUCCESS) {
        LogCallError(static_cast<DWORD>(opened), L"RegCreateKeyExW", L"Modality");
        MessageBeep(MB_ICONASTERISK);
        return;
    }
    const LONG rc = DefaultModalitySet ? RegSetDword(key, L"ID_Modality", DefaultModality)
                                       : RegDeleteValueW(key, L"ID_Modality");
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
        LogCallError(static_cast<DWORD>(rc), L"RegSetValueExW", L"ID_Modality");
        MessageBeep(MB_ICONASTERISK);
    }
}

INT_PTR CALLBACK ModalityDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        OnInit(dialog, reinterpret_cast<ModalityChoice*>(lParam));
        return TRUE;
    }
    ModalityChoice* choice = reinterpret_cast<ModalityChoice*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!choice || message != WM_COMMAND)
        return FALSE;
    const int id = LOWORD(wParam), code = HIWORD(wParam);
    if (id == IDC_MODALITY_LIST && code == LBN_SELCHANGE) {
        HWND list = GetDlgItem(dialog, IDC_MODALITY_LIST);
        const LRESULT item = SendMessageW(list, LB_GETCURSEL, 0, 0);
        if (item >= 0) {
            choice->chosen = true;
            choice->id = static_cast<DWORD>(SendMessageW(list, LB_GETITEMDATA, item, 0));
        }
        return TRUE;
    }
    if (code != 0)
        return FALSE;
    if (id == IDOK) {
        OnSave(dialog, *choice);
        return TRUE;
    }
    if (id == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void RunModalityDlg(HWND owner)
{
    ModalityChoice choice = {false, 0};
    DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_MODALITY), owner, GuardedDialogProc<ModalityDlgProc>,
                    reinterpret_cast<LPARAM>(&choice));
}
