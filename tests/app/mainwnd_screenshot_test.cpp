// The populated main window, painted and saved as a picture to be looked at:
// build/mainwnd_screenshot.bmp (beside the test program).
#include "mainwnd_fixture.h"

#include "app/mainpatientwnd.h"
#include "ui/listview.h"

#include <vector>

using namespace mainwndtest;

using MainWindowPicture = MainWndSite;

TEST_F(MainWindowPicture, ThePopulatedWindowIsPaintedAndSaved)
{
    const DWORD patient = static_cast<DWORD>(patients_[3]);
    MakeImages(patient, 4);
    OpenWindow();
    MainPatientWindow& w = MainPatientWindow::Instance();
    const int row = ListRow(patient);
    ASSERT_GE(row, 0);
    w.GetList()->SelectItem(row);
    w.OnListRowChange(row);
    HWND hwnd = MainPatientWindow::GetHwnd();
    SetForegroundWindow(hwnd);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    Pump(GetEnvironmentVariableW(L"TF_SHOT_WAIT", nullptr, 0) ? 6000 : 300);

    RECT r;
    GetWindowRect(hwnd, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, bitmap);
    HGDIOBJ old = SelectObject(memory, bitmap);
    ASSERT_TRUE(BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY));
    SelectObject(memory, old);
    // Something is drawn: the picture is not one colour.
    const DWORD* pixels = static_cast<const DWORD*>(bits);
    int differing = 0;
    for (int i = 1; i < width * height; ++i)
        differing += (pixels[i] & 0xFFFFFF) != (pixels[0] & 0xFFFFFF);
    EXPECT_GT(differing, width * height / 100);

    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring path = module;
    path = path.substr(0, path.find_last_of(L"\\/")) + L"\\..\\mainwnd_screenshot.bmp";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const DWORD imageBytes = static_cast<DWORD>(width * height * 4);
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + imageBytes;
    DWORD written = 0;
    WriteFile(file, &header, sizeof header, &written, nullptr);
    WriteFile(file, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr);
    WriteFile(file, bits, imageBytes, &written, nullptr);
    CloseHandle(file);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}
