// Steps against a thread's modal windows: see modal_driver.h.
#include "common/modal_driver.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace harness {

namespace {

struct ThreadWindowSearch {
    const wchar_t* className;
    const wchar_t* title;
    HWND exclude;
    bool enabledOnly;
    HWND found;
};

BOOL CALLBACK MatchThreadWindow(HWND hwnd, LPARAM param)
{
    ThreadWindowSearch* search = reinterpret_cast<ThreadWindowSearch*>(param);
    if (hwnd == search->exclude || !IsWindowVisible(hwnd) || (search->enabledOnly && !IsWindowEnabled(hwnd)))
        return TRUE;
    wchar_t name[64] = L"";
    if (!GetClassNameW(hwnd, name, 64) || wcscmp(name, search->className) != 0)
        return TRUE;
    if (search->title) {
        wchar_t title[128] = L"";
        GetWindowTextW(hwnd, title, 128);
        if (wcscmp(title, search->title) != 0)
            return TRUE;
    }
    search->found = hwnd;
    return FALSE;
}

// The driver of this thread (one at a time; a nested one takes over).
thread_local ModalDriver* tDriver = nullptr;

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace

HWND FindThreadWindow(const wchar_t* className, const wchar_t* title, HWND exclude, bool enabledOnly)
{
    ThreadWindowSearch search = {className, title, exclude, enabledOnly, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchThreadWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

ModalDriver::ModalDriver(DWORD stepTimeoutMs, bool enabledOnly)
    : stepTimeoutMs_(stepTimeoutMs), enabledOnly_(enabledOnly)
{
    previous_ = tDriver;
    tDriver = this;
    started_ = GetTickCount();
    timer_ = SetTimer(nullptr, 0, 50, Tick);
}

ModalDriver::~ModalDriver()
{
    KillTimer(nullptr, timer_);
    tDriver = previous_;
}

void ModalDriver::Then(const wchar_t* className, const wchar_t* title, ModalDriver::Step step)
{
    // A step's time runs from when it becomes the one waited for, not from
    // the driver's making: a subclass may wait for the screen first.
    if (next_ == steps_.size())
        started_ = GetTickCount();
    steps_.push_back(Pending{className, title ? title : L"", std::move(step)});
}

void CALLBACK ModalDriver::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (tDriver)
        tDriver->Advance();
}

void ModalDriver::CloseOpenWindows()
{
    std::vector<std::wstring> classes = closeOnFailure_;
    classes.insert(classes.begin(), L"#32770");
    for (const std::wstring& name : classes)
        if (HWND open = FindThreadWindow(name.c_str(), nullptr, nullptr, false))
            PostMessageW(open, WM_COMMAND, IDCANCEL, 0), PostMessageW(open, WM_CLOSE, 0, 0);
}

void ModalDriver::Advance()
{
    if (failed_) {
        // A window that comes after the failure is closed too, so the test
        // ends instead of waiting in a modal loop nobody answers.
        CloseOpenWindows();
        return;
    }
    if (busy_ || next_ >= steps_.size())
        return;
    busy_ = true;
    Pending& pending = steps_[next_];
    HWND window = FindThreadWindow(pending.className.c_str(), pending.title.empty() ? nullptr : pending.title.c_str(),
                                   nullptr, enabledOnly_);
    seen_ = seen_ || window;
    if (window && pending.step(window)) {
        ++next_;
        started_ = GetTickCount();
        seen_ = false;
    } else if (GetTickCount() - started_ > stepTimeoutMs_) {
        ADD_FAILURE() << "step " << next_ << (seen_ ? " did not finish with its window" : " found no window")
                      << " of class " << Narrow(pending.className)
                      << (pending.title.empty() ? "" : " titled " + Narrow(pending.title)) << " within "
                      << stepTimeoutMs_ / 1000 << " s";
        next_ = steps_.size();
        failed_ = true;
        CloseOpenWindows();
    }
    busy_ = false;
}

}  // namespace harness
