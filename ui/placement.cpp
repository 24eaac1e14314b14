#include "ui/placement.h"

namespace {

const wchar_t* const kValueNames[4] = {L"x", L"y", L"cx", L"cy"};

}  // namespace

void CreateDefaultWindowPlacement(const PlacementRect& rect, const wchar_t* name)
{
    HKEY key = nullptr;
    if (OpenSettingsKey(name, KEY_WRITE, true, &key) != ERROR_SUCCESS)
        return;
    const DWORD values[4] = {(DWORD)rect.x, (DWORD)rect.y, (DWORD)rect.cx, (DWORD)rect.cy};
    for (int i = 0; i < 4; ++i)
        RegSetValueExW(key, kValueNames[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&values[i]), sizeof(DWORD));
    RegCloseKey(key);
}

bool LoadWindowPlacement(PlacementRect& rect, const wchar_t* name)
{
    HKEY key = nullptr;
    if (OpenSettingsKey(name, KEY_READ, false, &key) != ERROR_SUCCESS)
        return false;
    DWORD values[4] = {};
    bool complete = true;
    for (int i = 0; i < 4 && complete; ++i) {
        DWORD type = 0, size = sizeof(DWORD);
        complete = RegQueryValueExW(key, kValueNames[i], nullptr, &type, reinterpret_cast<BYTE*>(&values[i]),
                                    &size) == ERROR_SUCCESS &&
                   type == REG_DWORD && size == sizeof(DWORD);
    }
    RegCloseKey(key);
    // A key with a value missing is no placement: the caller writes its
    // default and reads again.
    if (!complete)
        return false;
    rect = PlacementRect{(int)values[0], (int)values[1], (int)values[2], (int)values[3]};
    ClampToWorkArea(rect);
    return true;
}

bool SaveWindowPlacement(HWND window, const wchar_t* name, bool withSize)
{
    RECT r;
    if (!window || !GetWindowRect(window, &r))
        return false;
    HKEY key = nullptr;
    if (OpenSettingsKey(name, KEY_WRITE, false, &key) != ERROR_SUCCESS)
        return false;
    const DWORD values[4] = {(DWORD)r.left, (DWORD)r.top, (DWORD)(r.right - r.left), (DWORD)(r.bottom - r.top)};
    for (int i = 0; i < (withSize ? 4 : 2); ++i)
        RegSetValueExW(key, kValueNames[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&values[i]), sizeof(DWORD));
    RegCloseKey(key);
    return true;
}

void ClampToWorkArea(PlacementRect& rect)
{
    RECT wanted = {rect.x, rect.y, rect.x + (rect.cx > 0 ? rect.cx : 1), rect.y + (rect.cy > 0 ? rect.cy : 1)};
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    RECT work;
    // Under Xvfb the full-screen metrics can exceed the screen: the monitor's
    // work area is the one trustworthy bound.
    if (GetMonitorInfoW(MonitorFromRect(&wanted, MONITOR_DEFAULTTONEAREST), &info))
        work = info.rcWork;
    else
        work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const int workWidth = work.right - work.left, workHeight = work.bottom - work.top;
    if (rect.cx > workWidth)
        rect.cx = workWidth;
    if (rect.cy > workHeight)
        rect.cy = workHeight;
    if (rect.cx < 1)
        rect.cx = 1;
    if (rect.cy < 1)
        rect.cy = 1;
    if (rect.x + rect.cx > work.right)
        rect.x = work.right - rect.cx;
    if (rect.y + rect.cy > work.bottom)
        rect.y = work.bottom - rect.cy;
    if (rect.x < work.left)
        rect.x = work.left;
    if (rect.y < work.top)
        rect.y = work.top;
}
