// Preparing pictures for the panel, and the "PrepareSnimok" settings with
// their dialog.
#include <wchar.h>
#include "images/viewer/mainviewwnd.h"

#include "foundation/globals.h"
#include "foundation/settingskey.h"
#include "images/pixels/rasterkernels.h"
#include "images/viewer/viewerstore.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"

static_assert((kOrientationApplied & DPictureBase::kReduced) == 0, "state bits must not collide");

namespace {

const wchar_t kPrepareKey[] = L"PrepareSnimok";

}  // namespace

PrepareSnimokSettings& PrepareSettings()
{
    static PrepareSnimokSettings settings = {3, 1, 0};
    return settings;
}

void LoadPrepareSnimokSettings()
{
    PrepareSnimokSettings& s = PrepareSettings();
    HKEY key;
    if (OpenSettingsKey(kPrepareKey, KEY_READ, false, &key) != ERROR_SUCCESS) {
        s = PrepareSnimokSettings{3, 1, 0};
        return;
    }
    auto read = [key](const wchar_t* name, int fallback) {
        DWORD v = 0, type = 0, size = sizeof v;
        if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) == 0 &&
            type == REG_DWORD && size == sizeof v)
            return (int)v;
        return fallback;
    };
    s.mFilter = read(L"MFilter", 3);
    s.autoMFilter = read(L"AutoMFilter", 0);
    s.equalizeOld = read(L"EqualizeOld", 1);
    RegCloseKey(key);
}

int SavePrepareSnimokSettings()
{
    const PrepareSnimokSettings& s = PrepareSettings();
    HKEY key;
    if (OpenSettingsKey(kPrepareKey, KEY_WRITE, true, &key) != ERROR_SUCCESS)
        return 0;
    const DWORD values[3] = {(DWORD)s.mFilter, (DWORD)s.autoMFilter, (DWORD)s.equalizeOld};
    const wchar_t* names[3] = {L"MFilter", L"AutoMFilter", L"EqualizeOld"};
    int ok = 1;
    for (int i = 0; i < 3; ++i)
        if (RegSetValueExW(key, names[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&values[i]), sizeof(DWORD)))
            ok = 0;
    RegCloseKey(key);
    return ok;
}

int PrepareSnimokForView(int equalize, const PixelRect* rect, DPicture* p)
{
    if (!p || !p->GetBits())
        throw 0;
    const PrepareSnimokSettings& s = PrepareSettings();
    int level;
    if (s.autoMFilter == 0)
        level = s.mFilter;
    else if (s.mFilter == 0)
        level = 0;
    else
        level = ImageStats::SpreadExceeds(p->GetBits(), p->width, p->height, p->width) ? s.mFilter : 0;
    // A picture shown again (the same object) is already in its orientation:
    // turning it once more would show it wrongly and store it wrongly.
    if (!(p->stateFlags & kOrientationApplied)) {
        p->ApplyOrientation();
        p->stateFlags |= kOrientationApplied;
    }
    if (level == 0)
        p->RefreshWork();
    else
        p->Sharpen(level);
    if (equalize) {
        PixelRect r;
        if (rect) {
            r = *rect;
            if (r.left >= p->width || r.top >= p->height)
                throw 0;
            // Right and bottom are exclusive: the last column and row belong
            // to the region when it reaches the picture's edge.
            if (r.right > p->width)
                r.right = p->width;
            if (r.bottom > p->height)
                r.bottom = p->height;
            if (r.right <= r.left || r.bottom <= r.top)
                throw 0;
        } else {
            r = PixelRect{p->width / 3, p->height / 3, 2 * p->width / 3, 2 * p->height / 3};
        }
        int offset = p->displayOffset, width = p->displayWidth;
        p->AutoWindow(&r, &offset, &width, false);
        p->displayOffset = offset;
        p->displayWidth = width;
    }
    GetViewerStore().readPatient(p);
    return 1;
}

// ---- the settings dialog ----

namespace {

struct FilterChoice {
    UINT text;
    int level;
};
const FilterChoice kChoices[] = {
    {IDS_DISABLE_FILTER, 0}, {IDS_ENHANCEMENT_LOW, 2}, {IDS_ENHANCEMENT_MEDIUM, 3}, {IDS_ENHANCEMENT_STRONG, 4}};

const DialogText kTexts[] = {
    {0, IDS_PREPARE_TITLE}, {IDC_PREPARE_AUTO, IDS_PREPARE_AUTO}, {IDOK, IDS_OK}, {IDCANCEL, IDS_CANCEL}, {0, 0}};

INT_PTR CALLBACK PrepareDialogProc(HWND dlg, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        ApplyDialogTexts(dlg, kTexts);
        HWND combo = GetDlgItem(dlg, IDC_PREPARE_FILTER);
        for (const FilterChoice& c : kChoices) {
            wchar_t text[128];
            if (!LoadStringW(hInstance, c.text, text, 128))
                text[0] = 0;
            const LRESULT i = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            SendMessageW(combo, CB_SETITEMDATA, i, c.level);
        }
        const int m = PrepareSettings().mFilter;
        SendMessageW(combo, CB_SETCURSEL, m > 0 ? m - 1 : (WPARAM)-1, 0);
        CheckDlgButton(dlg, IDC_PREPARE_AUTO, PrepareSettings().autoMFilter ? BST_CHECKED : BST_UNCHECKED);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            HWND combo = GetDlgItem(dlg, IDC_PREPARE_FILTER);
            const LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
            PrepareSettings().mFilter = i > 0 ? (int)SendMessageW(combo, CB_GETITEMDATA, i, 0) : 0;
            PrepareSettings().autoMFilter = IsDlgButtonChecked(dlg, IDC_PREPARE_AUTO) == BST_CHECKED ? 1 : 0;
            SavePrepareSnimokSettings();
            if (!EndDialog(dlg, IDOK))
                DestroyWindow(dlg);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            if (!EndDialog(dlg, IDCANCEL))
                DestroyWindow(dlg);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

INT_PTR RunPrepareSnimokDlg(HWND owner)
{
    return DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_PREPARE_SNIMOK), owner,
                           GuardedDialogProc<PrepareDialogProc>, 0);
}

HWND CreatePrepareSnimokDlg(HWND owner)
{
    return CreateDialogParamW(hInstance, MAKEINTRESOURCEW(IDD_PREPARE_SNIMOK), owner,
                              GuardedDialogProc<PrepareDialogProc>, 0);
}
