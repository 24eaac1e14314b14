#include "ui/placement.h"

#include <vector>

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

namespace {

RECT WorkAreaOf(const RECT& r)
{
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    // Under Xvfb the full-screen metrics can exceed the screen: the monitor's
    // work area is the one trustworthy bound.
    if (GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info))
        return info.rcWork;
    return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// A start coordinate brought so that [start, start + size) lies in [low, high)
// as far as it can (the low edge wins when the size does not fit).
int Inside(int start, int size, int low, int high)
{
    if (start + size > high)
        start = high - size;
    if (start < low)
        start = low;
    return start;
}

bool Overlaps(int x, int y, int cx, int cy, const RECT& r)
{
    if (r.right <= r.left || r.bottom <= r.top)
        return false;
    return x < r.right && r.left < x + cx && y < r.bottom && r.top < y + cy;
}

}  // namespace

void PlaceClearOf(PlacementRect& rect, const RECT* avoid, int count, const RECT& work)
{
    std::vector<int> xs = {rect.x}, ys = {rect.y};
    for (int i = 0; i < count; ++i) {
        const RECT& a = avoid[i];
        if (a.right <= a.left || a.bottom <= a.top)
            continue;
        xs.push_back(a.right);
        xs.push_back(a.left - rect.cx);
        ys.push_back(a.bottom);
        ys.push_back(a.top - rect.cy);
    }
    bool found = false;
    long long bestDistance = 0;
    PlacementRect best = rect;
    for (int x : xs) {
        for (int y : ys) {
            const int px = Inside(x, rect.cx, work.left, work.right);
            const int py = Inside(y, rect.cy, work.top, work.bottom);
            if (px + rect.cx > work.right || py + rect.cy > work.bottom)
                continue;   // does not fit on the area at all
            bool clear = true;
            for (int i = 0; i < count && clear; ++i)
                clear = !Overlaps(px, py, rect.cx, rect.cy, avoid[i]);
            if (!clear)
                continue;
            const long long dx = px - rect.x, dy = py - rect.y;
            const long long distance = dx * dx + dy * dy;
            if (!found || distance < bestDistance) {
                found = true;
                bestDistance = distance;
                best = PlacementRect{px, py, rect.cx, rect.cy};
            }
        }
    }
    if (found)
        rect = best;
}

void MoveWindowClearOf(HWND window, const RECT* avoid, int count)
{
    RECT r;
    if (!window || !GetWindowRect(window, &r))
        return;
    PlacementRect p = {r.left, r.top, r.right - r.left, r.bottom - r.top};
    PlaceClearOf(p, avoid, count, WorkAreaOf(r));
    if (p.x != r.left || p.y != r.top)
        SetWindowPos(window, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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
