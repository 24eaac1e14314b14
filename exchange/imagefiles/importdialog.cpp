// The import's open-file dialog: see importdialog.h.
#include "exchange/imagefiles/importdialog.h"

#include "exchange/imagefiles/filesource.h"
#include "exchange/imagefiles/xmgtext.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "foundation/settingskey.h"
#include "foundation/textutil.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"

#include <commdlg.h>
#include <stdio.h>
#include <string.h>

#include <string>

// The hook's work; ImportOpenHookProc keeps what it throws.
static UINT_PTR ImportHookMessage(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);

namespace {

const int kPathChars = 260;

// What the hook keeps between notifications.
struct HookState
{
    wchar_t folder[kPathChars];     // the folder the dialog shows now
};

const DialogText kLabels[] = {
    {IDC_XMG_LABEL_FIRST + 0, IDS_XMG_VERSION},     {IDC_XMG_LABEL_FIRST + 1, IDS_XMG_EXAM_DATE},
    {IDC_XMG_LABEL_FIRST + 2, IDS_XMG_SIZE},        {IDC_XMG_LABEL_FIRST + 3, IDS_XMG_PIXEL_SIZE},
    {IDC_XMG_LABEL_FIRST + 4, IDS_XMG_KV},          {IDC_XMG_LABEL_FIRST + 5, IDS_XMG_MAS},
    {IDC_XMG_LABEL_FIRST + 6, IDS_XMG_IMAGE_ID},    {IDC_XMG_LABEL_FIRST + 7, IDS_XMG_PATIENT_ID},
    {IDC_XMG_LABEL_FIRST + 8, IDS_XMG_LAST_NAME},   {IDC_XMG_LABEL_FIRST + 9, IDS_XMG_FIRST_NAME},
    {IDC_XMG_LABEL_FIRST + 10, IDS_XMG_MIDDLE_NAME}, {IDC_XMG_LABEL_FIRST + 11, IDS_XMG_SEX},
    {IDC_XMG_LABEL_FIRST + 12, IDS_XMG_BIRTH_DATE}, {0, 0},
};

const int kFileFields[] = {IDC_XMG_VERSION, IDC_XMG_IMAGE_ID, IDC_XMG_SIZE, IDC_XMG_DATE, IDC_XMG_PIXEL_SIZE};
const int kPatientFields[] = {IDC_XMG_PATIENT_ID, IDC_XMG_SEX,         IDC_XMG_BIRTHDAY,
                              IDC_XMG_LAST_NAME,  IDC_XMG_FIRST_NAME,  IDC_XMG_MIDDLE_NAME};

void ClearFields(HWND panel, const int* ids, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        SetDlgItemTextW(panel, ids[i], L"");
}

void SetNumber(HWND panel, int id, unsigned value)
{
    wchar_t text[16];
    _snwprintf(text, 15, L"%u", value);
    text[15] = 0;
    SetDlgItemTextW(panel, id, text);
}

void SetTime(HWND panel, int id, uint32_t low, uint32_t high, const wchar_t* picture)
{
    FILETIME time;
    time.dwLowDateTime = low;
    time.dwHighDateTime = high;
    wchar_t text[64] = {};
    if (FormatFileTime(text, 64, picture, &time) < 0)
        text[0] = 0;
    SetDlgItemTextW(panel, id, text);
}

// The settings key itself, for reading and writing; null when it cannot be
// opened.
HKEY OpenSettings()
{
    HKEY key = nullptr;
    if (OpenSettingsKey(nullptr, KEY_READ | KEY_WRITE, false, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

}  // namespace

void ShowXmgProperties(HWND panel, const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    FileSource source(file);
    XmgFileInfo info;
    XmgNames names;
    unsigned error = 0;
    try {
        error = ReadXmgTextBlock(source, info, names, XmgAnsiToUtf16);
    } catch (...) {
        error = IDS_EXCEPTION;
    }
    CloseHandle(file);

    ClearFields(panel, kFileFields, sizeof kFileFields / sizeof kFileFields[0]);
    ClearFields(panel, kPatientFields, sizeof kPatientFields / sizeof kPatientFields[0]);
    wchar_t text[256];
    if (error) {
        SetDlgItemTextW(panel, IDC_STATUS_LINE, LoadText(error).c_str());
        return;
    }
    SetDlgItemTextW(panel, IDC_STATUS_LINE, L"");
    _snwprintf(text, 255, L"%u.%u", info.version >> 16, info.version & 0xFFFF);
    text[255] = 0;
    SetDlgItemTextW(panel, IDC_XMG_VERSION, text);
    SetNumber(panel, IDC_XMG_IMAGE_ID, info.imageId);
    _snwprintf(text, 255, L"%u, %u", info.width, info.height);
    SetDlgItemTextW(panel, IDC_XMG_SIZE, text);
    SetTime(panel, IDC_XMG_DATE, info.dateLow, info.dateHigh, DateTimePicture);
    if (info.flags & 1) {
        _snwprintf(text, 255, L"%g, %g", (double)info.pixelSizeX, (double)info.pixelSizeY);
        text[255] = 0;
        SetDlgItemTextW(panel, IDC_XMG_PIXEL_SIZE, text);
    } else {
        SetDlgItemTextW(panel, IDC_XMG_PIXEL_SIZE, LoadText(IDS_XMG_PIXEL_SIZE_UNKNOWN).c_str());
    }
    if (names.head.size == 0)
        return;
    SetNumber(panel, IDC_XMG_PATIENT_ID, names.head.patientId);
    SetDlgItemTextW(panel, IDC_XMG_SEX, names.head.sex ? L"1" : L"0");
    SetTime(panel, IDC_XMG_BIRTHDAY, names.head.birthdayLow, names.head.birthdayHigh, DatePicture);
    const int nameFields[3] = {IDC_XMG_LAST_NAME, IDC_XMG_FIRST_NAME, IDC_XMG_MIDDLE_NAME};
    for (size_t i = 0; i < 3 && i < names.strings.size(); ++i)
        SetDlgItemTextW(panel, nameFields[i], reinterpret_cast<const wchar_t*>(names.strings[i].c_str()));
}

UINT_PTR CALLBACK ImportOpenHookProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return ImportHookMessage(panel, message, wParam, lParam);
    } catch (...) {
        // The open-file dialog runs the system's loop: it is told here, over
        // the dialog the panel belongs to.
        ShowDialogException(panel);
        return 0;
    }
}

static UINT_PTR ImportHookMessage(HWND panel, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const OPENFILENAMEW* ofn = reinterpret_cast<const OPENFILENAMEW*>(lParam);
        SetWindowLongPtrW(panel, GWLP_USERDATA, ofn ? (LONG_PTR)ofn->lCustData : 0);
        ApplyDialogTexts(panel, kLabels);
        return 0;
    }
    if (message != WM_NOTIFY)
        return 0;
    const OFNOTIFYW* notify = reinterpret_cast<const OFNOTIFYW*>(lParam);
    HWND dialog = GetParent(panel);
    if (notify->hdr.code == CDN_FOLDERCHANGE) {
        HookState* state = reinterpret_cast<HookState*>(GetWindowLongPtrW(panel, GWLP_USERDATA));
        wchar_t folder[kPathChars] = {};
        if (state && SendMessageW(dialog, CDM_GETFOLDERPATH, kPathChars, reinterpret_cast<LPARAM>(folder)) > 0) {
            folder[kPathChars - 1] = 0;
            wcscpy(state->folder, folder);
        }
    } else if (notify->hdr.code == CDN_SELCHANGE && notify->lpOFN && notify->lpOFN->nFilterIndex == 1) {
        wchar_t path[kPathChars] = {};
        if (SendMessageW(dialog, CDM_GETFILEPATH, kPathChars, reinterpret_cast<LPARAM>(path)) > 0) {
            path[kPathChars - 1] = 0;
            ShowXmgProperties(panel, path);
        }
    }
    return 0;
}

bool RunImportDialog(HWND, ImportChoice& choice)
{
    ZeroMemory(&choice, sizeof choice);
    const std::wstring title = LoadText(IDS_IMPORT_PICTURES);

    HookState state = {};
    HKEY key = OpenSettings();
    DWORD type = 0, size = sizeof state.folder - sizeof(wchar_t);
    if (!key || RegQueryValueExW(key, L"ImportPath", nullptr, &type, reinterpret_cast<BYTE*>(state.folder), &size) !=
                    ERROR_SUCCESS ||
        type != REG_SZ) {
        wcsncpy(state.folder, ImageFolder, kPathChars - 1);
        state.folder[kPathChars - 1] = 0;
    }

    // "XMG Format\0*.xmg\0Bitmaps\0*.bmp\0\0"
    const std::wstring filter = LoadText(IDS_FILTER_XMG) + L'\0' + L"*.xmg" + L'\0' + LoadText(IDS_FILTER_BITMAPS) +
                                L'\0' + L"*.bmp" + L'\0';

    OPENFILENAMEW ofn;
    ZeroMemory(&ofn, sizeof ofn);
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ofn.hwndOwner = nullptr;
    ofn.hInstance = hInstance;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = choice.path;
    ofn.nMaxFile = kPathChars;
    ofn.lpstrInitialDir = state.folder;
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ENABLETEMPLATE | OFN_ENABLEHOOK;
    ofn.lCustData = reinterpret_cast<LPARAM>(&state);
    ofn.lpfnHook = ImportOpenHookProc;
    ofn.lpTemplateName = MAKEINTRESOURCEW(IDD_XMG_PROPERTIES);
    const BOOL chosen = GetOpenFileNameW(&ofn);
    if (chosen) {
        choice.filterIndex = ofn.nFilterIndex;
        // The folder the dialog showed last: the chosen file's.
        if (key)
            RegSetValueExW(key, L"ImportPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(state.folder),
                           (DWORD)((wcslen(state.folder) + 1) * sizeof(wchar_t)));
    }
    if (key)
        RegCloseKey(key);
    return chosen != FALSE;
}
