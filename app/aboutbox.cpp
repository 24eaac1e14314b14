#include "app/aboutbox.h"

#include "foundation/globals.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"

#include <cwchar>

namespace {

const unsigned kVersion[4] = {3, 4, 2, 6};

const DialogText kTexts[] = {{0, IDS_ABOUT_TITLE},
                             {IDC_ABOUT_PROGRAM, IDS_ABOUT_PROGRAM},
                             {IDC_ABOUT_VERSION_LABEL, IDS_VERSION},
                             {IDCANCEL, IDS_CLOSE},
                             {0, 0}};

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        ApplyDialogTexts(dialog, kTexts);
        wchar_t version[32];
        FormatProgramVersion(version, 32);
        SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, version);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL && HIWORD(wParam) == 0) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int FormatProgramVersion(wchar_t* text, int capacity)
{
    if (!text || capacity <= 0)
        return 0;
    const int n = _snwprintf(text, capacity, L"%u.%u.%u.%u", kVersion[0], kVersion[1], kVersion[2], kVersion[3]);
    if (n < 0 || n >= capacity) {
        text[capacity - 1] = 0;
        return capacity - 1;
    }
    return n;
}

void ShowAboutBox(HWND owner)
{
    DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_ABOUT), owner, GuardedDialogProc<AboutDlgProc>, 0);
}
