// The profile dialog "Profiles of printers": the list of printer profiles
// with their names, and the commands to choose, set up, add, delete and
// rename profiles. A profile whose stored set-up cannot be read is listed
// marked as such: it cannot be chosen or renamed, only deleted or set up
// again ("Change"), which stores it whole.
#include "printing/printerprofile.h"

#include "app/inputtext.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/textutil.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"

#include <cstring>

namespace {

struct ProfileDialog {
    PrinterProfileList* list;
    const GUID* preselect;   // or null
    bool chooseMode;
    PrinterProfilePtr chosen;
};

const DialogText kTexts[] = {
    {0, IDS_PROFILES_TITLE},          {IDC_PROFILE_CHOOSE, IDS_PROFILE_CHOOSE},
    {IDC_PROFILE_CHANGE, IDS_PROFILE_CHANGE}, {IDC_PROFILE_ADD, IDS_PROFILE_ADD},
    {IDC_PROFILE_DELETE, IDS_DELETE}, {IDC_PROFILE_RENAME, IDS_PROFILE_RENAME},
    {IDCANCEL, IDS_CLOSE},            {0, 0}};

HWND List(HWND dialog)
{
    return GetDlgItem(dialog, IDC_PROFILE_LIST);
}

// The profile of the list box's selected item, or null (with its index).
PrinterProfile* Selected(HWND dialog, LRESULT* index = nullptr)
{
    const LRESULT i = SendMessageW(List(dialog), LB_GETCURSEL, 0, 0);
    if (index)
        *index = i;
    if (i == LB_ERR)
        return nullptr;
    return reinterpret_cast<PrinterProfile*>(SendMessageW(List(dialog), LB_GETITEMDATA, i, 0));
}

// What the list box shows for a profile: its name, marked when it cannot be read.
std::wstring ItemText(const PrinterProfile* profile)
{
    if (profile->Readable())
        return profile->name;
    std::wstring text = LoadText(IDS_PROFILE_UNREADABLE_ITEM);
    const size_t at = text.find(L"%1");
    if (at != std::wstring::npos)
        text.replace(at, 2, profile->DisplayName());
    return text;
}

LRESULT AddItem(HWND dialog, const PrinterProfile* profile)
{
    const std::wstring text = ItemText(profile);
    const LRESULT i = SendMessageW(List(dialog), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (i >= 0)
        SendMessageW(List(dialog), LB_SETITEMDATA, i, reinterpret_cast<LPARAM>(profile));
    return i;
}

// Shows the item's text again (after a rename or a repair), selected.
void RefreshItem(HWND dialog, LRESULT index, const PrinterProfile* profile)
{
    const std::wstring text = ItemText(profile);
    SendMessageW(List(dialog), LB_DELETESTRING, index, 0);
    SendMessageW(List(dialog), LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(List(dialog), LB_SETITEMDATA, index, reinterpret_cast<LPARAM>(profile));
    SendMessageW(List(dialog), LB_SETCURSEL, index, 0);
}

// A profile that cannot be read is told about instead of being used.
bool RefuseUnreadable(HWND dialog, const PrinterProfile* profile)
{
    if (profile->Readable())
        return false;
    MessageBoxIdFormat(dialog, 0, MB_OK | MB_ICONEXCLAMATION, IDS_PROFILE_UNREADABLE, profile->DisplayName().c_str(),
                       ProfileErrorText(profile->readError).c_str());
    return true;
}

PrinterProfilePtr HandleOf(ProfileDialog* state, const PrinterProfile* profile)
{
    for (int i = 0; i < state->list->Count(); ++i)
        if (state->list->At(i).Get() == profile)
            return state->list->At(i);
    return PrinterProfilePtr();
}

void OnInit(HWND dialog, ProfileDialog* state)
{
    ApplyDialogTexts(dialog, kTexts);
    ShowWindow(GetDlgItem(dialog, IDC_PROFILE_CHOOSE), state->chooseMode ? SW_SHOW : SW_HIDE);
    for (int i = 0; i < state->list->Count(); ++i) {
        const PrinterProfile* profile = state->list->At(i).Get();
        const LRESULT item = AddItem(dialog, profile);
        if (item >= 0 && state->preselect && memcmp(&profile->guid, state->preselect, sizeof(GUID)) == 0)
            SendMessageW(List(dialog), LB_SETCURSEL, item, 0);
    }
}

void OnChoose(HWND dialog, ProfileDialog* state)
{
    PrinterProfile* profile = Selected(dialog);
    if (!profile || RefuseUnreadable(dialog, profile))
        return;
    state->chosen = HandleOf(state, profile);
    EndModal(dialog, IDOK);
}

// Sets the profile up; one that could not be read is stored whole again
// (under its GUID: a key whose name is no GUID can only be deleted).
void OnChange(HWND dialog, ProfileDialog* state)
{
    LRESULT index;
    PrinterProfile* profile = Selected(dialog, &index);
    if (!profile)
        return;
    const bool repair = !profile->Readable();
    if (repair && profile->guid == GUID()) {
        RefuseUnreadable(dialog, profile);
        return;
    }
    if (!profile->EditSetup(dialog))
        return;
    state->list->SaveProfile(*profile);
    if (repair) {
        profile->readError = ERROR_SUCCESS;
        RefreshItem(dialog, index, profile);
    }
}

void OnAdd(HWND dialog, ProfileDialog* state)
{
    wchar_t name[257] = L"";
    if (InputText(dialog, name, 257, IDS_ENTER_PRINTER_PROFILE_NAME, FALSE) <= 0)
        return;
    PrinterProfilePtr profile = state->list->Add(name);
    if (!profile->EditSetup(dialog)) {
        state->list->Remove(profile.Get());   // never stored: nothing to delete
        return;
    }
    try {
        state->list->SaveProfile(*profile.Get());
    } catch (...) {
        state->list->Remove(profile.Get());
        throw;
    }
    const LRESULT item = AddItem(dialog, profile.Get());
    SendMessageW(List(dialog), LB_SETCURSEL, item, 0);
}

void OnDelete(HWND dialog, ProfileDialog* state)
{
    LRESULT index;
    PrinterProfile* profile = Selected(dialog, &index);
    if (!profile)
        return;
    const std::wstring name = profile->DisplayName();
    LONG code = ERROR_SUCCESS;
    if (!state->list->Remove(profile, &code)) {
        MessageBoxIdFormat(dialog, 0, MB_OK | MB_ICONERROR, IDS_PROFILE_DELETE_ERROR, name.c_str(),
                           ProfileErrorText(code).c_str());
        return;
    }
    SendMessageW(List(dialog), LB_DELETESTRING, index, 0);
}

void OnRename(HWND dialog, ProfileDialog*)
{
    LRESULT index;
    PrinterProfile* profile = Selected(dialog, &index);
    if (!profile || RefuseUnreadable(dialog, profile))
        return;
    wchar_t name[257];
    wcsncpy(name, profile->name.c_str(), 256);
    name[256] = 0;
    if (InputText(dialog, name, 257, IDS_ENTER_PRINTER_PROFILE_NAME, TRUE) <= 0)
        return;
    profile->name = name;
    RefreshItem(dialog, index, profile);
}

void OnCommand(HWND dialog, ProfileDialog* state, int id)
{
    switch (id) {
    case IDC_PROFILE_CHOOSE: OnChoose(dialog, state); break;
    case IDC_PROFILE_CHANGE: OnChange(dialog, state); break;
    case IDC_PROFILE_ADD: OnAdd(dialog, state); break;
    case IDC_PROFILE_DELETE: OnDelete(dialog, state); break;
    case IDC_PROFILE_RENAME: OnRename(dialog, state); break;
    case IDCANCEL: EndModal(dialog, IDCANCEL); break;
    }
}

INT_PTR CALLBACK ProfileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        OnInit(dialog, reinterpret_cast<ProfileDialog*>(lParam));
        return TRUE;
    }
    auto* state = reinterpret_cast<ProfileDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == WM_COMMAND && state && HIWORD(wParam) == BN_CLICKED) {
        // A registry failure of one command is told here; the dialog stays.
        try {
            OnCommand(dialog, state, LOWORD(wParam));
        } catch (LONG code) {
            ShowProfileError(dialog, code);
        }
        return TRUE;
    }
    return FALSE;
}

}  // namespace

PrinterProfilePtr ChoosePrinterProfile(PrinterProfileList& list, HWND owner, const GUID* preselect, bool chooseMode)
{
    if (!list.Loaded())
        list.Load();
    ProfileDialog state = {&list, preselect, chooseMode, PrinterProfilePtr()};
    DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_PRINTER_PROFILES), owner, GuardedDialogProc<ProfileDialogProc>,
                    reinterpret_cast<LPARAM>(&state));
    return state.chosen;
}
