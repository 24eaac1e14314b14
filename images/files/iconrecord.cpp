// Thumbnail records, states and drawing blocks: see iconrecord.h.
#include "images/files/iconrecord.h"

#include "foundation/globals.h"
#include "foundation/journal.h"
#include "images/files/datafolders.h"
#include "images/files/thumbnails.h"
#include "resources/strings.h"

#include <commdlg.h>
#include <string.h>

const IconStateInfo kIconStates[kIconStateRows] = {
    {IDS_ICON_ARCHIVED, L"CTArj", RGB(0, 0, 0)},
    {IDS_ICON_READ_ERROR, L"CTError", 0x0000FF},
    {IDS_ICON_REMOVED, L"CTDelete", 0x00FF00},
    {IDS_ICON_EMPTY, L"CTEmpty", 0xFFFFFF},
};

namespace {

const int kCaptionChars = 64;
const DWORD kBitmapInfoBytes = 2144;
const DWORD kSecondBlock = 1072;

struct IconState {
    wchar_t caption[kCaptionChars];
    int length;
    COLORREF color;
};

IconState gStates[kIconStateRows] = {
    {L"", 0, RGB(0, 0, 0)}, {L"", 0, 0x0000FF}, {L"", 0, 0x00FF00}, {L"", 0, 0xFFFFFF}};
BYTE* gBitmapInfo = nullptr;    // two blocks, grey then inverted

bool ValidRow(int row)
{
    return row >= 0 && row < kIconStateRows;
}

void FillBlock(BYTE* block, bool inverted)
{
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = kIconSide;
    header.biHeight = -kIconSide;
    header.biPlanes = 1;
    header.biBitCount = 8;
    header.biCompression = BI_RGB;
    header.biSizeImage = kIconBytes;
    memcpy(block, &header, sizeof header);
    RGBQUAD* palette = reinterpret_cast<RGBQUAD*>(block + sizeof header);
    for (int i = 0; i < 256; ++i) {
        const BYTE v = (BYTE)(inverted ? 255 - i : i);
        palette[i].rgbBlue = palette[i].rgbGreen = palette[i].rgbRed = v;
        palette[i].rgbReserved = 0;
    }
}

// The caption of a row centred on one line in its colour.
void DrawCaption(HDC dc, int row, int x, int y, int width, int height, COLORREF background)
{
    RECT rect = {x, y, x + width - 1, y + height - 1};
    HBRUSH brush = CreateSolidBrush(background);
    if (brush) {
        FillRect(dc, &rect, brush);
        DeleteObject(brush);
    }
    const COLORREF oldColor = SetTextColor(dc, gStates[row].color);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, IconStateCaption(row), -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldColor);
}

}  // namespace

const wchar_t* IconStateCaption(int row)
{
    if (!ValidRow(row))
        return L"";
    if (gStates[row].length == 0)
        gStates[row].length = LoadStringW(hInstance, kIconStates[row].stringId, gStates[row].caption, kCaptionChars);
    return gStates[row].caption;
}

COLORREF IconStateColor(int row)
{
    return ValidRow(row) ? gStates[row].color : 0;
}

void LoadIconStates(HKEY key)
{
    for (int row = 0; row < kIconStateRows; ++row) {
        gStates[row].caption[0] = 0;
        gStates[row].length = LoadStringW(hInstance, kIconStates[row].stringId, gStates[row].caption, kCaptionChars);
        gStates[row].color = kIconStates[row].defaultColor;
        if (!key)
            continue;
        DWORD value = 0, type = 0, size = sizeof value;
        if (RegQueryValueExW(key, kIconStates[row].valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                             &size) == ERROR_SUCCESS &&
            type == REG_DWORD && size == sizeof value)
            gStates[row].color = value;
    }
}

int AddIconStateMenuItems(HMENU menu, UINT itemTemplate)
{
    for (int row = 0; row < kIconStateRows; ++row)
        InsertMenuW(menu, itemTemplate, MF_BYCOMMAND | MF_STRING, itemTemplate + row + 1,
                    IconStateCaption(row));
    return kIconStateRows;
}

bool ChooseIconStateColor(HKEY key, HWND owner, int row)
{
    if (!ValidRow(row))
        return false;
    static COLORREF custom[16];
    CHOOSECOLORW choose = {};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = owner;
    choose.rgbResult = gStates[row].color;
    choose.lpCustColors = custom;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_SHOWHELP | CC_ANYCOLOR;
    if (!ChooseColorW(&choose) || choose.rgbResult == gStates[row].color)
        return false;
    gStates[row].color = choose.rgbResult;
    const DWORD value = choose.rgbResult;
    RegSetValueExW(key, kIconStates[row].valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    return true;
}

void DrawIconStateText(HDC dc, int x, int y, int width, int height, COLORREF background)
{
    DrawCaption(dc, kIconRowEmpty, x, y, width, height, background);
}

bool InitIconBitmapInfo()
{
    if (gBitmapInfo)
        return true;
    gBitmapInfo = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kBitmapInfoBytes));
    if (!gBitmapInfo) {
        LogError(ERROR_NOT_ENOUGH_MEMORY, L"Error alloc memory for icons bitmaps");
        return false;
    }
    FillBlock(gBitmapInfo, false);
    FillBlock(gBitmapInfo + kSecondBlock, true);
    return true;
}

void FreeIconBitmapInfo()
{
    if (gBitmapInfo)
        HeapFree(GetProcessHeap(), 0, gBitmapInfo);
    gBitmapInfo = nullptr;
}

const BITMAPINFO* IconBitmapInfo(bool negative)
{
    if (!gBitmapInfo)
        return nullptr;
    return reinterpret_cast<const BITMAPINFO*>(gBitmapInfo + (negative ? kSecondBlock : 0));
}

IconRecord::IconRecord()
    : state(0), negative(0), fileName(), date(), pixels(nullptr), key(0), noteLength(0), numberText(), numberLength(0)
{
}

IconRecord::~IconRecord()
{
    FreeBits();
    state = 0;
}

bool IconRecord::AllocBuffer()
{
    if (!pixels)
        pixels = static_cast<uint8_t*>(VirtualAlloc(nullptr, kIconBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    return pixels != nullptr;
}

void IconRecord::FreeBuffer()
{
    VirtualFree(pixels, 0, MEM_RELEASE);
    pixels = nullptr;
}

void IconRecord::FreeBits()
{
    if (pixels)
        FreeBuffer();
}

void IconRecord::SetDate(DWORD low, DWORD high)
{
    date.dwLowDateTime = low;
    date.dwHighDateTime = high;
}

void IconRecord::SetFileName(const wchar_t* name)
{
    wcsncpy(fileName, name ? name : L"", 31);
    fileName[31] = 0;
}

void IconRecord::LoadIcon()
{
    if (pixels)
        return;
    wchar_t path[MAX_PATH];
    if (!BuildDataFilePath(path, IconFolder, fileName, L".thb"))
        return;
    HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD done = 0;
    if (!AllocBuffer() || !ReadFile(file, pixels, kIconBytes, &done, nullptr) || done != kIconBytes)
        FreeBits();
    CloseHandle(file);
}

void IconRecord::Draw(HDC dc, int x, int y, int width, int height, COLORREF background)
{
    if (state == kIconStateShow && !pixels)
        LoadIcon();
    const BITMAPINFO* info = IconBitmapInfo(negative != 0);
    if (pixels && info) {
        SetDIBitsToDevice(dc, x, y, kIconSide, kIconSide, 0, 0, 0, kIconSide, pixels, info, DIB_RGB_COLORS);
        return;
    }
    int row = kIconRowEmpty;
    if (state == kIconStateShow)
        row = kIconRowError;
    else if (state == kIconStateArchived)
        row = kIconRowArchived;
    else if (state == kIconStateRemoved)
        row = kIconRowRemoved;
    DrawCaption(dc, row, x, y, width, height, background);
}
