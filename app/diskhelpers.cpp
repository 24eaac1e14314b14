#include "app/diskhelpers.h"

#include "app/reghelpers.h"

#include <shlobj.h>

namespace {

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM start)
{
    if (message == BFFM_INITIALIZED && start)
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

bool IsSlash(wchar_t c)
{
    return c == L'\\';
}

}  // namespace

BOOL BrowseForFolder(HWND owner, wchar_t* path, const wchar_t* title)
{
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(path && path[0] ? path : nullptr);
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item)
        return FALSE;
    wchar_t chosen[MAX_PATH];
    BOOL ok = SHGetPathFromIDListW(item, chosen);
    CoTaskMemFree(item);
    if (ok)
        lstrcpynW(path, chosen, MAX_PATH);
    return ok;
}

BOOL GetPathRoot(const wchar_t* path, wchar_t* root, int capacity)
{
    if (!root || capacity < 1)
        return FALSE;
    root[0] = 0;
    if (!path)
        return FALSE;
    int length = 0;
    if (((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) && path[1] == L':' &&
        IsSlash(path[2])) {
        length = 3;
    } else if (IsSlash(path[0]) && IsSlash(path[1])) {
        // "\\server\share\": both names present and not empty.
        int i = 2;
        while (path[i] && !IsSlash(path[i]))
            ++i;
        if (i == 2 || !IsSlash(path[i]))
            return FALSE;   // no server name, or nothing after it
        int shareStart = ++i;
        while (path[i] && !IsSlash(path[i]))
            ++i;
        if (i == shareStart)
            return FALSE;   // no share name
        length = i + 1;     // the backslash after the share, present or added
    } else {
        return FALSE;
    }
    if (length + 1 > capacity)
        return FALSE;
    for (int i = 0; i < length - 1; ++i)
        root[i] = path[i];
    root[length - 1] = L'\\';
    root[length] = 0;
    return TRUE;
}

void ScreenLimits::Load(HKEY root)
{
    widthLimit_ = heightLimit_ = -1;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, L"Desktop", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD value;
    if (RegGetDword(key, L"WidthLimit", &value) == ERROR_SUCCESS)
        widthLimit_ = static_cast<int>(value);
    if (RegGetDword(key, L"HeightLimit", &value) == ERROR_SUCCESS)
        heightLimit_ = static_cast<int>(value);
    RegCloseKey(key);
}

int ScreenLimits::GetWidth() const
{
    int width = GetSystemMetrics(SM_CXSCREEN);
    return widthLimit_ >= 0 && width > widthLimit_ ? widthLimit_ : width;
}

int ScreenLimits::GetMaxScreenHeight() const
{
    int height = GetSystemMetrics(SM_CYSCREEN);
    return heightLimit_ >= 0 && height > heightLimit_ ? heightLimit_ : height;
}

void ScreenLimits::GetSize(int* width, int* height) const
{
    *width = GetWidth();
    *height = GetMaxScreenHeight();
}
