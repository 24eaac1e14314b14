#include "common/window_harness.h"

#include <stdarg.h>
#include <stdio.h>

namespace harness {

namespace {
// Under Xvfb there is no window manager. Wine hands every window that has
// once been active to the window manager, and hiding or destroying such a
// window then waits two seconds for a manager that never answers. Test
// executables therefore ask Wine to keep their windows unmanaged. The option
// is read when the display driver loads, at the first window, so it is set
// before main (for this executable only, in the test prefix).
struct UnmanagedWindows {
    UnmanagedWindows()
    {
        wchar_t path[MAX_PATH];
        DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return;
        const wchar_t* name = path + n;
        while (name > path && name[-1] != L'\\' && name[-1] != L'/')
            --name;
        std::wstring key = std::wstring(L"Software\\Wine\\AppDefaults\\") + name + L"\\X11 Driver";
        HKEY k;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) == 0) {
            RegSetValueExW(k, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"), 2 * sizeof(wchar_t));
            RegCloseKey(k);
        }
    }
} gUnmanagedWindows;
}  // namespace

void Pump(DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        Pump(0);
        if (done())
            return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed < 10 ? timeoutMs - elapsed : 10, QS_ALLINPUT);
    }
}

ScreenLock::ScreenLock()
{
    mutex_ = CreateMutexW(nullptr, FALSE, L"TobalFluoro test screen");
    if (mutex_) {
        // As many tests as ctest runs at once may queue for the screen, each
        // holding it some seconds on a loaded machine: wait for most of a
        // test's time limit (300 s) rather than fail the queue's tail.
        DWORD r = WaitForSingleObject(mutex_, 240000);
        held_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
    }
    EXPECT_TRUE(held_) << "the test screen stayed busy for four minutes";
}

ScreenLock::~ScreenLock()
{
    if (held_)
        ReleaseMutex(mutex_);
    if (mutex_)
        CloseHandle(mutex_);
}

namespace {
const wchar_t kHostClass[] = L"TobalFluoro test host";

void RegisterHostClass(WNDPROC proc)
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kHostClass;
    registered = RegisterClassExW(&wc) != 0;
}
}  // namespace

HostWindow::HostWindow(int clientWidth, int clientHeight, int x, int y)
{
    RegisterHostClass(Proc);
    RECT r = {0, 0, clientWidth, clientHeight};
    DWORD style = WS_POPUP | WS_CLIPCHILDREN;
    AdjustWindowRectEx(&r, style, FALSE, 0);
    hwnd_ = CreateWindowExW(0, kHostClass, L"Test host", style, x, y, r.right - r.left, r.bottom - r.top, nullptr,
                            nullptr, GetModuleHandleW(nullptr), this);
    EXPECT_NE(hwnd_, nullptr);
    if (!hwnd_)
        return;
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    UpdateWindow(hwnd_);
    PumpUntil([this] { return GetForegroundWindow() == hwnd_; }, 500);
    Pump(20);
}

HostWindow::~HostWindow()
{
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    Pump(0);
}

std::vector<HostMessage> HostWindow::MessagesOf(UINT message) const
{
    std::vector<HostMessage> out;
    for (const HostMessage& m : messages_)
        if (m.message == message)
            out.push_back(m);
    return out;
}

POINT HostWindow::ToScreen(int x, int y) const
{
    POINT p = {x, y};
    ClientToScreen(hwnd_, &p);
    return p;
}

LRESULT CALLBACK HostWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self) {
        self->messages_.push_back(HostMessage{message, wParam, lParam});
        if (self->hook_) {
            bool handled = false;
            try {
                LRESULT r = self->hook_(hwnd, message, wParam, lParam, handled);
                if (handled)
                    return r;
            } catch (...) {
                ADD_FAILURE() << "a test hook threw in message " << Hex(message);
            }
        }
    }
    if (message == WM_ERASEBKGND) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        HBRUSH brush = CreateSolidBrush(kBackground);
        FillRect(reinterpret_cast<HDC>(wParam), &rc, brush);
        DeleteObject(brush);
        return 1;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void CallLog::Addf(const char* format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    lines_.push_back(buffer);
}

std::string CallLog::Dump() const
{
    std::string out;
    for (const std::string& l : lines_)
        out += "  " + l + "\n";
    return out.empty() ? "  (nothing)\n" : out;
}

bool CallLog::Contains(const std::string& line) const
{
    return Count(line) > 0;
}

size_t CallLog::Count(const std::string& line) const
{
    size_t n = 0;
    for (const std::string& l : lines_)
        n += l == line;
    return n;
}

CallLog CallLog::Without(const std::string& prefix) const
{
    CallLog out;
    for (const std::string& l : lines_)
        if (l.compare(0, prefix.size(), prefix) != 0)
            out.Add(l);
    return out;
}

::testing::AssertionResult LogMatches(const CallLog& log, const std::vector<std::string>& expected)
{
    const std::vector<std::string>& got = log.Lines();
    size_t g = 0;
    bool ok = true;
    for (const std::string& want : expected) {
        bool optional = !want.empty() && want[0] == '?';
        std::string line = optional ? want.substr(1) : want;
        if (g < got.size() && got[g] == line) {
            ++g;
            continue;
        }
        if (optional)
            continue;
        ok = false;
        break;
    }
    if (ok && g == got.size())
        return ::testing::AssertionSuccess();
    std::string want;
    for (const std::string& l : expected)
        want += "  " + l + "\n";
    return ::testing::AssertionFailure() << "\nexpected:\n" << want << "got:\n" << log.Dump();
}

namespace {

// Stops at the first visible child with something left to paint.
BOOL CALLBACK FindUnpainted(HWND child, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE);
    return !*reinterpret_cast<bool*>(found);
}

}  // namespace

bool Repainted(HWND window, DWORD timeoutMs)
{
    const UINT flags = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW;
    if (!IsWindow(window) || !RedrawWindow(window, nullptr, nullptr, flags))
        return false;
    const bool painted = PumpUntil([window] {
        bool unpainted = GetUpdateRect(window, nullptr, FALSE) != FALSE;
        if (!unpainted)
            EnumChildWindows(window, FindUnpainted, reinterpret_cast<LPARAM>(&unpainted));
        return !IsWindow(window) || !unpainted;
    }, timeoutMs);
    GdiFlush();
    return painted && IsWindow(window);
}

PixelGrab::PixelGrab(HWND hwnd, bool wholeWindow)
{
    RECT r;
    if (wholeWindow) {
        GetWindowRect(hwnd, &r);
        OffsetRect(&r, -r.left, -r.top);
    } else {
        GetClientRect(hwnd, &r);
    }
    width_ = r.right;
    height_ = r.bottom;
    if (width_ <= 0 || height_ <= 0)
        return;
    GdiFlush();
    // Cache DCs: a window of a CS_OWNDC class keeps its own DC untouched.
    HDC src = GetDCEx(hwnd, nullptr, wholeWindow ? DCX_WINDOW | DCX_CACHE : DCX_CACHE);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width_;
    bi.bmiHeader.biHeight = -height_;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(src, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    memDC_ = CreateCompatibleDC(src);
    if (bitmap_ && memDC_) {
        old_ = SelectObject(memDC_, bitmap_);
        BitBlt(memDC_, 0, 0, width_, height_, src, 0, 0, SRCCOPY);
        GdiFlush();
        bits_ = static_cast<const DWORD*>(bits);
    }
    ReleaseDC(hwnd, src);
}

PixelGrab::~PixelGrab()
{
    if (memDC_ && old_)
        SelectObject(memDC_, old_);
    if (memDC_)
        DeleteDC(memDC_);
    if (bitmap_)
        DeleteObject(bitmap_);
}

COLORREF PixelGrab::At(int x, int y) const
{
    if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_)
        return CLR_INVALID;
    DWORD v = bits_[y * width_ + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int PixelGrab::Count(COLORREF color, RECT area) const
{
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            n += At(x, y) == color;
    return n;
}

void MouseMoveTo(int screenX, int screenY)
{
    SetCursorPos(screenX, screenY);
    INPUT in = {};
    in.type = INPUT_MOUSE;
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = MulDiv(screenX, 65535, cx - 1);
    in.mi.dy = MulDiv(screenY, 65535, cy - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof(in));
}

void MouseButton(Button button, bool down)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    switch (button) {
    case Button::Left:
        in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        break;
    case Button::Right:
        in.mi.dwFlags = down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
        break;
    case Button::Middle:
        in.mi.dwFlags = down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP;
        break;
    }
    SendInput(1, &in, sizeof(in));
}

void Key(WORD vk, bool down)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof(in));
}

void ScreenShot(const wchar_t* name)
{
    wchar_t dir[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"TF_SHOT_DIR", dir, MAX_PATH))
        return;
    // The picture is taken from outside (the X server's own screen: windows
    // drawn by the display driver are not all in a screen DC's pixels): the
    // test says it is ready and waits, painting, until the shot is done.
    const std::wstring base = std::wstring(dir) + L"\\" + name;
    HANDLE ready = CreateFileW((base + L".ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(ready);
    const std::wstring done = base + L".done";
    PumpUntil([&] { return GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 15000);
    DeleteFileW(done.c_str());
    DeleteFileW((base + L".ready").c_str());
}

std::string Hex(unsigned value)
{
    char b[16];
    snprintf(b, sizeof(b), "0x%X", value);
    return b;
}

int LiveGdiObjects()
{
    GdiFlush();
    DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted)
        return static_cast<int>(counted);
    int n = 0;
    for (UINT_PTR slot = 1; slot < 0x10000; ++slot)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(slot)))
            ++n;
    return n;
}

namespace {

struct OwnWindowSearch {
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK MatchOwnWindow(HWND hwnd, LPARAM param)
{
    OwnWindowSearch& search = *reinterpret_cast<OwnWindowSearch*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    wchar_t name[256] = {};
    if (process != GetCurrentProcessId() || !GetClassNameW(hwnd, name, 256) || lstrcmpiW(name, search.className) != 0)
        return TRUE;
    search.found = hwnd;
    return FALSE;
}

}  // namespace

HWND FindOwnWindow(const wchar_t* className)
{
    OwnWindowSearch search = {className, nullptr};
    EnumWindows(MatchOwnWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace harness

