#include "sync_wnd_fixture.h"

#include "foundation/globals.h"
#include "ui/button.h"
#include "ui/scroll.h"
#include "ui/std_controls.h"
#include "ui/tooltip.h"

#include <commctrl.h>

#include <cwchar>
#include <stdexcept>

namespace extest {

namespace {

const wchar_t kOwnerClass[] = L"TfSyncWindowOwner";

}  // namespace

std::vector<std::wstring> ListViewRows(HWND list)
{
    std::vector<std::wstring> rows;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    for (int row = 0; row < count; ++row) {
        std::wstring line;
        for (int column = 0; column < columns; ++column) {
            if (column)
                line += L"|";
            line += ListViewText(list, row, column);
        }
        rows.push_back(line);
    }
    return rows;
}

std::vector<std::wstring> ListViewColumns(HWND list)
{
    std::vector<std::wstring> names;
    for (int column = 0;; ++column) {
        wchar_t text[64] = L"";
        LVCOLUMNW info = {};
        info.mask = LVCF_TEXT;
        info.pszText = text;
        info.cchTextMax = 64;
        if (!SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&info)))
            break;
        names.push_back(text);
    }
    return names;
}

void SyncWindowTest::SetUp()
{
    screenLock_.reset(new harness::ScreenLock);
    SyncDbTest::SetUp();
    DToolTip::RegisterClass();
    DButton::RegisterClass();
    DScroll::RegisterClass();
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    SetDataPathValue(DataPath);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kOwnerClass;
    RegisterClassExW(&wc);
    owner_ = CreateWindowExW(0, kOwnerClass, L"Main", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
}

void SyncWindowTest::TearDown()
{
    CloseWindow();
    if (owner_)
        DestroyWindow(owner_);
    owner_ = nullptr;
    SyncDbTest::TearDown();
    screenLock_.reset();
}

ScanDbWindow& SyncWindowTest::OpenWindow()
{
    window_ = ScanDbWindow::Open(owner_);
    EXPECT_NE(nullptr, window_) << "the synchronisation window did not open";
    if (!window_)
        throw std::runtime_error("no synchronisation window");
    harness::Pump(50);
    return *window_;
}

void SyncWindowTest::CloseWindow()
{
    if (window_ && ScanDbWindow::Current() == window_)
        ScanDbWindow::Close(window_);
    window_ = nullptr;
}

::testing::AssertionResult SyncWindowTest::Push(ScanDbWindow::ButtonId button)
{
    HWND hwnd = W().Button(button).GetHwnd();
    if (!hwnd)
        return ::testing::AssertionFailure() << "button " << button << " has no window";
    if (!IsWindowEnabled(hwnd))
        return ::testing::AssertionFailure() << "button " << Narrow(W().ButtonText(button)) << " is disabled";
    SendMessageW(hwnd, WM_KEYDOWN, VK_SPACE, 0);
    // The click may have closed the window (and its buttons with it).
    if (IsWindow(hwnd))
        SendMessageW(hwnd, WM_KEYUP, VK_SPACE, 0);
    return ::testing::AssertionSuccess();
}

bool SyncWindowTest::Enabled(ScanDbWindow::ButtonId button)
{
    return IsWindowEnabled(W().Button(button).GetHwnd()) != FALSE;
}

void SyncWindowTest::Choose(bool archive)
{
    SendMessageW(archive ? W().ArchiveRadio() : W().HddRadio(), BM_CLICK, 0, 0);
}

bool SyncWindowTest::WaitIdle(DWORD timeoutMs)
{
    return harness::PumpUntil([this] { return !ScanDbWindow::Current() || !W().IsBusy(); }, timeoutMs);
}

void SyncWindowTest::Command(UINT id)
{
    SendMessageW(W().GetHwnd(), WM_COMMAND, id, 0);
}

void SyncWindowTest::SetDataPathValue(const std::wstring& path)
{
    RegSetValueExW(settings_, L"DataPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
}

}  // namespace extest
