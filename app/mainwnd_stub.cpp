// STAND-IN: see mainwnd_stub.h.
#include "app/mainwnd_stub.h"

#include "app/startup.h"
#include "foundation/globals.h"

namespace {

HWND gMainWindow = nullptr;
bool gRegistered = false;

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        RequestQuit();
        return 0;
    case WM_ENDSESSION:
        if (wParam)
            RequestQuit();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
        const int oldMode = SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, DataPath, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_PATH_ELLIPSIS);
        SetBkMode(dc, oldMode);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_NCDESTROY:
        if (hwnd == gMainWindow)
            gMainWindow = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

bool MainPatientWindow::RegisterClass()
{
    if (gRegistered)
        return false;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc))
        return false;
    gRegistered = true;
    return true;
}

void MainPatientWindow::UnregisterClass()
{
    if (!gRegistered)
        return;
    ::UnregisterClassW(kClassName, hInstance);
    gRegistered = false;
}

BOOL MainPatientWindow::Create()
{
    if (gMainWindow)
        return TRUE;
    gMainWindow = CreateWindowExW(0, kClassName, L"TobalFluoro", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, hInstance, nullptr);
    if (!gMainWindow)
        return FALSE;
    ShowMainPatientWindowNow();
    return TRUE;
}

void MainPatientWindow::Destroy()
{
    if (gMainWindow)
        DestroyWindow(gMainWindow);
    gMainWindow = nullptr;
}

HWND MainPatientWindow::GetHwnd()
{
    return gMainWindow;
}

void ShowMainPatientWindowNow()
{
    if (!gMainWindow)
        return;
    ShowWindow(gMainWindow, SW_SHOWNORMAL);
    UpdateWindow(gMainWindow);
}
