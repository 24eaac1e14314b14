// The fixture of the record-card and filter-form window tests: the database
// of KartDbTest, the control library's classes and the two form classes
// registered as start-up does, and the screen lock, since these tests move
// the keyboard focus between real windows under Xvfb.
#pragma once

#include "kart_db.h"

#include "common/window_harness.h"

#include <functional>
#include <vector>

class FormWindowTest : public KartDbTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs `steps` one by one from a thread timer of the test thread while a
    // modal loop (RunKartForm, DbFiltFormWindow::Run) runs; each gets a few
    // milliseconds of message processing before it.
    void Schedule(std::vector<std::function<void()>> steps);
    // The text of a window.
    static std::wstring TextOf(HWND window);
    // The top-level window of the class owned by this thread, or null.
    static HWND FindOwn(const wchar_t* className);
    // Sends a key press (WM_KEYDOWN) to a window, and a character when given.
    static void Press(HWND window, WPARAM key);
    static void Type(HWND window, wchar_t ch);

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    static std::vector<std::function<void()>>* steps_;
    static size_t next_;
    UINT_PTR timer_ = 0;
    harness::ScreenLock* lock_ = nullptr;
};
