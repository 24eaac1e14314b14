// Harness for tests that drive real windows under Xvfb.
//
// - ScreenLock: the test processes that ctest runs in parallel share one X
//   display; a test that reads pixels back or sends real input holds this
//   cross-process lock, so no other test's window overlaps its own and no
//   other test moves the mouse meanwhile. HostWindow takes it.
// - HostWindow: a visible top-level window at a fixed place that parents the
//   controls under test, records what it receives, paints a known background
//   and lets a test hook any message.
// - CallLog: records callbacks and messages as short lines and compares them
//   with an expected list (entries starting with '?' are optional), printing
//   both lists on a mismatch.
// - PixelGrab: reads a window's pixels back through BitBlt into a 32-bpp DIB.
// - Pump: processes messages for a bounded time only; tests never wait
//   without a limit.
// - Real input: SetCursorPos + SendInput for the mouse, SendInput for keys.
// - LiveGdiObjects: the process's GDI object count, for leak checks.
// Prompts are answered through common/prompt_script.h (PromptScript).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace harness {

// Processes the thread's messages for `ms` milliseconds.
void Pump(DWORD ms = 0);
// Processes messages until `done` returns true or `timeoutMs` passes; returns `done`'s last answer.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

class ScreenLock {
public:
    ScreenLock();
    ~ScreenLock();
    ScreenLock(const ScreenLock&) = delete;
    ScreenLock& operator=(const ScreenLock&) = delete;
    bool Held() const { return held_; }

private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};

struct HostMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class HostWindow {
public:
    static constexpr COLORREF kBackground = RGB(0, 128, 128);

    // A hook sees every message first; setting `handled` returns its result.
    typedef std::function<LRESULT(HWND, UINT, WPARAM, LPARAM, bool& handled)> Hook;

    // Creates, shows and activates a window whose client area's top-left
    // corner is at (x, y) on the screen, with the given size.
    explicit HostWindow(int clientWidth = 400, int clientHeight = 300, int x = 100, int y = 100);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND Hwnd() const { return hwnd_; }
    void SetHook(Hook hook) { hook_ = std::move(hook); }
    const std::vector<HostMessage>& Messages() const { return messages_; }
    std::vector<HostMessage> MessagesOf(UINT message) const;
    void ClearMessages() { messages_.clear(); }
    // Client point -> screen point.
    POINT ToScreen(int x, int y) const;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    ScreenLock lock_;
    HWND hwnd_ = nullptr;
    Hook hook_;
    std::vector<HostMessage> messages_;
};

class CallLog {
public:
    void Add(const std::string& line) { lines_.push_back(line); }
    // printf-style convenience.
    void Addf(const char* format, ...);
    const std::vector<std::string>& Lines() const { return lines_; }
    void Clear() { lines_.clear(); }
    std::string Dump() const;
    bool Contains(const std::string& line) const;
    size_t Count(const std::string& line) const;
    // The log without the lines that start with `prefix` (for events the
    // system adds at will, such as synthesized mouse moves).
    CallLog Without(const std::string& prefix) const;

private:
    std::vector<std::string> lines_;
};

// Compares a log with an expected list; "?x" may be missing from the log.
::testing::AssertionResult LogMatches(const CallLog& log, const std::vector<std::string>& expected);

class PixelGrab {
public:
    // Copies the whole window (non-client area included) or its client area.
    explicit PixelGrab(HWND hwnd, bool wholeWindow = false);
    ~PixelGrab();
    PixelGrab(const PixelGrab&) = delete;
    PixelGrab& operator=(const PixelGrab&) = delete;

    bool Ok() const { return bits_ != nullptr; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    COLORREF At(int x, int y) const;   // CLR_INVALID outside
    // Pixels of the colour within [left, right) x [top, bottom).
    int Count(COLORREF color, RECT area) const;
    int Count(COLORREF color) const { return Count(color, RECT{0, 0, width_, height_}); }

private:
    HDC memDC_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    const DWORD* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// Has the window and its children painted now, whichever thread owns them,
// and waits (pumping) until none has anything left to paint, so that a
// PixelGrab taken next reads what they show; false when one still had.
bool Repainted(HWND window, DWORD timeoutMs = 20000);

// Real input.
void MouseMoveTo(int screenX, int screenY);
enum class Button { Left, Right, Middle };
void MouseButton(Button button, bool down);
void Key(WORD vk, bool down);

std::string Hex(unsigned value);

// With the environment variable TF_SHOT_DIR set, asks for a picture of the
// screen for people to look at (nothing compares it): writes
// <TF_SHOT_DIR>\<name>.ready and waits, painting, up to 15 seconds for
// <name>.done, which the script taking the picture writes; without it, does
// nothing.
void ScreenShot(const wchar_t* name);

// The number of GDI objects this process holds now (pens, brushes, fonts,
// bitmaps, regions, DCs; the stock objects included). Windows counts them with
// GetGuiResources; Wine does not, and there the table of live handles is
// read instead (a handle with a zero upper half names its slot).
int LiveGdiObjects();

// The first top-level window of this process with the class name, or null.
// The tests of a folder run in parallel processes on one display, so
// FindWindowW would also see the windows of the other tests.
HWND FindOwnWindow(const wchar_t* className);

}  // namespace harness
