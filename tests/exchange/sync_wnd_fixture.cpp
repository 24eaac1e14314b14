#include "sync_wnd_fixture.h"

#include "foundation/globals.h"
#include "ui/button.h"
#include "ui/scroll.h"
#include "ui/tooltip.h"

#include <commctrl.h>

#include <cwchar>
#include <stdexcept>

namespace extest {

namespace {

DialogDriver* gDriver = nullptr;
const wchar_t kOwnerClass[] = L"TfSyncWindowOwner";

struct ThreadWindowSearch {
    const wchar_t* className;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK MatchThreadWindow(HWND hwnd, LPARAM param)
{
    ThreadWindowSearch* search = reinterpret_cast<ThreadWindowSearch*>(param);
    wchar_t cls[64] = L"", title[128] = L"";
    GetClassNameW(hwnd, cls, 64);
    GetWindowTextW(hwnd, title, 128);
    if (IsWindowVisible(hwnd) && wcscmp(cls, search->className) == 0 &&
        (!search->title || wcscmp(title, search->title) == 0)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

ScopedLanguage::ScopedLanguage(LANGID lang) : ui_(GetThreadUILanguage()), locale_(GetThreadLocale())
{
    SetThreadUILanguage(lang);
    SetThreadLocale(MAKELCID(lang, SORT_DEFAULT));
}

ScopedLanguage::~ScopedLanguage()
{
    SetThreadLocale(locale_);
    SetThreadUILanguage(ui_);
}

HWND FindThreadWindow(const wchar_t* className, const wchar_t* title)
{
    ThreadWindowSearch search = {className, title, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchThreadWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

DialogDriver::DialogDriver()
{
    gDriver = this;
    started_ = GetTickCount();
    timer_ = SetTimer(nullptr, 0, 50, Tick);
}

DialogDriver::~DialogDriver()
{
    KillTimer(nullptr, timer_);
    gDriver = nullptr;
}

void DialogDriver::Then(const wchar_t* className, const wchar_t* title, Step step)
{
    steps_.push_back(Pending{className, title ? title : L"", std::move(step)});
}

void CALLBACK DialogDriver::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    static bool busy = false;
    DialogDriver* self = gDriver;
    if (!self || busy || self->next_ >= self->steps_.size())
        return;
    busy = true;
    Pending& pending = self->steps_[self->next_];
    HWND window = FindThreadWindow(pending.className.c_str(), pending.title.empty() ? nullptr : pending.title.c_str());
    if (window && pending.step(window)) {
        ++self->next_;
        self->started_ = GetTickCount();
    } else if (GetTickCount() - self->started_ > 20000) {
        ADD_FAILURE() << "step " << self->next_ << " found no window of class " << Narrow(pending.className)
                      << " titled " << Narrow(pending.title) << " within 20 s";
        self->next_ = self->steps_.size();
        if (HWND open = FindThreadWindow(L"#32770"))
            PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
    }
    busy = false;
}

std::vector<std::wstring> ListViewRows(HWND list)
{
    std::vector<std::wstring> rows;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    for (int row = 0; row < count; ++row) {
        std::wstring line;
        for (int column = 0; column < columns; ++column) {
            wchar_t text[128] = L"";
            LVITEMW item = {};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = 128;
            SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
            if (column)
                line += L"|";
            line += text;
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

void SaveShot(HWND window, const wchar_t* name)
{
    wchar_t dir[MAX_PATH] = L"";
    if (!GetEnvironmentVariableW(L"TF_SHOT_DIR", dir, MAX_PATH))
        return;
    harness::Pump(300);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    harness::Pump(300);
    harness::PixelGrab grab(window, true);
    ASSERT_TRUE(grab.Ok());
    const int width = grab.Width(), height = grab.Height();
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER fileHeader = {};
    BITMAPINFOHEADER info = {};
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof fileHeader + sizeof info;
    fileHeader.bfSize = fileHeader.bfOffBits + stride * height;
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::string file;
    file.append(reinterpret_cast<const char*>(&fileHeader), sizeof fileHeader);
    file.append(reinterpret_cast<const char*>(&info), sizeof info);
    std::string row(static_cast<size_t>(stride), '\0');
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = grab.At(x, y);
            row[x * 3] = static_cast<char>(GetBValue(c));
            row[x * 3 + 1] = static_cast<char>(GetGValue(c));
            row[x * 3 + 2] = static_cast<char>(GetRValue(c));
        }
        file += row;
    }
    const std::wstring path = std::wstring(dir) + L"\\" + name + L".bmp";
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, out);
    DWORD written = 0;
    WriteFile(out, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
    CloseHandle(out);
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
