#include "exchange/sync/syncdialogs.h"

#include "database/dberrors.h"
#include "database/dbstart.h"
#include "exchange/sync/suspectmove.h"
#include "foundation/globals.h"
#include "foundation/prompt.h"
#include "resources/resource.h"
#include "ui/dialogtexts.h"

#include <commctrl.h>
#include <shlobj.h>

#include <string>

namespace {

const int kColumnWidth = 200;
const int kDestinationChars = 255;   // the destination field is read up to 254 characters

// What the move dialog keeps between its messages.
struct MoveDialogState {
    std::wstring archivePath;
};

void AddColumns(HWND list, const wchar_t* first, const wchar_t* second)
{
    const wchar_t* names[2] = {first, second};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.cx = kColumnWidth;
        column.pszText = const_cast<wchar_t*>(names[i]);
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

void AddRow(HWND list, const std::wstring& first, const std::wstring& second)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(first.c_str());
    const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0)
        return;
    LVITEMW sub = {};
    sub.iSubItem = 1;
    sub.pszText = const_cast<wchar_t*>(second.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
}

void FillSuspectList(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_MOVE_DISKS);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    try {
        for (const SuspectDiskRow& row : ListSuspectDisks(g_DbSession))
            AddRow(list, row.name, std::to_wstring(row.count));
    } catch (const DODBErrors& e) {
        e.ShowMessage(dialog, L"Сообщение", MB_OK);
    }
}

void MoveFrom(HWND dialog, SuspectSource source)
{
    const MoveDialogState* state = reinterpret_cast<MoveDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    wchar_t folder[kDestinationChars] = L"";
    GetDlgItemTextW(dialog, IDC_MOVE_FOLDER, folder, kDestinationChars);
    SuspectMoveRequest request;
    request.owner = dialog;
    request.destination = folder;
    request.source = source;
    request.quiet = IsDlgButtonChecked(dialog, IDC_MOVE_QUIET) == BST_CHECKED;
    request.archivePath = state ? state->archivePath : std::wstring();
    const SuspectMoveResult result = MoveSuspectImages(g_DbSession, request);
    if (result.finished)
        FillSuspectList(dialog);
}

void InitListViews()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
}

}  // namespace

bool BrowseForFolder(HWND owner, wchar_t* path)
{
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator) {
        ShowPrompt(owner, L"Ошибка получения IMalloc.", nullptr, MB_OK);
        return false;
    }
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pszDisplayName = path;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    bool chosen = false;
    if (LPITEMIDLIST item = SHBrowseForFolderW(&info)) {
        if (SHGetPathFromIDListW(item, path))
            chosen = true;
        else
            ShowPrompt(owner, L"Ошибка при получении имени каталога", nullptr, MB_OK);
        allocator->Free(item);
    }
    allocator->Release();
    return chosen;
}

INT_PTR RunSuspectMoveDialog(HWND owner, const wchar_t* archivePath)
{
    InitListViews();
    MoveDialogState state;
    state.archivePath = archivePath ? archivePath : L"";
    return DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_SYNC_MOVE), owner, GuardedDialogProc<SuspectMoveDlgProc>,
                           reinterpret_cast<LPARAM>(&state));
}

INT_PTR RunArchiveDiskListDialog(HWND owner, int list)
{
    InitListViews();
    return DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_SYNC_DISKS), owner, GuardedDialogProc<ArchiveDiskListDlgProc>,
                           list);
}

INT_PTR CALLBACK SuspectMoveDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SendDlgItemMessageW(dialog, IDC_MOVE_FOLDER, EM_LIMITTEXT, kDestinationChars - 1, 0);
        AddColumns(GetDlgItem(dialog, IDC_MOVE_DISKS), L"Name", L"Кол.");
        FillSuspectList(dialog);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        MoveFrom(dialog, SuspectSource::kHardDisk);
        return TRUE;
    case IDC_MOVE_MO:
        MoveFrom(dialog, SuspectSource::kArchive);
        return TRUE;
    case IDC_MOVE_BROWSE: {
        wchar_t folder[MAX_PATH] = L"";
        if (BrowseForFolder(dialog, folder))
            SetDlgItemTextW(dialog, IDC_MOVE_FOLDER, folder);
        return TRUE;
    }
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK ArchiveDiskListDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const int list = static_cast<int>(lParam);
        if (const wchar_t* title = ArchiveDiskListTitle(list))
            SetWindowTextW(dialog, title);
        HWND view = GetDlgItem(dialog, IDC_DISKS_LIST);
        AddColumns(view, L"Arj", L"Name");
        // The list is narrower than two full columns: the names take the
        // rest, so no scroll bar shows for them.
        RECT client;
        GetClientRect(view, &client);
        if (client.right - kColumnWidth < kColumnWidth)
            SendMessageW(view, LVM_SETCOLUMNWIDTH, 1, client.right - kColumnWidth);
        try {
            for (const ArchiveDiskRow& row : ListArchiveDisks(g_DbSession, list))
                AddRow(view, std::to_wstring(static_cast<unsigned long>(static_cast<DWORD>(row.arj))), row.name);
        } catch (const DODBErrors& e) {
            e.ShowMessage(dialog, L"Сообщение", MB_OK);
        }
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}
