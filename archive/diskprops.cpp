#include "archive/diskprops.h"

#include "archive/arjworker.h"
#include "archive/workerbase.h"
#include "foundation/globals.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"

#include <cwchar>

namespace {

const DialogText kTexts[] = {{0, IDS_DISK_PROPERTIES_TITLE},
                             {IDC_PROP_LABEL_TEXT, IDS_PROP_DISK_LABEL},
                             {IDC_PROP_SERIAL_TEXT, IDS_PROP_SERIAL_NUMBER},
                             {IDC_PROP_FREE_TEXT, IDS_PROP_FREE},
                             {IDC_PROP_CAPACITY_TEXT, IDS_PROP_CAPACITY},
                             {IDOK, IDS_PROP_UPDATE},
                             {IDCANCEL, IDS_CLOSE},
                             {0, 0}};

struct PropertiesDialog {
    std::wstring path;
};

void Refresh(HWND dialog, const PropertiesDialog& self)
{
    const DiskPropertyTexts texts = ReadDiskProperties(self.path.c_str());
    SetDlgItemTextW(dialog, IDC_PROP_LABEL, texts.label.c_str());
    SetDlgItemTextW(dialog, IDC_PROP_SERIAL, texts.serial.c_str());
    SetDlgItemTextW(dialog, IDC_PROP_FREE, texts.freeSpace.c_str());
    SetDlgItemTextW(dialog, IDC_PROP_CAPACITY, texts.capacity.c_str());
    SetDlgItemTextW(dialog, IDC_PROP_ERROR, texts.error.c_str());
}

std::wstring Megabytes(const std::wstring& number)
{
    const std::wstring pattern = ArchiveText(IDS_MEGABYTES);
    wchar_t text[300];
    _snwprintf(text, 299, pattern.c_str(), number.c_str());
    text[299] = 0;
    return text;
}

}  // namespace

bool GetDiskSpaceMB(const wchar_t* root, std::wstring* freeText, std::wstring* capacityText)
{
    ULARGE_INTEGER available, total, freeBytes;
    if (!root || !root[0] || !GetDiskFreeSpaceExW(root, &available, &total, &freeBytes))
        return false;
    wchar_t text[32];
    _snwprintf(text, 31, L"%I64u", freeBytes.QuadPart / 1048576ull);
    text[31] = 0;
    *freeText = text;
    _snwprintf(text, 31, L"%I64u", total.QuadPart / 1048576ull);
    text[31] = 0;
    *capacityText = text;
    return true;
}

DiskPropertyTexts ReadDiskProperties(const wchar_t* path)
{
    DiskPropertyTexts texts;
    std::wstring root;
    if (path && path[0]) {
        root += path[0];
        root += L":\\";
    }
    std::wstring freeMb, capacityMb;
    if (GetDiskSpaceMB(root.c_str(), &freeMb, &capacityMb)) {
        texts.freeSpace = Megabytes(freeMb);
        texts.capacity = Megabytes(capacityMb);
        wchar_t label[kVolumeLabelChars] = L"";
        DWORD serial = 0;
        if (GetVolumeInformationW(root.c_str(), label, kVolumeLabelChars, &serial, nullptr, nullptr, nullptr, 0)) {
            label[kVolumeLabelChars - 1] = 0;
            texts.label = label;
            wchar_t number[16];
            _snwprintf(number, 15, L"%u", static_cast<unsigned>(serial));
            number[15] = 0;
            texts.serial = number;
        }
    } else {
        texts.error = ArchiveText(IDS_DEVICE_NOT_READY_OR_UNFORMATTED);
    }
    return texts;
}

INT_PTR CALLBACK RemovableDiskPropertiesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        ApplyDialogTexts(dialog, kTexts);
        Refresh(dialog, *reinterpret_cast<PropertiesDialog*>(lParam));
        return TRUE;
    case WM_COMMAND: {
        PropertiesDialog* self = reinterpret_cast<PropertiesDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDOK && self) {
            Refresh(dialog, *self);
            return TRUE;
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}

INT_PTR ShowRemovableDiskProperties(HWND owner, const wchar_t* path)
{
    PropertiesDialog self;
    self.path = path ? path : L"";
    return DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_DISK_PROPERTIES), owner,
                           GuardedDialogProc<RemovableDiskPropertiesProc>,
                           reinterpret_cast<LPARAM>(&self));
}
