#include "exchange/disks/ejectdiskdlg.h"

#include "exchange/disks/disksrvclient.h"
#include "foundation/globals.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"

#include <cwchar>

namespace {

const INT_PTR kEndExit = 0;     // "Exit Program"
const INT_PTR kEndClose = 2;    // "Close"

const DialogText kTexts[] = {{0, IDS_EJECT_TITLE},
                             {IDC_EJECT_STATUS_LABEL, IDS_EJECT_STATUS},
                             {IDC_EJECT_EXIT, IDS_EJECT_EXIT_PROGRAM},
                             {IDOK, IDS_EJECT},
                             {IDCANCEL, IDS_CLOSE},
                             {0, 0}};

void CopyText(wchar_t* out, int capacity, const wchar_t* text)
{
    if (capacity < 1)
        return;
    int i = 0;
    for (; text && text[i] && i < capacity - 1; ++i)
        out[i] = text[i];
    out[i] = 0;
}

}  // namespace

void EjectDatabaseDisk(wchar_t* status, int capacity)
{
    const DiskSrvOutcome outcome = EjectDiskViaDiskSrv(DataPath[0]);
    if (outcome.step != kDiskSrvDone) {
        if (LoadStringW(hInstance, DiskSrvFailureTextId(outcome), status, capacity) <= 0)
            CopyText(status, capacity, L"");
        return;
    }
    if (outcome.result == 0) {
        CopyText(status, capacity, outcome.text);
        return;
    }
    if (LoadStringW(hInstance, IDS_DATABASE_DISK_EJECTED, status, capacity) <= 0)
        CopyText(status, capacity, L"");
}

INT_PTR CALLBACK EjectDiskDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        ApplyDialogTexts(dialog, kTexts);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK: {
        wchar_t status[kDiskSrvReplyTextChars + 1];
        EjectDatabaseDisk(status, kDiskSrvReplyTextChars + 1);
        SetDlgItemTextW(dialog, IDC_EJECT_STATUS, status);
        return TRUE;
    }
    case IDCANCEL:
        EndDialog(dialog, kEndClose);
        return TRUE;
    case IDC_EJECT_EXIT:
        EndDialog(dialog, kEndExit);
        return TRUE;
    default:
        return FALSE;
    }
}

bool RunEjectDiskDlg(bool* endProgram)
{
    const INT_PTR result =
        DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_EJECT_DISK), nullptr, GuardedDialogProc<EjectDiskDlgProc>, 0);
    if (endProgram)
        *endProgram = result == kEndExit;
    return result != -1;
}
