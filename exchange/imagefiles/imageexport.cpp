// Image export: see imageexport.h.
#include "exchange/imagefiles/imageexport.h"

#include "exchange/dicom/dicomsend.h"
#include "exchange/dicom/exchangelog.h"
#include "exchange/imagefiles/bmpformat.h"
#include "foundation/files.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/textutil.h"
#include "images/files/xmgfile.h"
#include "images/pixels/displaylut.h"
#include "images/pixels/pixmem.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"

#include <commdlg.h>

#include <string>
#include <vector>

namespace {

const int kNameChars = 260;

struct ExportWay
{
    int command;        // the dialog's button
    UINT filterName;    // string-table id
    const wchar_t* pattern;
    const wchar_t* extension;
};
const ExportWay kWays[] = {
    {IDC_EXPORT_XMG, IDS_FILTER_XMG, L"*.xmg", L".xmg"},
    {IDC_EXPORT_DICOM_FILE, IDS_FILTER_DICOM, L"*.dcm", L".dcm"},
    {IDC_EXPORT_BMP, IDS_FILTER_BMP, L"*.bmp", L".bmp"},
};

// A block of committed pages, given back when it goes.
class PageBlock
{
public:
    explicit PageBlock(size_t bytes) : p_(PixelAllocForOverwrite(bytes)) {}
    ~PageBlock() { PixelFree(p_); }
    PageBlock(const PageBlock&) = delete;
    PageBlock& operator=(const PageBlock&) = delete;
    uint8_t* Get() const { return static_cast<uint8_t*>(p_); }

private:
    void* p_;
};

}  // namespace

INT_PTR CALLBACK ExportFormatDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        // Texts from the string table.
        static const DialogText kTexts[] = {
            {0, IDS_EXPORT}, {IDC_EXPORT_DICOM_FILE, IDS_EXPORT_DICOM_FILE},
            {IDC_EXPORT_DICOM_SERVER, IDS_EXPORT_DICOM_SERVER}, {IDC_EXPORT_XMG, IDS_EXPORT_XMG_FILE},
            {IDC_EXPORT_BMP, IDS_EXPORT_BMP_FILE}, {IDCANCEL, IDS_CANCEL}, {0, 0}};
        ApplyDialogTexts(dialog, kTexts);
        return TRUE;
    }
    if (message == WM_COMMAND && wParam <= 0xFFFF) {
        EndDialog(dialog, (INT_PTR)wParam);
        return TRUE;
    }
    return FALSE;
}

BOOL ChooseExportFile(HWND owner, wchar_t* name, int capacity, const wchar_t* filter, const wchar_t* extension)
{
    const std::wstring title = LoadText(IDS_EXPORT_PICTURE);
    OPENFILENAMEW ofn;
    ZeroMemory(&ofn, sizeof ofn);
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name;
    ofn.nMaxFile = (DWORD)capacity;
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_NOREADONLYRETURN | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (!GetSaveFileNameW(&ofn))
        return FALSE;
    // A name typed without an extension gets the way's.
    AddDefaultExtension(name, capacity, extension);
    return TRUE;
}

BOOL WriteImageBmp(const DPicturePtr& handle, HWND, HANDLE file, const uint8_t* table)
{
    const DPicture* picture = handle.Get();
    if (!picture || !picture->GetWorkBits()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<uint8_t> own;
    if (!table) {
        own.resize(kLutSize);
        BuildDisplayLut(own.data(), picture->displayOffset, picture->displayWidth, picture->gammaPercent / 100.0);
        table = own.data();
    }
    const uint64_t size = BmpGreyFileSize(picture->width, picture->height);
    if (size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PageBlock block((size_t)size);
    if (!block.Get()) {
        SetLastError(PixelAllocError());
        return FALSE;
    }
    BuildGreyBmpFromRaster(block.Get(), picture->GetWorkBits(), picture->width, picture->height, table);
    DWORD done = 0;
    if (!WriteFile(file, block.Get(), (DWORD)size, &done, nullptr))
        return FALSE;
    if (done != (DWORD)size) {
        SetLastError(ERROR_HANDLE_DISK_FULL);
        return FALSE;
    }
    return TRUE;
}

void ExportImage(const DPicturePtr& picture, HWND owner, const uint8_t* table)
{
    if (!picture.Get())
        return;
    const INT_PTR command = DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_EXPORT_FORMAT), owner,
                                            GuardedDialogProc<ExportFormatDlgProc>, 0);
    if (command == IDC_EXPORT_DICOM_SERVER) {
        SendPictureToDicomServer(picture, owner);
        return;
    }
    const ExportWay* way = nullptr;
    for (const ExportWay& w : kWays)
        if (w.command == command)
            way = &w;
    // Cancel, the close box, or a dialog that could not open: nothing to do.
    if (!way)
        return;

    // "name\0pattern\0\0"
    const std::wstring filter = LoadText(way->filterName) + L'\0' + way->pattern + L'\0';
    wchar_t name[kNameChars] = {};
    if (!ChooseExportFile(owner, name, kNameChars, filter.c_str(), way->extension))
        return;

    if (way->command == IDC_EXPORT_DICOM_FILE) {
        SaveImageAsDicomFile(picture, owner, name);
        return;
    }
    HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        LogCallFailure(L"CreateFileW", name, error);
        ShowErrorCodeBox(error);
        return;
    }
    DWORD error = 0;
    BOOL written = FALSE;
    if (way->command == IDC_EXPORT_XMG) {
        written = SnimokFile::Save(picture, file, &error, true);
    } else {
        written = WriteImageBmp(picture, owner, file, table);
        error = written ? 0 : GetLastError();
    }
    CloseHandle(file);
    if (!written) {
        // Nothing half-written stays behind, and the user learns why.
        LogCallFailure(L"WriteFile", name, error);
        DeleteFileW(name);
        ShowErrorCodeBox(error);
    }
}
