// Steps against the modal windows a test's own thread opens, for the tests of
// every folder.
//
// A modal call (a dialog, a prompt, a window's own modal loop) runs on the
// test's thread, so the test cannot act while it waits. A ModalDriver acts
// meanwhile from a thread timer (every 50 ms): each step waits for a visible
// top-level window of this thread with the step's class (and title, when the
// step names one) and is called with it until it returns true; then the next
// step waits. A step whose window does not come within the step time fails
// the test, and every dialog of this thread (and every window of the classes
// given to CloseOnFailure), then or later, is cancelled and closed, so that
// the test ends instead of hanging. A step's time runs from when it becomes
// the step waited for.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace harness {

// The first visible top-level window of this thread with the class (and the
// title, when given), other than `exclude`; with `enabledOnly`, an enabled
// one (a window under a modal one of its own is passed over). Null when none.
HWND FindThreadWindow(const wchar_t* className, const wchar_t* title = nullptr, HWND exclude = nullptr,
                      bool enabledOnly = true);

class ModalDriver {
public:
    typedef std::function<bool(HWND)> Step;
    // The step time, and whether a step takes only an enabled window.
    explicit ModalDriver(DWORD stepTimeoutMs = 15000, bool enabledOnly = true);
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    void Then(const wchar_t* className, Step step) { Then(className, nullptr, std::move(step)); }
    void Then(const wchar_t* className, const wchar_t* title, Step step);
    // Windows of the class are closed too when a step fails.
    void CloseOnFailure(const wchar_t* className) { closeOnFailure_.push_back(className); }
    // True when every step ran.
    bool Done() const { return next_ == steps_.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void Advance();
    void CloseOpenWindows();
    struct Pending {
        std::wstring className;
        std::wstring title;
        Step step;
    };
    std::vector<Pending> steps_;
    std::vector<std::wstring> closeOnFailure_;
    size_t next_ = 0;
    UINT_PTR timer_ = 0;
    DWORD started_ = 0;
    DWORD stepTimeoutMs_;
    bool enabledOnly_;
    bool seen_ = false;   // the waited-for step found its window at least once
    bool failed_ = false; // a step failed: every dialog that shows is closed
    bool busy_ = false;   // a step is running (it may run a modal loop of its own)
    ModalDriver* previous_ = nullptr;
};

}  // namespace harness
